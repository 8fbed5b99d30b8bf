#include "module_state.h"

namespace modemsim {

const char *familyName(Family f) {
    switch (f) {
    case Family::Cdma: return "cdma";
    case Family::Wcdma: return "wcdma";
    case Family::Lte: return "lte";
    }
    return "?";
}

namespace {
struct TechName {
    Tech tech;
    const char *name;
};
const TechName kTechNames[] = {
    {Tech::None, "none"},     {Tech::Gsm, "gsm"},       {Tech::Gprs, "gprs"},
    {Tech::Edge, "edge"},     {Tech::Umts, "umts"},     {Tech::Hsdpa, "hsdpa"},
    {Tech::Hsupa, "hsupa"},   {Tech::Hspa, "hspa"},     {Tech::Cdma1x, "cdma"},
    {Tech::Evdo, "evdo"},     {Tech::Hybrid, "hybrid"}, {Tech::Lte, "lte"},
    {Tech::Srlte, "srlte"},
};
}  // namespace

const char *techName(Tech t) {
    for (const auto &n : kTechNames)
        if (n.tech == t) return n.name;
    return "?";
}

bool parseTech(const std::string &name, Tech *out) {
    std::string lower;
    for (char c : name) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower == "wcdma") lower = "umts";
    if (lower == "1x" || lower == "1xrtt") lower = "cdma";
    for (const auto &n : kTechNames) {
        if (lower == n.name) {
            *out = n.tech;
            return true;
        }
    }
    return false;
}

bool isCdmaTech(Tech t) { return t == Tech::Cdma1x || t == Tech::Evdo || t == Tech::Hybrid; }

bool defaultState(const std::string &model, ModuleState *out) {
    ModuleState s;
    s.model = model;
    s.sim.iccid = "89860012345678901234";
    if (model == "wcdma6290") {
        s.family = Family::Wcdma;
        s.sim.imsi = "460011234567890";
        s.sim.number = "+8618612345678";
        s.id.imei = "862155030012345";
        s.id.firmware = "V1.0.6290.2601";
        s.net.tech = Tech::Hspa;
        s.net.numeric = "46001";
        s.net.longName = "CHINA UNICOM";
        s.net.shortName = "UNICOM";
    } else if (model == "cdma") {
        s.family = Family::Cdma;
        s.sim.imsi = "460031234567890";
        s.sim.number = "+8618912345678";
        s.id.meid = "A1000012345678";
        s.id.esn = "80ABCDEF";
        s.id.firmware = "V1.0.CDMA.1601";
        s.net.tech = Tech::Hybrid;
        s.net.numeric = "46003";
        s.net.longName = "CHINA TELECOM";
        s.net.shortName = "CTCC";
    } else if (model == "lte" || model == "lte8909" || model == "asr") {
        s.family = Family::Lte;
        s.sim.imsi = "460001234567890";
        s.sim.number = "+8613812345678";
        s.id.imei = "867223020012345";
        s.id.meid = "A1000098765432";
        s.id.firmware = model == "asr" ? "V1.0.ASR.1286" : "V1.0.LTE.9025";
        s.net.tech = Tech::Lte;
        s.net.numeric = "46000";
        s.net.longName = "CHINA MOBILE";
        s.net.shortName = "CMCC";
    } else {
        return false;
    }
    *out = s;
    return true;
}

bool simUsable(const ModuleState &s) {
    if (!s.sim.present || s.sim.lock != SimLock::Ready) return false;
    if (s.sim.readyDelayMs > 0 &&
        std::chrono::steady_clock::now() - s.poweredOn < std::chrono::milliseconds(s.sim.readyDelayMs))
        return false;
    return true;
}

RegView regView(const ModuleState &s) {
    RegView v;
    if (!s.radioOn || !simUsable(s) || s.net.tech == Tech::None) return v;
    v.stat = s.net.roaming ? 5 : 1;
    v.tech = s.net.tech;
    v.lac = s.net.lac;
    v.cid = s.net.cid;
    return v;
}

}  // namespace modemsim
