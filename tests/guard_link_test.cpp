// The link checks in-process against counter files under a temporary root:
// 64-bit counters and unsigned differences, unreadable counters, the
// interface walk, the socket probes' preconditions, and the guard token
// that keeps at most one checker chain alive.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <cutils/properties.h>

#include "ril_data.h"
#include "ril_families.h"
#include "ril_network.h"
#include "ril_unsolicited.h"
#include "temp_root.h"
#include "usb_discovery.h"

namespace {

struct Scheduled {
    RIL_TimedCallback cb;
    void *param;
    long sec;
    long usec;
};
std::vector<Scheduled> g_scheduled;

void *recordTimed(RIL_TimedCallback cb, void *param, const struct timeval *tv) {
    g_scheduled.push_back({cb, param, (long)tv->tv_sec, (long)tv->tv_usec});
    return nullptr;
}

class LinkChecks : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("RIL_SYSROOT", root.at("/sysroot").c_str(), 1);
        setenv("RIL_PROPERTY_DIR", root.at("/props").c_str(), 1);
        riltest::makeDirs(root.at("/props"));
        riltest::makeDirs(root.at("/sysroot/system/bin"));
        g_scheduled.clear();
        savedHook = g_timecallback;
        g_timecallback = recordTimed;
        g_use_rndis = 0;
        g_total_rxpackets = g_totlal_txpackets = 0;
    }
    void TearDown() override {
        g_timecallback = savedHook;
        G_userdisconnect = 1;
        G_incall = 0;
        g_pppdhandle = 1;
    }
    void counters(const std::string &ifname, const std::string &rx, const std::string &tx) {
        root.writeFile("/sysroot/sys/class/net/" + ifname + "/statistics/rx_packets", rx + "\n");
        root.writeFile("/sysroot/sys/class/net/" + ifname + "/statistics/tx_packets", tx + "\n");
    }
    riltest::TempRoot root;
    RIL_TimedCallbackHook savedHook = nullptr;
};

TEST_F(LinkChecks, CountersAreReadAs64BitNumbers) {
    counters("ppp0", "6000000000", "17");
    EXPECT_EQ(ReadSysfsCounter("/sys/class/net/ppp0/statistics/rx_packets"), 6000000000LL);
    EXPECT_EQ(ReadSysfsCounter("/sys/class/net/ppp0/statistics/tx_packets"), 17);
    EXPECT_EQ(ReadSysfsCounter("/sys/class/net/ppp9/statistics/rx_packets"), -1);
    EXPECT_EQ(ReadSysfsCounter(nullptr), -1);
    root.writeFile("/sysroot/sys/class/net/ppp0/statistics/rx_packets", "garbage");
    EXPECT_EQ(ReadSysfsCounter("/sys/class/net/ppp0/statistics/rx_packets"), 0);
}

// each row: the received count at the previous test and now, and whether
// the link counts as silent
struct FlowCase {
    const char *before;
    const char *now;
    int silent;
};

TEST_F(LinkChecks, ReceivedCountGrowthAcrossTheIntBoundaries) {
    const FlowCase cases[] = {
        {"100", "100", 1},
        {"100", "101", 0},
        {"2147483647", "2147483648", 0},  // past 2^31
        {"4294967295", "4294967296", 0},  // past 2^32
        {"4294967296", "4294967296", 1},
        {"6000000000", "6000000005", 0},
    };
    for (const FlowCase &c : cases) {
        counters("ppp0", c.before, "1");
        GetNetFlow();
        counters("ppp0", c.now, "2");
        EXPECT_EQ(GetNetFlow(), c.silent) << c.before << " -> " << c.now;
        EXPECT_EQ(CheckDataFlow(), 0) << "the second read finds the same count: nothing received";
    }
}

TEST_F(LinkChecks, NoInterfaceCountsAsNoTraffic) {
    EXPECT_EQ(GetNetFlow(), 1);
    EXPECT_EQ(g_total_rxpackets, -1);
    counters("ppp0", "5", "5");
    EXPECT_EQ(GetNetFlow(), 0) << "the interface came back";
}

