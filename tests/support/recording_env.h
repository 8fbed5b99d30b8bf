// An in-process RIL_Env for tests that drive the library's internals: it
// records completions and notifications and runs timed callbacks on its own
// event thread, in due order.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ril_interface.h"

namespace riltest {

struct Completion {
    long token;
    int error;
    std::vector<unsigned char> data;  // copy of the response bytes
    std::vector<std::string> strings; // for string-array answers: copies
    bool stringData = false;
};

struct Notification {
    int code;
    std::vector<unsigned char> data;
};

class RecordingEnv {
public:
    RecordingEnv();
    ~RecordingEnv();
    const struct RIL_Env *env() const { return &env_; }

    // all completions of a token (a correct library gives exactly one)
    std::vector<Completion> completions(long token);
    // waits for the first completion of token
    bool waitCompletion(long token, Completion &out,
                        std::chrono::milliseconds timeout = std::chrono::seconds(5));
    std::vector<Notification> notifications();
    std::vector<int> notificationCodes();
    bool waitNotification(int code, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    void clear();

    // treat the response of these tokens as a string array when copying
    void expectStrings(long token);

    static RIL_Token token(long n) { return (RIL_Token)(intptr_t)n; }

private:
    static void onComplete(RIL_Token t, RIL_Errno e, void *response, size_t len);
    static void onUnsol(int code, const void *data, size_t len);
    static void *onTimed(RIL_TimedCallback cb, void *param, const struct timeval *tv);
    void eventLoop();

    struct RIL_Env env_;
    std::mutex lock_;
    std::condition_variable cond_;
    std::vector<Completion> completions_;
    std::vector<Notification> notifications_;
    std::map<long, bool> stringTokens_;
    struct Timed {
        std::chrono::steady_clock::time_point due;
        unsigned long seq;
        RIL_TimedCallback cb;
        void *param;
    };
    std::vector<Timed> timed_;
    unsigned long seq_ = 0;
    bool stop_ = false;
    std::thread events_;
};

}  // namespace riltest
