// Helpers of the firmware and NV download tests: the independent oracles
// (Debian's crcmod for CRC-16/X-25, intelhex for Intel HEX files) run in
// Debian's own interpreter, and a raw peer on a pseudo-terminal that records
// every byte the library sends and can answer each frame.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "temp_root.h"

namespace fwtest {

// CRC-16/X-25 and the frame rule, in Python, from crcmod
inline const char *oraclePrelude() {
    return "import sys, binascii, crcmod.predefined\n"
           "x25 = crcmod.predefined.mkCrcFun('x-25')\n"
           "def esc(b):\n"
           "    out = bytearray()\n"
           "    for c in b:\n"
           "        out += bytes([0x7d, c ^ 0x20]) if c in (0x7d, 0x7e) else bytes([c])\n"
           "    return bytes(out)\n"
           "def frame(body, lead=True):\n"
           "    c = x25(body)\n"
           "    return (b'\\x7e' if lead else b'') + esc(body + bytes([c & 0xff, c >> 8])) + b'\\x7e'\n"
           "def hx(b):\n"
           "    return binascii.hexlify(b).decode()\n";
}

// Runs a Python script (after the prelude) and returns its standard output;
// the test fails when the interpreter does not exit 0.
inline std::string python(const std::string &script, bool *ok = nullptr) {
    char path[] = "/tmp/fw-oracle-XXXXXX";
    int fd = mkstemp(path);
    std::string text = std::string(oraclePrelude()) + script;
    if (fd < 0 || write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        if (ok) *ok = false;
        return "";
    }
    close(fd);
    std::string cmd = std::string("/usr/bin/python3 ") + path;
    FILE *p = popen(cmd.c_str(), "r");
    std::string out;
    if (p != nullptr) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        int status = pclose(p);
        if (ok) *ok = status == 0;
    } else if (ok) {
        *ok = false;
    }
    unlink(path);
    return out;
}

inline std::string hexOf(const std::string &bytes) {
    static const char d[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += d[c >> 4];
        out += d[c & 15];
    }
    return out;
}

inline std::string bytesOfHex(const std::string &hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

inline std::string trim(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
    return s;
}

// The far end of a pseudo-terminal: records what arrives; in answering
// mode writes the given answer after every frame (a run of bytes ending in
// 0x7E that is not empty).
class RawPeer {
public:
    RawPeer() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128];
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0 &&
            ptsname_r(master_, name, sizeof name) == 0)
            slave_ = name;
        keep_ = open(slave_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        struct termios t;
        if (keep_ >= 0 && tcgetattr(keep_, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(keep_, TCSANOW, &t);
        }
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        thread_ = std::thread([this] { run(); });
    }
    ~RawPeer() {
        stop_ = true;
        thread_.join();
        if (!link_.empty()) unlink(link_.c_str());
        if (keep_ >= 0) close(keep_);
        if (master_ >= 0) close(master_);
    }
    RawPeer(const RawPeer &) = delete;
    RawPeer &operator=(const RawPeer &) = delete;

    const std::string &slave() const { return slave_; }
    bool linkAt(const std::string &path) {
        riltest::makeDirs(path.substr(0, path.rfind('/')));
        unlink(path.c_str());
        link_ = path;
        return symlink(slave_.c_str(), path.c_str()) == 0;
    }
    // the answer to every frame from now on (empty: none)
    void answerFrames(const std::string &answer) {
        std::lock_guard<std::mutex> g(mu_);
        answer_ = answer;
    }
    // the answer to every chunk of input that arrives, whatever it is
    void answerAnything(const std::string &answer) {
        std::lock_guard<std::mutex> g(mu_);
        anything_ = answer;
    }
    std::string received() const {
        std::lock_guard<std::mutex> g(mu_);
        return in_;
    }
    size_t framesSeen() const {
        std::lock_guard<std::mutex> g(mu_);
        return frames_;
    }
    void clear() {
        std::lock_guard<std::mutex> g(mu_);
        in_.clear();
        frames_ = 0;
    }
    // waits until at least n bytes arrived
    bool waitBytes(size_t n, std::chrono::milliseconds timeout) const {
        auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            if (received().size() >= n) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return received().size() >= n;
    }

private:
    void run() {
        std::string run;  // bytes of the frame being read
        while (!stop_) {
            struct pollfd p = {master_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            char buf[4096];
            ssize_t n = read(master_, buf, sizeof buf);
            if (n <= 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            std::string out;
            {
                std::lock_guard<std::mutex> g(mu_);
                in_.append(buf, static_cast<size_t>(n));
                out = anything_;
                for (ssize_t i = 0; i < n; ++i) {
                    if (static_cast<unsigned char>(buf[i]) != 0x7E) {
                        run += buf[i];
                    } else if (!run.empty()) {
                        run.clear();
                        ++frames_;
                        out += answer_;
                    }
                }
            }
            if (!out.empty() && write(master_, out.data(), out.size()) < 0) {
            }
        }
    }

    int master_ = -1;
    int keep_ = -1;
    std::string slave_, link_;
    mutable std::mutex mu_;
    std::string in_, answer_, anything_;
    size_t frames_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// 0x7E 0x02 0x6A 0xD3 0x7E
inline std::string ackFrame() { return std::string("\x7e\x02\x6a\xd3\x7e", 5); }

// captures what a block of code prints on standard output
template <typename F>
std::string captureStdout(F fn) {
    fflush(stdout);
    char path[] = "/tmp/fw-stdout-XXXXXX";
    int fd = mkstemp(path);
    int saved = dup(1);
    dup2(fd, 1);
    fn();
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::string out;
    lseek(fd, 0, SEEK_SET);
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    close(fd);
    unlink(path);
    return out;
}

}  // namespace fwtest
