// In-process rig for the SIM file, facility lock, network selection, vendor
// and unsolicited-line tests: the real AT channel on a pseudo-terminal with
// the scripted module at the far end, a recording RIL_Env in all three
// family slots (timed callbacks recorded, not run), a temporary property
// store and sysroot, and a compressed clock.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "at_link.h"
#include "daemon_harness.h"
#include "recording_env.h"
#include "ril_families.h"
#include "ril_interface.h"
#include "scripted_peer.h"
#include "temp_root.h"

namespace simnettest {

enum Family { CDMA = 0, WCDMA = 1, LTE = 2 };
constexpr long kScale = 50;

struct Timed {
    RIL_TimedCallback cb;
    long long delayUs;
};

// the SIM_IO answer as the framework reads it during completion
struct SimIoAnswer {
    int sw1 = -1, sw2 = -1;
    bool hasText = false;
    std::string text;
};

class Rig {
public:
    explicit Rig(ATUnsolHandler unsol = nullptr) : unsol_(unsol) {
        setenv("RIL_TIME_SCALE", std::to_string(kScale).c_str(), 1);
        setenv("RIL_PROPERTY_DIR", root.at("/props").c_str(), 1);
        setenv("RIL_SYSROOT", root.at("/sysroot").c_str(), 1);
        setenv("RIL_LOG", root.at("/ril.log").c_str(), 1);
        riltest::makeDirs(root.at("/props"));
        riltest::makeDirs(root.at("/sysroot/data/local/tmp"));
        self() = this;
        env_ = *rec.env();
        env_.OnRequestComplete = complete;
        env_.RequestTimedCallback = timed;
        s_rilenv = s_rilenv_wcdma = s_rilenv_lte = &env_;
        s_radio_state_cdma = RADIO_STATE_RUIM_READY;
        s_radio_state_wcdma = RADIO_STATE_SIM_READY;
        s_radio_state_lte = RADIO_STATE_SIM_READY;
        s_hasinit = 1;
    }
    ~Rig() {
        at_close();
        s_rilenv = s_rilenv_wcdma = s_rilenv_lte = nullptr;
        self() = nullptr;
    }

    void open() {
        int fd = peer.openSlave();
        ASSERT_GE(fd, 0);
        ASSERT_EQ(at_open(fd, unsol_ != nullptr ? unsol_ : ignore), 0);
    }

    // dispatches through the family's onRequest and returns the one completion
    riltest::Completion request(int family, int code, void *data, size_t len, bool strings = false) {
        long token = ++token_;
        if (strings) rec.expectStrings(token);
        RIL_RequestFunc f[] = {onRequest_cdma, onRequest_wcdma, onRequest_lte};
        f[family](code, data, len, riltest::RecordingEnv::token(token));
        riltest::Completion c;
        c.error = -1;
        EXPECT_TRUE(rec.waitCompletion(token, c, std::chrono::seconds(10))) << "no completion";
        EXPECT_EQ(rec.completions(token).size(), 1u) << "a request completes exactly once";
        last_ = token;
        return c;
    }
    riltest::Completion strings(int family, int code, std::vector<const char *> args) {
        std::vector<char *> v;
        for (const char *a : args) v.push_back(const_cast<char *>(a));
        return request(family, code, v.empty() ? nullptr : v.data(), v.size() * sizeof(char *));
    }
    SimIoAnswer simIo(long token) {
        std::lock_guard<std::mutex> l(lock_);
        return simio_[token];
    }
    SimIoAnswer lastSimIo() { return simIo(last_); }

    std::vector<Timed> timedCalls() {
        std::lock_guard<std::mutex> l(lock_);
        return timed_;
    }

    riltest::TempRoot root;
    riltest::RecordingEnv rec;
    riltest::ScriptedPeer peer;

private:
    static void ignore(const char *, const char *) {}
    static Rig *&self() {
        static Rig *r = nullptr;
        return r;
    }
    static void complete(RIL_Token t, RIL_Errno e, void *response, size_t len) {
        Rig *r = self();
        if (r == nullptr) return;
        if (response != nullptr && len == sizeof(RIL_SIM_IO_Response)) {
            const auto *sr = (const RIL_SIM_IO_Response *)response;
            SimIoAnswer a;
            a.sw1 = sr->sw1;
            a.sw2 = sr->sw2;
            a.hasText = sr->simResponse != nullptr;
            if (a.hasText) a.text = sr->simResponse;
            std::lock_guard<std::mutex> l(r->lock_);
            r->simio_[(long)(intptr_t)t] = a;
        }
        r->rec.env()->OnRequestComplete(t, e, response, len);
    }
    static void *timed(RIL_TimedCallback cb, void *, const struct timeval *tv) {
        Rig *r = self();
        if (r == nullptr) return nullptr;
        std::lock_guard<std::mutex> l(r->lock_);
        r->timed_.push_back({cb, tv ? (long long)tv->tv_sec * 1000000LL + tv->tv_usec : 0});
        return (void *)1;
    }

    ATUnsolHandler unsol_;
    struct RIL_Env env_;
    std::mutex lock_;
    std::map<long, SimIoAnswer> simio_;
    std::vector<Timed> timed_;
    long token_ = 0;
    long last_ = 0;
};

inline int intAnswer(const riltest::Completion &c) {
    int v = -1000;
    if (c.data.size() == sizeof(int)) memcpy(&v, c.data.data(), sizeof(int));
    return v;
}

}  // namespace simnettest
