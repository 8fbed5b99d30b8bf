#include "call_dialect.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace modemsim {

namespace {

using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;

bool startsWith(const std::string &s, const std::string &p) { return s.compare(0, p.size(), p) == 0; }

std::string str(int v) { return std::to_string(v); }

bool toInt(const std::string &s, int *out) {
    if (s.empty()) return false;
    char *end = nullptr;
    long v = strtol(s.c_str(), &end, 10);
    if (*end != '\0') return false;
    *out = static_cast<int>(v);
    return true;
}

// arguments after '=', split on commas outside quotes, quotes removed
Lines splitArgs(const std::string &text) {
    Lines out(1);
    bool quoted = false;
    for (char c : text) {
        if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

int typeOf(const std::string &number) { return !number.empty() && number[0] == '+' ? 145 : 129; }

SimCall *find(CallTable &t, int id) {
    for (auto &c : t.calls)
        if (c.id == id) return &c;
    return nullptr;
}

SimCall *findSerial(CallTable &t, unsigned serial) {
    for (auto &c : t.calls)
        if (c.serial == serial) return &c;
    return nullptr;
}

bool any(const CallTable &t, CallStat st) {
    return std::any_of(t.calls.begin(), t.calls.end(), [st](const SimCall &c) { return c.stat == st; });
}

int freeId(const CallTable &t) {
    for (int id = 1; id <= CallTable::kMaxCalls; id++)
        if (std::none_of(t.calls.begin(), t.calls.end(), [id](const SimCall &c) { return c.id == id; })) return id;
    return 0;
}

long secondsActive(const SimCall &c) {
    if (c.stat == CallStat::Incoming || c.stat == CallStat::Waiting || c.stat == CallStat::Dialing ||
        c.stat == CallStat::Alerting)
        return 0;
    return static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - c.since).count());
}

std::string endLine(const SimCall &c, int status, int cause) {
    return "^CEND:" + str(c.id) + "," + std::to_string(secondsActive(c)) + "," + str(status) + "," + str(cause);
}

std::string connLine(const SimCall &c) { return "^CONN:" + str(c.id) + ",0"; }

Lines ringLines(const ModuleState &s, const SimCall &c) {
    if (s.family == Family::Cdma) return {"RING", "+CLIP:" + c.number + "," + str(typeOf(c.number)) + ",,,,0"};
    return {"+CRING: VOICE", "+CLIP: \"" + c.number + "\"," + str(typeOf(c.number)) + ",,,,0"};
}

void connect(ModuleState &s, SimCall &c, Effects *fx) {
    c.stat = CallStat::Active;
    c.since = Clock::now();
    fx->unsolicited.push_back(connLine(c));
    if (s.family == Family::Lte) fx->unsolicited.push_back("^LINKED:" + str(c.id));
}

// The incoming call rings again every ringMs while it is incoming.
void scheduleRing(const ModuleState &s, unsigned serial, Effects *fx) {
    fx->later.push_back({std::chrono::milliseconds(s.calls.ringMs), [serial](ModuleState &st, Effects &e) {
                             SimCall *c = findSerial(st.calls, serial);
                             if (c == nullptr || c->stat != CallStat::Incoming) return;
                             for (auto &l : ringLines(st, *c)) e.unsolicited.push_back(l);
                             scheduleRing(st, serial, &e);
                         }});
}

void startRinging(ModuleState &s, SimCall &c, Effects *fx) {
    for (auto &l : ringLines(s, c)) fx->unsolicited.push_back(l);
    scheduleRing(s, c.serial, fx);
}

// A waiting call left alone becomes an ordinary incoming call.
void promoteWaiting(ModuleState &s, Effects *fx) {
    for (auto &c : s.calls.calls)
        if (c.stat != CallStat::Waiting) return;
    for (auto &c : s.calls.calls) {
        c.stat = CallStat::Incoming;
        startRinging(s, c, fx);
        return;
    }
}

// Removes the calls that pred selects, each with its end line.
template <typename Pred>
int release(ModuleState &s, Pred pred, int status, int cause, Effects *fx) {
    int n = 0;
    auto &calls = s.calls.calls;
    for (auto it = calls.begin(); it != calls.end();) {
        if (pred(*it)) {
            fx->unsolicited.push_back(endLine(*it, status, cause));
            it = calls.erase(it);
            n++;
        } else {
            ++it;
        }
    }
    if (calls.size() < 2)
        for (auto &c : calls) c.mpty = false;
    return n;
}

// Dialling progress: ^ORIG:, then alerting (^CONF:), then the far end's answer.
void progress(ModuleState &s, unsigned serial, Effects *fx) {
    const CallTable &t = s.calls;
    fx->later.push_back({std::chrono::milliseconds(t.origMs), [serial](ModuleState &st, Effects &e) {
        SimCall *c = findSerial(st.calls, serial);
        if (c == nullptr) return;
        e.unsolicited.push_back("^ORIG:" + str(c->id) + ",0");
        if (st.calls.nextFate == DialFate::Drop) {
            st.calls.nextFate = DialFate::Answer;
            int status = st.calls.dropStatus;
            release(st, [serial](const SimCall &x) { return x.serial == serial; }, status, 16, &e);
            return;
        }
        e.later.push_back({std::chrono::milliseconds(st.calls.alertMs), [serial](ModuleState &s2, Effects &e2) {
            SimCall *c2 = findSerial(s2.calls, serial);
            if (c2 == nullptr || c2->stat != CallStat::Dialing) return;
            c2->stat = CallStat::Alerting;
            if (s2.family != Family::Cdma) e2.unsolicited.push_back("^CONF:" + str(c2->id));
            e2.later.push_back({std::chrono::milliseconds(s2.calls.answerMs), [serial](ModuleState &s3, Effects &e3) {
                SimCall *c3 = findSerial(s3.calls, serial);
                if (c3 == nullptr || c3->stat != CallStat::Alerting) return;
                DialFate fate = s3.calls.nextFate;
                s3.calls.nextFate = DialFate::Answer;
                auto self = [serial](const SimCall &x) { return x.serial == serial; };
                if (fate == DialFate::Busy)
                    release(s3, self, 104, 17, &e3);
                else if (fate == DialFate::NoAnswer)
                    release(s3, self, 104, 19, &e3);
                else
                    connect(s3, *c3, &e3);
            }});
        }});
    }});
}

bool dial(ModuleState &s, const std::string &number, std::string *final, Effects *fx) {
    if (!s.radioOn || regView(s).stat == 0) {
        *final = "NO CARRIER";
        return true;
    }
    CallTable &t = s.calls;
    int id = freeId(t);
    if (id == 0 || number.empty() || any(t, CallStat::Dialing) || any(t, CallStat::Alerting)) {
        *final = cmeError(s, 3);
        return true;
    }
    // a call in progress goes on hold
    for (auto &c : t.calls)
        if (c.stat == CallStat::Active) c.stat = CallStat::Held;
    SimCall c;
    c.id = id;
    c.serial = t.nextSerial++;
    c.outgoing = true;
    c.stat = CallStat::Dialing;
    c.number = number;
    c.since = Clock::now();
    t.calls.push_back(c);
    progress(s, c.serial, fx);
    *final = "OK";
    return true;
}

bool answer(ModuleState &s, std::string *final, Effects *fx) {
    for (auto &c : s.calls.calls)
        if (c.stat == CallStat::Incoming) {
            connect(s, c, fx);
            *final = "OK";
            return true;
        }
    *final = cmeError(s, 3);
    return true;
}

// "+CHLD=n[x]"
std::string chld(ModuleState &s, const std::string &arg, Effects *fx) {
    CallTable &t = s.calls;
    if (arg.empty()) return cmeError(s, 3);
    const char op = arg[0];
    int x = 0;
    const bool withId = arg.size() > 1;
    if (withId && (!toInt(arg.substr(1), &x) || find(t, x) == nullptr)) return cmeError(s, 3);
    switch (op) {
    case '0':
        if (any(t, CallStat::Waiting))
            release(s, [](const SimCall &c) { return c.stat == CallStat::Waiting; }, 29, 21, fx);
        else
            release(s, [](const SimCall &c) { return c.stat == CallStat::Held; }, 29, 16, fx);
        break;
    case '1':
        if (withId) {
            release(s, [x](const SimCall &c) { return c.id == x; }, 29, 16, fx);
            promoteWaiting(s, fx);
            break;
        }
        release(s, [](const SimCall &c) { return c.stat == CallStat::Active; }, 29, 16, fx);
        for (auto &c : t.calls)
            if (c.stat == CallStat::Waiting) {
                connect(s, c, fx);
                return "OK";
            }
        for (auto &c : t.calls)
            if (c.stat == CallStat::Held) c.stat = CallStat::Active;
        break;
    case '2': {
        if (withId) {
            for (auto &c : t.calls) {
                if (c.id == x)
                    c.stat = CallStat::Active;
                else if (c.stat == CallStat::Active)
                    c.stat = CallStat::Held;
            }
            break;
        }
        bool hadHeld = any(t, CallStat::Held);
        SimCall *waiting = nullptr;
        for (auto &c : t.calls)
            if (c.stat == CallStat::Waiting) waiting = &c;
        if (!hadHeld && waiting == nullptr && !any(t, CallStat::Active)) return cmeError(s, 3);
        for (auto &c : t.calls) {
            if (c.stat == CallStat::Active)
                c.stat = CallStat::Held;
            else if (c.stat == CallStat::Held && waiting == nullptr)
                c.stat = CallStat::Active;
        }
        if (waiting != nullptr) connect(s, *waiting, fx);
        break;
    }
    case '3': {
        int n = 0;
        for (auto &c : t.calls) n += c.stat == CallStat::Active || c.stat == CallStat::Held;
        if (n < 2) return cmeError(s, 3);
        for (auto &c : t.calls)
            if (c.stat == CallStat::Active || c.stat == CallStat::Held) {
                c.stat = CallStat::Active;
                c.mpty = true;
            }
        break;
    }
    default: return cmeError(s, 3);
    }
    return "OK";
}

bool isSupplementary(const std::string &name) { return name == "+CCWA" || name == "+CCFC" || name == "+CLIR"; }

std::string supplementary(ModuleState &s, const std::string &name, bool query, const Lines &args, Lines *lines) {
    CallTable &t = s.calls;
    if (name == "+CLIR") {
        if (query) {
            lines->push_back("+CLIR: " + str(t.clir) + ",4");
            return "OK";
        }
        int n = 0;
        if (args.empty() || !toInt(args[0], &n) || n < 0 || n > 2) return cmeError(s, 3);
        t.clir = n;
        return "OK";
    }
    if (name == "+CCWA") {
        if (query) {
            lines->push_back("+CCWA: " + str(t.waiting ? 1 : 0));
            return "OK";
        }
        int mode = -1;
        if (args.size() < 2) return "OK";  // only the presentation of the "+CCWA:" lines
        if (!toInt(args[1], &mode) || mode < 0 || mode > 2) return cmeError(s, 3);
        if (mode == 2) {
            lines->push_back("+CCWA: " + str(t.waiting ? 1 : 0) + ",1");
            return "OK";
        }
        t.waiting = mode == 1;
        return "OK";
    }
    // "+CCFC=reason,mode[,number[,type[,class[,subaddr[,satype[,time]]]]]]"
    int reason = -1, mode = -1;
    if (args.size() < 2 || !toInt(args[0], &reason) || reason < 0 || reason > 5 || !toInt(args[1], &mode))
        return cmeError(s, 3);
    ForwardRule &r = t.forwards[reason];
    switch (mode) {
    case 0: r.active = false; break;
    case 1:
        if (r.number.empty() && (args.size() < 3 || args[2].empty())) return cmeError(s, 3);
        if (args.size() >= 3 && !args[2].empty()) r.number = args[2];
        r.active = true;
        break;
    case 2:
        if (r.active)
            lines->push_back("+CCFC: 1,1,\"" + r.number + "\"," + str(r.type));
        else
            lines->push_back("+CCFC: 0,7");
        break;
    case 3:
        if (args.size() < 3 || args[2].empty()) return cmeError(s, 3);
        r.number = args[2];
        if (args.size() >= 4) toInt(args[3], &r.type);
        r.active = true;
        break;
    case 4: r = ForwardRule(); break;
    default: return cmeError(s, 3);
    }
    return "OK";
}

}  // namespace

