// Identity requests of the three families (IMSI, IMEI, baseband version,
// device identity, CDMA subscription) and the identity properties.
#include "sim_rig.h"

using simtest::CDMA;
using simtest::LTE;
using simtest::Rig;
using simtest::Step;
using simtest::WCDMA;

namespace {

using namespace std::chrono_literals;

enum Answer { Text, Strings, None };

struct IdentityCase {
    const char *name;
    int family;
    int code;
    std::vector<Step> script;
    int error;
    Answer kind;
    std::vector<std::string> answer;                   // the text, or the strings
    std::map<std::string, std::string> properties;     // expected afterwards
};

std::ostream &operator<<(std::ostream &o, const IdentityCase &c) { return o << c.name; }

const std::string kImsi = "460001234567890";

const IdentityCase kCases[] = {
    // IMSI
    {"cdma_imsi", CDMA, 11, {{"ATE0", {"OK"}}, {"AT+CIMI", {"460031234567890", "OK"}}}, 0, Text,
     {"460031234567890"}, {}},
    {"cdma_imsi_error", CDMA, 11, {{"ATE0", {"OK"}}, {"AT+CIMI", {"ERROR"}}}, 2, None, {}, {}},
    {"wcdma_imsi_read_and_published", WCDMA, 11,
     {{"AT+CIMI", {kImsi, "OK"}},
      {"AT+CICCID", {"+ICCID: 89860012345678901234", "OK"}},
      {"AT+CNUM", {"+CNUM: \"me\",\"+8613800000000\",145", "OK"}},
      {"AT+CPREFMODE?", {"+CPREFMODE: 2,1,3", "OK"}}},
     0, Text, {kImsi},
     {{"ril.kivo.cimi", kImsi}, {"ril.kivo.iccid", "89860012345678901234"},
      {"ril.kivo.phonenumber", "+8613800000000"}}},
    {"wcdma_imsi_short_answer_retried", WCDMA, 11,
     {{"AT+CIMI", {"460001234", "OK"}},
      {"AT+CIMI", {"46000123", "OK"}},
      {"AT+CIMI", {kImsi, "OK"}},
      {"AT+CICCID", {"ERROR"}},
      {"AT+CNUM", {"ERROR"}},
      {"AT+CPREFMODE?", {"ERROR"}}},
     0, Text, {kImsi}, {{"ril.kivo.cimi", kImsi}, {"ril.kivo.iccid", "<unset>"}}},
    {"wcdma_imsi_unreadable_is_empty", WCDMA, 11,
     {{"AT+CIMI", {"ERROR"}}, {"AT+CICCID", {"ERROR"}}, {"AT+CNUM", {"ERROR"}}, {"AT+CPREFMODE?", {"ERROR"}}},
     0, Text, {""}, {{"ril.kivo.cimi", "<unset>"}}},
    {"lte_imsi_cimim_on_9x07", LTE, 11, {{"ATE0", {"OK"}}, {"AT+CIMIM", {"+CIMIM: 460011111111111", "OK"}}}, 0,
     Text, {"460011111111111"}, {}},
    {"lte_imsi_error_gives_fixed_46001", LTE, 11, {{"ATE0", {"OK"}}, {"AT+CIMIM", {"ERROR"}}}, 0, Text,
     {kLteDefaultImsi}, {}},
    {"lte_imsi_20404_replaced", LTE, 11, {{"ATE0", {"OK"}}, {"AT+CIMIM", {"204041234567890", "OK"}}}, 0, Text,
     {kLteReplacementImsi}, {}},
    // IMEI (and IMEISV through the same handler in WCDMA and LTE)
    {"wcdma_imei", WCDMA, 38, {{"ATE0", {"OK"}}, {"AT+CGSN", {"+CGSN: 861234567890123", "OK"}}}, 0, Text,
     {"861234567890123"}, {{"ril.imei", "861234567890123"}}},
    {"lte_imeisv_is_imei", LTE, 39, {{"AT+CGSN", {"861234567890123", "OK"}}}, 0, Text, {"861234567890123"},
     {{"ril.imei", "861234567890123"}}},
    {"lte_imei_error", LTE, 38, {{"AT+CGSN", {"ERROR"}}}, 2, None, {}, {{"ril.imei", "<unset>"}}},
    {"cdma_imei_is_meid", CDMA, 38, {{"AT^MEID", {"^MEID: A1000012345678", "OK"}}}, 0, Text,
     {"A1000012345678"}, {}},
    {"cdma_imeisv_short_meid", CDMA, 39, {{"AT^MEID", {"^MEID: A10000123", "OK"}}}, 2, None, {}, {}},
    // baseband version
    {"lte_baseband", LTE, 51, {{"AT+CGMR", {"+CGMR: V1.2.3", "OK"}}}, 0, Text, {"V1.2.3"}, {}},
    {"cdma_baseband_error", CDMA, 51, {{"AT+CGMR", {"ERROR"}}}, 2, None, {}, {}},
    // device identity
    {"wcdma_identity", WCDMA, 98,
     {{"AT+CGSN", {"+CGSN: 861234567890123", "OK"}},
      {"AT^MEID", {"^MEID: A1000012345678FF", "OK"}},
      {"AT+ICCID?", {"+ICCID: 89860000000000000001", "OK"}}},
     0, Strings, {"", "861234567890123", "861234567890123", "A1000012345678FF"},
     {{"ril.kivo.iccid", "89860000000000000001"}}},
    {"wcdma_identity_short_cgsn", WCDMA, 98,
     {{"AT+CGSN", {"+CGSN: 1234567", "OK"}}, {"AT^MEID", {"ERROR"}}, {"AT+ICCID?", {"ERROR"}}}, 0, Strings,
     {"", "", "", ""}, {}},
    {"lte_identity", LTE, 98,
     {{"AT+CGSN", {"+CGSN: 861234567890123", "OK"}},
      {"AT^MEID", {"^MEID: A10000123456", "OK"}},
      {"AT+ICCID?", {"+ICCID: 89860000000000000002", "OK"}}},
     0, Strings, {"861234567890123", "861234567890123", "861234567890123", ""},
     {{"ril.kivo.iccid", "89860000000000000002"}}},
    {"cdma_identity", CDMA, 98,
     {{"AT+GSN", {"+GSN: 8012ABCD", "OK"}},
      {"AT^MEID", {"^MEID: A1000012345678", "OK"}},
      {"AT+UIMID", {"+UIMID: 80ABCDEF", "OK"}}},
     0, Strings, {"", "", "8012ABCD", "A1000012345678"},
     {{"ril.imei", "A1000012345678"}, {"ril.kivo.iccid", "80ABCDEF"}}},
    // CDMA subscription
    {"cdma_subscription", CDMA, 95,
     {{"AT^HOMESNID", {"^HOMESNID: 13824,65535", "OK"}}, {"AT+CIMI", {"460030912345678", "OK"}}}, 0, Strings,
     {"", "13824", "65535", "0912345678", "00006"}, {}},
    {"cdma_subscription_without_homesnid", CDMA, 95, {{"AT^HOMESNID", {"ERROR"}}}, 0, Strings,
     {"<null>", "<null>", "<null>", "<null>", "<null>"}, {}},
};

class Identity : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(Identity, AnswersAndPublishes) {
    const IdentityCase &c = GetParam();
    Rig rig;
    s_radio_state_cdma = RADIO_STATE_RUIM_READY;
    s_radio_state_wcdma = RADIO_STATE_SIM_READY;
    s_radio_state_lte = RADIO_STATE_SIM_READY;
    rig.script(c.script);
    rig.open();
    if (c.kind == Text) rig.textAnswer(1);
    if (c.kind == Strings) rig.arrayAnswer(1);
    rig.dispatch(c.family, c.code, nullptr, 0, 1);
    riltest::Completion done = rig.completion(1);
    EXPECT_EQ(done.error, c.error);
    if (c.kind == Text) {
        EXPECT_EQ(rig.text(1), c.answer[0]);
    } else if (c.kind == Strings) {
        EXPECT_EQ(rig.strings(1), c.answer);
    } else {
        EXPECT_TRUE(done.data.empty());
    }
    rig.peer.verify();
    for (const auto &p : c.properties) EXPECT_EQ(rig.property(p.first), p.second) << p.first;
}

INSTANTIATE_TEST_SUITE_P(Families, Identity, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<IdentityCase> &i) { return std::string(i.param.name); });

