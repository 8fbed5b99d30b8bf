#include "data_dialect.h"

#include <cstdlib>

#include "simulated_module.h"

namespace modemsim {

namespace {

bool number(const std::string &s, int *out) {
    if (s.empty()) return false;
    char *end = nullptr;
    long v = strtol(s.c_str(), &end, 10);
    if (*end != '\0') return false;
    *out = static_cast<int>(v);
    return true;
}

std::string quoted(const std::string &s) { return "\"" + s + "\""; }

const char *dialName(DialAnswer d) {
    switch (d) {
    case DialAnswer::Connect: return "connect";
    case DialAnswer::NoCarrier: return "nocarrier";
    case DialAnswer::Error: return "error";
    case DialAnswer::Silence: return "silence";
    }
    return "?";
}

}  // namespace

int packetStat(const ModuleState &s, const std::string &prefix, int stat) {
    if ((prefix == "+CGREG:" || prefix == "+CEREG:") && !s.data.packetService) return 0;
    return stat;
}

bool answerDataCommand(ModuleState &s, const std::string &name, bool query, bool test, bool set,
                       const std::vector<std::string> &args, DataReply *out) {
    DataState &d = s.data;
    if (name == "^DATAMODE") {
        out->lines.push_back(std::string("^DATAMODE: ") + (d.connected ? "1" : "0"));
        return true;
    }
    if (name == "^DATADOWN") {
        d.connected = false;
        return true;
    }
    if (name == "^KVISBUSY") {
        out->lines.push_back("^KVISBUSY: " + std::to_string(d.busy));
        return true;
    }
    if (name == "+CGACT") {
        if (query) {
            if (d.contexts.empty()) out->lines.push_back(std::string("+CGACT: 1,") + (d.connected ? "1" : "0"));
            for (const auto &c : d.contexts)
                out->lines.push_back("+CGACT: " + std::to_string(c.first) + "," +
                                     (d.connected && c.first == 1 ? "1" : "0"));
        }
        return true;
    }
    if (name == "+CGDCONT") {
        if (set) {
            int cid = 0;
            if (args.empty() || !number(args[0], &cid) || cid < 1 || cid > 16) {
                out->final = "ERROR";
                return true;
            }
            PdpContext c;
            if (args.size() > 1) c.type = args[1];
            if (args.size() > 2) c.apn = args[2];
            d.contexts[cid] = c;
        } else if (query) {
            for (const auto &c : d.contexts)
                out->lines.push_back("+CGDCONT: " + std::to_string(c.first) + "," + quoted(c.second.type) + "," +
                                     quoted(c.second.apn) + "," + quoted("0.0.0.0") + ",0,0");
        } else if (test) {
            out->lines.push_back("+CGDCONT: (1-16),\"IP\",,,(0-2),(0-4)");
        }
        return true;
    }
    if (name == "+CONN") {
        // "AT+CONN=0, ?" asks, "AT+CONN=0, 1" connects, "AT+CONN=0, 0" ends
        if (set && args.size() >= 2) {
            if (args[1] == "?") {
                out->lines.push_back("+CONN: " + std::to_string(d.conn));
            } else if (args[1] == "1") {
                d.conn = s.radioOn && regView(s).stat != 0 && d.packetService ? 2 : 0;
            } else {
                d.conn = 0;
            }
            return true;
        }
        if (test) {
            out->lines.push_back("+CONN: " + std::to_string(d.conn));
            return true;
        }
        return false;
    }
    if (name == "^GPSPSWORD") {
        if (set) {
            d.lastGpsPassword.clear();
            for (size_t i = 0; i < args.size(); i++) d.lastGpsPassword += (i ? "," : "") + args[i];
        } else if (query) {
            out->lines.push_back("^GPSPSWORD: " + d.lastGpsPassword);
        }
        return true;
    }
    return false;
}

DataReply answerDataDial(ModuleState &s, Effects *fx) {
    DataState &d = s.data;
    d.dials++;
    DataReply r;
    bool reachable = s.radioOn && regView(s).stat != 0 && d.packetService;
    DialAnswer a = reachable ? d.dial : DialAnswer::NoCarrier;
    if (d.refuseDials > 0 && d.refuseDials--) a = DialAnswer::NoCarrier;
    switch (a) {
    case DialAnswer::Connect:
        r.final = "CONNECT";
        d.connected = true;
        break;
    case DialAnswer::NoCarrier: r.final = "NO CARRIER"; break;
    case DialAnswer::Error: r.final = "ERROR"; break;
    case DialAnswer::Silence: r.final = ""; break;
    }
    if (a == DialAnswer::Connect && d.dialDelayMs <= 0) fx->dataMode = true;
    if (d.dialDelayMs > 0 && !r.final.empty()) {
        fx->delayMs = d.dialDelayMs;
        fx->delayed = {r.final};
        r.final = "";
    }
    return r;
}

std::string dataControl(SimulatedModule &m, const std::vector<std::string> &w) {
    const char usage[] =
        "ERROR data dial connect|nocarrier|error|silence | data delay MS | data service on|off | data busy N | "
        "data drop | data state";
    if (w.size() < 2) return usage;
    const std::string &c = w[1];
    if (c == "dial" && w.size() == 3) {
        DialAnswer a;
        if (w[2] == "connect") a = DialAnswer::Connect;
        else if (w[2] == "nocarrier") a = DialAnswer::NoCarrier;
        else if (w[2] == "error") a = DialAnswer::Error;
        else if (w[2] == "silence") a = DialAnswer::Silence;
        else return usage;
        m.update([a](ModuleState &s) { s.data.dial = a; });
    } else if (c == "delay" && w.size() == 3) {
        int ms = 0;
        if (!number(w[2], &ms) || ms < 0) return usage;
        m.update([ms](ModuleState &s) { s.data.dialDelayMs = ms; });
    } else if (c == "service" && w.size() == 3 && (w[2] == "on" || w[2] == "off")) {
        bool on = w[2] == "on";
        m.update([on](ModuleState &s) { s.data.packetService = on; });
    } else if (c == "busy" && w.size() == 3) {
        int n = 0;
        if (!number(w[2], &n)) return usage;
        m.update([n](ModuleState &s) { s.data.busy = n; });
    } else if (c == "drop") {
        // the network ends the call: the modem port says so and leaves data mode
        m.update([](ModuleState &s) { s.data.connected = false; });
        m.injectRaw("\r\nNO CARRIER\r\n", Port::Modem);
    } else if (c == "state") {
        ModuleState s = m.state();
        std::string out = std::string("dial ") + dialName(s.data.dial) + " delay " +
                          std::to_string(s.data.dialDelayMs) + " service " + (s.data.packetService ? "on" : "off") +
                          " busy " + std::to_string(s.data.busy) + " connected " + (s.data.connected ? "1" : "0") +
                          " dials " + std::to_string(s.data.dials) + "\n";
        for (const auto &ctx : s.data.contexts)
            out += "context " + std::to_string(ctx.first) + " " + ctx.second.type + " " + ctx.second.apn + "\n";
        return out + "OK";
    } else {
        return usage;
    }
    return "OK";
}

}  // namespace modemsim
