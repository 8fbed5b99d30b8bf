// PIN entry, PUK entry and PIN change of the three families: the commands,
// the remaining-attempts answer of a refused code, what follows an accepted
// PIN, and framework texts that must never reach the module.
#include <chrono>

#include "ril_at_text.h"
#include "sim_rig.h"

using simtest::CDMA;
using simtest::LTE;
using simtest::Rig;
using simtest::Step;
using simtest::WCDMA;

namespace {

int intAnswer(const riltest::Completion &c) {
    int v = -1;
    if (c.data.size() == sizeof(int)) memcpy(&v, c.data.data(), sizeof(int));
    return v;
}

void readyStates() {
    s_radio_state_cdma = RADIO_STATE_RUIM_LOCKED_OR_ABSENT;
    s_radio_state_wcdma = RADIO_STATE_SIM_LOCKED_OR_ABSENT;
    s_radio_state_lte = RADIO_STATE_SIM_LOCKED_OR_ABSENT;
}

/* ---- refused codes ---- */

struct RefusedCase {
    const char *name;
    int family;
    int code;
    std::vector<const char *> args;
    std::vector<Step> script;
    int remaining;
};

std::ostream &operator<<(std::ostream &o, const RefusedCase &c) { return o << c.name; }

const Step kCpinalTwo{"AT+CPINAL", {"+CPINAL: 2,10,3,10", "OK"}};
const Step kCdmaTwo{"AT^CPIN?", {"^CPIN: UIM PIN,2,10,3,10", "OK"}};

const RefusedCase kRefused[] = {
    {"cdma_pin", CDMA, 2, {"1111"}, {{"AT+CPIN=\"1111\"", {"+CME ERROR: 16"}}, kCdmaTwo}, 2},
    {"wcdma_pin", WCDMA, 2, {"1111"}, {{"AT+CPIN=\"1111\"", {"+CME ERROR: 16"}}, kCpinalTwo}, 2},
    {"lte_pin", LTE, 2, {"1111"}, {{"AT+CPIN=\"1111\"", {"ERROR"}}, kCpinalTwo}, 2},
    {"lte_pin2_same_command", LTE, 4, {"2222", ""}, {{"AT+CPIN=\"2222\"", {"ERROR"}}, kCpinalTwo}, 2},
    {"wcdma_count_unreadable", WCDMA, 2, {"1111"},
     {{"AT+CPIN=\"1111\"", {"ERROR"}}, {"AT+CPINAL", {"ERROR"}}}, 0},
    {"cdma_count_unreadable", CDMA, 2, {"1111"}, {{"AT+CPIN=\"1111\"", {"ERROR"}}, {"AT^CPIN?", {"ERROR"}}}, 0},
    {"wcdma_puk", WCDMA, 3, {"12345678", "4321"},
     {{"AT+CPIN=\"12345678\",\"4321\"", {"+CME ERROR: 16"}}, {"AT+CPINAL", {"+CPINAL: 0,9,0,10", "OK"}}}, 0},
    {"cdma_puk2", CDMA, 5, {"87654321", "4321", ""},
     {{"AT+CPIN=\"87654321\",\"4321\"", {"ERROR"}}, kCdmaTwo}, 2},
    {"cdma_change", CDMA, 6, {"1234", "4321"},
     {{"AT+CPWD=\"SC\", \"1234\", \"4321\"", {"ERROR"}}, kCdmaTwo}, 2},
    {"lte_change_pin2_is_sc", LTE, 7, {"1234", "4321"},
     {{"AT+CPWD=\"SC\", \"1234\", \"4321\"", {"+CME ERROR: 16"}}, kCpinalTwo}, 2},
};

class Refused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(Refused, CompletesPasswordIncorrectWithRemainingAttempts) {
    const RefusedCase &c = GetParam();
    Rig rig;
    readyStates();
    rig.script(c.script);
    rig.open();
    std::vector<char *> args;
    for (const char *a : c.args) args.push_back(const_cast<char *>(a));
    rig.dispatch(c.family, c.code, args.data(), args.size() * sizeof(char *), 1);
    riltest::Completion done = rig.completion(1);
    EXPECT_EQ(done.error, RIL_E_PASSWORD_INCORRECT);
    EXPECT_EQ(intAnswer(done), c.remaining);
    rig.peer.verify();
}

INSTANTIATE_TEST_SUITE_P(Families, Refused, ::testing::ValuesIn(kRefused),
                         [](const ::testing::TestParamInfo<RefusedCase> &i) { return std::string(i.param.name); });

/* ---- accepted codes ---- */

TEST(AcceptedPin, CdmaCompletesAfterTheSettlingPauseAndReportsSimAndRadioState) {
    Rig rig;
    readyStates();
    rig.script({{"AT+CPIN=\"1234\"", {"OK"}}});
    rig.open();
    char *args[] = {const_cast<char *>("1234"), nullptr};
    auto start = std::chrono::steady_clock::now();
    rig.dispatch(CDMA, RIL_REQUEST_ENTER_SIM_PIN, args, sizeof(args), 1);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(2000 / simtest::kScale));
    EXPECT_EQ(rig.completion(1).error, RIL_E_SUCCESS);
    EXPECT_EQ(rig.rec.notificationCodes(),
              (std::vector<int>{RIL_UNSOL_RESPONSE_SIM_STATUS_CHANGED, RIL_UNSOL_RESPONSE_RADIO_STATE_CHANGED}));
    rig.peer.verify();
}

