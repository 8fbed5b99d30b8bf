#include "dialect.h"
#include "sms_dialect.h"
#include "ussd_dialect.h"

#include "call_dialect.h"
#include "data_dialect.h"
#include "simnet_dialect.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace modemsim {

namespace {

std::string fmt(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string fmt(const char *format, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, format);
    vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    return buf;
}

bool startsWith(const std::string &s, const std::string &p) { return s.compare(0, p.size(), p) == 0; }

// The reply of one (sub-)command: intermediate lines and the final result.
struct Result {
    std::vector<std::string> lines;
    std::string final = "OK";
};

Result ok() { return Result(); }
Result ok(std::string line) {
    Result r;
    r.lines.push_back(std::move(line));
    return r;
}
Result fail(std::string final) {
    Result r;
    r.final = std::move(final);
    return r;
}

// Arguments after '=', split on commas outside quotes, quotes removed.
std::vector<std::string> splitArgs(const std::string &text) {
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(cur);
    return out;
}

bool toInt(const std::string &s, int *out) {
    if (s.empty()) return false;
    char *end = nullptr;
    long v = strtol(s.c_str(), &end, 10);
    if (*end != '\0') return false;
    *out = static_cast<int>(v);
    return true;
}

// 27.007 access technology of "+CREG:"-style lines; -1 for CDMA networks
int accessTech(Tech t) {
    switch (t) {
    case Tech::Gsm:
    case Tech::Gprs: return 0;
    case Tech::Edge: return 3;
    case Tech::Umts: return 2;
    case Tech::Hsdpa: return 4;
    case Tech::Hsupa: return 5;
    case Tech::Hspa: return 6;
    case Tech::Lte:
    case Tech::Srlte: return 7;
    default: return -1;
    }
}

// "+CNSMOD:" technology code
int cnsmodCode(Tech t) {
    switch (t) {
    case Tech::Gsm: return 1;
    case Tech::Gprs: return 2;
    case Tech::Edge: return 3;
    case Tech::Umts: return 4;
    case Tech::Hsdpa: return 5;
    case Tech::Hsupa: return 6;
    case Tech::Hspa: return 7;
    case Tech::Lte:
    case Tech::Srlte: return 8;
    default: return 0;
    }
}

bool isLteTech(Tech t) { return t == Tech::Lte || t == Tech::Srlte; }

const char *cmeText(int code) {
    switch (code) {
    case 3: return "operation not allowed";
    case 4: return "operation not supported";
    case 10: return "SIM not inserted";
    case 11: return "SIM PIN required";
    case 12: return "SIM PUK required";
    case 13: return "SIM failure";
    case 14: return "SIM busy";
    case 16: return "incorrect password";
    case 40: return "network personalization PIN required";
    case 30: return "no network service";
    default: return "unknown";
    }
}

// 0 when the card can be read, else the CME code that says why not
int simError(const ModuleState &s) {
    if (!s.sim.present) return 10;
    if (s.sim.readyDelayMs > 0 &&
        std::chrono::steady_clock::now() - s.poweredOn < std::chrono::milliseconds(s.sim.readyDelayMs))
        return 14;
    switch (s.sim.lock) {
    case SimLock::Ready: return 0;
    case SimLock::Pin: return 11;
    case SimLock::Puk: return 12;
    case SimLock::Blocked: return 13;
    case SimLock::PhNet: return 40;
    }
    return 13;
}

// A wrong PIN: one attempt less; the last one blocks the PIN (PUK needed).
void wrongPin(ModuleState &s) {
    if (s.sim.pinAttempts > 0) --s.sim.pinAttempts;
    if (s.sim.pinAttempts == 0) s.sim.lock = SimLock::Puk;
}

bool plausibleCode(const std::string &code) {
    if (code.size() < 4 || code.size() > 16) return false;
    for (char c : code)
        if (c < '0' || c > '9') return false;
    return true;
}

const char *pinCodeName(const ModuleState &s) {
    bool cdma = s.family == Family::Cdma;
    switch (s.sim.lock) {
    case SimLock::Ready: return "READY";
    case SimLock::Pin: return cdma ? "UIM PIN" : "SIM PIN";
    case SimLock::Puk: return cdma ? "UIM PUK" : "SIM PUK";
    case SimLock::Blocked: return cdma ? "UIM PUK" : "SIM PUK";
    case SimLock::PhNet: return "PH-NET PIN";
    }
    return "READY";
}

std::string hexUpper(int v) { return fmt("%X", static_cast<unsigned>(v)); }

std::string mcc(const ModuleState &s) { return s.net.numeric.size() >= 3 ? s.net.numeric.substr(0, 3) : "0"; }
std::string mnc(const ModuleState &s) { return s.net.numeric.size() > 3 ? s.net.numeric.substr(3) : "0"; }

// signal as the module reports it: 99 when there is no service
int csqRssi(const ModuleState &s) { return regView(s).stat ? s.net.rssi : 99; }
int csqBer(const ModuleState &s) { return regView(s).stat ? s.net.ber : 99; }
// CDMA "+RSSI:" value: the signal's magnitude in dBm, 125 for none
int cdmaDbm(const ModuleState &s) {
    int v = 113 - 2 * s.net.rssi;
    if (v < 51) v = 51;
    if (v > 124) v = 124;
    return v;
}

std::string cregLine(const char *prefix, int mode, int stat, const RegView &v, bool unsolicited) {
    std::string head = std::string(prefix) + " ";
    if (!unsolicited) head += fmt("%d,", mode);
    if (mode < 2 || stat == 0) return head + fmt("%d", stat);
    std::string line = head + fmt("%d,\"%04X\",\"%08X\"", stat, static_cast<unsigned>(v.lac),
                                  static_cast<unsigned>(v.cid));
    int act = accessTech(v.tech);
    if (act >= 0) line += fmt(",%d", act);
    return line;
}

// registration state per query: EPS registration only on LTE
int domainStat(const char *prefix, const RegView &v) {
    if (std::string(prefix) == "+CEREG:") return isLteTech(v.tech) ? v.stat : 0;
    return v.stat;
}

int *regModeSlot(ModuleState &s, const std::string &name) {
    if (name == "+CREG") return &s.cregMode;
    if (name == "+CGREG") return &s.cgregMode;
    if (name == "+CEREG") return &s.ceregMode;
    if (name == "+CCREG") return &s.ccregMode;
    return nullptr;
}

// Basic (one-letter) commands: "AT", "ATE0", "ATD...", "ATA", "ATH".
Result basicCommand(ModuleState &s, const std::string &body, Effects *fx) {
    if (body.empty()) return ok();
    char c = body[0];
    if (c == 'D') {
        // a packet-data dial string ("ATD*99#", "ATDT#777")
        DataReply d = answerDataDial(s, fx);
        return fail(d.final);
    }
    if (c == 'I') {
        Result r;
        r.lines.push_back("Manufacturer: SIMULATED");
        r.lines.push_back("Model: " + s.model);
        r.lines.push_back("Revision: " + s.id.firmware);
        return r;
    }
    // settings letters such as "E0Q0V1": honour E, accept the rest
    for (size_t i = 0; i < body.size(); ++i) {
        char letter = body[i];
        if (letter < 'A' || letter > 'Z') return fail(cmeError(s, 4));
        int value = 0;
        if (i + 1 < body.size() && body[i + 1] >= '0' && body[i + 1] <= '9') value = body[++i] - '0';
        if (letter == 'E') s.echo = value != 0;
    }
    return ok();
}

Result cpinCommand(ModuleState &s, bool query, bool test, const std::vector<std::string> &args) {
    if (test) return ok();
    if (query) {
        int e = simError(s);
        if (e == 10 || e == 14 || e == 13) return fail(cmeError(s, e));
        return ok(std::string("+CPIN: ") + pinCodeName(s));
    }
    if (!s.sim.present) return fail(cmeError(s, 10));
    const std::string code = args.empty() ? "" : args[0];
    switch (s.sim.lock) {
    case SimLock::Ready: return fail(cmeError(s, 3));
    case SimLock::Blocked: return fail(cmeError(s, 13));
    case SimLock::Pin:
        if (args.size() != 1) return fail(cmeError(s, 3));
        if (code == s.sim.pin) {
            s.sim.lock = SimLock::Ready;
            s.sim.pinAttempts = 3;
            return ok();
        }
        wrongPin(s);
        return fail(cmeError(s, 16));
    case SimLock::PhNet:
        if (args.size() == 1 && code == s.sim.netKey) {
            s.sim.lock = SimLock::Ready;
            return ok();
        }
        return fail(cmeError(s, 16));
    case SimLock::Puk:
        if (args.size() != 2) return fail(cmeError(s, 12));
        if (code == s.sim.puk && plausibleCode(args[1])) {
            s.sim.lock = SimLock::Ready;
            s.sim.pin = args[1];
            s.sim.pinAttempts = 3;
            s.sim.pukAttempts = 10;
            return ok();
        }
        if (s.sim.pukAttempts > 0) --s.sim.pukAttempts;
        if (s.sim.pukAttempts == 0) s.sim.lock = SimLock::Blocked;
        return fail(cmeError(s, 16));
    }
    return fail(cmeError(s, 3));
}

Result cpwdCommand(ModuleState &s, const std::vector<std::string> &args) {
    if (args.size() < 3) return fail(cmeError(s, 3));
    if (args[0] != "SC") return ok();  // barring passwords are not checked
    int e = simError(s);
    if (e) return fail(cmeError(s, e));
    if (args[1] != s.sim.pin) {
        wrongPin(s);
        return fail(cmeError(s, 16));
    }
    if (!plausibleCode(args[2])) return fail(cmeError(s, 3));
    s.sim.pin = args[2];
    s.sim.pinAttempts = 3;
    return ok();
}

Result clckCommand(ModuleState &s, const std::vector<std::string> &args) {
    if (args.size() < 2) return fail(cmeError(s, 3));
    int mode = 0;
    if (!toInt(args[1], &mode)) return fail(cmeError(s, 3));
    if (args[0] != "SC") {
        if (mode == 2) return ok("+CLCK: 0");
        return ok();
    }
    int e = simError(s);
    if (e) return fail(cmeError(s, e));
    if (mode == 2) return ok(fmt("+CLCK: %d", s.sim.pinEnabled ? 1 : 0));
    if (args.size() < 3 || args[2] != s.sim.pin) {
        wrongPin(s);
        return fail(cmeError(s, 16));
    }
    s.sim.pinEnabled = mode == 1;
    s.sim.pinAttempts = 3;
    return ok();
}

Result sysinfo(const ModuleState &s) {
    RegView v = regView(s);
    int srv = v.stat ? 2 : 0;
    int domain = v.stat ? 3 : 0;
    int roam = v.stat == 5 ? 1 : 0;
    int simst = s.sim.present ? 1 : 255;
    int sixth = v.tech == Tech::Srlte ? 9 : 0;
    return ok(fmt("^SYSINFO: %d,%d,%d,%d,%d,%d,%d", srv, domain, roam, sysMode(v.tech), simst, sixth,
                  sysSubMode(v.tech)));
}

Result copsCommand(ModuleState &s, bool query, bool test, const std::vector<std::string> &args) {
    RegView v = regView(s);
    if (test) {
        std::string line = "+COPS: ";
        if (s.radioOn && s.net.tech != Tech::None) {
            int act = accessTech(s.net.tech);
            line += fmt("(%d,\"%s\",\"%s\",\"%s\",%d),", v.stat ? 2 : 1, s.net.longName.c_str(),
                        s.net.shortName.c_str(), s.net.numeric.c_str(), act < 0 ? 0 : act);
        }
        line += ",(0,1,2,3,4),(0,1,2)";
        return ok(line);
    }
    if (query) {
        if (!v.stat) return ok(fmt("+COPS: %d", s.copsMode));
        const std::string &name = s.copsFormat == 2   ? s.net.numeric
                                  : s.copsFormat == 1 ? s.net.shortName
                                                      : s.net.longName;
        std::string line = fmt("+COPS: %d,%d,\"%s\"", s.copsMode, s.copsFormat, name.c_str());
        int act = accessTech(v.tech);
        if (act >= 0) line += fmt(",%d", act);
        return ok(line);
    }
    int mode = 0;
    if (args.empty() || !toInt(args[0], &mode)) return fail(cmeError(s, 3));
    if (mode == 3) {
        int f = 0;
        if (args.size() < 2 || !toInt(args[1], &f) || f < 0 || f > 2) return fail(cmeError(s, 3));
        s.copsFormat = f;
        return ok();
    }
    if (mode == 1 || mode == 4) {
        // manual selection: only the network the module sees
        if (args.size() < 3) return fail(cmeError(s, 3));
        if (args[2] != s.net.numeric && args[2] != s.net.longName && args[2] != s.net.shortName) {
            if (mode == 1) return fail(cmeError(s, 30));
        }
    }
    s.copsMode = mode;
    return ok();
}

Result extendedCommand(ModuleState &s, const std::string &cmd, const std::vector<std::string> &unknownReply,
                       Effects *fx) {
    // cmd is normalized and begins with "AT" followed by + ^ $ or %
    std::string body = cmd.substr(2);
    std::string name = body;
    bool query = false, test = false, set = false;
    std::vector<std::string> args;
    size_t eq = body.find('=');
    size_t q = body.find('?');
    if (eq != std::string::npos && (q == std::string::npos || eq < q)) {
        name = body.substr(0, eq);
        std::string rest = body.substr(eq + 1);
        if (rest == "?") {
            test = true;
        } else {
            set = true;
            args = splitArgs(rest);
        }
    } else if (q != std::string::npos) {
        name = body.substr(0, q);
        query = true;
    }
    if (Result u; ussdCommand(s, cmd, name, args, &u.lines, &u.final, fx)) return u;  // USSD and toolkit
    const bool exec = !query && !test && !set;
    int e = 0;
    if (Result r; simnetCommand(s, name, query, test, set, args, fx, &r.lines, &r.final)) return r;
    if (DataReply d; answerDataCommand(s, name, query, test, set, args, &d)) return Result{d.lines, d.final};

    if (name == "+CFUN") {
        if (query) return ok(fmt("+CFUN: %d", s.cfun));
        if (test) return ok("+CFUN: (0,1,4),(0,1)");
        int v = 0;
        if (args.empty() || !toInt(args[0], &v) || (v != 0 && v != 1 && v != 4)) return fail(cmeError(s, 3));
        int rst = 0;
        if (args.size() > 1 && toInt(args[1], &rst) && rst == 1) fx->resetModule = true;
        s.cfun = v;
        s.radioOn = v == 1;
        return ok();
    }
    if (name == "+CMEE") {
        if (query) return ok(fmt("+CMEE: %d", s.cmee));
        int v = 0;
        if (set && toInt(args[0], &v) && v >= 0 && v <= 2) s.cmee = v;
        return ok();
    }
    if (name == "+CPIN") return cpinCommand(s, query, test, args);
    if (name == "+CPINAL") {
        if ((e = simError(s)) == 10) return fail(cmeError(s, e));
        return ok(fmt("+CPINAL: %d,%d,%d,%d", s.sim.pinAttempts, s.sim.pukAttempts, s.sim.pin2Attempts,
                      s.sim.puk2Attempts));
    }
    if (name == "^CPIN") {
        if ((e = simError(s)) == 10) return fail(cmeError(s, e));
        int times = s.sim.lock == SimLock::Puk || s.sim.lock == SimLock::Blocked ? s.sim.pukAttempts
                                                                                 : s.sim.pinAttempts;
        return ok(fmt("^CPIN: %s,%d,%d,%d,%d,%d", pinCodeName(s), times, s.sim.pukAttempts, s.sim.pinAttempts,
                      s.sim.puk2Attempts, s.sim.pin2Attempts));
    }
    if (name == "+CPWD") {
        if (test) return ok("+CPWD: (\"SC\",8),(\"P2\",8)");
        return cpwdCommand(s, args);
    }
    if (name == "+CLCK") {
        if (test) return ok("+CLCK: (\"SC\",\"AO\",\"OI\",\"AI\",\"AB\")");
        return clckCommand(s, args);
    }

    // identities
    if (name == "+CIMI") {
        if ((e = simError(s))) return fail(cmeError(s, e));
        if (s.sim.imsi.empty()) return fail(cmeError(s, 4));
        return ok(s.sim.imsi);  // bare digits, as real modules answer
    }
    if (name == "+QCIMI") {
        if ((e = simError(s))) return fail(cmeError(s, e));
        if (s.sim.cdmaImsi.empty()) return fail(cmeError(s, 4));
        return ok("+QCIMI: " + s.sim.cdmaImsi);
    }
    if (name == "+CIMIM") {
        if ((e = simError(s))) return fail(cmeError(s, e));
        if (s.sim.imsi.empty()) return fail(cmeError(s, 4));
        return ok("+CIMIM: " + s.sim.imsi);
    }
    if (name == "+CGSN") {
        if (s.id.imei.empty()) return fail(cmeError(s, 4));
        return ok(s.id.imei);
    }
    if (name == "+GSN") {
        if (s.id.esn.empty()) return fail(cmeError(s, 4));
        return ok("+GSN: " + s.id.esn);
    }
    if (name == "^MEID") {
        if (s.id.meid.empty()) return fail(cmeError(s, 4));
        return ok("^MEID: " + s.id.meid);
    }
    if (name == "+CGMR") return ok(s.id.firmware);
    if (name == "+CGMI") return ok("SIMULATED");
    if (name == "+CGMM") return ok(s.model);
    if (name == "+ICCID" || name == "+CICCID" || name == "+UIMID") {
        if ((e = simError(s)) == 10 || e == 14) return fail(cmeError(s, e));
        if (name == "+UIMID") return ok("+UIMID: " + s.sim.iccid);
        // the 8909-kind module drops the '+' when asked without '?'
        if (name == "+ICCID" && exec && s.model == "lte8909") return ok("ICCID: " + s.sim.iccid);
        return ok("+ICCID: " + s.sim.iccid);
    }
    if (name == "+CNUM") {
        if ((e = simError(s))) return fail(cmeError(s, e));
        if (s.sim.number.empty()) return ok();
        return ok(fmt("+CNUM: \"\",\"%s\",%d", s.sim.number.c_str(), s.sim.number[0] == '+' ? 145 : 129));
    }
    if (name == "+HWINFO") {
        if (s.id.hwinfo < 0) return fail("ERROR");
        return ok(fmt("+HWINFO: %d", s.id.hwinfo));
    }

    // registration
    if (int *mode = regModeSlot(s, name)) {
        const std::string prefix = name + ":";
        if (test) return ok(prefix + " (0-2)");
        if (set) {
            int v = 0;
            if (!toInt(args[0], &v) || v < 0 || v > 2) return fail(cmeError(s, 3));
            *mode = v;
            return ok();
        }
        RegView v = regView(s);
        return ok(cregLine(prefix.c_str(), *mode, packetStat(s, prefix, domainStat(prefix.c_str(), v)), v, false));
    }
    if (name == "^SYSINFO") return sysinfo(s);
    if (name == "+COPS") return copsCommand(s, query, test, args);
    if (name == "+CNSMOD") {
        if (set) {
            toInt(args[0], &s.cnsmodReport);
            return ok();
        }
        return ok(fmt("+CNSMOD: %d,%d", s.cnsmodReport, cnsmodCode(regView(s).tech)));
    }
    if (name == "+CPREFMODE") {
        if (set) {
            int v = 0;
            if (!toInt(args[0], &v)) return fail(cmeError(s, 3));
            s.cprefMode = v;
            return ok();
        }
        return ok(fmt("+CPREFMODE: %d,0,%d", s.cprefMode, s.sim.present ? 1 : 0));
    }
    if (name == "^PREFMODE") {
        if (set) {
            int v = 0;
            if (!toInt(args[0], &v)) return fail(cmeError(s, 3));
            s.prefMode = v;
            return ok();
        }
        return ok(fmt("^PREFMODE: %d", s.prefMode));
    }
    if (name == "^MODECONFIG") {
        if (set) {
            int v = 0;
            if (!toInt(args[0], &v)) return fail(cmeError(s, 3));
            s.modeConfig = v;
            return ok();
        }
        return ok(fmt("^MODECONFIG: %d", s.modeConfig));
    }
    if (name == "^HOMESNID") {
        RegView v = regView(s);
        if (!v.stat) return ok("^HOMESNID: 0,0");
        return ok(fmt("^HOMESNID: %d,%d", s.net.sid, s.net.nid));
    }
    if (name == "^GPSNWINFO") {
        RegView v = regView(s);
        if (!v.stat) return ok("^GPSNWINFO: 0,0,0,0,0");
        return ok(fmt("^GPSNWINFO: %d,%d,%d,2282954,6925210", s.net.cid, s.net.sid, s.net.nid));
    }

    // signal
    if (name == "+CSQ") {
        if (test) return ok("+CSQ: (0-31,99),(0-7,99)");
        return ok(fmt("+CSQ: %d,%d", csqRssi(s), csqBer(s)));
    }
    if (name == "+CCSQ") return ok(fmt("+CCSQ: %d,%d", csqRssi(s), csqBer(s)));
    if (name == "+RSSI") {
        RegView v = regView(s);
        int c = v.stat && (v.tech == Tech::Cdma1x || v.tech == Tech::Hybrid) ? cdmaDbm(s) : 125;
        int d = v.stat && (v.tech == Tech::Evdo || v.tech == Tech::Hybrid) ? cdmaDbm(s) : 125;
        return ok(fmt("+RSSI: %d,%d", c, d));
    }
    if (name == "^HDRCSQ") {
        RegView v = regView(s);
        int level = 0;
        if (v.stat && (v.tech == Tech::Evdo || v.tech == Tech::Hybrid)) {
            int r = s.net.rssi;
            level = r >= 25 ? 80 : r >= 18 ? 60 : r >= 12 ? 40 : r >= 6 ? 20 : 0;
        }
        return ok(fmt("^HDRCSQ: %d", level));
    }
    if (name == "+SERVERINFO") {
        RegView v = regView(s);
        if (!v.stat) return fail(cmeError(s, 30));
        return ok(fmt("+SERVERINFO: %s,%s,%s,%s,%d,%d,%d,%d,%d", mcc(s).c_str(), mnc(s).c_str(),
                      hexUpper(v.lac).c_str(), hexUpper(v.cid).c_str(), 101, 38950, s.net.rsrp, s.net.rsrq,
                      s.net.sinr));
    }
    if (name == "+SCELLINFO") {
        RegView v = regView(s);
        if (!v.stat) return fail(cmeError(s, 30));
        return ok(fmt("+SCELLINFO: %s,%s,%d,%s,%s,%d,%d", mcc(s).c_str(), mnc(s).c_str(), 38950,
                      hexUpper(v.lac).c_str(), hexUpper(v.cid).c_str(), 101, s.net.rsrp));
    }

    // module control
    if (name == "^RESET") {
        fx->resetModule = true;
        return ok();
    }

    // messaging (sms_dialect.cpp)
    {
        Result r;
        if (answerSmsCommand(s, name, set, query, test, args, &r.lines, &r.final, fx)) return r;
    }
    if (name == "+CMGF") {
        if (query) return ok(fmt("+CMGF: %d", s.smsFormat));
        if (set) toInt(args[0], &s.smsFormat);
        return ok();
    }

    // anything else: the configured answer for unknown commands
    Result r;
    if (unknownReply.empty()) return r;
    r.lines.assign(unknownReply.begin(), unknownReply.end() - 1);
    r.final = unknownReply.back();
    return r;
}

bool isSuccessFinal(const std::string &f) { return f == "OK" || startsWith(f, "CONNECT"); }

}  // namespace

