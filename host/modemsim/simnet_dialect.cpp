#include "simnet_dialect.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace modemsim {

namespace {

std::string fmt(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string fmt(const char *format, ...) {
    char buf[1024];
    va_list ap;
    va_start(ap, format);
    vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    return buf;
}

bool toInt(const std::string &s, int *out) {
    if (s.empty()) return false;
    char *end = nullptr;
    long v = strtol(s.c_str(), &end, 10);
    if (*end != '\0') return false;
    *out = static_cast<int>(v);
    return true;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool fromHex(const std::string &hex, std::vector<unsigned char> *out) {
    if (hex.size() % 2) return false;
    out->clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        int h = hexDigit(hex[i]), l = hexDigit(hex[i + 1]);
        if (h < 0 || l < 0) return false;
        out->push_back(static_cast<unsigned char>(h << 4 | l));
    }
    return true;
}

std::string toHex(const std::vector<unsigned char> &b, size_t from = 0, size_t n = std::string::npos) {
    static const char d[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = from; i < b.size() && (n == std::string::npos || i < from + n); i++) {
        out += d[b[i] >> 4];
        out += d[b[i] & 15];
    }
    return out;
}

// BCD digits with the nibbles of each pair swapped, padded with F
std::vector<unsigned char> swappedBcd(const std::string &digits, size_t bytes) {
    std::vector<unsigned char> out(bytes, 0xFF);
    for (size_t i = 0; i < digits.size() && i / 2 < bytes; i++) {
        int v = hexDigit(digits[i]);
        if (v < 0) v = 0xF;
        if (i % 2 == 0)
            out[i / 2] = static_cast<unsigned char>(0xF0 | v);
        else
            out[i / 2] = static_cast<unsigned char>((out[i / 2] & 0x0F) | v << 4);
    }
    return out;
}

std::vector<unsigned char> imsiFile(const std::string &imsi) {
    std::vector<unsigned char> f(9, 0xFF);
    if (imsi.empty()) return f;
    // length, then the parity nibble (9: odd number of digits) before the first digit
    std::string nibbles = std::string(1, imsi.size() % 2 ? '9' : '1') + imsi;
    std::vector<unsigned char> b = swappedBcd(nibbles, 8);
    f[0] = 8;
    for (size_t i = 0; i < 8; i++) f[i + 1] = b[i];
    return f;
}

std::vector<unsigned char> dialRecord(const std::string &alpha, const std::string &number, size_t alphaLen) {
    std::vector<unsigned char> r(alphaLen + 14, 0xFF);
    for (size_t i = 0; i < alpha.size() && i < alphaLen; i++) r[i] = static_cast<unsigned char>(alpha[i]);
    if (!number.empty()) {
        std::string digits = number[0] == '+' ? number.substr(1) : number;
        std::vector<unsigned char> bcd = swappedBcd(digits, 10);
        r[alphaLen] = static_cast<unsigned char>(1 + (digits.size() + 1) / 2);
        r[alphaLen + 1] = number[0] == '+' ? 0x91 : 0x81;
        for (size_t i = 0; i < 10; i++) r[alphaLen + 2 + i] = bcd[i];
    }
    return r;
}

void addFile(std::map<int, CardFile> &m, int id, int parent, bool df, int structure, int recLen,
             std::vector<unsigned char> data) {
    CardFile f;
    f.id = id;
    f.parent = parent;
    f.df = df;
    f.structure = structure;
    f.recordLength = recLen;
    f.data = std::move(data);
    m[id] = f;
}

std::vector<unsigned char> records(size_t count, size_t len, std::vector<unsigned char> first = {}) {
    std::vector<unsigned char> out(count * len, 0xFF);
    for (size_t i = 0; i < first.size() && i < len; i++) out[i] = first[i];
    return out;
}

void ensureFiles(ModuleState &s) {
    SimnetState &c = s.simnet;
    std::string key = s.sim.iccid + "/" + s.sim.imsi + "/" + s.sim.number + (c.iccidFile ? "" : "/noiccid");
    if (!c.files.empty() && c.filesFor == key) return;
    c.files.clear();
    c.filesFor = key;
    auto &m = c.files;
    addFile(m, 0x3F00, 0, true, 0, 0, {});
    if (c.iccidFile) addFile(m, 0x2FE2, 0x3F00, false, 0, 0, swappedBcd(s.sim.iccid, 10));
    addFile(m, 0x7F10, 0x3F00, true, 0, 0, {});  // telecom
    addFile(m, 0x7F20, 0x3F00, true, 0, 0, {});  // GSM
    addFile(m, 0x7FFF, 0x3F00, true, 0, 0, {});  // the USIM application
    addFile(m, 0x7F25, 0x3F00, true, 0, 0, {});  // RUIM
    addFile(m, 0x6F07, 0x7F20, false, 0, 0, imsiFile(s.sim.imsi));
    addFile(m, 0x6FAD, 0x7F20, false, 0, 0, {0x00, 0x00, 0x00, 0x02});
    std::vector<unsigned char> spn(17, 0xFF);
    const std::string name = "SIMULATED";
    spn[0] = 0x01;
    for (size_t i = 0; i < name.size(); i++) spn[i + 1] = static_cast<unsigned char>(name[i]);
    addFile(m, 0x6F46, 0x7F20, false, 0, 0, spn);
    addFile(m, 0x6F40, 0x7F10, false, 1, 28, records(2, 28, dialRecord("", s.sim.number, 14)));
    addFile(m, 0x6F3A, 0x7F10, false, 1, 28, records(10, 28, dialRecord("Service", "10086", 14)));
    addFile(m, 0x6F3B, 0x7F10, false, 1, 28, records(10, 28));
    std::vector<unsigned char> sms(10 * 176, 0xFF);
    for (size_t i = 0; i < 10; i++) sms[i * 176] = 0x00;  // free records
    addFile(m, 0x6F3C, 0x7F10, false, 1, 176, sms);
    addFile(m, 0x6F38, 0x7F25, false, 0, 0, std::vector<unsigned char>(8, 0x00));
    addFile(m, 0x6F90, 0x7F25, false, 0, 0, std::vector<unsigned char>(126, 0xFF));
}

// USIM file control parameters of a file
std::vector<unsigned char> fcp(const CardFile &f) {
    std::vector<unsigned char> body;
    if (f.df) {
        body = {0x82, 0x02, 0x78, 0x21, 0x83, 0x02, (unsigned char)(f.id >> 8), (unsigned char)f.id, 0x8A, 0x01, 0x05};
    } else {
        size_t size = f.data.size();
        if (f.structure == 0) {
            body = {0x82, 0x02, 0x41, 0x21};
        } else {
            unsigned char d = f.structure == 3 ? 0x46 : 0x42;
            body = {0x82, 0x05, d, 0x21, 0x00, (unsigned char)f.recordLength,
                    (unsigned char)(f.recordLength ? size / (size_t)f.recordLength : 0)};
        }
        std::vector<unsigned char> rest = {0x83, 0x02, (unsigned char)(f.id >> 8), (unsigned char)f.id, 0x8A, 0x01,
                                           0x05, 0x80, 0x02, (unsigned char)(size >> 8), (unsigned char)size};
        body.insert(body.end(), rest.begin(), rest.end());
    }
    std::vector<unsigned char> out = {0x62, (unsigned char)body.size()};
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// SIM GET RESPONSE (15 bytes) of a file
std::vector<unsigned char> simResponse(const CardFile &f) {
    size_t size = f.data.size();
    std::vector<unsigned char> r(15, 0x00);
    r[2] = (unsigned char)(size >> 8);
    r[3] = (unsigned char)size;
    r[4] = (unsigned char)(f.id >> 8);
    r[5] = (unsigned char)f.id;
    r[6] = f.df ? (f.id == 0x3F00 ? 0x01 : 0x02) : 0x04;
    if (!f.df) {
        r[8] = 0x11;
        r[9] = 0xFF;
        r[10] = 0x55;
        r[11] = 0x01;
        r[12] = 0x02;
        r[13] = (unsigned char)f.structure;
        r[14] = (unsigned char)f.recordLength;
    }
    return r;
}

struct Sw {
    int sw1, sw2;
    std::vector<unsigned char> data;
    bool hasData = false;
};

Sw notFound(const ModuleState &s) { return s.simnet.usim ? Sw{106, 130, {}, false} : Sw{148, 4, {}, false}; }

// One card access: the answer's status words and data
Sw cardAccess(ModuleState &s, int command, int fileid, int p1, int p2, int p3, const std::string &dataHex,
              bool usimAnswer) {
    ensureFiles(s);
    auto it = s.simnet.files.find(fileid);
    if (it == s.simnet.files.end()) return notFound(s);
    CardFile &f = it->second;
    switch (command) {
    case 192: {  // GET RESPONSE
        Sw r{144, 0, usimAnswer ? fcp(f) : simResponse(f), true};
        return r;
    }
    case 176: {  // READ BINARY
        if (f.df || f.structure != 0) return {105, 129, {}, false};
        size_t off = (size_t)(p1 << 8 | p2);
        size_t n = p3 == 0 ? f.data.size() - (off < f.data.size() ? off : f.data.size()) : (size_t)p3;
        if (off >= f.data.size()) return {107, 0, {}, false};
        if (off + n > f.data.size()) return {103, 0, {}, false};
        return {144, 0, std::vector<unsigned char>(f.data.begin() + (long)off, f.data.begin() + (long)(off + n)), true};
    }
    case 178: {  // READ RECORD, absolute
        if (f.df || f.structure == 0) return {105, 129, {}, false};
        size_t count = f.data.size() / (size_t)f.recordLength;
        if (p2 != 4 || p1 < 1 || (size_t)p1 > count) return s.simnet.usim ? Sw{106, 131, {}, false} : Sw{148, 2, {}, false};
        if (p3 != 0 && p3 != f.recordLength) return {103, f.recordLength, {}, false};
        size_t off = (size_t)(p1 - 1) * (size_t)f.recordLength;
        return {144, 0,
                std::vector<unsigned char>(f.data.begin() + (long)off, f.data.begin() + (long)off + f.recordLength),
                true};
    }
    case 214: {  // UPDATE BINARY
        std::vector<unsigned char> d;
        if (f.df || f.structure != 0) return {105, 129, {}, false};
        if (!fromHex(dataHex, &d) || d.size() != (size_t)p3) return {103, 0, {}, false};
        size_t off = (size_t)(p1 << 8 | p2);
        if (off + d.size() > f.data.size()) return {107, 0, {}, false};
        for (size_t i = 0; i < d.size(); i++) f.data[off + i] = d[i];
        return {144, 0, {}, false};
    }
    case 220: {  // UPDATE RECORD, absolute
        std::vector<unsigned char> d;
        if (f.df || f.structure == 0) return {105, 129, {}, false};
        size_t count = f.data.size() / (size_t)f.recordLength;
        if (p2 != 4 || p1 < 1 || (size_t)p1 > count) return s.simnet.usim ? Sw{106, 131, {}, false} : Sw{148, 2, {}, false};
        if (!fromHex(dataHex, &d) || d.size() != (size_t)f.recordLength) return {103, f.recordLength, {}, false};
        size_t off = (size_t)(p1 - 1) * (size_t)f.recordLength;
        for (size_t i = 0; i < d.size(); i++) f.data[off + i] = d[i];
        return {144, 0, {}, false};
    }
    default: return {109, 0, {}, false};
    }
}

std::string swLine(const char *prefix, const Sw &r) {
    if (r.hasData) return fmt("%s %d,%d,\"%s\"", prefix, r.sw1, r.sw2, toHex(r.data).c_str());
    return fmt("%s %d,%d", prefix, r.sw1, r.sw2);
}

// a path of DF ids, optionally ending with the file itself
bool pathHolds(ModuleState &s, const std::string &path, int fileid) {
    if (path.empty() || path.size() % 4) return false;
    ensureFiles(s);
    for (size_t i = 0; i < path.size(); i += 4) {
        int id = (int)strtol(path.substr(i, 4).c_str(), nullptr, 16);
        bool last = i + 4 == path.size();
        if (last && id == fileid) return true;
        auto it = s.simnet.files.find(id);
        if (it == s.simnet.files.end() || !it->second.df) return false;
    }
    return true;
}

bool isBarring(const std::string &f) {
    static const char *const kBarring[] = {"AO", "OI", "OX", "AI", "IR", "AB", "AG", "AC"};
    for (const char *b : kBarring)
        if (f == b) return true;
    return false;
}

bool plausibleCode(const std::string &c) {
    if (c.size() < 4 || c.size() > 8) return false;
    for (char ch : c)
        if (ch < '0' || ch > '9') return false;
    return true;
}

// checks a barring password or PIN2; false with the error code when wrong
bool checkPassword(ModuleState &s, const std::string &facility, const std::string &pw, int *cme) {
    if (facility == "FD" || facility == "P2") {
        if (s.sim.pin2Attempts <= 0) {
            *cme = 18;
            return false;
        }
        if (pw != s.simnet.pin2) {
            --s.sim.pin2Attempts;
            *cme = s.sim.pin2Attempts <= 0 ? 18 : 16;
            return false;
        }
        s.sim.pin2Attempts = 3;
        return true;
    }
    if (s.simnet.barringAttempts <= 0) {
        *cme = 3;
        return false;
    }
    if (pw != s.simnet.barringPassword) {
        --s.simnet.barringAttempts;
        *cme = 16;
        return false;
    }
    s.simnet.barringAttempts = 3;
    return true;
}

int actOf(Tech t) {
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
    default: return 0;
    }
}

}  // namespace

const CardFile *cardFile(ModuleState &s, int id) {
    ensureFiles(s);
    auto it = s.simnet.files.find(id);
    return it == s.simnet.files.end() ? nullptr : &it->second;
}

std::string nitzLine(const std::string &text) {
    if (!text.empty()) return "%CTZV: \"" + text + "\"";
    time_t now = time(nullptr);
    struct tm t;
    gmtime_r(&now, &t);
    char buf[64];
    strftime(buf, sizeof buf, "%y/%m/%d,%H:%M:%S", &t);
    return std::string("%CTZV: \"") + buf + "+00,0\"";
}

bool simnetCommand(ModuleState &s, const std::string &name, bool query, bool test, bool set,
                   const std::vector<std::string> &args, Effects *fx, std::vector<std::string> *lines,
                   std::string *final) {
    *final = "OK";
    auto fail = [&](int code) {
        *final = cmeError(s, code);
        return true;
    };
    // the card's files
    if (name == "+CRSM" || name == "^RRU") {
        if (test) return true;
        if (!set || args.size() < 5) return fail(3);
        int v[5];
        for (int i = 0; i < 5; i++)
            if (!toInt(args[(size_t)i], &v[i])) return fail(3);
        if (int e = s.sim.present ? (s.sim.lock == SimLock::Ready ? 0 : 11) : 10) return fail(e);
        std::string data = args.size() > 5 ? args[5] : "";
        bool rru = name == "^RRU";
        if (rru) {
            std::string path = args.size() > 6 ? args[6] : "";
            if (!pathHolds(s, path, v[1])) {
                lines->push_back(swLine("^RRU:", notFound(s)));
                return true;
            }
        }
        // the CDMA module and USIM cards answer file control parameters
        bool usimAnswer = rru || s.simnet.usim;
        lines->push_back(swLine(rru ? "^RRU:" : "+CRSM:", cardAccess(s, v[0], v[1], v[2], v[3], v[4], data, usimAnswer)));
        return true;
    }
    if (name == "+CSIM") {
        if (!set || args.size() < 2) return fail(3);
        if (!s.sim.present) return fail(10);
        std::vector<unsigned char> apdu;
        if (!fromHex(args[1], &apdu) || apdu.size() < 4) return fail(3);
        int ins = apdu[1], p1 = apdu[2], p2 = apdu[3];
        std::string out;
        int &current = s.simnet.csimCurrent;
        if (ins == 0xA4 && apdu.size() >= 7) {
            int id = apdu[5] << 8 | apdu[6];
            const CardFile *f = cardFile(s, id);
            if (f == nullptr) {
                out = "6A82";
            } else {
                current = id;
                out = s.simnet.usim ? fmt("61%02X", (unsigned)fcp(*f).size()) : "9F0F";
            }
        } else if (ins == 0xC0) {
            const CardFile *f = cardFile(s, current);
            out = f ? toHex(s.simnet.usim ? fcp(*f) : simResponse(*f)) + "9000" : "6F00";
        } else if (ins == 0xB0 || ins == 0xB2) {
            int le = apdu.size() > 4 ? apdu[4] : 0;
            Sw r = cardAccess(s, ins == 0xB0 ? 176 : 178, current, p1, p2, le, "", s.simnet.usim);
            out = (r.hasData ? toHex(r.data) : "") + fmt("%02X%02X", r.sw1, r.sw2);
        } else {
            out = "6D00";
        }
        lines->push_back(fmt("+CSIM: %zu,\"%s\"", out.size(), out.c_str()));
        return true;
    }
    if (name == "+QCCID") {
        if (!s.sim.present) return fail(10);
        if (!s.simnet.iccidFile) return fail(13);
        lines->push_back("+QCCID: " + s.sim.iccid);
        return true;
    }

    // facility locks beyond the card PIN
    if (name == "+CLCK" && set && !args.empty() && args[0] != "SC") {
        const std::string &fac = args[0];
        if (!isBarring(fac) && fac != "FD") return fail(4);
        int mode = 0;
        if (args.size() < 2 || !toInt(args[1], &mode) || mode < 0 || mode > 2) return fail(3);
        if (!s.sim.present) return fail(10);
        Facility &f = s.simnet.facilities[fac];
        if (mode == 2) {
            if (fac == "AB" || fac == "AG" || fac == "AC") {
                bool any = false;
                for (const auto &kv : s.simnet.facilities) any = any || (kv.second.active && isBarring(kv.first));
                lines->push_back(any ? "+CLCK: 1,7" : "+CLCK: 0");
            } else {
                lines->push_back(f.active ? fmt("+CLCK: 1,%d", f.serviceClass) : "+CLCK: 0");
            }
            return true;
        }
        int cme = 0;
        if (!checkPassword(s, fac, args.size() > 2 ? args[2] : "", &cme)) return fail(cme);
        // the group facilities only unlock
        if ((fac == "AB" || fac == "AG" || fac == "AC") && mode == 1) return fail(3);
        if (fac == "AB" || fac == "AG" || fac == "AC") {
            for (auto &kv : s.simnet.facilities) kv.second.active = false;
            return true;
        }
        f.active = mode == 1;
        int cls = 7;
        if (args.size() > 3 && toInt(args[3], &cls)) f.serviceClass = cls;
        return true;
    }
    if (name == "+CPWD" && set && !args.empty() && args[0] != "SC") {
        const std::string &fac = args[0];
        if (!isBarring(fac) && fac != "P2") return fail(4);
        if (args.size() < 3) return fail(3);
        int cme = 0;
        if (!checkPassword(s, fac, args[1], &cme)) return fail(cme);
        if (!plausibleCode(args[2])) return fail(3);
        if (fac == "P2")
            s.simnet.pin2 = args[2];
        else
            s.simnet.barringPassword = args[2];
        return true;
    }

    // network selection
    if (name == "+COPS" && test) {
        std::string line = "+COPS: ";
        RegView v = regView(s);
        if (s.radioOn) {
            if (s.net.tech != Tech::None)
                line += fmt("(%d,\"%s\",\"%s\",\"%s\",%d),", v.stat ? 2 : 1, s.net.longName.c_str(),
                            s.net.shortName.c_str(), s.net.numeric.c_str(), actOf(s.net.tech));
            for (const auto &n : s.simnet.visible) {
                if (n.numeric == s.net.numeric && s.net.tech != Tech::None) continue;
                line += fmt("(%d,\"%s\",\"%s\",\"%s\",%d),", n.forbidden ? 3 : 1, n.longName.c_str(),
                            n.shortName.c_str(), n.numeric.c_str(), actOf(s.net.tech == Tech::None ? Tech::Umts : s.net.tech));
            }
        }
        if (line.back() != ',') line += ',';
        line += ",(0,1,2,3,4),(0,1,2)";
        lines->push_back(line);
        fx->replyDelayMs = s.simnet.scanDelayMs;
        return true;
    }
    if (name == "+COPS" && set && !args.empty() && (args[0] == "1" || args[0] == "4")) {
        if (args.size() < 3) return fail(3);
        const std::string &oper = args[2];
        if (oper == s.net.numeric || oper == s.net.longName) {
            if (s.net.tech == Tech::None) return fail(30);
            s.copsMode = args[0] == "1" ? 1 : 4;
            return true;
        }
        for (const auto &n : s.simnet.visible) {
            if (oper != n.numeric && oper != n.longName) continue;
            if (n.forbidden || s.net.tech == Tech::None || !s.radioOn) return fail(30);
            // attach to the chosen network; the registration lines follow
            s.net.numeric = n.numeric;
            s.net.longName = n.longName;
            s.net.shortName = n.shortName;
            s.copsMode = args[0] == "1" ? 1 : 4;
            return true;
        }
        return fail(30);
    }
    if (name == "%SYSCFG") {
        if (query) {
            lines->push_back(fmt("%%SYSCFG: %d,%d", s.simnet.syscfgMode, s.simnet.syscfgOrder));
            return true;
        }
        int m = 0, o = 0;
        if (!set || args.size() < 2 || !toInt(args[0], &m) || !toInt(args[1], &o)) return fail(3);
        s.simnet.syscfgMode = m;
        s.simnet.syscfgOrder = o;
        return true;
    }

    // vendor commands of the CDMA module
    if (s.family == Family::Cdma) {
        if (name == "+NETPAR") {
            if (!set || args.empty() || args[0] != "2") return fail(3);
            lines->push_back("+NETPAR: " + s.simnet.netpar);
            return true;
        }
        if (name == "^GPSMODE" && set) {
            int v = 0;
            if (args.empty() || !toInt(args[0], &v) || v < 1 || v > 3) return fail(3);
            s.simnet.gpsMode = v;
            return true;
        }
        if (name == "^GPSLOC" && set) {
            s.simnet.gpsLocating = !args.empty() && args[0] == "1";
            return true;
        }
        if (name == "^GPSFMT" && set) {
            if (!args.empty()) s.simnet.gpsFormats.push_back(args[0]);
            return true;
        }
        if ((name == "^GPSPSWORD" || name == "^GPSMPCIP" || name == "^GPSLUPD") && set) return true;
    }
    return false;
}

}  // namespace modemsim
