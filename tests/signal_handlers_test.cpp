// Signal strength requests of the three families and single runs of the
// CDMA and WCDMA signal polls, against the scripted module.
#include <limits.h>
#include <string.h>

#include <string>
#include <vector>

#include "daemon_harness.h"
#include "network_fixture.h"
#include "ril_handlers.h"
#include "ril_log.h"

using nettest::Net;
using riltest::Reply;
using namespace std::chrono_literals;

namespace {
const Reply kError{"ERROR"};
const Reply kOk{"OK"};

std::vector<int> fields(const RIL_SignalStrength_v10 &s) {
    std::vector<int> v(sizeof(s) / sizeof(int));
    memcpy(v.data(), &s, sizeof(s));
    return v;
}

RIL_SignalStrength_v10 lastSignal(riltest::RecordingEnv &env) {
    RIL_SignalStrength_v10 s{};
    for (const auto &n : env.notifications())
        if (n.code == RIL_UNSOL_SIGNAL_STRENGTH && n.data.size() == sizeof(s)) memcpy(&s, n.data.data(), sizeof(s));
    return s;
}

int count(const std::vector<int> &codes, int code) {
    int n = 0;
    for (int c : codes) n += c == code;
    return n;
}
}  // namespace

TEST(SignalRecords, InitialContents) {
    const std::vector<int> base = {15, 99, -1, -1, -1, -1, -1, 99, INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX - 1, 0};
    std::vector<int> lte = base;
    lte.back() = 99;
    EXPECT_EQ(fields(s_signal_cdma), base);
    EXPECT_EQ(fields(s_signal_wcdma), base);
    EXPECT_EQ(fields(s_signal_lte), lte);
    EXPECT_EQ(sizeof(RIL_SignalStrength_v10), 56u);
}

TEST_F(Net, CdmaRequestAnswersTheRecordWithoutModuleTraffic) {
    open();
    auto done = call(OnCDMA_RIL_REQUEST_SIGNAL_STRENGTH, false);
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    EXPECT_EQ(fields(nettest::recordOf<RIL_SignalStrength_v10>(done)), fields(s_signal_cdma));
    EXPECT_TRUE(peer.commands().empty());
}

TEST_F(Net, WcdmaRequestReadsCsq) {
    struct {
        Reply reply;
        int rssi, ber;
    } cases[] = {{{"+CSQ: 21,3", "OK"}, 21, 3}, {{"+CSQ: 99,99", "OK"}, 99, 99},
                 {{"+csq: 7,1", "OK"}, 7, 1},   {{"+CSQ: 12", "OK"}, 12, 0},
                 {kError, 0, 0},                {{"+CSQ: ,5", "OK"}, 0, 0}};
    for (const auto &c : cases) peer.expect("ATE0", kOk).expect("AT+CSQ", c.reply);
    setenv("RIL_TIME_SCALE", "1", 1);  // "ATE0" waits its real 1 s for the OK
    open();
    for (const auto &c : cases) {
        auto s = nettest::recordOf<RIL_SignalStrength_v10>(call(OnWCDMA_RIL_REQUEST_SIGNAL_STRENGTH, false));
        EXPECT_EQ(s.GW_SignalStrength.signalStrength, c.rssi);
        EXPECT_EQ(s.GW_SignalStrength.bitErrorRate, c.ber);
        EXPECT_EQ(s.LTE_SignalStrength.rsrp, INT_MAX) << "only the GSM fields change";
    }
    peer.verify();
}

/* ---------------- LTE conversion ---------------- */

struct LteCase {
    const char *name;
    int isCdma;
    Reply csq;
    Reply serverinfo;
    int gsm, ber, lteSignal, rsrp;
};
static void PrintTo(const LteCase &c, std::ostream *os) { *os << c.name; }

class LteSignal : public Net, public ::testing::WithParamInterface<LteCase> {};

