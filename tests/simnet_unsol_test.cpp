// Unsolicited lines of the SIM, network and vendor areas, sent by the
// scripted module through the real AT channel into each family's handler:
// NITZ, registration and mode changes, SIM lines, GPS lines and the lines
// that are ignored. Every check waits for a last line that does report, so
// that nothing is concluded from lines still in flight.
#include <string>
#include <vector>

#include "ril_log.h"
#include "ril_network.h"
#include "ril_unsol_simnet.h"
#include "ril_unsolicited.h"
#include "ril_vendor.h"
#include "simnet_rig.h"

using simnettest::CDMA;
using simnettest::LTE;
using simnettest::Rig;
using simnettest::WCDMA;

namespace {

ATUnsolHandler handlerOf(int family) {
    return family == CDMA ? onUnsolicited_cdma : family == WCDMA ? onUnsolicited_wcdma : onUnsolicited_lte;
}

bool isGate(const riltest::Notification &n) {
    return n.code == RIL_UNSOL_NITZ_TIME_RECEIVED && std::string(n.data.begin(), n.data.end()) == "gate";
}

// injects lines, then a NITZ line as the gate; returns the notifications
// the lines caused (those after the previous run, before the gate's 1008)
std::vector<riltest::Notification> run(Rig &rig, const std::vector<std::string> &lines) {
    size_t start = rig.rec.notifications().size();
    for (const auto &l : lines) rig.peer.inject(l);
    rig.peer.inject("%CTZV: \"gate\"");
    std::vector<riltest::Notification> out;
    EXPECT_TRUE(riltest::waitUntil(
        [&] {
            auto all = rig.rec.notifications();
            out.clear();
            for (size_t i = start; i < all.size(); i++) {
                if (isGate(all[i])) return true;
                out.push_back(all[i]);
            }
            return false;
        },
        std::chrono::seconds(5)));
    return out;
}

// every line sent so far has been through the handler once a later
// command's answer has come back
void flush(Rig &rig) {
    ASSERT_TRUE(rig.peer.waitScriptDone());
    rig.peer.expect("AT", {"OK"});
    at_send_command("AT", nullptr);
    rig.peer.verify();
}

std::vector<int> codes(const std::vector<riltest::Notification> &v) {
    std::vector<int> c;
    for (const auto &n : v) c.push_back(n.code);
    return c;
}

}  // namespace

TEST(Nitz, EveryFamilyReportsTheTimeTextUnchanged) {
    for (int f : {CDMA, WCDMA, LTE}) {
        SCOPED_TRACE(f);
        Rig rig(handlerOf(f));
        rig.open();
        auto got = run(rig, {"%CTZV: \"24/12/10,10:30:00+32,0\"", "%CTZV", "%CTZV: 25/01/01,00:00:00"});
        ASSERT_EQ(got.size(), 2u);
        EXPECT_EQ(got[0].code, RIL_UNSOL_NITZ_TIME_RECEIVED);
        // the text and its strlen as the length, without a terminator
        EXPECT_EQ(std::string(got[0].data.begin(), got[0].data.end()), "24/12/10,10:30:00+32,0");
        // an unquoted time is cut at its first comma
        EXPECT_EQ(std::string(got[1].data.begin(), got[1].data.end()), "25/01/01");
    }
}

TEST(Nitz, WcdmaAndLteStaySilentBeforeInitialization) {
    for (int f : {CDMA, WCDMA, LTE}) {
        SCOPED_TRACE(f);
        Rig rig(handlerOf(f));
        rig.open();
        s_hasinit = 0;
        rig.peer.inject("%CTZV: \"24/12/10,10:30:00+32,0\"");
        rig.peer.inject("+CREG: 1");  // CDMA: 1002 without the initialization test
        if (f == CDMA) {
            ASSERT_TRUE(rig.rec.waitNotification(RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED));
            EXPECT_EQ(codes(rig.rec.notifications()).front(), RIL_UNSOL_NITZ_TIME_RECEIVED);
        } else {
            flush(rig);
            s_hasinit = 1;
            auto got = run(rig, {});
            EXPECT_TRUE(got.empty());
        }
    }
}

TEST(Unsolicited, NothingWhileTheRadioIsUnavailable) {
    for (int f : {CDMA, WCDMA, LTE}) {
        SCOPED_TRACE(f);
        Rig rig(handlerOf(f));
        rig.open();
        RIL_RadioState *state[] = {&s_radio_state_cdma, &s_radio_state_wcdma, &s_radio_state_lte};
        RIL_RadioState before = *state[f];
        *state[f] = RADIO_STATE_UNAVAILABLE;
        for (const char *l : {"%CTZV: \"24/12/10,10:30:00+32,0\"", "+CPIN: READY", "^MODE: 5,4", "+CREG: 1",
                              "^SIMST: 1", "^GPSNETDONE"})
            rig.peer.inject(l);
        flush(rig);
        *state[f] = before;
        EXPECT_TRUE(rig.rec.notifications().empty());
        EXPECT_TRUE(rig.timedCalls().empty());
    }
}

