#include "control.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <stdexcept>

#include "call_dialect.h"
#include "simnet_control.h"
#include "data_dialect.h"
#include "link_control.h"
#include "simulated_module.h"
#include "sms_control.h"
#include "ussd_dialect.h"

namespace modemsim {

namespace {

const char kHelp[] =
    "plug | unplug | reset [ms]\n"
    "sim remove|insert [quiet] | sim exchange [imsi [iccid]] [quiet] | sim lock | sim block | sim netlock\n"
    "sim pin CODE | sim puk CODE | sim attempts PIN PUK | sim imsi IMSI | sim cdmaimsi IMSI|none\n"
    "sim iccid ICCID | sim delay MS\n"
    "register TECH MCCMNC [\"LONG NAME\" [\"SHORT\"]] [roaming]   (TECH: gsm gprs edge umts hsdpa hsupa hspa\n"
    "    cdma evdo hybrid lte srlte) | deregister\n"
    "signal RSSI [BER] | signal lte RSRP [RSRQ SINR] | radio on|off\n"
    "sms PDU | ussd TEXT\n"
    "mute | unmute | garbage on|off | inject LINE | reply COMMAND [LINE|LINE...|none] | unknown LINE|LINE...\n"
    "imei X | meid X|none | hwinfo N|none | modeconfig N | echo on|off\n"
    "data dial connect|nocarrier|error|silence | data delay MS | data service on|off | data busy N | data drop\n"
    "data state\n"
    "link silent|freeze|ok|kill|carrier|state | link refuse N\n"
    "log [all|clear] | state | help\n"
    "bootloader state|enter|leave|clear | bootloader silent on|off | bootloader refuse N | bootloader delay MS\n";

bool toInt(const std::string &s, int *out) {
    if (s.empty()) return false;
    char *end = nullptr;
    long v = strtol(s.c_str(), &end, 10);
    if (*end != '\0') return false;
    *out = static_cast<int>(v);
    return true;
}

std::vector<std::string> splitBar(const std::string &text) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : text) {
        if (c == '|') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(cur);
    for (auto &l : out) {
        while (!l.empty() && l.front() == ' ') l.erase(0, 1);
        while (!l.empty() && l.back() == ' ') l.pop_back();
    }
    return out;
}

// the text after the first n words of the line
std::string restAfterWords(const std::string &line, int n) {
    size_t i = 0;
    for (int w = 0; w < n; ++w) {
        while (i < line.size() && line[i] == ' ') ++i;
        while (i < line.size() && line[i] != ' ') ++i;
    }
    while (i < line.size() && line[i] == ' ') ++i;
    return line.substr(i);
}

const char *lockName(SimLock l) {
    switch (l) {
    case SimLock::Ready: return "ready";
    case SimLock::Pin: return "pin";
    case SimLock::Puk: return "puk";
    case SimLock::Blocked: return "blocked";
    case SimLock::PhNet: return "ph-net";
    }
    return "?";
}

std::string describe(SimulatedModule &m) {
    ModuleState s = m.state();
    RegView v = regView(s);
    std::ostringstream o;
    o << "model " << s.model << " family " << familyName(s.family) << " plugged " << (m.plugged() ? 1 : 0)
      << " at " << m.atLink() << " -> " << m.atPty() << "\n";
    o << "radio " << (s.radioOn ? "on" : "off") << " cfun " << s.cfun << "\n";
    o << "sim " << (s.sim.present ? lockName(s.sim.lock) : "absent") << " pin-enabled " << s.sim.pinEnabled
      << " pin-attempts " << s.sim.pinAttempts << " puk-attempts " << s.sim.pukAttempts << " imsi "
      << s.sim.imsi << " iccid " << s.sim.iccid << "\n";
    o << "network " << techName(s.net.tech) << " " << s.net.numeric << " \"" << s.net.longName << "\" stat "
      << v.stat << " rssi " << s.net.rssi << " ber " << s.net.ber << " rsrp " << s.net.rsrp << "\n";
    o << "imei " << s.id.imei << " meid " << s.id.meid << " hwinfo " << s.id.hwinfo << "\n";
    return o.str();
}

std::string err(const std::string &why) { return "ERROR " + why; }

std::string simCommand(SimulatedModule &m, const std::vector<std::string> &w) {
    if (w.size() < 2) return err("sim what?");
    const std::string &op = w[1];
    bool quiet = w.back() == "quiet";
    if (op == "remove") {
        m.simRemove(!quiet);
    } else if (op == "insert") {
        m.simInsert(!quiet);
    } else if (op == "exchange") {
        std::string imsi = w.size() > 2 && w[2] != "quiet" ? w[2] : "";
        std::string iccid = w.size() > 3 && w[3] != "quiet" ? w[3] : "";
        m.simExchange(imsi, iccid, !quiet);
    } else if (op == "lock") {
        m.simLock();
    } else if (op == "block") {
        m.simBlock();
    } else if (op == "netlock") {
        m.update([](ModuleState &s) { s.sim.lock = SimLock::PhNet; });
    } else if (op == "pin" && w.size() == 3) {
        m.setPin(w[2]);
    } else if (op == "puk" && w.size() == 3) {
        m.setPuk(w[2]);
    } else if (op == "attempts" && w.size() == 4) {
        int pin = 0, puk = 0;
        if (!toInt(w[2], &pin) || !toInt(w[3], &puk)) return err("attempts need numbers");
        m.setAttempts(pin, puk);
    } else if (op == "imsi" && w.size() == 3) {
        m.update([&](ModuleState &s) { s.sim.imsi = w[2]; });
    } else if (op == "cdmaimsi" && w.size() == 3) {
        m.update([&](ModuleState &s) { s.sim.cdmaImsi = w[2] == "none" ? "" : w[2]; });
    } else if (op == "iccid" && w.size() == 3) {
        m.update([&](ModuleState &s) { s.sim.iccid = w[2]; });
    } else if (op == "delay" && w.size() == 3) {
        int ms = 0;
        if (!toInt(w[2], &ms)) return err("delay needs milliseconds");
        m.update([&](ModuleState &s) { s.sim.readyDelayMs = ms; });
    } else {
        return err("unknown sim command");
    }
    return "OK";
}

}  // namespace