TEST_P(LteSignal, ConvertsAndClamps) {
    const auto &c = GetParam();
    // "ATE0" waits 1 s for its OK: on the compressed clock that is too short
    // for a loaded machine, and a late OK would end the next query
    setenv("RIL_TIME_SCALE", "1", 1);
    is_cdma = c.isCdma;
    peer.expect("ATE0", kOk)
        .expect(c.isCdma == 1 ? "AT+CCSQ" : "AT+CSQ", c.csq)
        .expect("AT+SERVERINFO", c.serverinfo);
    open();
    auto done = call(OnLTE_RIL_REQUEST_SIGNAL_STRENGTH, false);
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    auto s = nettest::recordOf<RIL_SignalStrength_v10>(done);
    EXPECT_EQ(s.GW_SignalStrength.signalStrength, c.gsm);
    EXPECT_EQ(s.GW_SignalStrength.bitErrorRate, c.ber);
    EXPECT_EQ(s.LTE_SignalStrength.signalStrength, c.lteSignal);
    EXPECT_EQ(s.LTE_SignalStrength.rsrp, c.rsrp);
    EXPECT_EQ(s.TD_SCDMA_SignalStrength.rscp, 99);
    peer.verify();
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, LteSignal,
    ::testing::Values(
        LteCase{"mid", 0, {"+CSQ: 20,99", "OK"}, kError, 20, 99, 20, 73},
        LteCase{"zero", 0, {"+CSQ: 0,0", "OK"}, kError, 0, 0, 0, 113},
        LteCase{"clampLow", 0, {"+CSQ: 31,0", "OK"}, kError, 31, 0, 31, 60},
        LteCase{"hundredStays", 0, {"+CSQ: 100,0", "OK"}, kError, 100, 0, 100, 60},
        LteCase{"above100", 0, {"+CSQ: 101,0", "OK"}, kError, -1, 0, -1, 113},
        LteCase{"at103", 0, {"+CSQ: 103,0", "OK"}, kError, 0, 0, 0, 113},
        LteCase{"at120", 0, {"+CSQ: 120,0", "OK"}, kError, 8, 0, 8, 97},
        LteCase{"hugeRssi", 0, {"+CSQ: 2147483647,0", "OK"}, kError, 1073741772, 0, 1073741772, 60},
        LteCase{"negativeRssi", 0, {"+CSQ: -2000000000,0", "OK"}, kError, -2000000000, 0, -2000000000, 113},
        LteCase{"noAnswer", 0, kError, kError, 0, 0, 0, 113},
        LteCase{"ccsqOnCdma", 1, {"+CCSQ: 25,1", "OK"}, kError, 25, 1, 25, 63},
        LteCase{"serverinfoRsrp", 0, {"+CSQ: 20,99", "OK"},
                {"+SERVERINFO: 1,2,3,4,5,6,-95,7", "OK"}, 20, 99, 20, 95},
        LteCase{"serverinfoEndsAtSeventh", 0, {"+CSQ: 20,99", "OK"},
                {"+SERVERINFO: 1,2,3,4,5,6,-95", "OK"}, 20, 99, 20, 73},
        LteCase{"serverinfoShort", 0, {"+CSQ: 20,99", "OK"}, {"+SERVERINFO: 1,2,3", "OK"}, 20, 99, 20, 73},
        LteCase{"serverinfoMinInt", 0, {"+CSQ: 20,99", "OK"},
                {"+SERVERINFO: 1,2,3,4,5,6,-2147483648,7", "OK"}, 20, 99, 20, 73}),
    [](const auto &info) { return std::string(info.param.name); });

/* ---------------- CDMA poll ---------------- */

struct CdmaPollCase {
    const char *name;
    RIL_RadioState state;
    const char *rssi;
    int dbm, ecio, evdoDbm, snr;
    int dataService;
};
static void PrintTo(const CdmaPollCase &c, std::ostream *os) { *os << c.name; }

class CdmaPoll : public Net, public ::testing::WithParamInterface<CdmaPollCase> {};