std::string cmeError(const ModuleState &s, int code) {
    if (s.cmee == 0) return "ERROR";
    if (s.cmee == 2) return std::string("+CME ERROR: ") + cmeText(code);
    return fmt("+CME ERROR: %d", code);
}

std::string normalizeCommand(const std::string &raw) {
    std::string out;
    bool quoted = false;
    for (char c : raw) {
        if (c == '"') quoted = !quoted;
        if (!quoted) {
            if (c == ' ' || c == '\t') continue;
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
        out += c;
    }
    return out;
}

std::vector<std::string> splitCompound(const std::string &normalized) {
    std::vector<std::string> parts;
    if (startsWith(normalized, "ATD")) {
        // the dial string ends at its semicolon; the line may go on after it
        bool quoted = false;
        for (size_t i = 3; i < normalized.size(); i++) {
            if (normalized[i] == '"') quoted = !quoted;
            if (normalized[i] != ';' || quoted) continue;
            parts.push_back(normalized.substr(0, i + 1));
            if (i + 1 < normalized.size())
                for (const std::string &p : splitCompound("AT" + normalized.substr(i + 1))) parts.push_back(p);
            return parts;
        }
        return {normalized};
    }
    std::string cur;
    bool quoted = false;
    for (char c : normalized) {
        if (c == '"') quoted = !quoted;
        if (c == ';' && !quoted) {
            parts.push_back(cur);
            cur.clear();
            continue;
        }
        cur += c;
    }
    parts.push_back(cur);
    for (size_t i = 1; i < parts.size(); ++i) {
        if (!startsWith(parts[i], "AT")) parts[i] = "AT" + parts[i];
    }
    // a trailing ';' leaves an empty last part
    if (parts.size() > 1 && parts.back() == "AT") parts.pop_back();
    return parts;
}

std::vector<std::string> answerCommand(ModuleState &s, const std::string &raw,
                                       const std::vector<std::string> &unknownReply, Effects *fx) {
    std::string norm = normalizeCommand(raw);
    if (!startsWith(norm, "AT")) return {"ERROR"};
    std::vector<std::string> out;
    for (const std::string &part : splitCompound(norm)) {
        Result r;
        std::string body = part.substr(2);
        if (part == "ATH" || part == "ATH0") s.data.connected = false;  // ends a data call too
        if (callCommand(s, part, &r.lines, &r.final, fx)) {
        } else if (body.empty() || (body[0] != '+' && body[0] != '^' && body[0] != '$' && body[0] != '%'))
            r = basicCommand(s, body, fx);
        else
            r = extendedCommand(s, part, unknownReply, fx);
        out.insert(out.end(), r.lines.begin(), r.lines.end());
        if (fx->pduPrompt) return out;  // the result comes after the PDU
        if (!isSuccessFinal(r.final) || fx->dataMode) {
            if (!r.final.empty()) out.push_back(r.final);
            return out;
        }
    }
    out.push_back("OK");
    return out;
}

std::vector<std::string> answerPdu(ModuleState &s, const std::string &pduCommand, const std::string &pdu) {
    return answerSmsPdu(s, pduCommand, pdu);
}

int sysMode(Tech t) {
    switch (t) {
    case Tech::None: return 0;
    case Tech::Gsm:
    case Tech::Gprs:
    case Tech::Edge: return 3;
    case Tech::Umts:
    case Tech::Hsdpa:
    case Tech::Hsupa:
    case Tech::Hspa: return 5;
    case Tech::Cdma1x: return 2;
    case Tech::Evdo: return 4;
    case Tech::Hybrid: return 8;
    case Tech::Lte:
    case Tech::Srlte: return 9;
    }
    return 0;
}

int sysSubMode(Tech t) {
    switch (t) {
    case Tech::Gsm: return 1;
    case Tech::Gprs: return 2;
    case Tech::Edge: return 3;
    case Tech::Umts: return 4;
    case Tech::Hsdpa: return 5;
    case Tech::Hsupa: return 6;
    case Tech::Hspa: return 7;
    default: return 0;
    }
}

std::vector<std::string> registrationLines(const ModuleState &s, const RegView &before, const RegView &after) {
    std::vector<std::string> out;
    struct Domain {
        const char *prefix;
        int mode;
    };
    const Domain domains[] = {{"+CREG:", s.cregMode},
                              {"+CGREG:", s.cgregMode},
                              {"+CEREG:", s.ceregMode},
                              {"+CCREG:", s.ccregMode}};
    for (const Domain &d : domains) {
        if (d.mode == 0) continue;
        int sb = domainStat(d.prefix, before), sa = domainStat(d.prefix, after);
        bool changed = sb != sa || (sa && d.mode == 2 && (before.lac != after.lac || before.cid != after.cid ||
                                                          accessTech(before.tech) != accessTech(after.tech)));
        if (changed) out.push_back(cregLine(d.prefix, d.mode, sa, after, true));
    }
    if (sysMode(before.tech) != sysMode(after.tech) || sysSubMode(before.tech) != sysSubMode(after.tech))
        out.push_back(fmt("^MODE: %d,%d", sysMode(after.tech), sysSubMode(after.tech)));
    return out;
}

std::vector<std::string> simRemovedLines(const ModuleState &s) {
    if (s.family == Family::Cdma) return {"^SIMST: 255"};
    return {"+SIMCARD: NOT AVAILABLE"};
}

std::vector<std::string> simInsertedLines(const ModuleState &s) {
    if (s.family == Family::Cdma) return {"^SIMST: 1"};
    return {std::string("+CPIN: ") + pinCodeName(s)};
}

std::vector<std::string> simExchangedLines(const ModuleState &s) {
    if (s.family == Family::Cdma) return {"^SIMST: 1"};
    return {"^SIMCHG: 1"};
}

std::vector<std::string> incomingSmsLines(const ModuleState &s, const std::string &pdu) {
    (void)s;
    // the length counts the TPDU octets, after the SMSC part
    size_t octets = pdu.size() / 2;
    size_t smsc = 0;
    if (pdu.size() >= 2) smsc = static_cast<size_t>(strtol(pdu.substr(0, 2).c_str(), nullptr, 16)) + 1;
    size_t len = octets > smsc ? octets - smsc : octets;
    return {fmt("+CMT: ,%zu", len), pdu};
}

std::vector<std::string> networkUssdLines(const ModuleState &s, const std::string &text) {
    (void)s;
    return {"+CUSD: 1,\"" + text + "\",15"};
}

}  // namespace modemsim