TEST_F(LinkChecks, LteCountersFollowTheInterfaceKind) {
    counters("ppp0", "10", "10");
    counters("usb0", "50", "50");
    g_use_rndis = 1;
    GetLteNetFlow();
    EXPECT_EQ(g_total_rxpackets, 50);
    g_use_rndis = 0;
    GetLteNetFlow();
    EXPECT_EQ(g_total_rxpackets, 10);
    int rx = 0, tx = 0;
    GetLteRxTx(&rx, &tx);
    EXPECT_EQ(rx, 50);
    GetRxTx(&rx, nullptr);  // one output missing: nothing read
    EXPECT_EQ(rx, 50);
}

TEST_F(LinkChecks, CheckNetLinkFindsLoopbackUpAndRunning) {
    EXPECT_EQ(CheckNetLink("lo"), 1);
    EXPECT_EQ(CheckNetLink("nosuchif0"), 0);
    EXPECT_EQ(CheckNetLink(""), 0);
    EXPECT_EQ(CheckNetLink(nullptr), 0);
    EXPECT_EQ(CheckNetLink("lo;reboot"), 0);
}

TEST_F(LinkChecks, SocketProbesNeedARunningPppdAndAnAddress) {
    g_pppdhandle = 1;  // pppd not running
    property_set("net.ppp0.local-ip", "127.0.0.1");
    EXPECT_EQ(UDPTestNetWork("127.0.0.1"), 0);
    EXPECT_EQ(TestNetWork("127.0.0.1"), 0);
    g_pppdhandle = 0;
    property_set("net.ppp0.local-ip", "1.2.3");
    EXPECT_EQ(UDPTestNetWork("127.0.0.1"), 0) << "address shorter than 6 characters";
    property_set("net.ppp0.local-ip", "127.0.0.1");
    EXPECT_EQ(UDPTestNetWork("127.0.0.1"), 1);
    EXPECT_EQ(UDPTestNetWork("8.8.8.8"), 1) << "reported, but nothing leaves the machine";
    EXPECT_EQ(UDPTestNetWork("1.2.3.4;reboot"), 1);
}

/* ---- the guard token ---- */

TEST_F(LinkChecks, ANewChainMakesTheOldOneStale) {
    G_userdisconnect = 0;
    G_incall = 0;
    g_pppdhandle = 0;  // pppd runs
    counters("ppp0", "1", "1");
    struct timeval tv = {2, 0};
    StartCheckDataCheck(WCheckDataStatus, &tv);
    StartCheckDataCheck(WCheckDataStatus, &tv);
    ASSERT_EQ(g_scheduled.size(), 2u);
    Scheduled first = g_scheduled[0], second = g_scheduled[1];
    EXPECT_NE(first.param, second.param) << "each chain carries its own token";
    g_scheduled.clear();
    first.cb(first.param);
    EXPECT_TRUE(g_scheduled.empty()) << "the older chain ends";
    counters("ppp0", "2", "2");  // traffic: the live chain re-schedules
    second.cb(second.param);
    ASSERT_EQ(g_scheduled.size(), 1u);
    EXPECT_EQ(g_scheduled[0].param, second.param);
    EXPECT_EQ(g_scheduled[0].sec, 5);
    EXPECT_EQ(g_scheduled[0].usec, 100);
    SetGuradFlag("test", __LINE__);
    g_scheduled.clear();
    counters("ppp0", "3", "3");
    second.cb(second.param);
    EXPECT_TRUE(g_scheduled.empty()) << "a renewal ends every chain";
}

TEST_F(LinkChecks, TokensNeverCollideWithinOneTick) {
    std::vector<unsigned int> seen;
    struct timeval tv = {0, 0};
    for (int i = 0; i < 50; i++) StartCheckDataCheck(LteCheckDataStatus, &tv);
    for (const Scheduled &s : g_scheduled) seen.push_back((unsigned int)(uintptr_t)s.param);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
}

