#include "ussd_dialect.h"

#include <cstdio>

#include "simulated_module.h"

namespace modemsim {

namespace {

// code points of UTF-8 text; a broken sequence gives U+FFFD
std::vector<unsigned> codePoints(const std::string &utf8) {
    std::vector<unsigned> out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char b = static_cast<unsigned char>(utf8[i]);
        int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
        if (extra < 0 || (extra > 0 && i + extra >= utf8.size())) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        unsigned cp = extra == 0 ? b : b & (0x3F >> extra);
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            unsigned char c = static_cast<unsigned char>(utf8[i + k]);
            if ((c & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (c & 0x3F);
        }
        out.push_back(ok ? cp : 0xFFFD);
        i += ok ? extra + 1 : 1;
    }
    return out;
}

// the default alphabet's code of the ASCII characters it shares; '?' else
unsigned char septetOf(unsigned cp) {
    if (cp == '@') return 0x00;
    if (cp == '$') return 0x02;
    if (cp == '_') return 0x11;
    if (cp == '\n' || cp == '\r') return static_cast<unsigned char>(cp);
    if ((cp >= 0x20 && cp <= 0x23) || (cp >= 0x25 && cp <= 0x3F) || (cp >= 'A' && cp <= 'Z') ||
        (cp >= 'a' && cp <= 'z'))
        return static_cast<unsigned char>(cp);
    return '?';
}

std::string hexOf(const std::vector<unsigned char> &bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::string lineBreaks(const std::string &text) {
    std::string out;
    for (char c : text) out += c == '|' ? std::string("\r\n") : std::string(1, c);
    return out;
}

const struct {
    const char *name;
    UssdAnswer answer;
} kAnswers[] = {{"gsm7", UssdAnswer::Gsm7},   {"gsm7dcs0", UssdAnswer::Gsm7Dcs0}, {"ucs2", UssdAnswer::Ucs2},
                {"plain", UssdAnswer::Plain}, {"lines", UssdAnswer::Lines},       {"type2", UssdAnswer::Type2},
                {"type4", UssdAnswer::Type4}, {"none", UssdAnswer::None}};

const char *answerName(UssdAnswer a) {
    for (const auto &k : kAnswers)
        if (k.answer == a) return k.name;
    return "?";
}

bool cusdCommand(ModuleState &s, const std::string &part, const std::vector<std::string> &args,
                 std::vector<std::string> *lines, std::string *final, Effects *fx) {
    UssdNetwork &n = s.ussd;
    if (part == "AT+CUSD?") {
        lines->push_back("+CUSD: 1");
        return true;
    }
    if (part == "AT+CUSD=?") {
        lines->push_back("+CUSD: (0-2)");
        return true;
    }
    if (args.empty() || args[0].empty()) {
        *final = "ERROR";
        return true;
    }
    if (args[0] == "2") {
        n.session = false;
        n.cancels++;
        return true;
    }
    if (args.size() < 2) return true;  // "AT+CUSD=1" / "=0": result codes on or off
    if (!s.radioOn || regView(s).stat == 0) {
        *final = cmeError(s, 30);
        return true;
    }
    n.requests.push_back(args[1]);
    for (const std::string &l : ussdAnswerLines(n)) fx->unsolicited.push_back(l);
    n.session = n.answer == UssdAnswer::Lines;
    return true;
}

}  // namespace

const char kUssdControlHelp[] =
    "ussd TEXT (from the network) | ussd answer gsm7|gsm7dcs0|ucs2|plain|lines|type2|type4|none [TEXT] | ussd "
    "state\n"
    "stk ok|error | stk log [clear]\n";

std::string packGsm7Hex(const std::string &utf8) {
    std::vector<unsigned char> septets;
    for (unsigned cp : codePoints(utf8)) septets.push_back(septetOf(cp));
    std::vector<unsigned char> octets;
    unsigned acc = 0;
    int bits = 0;
    for (unsigned char sep : septets) {
        acc |= static_cast<unsigned>(sep & 0x7F) << bits;
        bits += 7;
        while (bits >= 8) {
            octets.push_back(static_cast<unsigned char>(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0) {
        // seven free bits would read as "@": the network fills them with CR
        if (bits == 1) acc |= 0x0Du << 1;
        octets.push_back(static_cast<unsigned char>(acc & 0xFF));
    }
    return hexOf(octets);
}

std::string ucs2Hex(const std::string &utf8) {
    std::vector<unsigned char> bytes;
    for (unsigned cp : codePoints(utf8)) {
        if (cp > 0xFFFF) cp = 0xFFFD;
        bytes.push_back(static_cast<unsigned char>(cp >> 8));
        bytes.push_back(static_cast<unsigned char>(cp & 0xFF));
    }
    return hexOf(bytes);
}

std::vector<std::string> ussdAnswerLines(const UssdNetwork &n) {
    switch (n.answer) {
    case UssdAnswer::Gsm7: return {"+CUSD: 0,\"" + packGsm7Hex(n.text) + "\",15"};
    case UssdAnswer::Gsm7Dcs0: return {"+CUSD: 0,\"" + packGsm7Hex(n.text) + "\",0"};
    case UssdAnswer::Ucs2: return {"+CUSD: 0,\"" + ucs2Hex(n.text) + "\",72"};
    case UssdAnswer::Plain: return {"+CUSD: 0,\"" + n.text + "\",15"};
    // the line breaks travel inside the quotes: the host sees several lines
    case UssdAnswer::Lines: return {"+CUSD: 1,\"" + lineBreaks(n.text) + "\",15"};
    case UssdAnswer::Type2: return {"+CUSD: 2"};
    case UssdAnswer::Type4: return {"+CUSD: 4"};
    case UssdAnswer::None: return {};
    }
    return {};
}

bool ussdCommand(ModuleState &s, const std::string &part, const std::string &name,
                 const std::vector<std::string> &args, std::vector<std::string> *lines, std::string *final,
                 Effects *fx) {
    *final = "OK";
    if (name == "+CUSD") return cusdCommand(s, part, args, lines, final, fx);
    if ((name == "^STGR" || name == "^CSTC") && !args.empty()) {
        *final = s.ussd.stkError ? "ERROR" : "OK";
        s.ussd.stkLog.push_back(part + " -> " + *final);
        return true;
    }
    return false;
}

bool ussdControl(SimulatedModule &m, const std::vector<std::string> &w, std::string *reply) {
    if (w.size() < 2) return false;
    if (w[0] == "ussd" && w[1] == "answer" && w.size() >= 3) {
        const UssdAnswer *kind = nullptr;
        for (const auto &k : kAnswers)
            if (w[2] == k.name) kind = &k.answer;
        if (kind == nullptr) {
            *reply = "ERROR ussd answer gsm7|gsm7dcs0|ucs2|plain|lines|type2|type4|none [TEXT]";
            return true;
        }
        std::string text;
        for (size_t i = 3; i < w.size(); ++i) text += (i > 3 ? " " : "") + w[i];
        UssdAnswer a = *kind;
        m.update([&](ModuleState &s) {
            s.ussd.answer = a;
            if (!text.empty()) s.ussd.text = text;
        });
        *reply = "OK";
        return true;
    }
    if (w[0] == "ussd" && w[1] == "state" && w.size() == 2) {
        ModuleState s = m.state();
        std::string out = std::string("answer ") + answerName(s.ussd.answer) + " text \"" + s.ussd.text +
                          "\" session " + (s.ussd.session ? "open" : "closed") +
                          " cancels " + std::to_string(s.ussd.cancels) + "\n";
        for (const std::string &r : s.ussd.requests) out += "request " + r + "\n";
        *reply = out + "OK";
        return true;
    }
    if (w[0] == "stk" && (w[1] == "ok" || w[1] == "error") && w.size() == 2) {
        bool error = w[1] == "error";
        m.update([error](ModuleState &s) { s.ussd.stkError = error; });
        *reply = "OK";
        return true;
    }
    if (w[0] == "stk" && w[1] == "log") {
        if (w.size() == 3 && w[2] == "clear") {
            m.update([](ModuleState &s) { s.ussd.stkLog.clear(); });
            *reply = "OK";
            return true;
        }
        std::string out;
        for (const std::string &l : m.state().ussd.stkLog) out += l + "\n";
        *reply = out + "OK";
        return true;
    }
    return false;
}

}  // namespace modemsim
