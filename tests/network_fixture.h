// In-process fixture for the network handlers: the real AT channel on a
// pseudo-terminal with the scripted module at the far end, and a recording
// RIL_Env installed for all three families. Timed callbacks are recorded,
// not run, so a test drives the polls one run at a time.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <vector>

#include "at_link.h"
#include "recording_env.h"
#include "ril_families.h"
#include "ril_network.h"
#include "scripted_peer.h"
#include "usb_discovery.h"

namespace nettest {

struct TimedCall {
    RIL_TimedCallback cb;
    long long delayUs;
};

inline std::mutex &timedLock() {
    static std::mutex m;
    return m;
}
inline std::vector<TimedCall> &timedCalls() {
    static std::vector<TimedCall> v;
    return v;
}
inline void *recordTimed(RIL_TimedCallback cb, void *, const struct timeval *tv) {
    std::lock_guard<std::mutex> l(timedLock());
    timedCalls().push_back({cb, tv ? (long long)tv->tv_sec * 1000000LL + tv->tv_usec : 0});
    return (void *)1;
}
inline std::vector<TimedCall> timed() {
    std::lock_guard<std::mutex> l(timedLock());
    return timedCalls();
}

inline void noUnsol(const char *, const char *) {}

class Net : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("RIL_TIME_SCALE", "100", 1);
        static const std::string log = "/tmp/network_test." + std::to_string(getpid()) + ".log";
        setenv("RIL_LOG", log.c_str(), 1);
        envRec_ = *env.env();
        envRec_.RequestTimedCallback = recordTimed;
        s_rilenv = s_rilenv_wcdma = s_rilenv_lte = &envRec_;
    }
    void TearDown() override { at_close(); }

    void open() {
        int fd = peer.openSlave();
        ASSERT_GE(fd, 0);
        ASSERT_EQ(at_open(fd, noUnsol), 0);
    }

    // runs a handler and returns its one completion
    riltest::Completion call(RilRequestHandler h, bool strings) {
        long token = ++token_;
        if (strings) env.expectStrings(token);
        h(nullptr, 0, riltest::RecordingEnv::token(token));
        auto all = env.completions(token);
        EXPECT_EQ(all.size(), 1u) << "a request completes exactly once";
        return all.empty() ? riltest::Completion{} : all[0];
    }

    std::vector<int> codes() { return env.notificationCodes(); }

    riltest::RecordingEnv env;
    riltest::ScriptedPeer peer;
    struct RIL_Env envRec_;
    long token_ = 0;
};

template <typename T>
T recordOf(const riltest::Completion &c) {
    T r{};
    EXPECT_EQ(c.data.size(), sizeof(T));
    if (c.data.size() == sizeof(T)) memcpy(&r, c.data.data(), sizeof(T));
    return r;
}

}  // namespace nettest
