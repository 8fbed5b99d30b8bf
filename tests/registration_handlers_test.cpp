// Registration state, operator and radio technology of the three families,
// against the scripted module: each reply shape to the answer it gives.
#include <string.h>

#include <string>
#include <vector>

#include "network_fixture.h"
#include "ril_handlers.h"

using nettest::Net;
using riltest::Reply;
using Strings = std::vector<std::string>;

namespace {
const Reply kError{"ERROR"};
const Reply kOk{"OK"};
}  // namespace

/* ---------------- WCDMA voice registration ---------------- */

struct WVoiceCase {
    const char *name;
    Reply creg;         // answer to "AT+CREG?"
    bool asksTech;      // a parsable answer goes on to "AT+CNSMOD?"
    Strings expected;
};
static void PrintTo(const WVoiceCase &c, std::ostream *os) { *os << c.name; }

class WcdmaVoice : public Net, public ::testing::WithParamInterface<WVoiceCase> {};

TEST_P(WcdmaVoice, AnswersFromCreg) {
    const auto &c = GetParam();
    g_moduletype = 1;
    s_radio_state_wcdma = RADIO_STATE_SIM_READY;
    peer.expect("AT+CREG=2", kOk).expect("AT+CREG?", c.creg);
    if (c.asksTech) peer.expect("AT+CNSMOD?", {"+CNSMOD: 1,4", "OK"});
    open();
    auto done = call(OnWCDMA_RIL_REQUEST_VOICE_REGISTRATION_STATE, true);
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    EXPECT_EQ(done.strings, c.expected);
    peer.verify();
}