TEST_P(CdmaPoll, ConvertsReportsAndReschedules) {
    const auto &c = GetParam();
    s_radio_state_cdma = c.state;
    s_sysmode = 2;
    s_cdmaservice = 1;
    g_use_hasdataservice = -1;
    peer.expect("AT+RSSI", {c.rssi, "OK"}).expect("AT^PREFMODE?", {"^PREFMODE: 2", "OK"});
    open();
    SignalChange_cdma(nullptr);
    peer.verify();
    auto s = lastSignal(env);
    EXPECT_EQ(s.CDMA_SignalStrength.dbm, c.dbm);
    EXPECT_EQ(s.CDMA_SignalStrength.ecio, c.ecio);
    EXPECT_EQ(s.EVDO_SignalStrength.dbm, c.evdoDbm);
    EXPECT_EQ(s.EVDO_SignalStrength.signalNoiseRatio, c.snr);
    EXPECT_EQ(s.EVDO_SignalStrength.ecio, -1) << "never written";
    EXPECT_EQ(g_use_hasdataservice, c.dataService);
    EXPECT_EQ(codes(), (std::vector<int>{RIL_UNSOL_SIGNAL_STRENGTH}));
    auto t = nettest::timed();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].cb, SignalChange_cdma);
    EXPECT_EQ(t[0].delayUs, 10000000LL);
}

INSTANTIATE_TEST_SUITE_P(
    Values, CdmaPoll,
    ::testing::Values(CdmaPollCase{"converted", RADIO_STATE_RUIM_READY, "+RSSI: 80,90", 75, 89, 88, 3, 1},
                      CdmaPollCase{"strong", RADIO_STATE_RUIM_READY, "+RSSI: 60,60", 60, 89, 60, 7, 1},
                      CdmaPollCase{"weak", RADIO_STATE_RUIM_READY, "+RSSI: 124,124", 97, 149, 105, 1, 1},
                      CdmaPollCase{"evdoOneUnchanged", RADIO_STATE_RUIM_READY, "+RSSI: 90,1", 80, 109, -1, -1, 1},
                      CdmaPollCase{"noRuim", RADIO_STATE_RUIM_NOT_READY, "+RSSI: 80,90", 125, 0, 125, 0, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Net, CdmaPollNoServiceTwiceWithUserDataCallReportsDataCallList) {
    s_radio_state_cdma = RADIO_STATE_RUIM_READY;
    g_pppd_usersetup = 1;
    s_sysmode = 2;
    s_cdmaservice = 1;
    for (int i = 0; i < 3; i++)
        peer.expect("AT+RSSI", {"+RSSI: 125,125", "OK"}).expect("AT^PREFMODE?", {"^PREFMODE: 2", "OK"});
    open();
    SignalChange_cdma(nullptr);
    EXPECT_EQ(count(codes(), RIL_UNSOL_DATA_CALL_LIST_CHANGED), 0);
    SignalChange_cdma(nullptr);
    EXPECT_EQ(count(codes(), RIL_UNSOL_DATA_CALL_LIST_CHANGED), 1);
    SignalChange_cdma(nullptr);
    EXPECT_EQ(count(codes(), RIL_UNSOL_DATA_CALL_LIST_CHANGED), 2);
    EXPECT_EQ(s_nosignal_count, 3);
    peer.verify();
}

TEST_F(Net, CdmaPollSkipsModuleWhenIdleConditionsHold) {
    open();
    struct {
        int screen, incall, inprocess, closed;
    } cases[] = {{0, 0, 0, 0}, {1, 1, 0, 0}, {1, 0, 1, 0}, {1, 0, 0, 1}};
    int runs = 0;
    for (const auto &c : cases) {
        g_screenon = c.screen;
        G_incall = c.incall;
        g_inprocess = c.inprocess;
        s_channel_closed_cdma = c.closed;
        SignalChange_cdma(nullptr);
        runs++;
        EXPECT_EQ(nettest::timed().size(), (size_t)runs) << "re-scheduled";
    }
    EXPECT_TRUE(peer.commands().empty());
    EXPECT_TRUE(codes().empty());
}

TEST_F(Net, CdmaPollFailedQueryOnlyReschedules) {
    s_radio_state_cdma = RADIO_STATE_RUIM_READY;
    peer.expect("AT+RSSI", kError);
    open();
    SignalChange_cdma(nullptr);
    EXPECT_TRUE(codes().empty());
    EXPECT_EQ(nettest::timed().size(), 1u);
    peer.verify();
}

TEST_F(Net, CdmaModeCheckReportsModeAndServiceChanges) {
    struct {
        Reply prefmode;
        int sysmodeBefore, service, gpsnwzero;
        bool reports;
        int sysmodeAfter;
    } cases[] = {
        {{"^PREFMODE: 2", "OK"}, 2, 1, 0, false, 2},  // nothing changed
        {{"^PREFMODE: 8", "OK"}, 2, 1, 0, true, 8},   // mode changed
        {{"^PREFMODE: 2", "OK"}, 2, 0, 0, true, 2},   // service view differs
        {{"^PREFMODE: 2", "OK"}, 2, 1, 1, true, 2},   // base station id 0
        {kError, 4, 1, 0, false, 4},                  // no answer: last mode stands
        {{"^PREFMODE: x", "OK"}, 4, 1, 0, true, 0},   // unreadable reads as 0
    };
    for (const auto &c : cases) peer.expect("AT^PREFMODE?", c.prefmode);
    open();
    for (const auto &c : cases) {
        env.clear();
        s_sysmode = c.sysmodeBefore;
        s_cdmaservice = c.service;
        s_gpsnwzero = c.gpsnwzero;
        CheckModeState();
        EXPECT_EQ(count(codes(), RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED), c.reports ? 1 : 0);
        EXPECT_EQ(s_sysmode, c.sysmodeAfter);
    }
    peer.verify();
}

/* ---------------- WCDMA poll ---------------- */

class WcdmaPoll : public Net {
protected:
    void SetUp() override {
        Net::SetUp();
        s_hasinit = 1;
        s_radio_state_wcdma = RADIO_STATE_SIM_READY;
        s_lastopen_wcdma = GetTickCount() - 20000;  // opened long ago
    }
};

TEST_F(WcdmaPoll, ReportsGsmFieldsAndClearsLte) {
    s_registered = 1;
    peer.expect("AT+CSQ", {"+CSQ: 20,99", "OK"});
    open();
    SignalChange_wcdma(nullptr);
    auto s = lastSignal(env);
    EXPECT_EQ(s.GW_SignalStrength.signalStrength, 20);
    EXPECT_EQ(s.GW_SignalStrength.bitErrorRate, 99);
    EXPECT_EQ(s.LTE_SignalStrength.signalStrength, -1);
    EXPECT_EQ(s.LTE_SignalStrength.rsrp, -1);
    EXPECT_EQ(s.LTE_SignalStrength.rsrq, -1);
    EXPECT_EQ(s.LTE_SignalStrength.cqi, -1);
    EXPECT_EQ(s.LTE_SignalStrength.rssnr, INT_MAX);
    EXPECT_EQ(s.LTE_SignalStrength.timingAdvance, INT_MAX - 1) << "left alone";
    EXPECT_EQ(codes(), (std::vector<int>{RIL_UNSOL_SIGNAL_STRENGTH}));
    auto t = nettest::timed();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].cb, SignalChange_wcdma);
    EXPECT_EQ(t[0].delayUs, 10000000LL);
    peer.verify();
}