TEST(ImsiCache, WcdmaWithAFifteenDigitCacheAsksNothing) {
    Rig rig;
    s_radio_state_wcdma = RADIO_STATE_SIM_READY;
    snprintf(s_imsicache, sizeof(s_imsicache), "%s", kImsi.c_str());
    rig.open();
    rig.textAnswer(1);
    rig.dispatch(WCDMA, RIL_REQUEST_GET_IMSI, nullptr, 0, 1);
    EXPECT_EQ(rig.completion(1).error, RIL_E_SUCCESS);
    EXPECT_EQ(rig.text(1), kImsi);
    EXPECT_TRUE(rig.peer.commands().empty());
}

TEST(ImsiLoop, GivesUpAfterTenShortAnswers) {
    Rig rig;
    std::vector<Step> script;
    for (int i = 0; i < 10; i++) script.push_back({"AT+CIMI", {"460001234", "OK"}});
    script.push_back({"AT+CICCID", {"ERROR"}});
    script.push_back({"AT+CNUM", {"ERROR"}});
    script.push_back({"AT+CPREFMODE?", {"+CPREFMODE: 2,1,0", "OK"}});
    rig.script(script);
    rig.open();
    SetCimiIccidProp();
    rig.peer.verify();
    EXPECT_STREQ(s_imsicache, "460001234");
    EXPECT_EQ(s_simcard, 0);
}