TEST(AcceptedPin, WcdmaRemembersThePinAndPollsTheSim) {
    Rig rig;
    readyStates();
    rig.script({{"AT+CPIN=\"1234\"", {"OK"}}});
    rig.open();
    char *args[] = {const_cast<char *>("1234")};
    rig.dispatch(WCDMA, RIL_REQUEST_ENTER_SIM_PIN, args, sizeof(args), 1);
    EXPECT_EQ(rig.completion(1).error, RIL_E_SUCCESS);
    EXPECT_EQ(s_pinentered, 1);
    // the poll runs at once; as the first of the process it only defers itself
    ASSERT_TRUE(riltest::waitUntil([] { return s_firstpoll_wcdma == 0 && s_pollbusy_wcdma == 0; },
                                   std::chrono::seconds(5)));
    s_pollbusy_wcdma = 1;  // keeps the deferred poll (and the SIM-ready steps) out of this test
    // the next status query answers ready without asking the module
    rig.dispatch(WCDMA, RIL_REQUEST_GET_SIM_STATUS, nullptr, 0, 2);
    riltest::Completion status = rig.completion(2);
    EXPECT_EQ(simtest::cardField(status, offsetof(RIL_CardStatus_v6, applications) +
                                             offsetof(RIL_AppStatus, app_state)),
              RIL_APPSTATE_READY);
    rig.peer.verify();
    EXPECT_EQ(rig.peer.commands().size(), 1u);
}

TEST(AcceptedPin, LtePollsTheSimWithoutRememberingThePin) {
    Rig rig;
    readyStates();
    rig.script({{"AT+CPIN=\"1234\"", {"OK"}}});
    rig.open();
    char *args[] = {const_cast<char *>("1234")};
    rig.dispatch(LTE, RIL_REQUEST_ENTER_SIM_PIN, args, sizeof(args), 1);
    EXPECT_EQ(rig.completion(1).error, RIL_E_SUCCESS);
    ASSERT_TRUE(riltest::waitUntil([] { return s_firstpoll_lte == 0 && s_pollbusy_lte == 0; },
                                   std::chrono::seconds(5)));
    s_pollbusy_lte = 1;  // keeps the deferred poll out of this test
    EXPECT_EQ(s_pinentered, 0);
    rig.peer.verify();
}

