// A minimal host-side AT client for tests and tools that talk to the
// simulated module directly (without the library): opens a port path, sends
// commands terminated by CR, collects reply lines until a final result.
#pragma once

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace modemsim {

class AtClient {
public:
    AtClient() = default;
    explicit AtClient(const std::string &path) { open(path); }
    ~AtClient() { close(); }
    AtClient(const AtClient &) = delete;
    AtClient &operator=(const AtClient &) = delete;

    bool open(const std::string &path) {
        close();
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) return false;
        struct termios t;
        if (tcgetattr(fd_, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(fd_, TCSANOW, &t);
        }
        buf_.clear();
        eof_ = false;
        return true;
    }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    bool isOpen() const { return fd_ >= 0; }
    // the port reported end of file or an error (the module went away)
    bool eof() const { return eof_; }

    bool write(const std::string &bytes) {
        return fd_ >= 0 && ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // next non-empty line, or false on timeout / end of file
    bool readLine(std::string *line, std::chrono::milliseconds timeout = std::chrono::milliseconds(2000)) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            size_t start = buf_.find_first_not_of("\r\n");
            if (start != std::string::npos) {
                size_t end = buf_.find_first_of("\r\n", start);
                if (end != std::string::npos) {
                    *line = buf_.substr(start, end - start);
                    buf_.erase(0, end + 1);
                    return true;
                }
                if (buf_.compare(start, std::string::npos, "> ") == 0) {  // the PDU prompt
                    *line = "> ";
                    buf_.clear();
                    return true;
                }
            }
            if (!fill(deadline)) return false;
        }
    }

    // sends cmd + CR; returns the reply lines up to and including the final
    // result; empty when nothing complete arrived in time
    std::vector<std::string> command(const std::string &cmd,
                                     std::chrono::milliseconds timeout = std::chrono::milliseconds(2000)) {
        std::vector<std::string> lines;
        if (!write(cmd + "\r")) return lines;
        auto deadline = std::chrono::steady_clock::now() + timeout;
        std::string line;
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !readLine(&line, left)) return {};
            lines.push_back(line);
            if (isFinal(line)) return lines;
        }
    }

    static bool isFinal(const std::string &l) {
        for (const char *p : {"OK", "ERROR", "+CME ERROR:", "+CMS ERROR:", "CONNECT", "NO CARRIER", "> "})
            if (l.compare(0, std::char_traits<char>::length(p), p) == 0) return true;
        return false;
    }

    // true once the port hangs up (end of file or error) within timeout
    bool waitHangup(std::chrono::milliseconds timeout) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!eof_) {
            if (!fill(deadline) && !eof_) return false;
        }
        return true;
    }

private:
    bool fill(std::chrono::steady_clock::time_point deadline) {
        if (fd_ < 0 || eof_) return false;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        struct pollfd p = {fd_, POLLIN, 0};
        int r = poll(&p, 1, static_cast<int>(left.count()));
        if (r <= 0) return false;
        char b[1024];
        ssize_t n = ::read(fd_, b, sizeof b);
        if (n > 0) {
            buf_.append(b, static_cast<size_t>(n));
            return true;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
        eof_ = true;
        return false;
    }

    int fd_ = -1;
    std::string buf_;
    bool eof_ = false;
};

}  // namespace modemsim