std::vector<std::string> splitControlWords(const std::string &line) {
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false, have = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            have = true;
        } else if ((c == ' ' || c == '\t' || c == '\r' || c == '\n') && !quoted) {
            if (have) out.push_back(cur);
            cur.clear();
            have = false;
        } else {
            cur += c;
            have = true;
        }
    }
    if (have) out.push_back(cur);
    return out;
}

std::string executeControl(SimulatedModule &m, const std::string &lineIn) {
    std::string line = lineIn;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    std::vector<std::string> w = splitControlWords(line);
    if (w.empty()) return "OK";
    const std::string &c = w[0];
    try {
        if (c == "help") return std::string(kHelp) + kCallControlHelp + "\n" + kUssdControlHelp + kSimnetControlHelp + "\n" + kSmsControlHelp + "\nOK";
        if (std::string reply; simnetControl(m, w, &reply)) return reply;
        if (c == "plug") {
            m.plug();
        } else if (c == "unplug") {
            m.unplug();
        } else if (c == "reset") {
            int ms = 0;
            if (w.size() > 1 && toInt(w[1], &ms))
                m.powerReset(std::chrono::milliseconds(ms));
            else
                m.powerReset();
        } else if (c == "sim") {
            return simCommand(m, w);
        } else if (c == "data") {
            return dataControl(m, w);
        } else if (c == "link") {
            return linkControl(m, w);
        } else if (c == "register") {
            Tech t;
            if (w.size() < 3 || !parseTech(w[1], &t)) return err("register TECH MCCMNC [NAME [SHORT]] [roaming]");
            bool roaming = w.back() == "roaming";
            size_t names = w.size() - (roaming ? 1 : 0);
            std::string longName = names > 3 ? w[3] : w[2];
            std::string shortName = names > 4 ? w[4] : "";
            m.registerNetwork(t, w[2], longName, shortName, roaming);
        } else if (c == "deregister") {
            m.deregister();
        } else if (c == "signal") {
            if (w.size() >= 3 && w[1] == "lte") {
                int rsrp = 0, rsrq = -10, sinr = 10;
                if (!toInt(w[2], &rsrp)) return err("signal lte RSRP [RSRQ SINR]");
                if (w.size() >= 5 && (!toInt(w[3], &rsrq) || !toInt(w[4], &sinr)))
                    return err("signal lte RSRP [RSRQ SINR]");
                m.setLteSignal(rsrp, rsrq, sinr);
            } else {
                int rssi = 0, ber = 99;
                if (w.size() < 2 || !toInt(w[1], &rssi) || (w.size() > 2 && !toInt(w[2], &ber)))
                    return err("signal RSSI [BER]");
                m.setSignal(rssi, ber);
            }
        } else if (c == "radio" && w.size() == 2) {
            bool on = w[1] == "on";
            m.update([on](ModuleState &s) {
                s.radioOn = on;
                s.cfun = on ? 1 : 0;
            });
        } else if (c == "call" || c == "calls" || c == "hangup") {
            std::string reply, error;
            bool known = true;
            m.callEvent([&](ModuleState &s, Effects &fx) { known = callControl(s, w, &fx, &reply, &error); });
            if (!known) return err("unknown command (try help)");
            if (!error.empty()) return err(error);
            return reply + "OK";
        } else if (isSmsControl(w)) {
            return smsControl(m, w);
        } else if (c == "sms" && w.size() == 2) {
            m.incomingSms(w[1]);
        } else if (std::string reply; (c == "ussd" || c == "stk") && ussdControl(m, w, &reply)) {
            return reply;
        } else if (c == "ussd" && w.size() >= 2) {
            m.networkUssd(restAfterWords(line, 1));
        } else if (c == "mute") {
            m.setMute(true);
        } else if (c == "unmute") {
            m.setMute(false);
        } else if (c == "garbage" && w.size() == 2) {
            m.setGarbage(w[1] == "on");
        } else if (c == "inject") {
            m.inject(restAfterWords(line, 1));
        } else if (c == "reply" && w.size() >= 2) {
            std::string rest = restAfterWords(line, 2);
            if (rest.empty())
                m.clearReply(w[1]);
            else if (rest == "none")
                m.setReply(w[1], {});
            else
                m.setReply(w[1], splitBar(rest));
        } else if (c == "unknown" && w.size() >= 2) {
            m.setUnknownReply(splitBar(restAfterWords(line, 1)));
        } else if (c == "imei" && w.size() == 2) {
            m.update([&](ModuleState &s) { s.id.imei = w[1]; });
        } else if (c == "meid" && w.size() == 2) {
            m.update([&](ModuleState &s) { s.id.meid = w[1] == "none" ? "" : w[1]; });
        } else if (c == "hwinfo" && w.size() == 2) {
            int v = -1;
            if (w[1] != "none" && !toInt(w[1], &v)) return err("hwinfo N|none");
            m.update([v](ModuleState &s) { s.id.hwinfo = v; });
        } else if (c == "modeconfig" && w.size() == 2) {
            int v = 0;
            if (!toInt(w[1], &v)) return err("modeconfig N");
            m.update([v](ModuleState &s) { s.modeConfig = v; });
        } else if (c == "echo" && w.size() == 2) {
            bool on = w[1] == "on";
            m.update([on](ModuleState &s) { s.echo = on; });
        } else if (c == "log") {
            if (w.size() > 1 && w[1] == "clear") {
                m.clearLog();
                return "OK";
            }
            std::string out;
            if (w.size() > 1 && w[1] == "all") {
                for (const Received &r : m.received())
                    out += std::string(r.port == Port::At ? "at: " : "modem: ") + r.text + "\n";
            } else {
                for (const std::string &cmd : m.commands()) out += cmd + "\n";
            }
            return out + "OK";
        } else if (c == "state") {
            return describe(m) + "OK";
        } else if (c == "bootloader") {
            return bootloaderControl(m, w);
        } else {
            return err("unknown command (try help)");
        }
    } catch (const std::exception &e) {
        return err(e.what());
    }
    return "OK";
}

