// The AT filter, the service's command queue and the plug-in's AT-sender in
// process: the real AT channel on a pseudo-terminal with the scripted module
// at the far end.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/time.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <vector>

#include "at_filter.h"
#include "at_link.h"
#include "at_service.h"
#include "ril_families.h"
#include "ril_network.h"
#include "scripted_peer.h"
#include "temp_root.h"

namespace {

std::mutex g_lock;
std::vector<int> g_events;
void recordEvent(kv_atfunc, int event, void *) {
    std::lock_guard<std::mutex> l(g_lock);
    g_events.push_back(event);
}
std::vector<int> events() {
    std::lock_guard<std::mutex> l(g_lock);
    return g_events;
}

struct Timed {
    RIL_TimedCallback cb;
    void *param;
    long long delayUs;
};
std::vector<Timed> g_timed;
void *recordTimed(RIL_TimedCallback cb, void *param, const struct timeval *tv) {
    std::lock_guard<std::mutex> l(g_lock);
    g_timed.push_back({cb, param, tv ? (long long)tv->tv_sec * 1000000LL + tv->tv_usec : -1});
    return (void *)1;
}

void noUnsol(const char *, const char *) {}

class AtFilter : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("RIL_SYSROOT", root.at("/sysroot").c_str(), 1);
        setenv("RIL_PROPERTY_DIR", root.at("/properties").c_str(), 1);
        setenv("RIL_LOG", root.at("/ril.log").c_str(), 1);
        riltest::makeDirs(root.at("/properties"));
        g_vtypecache[0] = '\0';
        G_incall = 0;
    }
    void TearDown() override {
        at_close();
        g_peventfun = nullptr;
        g_timecallback = nullptr;
    }
    void open() {
        int fd = peer.openSlave();
        ASSERT_GE(fd, 0);
        ASSERT_EQ(at_open(fd, noUnsol), 0);
    }
    std::string log() { return riltest::readFile(root.at("/ril.log")); }

    riltest::TempRoot root;
    riltest::ScriptedPeer peer;
};

struct FilterCase {
    int incall;
    std::string text;
    int send;
    std::string cacheAfter;  // the cache starts empty
};

TEST_F(AtFilter, DecidesAndHoldsAsTheCallStateSays) {
    const std::string longVtype = "AT+VTYPE=" + std::string(130, '1');  // does not fit the 128-byte cache
    const FilterCase cases[] = {
        // outside a call a +VTYPE command in any case is held in upper case
        {0, "at+vtype=1", 0, "AT+VTYPE=1"},
        {0, "AT+VType=3", 0, "AT+VTYPE=3"},
        {0, "AT+CLVL=7", 1, ""},
        {0, "ATD10086;", 1, ""},
        // during a call: sent when it has the capital letters AT, a +VTYPE
        // one also held as it is
        {1, "AT+VTYPE=0", 1, "AT+VTYPE=0"},
        {1, "AT+CLVL=7", 1, ""},
        {1, "at+vtype=0", 0, ""},
        {1, "+CLVL=7", 0, ""},
        // too long for the cache: never held (never replayed cut short)
        {0, longVtype, 0, ""},
        {1, longVtype, 1, ""},
    };
    for (const auto &c : cases) {
        g_vtypecache[0] = '\0';
        G_incall = c.incall;
        EXPECT_EQ(filtercommand(c.text.c_str()), c.send) << c.incall << " " << c.text;
        EXPECT_EQ(std::string(g_vtypecache), c.cacheAfter) << c.incall << " " << c.text;
    }
    EXPECT_EQ(filtercommand(nullptr), 0);
    std::string l = log();
    EXPECT_NE(l.find("filtercommand:at+vtype=1"), std::string::npos);
    EXPECT_NE(l.find("cache data "), std::string::npos);
    EXPECT_NE(l.find("incall exec now:AT+CLVL=7"), std::string::npos);
}

