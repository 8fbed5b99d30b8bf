#include "daemon_harness.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

using nlohmann::json;

namespace riltest {

std::string buildPath(const std::string &rel) { return std::string(RIL_BUILD_DIR) + rel; }
std::string currentLibrary() { return buildPath("/lib/libreference-ril.so"); }
std::string legacyLibrary() { return buildPath("/lib/lib-ril-kivo.so"); }
constexpr long kLegacyMaxScale = 10;

bool testingLegacy() {
    const char *which = getenv("RIL_TEST_LIBRARY");
    return which != nullptr && strcmp(which, "legacy") == 0;
}
std::string libraryUnderTest() { return testingLegacy() ? legacyLibrary() : currentLibrary(); }

bool waitUntil(const std::function<bool()> &cond, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

DaemonHarness::DaemonHarness(TempRoot &root) : root_(root) {
    logPath_ = root_.path() + "/ril.log";
    propDir_ = root_.path() + "/properties";
    makeDirs(propDir_);
    makeDirs(root_.path() + "/sysroot");
}

DaemonHarness::~DaemonHarness() {
    kill();
    if (reader_.joinable()) reader_.join();
    if (inFd_ >= 0) close(inFd_);
}

void DaemonHarness::start(const DaemonOptions &opt) {
    for (const auto &p : opt.properties) {
        std::string path = propDir_ + "/" + p.first;
        FILE *f = fopen(path.c_str(), "w");
        if (f != nullptr) {
            fputs(p.second.c_str(), f);
            fclose(f);
        }
    }
    if (opt.withPlugin) {
        std::string dir = sysroot() + "/system/lib";
        makeDirs(dir);
        std::string target = buildPath("/lib/libkvplugin.so");
        symlink(target.c_str(), (dir + "/libkvplugin.so").c_str());
    }
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork");
    if (pid_ == 0) {
        setpgid(0, 0);  // the daemon and a supervised child end together
        // and with the test, even when it crashes: an orphaned daemon would
        // reopen pseudo-terminals that other tests use by then
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        setenv("RIL_SYSROOT", sysroot().c_str(), 1);
        setenv("RIL_PROPERTY_DIR", propDir_.c_str(), 1);
        setenv("RIL_LOG", logPath_.c_str(), 1);
        // the legacy library gives "AT+CFUN?" a 1 s deadline: faster than
        // 10 times the real clock that is shorter than a loaded machine may
        // take to schedule the simulated module
        long scale = opt.timeScale;
        if (testingLegacy() && scale > kLegacyMaxScale) scale = kLegacyMaxScale;
        setenv("RIL_TIME_SCALE", std::to_string(scale).c_str(), 1);
        setenv("KVPLUGIN_RECORD", pluginRecord().c_str(), 1);
        // the library ends its process with exit() from its own threads by
        // design; a leak check at that point only reports what they held
        std::string asan = getenv("ASAN_OPTIONS") ? getenv("ASAN_OPTIONS") : "";
        setenv("ASAN_OPTIONS", (asan.empty() ? "detect_leaks=0" : asan + ":detect_leaks=0").c_str(), 1);
        for (const auto &e : opt.env) setenv(e.first.c_str(), e.second.c_str(), 1);
        std::string bin = buildPath("/bin/host-rild");
        std::vector<const char *> argv = {bin.c_str(), "--json", "--lib", opt.library.c_str()};
        if (opt.supervise) argv.push_back("--supervise");
        for (const auto &a : opt.args) argv.push_back(a.c_str());
        argv.push_back(nullptr);
        // a cross build runs its programs through an emulator (qemu-arm)
        const char *emulator = getenv("RIL_TEST_EMULATOR");
        if (emulator != nullptr && *emulator != '\0') {
            argv.insert(argv.begin(), emulator);
            execvp(emulator, (char *const *)argv.data());
            _exit(127);
        }
        execv(bin.c_str(), (char *const *)argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    inFd_ = in[1];
    outFd_ = out[0];
    reader_ = std::thread([this] { readerLoop(); });
}

void DaemonHarness::readerLoop() {
    std::string pending;
    char buf[4096];
    for (;;) {
        ssize_t n = read(outFd_, buf, sizeof(buf));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        pending.append(buf, (size_t)n);
        size_t pos;
        while ((pos = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, pos);
            pending.erase(0, pos + 1);
            json j = json::parse(line, nullptr, false);
            if (j.is_discarded()) j = json{{"type", "text"}, {"text", line}};
            std::lock_guard<std::mutex> lock(lock_);
            messages_.push_back(j);
            cond_.notify_all();
        }
    }
    close(outFd_);
    outFd_ = -1;
    std::lock_guard<std::mutex> lock(lock_);
    cond_.notify_all();
}

void DaemonHarness::send(const std::string &line) {
    std::string l = line + "\n";
    ssize_t w = write(inFd_, l.data(), l.size());
    (void)w;
}

long DaemonHarness::request(const std::string &line) {
    size_t before;
    {
        std::lock_guard<std::mutex> lock(lock_);
        before = messages_.size();
    }
    send(line);
    std::unique_lock<std::mutex> lock(lock_);
    long token = -1;
    cond_.wait_for(lock, std::chrono::seconds(10), [&] {
        for (size_t i = before; i < messages_.size(); i++) {
            const json &m = messages_[i];
            if (m.value("type", "") == "queued") {
                token = m["token"].get<long>();
                return true;
            }
            if (m.value("type", "") == "error") return true;
        }
        return outFd_ < 0;
    });
    return token;
}

void DaemonHarness::closeInput() {
    if (inFd_ >= 0) close(inFd_);
    inFd_ = -1;
}

json DaemonHarness::waitFor(const std::function<bool(const json &)> &pred, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(lock_);
    json found;
    cond_.wait_for(lock, timeout, [&] {
        for (const auto &m : messages_)
            if (pred(m)) {
                found = m;
                return true;
            }
        return false;
    });
    return found;
}

json DaemonHarness::waitResponse(long token, std::chrono::milliseconds timeout) {
    return waitFor(
        [token](const json &m) { return m.value("type", "") == "response" && m.value("token", -1L) == token; },
        timeout);
}

json DaemonHarness::waitUnsol(int code, std::chrono::milliseconds timeout) {
    return waitFor([code](const json &m) { return m.value("type", "") == "unsol" && m.value("code", -1) == code; },
                   timeout);
}

std::vector<json> DaemonHarness::messages() {
    std::lock_guard<std::mutex> lock(lock_);
    return messages_;
}

int DaemonHarness::count(const std::function<bool(const json &)> &pred) {
    std::lock_guard<std::mutex> lock(lock_);
    int n = 0;
    for (const auto &m : messages_)
        if (pred(m)) n++;
    return n;
}

bool DaemonHarness::running() {
    if (pid_ <= 0 || exited_) return false;
    int status;
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
        exited_ = true;
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }
    return true;
}

int DaemonHarness::waitExit(std::chrono::milliseconds timeout) {
    if (!waitUntil([this] { return !running(); }, timeout)) return -1;
    return exitStatus_;
}

void DaemonHarness::kill() {
    if (pid_ > 0) {
        // a supervised daemon's child may outlive the supervisor: end the group
        ::kill(-pid_, SIGKILL);
        if (running()) waitExit(std::chrono::seconds(5));
    }
    closeInput();
}

std::string DaemonHarness::logText() const { return readFile(logPath_); }

std::string DaemonHarness::property(const std::string &name) const {
    std::string path = propDir_ + "/" + name;
    if (!fileExists(path)) return "";
    return readFile(path);
}

}  // namespace riltest