std::string SimulatedModule::control(const std::string &line) { return executeControl(*this, line); }

// --- socket server --------------------------------------------------------------

ControlServer::ControlServer(SimulatedModule &module, std::string path)
    : module_(module), path_(std::move(path)) {
    struct sockaddr_un addr;
    memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path_.size() >= sizeof addr.sun_path) throw std::invalid_argument("control socket path too long");
    memcpy(addr.sun_path, path_.c_str(), path_.size() + 1);
    listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) throw std::runtime_error("socket failed");
    unlink(path_.c_str());
    if (bind(listenFd_, reinterpret_cast<struct sockaddr *>(&addr), sizeof addr) != 0 ||
        listen(listenFd_, 8) != 0) {
        close(listenFd_);
        throw std::runtime_error("cannot listen on " + path_ + ": " + strerror(errno));
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        close(listenFd_);
        throw std::runtime_error("pipe2 failed");
    }
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
    thread_ = std::thread([this] { loop(); });
}

ControlServer::~ControlServer() {
    char c = 1;
    ssize_t n = write(wakeWrite_, &c, 1);
    (void)n;
    if (thread_.joinable()) thread_.join();
    close(listenFd_);
    close(wakeRead_);
    close(wakeWrite_);
    unlink(path_.c_str());
}

