#include "recording_env.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>

namespace riltest {

namespace {
RecordingEnv *g_current = nullptr;

long scale() {
    const char *s = getenv("RIL_TIME_SCALE");
    long v = s ? atol(s) : 1;
    return v < 1 ? 1 : v;
}
}  // namespace

RecordingEnv::RecordingEnv() {
    env_.OnRequestComplete = onComplete;
    env_.OnUnsolicitedResponse = onUnsol;
    env_.RequestTimedCallback = onTimed;
    env_.OnRequestAck = nullptr;
    g_current = this;
    events_ = std::thread([this] { eventLoop(); });
}

RecordingEnv::~RecordingEnv() {
    {
        std::lock_guard<std::mutex> l(lock_);
        stop_ = true;
        cond_.notify_all();
    }
    events_.join();
    g_current = nullptr;
}

void RecordingEnv::onComplete(RIL_Token t, RIL_Errno e, void *response, size_t len) {
    RecordingEnv *self = g_current;
    if (self == nullptr) return;
    Completion c;
    c.token = (long)(intptr_t)t;
    c.error = e;
    std::lock_guard<std::mutex> l(self->lock_);
    if (response != nullptr && len > 0) {
        c.data.assign((unsigned char *)response, (unsigned char *)response + len);
        if (self->stringTokens_.count(c.token)) {
            c.stringData = true;
            char **v = (char **)response;
            for (size_t i = 0; i < len / sizeof(char *); i++) c.strings.push_back(v[i] ? v[i] : "<null>");
        }
    }
    self->completions_.push_back(c);
    self->cond_.notify_all();
}

void RecordingEnv::onUnsol(int code, const void *data, size_t len) {
    RecordingEnv *self = g_current;
    if (self == nullptr) return;
    Notification n;
    n.code = code;
    if (data != nullptr && len > 0) n.data.assign((const unsigned char *)data, (const unsigned char *)data + len);
    std::lock_guard<std::mutex> l(self->lock_);
    self->notifications_.push_back(n);
    self->cond_.notify_all();
}

void *RecordingEnv::onTimed(RIL_TimedCallback cb, void *param, const struct timeval *tv) {
    RecordingEnv *self = g_current;
    if (self == nullptr) return nullptr;
    long long us = tv ? (long long)tv->tv_sec * 1000000LL + tv->tv_usec : 0;
    std::lock_guard<std::mutex> l(self->lock_);
    self->timed_.push_back(
        {std::chrono::steady_clock::now() + std::chrono::microseconds(us / scale()), self->seq_++, cb, param});
    self->cond_.notify_all();
    return (void *)1;
}

void RecordingEnv::eventLoop() {
    std::unique_lock<std::mutex> l(lock_);
    while (!stop_) {
        if (timed_.empty()) {
            cond_.wait(l);
            continue;
        }
        auto it = std::min_element(timed_.begin(), timed_.end(), [](const Timed &a, const Timed &b) {
            return a.due != b.due ? a.due < b.due : a.seq < b.seq;
        });
        if (std::chrono::steady_clock::now() < it->due) {
            cond_.wait_until(l, it->due);
            continue;
        }
        Timed t = *it;
        timed_.erase(it);
        l.unlock();
        t.cb(t.param);
        l.lock();
    }
}

std::vector<Completion> RecordingEnv::completions(long token) {
    std::lock_guard<std::mutex> l(lock_);
    std::vector<Completion> out;
    for (const auto &c : completions_)
        if (c.token == token) out.push_back(c);
    return out;
}

bool RecordingEnv::waitCompletion(long token, Completion &out, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> l(lock_);
    return cond_.wait_for(l, timeout, [&] {
        for (const auto &c : completions_)
            if (c.token == token) {
                out = c;
                return true;
            }
        return false;
    });
}

std::vector<Notification> RecordingEnv::notifications() {
    std::lock_guard<std::mutex> l(lock_);
    return notifications_;
}

std::vector<int> RecordingEnv::notificationCodes() {
    std::lock_guard<std::mutex> l(lock_);
    std::vector<int> out;
    for (const auto &n : notifications_) out.push_back(n.code);
    return out;
}

bool RecordingEnv::waitNotification(int code, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> l(lock_);
    return cond_.wait_for(l, timeout, [&] {
        for (const auto &n : notifications_)
            if (n.code == code) return true;
        return false;
    });
}

void RecordingEnv::clear() {
    std::lock_guard<std::mutex> l(lock_);
    completions_.clear();
    notifications_.clear();
}

void RecordingEnv::expectStrings(long token) {
    std::lock_guard<std::mutex> l(lock_);
    stringTokens_[token] = true;
}

}  // namespace riltest
