#include "simulated_module.h"

#include "call_dialect.h"
#include "pty_link.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>

namespace modemsim {

namespace {

void makeDirs(const std::string &path) {
    std::string cur;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            if (!cur.empty()) mkdir(cur.c_str(), 0755);
        }
        if (i < path.size()) cur += path[i];
    }
}

bool matchesPattern(const std::string &pattern, const std::string &text) {
    if (!pattern.empty() && pattern.back() == '*')
        return text.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
    return pattern == text;
}

constexpr size_t kMaxLine = 4096;
constexpr size_t kMaxPdu = 65536;

}  // namespace

ModuleConfig ModuleConfig::forModel(const std::string &model, const std::string &sysroot) {
    ModuleConfig cfg;
    cfg.sysroot = sysroot;
    cfg.model = model;
    if (!defaultState(model, &cfg.state)) throw std::invalid_argument("unknown module model " + model);
    return cfg;
}

SimulatedModule::SimulatedModule(ModuleConfig cfg)
    : cfg_(std::move(cfg)), family_(cfg_.state.family),
      device_(cfg_.device ? *cfg_.device : UsbTree::model(cfg_.model)), tree_(cfg_.sysroot) {
    st_ = cfg_.state;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("pipe2 failed");
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
    boot_.reset(new Bootloader(*this, tree_, cfg_.sysroot, device_));
    if (cfg_.plugAtStart) {
        std::lock_guard<std::mutex> g(mu_);
        plugLocked();
    }
    thread_ = std::thread([this] { ioLoop(); });
    try {
        power_.reset(new PowerDevice(tree_, cfg_.resetGap));
        power_->onUnplugged([this](const std::vector<UsbDevice> &) { unplug(); });
        power_->onReplugged([this](const std::vector<UsbDevice> &) { plug(); });
    } catch (const std::exception &) {
        // no power-control socket: resets from the library are not seen
    }
}

SimulatedModule::~SimulatedModule() {
    power_.reset();
    {
        std::lock_guard<std::mutex> g(mu_);
        stop_ = true;
    }
    wake();
    if (thread_.joinable()) thread_.join();
    boot_.reset();
    {
        std::lock_guard<std::mutex> g(mu_);
        unplugLocked();
    }
    close(wakeRead_);
    close(wakeWrite_);
}

// --- USB presence -----------------------------------------------------------

std::string SimulatedModule::atLink() const { return cfg_.sysroot + "/dev/" + device_.atTty; }
std::string SimulatedModule::modemLink() const { return cfg_.sysroot + "/dev/" + device_.modemTty; }

std::string SimulatedModule::atPty() const {
    std::lock_guard<std::mutex> g(mu_);
    return at_.slaveName;
}

bool SimulatedModule::plugged() const {
    std::lock_guard<std::mutex> g(mu_);
    return plugged_;
}

int SimulatedModule::plugCount() const {
    std::lock_guard<std::mutex> g(mu_);
    return plugCount_;
}

void SimulatedModule::plug() {
    {
        std::lock_guard<std::mutex> g(mu_);
        plugLocked();
    }
    wake();
}

void SimulatedModule::unplug() {
    {
        std::lock_guard<std::mutex> g(mu_);
        unplugLocked();
    }
    wake();
}

void SimulatedModule::powerReset(std::optional<std::chrono::milliseconds> gap) {
    {
        std::lock_guard<std::mutex> g(mu_);
        unplugLocked();
        timers_.push_back({std::chrono::steady_clock::now() + gap.value_or(cfg_.resetGap), [this] { plugLocked(); }});
    }
    wake();
}

void SimulatedModule::plugLocked() {
    if (plugged_) return;
    if (boot_) boot_->onPlug();
    // a power-on: volatile settings back to their start values, the card
    // asks for its PIN again
    const ModuleState &boot = cfg_.state;
    st_.radioOn = boot.radioOn;
    st_.cfun = boot.cfun;
    st_.echo = boot.echo;
    st_.cmee = boot.cmee;
    st_.cregMode = boot.cregMode;
    st_.cgregMode = boot.cgregMode;
    st_.ceregMode = boot.ceregMode;
    st_.ccregMode = boot.ccregMode;
    st_.copsFormat = boot.copsFormat;
    st_.cnsmodReport = boot.cnsmodReport;
    dropAllCalls(st_);
    if (st_.sim.pinEnabled && st_.sim.lock == SimLock::Ready) st_.sim.lock = SimLock::Pin;
    st_.poweredOn = std::chrono::steady_clock::now();

    try {
        tree_.plug(device_);
    } catch (const std::exception &) {
        // a tree that cannot be written leaves discovery without a module;
        // the ports are still served
    }
    makeDirs(cfg_.sysroot + "/dev");
    openPort(at_, device_.atTty);
    if (!device_.modemTty.empty() && device_.modemTty != device_.atTty) openPort(modem_, device_.modemTty);
    plugged_ = true;
    ++plugCount_;
}

