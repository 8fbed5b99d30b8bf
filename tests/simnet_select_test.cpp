// Network selection, the "+COPS=?" list, the preferred network type and the
// fixed answers of the three families against the scripted module.
#include <string.h>

#include <chrono>
#include <string>
#include <vector>

#include "ril_network.h"
#include "ril_network_select.h"
#include "simnet_rig.h"
#include "usb_discovery.h"

using simnettest::CDMA;
using simnettest::intAnswer;
using simnettest::kScale;
using simnettest::LTE;
using simnettest::Rig;
using simnettest::WCDMA;
using Strings = std::vector<std::string>;

namespace {
riltest::Completion intRequest(Rig &rig, int family, int code, int value) {
    int v = value;
    return rig.request(family, code, &v, sizeof(v));
}
riltest::Completion textRequest(Rig &rig, int family, int code, const char *text) {
    return rig.request(family, code, const_cast<char *>(text), text ? strlen(text) + 1 : 0);
}
}  // namespace

/* ---- selection mode ---- */

TEST(SelectionMode, QueryPerFamily) {
    Rig rig;
    is_cdma = 0;
    rig.peer.expect("AT+COPS?", {"+COPS: 1,2,\"46001\",7", "OK"})
        .expect("AT+COPS?", {"ERROR"})
        .expect("AT+COPS?", {"ERROR"})
        .expect("AT+COPS?", {"+COPS: 0", "OK"});
    rig.open();
    auto done = rig.request(WCDMA, 45, nullptr, 0);
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    EXPECT_EQ(intAnswer(done), 1);
    // WCDMA answers automatic when the module does not answer
    done = rig.request(WCDMA, 45, nullptr, 0);
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    EXPECT_EQ(intAnswer(done), 0);
    // CDMA reports the failure
    EXPECT_EQ(rig.request(CDMA, 45, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
    done = rig.request(LTE, 45, nullptr, 0);
    EXPECT_EQ(intAnswer(done), 0);
    // an LTE module on a CDMA network answers automatic without asking
    is_cdma = 1;
    done = rig.request(LTE, 45, nullptr, 0);
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    EXPECT_EQ(intAnswer(done), 0);
    rig.peer.verify();
    EXPECT_EQ(rig.peer.commands().size(), 4u);
}

TEST(SelectionMode, AutomaticOnlyWhenManual) {
    Rig rig;
    rig.peer.expect("AT+COPS=0", {"OK"}).expect("AT+COPS=0", {"+CME ERROR: 30"});
    rig.open();
    s_copsmode = 0;
    EXPECT_EQ(rig.request(WCDMA, 46, nullptr, 0).error, RIL_E_SUCCESS);
    EXPECT_EQ(rig.request(LTE, 46, nullptr, 0).error, RIL_E_SUCCESS);
    EXPECT_TRUE(rig.peer.commands().empty());
    s_copsmode = 1;
    EXPECT_EQ(rig.request(WCDMA, 46, nullptr, 0).error, RIL_E_SUCCESS);
    EXPECT_EQ(rig.request(WCDMA, 46, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
    rig.peer.verify();
}

TEST(SelectionMode, ManualSendsTheNumericUnquoted) {
    Rig rig;
    rig.peer.expect("AT+COPS=4,2,46001", {"OK"})
        .expect("AT+COPS=4,2,310410", {"+CME ERROR: 30"});
    rig.open();
    EXPECT_EQ(textRequest(rig, WCDMA, 47, "46001").error, RIL_E_SUCCESS);
    EXPECT_EQ(textRequest(rig, LTE, 47, "310410").error, RIL_E_GENERIC_FAILURE);
    rig.peer.verify();
}

TEST(SelectionMode, ManualRefusesAnythingButFiveOrSixDigits) {
    const std::vector<const char *> hostile = {"46001;+CFUN=0", "4600",     "4600a",   "4600112", "",
                                               "46001\r",       "\"46001\"", "46 001", "46001\x1a"};
    Rig rig;
    rig.open();
    for (const char *h : hostile) {
        SCOPED_TRACE(h);
        EXPECT_EQ(textRequest(rig, WCDMA, 47, h).error, RIL_E_GENERIC_FAILURE);
        EXPECT_EQ(textRequest(rig, LTE, 47, h).error, RIL_E_GENERIC_FAILURE);
    }
    EXPECT_EQ(rig.request(LTE, 47, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
    rig.peer.verify();
    EXPECT_TRUE(rig.peer.commands().empty());
}

/* ---- available networks ---- */

struct CopsCase {
    const char *name;
    std::vector<std::string> reply;
    int error;
    Strings expected;
};
void PrintTo(const CopsCase &c, std::ostream *os) { *os << c.name; }

class AvailableNetworks : public ::testing::TestWithParam<CopsCase> {};

TEST_P(AvailableNetworks, AnswersFourStringsPerOperator) {
    const auto &c = GetParam();
    for (int family : {WCDMA, LTE}) {
        SCOPED_TRACE(family);
        Rig rig;
        rig.peer.expect("AT+COPS=?", c.reply);
        rig.open();
        auto done = rig.request(family, 48, nullptr, 0, true);
        EXPECT_EQ(done.error, c.error);
        EXPECT_EQ(done.strings, c.expected);
        rig.peer.verify();
    }
}

std::vector<std::string> twelveOperators() {
    std::string line = "+COPS: ";
    for (int i = 0; i < 12; i++) line += "(1,\"OP" + std::to_string(i) + "\",\"O" + std::to_string(i) + "\",\"4600" +
                                         std::to_string(i % 10) + "\",2),";
    line += ",(0,1,2,3,4),(0,1,2)";
    return {line, "OK"};
}
Strings tenOperators() {
    Strings s;
    for (int i = 0; i < 10; i++) {
        s.push_back("OP" + std::to_string(i));
        s.push_back("O" + std::to_string(i));
        s.push_back("4600" + std::to_string(i));
        s.push_back("available");
    }
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, AvailableNetworks,
    ::testing::Values(
        CopsCase{"two_second_forbidden",
                 {"+COPS: (2,\"CHINA MOBILE\",\"CMCC\",\"46000\",7),(3,\"CHN-UNICOM\",\"UNICOM\",\"46001\",2),,"
                  "(0,1,2,3,4),(0,1,2)",
                  "OK"},
                 0,
                 {"CHINA MOBILE", "CMCC", "46000", "current", "CHN-UNICOM", "UNICOM", "46001", "forbidden"}},
        CopsCase{"no_mode_lists", {"+COPS: (2,\"CHINA MOBILE\",\"CMCC\",\"46000\",7)", "OK"}, 2, {}},
        CopsCase{"error", {"+CME ERROR: 30"}, 2, {}},
        CopsCase{"ok_without_line", {"OK"}, 2, {}},
        CopsCase{"none_visible", {"+COPS: ,,(0,1,2,3,4),(0,1,2)", "OK"}, 0, {}},
        // names over 19 characters are cut to 19
        CopsCase{"long_names",
                 {"+COPS: (0,\"ABCDEFGHIJKLMNOPQRSTUVWXYZ\",\"0123456789012345678901\",\"46000\",0),,(0,1)", "OK"},
                 0,
                 {"ABCDEFGHIJKLMNOPQRS", "0123456789012345678", "46000", "unknown"}},
        // a comma inside a quoted name stays in the name
        CopsCase{"comma_in_name",
                 {"+COPS: (1,\"AT&T, Inc\",\"AT&T\",\"310410\",2),,(0,1)", "OK"},
                 0,
                 {"AT&T, Inc", "AT&T", "310410", "available"}},
        // the walk stops at an entry that lacks a field, and at one without ")"
        CopsCase{"short_entry_stops",
                 {"+COPS: (1,\"A\",\"B\",\"46000\",2),(1,\"C\"),(1,\"D\",\"E\",\"46002\",2),,(0,1)", "OK"},
                 0,
                 {"A", "B", "46000", "available"}},
        CopsCase{"unclosed_entry",
                 {"+COPS: (1,\"A\",\"B\",\"46000\",2),(1,\"C\",\"D\",\"46001\",,(0,1)", "OK"},
                 0,
                 {"A", "B", "46000", "available"}},
        CopsCase{"odd_status", {"+COPS: (7,\"A\",\"B\",\"46000\",2),(x,\"C\",\"D\",\"46001\"),,(0,1)", "OK"}, 0,
                 {"A", "B", "46000", "", "C", "D", "46001", ""}},
        CopsCase{"twelve_entries_answer_ten", twelveOperators(), 0, tenOperators()}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CopsParser, PrefixOptionalAndBounded) {
    RilCopsEntry e[RIL_COPS_MAX_ENTRIES];
    EXPECT_EQ(ril_parse_cops_list("(1,\"A\",\"B\",\"46000\",2),,(0,1)", e, RIL_COPS_MAX_ENTRIES), 1);
    EXPECT_STREQ(e[0].numeric, "46000");
    EXPECT_EQ(ril_parse_cops_list("(1,\"A\",\"B\",\"46000\",2),(1,\"A\",\"B\",\"46001\",2),,", e, 1), 1);
    EXPECT_EQ(ril_parse_cops_list("no lists", e, RIL_COPS_MAX_ENTRIES), -1);
    EXPECT_EQ(ril_parse_cops_list(nullptr, e, RIL_COPS_MAX_ENTRIES), -1);
    std::string quotes = "(1," + std::string(40, '"') + ",\"B\",\"46000\"),,";
    EXPECT_EQ(ril_parse_cops_list(quotes.c_str(), e, RIL_COPS_MAX_ENTRIES), 1);
    EXPECT_STREQ(e[0].longName, "");
}

/* ---- preferred network type ---- */

TEST(PreferredType, CdmaMapsThreeTypes) {
    Rig rig;
    rig.peer.expect("AT^PREFMODE=2", {"OK"}).expect("AT^PREFMODE=8", {"OK"}).expect("AT^PREFMODE=4", {"ERROR"});
    rig.open();
    EXPECT_EQ(intRequest(rig, CDMA, 73, 5).error, RIL_E_SUCCESS);
    EXPECT_EQ(intRequest(rig, CDMA, 73, 4).error, RIL_E_SUCCESS);
    EXPECT_EQ(intRequest(rig, CDMA, 73, 6).error, RIL_E_GENERIC_FAILURE);
    for (int t : {7, 0, -1, 1000}) EXPECT_EQ(intRequest(rig, CDMA, 73, t).error, RIL_E_MODE_NOT_SUPPORTED);
    EXPECT_EQ(rig.request(CDMA, 73, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
    rig.peer.verify();
}

TEST(PreferredType, CdmaQueryMapsTheModuleValue) {
    struct Case {
        std::vector<std::string> reply;
        int answer;
    } cases[] = {{{"^PREFMODE: 4", "OK"}, 6}, {{"^PREFMODE: 8", "OK"}, 4}, {{"^PREFMODE: 2", "OK"}, 5},
                 {{"^PREFMODE: 7", "OK"}, 7}, {{"ERROR"}, 0},               {{"^PREFMODE: x", "OK"}, 0}};
    Rig rig;
    for (const auto &c : cases) rig.peer.expect("AT^PREFMODE ?", c.reply);
    rig.open();
    for (const auto &c : cases) {
        auto done = rig.request(CDMA, 74, nullptr, 0);
        EXPECT_EQ(done.error, RIL_E_SUCCESS);
        EXPECT_EQ(intAnswer(done), c.answer);
    }
    rig.peer.verify();
}

class WcdmaPreferred : public ::testing::Test {
protected:
    void SetUp() override {
        g_moduletype = 1;
        s_first2g = 0;
        s_setmodecount = 0;
    }
};

TEST_F(WcdmaPreferred, GsmOnlySendsOnlyTheModeThirteenCommand) {
    Rig rig;
    rig.peer.expect("AT+CPREFMODE?", {"+CPREFMODE: 2,0,1", "OK"}).expect("AT+CPREFMODE=13", {"OK"});
    rig.open();
    EXPECT_EQ(intRequest(rig, WCDMA, 73, 1).error, RIL_E_SUCCESS);
    rig.peer.verify();
    EXPECT_EQ(s_setmodecount, 1);
}

TEST_F(WcdmaPreferred, WcdmaOnlyPassesThroughModeFourteenAndWaits) {
    Rig rig;
    rig.peer.expect("AT+CPREFMODE?", {"+CPREFMODE: 13,0,1", "OK"})
        .expect("AT+CPREFMODE=14", {"OK"})
        .expect("AT+CPREFMODE=2", {"OK"});
    rig.open();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(intRequest(rig, WCDMA, 73, 2).error, RIL_E_SUCCESS);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000 / kScale));
    rig.peer.verify();
}

TEST_F(WcdmaPreferred, SameModeOnlyQueries) {
    Rig rig;
    rig.peer.expect("AT+CPREFMODE?", {"+CPREFMODE: 2,0,1", "OK"});
    rig.open();
    EXPECT_EQ(intRequest(rig, WCDMA, 73, 0).error, RIL_E_SUCCESS);
    rig.peer.verify();
    EXPECT_EQ(rig.peer.commands().size(), 1u);
}

TEST_F(WcdmaPreferred, StillOn2gWithACardCountsAsGsmOnlyOnce) {
    s_first2g = 1;
    Rig rig;
    rig.peer.expect("AT+CPREFMODE?", {"+CPREFMODE: 2,0,1", "OK"})
        .expect("AT+CNSMOD?", {"+CNSMOD: 0,3", "OK"})
        .expect("AT+CPREFMODE?", {"+CPREFMODE: 2,0,1", "OK"})
        .expect("AT+CPREFMODE=13", {"OK"});
    rig.open();
    // the first query reports 13: nothing to change
    EXPECT_EQ(intRequest(rig, WCDMA, 73, 1).error, RIL_E_SUCCESS);
    EXPECT_EQ(s_first2g, 0);
    EXPECT_EQ(intRequest(rig, WCDMA, 73, 1).error, RIL_E_SUCCESS);
    rig.peer.verify();
}

TEST_F(WcdmaPreferred, SyscfgModuleGoesThroughFourteenTwo) {
    g_moduletype = 0;
    Rig rig;
    rig.peer.expect("AT%SYSCFG?", {"%SYSCFG: 13,3", "OK"})
        .expect("AT%SYSCFG=14,2", {"OK"})
        .expect("AT%SYSCFG=2,0", {"OK"})
        .expect("AT%SYSCFG?", {"%SYSCFG: 2,0", "OK"})
        .expect("AT%SYSCFG=13,3", {"ERROR"});
    rig.open();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(intRequest(rig, WCDMA, 73, 3).error, RIL_E_SUCCESS);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000 / kScale));
    EXPECT_EQ(intRequest(rig, WCDMA, 73, 1).error, RIL_E_GENERIC_FAILURE);
    rig.peer.verify();
}

TEST_F(WcdmaPreferred, FourthRequestStopsTheDataLinkAndReportsTheCallList) {
    s_setmodecount = 3;
    Rig rig;
    rig.peer.expect("AT+CPREFMODE?", {"+CPREFMODE: 2,0,1", "OK"}).expect("AT+CPREFMODE=13", {"ERROR"});
    rig.open();
    EXPECT_EQ(intRequest(rig, WCDMA, 73, 1).error, RIL_E_GENERIC_FAILURE);
    EXPECT_EQ(rig.rec.notificationCodes(), std::vector<int>{RIL_UNSOL_DATA_CALL_LIST_CHANGED});
    rig.peer.verify();
}

TEST_F(WcdmaPreferred, TypesOutsideTheTableSendNothing) {
    Rig rig;
    rig.open();
    for (int t : {-1, -2147483647 - 1, 4, 5, 6, 8, 22}) {
        SCOPED_TRACE(t);
        EXPECT_EQ(intRequest(rig, WCDMA, 73, t).error, RIL_E_MODE_NOT_SUPPORTED);
    }
    EXPECT_EQ(rig.request(WCDMA, 73, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
    rig.peer.verify();
    EXPECT_TRUE(rig.peer.commands().empty());
}

TEST_F(WcdmaPreferred, QueryAnswers) {
    Rig rig;
    rig.peer.expect("AT+CPREFMODE?", {"+CPREFMODE: 13,0,1", "OK"})
        .expect("AT+CPREFMODE?", {"+CPREFMODE: 14,0,1", "OK"})
        .expect("AT+CPREFMODE?", {"+CPREFMODE: 2,0,1", "OK"})
        .expect("AT+CPREFMODE?", {"ERROR"});
    rig.open();
    EXPECT_EQ(intAnswer(rig.request(WCDMA, 74, nullptr, 0)), 1);
    EXPECT_EQ(intAnswer(rig.request(WCDMA, 74, nullptr, 0)), 2);
    EXPECT_EQ(intAnswer(rig.request(WCDMA, 74, nullptr, 0)), 0);
    EXPECT_EQ(rig.request(WCDMA, 74, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
    rig.peer.verify();
}

TEST(PreferredType, LteSetSucceedsSilentlyAndGetAlwaysFails) {
    Rig rig;
    rig.peer.expect("AT^MODECONFIG?", {"^MODECONFIG: 38", "OK"});
    rig.open();
    EXPECT_EQ(intRequest(rig, LTE, 73, 9).error, RIL_E_SUCCESS);
    EXPECT_EQ(rig.request(LTE, 74, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
    rig.peer.verify();
    EXPECT_EQ(rig.peer.commands().size(), 1u);
}

TEST(ModeConfig, QueryCtecTableAndGetters) {
    struct Case {
        int m, type;
    } cases[] = {{0, 19}, {2, 19}, {3, 19}, {4, 19}, {6, 19}, {39, 19}, {51, 19}, {60, 19}, {61, 19}, {1, 1},
                 {13, 1}, {5, 16}, {38, 16}, {14, 2}, {15, 2}, {22, 2},  {19, 3},  {54, 18}, {65, 18}, {7, 0},
                 {-1, 0}, {99, 0}};
    for (const auto &c : cases) EXPECT_EQ(ril_modeconfig_to_type(c.m), c.type) << c.m;
    Rig rig;
    rig.peer.expect("AT^MODECONFIG?", {"^MODECONFIG: 38", "OK"})
        .expect("AT^MODECONFIG?", {"ERROR"})
        .expect("AT^MODECONFIG?", {"^MODECONFIG: 2", "OK"})
        .expect("AT^MODECONFIG?", {"^MODECONFIG: 14", "OK"});
    rig.open();
    EXPECT_EQ(getmodeconfig(), 38);
    EXPECT_EQ(getmodeconfig(), 0);
    int mode = -1, order = -1;
    EXPECT_EQ(LTE_GetSYSCFG(&mode, &order), 2);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(order, 2);
    int a = -1, b = -1;
    EXPECT_EQ(query_ctec(nullptr, &a, &b), 1);
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 2);
    rig.peer.verify();
}

/* ---- fixed answers ---- */

TEST(FixedAnswers, Table) {
    struct Case {
        int family, code, error, answer;  // answer -1000: none
    } cases[] = {
        {CDMA, 77, 0, -1000},  {WCDMA, 77, 0, -1000}, {LTE, 77, 0, -1000},   {WCDMA, 104, 2, -1000},
        {LTE, 104, 2, -1000},  {LTE, 81, 0, 0},       {LTE, 80, 0, -1000},   {WCDMA, 105, 2, -1000},
        {LTE, 105, 2, -1000},  {WCDMA, 106, 0, -1000}, {LTE, 106, 0, -1000}, {WCDMA, 107, 2, -1000},
        {LTE, 107, 2, -1000},  {WCDMA, 108, 0, 11},   {LTE, 108, 0, 1},      {WCDMA, 109, 2, -1000},
        {LTE, 109, 2, -1000},  {WCDMA, 110, 0, -1000}, {LTE, 110, 0, -1000}, {WCDMA, 111, 0, -1000},
        {WCDMA, 112, 2, -1000}, {LTE, 112, 2, -1000}, {WCDMA, 113, 2, -1000}, {WCDMA, 123, 0, -1000},
        {LTE, 123, 0, -1000},  {WCDMA, 124, 6, -1000}, {LTE, 124, 6, -1000}, {WCDMA, 130, 0, -1000},
        {LTE, 132, 0, -1000},
    };
    Rig rig;
    rig.open();
    int one = 1;
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.family) + "/" + std::to_string(c.code));
        auto done = rig.request(c.family, c.code, &one, sizeof(one));
        EXPECT_EQ(done.error, c.error);
        if (c.answer == -1000)
            EXPECT_TRUE(done.data.empty());
        else
            EXPECT_EQ(intAnswer(done), c.answer);
    }
    EXPECT_EQ(rig.request(CDMA, 77, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
    rig.peer.verify();
    EXPECT_TRUE(rig.peer.commands().empty());
}

TEST(FixedAnswers, RadioCapabilityAndNeighbouringCell) {
    Rig rig;
    rig.open();
    auto done = rig.request(LTE, 130, nullptr, 0);
    ASSERT_EQ(done.data.size(), sizeof(RIL_RadioCapability));
    RIL_RadioCapability rc;
    memcpy(&rc, done.data.data(), sizeof(rc));
    EXPECT_EQ(rc.version, 1);
    EXPECT_EQ(rc.rat, 0x3FF4E);
    EXPECT_STREQ(rc.logicalModemUuid, "0");
    EXPECT_EQ(rc.status, 1);
    for (int f : {WCDMA, LTE}) {
        done = rig.request(f, 131, nullptr, 0);
        ASSERT_EQ(done.data.size(), sizeof(RIL_RadioCapability));
        memcpy(&rc, done.data.data(), sizeof(rc));
        EXPECT_EQ(rc.version, 123);
        EXPECT_EQ(rc.session, 456);
        EXPECT_EQ(rc.phase, 78);
        EXPECT_EQ(rc.rat, f == WCDMA ? 69130 : 85514);
        EXPECT_STREQ(rc.logicalModemUuid, "12345678");
        EXPECT_EQ(RadioCapability.rat, rc.rat);
    }
    for (int f : {WCDMA, LTE}) {
        done = rig.request(f, 75, nullptr, 0);
        EXPECT_EQ(done.error, RIL_E_SUCCESS);
        EXPECT_EQ(done.data.size(), sizeof(RIL_NeighboringCell *));
        const RIL_NeighboringCell *cell = nullptr;
        memcpy(&cell, done.data.data(), sizeof(cell));
        ASSERT_NE(cell, nullptr);  // a static record
        EXPECT_STREQ(cell->cid, "12345679");
        EXPECT_EQ(cell->rssi, 90);
    }
}