std::string clccLine(const ModuleState &s, const SimCall &c) {
    std::string line = "+CLCC: " + str(c.id) + "," + str(c.outgoing ? 0 : 1) + "," + str(static_cast<int>(c.stat)) +
                       ",0," + str(c.mpty ? 1 : 0) + ",\"" + c.number + "\"," + str(typeOf(c.number));
    if (s.family == Family::Lte) line += ",\"\"";  // an empty alpha field
    return line;
}

bool callCommand(ModuleState &s, const std::string &part, Lines *lines, std::string *final, Effects *fx) {
    CallTable &t = s.calls;
    // basic commands
    if (startsWith(part, "ATD") && part.size() > 4 && part.back() == ';') {
        std::string number = part.substr(3, part.size() - 4);
        if (!number.empty() && (number[0] == 'T' || number[0] == 'P')) number = number.substr(1);
        return dial(s, number, final, fx);
    }
    if (part == "ATA") return answer(s, final, fx);
    if (part == "ATH" || part == "ATH0") {
        release(s, [](const SimCall &) { return true; }, 29, 16, fx);
        *final = "OK";
        return true;
    }
    if (!startsWith(part, "AT+") && !startsWith(part, "AT^") && !startsWith(part, "AT$")) return false;
    std::string body = part.substr(2);
    std::string name = body, rest;
    size_t eq = body.find('=');
    bool query = false;
    if (eq != std::string::npos) {
        name = body.substr(0, eq);
        rest = body.substr(eq + 1);
    } else if (!body.empty() && body.back() == '?') {
        name = body.substr(0, body.size() - 1);
        query = true;
    }
    if (startsWith(name, "+CDV") && s.family != Family::Wcdma) {
        std::string number = name.substr(4);
        if (!number.empty() && number.back() == ';') number.pop_back();
        // CDMA: "I"/"i" ask for restriction / presentation of the own number
        if (!number.empty() && (number.back() == 'I')) number.pop_back();
        return dial(s, number, final, fx);
    }
    if (name == "^CAV" && s.family == Family::Cdma) return answer(s, final, fx);
    if (name == "+CLCC") {
        for (const auto &c : t.calls) lines->push_back(clccLine(s, c));
        *final = "OK";
        return true;
    }
    if (name == "+CHUP" || name == "+CHV" || name == "$QCCHV") {
        // the call in the foreground; an incoming call is rejected
        if (!release(s, [](const SimCall &c) { return c.stat == CallStat::Active || c.stat == CallStat::Dialing ||
                                                       c.stat == CallStat::Alerting || c.stat == CallStat::Incoming; },
                     29, 16, fx))
            release(s, [](const SimCall &) { return true; }, 29, 16, fx);
        promoteWaiting(s, fx);
        *final = "OK";
        return true;
    }
    if (name == "+CHLD") {
        *final = chld(s, rest, fx);
        return true;
    }
    if (name == "+VTS" || name == "^DTMF" || name == "^CDTMF") {
        t.tones.push_back(part);
        *final = "OK";
        return true;
    }
    if (name == "+CMUT" || name == "+CLVL") {
        int &v = t.volume;
        if (name == "+CMUT") {
            if (query) {
                lines->push_back(std::string("+CMUT: ") + (t.muted ? "1" : "0"));
            } else {
                int m = 0;
                if (!toInt(rest, &m) || m < 0 || m > 1) {
                    *final = cmeError(s, 3);
                    return true;
                }
                t.muted = m == 1;
            }
        } else if (query) {
            lines->push_back("+CLVL: " + str(v));
        } else if (int level = 0; !toInt(rest, &level) || level < 0 || level > 7) {
            *final = cmeError(s, 3);  // the speaker has levels 0 to 7
            return true;
        } else {
            v = level;
        }
        *final = "OK";
        return true;
    }
    if (isSupplementary(name)) {
        *final = supplementary(s, name, query, eq == std::string::npos ? Lines() : splitArgs(rest), lines);
        if (!t.cusdDuring.empty()) {
            // a network USSD report that arrives in the middle of the answer
            lines->push_back("+CUSD: 0,\"" + t.cusdDuring + "\",15");
            t.cusdDuring.clear();
        }
        return true;
    }
    return false;
}