TEST_F(WcdmaPoll, SignalAndRegistrationDisagreeing) {
    struct {
        const char *csq;
        int registered;
        bool recentOpen;
        std::vector<int> expected;
    } cases[] = {
        {"+CSQ: 20,99", 0, false, {1009, 1002}},        // signal back, not registered
        {"+CSQ: 20,99", 0, true, {1009}},               // within 15 s of the open
        {"+CSQ: 99,99", 1, false, {1009, 1002, 1010}},  // signal gone while registered
        {"+CSQ: 20", 0, false, {1009}},                 // no error rate read
        {"+CSQ: 20,99", 1, false, {1009}},              // agree
    };
    for (const auto &c : cases) peer.expect("AT+CSQ", {c.csq, "OK"});
    open();
    for (const auto &c : cases) {
        env.clear();
        s_registered = c.registered;
        s_lastopen_wcdma = GetTickCount() - (c.recentOpen ? 1000 : 20000);
        SignalChange_wcdma(nullptr);
        EXPECT_EQ(codes(), c.expected) << c.csq;
    }
    peer.verify();
}

TEST_F(WcdmaPoll, NothingReportedBeforeInit) {
    s_hasinit = 0;
    s_registered = 0;
    peer.expect("AT+CSQ", {"+CSQ: 20,99", "OK"});
    open();
    SignalChange_wcdma(nullptr);
    EXPECT_TRUE(codes().empty());
    EXPECT_EQ(s_signal_wcdma.GW_SignalStrength.signalStrength, 20);
}