void SimulatedModule::unplugLocked() {
    if (!plugged_) return;
    if (boot_) boot_->onUnplug();
    // the interfaces go first, so a host that reacts to the hang-up by
    // looking for the module does not find it any more
    try {
        tree_.unplug();
    } catch (const std::exception &) {
    }
    closePort(at_);
    closePort(modem_);
    plugged_ = false;
}

bool SimulatedModule::openPort(PortIo &p, const std::string &tty) {
    if (tty.empty()) return false;
    PtyLink l;
    if (!openPtyLink(cfg_.sysroot + "/dev/" + tty, &l)) return false;
    p = PortIo();
    p.master = l.master;
    p.slaveKeep = l.slaveKeep;
    p.slaveName = l.slaveName;
    p.link = l.link;
    return true;
}

void SimulatedModule::closePort(PortIo &p) {
    PtyLink l{p.master, p.slaveKeep, p.slaveName, p.link};
    closePtyLink(&l);
    p = PortIo();
}

// --- I/O thread ---------------------------------------------------------------

void SimulatedModule::wake() {
    char c = 1;
    ssize_t n = write(wakeWrite_, &c, 1);
    (void)n;  // a full pipe already wakes the thread
}

void SimulatedModule::ioLoop() {
    for (;;) {
        int timeoutMs = -1;
        int atFd, modemFd;
        {
            std::lock_guard<std::mutex> g(mu_);
            if (stop_) return;
            atFd = at_.master;
            modemFd = modem_.master;
            auto now = std::chrono::steady_clock::now();
            for (const Timer &t : timers_) {
                auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t.at - now).count();
                if (ms < 0) ms = 0;
                if (timeoutMs < 0 || ms < timeoutMs) timeoutMs = static_cast<int>(ms) + 1;
            }
        }
        short ev[2];
        int r = pollPorts(wakeRead_, atFd, modemFd, timeoutMs, ev);
        if (r < 0 && errno != EINTR) return;
        std::unique_lock<std::mutex> g(mu_);
        if (stop_) return;
        // due timers, in order of their time
        for (;;) {
            auto now = std::chrono::steady_clock::now();
            size_t due = timers_.size();
            for (size_t i = 0; i < timers_.size(); ++i)
                if (timers_[i].at <= now && (due == timers_.size() || timers_[i].at < timers_[due].at)) due = i;
            if (due == timers_.size()) break;
            auto fn = std::move(timers_[due].fn);
            timers_.erase(timers_.begin() + static_cast<long>(due));
            fn();
        }
        bool idleHangup = false;
        if (ev[0]) {
            if (at_.master == atFd) onReadable(Port::At);
            if (!(ev[0] & POLLIN)) idleHangup = true;
        }
        if (ev[1]) {
            if (modem_.master == modemFd) onReadable(Port::Modem);
            if (!(ev[1] & POLLIN)) idleHangup = true;
        }
        if (idleHangup) {
            // a hang-up without data: do not spin on it
            g.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
}

void SimulatedModule::onReadable(Port which) {
    PortIo &p = io(which);
    char buf[4096];
    for (;;) {
        ssize_t n = read(p.master, buf, sizeof buf);
        if (n <= 0) break;
        p.inbuf.append(buf, static_cast<size_t>(n));
    }
    while (!p.inbuf.empty() && p.master >= 0) {
        if (p.dataMode && !st_.data.connected) p.dataMode = false;  // the call ended on the AT port
        if (!p.dataMode && which == Port::Modem && p.inbuf.compare(0, 3, "+++") == 0) {
            // an escape after the call already ended: answered, not a command
            p.inbuf.erase(0, 3);
            writeLinesLocked(which, {"OK"});
            continue;
        }
        if (p.dataMode) {
            // the port carries data after CONNECT; "+++" returns to commands
            if (p.inbuf.find("+++") != std::string::npos) {
                p.dataMode = false;
                st_.data.connected = false;
                writeLinesLocked(which, {"OK"});
            }
            p.inbuf.clear();
            break;
        }
        if (p.pduMode) {
            size_t end = p.inbuf.find_first_of("\x1a\x1b");
            if (end == std::string::npos) {
                if (p.pdu.size() + p.inbuf.size() < kMaxPdu) p.pdu += p.inbuf;
                p.inbuf.clear();
                break;
            }
            if (p.pdu.size() + end < kMaxPdu) p.pdu += p.inbuf.substr(0, end);
            bool send = p.inbuf[end] == '\x1a';
            p.inbuf.erase(0, end + 1);
            std::string pdu;
            for (char c : p.pdu)
                if (c != '\r' && c != '\n' && c != ' ') pdu += c;
            log_.push_back({which, pdu + (send ? "<ctrl-z>" : "<esc>"), plugCount_});
            logCond_.notify_all();
            std::string cmd = p.pduCommand;
            p.pduMode = false;
            p.pdu.clear();
            if (mute_) continue;
            writeLinesLocked(which, send ? answerPdu(st_, cmd, pdu) : std::vector<std::string>{"OK"});
            continue;
        }
        size_t end = p.inbuf.find_first_of("\r\n");
        if (end == std::string::npos) {
            if (p.inbuf.size() > kMaxLine) p.inbuf.clear();  // no line end in sight: drop it
            break;
        }
        std::string line = p.inbuf.substr(0, end);
        p.inbuf.erase(0, end + 1);
        if (line.empty()) continue;
        handleCommand(which, line);
    }
}

void SimulatedModule::handleCommand(Port which, const std::string &raw) {
    PortIo &p = io(which);
    log_.push_back({which, raw, plugCount_});
    logCond_.notify_all();
    if (st_.echo) writeLocked(which, raw + "\r");
    if (mute_) return;
    if (garbage_) {
        writeLocked(which, garbageLocked());
        return;
    }
    std::string norm = normalizeCommand(raw);
    if (const std::vector<std::string> *lines = configuredReplyLocked(norm)) {
        writeLinesLocked(which, *lines);
        return;
    }
    RegView before = regView(st_);
    Effects fx;
    std::vector<std::string> lines = answerCommand(st_, raw, unknownReply_, &fx);
    if (fx.replyDelayMs > 0) {
        // a network scan: the answer comes later, the port stays served
        timers_.push_back({std::chrono::steady_clock::now() + std::chrono::milliseconds(fx.replyDelayMs),
                           [this, which, lines] { writeLinesLocked(which, lines); }});
        return;
    }
    writeLinesLocked(which, lines);
    if (fx.pduPrompt) {
        p.pduMode = true;
        p.pduCommand = fx.pduCommand;
        p.pdu.clear();
        if (!fx.silentPrompt) writeLocked(which, "\r\n> ");
    }
    if (fx.dataMode) p.dataMode = true;
    if (fx.delayMs > 0) {
        std::vector<std::string> later = fx.delayed;
        timers_.push_back({std::chrono::steady_clock::now() + std::chrono::milliseconds(fx.delayMs), [this, which, later] {
                               writeLinesLocked(which, later);
                               if (!later.empty() && later.back() == "CONNECT") io(which).dataMode = true;
                           }});
    }
    std::vector<std::string> after = registrationLines(st_, before, regView(st_));
    after.insert(after.begin(), fx.unsolicited.begin(), fx.unsolicited.end());
    emitLocked(after);
    scheduleLocked(fx.later);
    if (fx.resetModule) {
        // the module answers, then drops off USB and comes back
        auto now = std::chrono::steady_clock::now();
        timers_.push_back({now + std::chrono::milliseconds(100), [this] {
                               unplugLocked();
                               timers_.push_back(
                                   {std::chrono::steady_clock::now() + cfg_.resetGap, [this] { plugLocked(); }});
                           }});
    }
}

const std::vector<std::string> *SimulatedModule::configuredReplyLocked(const std::string &norm) const {
    for (const auto &r : replies_)
        if (matchesPattern(r.first, norm)) return &r.second;
    return nullptr;
}

void SimulatedModule::writeLinesLocked(Port which, const std::vector<std::string> &lines) {
    std::string out;
    for (const std::string &l : lines) out += "\r\n" + l + "\r\n";
    writeLocked(which, out);
}

void SimulatedModule::writeLocked(Port which, const std::string &bytes) {
    writeAllTo(io(which).master, bytes);
}

void SimulatedModule::emitLocked(const std::vector<std::string> &lines, Port which) {
    if (mute_ || lines.empty()) return;
    writeLinesLocked(which, lines);
}

std::string SimulatedModule::garbageLocked() {
    std::string junk = "\r\n";
    int len = 8 + static_cast<int>(rand_r(&garbageSeed_) % 24);
    for (int i = 0; i < len; ++i) {
        char c = static_cast<char>(rand_r(&garbageSeed_) % 256);
        if (c == '\r' || c == '\n') c = '#';
        junk += c;
    }
    return junk + "\r\n";
}

// --- control operations ---------------------------------------------------------

void SimulatedModule::changeLocked(const std::function<void(ModuleState &)> &change) {
    RegView before = regView(st_);
    change(st_);
    emitLocked(registrationLines(st_, before, regView(st_)));
}

void SimulatedModule::update(const std::function<void(ModuleState &)> &change) {
    std::lock_guard<std::mutex> g(mu_);
    changeLocked(change);
}

ModuleState SimulatedModule::state() const {
    std::lock_guard<std::mutex> g(mu_);
    return st_;
}

void SimulatedModule::simRemove(bool announce) {
    std::lock_guard<std::mutex> g(mu_);
    changeLocked([](ModuleState &s) { s.sim.present = false; });
    if (announce) emitLocked(simRemovedLines(st_));
}

void SimulatedModule::simInsert(bool announce) {
    std::lock_guard<std::mutex> g(mu_);
    changeLocked([](ModuleState &s) {
        s.sim.present = true;
        if (s.sim.pinEnabled && s.sim.lock == SimLock::Ready) s.sim.lock = SimLock::Pin;
    });
    if (announce) emitLocked(simInsertedLines(st_));
}

void SimulatedModule::simExchange(const std::string &imsi, const std::string &iccid, bool announce) {
    std::lock_guard<std::mutex> g(mu_);
    changeLocked([&](ModuleState &s) {
        s.sim.present = true;
        if (!imsi.empty()) s.sim.imsi = imsi;
        if (!iccid.empty()) s.sim.iccid = iccid;
    });
    if (announce) emitLocked(simExchangedLines(st_));
}

void SimulatedModule::simLock() {
    std::lock_guard<std::mutex> g(mu_);
    changeLocked([](ModuleState &s) {
        s.sim.pinEnabled = true;
        if (s.sim.lock == SimLock::Ready) s.sim.lock = SimLock::Pin;
    });
}

void SimulatedModule::simBlock() {
    std::lock_guard<std::mutex> g(mu_);
    changeLocked([](ModuleState &s) {
        s.sim.pinEnabled = true;
        s.sim.pinAttempts = 0;
        s.sim.lock = SimLock::Puk;
    });
}

void SimulatedModule::setPin(const std::string &pin) {
    std::lock_guard<std::mutex> g(mu_);
    st_.sim.pin = pin;
}

void SimulatedModule::setPuk(const std::string &puk) {
    std::lock_guard<std::mutex> g(mu_);
    st_.sim.puk = puk;
}

void SimulatedModule::setAttempts(int pin, int puk) {
    std::lock_guard<std::mutex> g(mu_);
    st_.sim.pinAttempts = pin;
    st_.sim.pukAttempts = puk;
}

void SimulatedModule::registerNetwork(Tech tech, const std::string &numeric, const std::string &longName,
                                      const std::string &shortName, bool roaming) {
    std::lock_guard<std::mutex> g(mu_);
    changeLocked([&](ModuleState &s) {
        s.net.tech = tech;
        s.net.numeric = numeric;
        s.net.longName = longName;
        s.net.shortName = shortName.empty() ? longName : shortName;
        s.net.roaming = roaming;
    });
}

void SimulatedModule::deregister() {
    std::lock_guard<std::mutex> g(mu_);
    changeLocked([](ModuleState &s) { s.net.tech = Tech::None; });
}

void SimulatedModule::setSignal(int rssi, int ber) {
    std::lock_guard<std::mutex> g(mu_);
    st_.net.rssi = rssi;
    st_.net.ber = ber;
}

void SimulatedModule::setLteSignal(int rsrp, int rsrq, int sinr) {
    std::lock_guard<std::mutex> g(mu_);
    st_.net.rsrp = rsrp;
    st_.net.rsrq = rsrq;
    st_.net.sinr = sinr;
}

void SimulatedModule::incomingCall(const std::string &number) {
    callEvent([&number](ModuleState &s, Effects &fx) { networkCall(s, number, &fx); });
}

void SimulatedModule::remoteHangup() {
    callEvent([](ModuleState &s, Effects &fx) { networkHangup(s, 0, 104, &fx); });
}

void SimulatedModule::callEvent(const std::function<void(ModuleState &, Effects &)> &event) {
    std::lock_guard<std::mutex> g(mu_);
    Effects fx;
    event(st_, fx);
    emitLocked(fx.unsolicited);
    scheduleLocked(fx.later);
}

void SimulatedModule::scheduleLocked(const std::vector<Later> &later) {
    for (const Later &l : later) {
        std::function<void(ModuleState &, Effects &)> run = l.run;
        int plug = plugCount_;
        timers_.push_back({std::chrono::steady_clock::now() + l.after, [this, run, plug] {
                               if (!plugged_ || plug != plugCount_) return;  // the module went away
                               Effects fx;
                               run(st_, fx);
                               emitLocked(fx.unsolicited);
                               scheduleLocked(fx.later);
                           }});
    }
    if (!later.empty()) wake();
}

void SimulatedModule::incomingSms(const std::string &pdu) {
    std::lock_guard<std::mutex> g(mu_);
    emitLocked(incomingSmsLines(st_, pdu));
}

void SimulatedModule::networkUssd(const std::string &text) {
    std::lock_guard<std::mutex> g(mu_);
    emitLocked(networkUssdLines(st_, text));
}

void SimulatedModule::setMute(bool mute) {
    std::lock_guard<std::mutex> g(mu_);
    mute_ = mute;
}

void SimulatedModule::setGarbage(bool garbage) {
    std::lock_guard<std::mutex> g(mu_);
    garbage_ = garbage;
}

void SimulatedModule::inject(const std::string &line, Port port) {
    std::lock_guard<std::mutex> g(mu_);
    writeLinesLocked(port, {line});
}

void SimulatedModule::injectRaw(const std::string &bytes, Port port) {
    std::lock_guard<std::mutex> g(mu_);
    writeLocked(port, bytes);
}

void SimulatedModule::setReply(const std::string &pattern, const std::vector<std::string> &lines) {
    std::lock_guard<std::mutex> g(mu_);
    std::string norm = normalizeCommand(pattern);
    for (auto &r : replies_) {
        if (r.first == norm) {
            r.second = lines;
            return;
        }
    }
    replies_.emplace_back(norm, lines);
}

void SimulatedModule::clearReply(const std::string &pattern) {
    std::lock_guard<std::mutex> g(mu_);
    std::string norm = normalizeCommand(pattern);
    for (auto it = replies_.begin(); it != replies_.end(); ++it) {
        if (it->first == norm) {
            replies_.erase(it);
            return;
        }
    }
}

void SimulatedModule::setUnknownReply(const std::vector<std::string> &lines) {
    std::lock_guard<std::mutex> g(mu_);
    unknownReply_ = lines;
}

std::vector<std::string> SimulatedModule::commands() const {
    std::lock_guard<std::mutex> g(mu_);
    std::vector<std::string> out;
    for (const Received &r : log_)
        if (r.port == Port::At) out.push_back(r.text);
    return out;
}

std::vector<std::string> SimulatedModule::commandsSincePlug() const {
    std::lock_guard<std::mutex> g(mu_);
    std::vector<std::string> out;
    for (const Received &r : log_)
        if (r.port == Port::At && r.plug == plugCount_) out.push_back(r.text);
    return out;
}

std::vector<Received> SimulatedModule::received() const {
    std::lock_guard<std::mutex> g(mu_);
    return log_;
}

void SimulatedModule::clearLog() {
    std::lock_guard<std::mutex> g(mu_);
    log_.clear();
}

bool SimulatedModule::waitForCommand(const std::string &text, std::chrono::milliseconds timeout, size_t from) const {
    std::unique_lock<std::mutex> g(mu_);
    return logCond_.wait_for(g, timeout, [&] {
        size_t atIndex = 0;
        for (const Received &r : log_) {
            if (r.port != Port::At) continue;
            if (atIndex++ < from) continue;
            if (matchesPattern(text, r.text)) return true;
        }
        return false;
    });
}

}  // namespace modemsim