// the WCDMA checker with the real ping stand-in: a link that answers the
// probe stays; a silent one (tx moving, rx frozen) switches the DNS server
// and hands over to the guard
TEST_F(LinkChecks, SilentLinkIsProbedThenResumed) {
    setenv("RIL_TIME_SCALE", "50", 1);
    std::string src = std::string(RIL_BUILD_DIR) + "/sysroot-tools/ping";
    ASSERT_EQ(symlink(src.c_str(), root.at("/sysroot/system/bin/ping").c_str()), 0);
    G_userdisconnect = 0;
    G_incall = 0;
    g_inprocess = 0;
    g_pppdhandle = 0;
    property_set("net.dns1", "127.0.0.1");
    struct timeval tv = {5, 100};
    for (bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent" : "answering");
        if (silent) root.writeFile("/sysroot/run/link-silent", "");
        counters("ppp0", "7", "7");
        GetNetFlow();  // the baseline: nothing received since
        g_scheduled.clear();
        StartCheckDataCheck(WCheckDataStatus, &tv);
        Scheduled run = g_scheduled.back();
        g_scheduled.clear();
        run.cb(run.param);
        ASSERT_EQ(g_scheduled.size(), 1u);
        char dns[PROPERTY_VALUE_MAX];
        property_get("net.dns1", dns, "");
        if (!silent) {
            EXPECT_EQ(g_scheduled[0].cb, WCheckDataStatus) << "the probe came back: the chain goes on";
            EXPECT_STREQ(dns, "127.0.0.1");
        } else {
            EXPECT_EQ(g_scheduled[0].cb, ExecuteResume) << "no packet service here: the resume retries in 3 s";
            EXPECT_EQ(g_scheduled[0].sec, 3);
            EXPECT_STREQ(dns, "114.114.114.114");
            EXPECT_GT(ReadSysfsCounter("/sys/class/net/ppp0/statistics/tx_packets"), 7);
            EXPECT_EQ(ReadSysfsCounter("/sys/class/net/ppp0/statistics/rx_packets"), 7);
        }
    }
    unsetenv("RIL_TIME_SCALE");
}

// no module answers "AT^DATAMODE": the CDMA chain goes on, 10 s later
TEST_F(LinkChecks, CdmaCheckRetriesSoonerWhenTheModuleDoesNotAnswer) {
    G_userdisconnect = 0;
    G_incall = 0;
    struct timeval tv = {3, 0};
    StartCheckDataCheck(CheckDataStatus, &tv);
    Scheduled run = g_scheduled.back();
    g_scheduled.clear();
    run.cb(run.param);
    ASSERT_EQ(g_scheduled.size(), 1u);
    EXPECT_EQ(g_scheduled[0].cb, CheckDataStatus);
    EXPECT_EQ(g_scheduled[0].param, run.param);
    EXPECT_EQ(g_scheduled[0].sec, 10);
    EXPECT_EQ(g_scheduled[0].usec, 0);
}

std::vector<int> g_unsolCodes;
void recordUnsolCode(int code, const void *, size_t) { g_unsolCodes.push_back(code); }

// pppd ended under an LTE link: the record turns inactive with no address
// before the list-changed report, and the chain ends
TEST_F(LinkChecks, LteDeadLinkIsMarkedInactiveBeforeTheReport) {
    G_userdisconnect = 0;
    G_incall = 0;
    g_inprocess = 0;
    g_pppdhandle = 1;  // pppd has ended
    int savedInit = s_hasinit;
    s_hasinit = 1;
    RIL_OnUnsolicitedHook savedUnsol = g_unsresponse;
    g_unsresponse = recordUnsolCode;
    g_unsolCodes.clear();
    static char oldAddr[] = "10.64.1.2";
    g_datacall_response.active = 2;
    g_datacall_response.addresses = oldAddr;
    counters("ppp0", "1", "1");
    GetNetFlow();
    counters("ppp0", "2", "2");
    struct timeval tv = {2, 0};
    StartCheckDataCheck(LteCheckDataStatus, &tv);
    Scheduled run = g_scheduled.back();
    g_scheduled.clear();
    run.cb(run.param);
    EXPECT_TRUE(g_scheduled.empty());
    ASSERT_EQ(g_unsolCodes.size(), 1u);
    EXPECT_EQ(g_unsolCodes[0], RIL_UNSOL_DATA_CALL_LIST_CHANGED);
    EXPECT_EQ(g_datacall_response.active, 0);
    EXPECT_EQ(g_datacall_response.addresses, nullptr);
    g_unsresponse = savedUnsol;
    s_hasinit = savedInit;
}

