// Controls of the simulated module for the SIM file, facility lock, network
// selection and vendor areas: the card's files, the networks a scan finds,
// the barring password, and NITZ and GPS lines on demand.
#include "simnet_control.h"

#include <cstdio>
#include <cstdlib>

#include "simnet_dialect.h"
#include "simulated_module.h"

namespace modemsim {

namespace {

bool toInt(const std::string &s, int *out) {
    if (s.empty()) return false;
    char *end = nullptr;
    long v = strtol(s.c_str(), &end, 0);
    if (*end != '\0') return false;
    *out = static_cast<int>(v);
    return true;
}

std::string err(const std::string &why) { return "ERROR " + why; }

std::string hexOf(const std::vector<unsigned char> &b) {
    std::string out;
    char two[3];
    for (unsigned char c : b) {
        snprintf(two, sizeof two, "%02X", c);
        out += two;
    }
    return out;
}

}  // namespace

const char kSimnetControlHelp[] =
    "nitz [\"yy/MM/dd,hh:mm:ss+tz,dst\"] | gps netdone|download\n"
    "networks | networks add MCCMNC \"LONG\" [\"SHORT\"] [forbidden] | networks clear | networks delay MS\n"
    "simfs type usim|sim | simfs iccid none|present | simfs read FILEID\n"
    "facility password PW | facility attempts N | facility pin2 CODE";

bool simnetControl(SimulatedModule &m, const std::vector<std::string> &w, std::string *reply) {
    const std::string &c = w[0];
    *reply = "OK";
    if (c == "nitz") {
        m.inject(nitzLine(w.size() > 1 ? w[1] : ""));
        return true;
    }
    if (c == "gps") {
        if (w.size() != 2 || (w[1] != "netdone" && w[1] != "download")) {
            *reply = err("gps netdone|download");
            return true;
        }
        m.inject(w[1] == "netdone" ? "^GPSNETDONE" : "^GPSDOLADDONE");
        return true;
    }
    if (c == "networks") {
        if (w.size() == 1) {
            ModuleState s = m.state();
            std::string out;
            for (const auto &n : s.simnet.visible)
                out += n.numeric + " \"" + n.longName + "\" \"" + n.shortName + "\"" + (n.forbidden ? " forbidden" : "") +
                       "\n";
            *reply = out + "delay " + std::to_string(s.simnet.scanDelayMs) + "\nOK";
            return true;
        }
        if (w[1] == "clear") {
            m.update([](ModuleState &s) { s.simnet.visible.clear(); });
            return true;
        }
        if (w[1] == "delay") {
            int ms = 0;
            if (w.size() != 3 || !toInt(w[2], &ms) || ms < 0) {
                *reply = err("networks delay MS");
                return true;
            }
            m.update([ms](ModuleState &s) { s.simnet.scanDelayMs = ms; });
            return true;
        }
        if (w[1] == "add" && w.size() >= 4) {
            VisibleNetwork n;
            n.numeric = w[2];
            n.longName = w[3];
            bool forbidden = w.back() == "forbidden";
            size_t names = w.size() - (forbidden ? 1 : 0);
            n.shortName = names > 4 ? w[4] : w[3];
            n.forbidden = forbidden;
            m.update([n](ModuleState &s) { s.simnet.visible.push_back(n); });
            return true;
        }
        *reply = err("networks [add MCCMNC LONG [SHORT] [forbidden] | clear | delay MS]");
        return true;
    }
    if (c == "simfs") {
        if (w.size() == 3 && w[1] == "type" && (w[2] == "usim" || w[2] == "sim")) {
            bool usim = w[2] == "usim";
            m.update([usim](ModuleState &s) { s.simnet.usim = usim; });
            return true;
        }
        if (w.size() == 3 && w[1] == "iccid" && (w[2] == "none" || w[2] == "present")) {
            bool present = w[2] == "present";
            m.update([present](ModuleState &s) { s.simnet.iccidFile = present; });
            return true;
        }
        int id = 0;
        if (w.size() == 3 && w[1] == "read" && toInt("0x" + w[2], &id)) {
            std::string out;
            m.update([&](ModuleState &s) {
                const CardFile *f = cardFile(s, id);
                if (f != nullptr) out = hexOf(f->data);
            });
            *reply = out.empty() ? err("no such file") : out + "\nOK";
            return true;
        }
        *reply = err("simfs type usim|sim | simfs iccid none|present | simfs read FILEID");
        return true;
    }
    if (c == "facility") {
        int n = 0;
        if (w.size() == 3 && w[1] == "password") {
            std::string pw = w[2];
            m.update([pw](ModuleState &s) { s.simnet.barringPassword = pw; });
        } else if (w.size() == 3 && w[1] == "attempts" && toInt(w[2], &n)) {
            m.update([n](ModuleState &s) { s.simnet.barringAttempts = n; });
        } else if (w.size() == 3 && w[1] == "pin2") {
            std::string pin2 = w[2];
            m.update([pin2](ModuleState &s) { s.simnet.pin2 = pin2; });
        } else {
            *reply = err("facility password PW | facility attempts N | facility pin2 CODE");
        }
        return true;
    }
    return false;
}

}  // namespace modemsim