INSTANTIATE_TEST_SUITE_P(
    Replies, WcdmaVoice,
    ::testing::Values(
        WVoiceCase{"home", {"+CREG: 2,1,\"1A2B\",\"00C0FFEE\"", "OK"}, true, {"1", "1a2b", "c0ffee", "3"}},
        WVoiceCase{"roaming", {"+CREG: 2,5,\"1A2B\",\"00C0FFEE\"", "OK"}, true, {"1", "1a2b", "c0ffee", "3"}},
        WVoiceCase{"searching", {"+CREG: 2,2,\"1A2B\",\"0C\"", "OK"}, true, {"2", "1a2b", "c", "3"}},
        WVoiceCase{"denied", {"+CREG: 2,3", "OK"}, true, {"3", "ffffffff", "ffffffff", "3"}},
        WVoiceCase{"stateOnly", {"+CREG: 1", "OK"}, true, {"1", "ffffffff", "ffffffff", "3"}},
        WVoiceCase{"noCell", {"+CREG: 2,1,\"0\",\"0\"", "OK"}, true, {"1", "<null>", "<null>", "3"}},
        WVoiceCase{"stateLacCid", {"+CREG: 0,\"FFFE\",\"10\"", "OK"}, true, {"0", "fffe", "10", "3"}},
        WVoiceCase{"withAct", {"+CREG: 2,1,\"1A2B\",\"10\",7", "OK"}, true, {"1", "1a2b", "10", "3"}},
        WVoiceCase{"extraFields", {"+CREG: 2,1,\"1A2B\",\"10\",7,9", "OK"}, false, {"10", "0", "0", "1"}},
        WVoiceCase{"garbage", {"+CREG: x,y", "OK"}, false, {"10", "0", "0", "1"}},
        WVoiceCase{"error", kError, false, {"10", "0", "0", "1"}},
        WVoiceCase{"okWithoutLine", kOk, false, {"10", "0", "0", "1"}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Net, WcdmaVoiceNoAnswerGivesDefault) {
    peer.expect("AT+CREG=2", kOk).silence("AT+CREG?");
    open();
    auto done = call(OnWCDMA_RIL_REQUEST_VOICE_REGISTRATION_STATE, true);
    EXPECT_EQ(done.strings, (Strings{"10", "0", "0", "1"}));
}

TEST_F(Net, WcdmaVoiceRegisteredOnlyWithSimReady) {
    g_moduletype = 1;
    s_radio_state_wcdma = RADIO_STATE_ON;
    peer.expect("AT+CREG=2", kOk)
        .expect("AT+CREG?", {"+CREG: 2,1,\"1\",\"2\"", "OK"})
        .expect("AT+CNSMOD?", {"+CNSMOD: 1,7", "OK"});
    open();
    auto done = call(OnWCDMA_RIL_REQUEST_VOICE_REGISTRATION_STATE, true);
    EXPECT_EQ(done.strings, (Strings{"1", "1", "2", "11"}));
    EXPECT_EQ(s_registered, 0);
}

/* ---------------- WCDMA data registration ---------------- */

struct WDataCase {
    const char *name;
    int moduletype;
    Reply creg;
    bool asksTech;
    const char *cnsmod;  // "+CNSMOD:" line
    Strings expected;
};
static void PrintTo(const WDataCase &c, std::ostream *os) { *os << c.name; }

class WcdmaData : public Net, public ::testing::WithParamInterface<WDataCase> {};

TEST_P(WcdmaData, AnswersFromCreg) {
    const auto &c = GetParam();
    g_moduletype = c.moduletype;
    peer.expect("AT+CREG=2", kOk).expect("AT+CREG?", c.creg);
    if (c.asksTech) peer.expect("AT+CNSMOD?", {c.cnsmod, "OK"});
    open();
    auto done = call(OnWCDMA_RIL_REQUEST_DATA_REGISTRATION_STATE, true);
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    EXPECT_EQ(done.strings, c.expected);
    peer.verify();
}

INSTANTIATE_TEST_SUITE_P(
    Replies, WcdmaData,
    ::testing::Values(
        WDataCase{"home6290", 1, {"+CREG: 2,1,\"1a2b\",\"c0ffee\"", "OK"}, true, "+CNSMOD: 1,4",
                  {"1", "1A2B", "C0FFEE", "3"}},
        WDataCase{"roaming6290", 1, {"+CREG: 2,5,\"1A2B\",\"10\"", "OK"}, true, "+CNSMOD: 1,5",
                  {"1", "1A2B", "10", "9"}},
        WDataCase{"stateOnly", 1, {"+CREG: 2", "OK"}, true, "+CNSMOD: 1,6", {"2", "0", "0", "10"}},
        WDataCase{"noCellFields", 1, {"+CREG: 2,1", "OK"}, true, "+CNSMOD: 1,4", {"1", "0", "0", "3"}},
        // other module classes answer from the technology query's view
        WDataCase{"otherClassRegistered", 2, {"+CREG: 2,0,\"1\",\"2\"", "OK"}, true, "+CNSMOD: 1,4",
                  {"1", "1", "2", "3"}},
        WDataCase{"otherClassNoService", 2, {"+CREG: 2,1,\"1\",\"2\"", "OK"}, true, "+CNSMOD: 1,0",
                  {"0", "1", "2", "0"}},
        WDataCase{"error", 1, kError, false, "", {"0", "<null>", "<null>", "0"}},
        WDataCase{"noInteger", 1, {"+CREG: ", "OK"}, false, "", {"0", "<null>", "<null>", "0"}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Net, WcdmaDataFlightFormOnce) {
    g_moduletype = 1;
    g_fly_datareg = 1;
    peer.expect("AT+CREG=2", kOk)
        .expect("AT+CREG?", {"+CREG: 2,1,\"1\",\"2\"", "OK"})
        .expect("AT+CNSMOD?", {"+CNSMOD: 1,4", "OK"});
    open();
    auto done = call(OnWCDMA_RIL_REQUEST_DATA_REGISTRATION_STATE, true);
    EXPECT_EQ(done.strings, (Strings{"2", "fffffff", "fffffff", "0"}));
    EXPECT_EQ(g_fly_datareg, 0);
}

/* ---------------- Get3GMode ---------------- */

struct TechCase {
    const char *name;
    int moduletype;  // 0: "AT^SYSINFO" module, else "AT+CNSMOD?"
    Reply reply;
    const char *expected;
    int registered;  // -1: unchanged
};
static void PrintTo(const TechCase &c, std::ostream *os) { *os << c.name; }

class Wcdma3GMode : public Net, public ::testing::WithParamInterface<TechCase> {};

TEST_P(Wcdma3GMode, MapsTechnology) {
    const auto &c = GetParam();
    g_moduletype = c.moduletype;
    s_simcard = 0;  // no CPREFMODE timer
    s_registered = 7;
    peer.expect(c.moduletype ? "AT+CNSMOD?" : "AT^SYSINFO", c.reply);
    open();
    EXPECT_STREQ(Get3GMode(), c.expected);
    EXPECT_EQ(s_registered, c.registered < 0 ? 7 : c.registered);
    peer.verify();
}

INSTANTIATE_TEST_SUITE_P(
    Replies, Wcdma3GMode,
    ::testing::Values(TechCase{"sysinfoSeven", 0, {"^SYSINFO: 2,3,0,5,1,0,4", "OK"}, "3", 1},
                      TechCase{"sysinfoFive", 0, {"^SYSINFO: 2,3,0,1,1", "OK"}, "1", 1},
                      TechCase{"sysinfoThree", 0, {"^SYSINFO: 2,3,3", "OK"}, "2", 1},
                      TechCase{"sysinfoSubmode7", 0, {"^SYSINFO: 2,3,0,5,1,0,7", "OK"}, "11", 1},
                      TechCase{"sysinfoNone", 0, {"^SYSINFO: 0,0,0,0,1,0,0", "OK"}, "0", 0},
                      TechCase{"cnsmodGsm", 1, {"+CNSMOD: 1,1", "OK"}, "2", 1},
                      TechCase{"cnsmodEdge", 1, {"+CNSMOD: 1,3", "OK"}, "2", 1},
                      TechCase{"cnsmodHsdpa", 1, {"+CNSMOD: 1,5", "OK"}, "9", 1},
                      TechCase{"cnsmodHsupa", 1, {"+CNSMOD: 1,6", "OK"}, "10", 1},
                      TechCase{"cnsmodUnknown", 1, {"+CNSMOD: 1,12", "OK"}, "0", 1},
                      TechCase{"cnsmodOneField", 1, {"+CNSMOD: 1", "OK"}, "0", 0},
                      TechCase{"cnsmodGarbage", 1, {"+CNSMOD: a,b", "OK"}, "0", 0},
                      TechCase{"error", 1, kError, "0", -1}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Net, CnsmodServiceLostCyclesPreferredMode) {
    g_moduletype = 1;
    s_hasinit = 1;
    s_lastreg6290 = 1;
    peer.expect("AT+CNSMOD?", {"+CNSMOD: 1,0", "OK"})
        .expect("AT+CPREFMODE=14", kOk)
        .expect("AT+CPREFMODE=2", kOk);
    open();
    EXPECT_STREQ(Get3GMode(), "0");
    EXPECT_EQ(s_lastreg6290, 0);
    EXPECT_EQ(g_use_hasdataservice, 0);
    EXPECT_EQ(codes(), (std::vector<int>{RIL_UNSOL_DATA_CALL_LIST_CHANGED}));
    peer.verify();
}

TEST_F(Net, SysinfoModuleOn2GSchedulesOnePreferredModeTimer) {
    g_moduletype = 0;
    s_simcard = 1;
    peer.expect("AT^SYSINFO", {"^SYSINFO: 2,3,0,3,1,0,3", "OK"})
        .expect("AT^SYSINFO", {"^SYSINFO: 2,3,0,3,1,0,3", "OK"});
    open();
    EXPECT_STREQ(Get3GMode(), "2");
    EXPECT_STREQ(Get3GMode(), "2");
    auto t = nettest::timed();
    ASSERT_EQ(t.size(), 1u) << "one timer pending at a time";
    EXPECT_EQ(t[0].delayUs, 150000LL * 1000000LL);
}

/* ---------------- WCDMA operator ---------------- */

static std::vector<std::pair<int, std::string>> g_events;
static void recordEvent(kv_atfunc, int event, void *arg) {
    g_events.push_back({event, arg ? std::string((const char *)arg) : std::string("<null>")});
}

TEST_F(Net, WcdmaOperatorNameAndNumericWithEvent4) {
    g_peventfun = recordEvent;
    peer.expect("AT+COPS?", {"+COPS: 0,0,\"A VERY LONG OPERATOR NAME, WITH COMMA\",7", "OK"})
        .expect("AT+CIMI", {"460001234567890", "OK"});
    open();
    auto done = call(OnWCDMA_RIL_REQUEST_OPERATOR, true);
    EXPECT_EQ(done.strings, (Strings{"A VERY LONG OPE", "A VERY LONG OPE", "46000"}));
    EXPECT_EQ(s_copsmode, 0);
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(g_events[0], (std::pair<int, std::string>{4, "46000"}));
}

TEST_F(Net, WcdmaOperatorDefaultsWhenModuleFails) {
    peer.expect("AT+COPS?", {"+COPS: 1", "OK"}).expect("AT+CIMI", kError);
    open();
    auto done = call(OnWCDMA_RIL_REQUEST_OPERATOR, true);
    EXPECT_EQ(done.strings, (Strings{" ", " ", ""}));
    EXPECT_EQ(s_copsmode, 1);
}

TEST_F(Net, WcdmaOperatorInFlightModeAnswersNullOnce) {
    g_flying = 1;
    open();
    auto done = call(OnWCDMA_RIL_REQUEST_OPERATOR, true);
    EXPECT_EQ(done.strings, (Strings{"null", "null", "null"}));
    EXPECT_EQ(g_flying, 0);
    auto t = nettest::timed();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].cb, activeflydata_wcdma);
    EXPECT_EQ(t[0].delayUs, 1000000LL);
    EXPECT_TRUE(peer.commands().empty());
}

/* ---------------- LTE ---------------- */

struct LteTechCase {
    const char *name;
    int moduletype;
    int is9x07;
    Reply sysinfo;
    bool asksQcimi;
    Reply qcimi;
    const char *expected;
    int isCdma;
    int isSrlte;  // -1: unchanged (starts at 5)
};
static void PrintTo(const LteTechCase &c, std::ostream *os) { *os << c.name; }

class LteTech : public Net, public ::testing::WithParamInterface<LteTechCase> {};

TEST_P(LteTech, ClassifiesNetwork) {
    const auto &c = GetParam();
    g_moduletype = c.moduletype;
    s_is9X07 = c.is9x07;
    is_srlte = 5;
    peer.expect("AT^SYSINFO", c.sysinfo);
    if (c.asksQcimi) peer.expect("AT+QCIMI", c.qcimi);
    open();
    EXPECT_STREQ(GetLteRadioTech(), c.expected);
    EXPECT_EQ(is_cdma, c.isCdma);
    EXPECT_EQ(is_srlte, c.isSrlte < 0 ? 5 : c.isSrlte);
    peer.verify();
}

INSTANTIATE_TEST_SUITE_P(
    Replies, LteTech,
    ::testing::Values(
        LteTechCase{"lte", 3, 0, {"^SYSINFO: 2,3,0,9,1", "OK"}, false, {}, "14", 0, -1},
        LteTechCase{"cdma1x", 3, 0, {"^SYSINFO: 2,3,0,2,1", "OK"}, false, {}, "2", 1, -1},
        LteTechCase{"wcdmaQcimiOk", 3, 0, {"^SYSINFO: 2,3,0,4,1", "OK"}, true, kOk, "3", 1, -1},
        LteTechCase{"wcdmaQcimiError", 3, 0, {"^SYSINFO: 2,3,0,4,1", "OK"}, true, kError, "3", 0, -1},
        LteTechCase{"evdo", 3, 0, {"^SYSINFO: 2,3,0,8,1", "OK"}, false, {}, "3", 1, -1},
        LteTechCase{"noService", 3, 0, {"^SYSINFO: 0,0,0,0,1", "OK"}, false, {}, "0", -1, -1},
        LteTechCase{"modeZero", 3, 0, {"^SYSINFO: 2,3,0,0,1", "OK"}, false, {}, "0", -1, -1},
        LteTechCase{"srlte9x07", 3, 1, {"^SYSINFO: 2,3,0,3,1,9", "OK"}, false, {}, "14", 0, 1},
        LteTechCase{"field4Means8", 3, 1, {"^SYSINFO: 2,3,0,3,1,4", "OK"}, false, {}, "3", 1, -1},
        LteTechCase{"shortLine9x07", 3, 1, {"^SYSINFO: 2,3,0,9", "OK"}, false, {}, "14", 0, 0},
        LteTechCase{"error", 3, 0, kError, false, {}, "0", 0, -1}),
    [](const auto &info) { return std::string(info.param.name); });

struct LteVoiceCase {
    const char *name;
    Reply creg;
    bool parsed;
};
static void PrintTo(const LteVoiceCase &c, std::ostream *os) { *os << c.name; }

class LteVoice : public Net, public ::testing::WithParamInterface<LteVoiceCase> {};

TEST_P(LteVoice, AlwaysRegisteredHomeOnParsableAnswer) {
    const auto &c = GetParam();
    g_moduletype = 3;
    s_is9X07 = 1;
    peer.expect("AT+CREG?", c.creg);
    if (c.parsed)
        peer.expect("AT+SERVERINFO", {"+SERVERINFO: 1,2,\"1A2B\",\"C0FFEE\"", "OK"})
            .expect("AT^SYSINFO", {"^SYSINFO: 2,3,0,9,1", "OK"});
    open();
    auto done = call(OnLTE_RIL_REQUEST_VOICE_REGISTRATION_STATE, false);
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    auto r = nettest::recordOf<RIL_VoiceRegistrationStateResponse>(done);
    EXPECT_EQ(r.regState, c.parsed ? 1 : 0);
    EXPECT_EQ(r.rat, c.parsed ? 14 : 0);
    EXPECT_EQ(r.roamingIndicator, c.parsed ? -1 : 0);
    EXPECT_EQ(r.defaultRoamingIndicator, c.parsed ? -1 : 0);
    EXPECT_EQ(r.cellIdentity.cellInfoType, 0);
    if (c.parsed) {
        EXPECT_EQ(s_lte_lac, 0x1A2B);
        EXPECT_EQ(s_lte_cid, 0xC0FFEE);
    }
    peer.verify();
}

INSTANTIATE_TEST_SUITE_P(Replies, LteVoice,
                         ::testing::Values(LteVoiceCase{"home", {"+CREG: 2,1,\"1\",\"2\"", "OK"}, true},
                                           LteVoiceCase{"notRegistered", {"+CREG: 0", "OK"}, true},
                                           LteVoiceCase{"roamingModeOnly", {"+CREG: 2,5", "OK"}, true},
                                           LteVoiceCase{"extraFields", {"+CREG: 1,2,3,4,5,6", "OK"}, false},
                                           LteVoiceCase{"error", kError, false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(Net, LteVoiceQueryFollowsModuleClass) {
    struct {
        int moduletype, fdd, is9x07, cdma;
        const char *cmd, *prefixLine;
    } cases[] = {{3, 1, 0, 0, "AT+CCREG?", "+CCREG: 1"},
                 {4, 0, 0, 1, "AT^SYSINFO", "^SYSINFO: 2,3,0,2,1"},
                 {3, 1, 1, 0, "AT+CREG?", "+CREG: 1"}};
    for (const auto &c : cases) {
        peer.expect(c.cmd, {c.prefixLine, "OK"});
        // getlac and the technology query follow; the answers do not matter here
        peer.expect(c.is9x07 ? "AT+SERVERINFO" : "AT+SCELLINFO", kError).expect("AT^SYSINFO", kError);
    }
    open();
    for (const auto &c : cases) {
        g_moduletype = c.moduletype;
        is_fddandevdo = c.fdd;
        s_is9X07 = c.is9x07;
        is_cdma = c.cdma;
        auto r = nettest::recordOf<RIL_VoiceRegistrationStateResponse>(
            call(OnLTE_RIL_REQUEST_VOICE_REGISTRATION_STATE, false));
        EXPECT_EQ(r.regState, 1) << c.cmd;
    }
    peer.verify();
}

TEST_F(Net, LteDataRecordCarriesCellAndTech) {
    g_moduletype = 3;
    s_is9X07 = 0;
    peer.expect("AT+CGREG?", {"+CGREG: 2,1,\"00AA\",\"0100\"", "OK"})
        .expect("AT^SYSINFO", {"^SYSINFO: 2,3,0,9,1", "OK"})
        .expect("AT+SCELLINFO", {"+SCELLINFO: 1,2,3,\"1A2B\",\"C0FFEE\"", "OK"});
    open();
    auto r = nettest::recordOf<RIL_DataRegistrationStateResponse>(
        call(OnLTE_RIL_REQUEST_DATA_REGISTRATION_STATE, false));
    EXPECT_EQ(r.regState, 1);
    EXPECT_EQ(r.rat, 14);
    EXPECT_EQ(r.reasonDataDenied, 0);
    EXPECT_EQ(r.maxDataCalls, 1);
    EXPECT_EQ(r.cellIdentity.cellInfoType, RIL_CELL_INFO_TYPE_LTE);
    EXPECT_EQ(r.cellIdentity.cellIdentityLte.tac, 0x1A2B);
    EXPECT_EQ(r.cellIdentity.cellIdentityLte.ci, 0xC0FFEE);
    EXPECT_EQ(r.cellIdentity.cellIdentityLte.mcc, -1);
    EXPECT_EQ(r.cellIdentity.cellIdentityLte.earfcn, -1);
    peer.verify();
}

TEST_F(Net, LteDataAsrModuleReadsCellFromCereg) {
    g_moduletype = 5;
    is_mode_g = 9;
    struct {
        const char *line;
        int tac, ci;
    } cases[] = {{"+CEREG: 2,1,\"1A2B\",\"C0FFEE\",7", 0x1A2B, 0xC0FFEE}, {"+CEREG: 2,1,\"1A2B\"", 0, 0}};
    for (const auto &c : cases)
        peer.expect("AT+CEREG?", {c.line, "OK"}).expect("AT^SYSINFO", {"^SYSINFO: 2,3,0,9,1", "OK"});
    open();
    for (const auto &c : cases) {
        auto r = nettest::recordOf<RIL_DataRegistrationStateResponse>(
            call(OnLTE_RIL_REQUEST_DATA_REGISTRATION_STATE, false));
        EXPECT_EQ(r.cellIdentity.cellIdentityLte.tac, c.tac) << c.line;
        EXPECT_EQ(r.cellIdentity.cellIdentityLte.ci, c.ci) << c.line;
    }
    peer.verify();
}

TEST_F(Net, LteDataFailureAnswersAllMinusOne) {
    g_moduletype = 3;
    peer.expect("AT+CGREG?", kError);
    open();
    auto done = call(OnLTE_RIL_REQUEST_DATA_REGISTRATION_STATE, false);
    ASSERT_EQ(done.data.size(), sizeof(RIL_DataRegistrationStateResponse));
    for (unsigned char b : done.data) EXPECT_EQ(b, 0xFF);
}

TEST_F(Net, LteDataOnCdmaNetworkAnswersStrings) {
    is_cdma = 1;
    peer.expect("AT^SYSINFO", {"^SYSINFO: 2,3,0,8,1", "OK"});
    open();
    auto done = call(OnLTE_RIL_REQUEST_DATA_REGISTRATION_STATE, true);
    EXPECT_EQ(done.strings, (Strings{"1", "0", "0", "3"}));
}

struct LteOperCase {
    const char *name;
    Reply reply;
    Strings expected;
};
static void PrintTo(const LteOperCase &c, std::ostream *os) { *os << c.name; }

class LteOperator : public Net, public ::testing::WithParamInterface<LteOperCase> {};

TEST_P(LteOperator, ThreeCopsLines) {
    peer.expect("AT+COPS=3,0;+COPS?;+COPS=3,1;+COPS?;+COPS=3,2;+COPS?", GetParam().reply);
    open();
    auto done = call(OnLTE_RIL_REQUEST_OPERATOR, true);
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    EXPECT_EQ(done.strings, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, LteOperator,
    ::testing::Values(
        LteOperCase{"three",
                    {"+COPS: 0,0,\"CHINA MOBILE\",7", "+COPS: 0,1,\"CMCC\",7", "+COPS: 0,2,\"46000\",7", "OK"},
                    {"CHINA MOBILE", "CMCC", "46000"}},
        LteOperCase{"modeOnly", {"+COPS: 0", "+COPS: 0,1", "+COPS: 0,2,\"46000\"", "OK"},
                    {"<null>", "<null>", "46000"}},
        LteOperCase{"two", {"+COPS: 0,0,\"A\"", "+COPS: 0,1,\"B\"", "OK"}, {"A", "B", "<null>"}},
        LteOperCase{"four",
                    {"+COPS: 0,0,\"A\"", "+COPS: 0,1,\"B\"", "+COPS: 0,2,\"1\"", "+COPS: 0,2,\"2\"", "OK"},
                    {"A", "B", "1"}},
        LteOperCase{"error", kError, {"<null>", "<null>", "<null>"}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Net, ServiceStatusFromPacketRegistration) {
    struct {
        Reply reply;
        int expected;
    } cases[] = {{{"+CGREG: 2,1", "OK"}, 1}, {{"+CGREG: 5", "OK"}, 1}, {{"+CGREG: 2,2", "OK"}, 0},
                 {{"+CGREG: 0,3,\"1\",\"2\"", "OK"}, 0}, {kError, 0}};
    for (const auto &c : cases) peer.expect("AT+CGREG?", c.reply);
    open();
    for (const auto &c : cases) {
        g_use_hasdataservice = 1 - c.expected;
        getservicestatus();
        EXPECT_EQ(g_use_hasdataservice, c.expected);
    }
    peer.verify();
}

TEST_F(Net, RegChangedReportsOnlyAfterInit) {
    onRegChanged(nullptr);
    EXPECT_TRUE(codes().empty());
    s_hasinit = 1;
    onRegChanged(nullptr);
    EXPECT_EQ(codes(), (std::vector<int>{RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED}));
}

/* ---------------- CDMA ---------------- */

struct CdmaVoiceCase {
    const char *name;
    RIL_RadioState state;
    const char *sysinfo;
    Reply gpsnw;
    Strings expected;
    int service;
};
static void PrintTo(const CdmaVoiceCase &c, std::ostream *os) { *os << c.name; }

class CdmaVoice : public Net, public ::testing::WithParamInterface<CdmaVoiceCase> {};

TEST_P(CdmaVoice, FourteenStrings) {
    const auto &c = GetParam();
    s_radio_state_cdma = c.state;
    peer.expect("AT^SYSINFO", {c.sysinfo, "OK"})
        .expect("AT^HOMESNID", {"^HOMESNID: 13824,1", "OK"})
        .expect("AT^GPSNWINFO", c.gpsnw);
    open();
    auto done = call(OnCDMA_RIL_REQUEST_VOICE_REGISTRATION_STATE, true);
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    EXPECT_EQ(done.strings, c.expected);
    EXPECT_EQ(s_cdmaservice, c.service);
    peer.verify();
}

INSTANTIATE_TEST_SUITE_P(
    Replies, CdmaVoice,
    ::testing::Values(
        CdmaVoiceCase{"homeEvdo", RADIO_STATE_RUIM_READY, "^SYSINFO: 2,3,0,8,1",
                      {"^GPSNWINFO: 0,13824,1,30.5,114.3", "OK"},
                      {"1", "1", "1", "8", "0", "30.5", "114.3", "0", "13824", "1", "1", "1", "1", "0"}, 1},
        CdmaVoiceCase{"roaming1x", RADIO_STATE_RUIM_READY, "^SYSINFO: 2,3,1,2,1",
                      {"^GPSNWINFO: 42,7,8", "OK"},
                      {"5", "1", "1", "6", "42", "", "", "0", "7", "8", "1", "1", "1", "0"}, 1},
        CdmaVoiceCase{"limited", RADIO_STATE_RUIM_READY, "^SYSINFO: 1,0,0,2,1", kError,
                      {"4", "1", "1", "6", "90", "90", "100", "0", "13824", "1", "1", "1", "1", "0"}, 0},
        CdmaVoiceCase{"ruimNotReady", RADIO_STATE_RUIM_NOT_READY, "^SYSINFO: 2,3,0,8,1", kError,
                      {"0", "1", "1", "0", "90", "90", "100", "0", "13824", "1", "1", "1", "1", "0"}, 1},
        CdmaVoiceCase{"longFieldCut", RADIO_STATE_RUIM_READY, "^SYSINFO: 2,3,0,4,1",
                      {"^GPSNWINFO: 123456789012345678901234567890", "OK"},
                      {"1", "1", "1", "8", "12345678901234567890123", "", "", "0", "", "", "1", "1", "1", "0"},
                      1}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Net, CdmaVoiceRetriesWhileNoService) {
    s_radio_state_cdma = RADIO_STATE_RUIM_READY;
    for (int i = 0; i < 4; i++) peer.expect("AT^SYSINFO", {"^SYSINFO: 0,0,0,0,1", "OK"});
    peer.expect("AT^HOMESNID", {"^HOMESNID: 1,2", "OK"}).expect("AT^GPSNWINFO", kError);
    open();
    auto done = call(OnCDMA_RIL_REQUEST_VOICE_REGISTRATION_STATE, true);
    ASSERT_EQ(done.strings.size(), 14u);
    EXPECT_EQ(done.strings[0], "0");
    EXPECT_EQ(done.strings[3], "0");
    peer.verify();
}

TEST_F(Net, CdmaVoiceKeepsPreviousAnswerWhenModuleFails) {
    s_radio_state_cdma = RADIO_STATE_RUIM_READY;
    peer.expect("AT^SYSINFO", {"^SYSINFO: 2,3,0,2,1", "OK"})
        .expect("AT^HOMESNID", {"^HOMESNID: 1,2", "OK"})
        .expect("AT^GPSNWINFO", kError);
    for (int i = 0; i < 3; i++) peer.expect("AT^SYSINFO", kError);
    open();
    auto first = call(OnCDMA_RIL_REQUEST_VOICE_REGISTRATION_STATE, true);
    auto second = call(OnCDMA_RIL_REQUEST_VOICE_REGISTRATION_STATE, true);
    EXPECT_EQ(second.strings, first.strings);
    EXPECT_EQ(second.strings[0], "1");
    peer.verify();
}

TEST_F(Net, CdmaVoiceUnparsableAnswerGivesEmptyStrings) {
    s_radio_state_cdma = RADIO_STATE_RUIM_READY;
    peer.expect("AT^SYSINFO", {"^SYSINFO: 2,x", "OK"});
    open();
    auto done = call(OnCDMA_RIL_REQUEST_VOICE_REGISTRATION_STATE, true);
    EXPECT_EQ(done.strings, Strings(14, ""));
}

TEST_F(Net, CdmaDataAnswersFixedStringsWithLastTech) {
    open();
    s_cdmadatatech = 8;
    auto done = call(OnCDMA_RIL_REQUEST_DATA_REGISTRATION_STATE, true);
    EXPECT_EQ(done.strings, (Strings{"1", "10000", "10000", "8", "50"}));
    EXPECT_TRUE(peer.commands().empty());
}

TEST_F(Net, CdmaOperatorFromImsiAndCache) {
    s_radio_state_cdma = RADIO_STATE_RUIM_READY;
    peer.expect("ATE0", kOk)
        .expect("AT+CIMI", {"46003123456789012345678", "OK"})
        .expect("ATE0", kOk)
        .expect("AT+CIMI", kError);
    open();
    auto done = call(OnCDMA_RIL_REQUEST_OPERATOR, true);
    EXPECT_EQ(done.strings, (Strings{"CHINA TELECOM", "CHINA TELECOM", "46003"}));
    EXPECT_STREQ(s_cimicache, "4600312345678901234");
    done = call(OnCDMA_RIL_REQUEST_OPERATOR, true);
    EXPECT_EQ(done.strings, (Strings{"CHINA TELECOM", "CHINA TELECOM", ""}));
    s_radio_state_cdma = RADIO_STATE_RUIM_NOT_READY;
    done = call(OnCDMA_RIL_REQUEST_OPERATOR, true);
    EXPECT_EQ(done.strings, (Strings{"CHINA TELECOM", "CHINA TELECOM", "46003"}));
    peer.verify();
}

TEST_F(Net, CdmaOperatorBeforeAnyImsiIsEmpty) {
    open();
    auto done = call(OnCDMA_RIL_REQUEST_OPERATOR, true);
    EXPECT_EQ(done.strings, (Strings{"", "", ""}));
}