TEST_F(LinkChecks, CheckersPauseForUserDisconnectAndCalls) {
    const RIL_TimedCallback checkers[] = {CheckDataStatus, WCheckDataStatus, LteCheckDataStatus};
    for (RIL_TimedCallback c : checkers) {
        struct timeval tv = {1, 0};
        for (int which = 0; which < 2; which++) {
            G_userdisconnect = which == 0;
            G_incall = which == 1;
            g_scheduled.clear();
            StartCheckDataCheck(c, &tv);
            ASSERT_EQ(g_scheduled.size(), 1u);
            void *param = g_scheduled[0].param;
            g_scheduled.clear();
            c(param);
            EXPECT_TRUE(g_scheduled.empty()) << "no re-schedule";
        }
    }
}

TEST_F(LinkChecks, LteChainRenewsItsTokenWhileTrafficFlows) {
    G_userdisconnect = 0;
    G_incall = 0;
    g_inprocess = 0;
    g_pppdhandle = 0;
    counters("ppp0", "1", "1");
    struct timeval tv = {2, 0};
    StartCheckDataCheck(LteCheckDataStatus, &tv);
    void *param = g_scheduled.back().param;
    counters("ppp0", "9", "9");
    g_scheduled.clear();
    LteCheckDataStatus(param);
    ASSERT_EQ(g_scheduled.size(), 1u);
    EXPECT_EQ(g_scheduled[0].sec, 36);
    EXPECT_EQ(g_scheduled[0].usec, 100);
    EXPECT_NE(g_scheduled[0].param, param);
    g_scheduled.clear();
    LteCheckDataStatus(param);  // the replaced run
    EXPECT_TRUE(g_scheduled.empty()) << "one live LTE chain";
}

}  // namespace

/* ---- the packet-data lines ---- */

namespace {

std::vector<Scheduled> g_familyTimed;
void *familyTimed(RIL_TimedCallback cb, void *param, const struct timeval *tv) {
    g_familyTimed.push_back({cb, param, tv ? (long)tv->tv_sec : 0, tv ? (long)tv->tv_usec : 0});
    return nullptr;
}
void noComplete(RIL_Token, RIL_Errno, void *, size_t) {}
void noUnsol(int, const void *, size_t) {}

class PacketLines : public LinkChecks {
protected:
    void SetUp() override {
        LinkChecks::SetUp();
        env.OnRequestComplete = noComplete;
        env.OnUnsolicitedResponse = noUnsol;
        env.RequestTimedCallback = familyTimed;
        saved[0] = s_rilenv;
        saved[1] = s_rilenv_wcdma;
        saved[2] = s_rilenv_lte;
        s_rilenv = s_rilenv_wcdma = s_rilenv_lte = &env;
        s_radio_state_cdma = RADIO_STATE_RUIM_READY;
        s_radio_state_wcdma = RADIO_STATE_SIM_READY;
        s_radio_state_lte = RADIO_STATE_SIM_READY;
        g_familyTimed.clear();
    }
    void TearDown() override {
        s_rilenv = saved[0];
        s_rilenv_wcdma = saved[1];
        s_rilenv_lte = saved[2];
        LinkChecks::TearDown();
    }
    struct RIL_Env env {};
    const struct RIL_Env *saved[3] = {};
};

TEST_F(PacketLines, PacketEventAsksForTheDataCallListAtOnce) {
    const RIL_TimedCallback expected[] = {onDataCallListChanged_cdma, onDataCallListChanged_wcdma,
                                          onDataCallListChanged_lte};
    for (int family = RIL_FAMILY_CDMA; family <= RIL_FAMILY_LTE; family++) {
        g_familyTimed.clear();
        ril_unsol_dispatch(family, "+CGEV: NW DETACH", nullptr);
        ASSERT_EQ(g_familyTimed.size(), 1u) << family;
        EXPECT_EQ(g_familyTimed[0].cb, expected[family]);
        EXPECT_EQ(g_familyTimed[0].sec, 0);
    }
}

TEST_F(PacketLines, MultimediaNoticeMarksTheDisconnectAndStopsPppdOnTheEventThread) {
    for (int family : {RIL_FAMILY_WCDMA, RIL_FAMILY_LTE}) {
        G_userdisconnect = 0;
        g_familyTimed.clear();
        ril_unsol_dispatch(family, "^MMS: 1", "0891683108200505F0040D91683167105670F10008");
        EXPECT_EQ(G_userdisconnect, 1) << "set on the reader thread, before anything else";
        bool stopScheduled = false;
        for (const Scheduled &s : g_familyTimed)
            if (s.sec == 0 && s.usec == 0 && s.cb != nullptr) stopScheduled = true;
        EXPECT_TRUE(stopScheduled) << "the pppd stop runs later on the event thread";
    }
}

}  // namespace