TEST_F(WcdmaPoll, ZeroSignalWhenSimNotReadyOrNoAnswer) {
    s_registered = 0;
    peer.expect("AT+CSQ", {"+CSQ: 20,99", "OK"}).expect("AT+CSQ", kError);
    open();
    s_radio_state_wcdma = RADIO_STATE_ON;
    SignalChange_wcdma(nullptr);
    EXPECT_EQ(lastSignal(env).GW_SignalStrength.signalStrength, 0);
    s_radio_state_wcdma = RADIO_STATE_SIM_READY;
    SignalChange_wcdma(nullptr);
    EXPECT_EQ(lastSignal(env).GW_SignalStrength.signalStrength, 0);
    EXPECT_NE(s_nosignal_since, 0u);
    peer.verify();
}

TEST_F(WcdmaPoll, ResetAfterThirtySecondsWithoutSignal) {
    s_registered = 0;
    peer.expect("AT+CSQ", {"+CSQ: 99,99", "OK"})
        .expect("AT+CSQ", {"+CSQ: 0,99", "OK"})
        .expect("AT+CSQ", {"+CSQ: 0,99", "OK"})
        .expect("AT^RESET", kOk);
    open();
    SignalChange_wcdma(nullptr);
    unsigned int since = s_nosignal_since;
    ASSERT_NE(since, 0u);
    SignalChange_wcdma(nullptr);  // still within 30 s: no reset
    EXPECT_EQ(s_nosignal_since, since);
    ASSERT_TRUE(riltest::waitUntil([&] { return GetTickCount() - since > 30000; }, 5s));
    SignalChange_wcdma(nullptr);
    EXPECT_EQ(s_nosignal_since, 0u);
    peer.verify();
}

TEST_F(WcdmaPoll, SignalReturningClearsWatchdog) {
    s_registered = 1;
    peer.expect("AT+CSQ", {"+CSQ: 0,99", "OK"}).expect("AT+CSQ", {"+CSQ: 14,99", "OK"});
    open();
    SignalChange_wcdma(nullptr);
    EXPECT_NE(s_nosignal_since, 0u);
    SignalChange_wcdma(nullptr);
    EXPECT_EQ(s_nosignal_since, 0u);
    peer.verify();
}

TEST_F(WcdmaPoll, ClosedChannelOnlyReschedules) {
    open();
    s_channel_closed_wcdma = 1;
    SignalChange_wcdma(nullptr);
    EXPECT_TRUE(peer.commands().empty());
    EXPECT_TRUE(codes().empty());
    EXPECT_EQ(nettest::timed().size(), 1u);
}

TEST_F(Net, PollsStartOnceEach) {
    startSignalPoll_cdma();
    startSignalPoll_cdma();
    startSignalPoll_wcdma();
    startSignalPoll_wcdma();
    auto t = nettest::timed();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].cb, SignalChange_cdma);
    EXPECT_EQ(t[1].cb, SignalChange_wcdma);
}

/* ---------------- CSQ helpers ---------------- */

TEST_F(Net, CsqHelpers) {
    peer.expect("AT+CSQ", {"+CSQ: 99,99", "OK"})
        .expect("AT+CSQ", {"+CSQ: 17,2", "OK"})
        .expect("AT+CSQ", {"+CSQ: 99,5", "OK"})
        .expect("AT+CSQ", kError);
    open();
    int rssi = -1, ber = -1;
    EXPECT_EQ(GetGsmSignal(&rssi), 0);
    EXPECT_EQ(rssi, 0);
    EXPECT_EQ(GetGsmSignal(&rssi), 0);
    EXPECT_EQ(rssi, 17);
    EXPECT_EQ(GetGsmSignal(nullptr), -1);
    EXPECT_EQ(GetWSignal(&rssi, &ber), 0);
    EXPECT_EQ(rssi, 0);
    EXPECT_EQ(ber, 5);
    EXPECT_EQ(GetWSignal(&rssi, nullptr), -1);
    G_incall = 1;
    EXPECT_EQ(GetWSignal(&rssi, &ber), -1);
    G_incall = 0;
    EXPECT_EQ(GetWSignal(&rssi, &ber), 0);
    EXPECT_EQ(rssi, 0);
    EXPECT_EQ(ber, 0);
    peer.verify();
}
