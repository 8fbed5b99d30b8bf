#include "bootloader.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "simulated_module.h"

namespace modemsim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxFrameBytes = 65536;
constexpr unsigned char kFlag = 0x7E;
constexpr unsigned char kEscape = 0x7D;

// CRC-16/X-25, bit by bit (the library uses a table; two ways to one value)
uint16_t crcX25(const std::string &bytes, size_t n) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < n; ++i) {
        crc ^= static_cast<unsigned char>(bytes[i]);
        for (int b = 0; b < 8; ++b) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0x8408) : crc >> 1;
    }
    return static_cast<uint16_t>(~crc);
}

std::string frameOf(const std::string &body) {
    std::string raw = body;
    uint16_t crc = crcX25(body, body.size());
    raw += static_cast<char>(crc & 0xFF);
    raw += static_cast<char>(crc >> 8);
    std::string out(1, static_cast<char>(kFlag));
    for (char c : raw) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u == kFlag || u == kEscape) {
            out += static_cast<char>(kEscape);
            out += static_cast<char>(u ^ 0x20);
        } else {
            out += c;
        }
    }
    out += static_cast<char>(kFlag);
    return out;
}

unsigned byteAt(const std::string &s, size_t i) { return static_cast<unsigned char>(s[i]); }

}  // namespace