/* ---- a busy module during a call ---- */

#include "simnet_rig.h"

namespace {

std::vector<riltest::Completion> g_done;
void recordDone(RIL_Token, RIL_Errno e, void *, size_t) {
    riltest::Completion c;
    c.error = e;
    g_done.push_back(c);
}

TEST(BusyModule, ResumeWaitsForTheCallToEndThenRuns) {
    simnettest::Rig rig;
    // the busy reply, then the module's call list while the call lasts
    rig.peer.expect("AT^KVISBUSY=?", {"^KVISBUSY: 1", "OK"})
        .expect("AT+CLCC", {"+CLCC: 1,0,0,0,0,\"10086\",129", "OK"})
        .expect("AT+CLCC", {"+CLCC: 1,0,0,0,0,\"10086\",129", "OK"})
        .expect("AT+CLCC", {"OK"});
    rig.open();
    RIL_TimedCallbackHook savedTimed = g_timecallback;
    RIL_OnRequestCompleteHook savedDone = g_OnResponseComplete;
    g_timecallback = recordTimed;
    g_OnResponseComplete = recordDone;
    g_scheduled.clear();
    g_done.clear();
    int savedCard = s_cardtype;
    s_cardtype = RIL_FAMILY_WCDMA;
    g_use_rndis = 0;
    G_incall = 0;
    ril_park_data_token((RIL_Token)0x15);
    g_scheduled.clear();  // the parked token's deadline

    PrepareDial();
    EXPECT_EQ(g_inprocess, 0);
    ASSERT_EQ(g_scheduled.size(), 1u) << "the busy path keeps a retry";
    EXPECT_EQ(g_scheduled[0].sec, 6);
    EXPECT_EQ(g_scheduled[0].usec, 500);

    // the call still listed: wait again, nothing resumed
    Scheduled next = g_scheduled[0];
    g_scheduled.clear();
    next.cb(next.param);
    ASSERT_EQ(g_scheduled.size(), 1u);
    EXPECT_TRUE(g_done.empty());

    // the call ended: the resume runs; the user has left meanwhile, so the
    // parked set-up completes (once) with an error
    G_userdisconnect = 1;
    next = g_scheduled[0];
    g_scheduled.clear();
    next.cb(next.param);
    rig.peer.verify();
    ASSERT_EQ(g_done.size(), 1u);
    EXPECT_EQ(g_done[0].error, RIL_E_GENERIC_FAILURE);

    s_cardtype = savedCard;
    g_timecallback = savedTimed;
    g_OnResponseComplete = savedDone;
}

}  // namespace
