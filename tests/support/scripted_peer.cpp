#include "scripted_peer.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "temp_root.h"

namespace riltest {

namespace {

std::string printable(const std::string &s) {
    std::string out;
    for (unsigned char c : s) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20 || c >= 0x7f) {
            char buf[8];
            snprintf(buf, sizeof(buf), "\\x%02X", c);
            out += buf;
        } else {
            out += (char)c;
        }
    }
    return out;
}

void makeRaw(int fd) {
    struct termios tio;
    if (tcgetattr(fd, &tio) != 0) return;
    cfmakeraw(&tio);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &tio);
}

}  // namespace

// ---- Reply ----

Reply::Reply(std::initializer_list<std::string> lines) {
    for (const auto &l : lines) line(l);
}

Reply::Reply(const std::vector<std::string> &lines) { thenLines(lines); }

Reply Reply::smsPrompt() {
    Reply r;
    r.prompt();
    return r;
}

Reply &Reply::line(const std::string &l) {
    actions_.push_back({Action::Line, l, 0, nullptr});
    return *this;
}

Reply &Reply::thenLines(const std::vector<std::string> &lines) {
    for (const auto &l : lines) line(l);
    return *this;
}

Reply &Reply::raw(const std::string &bytes) {
    actions_.push_back({Action::Raw, bytes, 0, nullptr});
    return *this;
}

Reply &Reply::pause(int ms) {
    actions_.push_back({Action::Pause, "", ms, nullptr});
    return *this;
}

Reply &Reply::prompt() {
    actions_.push_back({Action::Prompt, "", 0, nullptr});
    return *this;
}

Reply &Reply::thenExpectPdu(const std::string &pdu) {
    actions_.push_back({Action::ExpectPdu, pdu, 0, nullptr});
    return *this;
}

Reply &Reply::thenWaitUntil(std::function<bool()> cond, int ms) {
    Action a{Action::WaitUntil, "", ms, nullptr};
    a.cond = std::move(cond);
    actions_.push_back(std::move(a));
    return *this;
}

Reply &Reply::thenClose() {
    actions_.push_back({Action::Close, "", 0, nullptr});
    return *this;
}

// ---- ScriptedPeer ----

ScriptedPeer::ScriptedPeer() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        ADD_FAILURE() << "cannot open a pseudo-terminal: " << strerror(errno);
        return;
    }
    char name[128];
    if (ptsname_r(master_, name, sizeof(name)) != 0) {
        ADD_FAILURE() << "ptsname_r: " << strerror(errno);
        return;
    }
    slavePath_ = name;
    // the peer keeps one slave descriptor open, so the master never sees a
    // hang-up while the library closes and re-opens its port
    holdSlave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (holdSlave_ >= 0) makeRaw(holdSlave_);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    thread_ = std::thread([this] { run(); });
}

ScriptedPeer::~ScriptedPeer() {
    {
        std::lock_guard<std::mutex> g(lock_);
        stop_ = true;
    }
    cond_.notify_all();
    if (thread_.joinable()) thread_.join();
    reportOnce();
    closeMaster();
    if (holdSlave_ >= 0) ::close(holdSlave_);
}

int ScriptedPeer::openSlave() const {
    int fd = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) makeRaw(fd);
    return fd;
}

bool ScriptedPeer::linkAt(const std::string &path) const {
    size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) makeDirs(path.substr(0, slash));
    unlink(path.c_str());
    return symlink(slavePath_.c_str(), path.c_str()) == 0;
}

void ScriptedPeer::add(Step s) {
    {
        std::lock_guard<std::mutex> g(lock_);
        steps_.push_back(std::move(s));
        total_++;
    }
    cond_.notify_all();
}

ScriptedPeer &ScriptedPeer::expect(const std::string &command, const Reply &reply) {
    add({Step::Expect, command, reply, 0});
    return *this;
}

ScriptedPeer &ScriptedPeer::script(std::initializer_list<Exchange> exchanges) {
    for (const auto &e : exchanges) expect(e.command, e.reply);
    return *this;
}

ScriptedPeer &ScriptedPeer::silence(const std::string &command) {
    return expect(command, Reply::none());
}