/* ---- CDMA ---- */

TEST(CdmaLines, RegistrationSimStateAndIgnoredLines) {
    Rig rig(onUnsolicited_cdma);
    rig.open();
    auto got = run(rig, {"+CREG: 1", "^HRSSILVL: 40", "+GCSQ: 20", "+CGREG: 1,\"1A2B\"", "^SIMST: 1"});
    EXPECT_EQ(codes(got), (std::vector<int>{RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED,
                                            RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED}));
    auto timed = rig.timedCalls();
    ASSERT_EQ(timed.size(), 1u);
    EXPECT_EQ(timed[0].cb, pollSIMState_cdma);
    EXPECT_EQ(timed[0].delayUs, 1000000);
}

TEST(CdmaLines, ModeProcedureReportsOnlyChanges) {
    s_lastmode = -1;
    s_offlinewatch = 2;
    Rig rig(onUnsolicited_cdma);
    rig.open();
    auto got = run(rig, {"^MODE: 2", "^MODE: 2", "^MODE: 8,4", "^MODE: 0"});
    EXPECT_EQ(codes(got), std::vector<int>(3, RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED));
    EXPECT_EQ(s_sysmode, 0);
    EXPECT_EQ(s_lastmode, 0);
    EXPECT_EQ(s_offlinewatch, 0);
    EXPECT_EQ(s_canreport_network, 1);
    EXPECT_NE(s_oflinetime, 0u);
    // a line without a mode reads as mode 0: the same as the last one
    got = run(rig, {"^MODE:"});
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(s_canreport_network, 0);
}

TEST(CdmaLines, GpsLinesScheduleTheRestart) {
    g_companyid = 99;
    s_gpstracking = 1;
    s_gpsdownload = 0;
    Rig rig(onUnsolicited_cdma);
    rig.open();
    auto got = run(rig, {"^GPSNETDONE", "^GPSDOLADDONE"});
    EXPECT_EQ(codes(got), std::vector<int>{RIL_UNSOL_DATA_CALL_LIST_CHANGED});
    EXPECT_EQ(s_gpsdownload, 1);
    EXPECT_EQ(s_gpstracking, 0);
    auto timed = rig.timedCalls();
    ASSERT_EQ(timed.size(), 2u);
    for (const auto &t : timed) {
        EXPECT_EQ(t.cb, RestartGps_cdma);
        EXPECT_EQ(t.delayUs, 2000001);
    }
    g_companyid = 0;
}

/* ---- WCDMA and LTE ---- */

TEST(SimReady, ReportsSimStatusThenRadioState) {
    for (int f : {WCDMA, LTE}) {
        SCOPED_TRACE(f);
        Rig rig(handlerOf(f));
        rig.open();
        auto got = run(rig, {"^RSSI: 20", "+CPIN: READY"});
        EXPECT_EQ(codes(got), (std::vector<int>{RIL_UNSOL_RESPONSE_SIM_STATUS_CHANGED,
                                                RIL_UNSOL_RESPONSE_RADIO_STATE_CHANGED}));
    }
}

TEST(ModeLines, WcdmaReportsTheNetworkState) {
    Rig rig(onUnsolicited_wcdma);
    rig.open();
    auto got = run(rig, {"^MODE: 5,4"});
    EXPECT_EQ(codes(got), std::vector<int>{RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED});
    EXPECT_TRUE(rig.timedCalls().empty());
}

TEST(ModeLines, LteAsksForTheRegistrationAgainRightAfterACall) {
    Rig rig(onUnsolicited_lte);
    rig.open();
    G_Callendtime = GetTickCount() - 60000;
    auto got = run(rig, {"+CREG: 1", "+CGREG: 1", "^MODE: 17,17"});
    EXPECT_EQ(codes(got), std::vector<int>{RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED});
    EXPECT_TRUE(rig.timedCalls().empty());
    G_Callendtime = GetTickCount();
    got = run(rig, {"^MODE: 17,17"});
    EXPECT_EQ(codes(got), std::vector<int>{RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED});
    auto timed = rig.timedCalls();
    ASSERT_EQ(timed.size(), 1u);
    EXPECT_EQ(timed[0].cb, onRegChanged);
    EXPECT_EQ(timed[0].delayUs, 5000000);
}