Bootloader::Bootloader(SimulatedModule &module, UsbTree &tree, std::string sysroot, const UsbDevice &device)
    : module_(module), tree_(tree), sysroot_(std::move(sysroot)) {
    for (const UsbPort &p : device.ports) {
        if (!p.tty.empty() && p.tty != device.atTty && p.tty != device.modemTty) {
            diagTty_ = p.tty;
            break;
        }
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("pipe2 failed");
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
    thread_ = std::thread([this] { run(); });
}

Bootloader::~Bootloader() {
    {
        std::lock_guard<std::mutex> g(mu_);
        stop_ = true;
    }
    wake();
    if (thread_.joinable()) thread_.join();
    std::lock_guard<std::mutex> g(mu_);
    closePty(diag_);
    dropDownloadLocked();
    close(wakeRead_);
    close(wakeWrite_);
}

UsbDevice Bootloader::downloadDevice() {
    UsbDevice d;
    d.driver = "option";
    d.vendor = "05C6";
    d.product = "9008";
    d.ports = {{"00", "ff", "ttyUSB0"}};
    return d;
}

std::string Bootloader::diagLink() const { return diagTty_.empty() ? "" : sysroot_ + "/dev/" + diagTty_; }
std::string Bootloader::downloadLink() const { return sysroot_ + "/dev/ttyUSB0"; }

void Bootloader::wake() {
    char c = 1;
    ssize_t n = write(wakeWrite_, &c, 1);
    (void)n;
}

// --- module hooks ---------------------------------------------------------------

void Bootloader::onPlug() {
    std::lock_guard<std::mutex> g(mu_);
    dropDownloadLocked();
    if (!diagTty_.empty() && diag_.master < 0) openPty(diag_, diagTty_);
    wake();
}

void Bootloader::onUnplug() {
    std::lock_guard<std::mutex> g(mu_);
    closePty(diag_);
    wake();
}

// --- faults and mode ----------------------------------------------------------

void Bootloader::setSilent(bool silent) {
    std::lock_guard<std::mutex> g(mu_);
    silent_ = silent;
}

void Bootloader::refuseFrame(int n) {
    std::lock_guard<std::mutex> g(mu_);
    refuseN_ = n;
}

void Bootloader::setAnswerDelay(std::chrono::milliseconds delay) {
    std::lock_guard<std::mutex> g(mu_);
    delay_ = delay;
}

void Bootloader::setSwitchGap(std::chrono::milliseconds gap) {
    std::lock_guard<std::mutex> g(mu_);
    gap_ = gap;
}

bool Bootloader::downloadMode() const {
    std::lock_guard<std::mutex> g(mu_);
    return download_ && dl_.master >= 0;
}

void Bootloader::enterDownload() {
    {
        std::lock_guard<std::mutex> g(mu_);
        if (download_ || switching_) return;
        switching_ = true;
        switchAt_ = Clock::now();
    }
    wake();
}

void Bootloader::leave() {
    {
        std::lock_guard<std::mutex> g(mu_);
        if (!download_ && !switching_) return;
    }
    module_.plug();  // its hook ends the download mode
}

bool Bootloader::waitDownloadMode(bool on, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> g(mu_);
    return cond_.wait_for(g, timeout, [&] { return (download_ && dl_.master >= 0) == on; });
}

void Bootloader::plugDownloadLocked() {
    try {
        tree_.plug(downloadDevice());
    } catch (const std::exception &) {
        // the module's own device is still there (a plug raced the switch)
    }
    openPty(dl_, "ttyUSB0");
    cond_.notify_all();
}

void Bootloader::dropDownloadLocked() {
    switching_ = false;
    plugDue_ = false;
    if (!download_) return;
    closePty(dl_);
    try {
        tree_.unplug();
    } catch (const std::exception &) {
    }
    download_ = false;
    for (auto it = pending_.begin(); it != pending_.end();)
        it = it->download ? pending_.erase(it) : it + 1;
    cond_.notify_all();
}

// --- records ---------------------------------------------------------------------

std::string Bootloader::programmer() const {
    std::lock_guard<std::mutex> g(mu_);
    return programmer_;
}

std::vector<std::string> Bootloader::images() const {
    std::lock_guard<std::mutex> g(mu_);
    return images_;
}

std::vector<HeaderFrame> Bootloader::headers() const {
    std::lock_guard<std::mutex> g(mu_);
    return headers_;
}

std::vector<NvWrite> Bootloader::nvWrites() const {
    std::lock_guard<std::mutex> g(mu_);
    return nv_;
}

int Bootloader::starts() const {
    std::lock_guard<std::mutex> g(mu_);
    return starts_;
}

int Bootloader::frames() const {
    std::lock_guard<std::mutex> g(mu_);
    return frames_;
}

int Bootloader::refusals() const {
    std::lock_guard<std::mutex> g(mu_);
    return refusals_;
}

bool Bootloader::waitNvWrites(size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> g(mu_);
    return cond_.wait_for(g, timeout, [&] { return nv_.size() >= n; });
}

bool Bootloader::waitFrames(int n, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> g(mu_);
    return cond_.wait_for(g, timeout, [&] { return frames_ >= n; });
}

void Bootloader::clear() {
    std::lock_guard<std::mutex> g(mu_);
    programmer_.clear();
    haveWrite_ = false;
    images_.clear();
    headers_.clear();
    nv_.clear();
    starts_ = frames_ = refusals_ = 0;
}

std::string Bootloader::describe() const {
    std::lock_guard<std::mutex> g(mu_);
    char line[160];
    std::string out;
    snprintf(line, sizeof line, "mode %s\n", download_ ? "download" : switching_ ? "switching" : "normal");
    out += line;
    snprintf(line, sizeof line, "silent %s, refuse %d, delay %lld ms\n", silent_ ? "on" : "off", refuseN_,
             static_cast<long long>(delay_.count()));
    out += line;
    snprintf(line, sizeof line, "starts %d, frames %d, refusals %d\n", starts_, frames_, refusals_);
    out += line;
    snprintf(line, sizeof line, "programmer %zu bytes at 0x%X\n", programmer_.size(), kProgrammerAddress);
    out += line;
    for (size_t i = 0; i < images_.size(); ++i) {
        snprintf(line, sizeof line, "image %zu: %zu bytes\n", i + 1, images_[i].size());
        out += line;
    }
    for (size_t i = 0; i < headers_.size(); ++i) {
        snprintf(line, sizeof line, "header %zu: %02X%02X, %zu bytes\n", i + 1, headers_[i].header[0],
                 headers_[i].header[1], headers_[i].data.size());
        out += line;
    }
    snprintf(line, sizeof line, "nv writes %zu", nv_.size());
    out += line;
    return out;
}

// --- ports -------------------------------------------------------------------------

bool Bootloader::openPty(Pty &p, const std::string &tty) {
    p = Pty();
    return openPtyLink(sysroot_ + "/dev/" + tty, &p);
}

void Bootloader::closePty(Pty &p) {
    closePtyLink(&p);
    p.in.clear();
}

void Bootloader::run() {
    for (;;) {
        int timeoutMs = -1;
        int diagFd, dlFd;
        {
            std::lock_guard<std::mutex> g(mu_);
            if (stop_) return;
            diagFd = diag_.master;
            dlFd = dl_.master;
            auto now = Clock::now();
            auto consider = [&](Clock::time_point at) {
                auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at - now).count();
                if (ms < 0) ms = 0;
                if (timeoutMs < 0 || ms + 1 < timeoutMs) timeoutMs = static_cast<int>(ms) + 1;
            };
            for (const Pending &p : pending_) consider(p.at);
            if (switching_) consider(switchAt_);
            if (plugDue_) consider(plugAt_);
        }
        short ev[2];
        int r = pollPorts(wakeRead_, diagFd, dlFd, timeoutMs, ev);
        if (r < 0 && errno != EINTR) return;

        std::unique_lock<std::mutex> g(mu_);
        if (stop_) return;
        auto now = Clock::now();
        // answers that are due, in order
        while (!pending_.empty() && pending_.front().at <= now) {
            Pending p = pending_.front();
            pending_.erase(pending_.begin());
            writeAllTo((p.download ? dl_ : diag_).master, p.bytes);
        }
        if (switching_ && switchAt_ <= now) {
            switching_ = false;
            g.unlock();
            module_.unplug();  // its hook closes the diagnostic port
            g.lock();
            download_ = true;
            plugDue_ = true;
            plugAt_ = Clock::now() + gap_;
            continue;
        }
        if (plugDue_ && plugAt_ <= now) {
            plugDue_ = false;
            if (download_) plugDownloadLocked();
        }
        bool hangup = false;
        if (ev[0] && diag_.master == diagFd) {
            readPort(diag_, false);
            hangup = hangup || !(ev[0] & POLLIN);
        }
        if (ev[1] && dl_.master == dlFd) {
            readPort(dl_, true);
            hangup = hangup || !(ev[1] & POLLIN);
        }
        if (hangup) {
            g.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
}

void Bootloader::readPort(Pty &p, bool download) {
    char buf[4096];
    for (;;) {
        ssize_t n = read(p.master, buf, sizeof buf);
        if (n <= 0) break;
        for (ssize_t i = 0; i < n; ++i) {
            unsigned char c = static_cast<unsigned char>(buf[i]);
            if (c != kFlag) {
                if (p.in.size() < kMaxFrameBytes) p.in += static_cast<char>(c);
                else p.in.clear();  // no frame is this long: drop the run
                continue;
            }
            if (p.in.empty()) continue;
            std::string raw;
            raw.swap(p.in);
            frameLocked(raw, download);
            if (p.master < 0) return;
        }
    }
}

void Bootloader::frameLocked(const std::string &raw, bool download) {
    std::string body;
    bool bad = false;
    for (size_t i = 0; i < raw.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(raw[i]);
        if (c == kEscape) {
            if (i + 1 == raw.size()) {
                bad = true;
                break;
            }
            body += static_cast<char>(static_cast<unsigned char>(raw[++i]) ^ 0x20);
        } else {
            body += static_cast<char>(c);
        }
    }
    bool crcOk = false;
    if (!bad && body.size() >= 3) {
        size_t n = body.size() - 2;
        uint16_t want = static_cast<uint16_t>(byteAt(body, n) | byteAt(body, n + 1) << 8);
        crcOk = crcX25(body, n) == want;
        body.resize(n);
    }
    if (download) {
        ++frames_;
        downloadFrameLocked(body, crcOk);
        cond_.notify_all();
    } else if (crcOk) {
        diagFrameLocked(body);
    } else {
        answerLocked(std::string(1, '\x13') + raw, false);  // bad packet
    }
}

void Bootloader::diagFrameLocked(const std::string &body) {
    unsigned cmd = byteAt(body, 0);
    if (cmd == 0x3A) {
        if (!download_ && !switching_) {
            // the rest of the requests still land before the module goes
            switching_ = true;
            switchAt_ = Clock::now() + std::chrono::milliseconds(100);
        }
        return;
    }
    if (cmd == 0x27) {
        if (body.size() != 133) {
            answerLocked(std::string(1, '\x14') + body, false);  // bad length
            return;
        }
        NvWrite w;
        w.item = static_cast<int>(byteAt(body, 1) | byteAt(body, 2) << 8);
        w.value = body.substr(3, 128);
        nv_.push_back(w);
        std::string answer = body;
        answer[131] = answer[132] = '\0';  // status: done
        answerLocked(answer, false);
        cond_.notify_all();
        return;
    }
    answerLocked(std::string(1, '\x13') + body, false);  // bad command
}

void Bootloader::downloadFrameLocked(const std::string &body, bool crcOk) {
    if (refuseN_ > 0 && frames_ == refuseN_) return nakLocked(4);
    if (!crcOk) return nakLocked(1);
    if (body.empty()) return nakLocked(3);
    unsigned cmd = byteAt(body, 0);
    if (cmd == 0x06) {
        if (body.size() != 1) return nakLocked(3);
        ++starts_;
        return ackLocked();
    }
    if (cmd == 0x0F) {
        if (body.size() < 7) return nakLocked(3);
        uint32_t addr = byteAt(body, 1) << 24 | byteAt(body, 2) << 16 | byteAt(body, 3) << 8 | byteAt(body, 4);
        size_t len = byteAt(body, 5) << 8 | byteAt(body, 6);
        if (len == 0 || body.size() != 7 + len) return nakLocked(3);
        bool next = haveWrite_ ? addr == lastAddr_ + lastLen_ : addr == kProgrammerAddress;
        bool resend = haveWrite_ && addr == lastAddr_ && len == lastLen_;
        if (!next && !resend) return nakLocked(2);
        size_t off = addr - kProgrammerAddress;
        if (programmer_.size() < off + len) programmer_.resize(off + len);
        programmer_.replace(off, len, body, 7, len);
        haveWrite_ = true;
        lastAddr_ = addr;
        lastLen_ = len;
        return ackLocked();
    }
    if (cmd == 0x07) {
        if (body.size() < 6 || body.size() > 5 + 1024) return nakLocked(3);
        size_t off = byteAt(body, 1) | byteAt(body, 2) << 8 | byteAt(body, 3) << 16 |
                     static_cast<size_t>(byteAt(body, 4)) << 24;
        if (off == 0) images_.emplace_back();
        if (images_.empty() || off % 1024 != 0 || off > images_.back().size()) return nakLocked(2);
        std::string &img = images_.back();
        size_t len = body.size() - 5;
        if (img.size() < off + len) img.resize(off + len);
        img.replace(off, len, body, 5, len);
        return ackLocked();
    }
    if (body.size() < 3) return nakLocked(3);
    HeaderFrame h;
    h.header[0] = static_cast<unsigned char>(body[0]);
    h.header[1] = static_cast<unsigned char>(body[1]);
    h.data = body.substr(2);
    headers_.push_back(h);
    ackLocked();
}

void Bootloader::answerLocked(const std::string &body, bool download) {
    if (silent_) return;
    std::string frame = frameOf(body);
    if (delay_.count() > 0 || !pending_.empty()) {
        Clock::time_point at = Clock::now() + delay_;
        if (!pending_.empty() && pending_.back().at > at) at = pending_.back().at;  // keep the order
        pending_.push_back({at, frame, download});
        wake();
        return;
    }
    writeAllTo((download ? dl_ : diag_).master, frame);
}

void Bootloader::nakLocked(int reason) {
    ++refusals_;
    std::string body;
    body += '\x03';
    body += static_cast<char>((reason >> 8) & 0xFF);
    body += static_cast<char>(reason & 0xFF);
    answerLocked(body, true);
}

std::string bootloaderControl(SimulatedModule &module, const std::vector<std::string> &w) {
    Bootloader &b = module.bootloader();
    const std::string op = w.size() > 1 ? w[1] : "state";
    auto number = [&](int *out) {
        if (w.size() != 3 || w[2].empty()) return false;
        char *end = nullptr;
        long v = strtol(w[2].c_str(), &end, 10);
        if (*end != '\0' || v < 0 || v > 3600000) return false;
        *out = static_cast<int>(v);
        return true;
    };
    int n = 0;
    if (op == "state") return b.describe() + "\nOK";
    if (op == "enter") b.enterDownload();
    else if (op == "leave") b.leave();
    else if (op == "clear") b.clear();
    else if (op == "silent" && w.size() == 3 && (w[2] == "on" || w[2] == "off")) b.setSilent(w[2] == "on");
    else if (op == "refuse" && number(&n)) b.refuseFrame(n);
    else if (op == "delay" && number(&n)) b.setAnswerDelay(std::chrono::milliseconds(n));
    else return "ERROR bootloader state|enter|leave|clear|silent on|off|refuse N|delay MS";
    return "OK";
}

}  // namespace modemsim