ScriptedPeer &ScriptedPeer::inject(const std::string &line) {
    add({Step::Inject, line, Reply(), 0});
    return *this;
}

ScriptedPeer &ScriptedPeer::injectRaw(const std::string &bytes) {
    add({Step::Raw, bytes, Reply(), 0});
    return *this;
}

ScriptedPeer &ScriptedPeer::pause(int ms) {
    add({Step::Pause, "", Reply(), ms});
    return *this;
}

ScriptedPeer &ScriptedPeer::close() {
    add({Step::Close, "", Reply(), 0});
    return *this;
}

void ScriptedPeer::sendNow(const std::string &line) {
    note(">> " + printable(line) + " (out of script)");
    writeOut(before_ + line + after_);
}

void ScriptedPeer::setLineFraming(const std::string &before, const std::string &after) {
    std::lock_guard<std::mutex> g(writeLock_);
    before_ = before;
    after_ = after;
}

void ScriptedPeer::setWriteChunk(size_t bytes, std::chrono::microseconds gap) {
    std::lock_guard<std::mutex> g(writeLock_);
    chunk_ = bytes;
    gap_ = gap;
}

void ScriptedPeer::note(const std::string &entry) {
    std::lock_guard<std::mutex> g(lock_);
    transcript_.push_back(entry);
}

void ScriptedPeer::fail(const std::string &what) {
    std::lock_guard<std::mutex> g(lock_);
    failures_.push_back(what);
    transcript_.push_back("!! " + what);
    failed_ = true;
    cond_.notify_all();
}

void ScriptedPeer::closeMaster() {
    std::lock_guard<std::mutex> g(writeLock_);
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

bool ScriptedPeer::writeOut(const std::string &bytes) {
    std::lock_guard<std::mutex> g(writeLock_);
    if (master_ < 0) return false;
    size_t off = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (off < bytes.size()) {
        size_t n = bytes.size() - off;
        if (chunk_ > 0 && n > chunk_) n = chunk_;
        ssize_t w = write(master_, bytes.data() + off, n);
        if (w > 0) {
            off += (size_t)w;
            if (chunk_ > 0 && off < bytes.size()) std::this_thread::sleep_for(gap_);
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() > deadline) return false;
        struct pollfd p = {master_, POLLOUT, 0};
        poll(&p, 1, 20);
    }
    return true;
}

// Reads what the library wrote; false when the master is gone.
bool ScriptedPeer::fillInput(int waitMs) {
    int fd;
    {
        std::lock_guard<std::mutex> g(writeLock_);
        fd = master_;
    }
    if (fd < 0) return false;
    struct pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, waitMs) <= 0) return true;
    char buf[4096];
    ssize_t n = read(fd, buf, sizeof(buf));
    if (n > 0) inbuf_.append(buf, (size_t)n);
    return true;
}

// One command line (up to a carriage return). With untilStop it waits until
// the peer is stopped; else it only takes what is already there.
bool ScriptedPeer::readLine(std::string &line, bool untilStop) {
    for (;;) {
        size_t start = inbuf_.find_first_not_of("\r\n");
        if (start == std::string::npos) {
            inbuf_.clear();
        } else if (start > 0) {
            inbuf_.erase(0, start);
        }
        size_t cr = inbuf_.find_first_of("\r\n");
        if (cr != std::string::npos) {
            line = inbuf_.substr(0, cr);
            inbuf_.erase(0, cr + 1);
            return true;
        }
        {
            std::lock_guard<std::mutex> g(lock_);
            if (stop_) return false;
        }
        if (!fillInput(20)) return false;
        if (!untilStop) {
            cr = inbuf_.find_first_of("\r\n");
            if (cr == std::string::npos) return false;
        }
    }
}

bool ScriptedPeer::readPdu(std::string &pdu, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        size_t z = inbuf_.find('\x1A');
        if (z != std::string::npos) {
            pdu = inbuf_.substr(0, z);
            inbuf_.erase(0, z + 1);
            return true;
        }
        {
            std::lock_guard<std::mutex> g(lock_);
            if (stop_) return false;
        }
        if (std::chrono::steady_clock::now() > deadline) return false;
        if (!fillInput(20)) return false;
    }
}

