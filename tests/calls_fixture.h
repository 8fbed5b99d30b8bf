// In-process fixture for the call handlers: the real AT channel on a
// pseudo-terminal with the scripted module at the far end, a recording
// RIL_Env for the three families whose completion hook also copies call
// lists and forwarding records (they live on the handler's stack), and the
// family's own unsolicited handler on the channel.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <vector>

#include "at_link.h"
#include "network_fixture.h"
#include "recording_env.h"
#include "ril_calls.h"
#include "ril_families.h"
#include "ril_network.h"
#include "scripted_peer.h"
#include "usb_discovery.h"

namespace calltest {

struct CallCopy {
    int state, index, toa, isMpty, isMT, isVoice;
    bool hasNumber;
    std::string number;
};

struct Captured {
    long token;
    std::vector<CallCopy> calls;
    std::vector<RIL_CallForwardInfo> forwards;
    std::vector<std::string> forwardNumbers;
    size_t len;
};

inline std::mutex &captureLock() {
    static std::mutex m;
    return m;
}
inline std::vector<Captured> &captured() {
    static std::vector<Captured> v;
    return v;
}
inline void (*&forward())(RIL_Token, RIL_Errno, void *, size_t) {
    static void (*f)(RIL_Token, RIL_Errno, void *, size_t) = nullptr;
    return f;
}
// what the completion carries: 0 nothing to copy, 1 a call list, 2 forwarding records
inline int &decodeKind() {
    static int k = 0;
    return k;
}

inline void captureComplete(RIL_Token t, RIL_Errno e, void *response, size_t len) {
    {
        std::lock_guard<std::mutex> l(captureLock());
        Captured c{(long)(intptr_t)t, {}, {}, {}, len};
        if (response != nullptr && decodeKind() == 1) {
            RIL_Call **v = (RIL_Call **)response;
            for (size_t i = 0; i < len / sizeof(RIL_Call *); i++)
                c.calls.push_back({v[i]->state, v[i]->index, v[i]->toa, v[i]->isMpty, v[i]->isMT, v[i]->isVoice,
                                   v[i]->number != nullptr, v[i]->number ? v[i]->number : ""});
        }
        if (response != nullptr && decodeKind() == 2) {
            RIL_CallForwardInfo **v = (RIL_CallForwardInfo **)response;
            for (size_t i = 0; i < len / sizeof(RIL_CallForwardInfo *); i++) {
                c.forwards.push_back(*v[i]);
                c.forwardNumbers.push_back(v[i]->number ? v[i]->number : "<null>");
            }
        }
        captured().push_back(c);
    }
    forward()(t, e, response, len);
}

// the timed callbacks are recorded, not run (as in the network handler tests)
using nettest::recordTimed;
using nettest::timed;
inline std::vector<nettest::TimedCall> &timedCalls() { return nettest::timedCalls(); }

inline std::vector<long long> delaysOf(RIL_TimedCallback cb) {
    std::vector<long long> out;
    for (const auto &t : timed())
        if (t.cb == cb) out.push_back(t.delayUs);
    return out;
}

class Calls : public ::testing::Test {
protected:
    void SetUp() override {
        // a mild compression: the call list has a 1 s deadline, which must hold on a busy machine
        setenv("RIL_TIME_SCALE", "2", 1);
        static const std::string log = "/tmp/calls_test." + std::to_string(getpid()) + ".log";
        setenv("RIL_LOG", log.c_str(), 1);
        envRec_ = *env.env();
        forward() = envRec_.OnRequestComplete;
        envRec_.OnRequestComplete = captureComplete;
        envRec_.RequestTimedCallback = recordTimed;
        s_rilenv = s_rilenv_wcdma = s_rilenv_lte = &envRec_;
        s_hasinit = 1;
        s_radio_state_cdma = s_radio_state_wcdma = s_radio_state_lte = RADIO_STATE_ON;
        s_callwaiting_wcdma = s_callwaiting_lte = 1;
    }
    void TearDown() override { at_close(); }

    void open(ATUnsolHandler h) {
        int fd = peer.openSlave();
        ASSERT_GE(fd, 0);
        ASSERT_EQ(at_open(fd, h), 0);
    }

    // runs a handler and returns its one completion
    riltest::Completion run(RilRequestHandler h, const void *data = nullptr, size_t len = 0, int kind = 0) {
        long token = ++token_;
        decodeKind() = kind;
        h(const_cast<void *>(data), len, riltest::RecordingEnv::token(token));
        auto all = env.completions(token);
        EXPECT_EQ(all.size(), 1u) << "a request completes exactly once";
        return all.empty() ? riltest::Completion{} : all[0];
    }
    Captured last() {
        std::lock_guard<std::mutex> l(captureLock());
        return captured().empty() ? Captured{} : captured().back();
    }
    int count1001() {
        int n = 0;
        for (int c : env.notificationCodes()) n += c == RIL_UNSOL_RESPONSE_CALL_STATE_CHANGED;
        return n;
    }

    riltest::RecordingEnv env;
    riltest::ScriptedPeer peer;
    struct RIL_Env envRec_;
    long token_ = 0;
};

inline void noUnsol(const char *, const char *) {}

}  // namespace calltest
