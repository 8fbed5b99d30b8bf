// The call lines of the three families' unsolicited chains, fed by the
// scripted module through the real AT channel: reports, bookkeeping and the
// deferred routines they schedule.
#include <string>
#include <vector>

#include "at_filter.h"
#include "calls_fixture.h"
#include "ril_handlers.h"

using calltest::Calls;
using namespace std::chrono_literals;

namespace {

// Feeds lines through the channel and waits until the handler has seen the
// last one (a marker line that belongs to no chain).
class Lines : public Calls {
protected:
    void feed(ATUnsolHandler h, const std::vector<std::string> &lines) {
        for (const auto &l : lines) peer.inject(l);
        peer.expect("AT", {"OK"});
        open(h);
        ASSERT_EQ(at_send_command("AT", nullptr), 0);
        peer.verify();
    }
};

TEST_F(Lines, CdmaRingsReportOnOddCountsAndAnEndResets) {
    feed(onUnsolicited_cdma, {"RING", "RING", "RING", "RING", "RING"});
    EXPECT_EQ(count1001(), 3);
    EXPECT_EQ(G_incall, 1);
    EXPECT_EQ(s_needdoublecheck, 1);
    at_close();
    env.clear();
    feed(onUnsolicited_cdma, {"^CEND:1,0,104,16", "RING"});
    EXPECT_EQ(count1001(), 2) << "the end, then the first ring of the next call";
    EXPECT_EQ(s_callend, 0);
}

TEST_F(Lines, CdmaCallLinesKeepTheBookkeeping) {
    feed(onUnsolicited_cdma, {"^ORIG:1,0", "^CONN:1,0", "+CLIP:10086,129,,,,0"});
    EXPECT_EQ(s_call_succ, 1);
    EXPECT_EQ(G_incall, 1);
    EXPECT_EQ(count1001(), 3);
    auto t = calltest::timed();
    ASSERT_EQ(t.size(), 2u) << "the 3 s connected mark and the replay";
    EXPECT_EQ(t[0].delayUs, 3000000);
    EXPECT_EQ(t[1].delayUs, 0);
    at_close();
    feed(onUnsolicited_cdma, {"^CEND:1,10,29,16"});
    EXPECT_EQ(G_incall, 0);
    EXPECT_EQ(s_callend, 1);
    EXPECT_EQ(s_needdoublecheck, 0);
}

TEST_F(Lines, CdmaLinkedReportsNothing) {
    feed(onUnsolicited_cdma, {"^LINKED"});
    EXPECT_EQ(s_callend, 1);
    EXPECT_TRUE(env.notificationCodes().empty()) << "no RUIM-storage-full report";
}

TEST_F(Lines, NothingWhileTheRadioIsUnavailable) {
    s_radio_state_cdma = s_radio_state_wcdma = s_radio_state_lte = RADIO_STATE_UNAVAILABLE;
    feed(onUnsolicited_wcdma, {"RING", "^CEND:1,0,29,16", "^CONN:1,0"});
    at_close();
    feed(onUnsolicited_cdma, {"RING", "^ORIG:1,0"});
    at_close();
    feed(onUnsolicited_lte, {"+CRING: VOICE"});
    EXPECT_TRUE(env.notificationCodes().empty());
    EXPECT_EQ(s_call_succ, 0);
    EXPECT_EQ(s_needredial, 0);
    EXPECT_TRUE(calltest::timed().empty());
}

TEST_F(Lines, WcdmaRingsReportOnOddCountsAndTellThePluginOnce) {
    feed(onUnsolicited_wcdma, {"+CRING: VOICE", "+CLIP: \"10086\",129,,,,0", "RING", "RING"});
    // ring 1 (odd), +CLIP (not a call-group line in WCDMA), ring 2 (even), ring 3 (odd)
    EXPECT_EQ(count1001(), 2);
    EXPECT_EQ(s_calls_wcdma.ringCount, 3);
    EXPECT_EQ(calltest::timed().size(), 1u) << "event 5 once";
}

TEST_F(Lines, LteReportsEveryRing) {
    feed(onUnsolicited_lte, {"+CRING: VOICE", "RING", "RING"});
    EXPECT_EQ(count1001(), 3);
    EXPECT_EQ(is_callconnected, 4);
    EXPECT_EQ(s_callactive, 1);
}

struct EndCase {
    const char *name;
    const char *line;
    int userHangup;
    int reports, needRedial;
    int userAfter;  // only a status-29 end consumes the hang-up mark
};
void PrintTo(const EndCase &c, std::ostream *os) { *os << c.name; }
class CallEnd : public Lines, public ::testing::WithParamInterface<EndCase> {};

TEST_P(CallEnd, WcdmaAndLteSettleTheRedial) {
    const auto &c = GetParam();
    for (ATUnsolHandler h : {onUnsolicited_wcdma, onUnsolicited_lte}) {
        env.clear();
        s_userhangup = c.userHangup;
        s_needredial = 5;
        s_voiceon = 1;
        G_incall = 1;
        feed(h, {c.line});
        EXPECT_EQ(count1001(), c.reports);
        EXPECT_EQ(s_needredial, c.needRedial);
        EXPECT_EQ(s_userhangup, c.userAfter);
        EXPECT_EQ(s_voiceon, 0);
        EXPECT_EQ(G_incall, 0);
        at_close();
    }
    EXPECT_EQ(is_callconnected, 3);
    EXPECT_EQ(s_callactive, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CallEnd,
    ::testing::Values(EndCase{"networkDrop29", "^CEND:1,0,29,16", 0, 0, 1, 0},
                      EndCase{"userHangup29", "^CEND:1,12,29,16", 1, 1, 0, 0},
                      EndCase{"farEnd104", "^CEND:1,12,104,16", 0, 1, 0, 0},
                      EndCase{"farEndAfterHangup", "^CEND:1,12,104,16", 1, 1, 0, 1},
                      EndCase{"unreadableStatus", "^CEND:1,x", 0, 1, 0, 0},
                      EndCase{"bareCend", "^CEND", 0, 1, 0, 0},
                      EndCase{"missedCall", "MISSED_CALL: 10:30AM 10086", 0, 1, 0, 0},
                      EndCase{"twoFields", "^CEND:1,0", 0, 1, 0, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Lines, LteLinkedAndConnect) {
    is_callconnected = 4;
    feed(onUnsolicited_lte, {"^LINKED:1", "^CONN:1,0", "^CONF:1"});
    EXPECT_EQ(is_callconnected, 0);
    EXPECT_EQ(count1001(), 3);
    bool threeSeconds = false;
    for (const auto &t : calltest::timed()) threeSeconds |= t.delayUs == 3000000;
    EXPECT_TRUE(threeSeconds) << "s_callactive follows 3 s after ^CONN";
}

TEST_F(Lines, WcdmaReplayOnConnectSendsTheHeldVoiceTypeAndKeepsIt) {
    // the replay runs on the event thread: run it here as the daemon would
    snprintf(g_vtypecache, sizeof(g_vtypecache), "%s", "AT+VTYPE=1");
    feed(onUnsolicited_wcdma, {"^CONN:1,0"});
    auto t = calltest::timed();
    ASSERT_EQ(t.size(), 2u);
    peer.expect("AT+VTYPE=1", {"OK"});
    t[1].cb(nullptr);
    EXPECT_STREQ(g_vtypecache, "AT+VTYPE=1");
    peer.verify();
}

TEST_F(Lines, CdmaReplayOnConnectSendsAndClears) {
    snprintf(g_vtypecache, sizeof(g_vtypecache), "%s", "AT+VTYPE=1");
    feed(onUnsolicited_cdma, {"^CONN:1,0"});
    auto t = calltest::timed();
    ASSERT_EQ(t.size(), 2u);
    peer.expect("AT+VTYPE=1", {"OK"});
    t[1].cb(nullptr);
    EXPECT_STREQ(g_vtypecache, "");
    peer.verify();
}

TEST_F(Lines, PluginEventsOfTheCallLines) {
    static std::vector<int> events;
    g_peventfun = [](kv_atfunc, int e, void *) { events.push_back(e); };
    g_moduletype = 3;
    feed(onUnsolicited_wcdma, {"RING", "^CONN:1,0", "^CEND:1,0,104,16"});
    for (const auto &t : calltest::timed())
        if (t.delayUs == 0) t.cb(nullptr);
    EXPECT_EQ(events, (std::vector<int>{5, 1, 3}));
    g_peventfun = nullptr;
}

}  // namespace