bool ScriptedPeer::runAction(const Reply::Action &a, const std::string &command, size_t index) {
    switch (a.kind) {
        case Reply::Action::Line:
            note(">> " + printable(a.text));
            writeOut(before_ + a.text + after_);
            return true;
        case Reply::Action::Raw:
            note(">> raw " + printable(a.text));
            writeOut(a.text);
            return true;
        case Reply::Action::Pause:
            note("-- pause " + std::to_string(a.ms) + " ms");
            std::this_thread::sleep_for(std::chrono::milliseconds(a.ms));
            return true;
        case Reply::Action::Prompt:
            note(">> prompt");
            writeOut("\r\n> ");
            return true;
        case Reply::Action::ExpectPdu: {
            std::string pdu;
            if (!readPdu(pdu, std::chrono::seconds(5))) {
                fail("no PDU + Ctrl-Z after the prompt for '" + command + "' at script step " +
                     std::to_string(index) + " (expected '" + a.text + "', got so far '" +
                     printable(inbuf_) + "')");
                return false;
            }
            note("<< pdu " + printable(pdu) + " ^Z");
            if (pdu != a.text) {
                fail("PDU mismatch for '" + command + "' at script step " + std::to_string(index) +
                     ": got '" + printable(pdu) + "', expected '" + a.text + "'");
                return false;
            }
            return true;
        }
        case Reply::Action::Close:
            note("-- unplug (master closed)");
            closeMaster();
            return true;
        case Reply::Action::WaitUntil: {
            auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(a.ms);
            while (!a.cond()) {
                if (std::chrono::steady_clock::now() > deadline) {
                    fail("condition not met within " + std::to_string(a.ms) + " ms in the reply to '" +
                         command + "' at script step " + std::to_string(index));
                    return false;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            note("-- condition met");
            return true;
        }
    }
    return true;
}

bool ScriptedPeer::runStep(const Step &s, size_t index) {
    switch (s.kind) {
        case Step::Expect: {
            std::string cmd;
            if (!readLine(cmd, true)) {
                bool stopping;
                {
                    std::lock_guard<std::mutex> g(lock_);
                    stopping = stop_;
                }
                if (!stopping) {
                    fail("the port is closed, but script step " + std::to_string(index) +
                         " still expects '" + s.text + "'");
                }
                return false;
            }
            {
                std::lock_guard<std::mutex> g(lock_);
                commands_.push_back(cmd);
                transcript_.push_back("<< " + printable(cmd));
            }
            cond_.notify_all();
            if (cmd != s.text) {
                fail("unexpected command '" + printable(cmd) + "' at script step " +
                     std::to_string(index) + " (expected '" + s.text + "')");
                return false;
            }
            for (const auto &a : s.reply.actions()) {
                if (!runAction(a, cmd, index)) return false;
            }
            return true;
        }
        case Step::Inject:
            note(">> " + printable(s.text));
            writeOut(before_ + s.text + after_);
            return true;
        case Step::Raw:
            note(">> raw " + printable(s.text));
            writeOut(s.text);
            return true;
        case Step::Pause:
            note("-- pause " + std::to_string(s.ms) + " ms");
            std::this_thread::sleep_for(std::chrono::milliseconds(s.ms));
            return true;
        case Step::Close:
            note("-- unplug (master closed)");
            closeMaster();
            return true;
    }
    return true;
}

void ScriptedPeer::run() {
    for (;;) {
        Step step;
        size_t index;
        bool have = false;
        {
            std::unique_lock<std::mutex> g(lock_);
            if (stop_) return;
            index = done_;
            if (!failed_ && !steps_.empty()) {
                step = std::move(steps_.front());
                steps_.pop_front();
                index = done_;
                busy_ = true;
                have = true;
            }
        }
        if (!have) {
            // idle (or failed): anything the library sends now was not expected
            std::string cmd;
            if (readLine(cmd, false)) {
                bool already;
                {
                    std::lock_guard<std::mutex> g(lock_);
                    if (!failed_ && !steps_.empty()) {
                        // a step arrived meanwhile: the line is its business
                        inbuf_.insert(0, cmd + "\r");
                        continue;
                    }
                    commands_.push_back(cmd);
                    transcript_.push_back("<< " + printable(cmd));
                    already = failed_;
                }
                if (!already) {
                    fail("unexpected command '" + printable(cmd) +
                         "' after the end of the script (step " + std::to_string(index) + ")");
                }
            } else {
                bool closed;
                {
                    std::lock_guard<std::mutex> w(writeLock_);
                    closed = master_ < 0;
                }
                std::unique_lock<std::mutex> g(lock_);
                if (stop_) return;
                if (closed) cond_.wait_for(g, std::chrono::milliseconds(20));
            }
            cond_.notify_all();
            continue;
        }
        bool ok = runStep(step, index);
        {
            std::lock_guard<std::mutex> g(lock_);
            busy_ = false;
            if (ok) done_++;
        }
        cond_.notify_all();
    }
}

bool ScriptedPeer::waitScriptDone(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> g(lock_);
    return cond_.wait_for(g, timeout, [this] { return failed_ || done_ == total_; }) && !failed_;
}

bool ScriptedPeer::waitCommands(size_t n, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> g(lock_);
    return cond_.wait_for(g, timeout, [this, n] { return commands_.size() >= n; });
}

void ScriptedPeer::reportOnce() {
    std::vector<std::string> fails;
    size_t done, total;
    std::string tr;
    {
        std::lock_guard<std::mutex> g(lock_);
        if (reported_) return;
        reported_ = true;
        fails = failures_;
        done = done_;
        total = total_;
    }
    tr = transcript();
    for (const auto &f : fails) ADD_FAILURE() << "scripted peer: " << f << "\n" << tr;
    if (fails.empty() && done != total) {
        ADD_FAILURE() << "scripted peer: script not finished, stopped at step " << done << " of "
                      << total << "\n"
                      << tr;
    }
}

void ScriptedPeer::verify(std::chrono::milliseconds timeout) {
    waitScriptDone(timeout);
    // a command that arrives right after the last step is caught by the
    // idle reader; give it a moment to show up
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    reportOnce();
}

std::vector<std::string> ScriptedPeer::commands() const {
    std::lock_guard<std::mutex> g(lock_);
    return commands_;
}

std::vector<std::string> ScriptedPeer::failures() const {
    std::lock_guard<std::mutex> g(lock_);
    return failures_;
}

size_t ScriptedPeer::position() const {
    std::lock_guard<std::mutex> g(lock_);
    return done_;
}

std::string ScriptedPeer::transcript() const {
    std::lock_guard<std::mutex> g(lock_);
    std::string out = "transcript (<< from the library, >> to it):\n";
    for (const auto &e : transcript_) out += "  " + e + "\n";
    return out;
}

// ---- recording unsolicited handler ----

namespace {
std::mutex g_unsolLock;
std::condition_variable g_unsolCond;
std::vector<UnsolCall> g_unsol;
}  // namespace

void recordUnsol(const char *line, const char *body) {
    {
        std::lock_guard<std::mutex> g(g_unsolLock);
        UnsolCall c;
        c.line = line != nullptr ? line : "";
        c.hasBody = body != nullptr;
        if (body != nullptr) c.body = body;
        g_unsol.push_back(c);
    }
    g_unsolCond.notify_all();
}

std::vector<UnsolCall> recordedUnsol() {
    std::lock_guard<std::mutex> g(g_unsolLock);
    return g_unsol;
}

std::vector<std::string> recordedUnsolLines() {
    std::lock_guard<std::mutex> g(g_unsolLock);
    std::vector<std::string> out;
    for (const auto &c : g_unsol) out.push_back(c.line);
    return out;
}

void clearRecordedUnsol() {
    std::lock_guard<std::mutex> g(g_unsolLock);
    g_unsol.clear();
}

bool waitRecordedUnsol(size_t n, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> g(g_unsolLock);
    return g_unsolCond.wait_for(g, timeout, [n] { return g_unsol.size() >= n; });
}

}  // namespace riltest