TEST(AcceptedCodes, PukAndPinChangeCompleteWithoutFollowUp) {
    struct Case {
        int family;
        int code;
        std::vector<const char *> args;
        Step step;
    } cases[] = {
        {WCDMA, RIL_REQUEST_ENTER_SIM_PUK, {"12345678", "1234"}, {"AT+CPIN=\"12345678\",\"1234\"", {"OK"}}},
        {LTE, RIL_REQUEST_ENTER_SIM_PUK2, {"12345678", "1234", ""}, {"AT+CPIN=\"12345678\",\"1234\"", {"OK"}}},
        {CDMA, RIL_REQUEST_CHANGE_SIM_PIN2, {"1234", "4321"}, {"AT+CPWD=\"SC\", \"1234\", \"4321\"", {"OK"}}},
        {WCDMA, RIL_REQUEST_CHANGE_SIM_PIN, {"1234", "4321"},
         {"AT+CPWD=\"SC\", \"1234\", \"4321\"", {"+CPWD: 0", "OK"}}},
        // "AT+CPWD" answers a bare OK when the PIN was changed: that is success
        {WCDMA, RIL_REQUEST_CHANGE_SIM_PIN, {"1234", "4321"}, {"AT+CPWD=\"SC\", \"1234\", \"4321\"", {"OK"}}},
        {LTE, RIL_REQUEST_CHANGE_SIM_PIN2, {"1234", "4321"}, {"AT+CPWD=\"SC\", \"1234\", \"4321\"", {"OK"}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.step.command);
        Rig rig;
        readyStates();
        rig.script({c.step});
        rig.open();
        std::vector<char *> args;
        for (const char *a : c.args) args.push_back(const_cast<char *>(a));
        rig.dispatch(c.family, c.code, args.data(), args.size() * sizeof(char *), 1);
        riltest::Completion done = rig.completion(1);
        EXPECT_EQ(done.error, RIL_E_SUCCESS);
        EXPECT_TRUE(done.data.empty());
        EXPECT_TRUE(rig.rec.notificationCodes().empty());
        rig.peer.verify();
    }
}

/* ---- framework texts that must not reach the module ---- */

TEST(AtText, SafeTextHasNoQuoteAndNoControlCharacter) {
    EXPECT_TRUE(ril_is_safe_at_text("1234"));
    EXPECT_TRUE(ril_is_safe_at_text(""));
    EXPECT_TRUE(ril_is_safe_at_text("12 ab,;"));
    EXPECT_FALSE(ril_is_safe_at_text(nullptr));
    EXPECT_FALSE(ril_is_safe_at_text("12\"34"));
    EXPECT_FALSE(ril_is_safe_at_text("1234\r"));
    EXPECT_FALSE(ril_is_safe_at_text("1234\nAT+CFUN=0"));
    EXPECT_FALSE(ril_is_safe_at_text("12\x1b" "34"));
    EXPECT_FALSE(ril_is_safe_at_text("12\x7f"));
    EXPECT_FALSE(ril_is_safe_at_text("\t"));
}

struct InjectionCase {
    const char *name;
    int family;
    int code;
    std::vector<const char *> args;  // "<null>" stands for a null entry
    bool noData;
};

std::ostream &operator<<(std::ostream &o, const InjectionCase &c) { return o << c.name; }

const InjectionCase kInjections[] = {
    {"pin_quote", WCDMA, 2, {"1234\";+CFUN=0;\""}, false},
    {"pin_cr_second_command", LTE, 2, {"1234\"\rAT+CFUN=0\r"}, false},
    {"pin_lf", CDMA, 2, {"12\n34"}, false},
    {"pin_escape", WCDMA, 4, {"12\x1b" "34", ""}, false},
    {"puk_new_pin_quote", CDMA, 3, {"12345678", "1\"2"}, false},
    {"puk_cr", LTE, 5, {"1234\r5678", "1234", ""}, false},
    {"change_old_lf", WCDMA, 6, {"12\n", "4321"}, false},
    {"change_new_quote", LTE, 7, {"1234", "\""}, false},
    {"change_cdma_ctrl_z", CDMA, 6, {"1234", "43\x1a"}, false},
    {"pin_null_entry", WCDMA, 2, {"<null>"}, false},
    {"pin_no_data", LTE, 2, {}, true},
    {"puk_one_string_only", WCDMA, 3, {"12345678"}, false},
    {"change_one_string_only", CDMA, 6, {"1234"}, false},
    {"change_no_data", WCDMA, 6, {}, true},
    {"puk_no_data", CDMA, 3, {}, true},
};

class Injection : public ::testing::TestWithParam<InjectionCase> {};

TEST_P(Injection, RefusedWithGenericFailureAndNothingSent) {
    const InjectionCase &c = GetParam();
    Rig rig;
    readyStates();
    rig.open();
    std::vector<char *> args;
    for (const char *a : c.args)
        args.push_back(strcmp(a, "<null>") == 0 ? nullptr : const_cast<char *>(a));
    if (c.noData)
        rig.dispatch(c.family, c.code, nullptr, 0, 1);
    else
        rig.dispatch(c.family, c.code, args.data(), args.size() * sizeof(char *), 1);
    riltest::Completion done = rig.completion(1);
    EXPECT_EQ(done.error, RIL_E_GENERIC_FAILURE);
    EXPECT_TRUE(rig.peer.commands().empty()) << rig.peer.transcript();
}

INSTANTIATE_TEST_SUITE_P(Families, Injection, ::testing::ValuesIn(kInjections),
                         [](const ::testing::TestParamInfo<InjectionCase> &i) { return std::string(i.param.name); });

}  // namespace
