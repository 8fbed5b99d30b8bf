// Runs the real host daemon (bin/host-rild) on a real library build in
// machine mode, under a temporary RIL_SYSROOT and property store, and lets a
// test send requests and wait, with deadlines, for the JSON lines it prints.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <condition_variable>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "temp_root.h"

namespace riltest {

std::string buildPath(const std::string &rel);  // RIL_BUILD_DIR + rel
std::string currentLibrary();                     // lib/libreference-ril.so
std::string legacyLibrary();                      // lib/lib-ril-kivo.so
// The deliverable the shared suites run against: the legacy one when
// RIL_TEST_LIBRARY=legacy (ctest registers those suites twice), else the
// current one. Expected legacy differences ask testingLegacy().
std::string libraryUnderTest();
bool testingLegacy();

struct DaemonOptions {
    std::string library = libraryUnderTest();
    long timeScale = 1;
    bool supervise = false;
    bool withPlugin = false;  // install the recording plug-in under the sysroot
    std::map<std::string, std::string> env;            // extra environment
    std::map<std::string, std::string> properties;     // set before start
    std::vector<std::string> args;                      // extra host-rild options
};

class DaemonHarness {
public:
    // root: the sysroot and property store live below it
    explicit DaemonHarness(TempRoot &root);
    ~DaemonHarness();

    void start(const DaemonOptions &opt = DaemonOptions());
    // writes one command line to the daemon
    void send(const std::string &line);
    // sends a request and returns the token the daemon will give it
    long request(const std::string &line);
    // closes the daemon's standard input
    void closeInput();

    // first message (from the start, in order) matching pred, waiting up to
    // timeout; null json when none arrived in time
    nlohmann::json waitFor(const std::function<bool(const nlohmann::json &)> &pred,
                           std::chrono::milliseconds timeout = std::chrono::seconds(10));
    nlohmann::json waitResponse(long token, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    nlohmann::json waitUnsol(int code, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    std::vector<nlohmann::json> messages();
    int count(const std::function<bool(const nlohmann::json &)> &pred);

    // waits for the daemon to end; returns its exit status, or -1 on timeout
    int waitExit(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    bool running();
    void kill();

    std::string logText() const;  // the RIL_LOG file
    const std::string &logPath() const { return logPath_; }
    std::string propertyDir() const { return propDir_; }
    std::string property(const std::string &name) const;
    std::string sysroot() const { return root_.path() + "/sysroot"; }
    std::string pluginRecord() const { return root_.path() + "/plugin-events"; }
    pid_t pid() const { return pid_; }

private:
    void readerLoop();

    TempRoot &root_;
    std::string logPath_;
    std::string propDir_;
    pid_t pid_ = -1;
    int inFd_ = -1;
    int outFd_ = -1;
    bool exited_ = false;
    int exitStatus_ = -1;
    std::thread reader_;
    std::mutex lock_;
    std::condition_variable cond_;
    std::vector<nlohmann::json> messages_;
};

// waits for cond() to become true, polling; false on deadline
bool waitUntil(const std::function<bool()> &cond, std::chrono::milliseconds timeout);

}  // namespace riltest