void networkCall(ModuleState &s, const std::string &number, Effects *fx) {
    CallTable &t = s.calls;
    int id = freeId(t);
    bool busy = !t.calls.empty();
    if (id == 0 || (busy && !t.waiting) || any(t, CallStat::Incoming) || any(t, CallStat::Waiting)) return;
    SimCall c;
    c.id = id;
    c.serial = t.nextSerial++;
    c.outgoing = false;
    c.number = number;
    c.since = Clock::now();
    c.stat = busy ? CallStat::Waiting : CallStat::Incoming;
    t.calls.push_back(c);
    if (busy)
        fx->unsolicited.push_back("+CCWA: \"" + number + "\"," + str(typeOf(number)) + ",1");
    else
        startRinging(s, t.calls.back(), fx);
}

void networkHangup(ModuleState &s, int id, int endStatus, Effects *fx) {
    release(s, [id](const SimCall &c) { return id == 0 || c.id == id; }, endStatus, 16, fx);
    promoteWaiting(s, fx);
}

void networkAnswer(ModuleState &s, int id, Effects *fx) {
    for (auto &c : s.calls.calls)
        if ((id == 0 || c.id == id) && c.outgoing && (c.stat == CallStat::Alerting || c.stat == CallStat::Dialing)) {
            connect(s, c, fx);
            return;
        }
}

