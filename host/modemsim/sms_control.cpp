#include "sms_control.h"

#include <cstdlib>
#include <set>

#include "simulated_module.h"
#include "sms_dialect.h"

namespace modemsim {

const char kSmsControlHelp[] =
    "sms deliver PDU | sms direct PDU | sms store PDU [STATUS] | sms fill [COUNT] | sms cdma ADDRESS HEX [mms]\n"
    "sms list [SM|ME] | sms clear [SM|ME] | sms capacity SM|ME N | sms sent | sms redeliver\n"
    "sms senderror N|off | sms noprompt on|off | sms emptyslot on|off";

namespace {

// a DELIVER from +8613800138000 with the text "full", for filling a store
const char kFiller[] = "00040D91683108108300F000006211012143650004E63A9B0D";

std::string err(const std::string &why) { return "ERROR " + why; }

bool toInt(const std::string &t, int *out) {
    if (t.empty()) return false;
    char *end = nullptr;
    long v = strtol(t.c_str(), &end, 10);
    if (*end != '\0') return false;
    *out = static_cast<int>(v);
    return true;
}

// the lines go out as one write, so a two-line notification stays together
void emit(SimulatedModule &m, const std::vector<std::string> &lines) {
    std::string bytes;
    for (const std::string &l : lines) bytes += "\r\n" + l + "\r\n";
    if (!bytes.empty()) m.injectRaw(bytes);
}

bool onOff(const std::string &w, bool *out) {
    if (w == "on") *out = true;
    else if (w == "off") *out = false;
    else return false;
    return true;
}

}  // namespace

bool isSmsControl(const std::vector<std::string> &w) {
    static const std::set<std::string> subs = {"deliver", "direct", "store", "fill", "cdma", "list", "clear",
                                               "capacity", "sent", "redeliver", "senderror", "noprompt",
                                               "emptyslot"};
    return w.size() >= 2 && w[0] == "sms" && subs.count(w[1]) > 0;
}

std::string smsControl(SimulatedModule &m, const std::vector<std::string> &w) {
    const std::string &c = w[1];
    std::vector<std::string> lines;
    std::string out;
    std::string error;
    if ((c == "deliver" || c == "direct") && w.size() == 3) {
        m.update([&](ModuleState &s) { lines = deliverSmsLines(s, w[2], c == "direct"); });
    } else if (c == "store" && (w.size() == 3 || w.size() == 4)) {
        int status = kRecUnread;
        if (w.size() == 4 && !toInt(w[3], &status)) return err("sms store PDU [STATUS]");
        int index = -1;
        m.update([&](ModuleState &s) { index = storeSms(s, w[2], status); });
        if (index < 0) return err("memory full");
        out = std::to_string(index) + "\n";
    } else if (c == "fill") {
        int count = 1 << 20;
        if (w.size() == 3 && !toInt(w[2], &count)) return err("sms fill [COUNT]");
        int stored = 0;
        m.update([&](ModuleState &s) {
            while (stored < count && storeSms(s, kFiller, kRecRead) >= 0) stored++;
        });
        out = std::to_string(stored) + "\n";
    } else if (c == "cdma" && (w.size() == 4 || w.size() == 5)) {
        bool mms = w.size() == 5 && w[4] == "mms";
        m.update([&](ModuleState &s) { lines = deliverCdmaSmsLines(s, w[2], w[3], mms); });
    } else if (c == "list" && w.size() <= 3) {
        std::string mem = w.size() == 3 ? w[2] : "SM";
        m.update([&](ModuleState &s) { lines = listStore(s, mem); });
        for (const std::string &l : lines) out += l + "\n";
        lines.clear();
    } else if (c == "clear" && w.size() <= 3) {
        std::string mem = w.size() == 3 ? w[2] : "SM";
        m.update([&](ModuleState &s) { (mem == "ME" ? s.sms.me : s.sms.sm).slots.clear(); });
    } else if (c == "capacity" && w.size() == 4) {
        int n = 0;
        if (!toInt(w[3], &n) || n < 0 || (w[2] != "SM" && w[2] != "ME")) return err("sms capacity SM|ME N");
        m.update([&](ModuleState &s) { (w[2] == "ME" ? s.sms.me : s.sms.sm).capacity = n; });
    } else if (c == "sent" && w.size() == 2) {
        m.update([&](ModuleState &s) { lines = s.sms.sent; });
        for (const std::string &l : lines) out += l + "\n";
        lines.clear();
    } else if (c == "redeliver" && w.size() == 2) {
        m.update([&](ModuleState &s) { lines = redeliverUnacked(s); });
    } else if (c == "senderror" && w.size() == 3) {
        int code = 0;
        if (w[2] != "off" && !toInt(w[2], &code)) return err("sms senderror N|off");
        m.update([&](ModuleState &s) { s.sms.sendError = code; });
    } else if ((c == "noprompt" || c == "emptyslot") && w.size() == 3) {
        bool on = false;
        if (!onOff(w[2], &on)) return err("sms " + c + " on|off");
        m.update([&](ModuleState &s) { (c == "noprompt" ? s.sms.noPrompt : s.sms.emptySlotHeader) = on; });
    } else {
        return err(kSmsControlHelp);
    }
    emit(m, lines);
    return out + "OK";
}

}  // namespace modemsim
