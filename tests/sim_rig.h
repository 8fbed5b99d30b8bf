// In-process rig for the SIM, identity and radio-power handler tests: a
// scripted module on a real pseudo-terminal as the AT channel's far end, the
// recording RIL_Env in all three family slots, a temporary property store
// and sysroot, and a compressed clock.
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
#include "ril_log.h"
#include "ril_sim.h"
#include "scripted_peer.h"
#include "temp_root.h"

namespace simtest {

enum Family { CDMA = 0, WCDMA = 1, LTE = 2 };
constexpr long kScale = 20;

inline const char *familyName(int f) { return f == CDMA ? "CDMA" : f == WCDMA ? "WCDMA" : "LTE"; }

// One scripted exchange; lines {"<silence>"} means the module never answers.
struct Step {
    std::string command;
    std::vector<std::string> lines;
};

inline void unsolIgnored(const char *, const char *) {}

class Rig {
public:
    Rig() {
        setenv("RIL_TIME_SCALE", std::to_string(kScale).c_str(), 1);
        setenv("RIL_PROPERTY_DIR", root.at("/props").c_str(), 1);
        setenv("RIL_SYSROOT", root.at("/sysroot").c_str(), 1);
        setenv("RIL_LOG", root.at("/ril.log").c_str(), 1);
        riltest::makeDirs(root.at("/props"));
        riltest::makeDirs(root.at("/sysroot"));
        self() = this;
        env_ = *rec.env();
        env_.OnRequestComplete = complete;
        s_rilenv = s_rilenv_wcdma = s_rilenv_lte = &env_;
    }
    ~Rig() {
        at_close();
        s_rilenv = s_rilenv_wcdma = s_rilenv_lte = nullptr;
        self() = nullptr;
    }

    void script(const std::vector<Step> &steps) {
        for (const auto &s : steps) {
            if (s.lines.size() == 1 && s.lines[0] == "<silence>")
                peer.silence(s.command);
            else
                peer.expect(s.command, riltest::Reply(s.lines));
        }
    }
    void open() {
        int fd = peer.openSlave();
        ASSERT_GE(fd, 0);
        ASSERT_EQ(at_open(fd, unsolIgnored), 0);
    }

    void dispatch(int family, int code, void *data, size_t len, long token) {
        RIL_RequestFunc f[] = {onRequest_cdma, onRequest_wcdma, onRequest_lte};
        f[family](code, data, len, riltest::RecordingEnv::token(token));
    }

    // the one completion of token (fails the test when there is none or more)
    riltest::Completion completion(long token, std::chrono::milliseconds wait = std::chrono::seconds(5)) {
        riltest::Completion c;
        c.error = -1;
        EXPECT_TRUE(rec.waitCompletion(token, c, wait)) << "no completion of " << token;
        EXPECT_EQ(rec.completions(token).size(), 1u);
        return c;
    }
    // the text answer of token, read as a C string
    std::string text(long token) {
        std::lock_guard<std::mutex> l(lock_);
        auto it = texts_.find(token);
        return it == texts_.end() ? std::string("<none>") : it->second;
    }
    std::vector<std::string> strings(long token) {
        std::lock_guard<std::mutex> l(lock_);
        auto it = arrays_.find(token);
        return it == arrays_.end() ? std::vector<std::string>{} : it->second;
    }
    // text tokens: the answer is one C string; array tokens: count strings
    void textAnswer(long token) {
        std::lock_guard<std::mutex> l(lock_);
        textTokens_[token] = true;
    }
    void arrayAnswer(long token) {
        std::lock_guard<std::mutex> l(lock_);
        arrayTokens_[token] = true;
    }

    std::string property(const std::string &name) {
        char v[PROPERTY_VALUE_MAX];
        property_get(name.c_str(), v, "<unset>");
        return v;
    }

    riltest::TempRoot root;
    riltest::RecordingEnv rec;
    riltest::ScriptedPeer peer;

private:
    static Rig *&self() {
        static Rig *r = nullptr;
        return r;
    }
    static void complete(RIL_Token t, RIL_Errno e, void *response, size_t len) {
        Rig *r = self();
        if (r == nullptr) return;
        long tok = (long)(intptr_t)t;
        {
            std::lock_guard<std::mutex> l(r->lock_);
            if (response != nullptr && r->textTokens_.count(tok))
                r->texts_[tok] = std::string((const char *)response, strnlen((const char *)response, 4096));
            if (response != nullptr && r->arrayTokens_.count(tok)) {
                std::vector<std::string> v;
                char **a = (char **)response;
                for (size_t i = 0; i < len / sizeof(char *); i++) v.push_back(a[i] ? a[i] : "<null>");
                r->arrays_[tok] = v;
            }
        }
        r->rec.env()->OnRequestComplete(t, e, response, len);
    }

    struct RIL_Env env_;
    std::mutex lock_;
    std::map<long, bool> textTokens_;
    std::map<long, bool> arrayTokens_;
    std::map<long, std::string> texts_;
    std::map<long, std::vector<std::string>> arrays_;
};

inline int cardField(const riltest::Completion &c, size_t offset) {
    int v = -1000;
    if (c.data.size() >= offset + sizeof(int)) memcpy(&v, c.data.data() + offset, sizeof(int));
    return v;
}

}  // namespace simtest