TEST_F(AtFilter, HeldVoiceTypeIsReplayedOnConnectPerFamily) {
    g_peventfun = recordEvent;
    peer.expect("AT+VTYPE=1", {"OK"}).expect("AT+VTYPE=1", {"OK"}).expect("AT+CLVL=1", {"OK"});
    open();
    EXPECT_EQ(filtercommand("at+vtype=1"), 0);
    // WCDMA sends it and keeps it
    ReplayHeldVoiceType(VTYPE_REPLAY_SEND_AND_KEEP);
    EXPECT_STREQ(g_vtypecache, "AT+VTYPE=1");
    // LTE sends nothing
    ReplayHeldVoiceType(VTYPE_REPLAY_NOTHING);
    // CDMA sends it and clears it; a second connect has nothing to send
    ReplayHeldVoiceType(VTYPE_REPLAY_SEND_AND_CLEAR);
    EXPECT_STREQ(g_vtypecache, "");
    ReplayHeldVoiceType(VTYPE_REPLAY_SEND_AND_CLEAR);
    at_send_single_command("AT+CLVL=1");  // the last step: everything before it has gone out
    peer.verify();
    EXPECT_EQ(events(), (std::vector<int>{1, 1, 1, 1})) << "each replay tells the plug-in event 1";
    EXPECT_NE(log().find("EDOG >> after conn exec at!"), std::string::npos);
}

TEST_F(AtFilter, RecordingPluginSeesTheConnectEventAfterTheReplay) {
    // the real plug-in, loaded the way the library loads it
    riltest::makeDirs(root.at("/sysroot/system/lib"));
    std::string plugin = std::string(RIL_BUILD_DIR) + "/lib/libkvplugin.so";
    ASSERT_EQ(symlink(plugin.c_str(), root.at("/sysroot/system/lib/libkvplugin.so").c_str()), 0);
    setenv("KVPLUGIN_RECORD", root.at("/events").c_str(), 1);
    ASSERT_EQ(PrepareSem(), 0);
    ASSERT_NE(g_peventfun, nullptr) << log();
    peer.expect("AT+VTYPE=2", {"OK"});
    open();
    EXPECT_EQ(filtercommand("AT+VTYPE=2"), 0);
    ReplayHeldVoiceType(VTYPE_REPLAY_SEND_AND_KEEP);
    peer.verify();
    EXPECT_EQ(riltest::readFile(root.at("/events")), "EVENT 1 -\n");
    EXPECT_NE(log().find("EVT: load plutin succ"), std::string::npos);
}

TEST_F(AtFilter, PluginSenderFiltersAndRefusesMoreThanOneLine) {
    peer.expect("AT+CLVL=7", {"OK"}).expect("AT+CLVL=8", {"OK"});
    open();
    EXPECT_EQ(event_atfunc("AT+CLVL=7"), 0);
    EXPECT_EQ(event_atfunc("AT+CSQ\rATD10086;"), -1);
    EXPECT_EQ(event_atfunc("AT+CMGS=5\x1a"), -1);
    EXPECT_EQ(event_atfunc(nullptr), 0);
    EXPECT_EQ(event_atfunc("at+vtype=2"), 0);  // held, not sent
    EXPECT_STREQ(g_vtypecache, "AT+VTYPE=2");
    EXPECT_EQ(event_atfunc("AT+CLVL=8"), 0);
    peer.verify();  // exactly these two, in order
    std::string l = log();
    EXPECT_NE(l.find("exec: command: AT+CLVL=7"), std::string::npos);
    EXPECT_NE(l.find("EVT: command: at+vtype=2"), std::string::npos);
    EXPECT_EQ(l.find("exec: command: at+vtype=2"), std::string::npos);
}