void dropAllCalls(ModuleState &s) { s.calls.calls.clear(); }

const char kCallControlHelp[] =
    "call NUMBER | hangup [ID] [STATUS] | call answer [ID] | call next answer|busy|noanswer|drop [STATUS]\n"
    "call timing ORIG ALERT ANSWER [RING] | call waiting on|off | call cusd TEXT | calls";

bool callControl(ModuleState &s, const std::vector<std::string> &w, Effects *fx, std::string *reply,
                 std::string *error) {
    CallTable &t = s.calls;
    if (w.empty()) return false;
    if (w[0] == "calls" && w.size() == 1) {
        for (const auto &c : t.calls) *reply += clccLine(s, c) + "\n";
        *reply += std::string("waiting ") + (t.waiting ? "on" : "off") + ", clir " + str(t.clir) + ", mute " +
                  (t.muted ? "on" : "off") + ", volume " + str(t.volume) + "\n";
        for (const auto &tone : t.tones) *reply += "tone " + tone + "\n";
        return true;
    }
    if (w[0] == "hangup") {
        int id = 0, status = 104;
        if ((w.size() > 1 && !toInt(w[1], &id)) || (w.size() > 2 && !toInt(w[2], &status)) || w.size() > 3) {
            *error = "hangup [ID] [STATUS]";
            return true;
        }
        networkHangup(s, id, status, fx);
        return true;
    }
    if (w[0] != "call" || w.size() < 2) return false;
    const std::string &sub = w[1];
    if (w.size() == 2 && sub != "answer") {
        networkCall(s, sub, fx);
        return true;
    }
    if (sub == "answer") {
        int id = 0;
        if (w.size() > 2 && !toInt(w[2], &id)) *error = "call answer [ID]";
        else networkAnswer(s, id, fx);
        return true;
    }
    if (sub == "next") {
        const std::string &f = w[2];
        if (f == "answer") t.nextFate = DialFate::Answer;
        else if (f == "busy") t.nextFate = DialFate::Busy;
        else if (f == "noanswer") t.nextFate = DialFate::NoAnswer;
        else if (f == "drop") {
            t.nextFate = DialFate::Drop;
            t.dropStatus = 29;
            if (w.size() > 3 && !toInt(w[3], &t.dropStatus)) *error = "call next drop [STATUS]";
        } else {
            *error = "call next answer|busy|noanswer|drop [STATUS]";
        }
        return true;
    }
    if (sub == "timing") {
        int v[4] = {t.origMs, t.alertMs, t.answerMs, t.ringMs};
        if (w.size() < 5 || w.size() > 6) {
            *error = "call timing ORIG ALERT ANSWER [RING]";
            return true;
        }
        for (size_t i = 2; i < w.size(); i++)
            if (!toInt(w[i], &v[i - 2]) || v[i - 2] < 0) {
                *error = "call timing needs milliseconds";
                return true;
            }
        t.origMs = v[0];
        t.alertMs = v[1];
        t.answerMs = v[2];
        t.ringMs = std::max(v[3], 10);
        return true;
    }
    if (sub == "waiting" && w.size() == 3) {
        t.waiting = w[2] == "on";
        return true;
    }
    if (sub == "cusd") {
        std::string text;
        for (size_t i = 2; i < w.size(); i++) text += (i > 2 ? " " : "") + w[i];
        t.cusdDuring = text;
        return true;
    }
    *error = "unknown call control (try help)";
    return true;
}

}  // namespace modemsim