TEST(LteImsi, ChinaMobileCodesMarkTheOperator) {
    for (const char *imsi : {"460001234567890", "460021234567890", "460071234567890", "460011234567890"}) {
        SCOPED_TRACE(imsi);
        is_chinamobile = 0;
        Rig rig;
        s_is9X07 = 0;
        is_cdma = 0;
        rig.script({{"ATE0", {"OK"}}, {"AT+CIMI", {imsi, "OK"}}});
        rig.open();
        rig.textAnswer(1);
        rig.dispatch(LTE, RIL_REQUEST_GET_IMSI, nullptr, 0, 1);
        rig.completion(1);
        EXPECT_EQ(rig.text(1), imsi);
        EXPECT_EQ(is_chinamobile, strncmp(imsi, "46001", 5) != 0 ? 1 : 0);
        rig.peer.verify();
    }
}

TEST(LteImsi, CdmaSubscriptionAsksQcimi) {
    Rig rig;
    is_cdma = 1;
    rig.script({{"ATE0", {"OK"}}, {"AT+QCIMI", {"+QCIMI: 460030912345678", "OK"}}});
    rig.open();
    rig.textAnswer(1);
    rig.dispatch(LTE, RIL_REQUEST_GET_IMSI, nullptr, 0, 1);
    rig.completion(1);
    EXPECT_EQ(rig.text(1), "460030912345678");
    rig.peer.verify();
}

TEST(LteImsi, FixedImsisAreFifteenDigitsOfTheirOperators) {
    EXPECT_EQ(strlen(kLteDefaultImsi), 15u);
    EXPECT_EQ(strncmp(kLteDefaultImsi, "46001", 5), 0);
    EXPECT_EQ(strlen(kLteReplacementImsi), 15u);
    EXPECT_EQ(strncmp(kLteReplacementImsi, "46003", 5), 0);
}

TEST(Meid, LongEnoughMeidIsPublishedAsImei) {
    struct Case {
        const char *line;
        const char *expected;
    } cases[] = {{"^MEID: A1000012345678", "A1000012345678"}, {"^MEID: A10000123", "<unset>"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        Rig rig;
        rig.script({{"AT^MEID", {c.line, "OK"}}});
        rig.open();
        GetMeid();
        rig.peer.verify();
        EXPECT_EQ(rig.property("ril.imei"), c.expected);
    }
}

TEST(IdentityBounds, OverlongModuleTextsAreCut) {
    Rig rig;
    std::string longText(300, '7');
    rig.script({{"AT+CGSN", {"+CGSN: " + longText, "OK"}},
                {"AT^MEID", {"^MEID: " + longText, "OK"}},
                {"AT+ICCID?", {"+ICCID: " + longText, "OK"}}});
    rig.open();
    s_radio_state_wcdma = RADIO_STATE_SIM_READY;
    rig.arrayAnswer(1);
    rig.dispatch(WCDMA, RIL_REQUEST_DEVICE_IDENTITY, nullptr, 0, 1);
    EXPECT_EQ(rig.completion(1).error, RIL_E_SUCCESS);
    auto v = rig.strings(1);
    ASSERT_EQ(v.size(), 4u);
    EXPECT_EQ(v[1].size(), 49u);
    EXPECT_EQ(v[3].size(), 49u);
    EXPECT_EQ(rig.property("ril.kivo.iccid").size(), (size_t)PROPERTY_VALUE_MAX - 1);
    rig.peer.verify();
}

}  // namespace