TEST_F(AtFilter, QueueRunsOnTheEventThreadAndIsCapped) {
    EXPECT_EQ(ExecuteATTimer("AT+CLVL=1"), RIL_EXECUTE_NO_HOOK) << "no daemon hook: dropped";
    g_timecallback = recordTimed;
    EXPECT_EQ(ExecuteATTimer("AT+CLVL=1\r"), RIL_EXECUTE_REFUSED);
    EXPECT_EQ(ExecuteATTimer(nullptr), RIL_EXECUTE_REFUSED);
    for (int i = 0; i < RIL_EXECUTE_PENDING_MAX; i++)
        EXPECT_EQ(ExecuteATTimer(("AT+CLVL=" + std::to_string(i)).c_str()), 0) << i;
    EXPECT_EQ(ExecuteATTimer("AT+CLVL=99"), RIL_EXECUTE_FULL);
    std::vector<Timed> queued;
    {
        std::lock_guard<std::mutex> l(g_lock);
        queued = g_timed;
    }
    ASSERT_EQ(queued.size(), (size_t)RIL_EXECUTE_PENDING_MAX);
    for (const auto &t : queued) {
        EXPECT_EQ(t.cb, ExecuteAT);
        EXPECT_EQ(t.delayUs, 0) << "at once";
    }
    // each finished command makes room for one more; it goes out on the channel
    peer.expect("AT+CLVL=0", {"OK"}).expect("AT+CLVL=1", {"OK"});
    open();
    queued[0].cb(queued[0].param);
    EXPECT_EQ(ExecuteATTimer("AT+CLVL=50"), 0);
    EXPECT_EQ(ExecuteATTimer("AT+CLVL=51"), RIL_EXECUTE_FULL);
    queued[1].cb(queued[1].param);
    peer.verify();
    {
        std::lock_guard<std::mutex> l(g_lock);
        queued = g_timed;  // with the one queued after the first finished
    }
    ASSERT_EQ(queued.size(), (size_t)RIL_EXECUTE_PENDING_MAX + 1);
    for (size_t i = 2; i < queued.size(); i++) free(queued[i].param);
    EXPECT_NE(log().find("ExecuteATTimer: 16 commands pending, dropped AT+CLVL=99"), std::string::npos);
    ExecuteAT(nullptr);  // nothing
}

struct MaskCase {
    const char *in;
    const char *out;
};

TEST(AtMask, PinsAndPasswordsAreMasked) {
    const MaskCase cases[] = {
        {"AT+CPIN=\"1234\"", "AT+CPIN=***"},
        {"AT+CPIN=\"12345678\",\"4321\"", "AT+CPIN=***"},
        {"at+cpin=1234", "at+cpin=***"},
        {"AT+CPWD=\"SC\",\"1234\",\"4321\"", "AT+CPWD=***"},
        {"AT+CLCK=\"SC\",1,\"1234\"", "AT+CLCK=***"},
        {"AT+CSQ;+CPIN=1234", "AT+CSQ;+CPIN=***"},
        {"AT+CPIN1234", "AT+CPIN***"},
        {"AT+CPIN?", "AT+CPIN?"},
        {"AT+CLCK=?", "AT+CLCK=?"},
        {"AT+CPIN", "AT+CPIN"},
        {"AT+CSQ", "AT+CSQ"},
        {"", ""},
    };
    char out[64];
    for (const auto &c : cases) EXPECT_STREQ(ril_mask_command(c.in, out, sizeof(out)), c.out) << c.in;
    EXPECT_STREQ(ril_mask_command(nullptr, out, sizeof(out)), "");
    char small[8];
    EXPECT_STREQ(ril_mask_command("AT+CSQ=123456", small, sizeof(small)), "AT+CSQ=");
    EXPECT_STREQ(ril_mask_command("AT+CPIN=1234", small, sizeof(small)), "AT+CPIN") << "cut, never the PIN";
}

TEST(AtOutsideCommand, OnlyOneBoundedLinePasses) {
    struct Case {
        std::string text;
        int ok;
    };
    const Case cases[] = {
        {"AT", 1},
        {"AT+CSQ", 1},
        {"AT+CPBW=1,\"10086\",129,\"\xe4\xb8\xad\"", 1},  // UTF-8 text is no control byte
        {std::string(RIL_OUTSIDE_COMMAND_MAX, 'A'), 1},
        {std::string(RIL_OUTSIDE_COMMAND_MAX + 1, 'A'), 0},
        {"", 0},
        {"AT\r", 0},
        {"AT\nATD1;", 0},
        {"AT+CMGS=5\x1a", 0},
        {std::string("AT\0D1", 5), 0},
        {"AT\t", 0},
        {"AT\x7f", 0},
        {"\x1b", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ril_outside_command_ok(c.text.data(), c.text.size()), c.ok) << c.text.size();
    EXPECT_EQ(ril_outside_command_ok(nullptr, 3), 0);
}

TEST_F(AtFilter, HasInitReadsTheInitProperty) {
    EXPECT_EQ(HasInit(), 0);
    riltest::TempRoot &r = root;
    r.writeFile("/properties/ril.kivo.value", "1");
    EXPECT_EQ(HasInit(), 1);
    r.writeFile("/properties/ril.kivo.value", "x");
    EXPECT_EQ(HasInit(), 0);
}

}  // namespace