void ControlServer::loop() {
    std::map<int, std::string> clients;  // descriptor -> unfinished input
    for (;;) {
        std::vector<struct pollfd> pfd;
        pfd.push_back({wakeRead_, POLLIN, 0});
        pfd.push_back({listenFd_, POLLIN, 0});
        for (const auto &cl : clients) pfd.push_back({cl.first, POLLIN, 0});
        if (poll(pfd.data(), pfd.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (pfd[0].revents) break;
        if (pfd[1].revents & POLLIN) {
            int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) clients[fd] = std::string();
        }
        for (size_t i = 2; i < pfd.size(); ++i) {
            if (!pfd[i].revents) continue;
            int fd = pfd[i].fd;
            char buf[1024];
            ssize_t n = read(fd, buf, sizeof buf);
            if (n <= 0) {
                close(fd);
                clients.erase(fd);
                continue;
            }
            std::string &in = clients[fd];
            in.append(buf, static_cast<size_t>(n));
            if (in.size() > 65536) in.clear();
            size_t nl;
            while ((nl = in.find('\n')) != std::string::npos) {
                std::string line = in.substr(0, nl);
                in.erase(0, nl + 1);
                std::string reply = executeControl(module_, line) + "\n";
                size_t off = 0;
                while (off < reply.size()) {
                    ssize_t w = write(fd, reply.data() + off, reply.size() - off);
                    if (w < 0 && errno == EINTR) continue;
                    if (w <= 0) break;
                    off += static_cast<size_t>(w);
                }
            }
        }
    }
    for (const auto &cl : clients) close(cl.first);
}

bool sendControl(const std::string &socketPath, const std::string &line, std::string *reply) {
    reply->clear();
    struct sockaddr_un addr;
    memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof addr.sun_path) {
        *reply = "ERROR socket path too long";
        return false;
    }
    memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<struct sockaddr *>(&addr), sizeof addr) != 0) {
        *reply = std::string("ERROR cannot connect to ") + socketPath + ": " + strerror(errno);
        if (fd >= 0) close(fd);
        return false;
    }
    std::string out = line + "\n";
    if (write(fd, out.data(), out.size()) != static_cast<ssize_t>(out.size())) {
        close(fd);
        *reply = "ERROR write failed";
        return false;
    }
    std::string in;
    char buf[1024];
    for (;;) {
        // the reply ends with a line "OK" or "ERROR ..."
        size_t lastStart = std::string::npos;
        if (!in.empty() && in.back() == '\n') {
            size_t prev = in.rfind('\n', in.size() - 2);
            lastStart = prev == std::string::npos ? 0 : prev + 1;
            std::string last = in.substr(lastStart, in.size() - 1 - lastStart);
            if (last == "OK") {
                *reply = in.substr(0, lastStart);
                close(fd);
                return true;
            }
            if (last.compare(0, 5, "ERROR") == 0) {
                *reply = last;
                close(fd);
                return false;
            }
        }
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        in.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    *reply = "ERROR connection closed";
    return false;
}

}  // namespace modemsim
