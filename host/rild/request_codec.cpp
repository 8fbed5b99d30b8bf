#include "request_codec.h"
#include "sms_console_codec.h"

#include "simnet_codec.h"

#include <ctype.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <map>

#include <ril_host.h>

#include "ussd_codec.h"

using nlohmann::json;

namespace hostril {

char *RequestData::keep(const std::string &s) {
    std::unique_ptr<char[]> p(new char[s.size() + 1]);
    memcpy(p.get(), s.c_str(), s.size() + 1);
    char *raw = p.get();
    strings_.push_back(std::move(p));
    return raw;
}

void *RequestData::keepBytes(size_t n) {
    std::unique_ptr<unsigned char[]> p(new unsigned char[n == 0 ? 1 : n]());
    void *raw = p.get();
    blobs_.push_back(std::move(p));
    return raw;
}

bool splitLine(const std::string &line, std::vector<Arg> &out, std::string &error) {
    out.clear();
    size_t i = 0;
    const size_t n = line.size();
    while (i < n) {
        while (i < n && isspace((unsigned char)line[i])) i++;
        if (i >= n) break;
        Arg arg;
        bool quoted = false;
        while (i < n && !isspace((unsigned char)line[i])) {
            if (line[i] == '"') {
                quoted = true;
                i++;
                bool closed = false;
                while (i < n) {
                    char c = line[i++];
                    if (c == '"') {
                        closed = true;
                        break;
                    }
                    if (c == '\\' && i < n) {
                        char e = line[i++];
                        switch (e) {
                            case 'n': arg.text += '\n'; break;
                            case 'r': arg.text += '\r'; break;
                            case 't': arg.text += '\t'; break;
                            case 'x': {
                                if (i + 2 <= n && isxdigit((unsigned char)line[i]) &&
                                    isxdigit((unsigned char)line[i + 1])) {
                                    arg.text += (char)strtol(line.substr(i, 2).c_str(), nullptr, 16);
                                    i += 2;
                                } else {
                                    error = "bad \\x escape: two hex digits expected";
                                    return false;
                                }
                                break;
                            }
                            default: arg.text += e; break;
                        }
                    } else {
                        arg.text += c;
                    }
                }
                if (!closed) {
                    error = "unbalanced double quote";
                    return false;
                }
            } else {
                arg.text += line[i++];
            }
        }
        if (!quoted && arg.text == "null") arg.isNull = true;
        out.push_back(arg);
    }
    return true;
}

namespace {

const std::map<std::string, int> &aliases() {
    static const auto *m = new std::map<std::string, int>{
        {"sim", RIL_REQUEST_GET_SIM_STATUS},      {"pin", RIL_REQUEST_ENTER_SIM_PIN},
        {"puk", RIL_REQUEST_ENTER_SIM_PUK},       {"calls", RIL_REQUEST_GET_CURRENT_CALLS},
        {"dial", RIL_REQUEST_DIAL},               {"imsi", RIL_REQUEST_GET_IMSI},
        {"hangup", RIL_REQUEST_HANGUP},           {"signal", RIL_REQUEST_SIGNAL_STRENGTH},
        {"reg", RIL_REQUEST_VOICE_REGISTRATION_STATE},
        {"datareg", RIL_REQUEST_DATA_REGISTRATION_STATE},
        {"op", RIL_REQUEST_OPERATOR},             {"radio", RIL_REQUEST_RADIO_POWER},
        {"sms", RIL_REQUEST_SEND_SMS},            {"ussd", RIL_REQUEST_SEND_USSD},
        {"imei", RIL_REQUEST_GET_IMEI},           {"answer", RIL_REQUEST_ANSWER},
        {"baseband", RIL_REQUEST_BASEBAND_VERSION}, {"screen", RIL_REQUEST_SCREEN_STATE},
        {"identity", RIL_REQUEST_DEVICE_IDENTITY}, {"data", RIL_REQUEST_SETUP_DATA_CALL},
        {"datalist", RIL_REQUEST_DATA_CALL_LIST}, {"deactivate", RIL_REQUEST_DEACTIVATE_DATA_CALL},
        {"datadown", RIL_REQUEST_DEACTIVATE_DATA_CALL},
    };
    return *m;
}

enum class ArgKind { None, Ints, Strings, String, Dial, SimIo, SmsWrite, CallForward };

struct ArgSpec {
    ArgKind kind;
    int min;
    int max;
    const char *usage;
};

ArgSpec argSpec(int code) {
    switch (code) {
        case RIL_REQUEST_HANGUP: return {ArgKind::Ints, 1, 1, "<call index>"};
        case RIL_REQUEST_RADIO_POWER: return {ArgKind::Ints, 1, 1, "<0 off | 1 on>"};
        case RIL_REQUEST_SET_CLIR: return {ArgKind::Ints, 1, 1, "<mode>"};
        case RIL_REQUEST_QUERY_CALL_WAITING: return {ArgKind::Ints, 1, 1, "<service class>"};
        case RIL_REQUEST_SEPARATE_CONNECTION: return {ArgKind::Ints, 1, 1, "<call index>"};
        case RIL_REQUEST_SET_MUTE: return {ArgKind::Ints, 1, 1, "<0|1>"};
        case RIL_REQUEST_SCREEN_STATE: return {ArgKind::Ints, 1, 1, "<0 off | 1 on>"};
        case RIL_REQUEST_SET_SUPP_SVC_NOTIFICATION: return {ArgKind::Ints, 1, 1, "<0|1>"};
        case RIL_REQUEST_SET_BAND_MODE: return {ArgKind::Ints, 1, 1, "<mode>"};
        case RIL_REQUEST_STK_HANDLE_CALL_SETUP_REQUESTED_FROM_SIM: return {ArgKind::Ints, 1, 1, "<0|1>"};
        case RIL_REQUEST_SET_PREFERRED_NETWORK_TYPE: return {ArgKind::Ints, 1, 1, "<type>"};
        case RIL_REQUEST_SET_LOCATION_UPDATES: return {ArgKind::Ints, 1, 1, "<0|1>"};
        case RIL_REQUEST_CDMA_SET_SUBSCRIPTION: return {ArgKind::Ints, 1, 1, "<source>"};
        case RIL_REQUEST_CDMA_SET_ROAMING_PREFERENCE: return {ArgKind::Ints, 1, 1, "<preference>"};
        case RIL_REQUEST_SET_TTY_MODE: return {ArgKind::Ints, 1, 1, "<mode>"};
        case RIL_REQUEST_CDMA_SET_PREFERRED_VOICE_PRIVACY_MODE: return {ArgKind::Ints, 1, 1, "<0|1>"};
        case RIL_REQUEST_GSM_SMS_BROADCAST_ACTIVATION: return {ArgKind::Ints, 1, 1, "<0|1>"};
        case RIL_REQUEST_CDMA_SMS_BROADCAST_ACTIVATION: return {ArgKind::Ints, 1, 1, "<0|1>"};
        case RIL_REQUEST_REPORT_SMS_MEMORY_STATUS: return {ArgKind::Ints, 1, 1, "<0|1>"};
        case RIL_REQUEST_REPORT_STK_SERVICE_IS_RUNNING: return {ArgKind::None, 0, 0, ""};
        case RIL_REQUEST_SET_UNSOL_CELL_INFO_LIST_RATE: return {ArgKind::Ints, 1, 1, "<rate ms>"};
        case RIL_REQUEST_ALLOW_DATA: return {ArgKind::Ints, 1, 1, "<0|1>"};
        case RIL_REQUEST_DELETE_SMS_ON_SIM: return {ArgKind::Ints, 1, 1, "<index>"};
        case RIL_REQUEST_CDMA_DELETE_SMS_ON_RUIM: return {ArgKind::Ints, 1, 1, "<index>"};
        case RIL_REQUEST_SET_CALL_WAITING: return {ArgKind::Ints, 2, 2, "<0|1> <service class>"};
        case RIL_REQUEST_SMS_ACKNOWLEDGE: return {ArgKind::Ints, 2, 2, "<success 0|1> <cause>"};
        case RIL_REQUEST_CDMA_SMS_ACKNOWLEDGE: return {ArgKind::Ints, 2, 2, "<error class> <cause>"};
        case RIL_REQUEST_START_LCE: return {ArgKind::Ints, 2, 2, "<interval ms> <mode>"};

        case RIL_REQUEST_DTMF: return {ArgKind::String, 1, 1, "<digit>"};
        case RIL_REQUEST_DTMF_START: return {ArgKind::String, 1, 1, "<digit>"};
        case RIL_REQUEST_SEND_USSD: return {ArgKind::String, 1, 1, "<ussd text>"};
        case RIL_REQUEST_SET_NETWORK_SELECTION_MANUAL: return {ArgKind::String, 1, 1, "<mcc+mnc>"};
        case RIL_REQUEST_STK_SET_PROFILE: return {ArgKind::String, 1, 1, "<hex profile>"};
        case RIL_REQUEST_STK_SEND_ENVELOPE_COMMAND: return {ArgKind::String, 1, 1, "<hex envelope>"};
        case RIL_REQUEST_STK_SEND_TERMINAL_RESPONSE: return {ArgKind::String, 1, 1, "<hex response>"};
        case RIL_REQUEST_STK_SEND_ENVELOPE_WITH_STATUS: return {ArgKind::String, 1, 1, "<hex envelope>"};
        case RIL_REQUEST_CDMA_FLASH: return {ArgKind::String, 1, 1, "<flash string>"};
        case RIL_REQUEST_SET_SMSC_ADDRESS: return {ArgKind::String, 1, 1, "<smsc>"};
        case RIL_REQUEST_OEM_HOOK_RAW: return {ArgKind::String, 1, 1, "<text>"};

        case RIL_REQUEST_ENTER_SIM_PIN:
        case RIL_REQUEST_ENTER_SIM_PIN2: return {ArgKind::Strings, 1, 2, "<pin> [aid]"};
        case RIL_REQUEST_ENTER_SIM_PUK:
        case RIL_REQUEST_ENTER_SIM_PUK2: return {ArgKind::Strings, 2, 3, "<puk> <new pin> [aid]"};
        case RIL_REQUEST_CHANGE_SIM_PIN:
        case RIL_REQUEST_CHANGE_SIM_PIN2: return {ArgKind::Strings, 2, 3, "<old pin> <new pin> [aid]"};
        case RIL_REQUEST_ENTER_NETWORK_DEPERSONALIZATION: return {ArgKind::Strings, 1, 1, "<code>"};
        case RIL_REQUEST_SEND_SMS:
        case RIL_REQUEST_SEND_SMS_EXPECT_MORE:
        case RIL_REQUEST_IMS_SEND_SMS: return {ArgKind::Strings, 2, 2, "<smsc hex|null> <pdu hex>"};
        case RIL_REQUEST_SETUP_DATA_CALL:
            return {ArgKind::Strings, 6, 8,
                    "<radio tech> <profile> <apn> <user> <password> <auth type> [protocol]"};
        case RIL_REQUEST_DEACTIVATE_DATA_CALL: return {ArgKind::Strings, 1, 2, "<cid> [reason]"};
        case RIL_REQUEST_QUERY_FACILITY_LOCK: return {ArgKind::Strings, 3, 4, "<facility> <password> <class> [aid]"};
        case RIL_REQUEST_SET_FACILITY_LOCK:
            return {ArgKind::Strings, 4, 5, "<facility> <0|1> <password> <class> [aid]"};
        case RIL_REQUEST_CHANGE_BARRING_PASSWORD: return {ArgKind::Strings, 3, 3, "<facility> <old> <new>"};
        case RIL_REQUEST_OEM_HOOK_STRINGS: return {ArgKind::Strings, 1, 16, "<string>..."};
        case RIL_REQUEST_CDMA_BURST_DTMF: return {ArgKind::Strings, 3, 3, "<digits> <on ms> <off ms>"};
        case RIL_REQUEST_ACKNOWLEDGE_INCOMING_GSM_SMS_WITH_PDU: return {ArgKind::Strings, 2, 2, "<0|1> <pdu>"};
        case RIL_REQUEST_ISIM_AUTHENTICATION: return {ArgKind::String, 1, 1, "<challenge>"};

        case RIL_REQUEST_DIAL: return {ArgKind::Dial, 1, 2, "<number> [clir]"};
        case RIL_REQUEST_SIM_IO:
            return {ArgKind::SimIo, 6, 9, "<command> <fileid> <path> <p1> <p2> <p3> [data] [pin2] [aid]"};
        case RIL_REQUEST_WRITE_SMS_TO_SIM: return {ArgKind::SmsWrite, 2, 3, "<status> <pdu> [smsc]"};
        case RIL_REQUEST_QUERY_CALL_FORWARD_STATUS:
        case RIL_REQUEST_SET_CALL_FORWARD:
            return {ArgKind::CallForward, 3, 6,
                    "<status> <reason> <service class> [toa] [number] [seconds]"};
        default: return {ArgKind::None, 0, 0, ""};
    }
}

bool parseInt(const Arg &a, int &out, std::string &error) {
    if (a.isNull || a.text.empty()) {
        error = "malformed number: \"" + a.text + "\"";
        return false;
    }
    errno = 0;
    char *end = nullptr;
    long v = strtol(a.text.c_str(), &end, 0);
    if (errno != 0 || end == a.text.c_str() || *end != '\0' || v < INT32_MIN || v > INT32_MAX) {
        error = "malformed number: \"" + a.text + "\"";
        return false;
    }
    out = (int)v;
    return true;
}

json str(const char *s) { return s == nullptr ? json(nullptr) : json(std::string(s)); }

json decodeStrings(const void *data, size_t len) {
    json arr = json::array();
    const char *const *v = (const char *const *)data;
    for (size_t i = 0; i < len / sizeof(char *); i++) arr.push_back(str(v[i]));
    return arr;
}

json decodeInts(const void *data, size_t len) {
    json arr = json::array();
    const int *v = (const int *)data;
    for (size_t i = 0; i < len / sizeof(int); i++) arr.push_back(v[i]);
    return arr;
}

json decodeCardStatus(const void *data, size_t len) {
    if (len < sizeof(RIL_CardStatus_v6)) return rawBytes(data, len);
    const RIL_CardStatus_v6 *cs = (const RIL_CardStatus_v6 *)data;
    static const char *cardStates[] = {"ABSENT", "PRESENT", "ERROR", "RESTRICTED"};
    static const char *appStates[] = {"UNKNOWN", "DETECTED", "PIN", "PUK", "SUBSCRIPTION_PERSO", "READY"};
    static const char *appTypes[] = {"UNKNOWN", "SIM", "USIM", "RUIM", "CSIM", "ISIM"};
    static const char *pinStates[] = {"UNKNOWN", "ENABLED_NOT_VERIFIED", "ENABLED_VERIFIED",
                                      "DISABLED", "ENABLED_BLOCKED", "ENABLED_PERM_BLOCKED"};
    auto name = [](const char *const *table, int n, int v) -> json {
        if (v >= 0 && v < n) return table[v];
        return v;
    };
    json j;
    j["card_state"] = name(cardStates, 4, cs->card_state);
    j["universal_pin_state"] = name(pinStates, 6, cs->universal_pin_state);
    j["gsm_umts_subscription_app_index"] = cs->gsm_umts_subscription_app_index;
    j["cdma_subscription_app_index"] = cs->cdma_subscription_app_index;
    j["ims_subscription_app_index"] = cs->ims_subscription_app_index;
    j["num_applications"] = cs->num_applications;
    json apps = json::array();
    int count = cs->num_applications;
    if (count < 0) count = 0;
    if (count > RIL_CARD_MAX_APPS) count = RIL_CARD_MAX_APPS;
    for (int i = 0; i < count; i++) {
        const RIL_AppStatus &a = cs->applications[i];
        apps.push_back({{"app_type", name(appTypes, 6, a.app_type)},
                        {"app_state", name(appStates, 6, a.app_state)},
                        {"perso_substate", (int)a.perso_substate},
                        {"aid", str(a.aid_ptr)},
                        {"app_label", str(a.app_label_ptr)},
                        {"pin1_replaced", a.pin1_replaced},
                        {"pin1", name(pinStates, 6, a.pin1)},
                        {"pin2", name(pinStates, 6, a.pin2)}});
    }
    j["applications"] = apps;
    return j;
}

json decodeSignal(const void *data, size_t len) {
    if (len < sizeof(RIL_SignalStrength_v10)) return rawBytes(data, len);
    const RIL_SignalStrength_v10 *s = (const RIL_SignalStrength_v10 *)data;
    return {{"gw", {{"signalStrength", s->GW_SignalStrength.signalStrength},
                    {"bitErrorRate", s->GW_SignalStrength.bitErrorRate}}},
            {"cdma", {{"dbm", s->CDMA_SignalStrength.dbm}, {"ecio", s->CDMA_SignalStrength.ecio}}},
            {"evdo", {{"dbm", s->EVDO_SignalStrength.dbm},
                      {"ecio", s->EVDO_SignalStrength.ecio},
                      {"signalNoiseRatio", s->EVDO_SignalStrength.signalNoiseRatio}}},
            {"lte", {{"signalStrength", s->LTE_SignalStrength.signalStrength},
                     {"rsrp", s->LTE_SignalStrength.rsrp},
                     {"rsrq", s->LTE_SignalStrength.rsrq},
                     {"rssnr", s->LTE_SignalStrength.rssnr},
                     {"cqi", s->LTE_SignalStrength.cqi},
                     {"timingAdvance", s->LTE_SignalStrength.timingAdvance}}},
            {"tdscdma", {{"rscp", s->TD_SCDMA_SignalStrength.rscp}}}};
}

json decodeCalls(const void *data, size_t len) {
    json arr = json::array();
    const RIL_Call *const *calls = (const RIL_Call *const *)data;
    static const char *states[] = {"ACTIVE", "HOLDING", "DIALING", "ALERTING", "INCOMING", "WAITING"};
    for (size_t i = 0; i < len / sizeof(RIL_Call *); i++) {
        const RIL_Call *c = calls[i];
        if (c == nullptr) {
            arr.push_back(nullptr);
            continue;
        }
        arr.push_back({{"state", (c->state >= 0 && c->state <= 5) ? json(states[c->state]) : json((int)c->state)},
                       {"index", c->index},
                       {"toa", c->toa},
                       {"isMpty", (int)c->isMpty},
                       {"isMT", (int)c->isMT},
                       {"als", (int)c->als},
                       {"isVoice", (int)c->isVoice},
                       {"isVoicePrivacy", (int)c->isVoicePrivacy},
                       {"number", str(c->number)},
                       {"numberPresentation", c->numberPresentation},
                       {"name", str(c->name)},
                       {"namePresentation", c->namePresentation}});
    }
    return arr;
}

json decodeDataCall(const RIL_Data_Call_Response_v11 &d) {
    return {{"status", d.status}, {"suggestedRetryTime", d.suggestedRetryTime}, {"cid", d.cid},
            {"active", d.active}, {"type", str(d.type)},       {"ifname", str(d.ifname)},
            {"addresses", str(d.addresses)}, {"dnses", str(d.dnses)}, {"gateways", str(d.gateways)},
            {"pcscf", str(d.pcscf)}, {"mtu", d.mtu}};
}

int s_libraryVersion = 15;

// the legacy interface's record: the same fields without pcscf and mtu
json decodeDataCall(const RIL_Data_Call_Response_v6 &d) {
    return {{"status", d.status}, {"suggestedRetryTime", d.suggestedRetryTime}, {"cid", d.cid},
            {"active", d.active}, {"type", str(d.type)},       {"ifname", str(d.ifname)},
            {"addresses", str(d.addresses)}, {"dnses", str(d.dnses)}, {"gateways", str(d.gateways)}};
}

template <typename Record>
json decodeRecords(const void *data, size_t len) {
    json arr = json::array();
    const Record *d = (const Record *)data;
    for (size_t i = 0; i < len / sizeof(Record); i++) arr.push_back(decodeDataCall(d[i]));
    return arr;
}

json decodeDataCalls(const void *data, size_t len) {
    if (data == nullptr) return json::array();
    if (s_libraryVersion < 10) return decodeRecords<RIL_Data_Call_Response_v6>(data, len);
    return decodeRecords<RIL_Data_Call_Response_v11>(data, len);
}

json decodeCellIdentity(const RIL_CellIdentity_v16 &c) {
    json j = {{"cellInfoType", (int)c.cellInfoType}};
    switch (c.cellInfoType) {
        case RIL_CELL_INFO_TYPE_LTE:
            j["mcc"] = c.cellIdentityLte.mcc;
            j["mnc"] = c.cellIdentityLte.mnc;
            j["ci"] = c.cellIdentityLte.ci;
            j["pci"] = c.cellIdentityLte.pci;
            j["tac"] = c.cellIdentityLte.tac;
            j["earfcn"] = c.cellIdentityLte.earfcn;
            break;
        case RIL_CELL_INFO_TYPE_GSM:
        case RIL_CELL_INFO_TYPE_WCDMA:
            j["mcc"] = c.cellIdentityWcdma.mcc;
            j["mnc"] = c.cellIdentityWcdma.mnc;
            j["lac"] = c.cellIdentityWcdma.lac;
            j["cid"] = c.cellIdentityWcdma.cid;
            break;
        case RIL_CELL_INFO_TYPE_CDMA:
            j["networkId"] = c.cellIdentityCdma.networkId;
            j["systemId"] = c.cellIdentityCdma.systemId;
            j["basestationId"] = c.cellIdentityCdma.basestationId;
            break;
        default: break;
    }
    return j;
}

}  // namespace

int requestCodeFromName(const std::string &nameIn) {
    std::string name = nameIn;
    auto a = aliases().find(name);
    if (a != aliases().end()) return a->second;
    for (auto &ch : name) ch = (char)toupper((unsigned char)ch);
    if (name.rfind("RIL_REQUEST_", 0) == 0) name = name.substr(12);
    for (int code = 1; code <= RIL_REQUEST_LAST_; code++)
        if (name == requestToString(code)) return code;
    return -1;
}

std::string requestName(int code) { return std::string("RIL_REQUEST_") + requestToString(code); }
std::string unsolName(int code) { return ril_host_unsol_name(code); }

std::string requestUsage(int code) { return argSpec(code).usage; }

// "sms NUMBER TEXT": the console builds the SUBMIT PDU (no SMSC: the module's own)
static bool encodeSmsFromText(const std::vector<Arg> &args, RequestData &out, std::string &error) {
    std::string tpdu;
    if (!hostrild::smsSubmitFromText(args[0].text, args[1].text, &tpdu, &error)) return false;
    char **v = (char **)out.keepBytes(2 * sizeof(char *));
    v[0] = nullptr;
    v[1] = out.keep(tpdu);
    out.set(v, 2 * sizeof(char *));
    return true;
}

bool encodeRequest(int code, const std::vector<Arg> &args, RequestData &out, std::string &error) {
    ArgSpec shape = argSpec(code);
    int n = (int)args.size();
    if (n < shape.min || n > shape.max) {
        error = requestName(code) + ": wrong argument count " + std::to_string(n) + ", usage: " +
                requestName(code) + (shape.usage[0] ? " " : "") + shape.usage;
        return false;
    }
    auto keepArg = [&](const Arg &a) -> char * { return a.isNull ? nullptr : out.keep(a.text); };
    if (code == RIL_REQUEST_SEND_SMS && n == 2 && !args[0].isNull && !args[1].isNull &&
        hostrild::isNumberAndText(args[0].text, args[1].text))
        return encodeSmsFromText(args, out, error);
    switch (shape.kind) {
        case ArgKind::None: out.set(nullptr, 0); return true;
        case ArgKind::Ints: {
            int *v = (int *)out.keepBytes(sizeof(int) * (size_t)n);
            for (int i = 0; i < n; i++)
                if (!parseInt(args[i], v[i], error)) return false;
            out.set(v, sizeof(int) * (size_t)n);
            return true;
        }
        case ArgKind::String: {
            char *s = keepArg(args[0]);
            out.set(s, s == nullptr ? 0 : strlen(s) + 1);
            return true;
        }
        case ArgKind::Strings: {
            char **v = (char **)out.keepBytes(sizeof(char *) * (size_t)n);
            for (int i = 0; i < n; i++) v[i] = keepArg(args[i]);
            out.set(v, sizeof(char *) * (size_t)n);
            return true;
        }
        case ArgKind::Dial: {
            RIL_Dial *d = (RIL_Dial *)out.keepBytes(sizeof(RIL_Dial));
            d->address = keepArg(args[0]);
            d->clir = 0;
            if (n > 1 && !parseInt(args[1], d->clir, error)) return false;
            out.set(d, sizeof(RIL_Dial));
            return true;
        }
        case ArgKind::SimIo: {
            RIL_SIM_IO_v6 *io = (RIL_SIM_IO_v6 *)out.keepBytes(sizeof(RIL_SIM_IO_v6));
            if (!parseInt(args[0], io->command, error) || !parseInt(args[1], io->fileid, error))
                return false;
            io->path = keepArg(args[2]);
            if (!parseInt(args[3], io->p1, error) || !parseInt(args[4], io->p2, error) ||
                !parseInt(args[5], io->p3, error))
                return false;
            io->data = n > 6 ? keepArg(args[6]) : nullptr;
            io->pin2 = n > 7 ? keepArg(args[7]) : nullptr;
            io->aidPtr = n > 8 ? keepArg(args[8]) : nullptr;
            out.set(io, sizeof(RIL_SIM_IO_v6));
            return true;
        }
        case ArgKind::SmsWrite: {
            RIL_SMS_WriteArgs *w = (RIL_SMS_WriteArgs *)out.keepBytes(sizeof(RIL_SMS_WriteArgs));
            if (!parseInt(args[0], w->status, error)) return false;
            w->pdu = keepArg(args[1]);
            w->smsc = n > 2 ? keepArg(args[2]) : nullptr;
            out.set(w, sizeof(RIL_SMS_WriteArgs));
            return true;
        }
        case ArgKind::CallForward: {
            RIL_CallForwardInfo *cf = (RIL_CallForwardInfo *)out.keepBytes(sizeof(RIL_CallForwardInfo));
            if (!parseInt(args[0], cf->status, error) || !parseInt(args[1], cf->reason, error) ||
                !parseInt(args[2], cf->serviceClass, error))
                return false;
            if (n > 3 && !parseInt(args[3], cf->toa, error)) return false;
            cf->number = n > 4 ? keepArg(args[4]) : nullptr;
            if (n > 5 && !parseInt(args[5], cf->timeSeconds, error)) return false;
            out.set(cf, sizeof(RIL_CallForwardInfo));
            return true;
        }
    }
    return false;
}

json decodeResponse(int code, int family, const void *data, size_t len) {
    if (data == nullptr || len == 0) return nullptr;
    if (json j; decodeSimnetResponse(code, data, len, j)) return j;
    switch (code) {
        case RIL_REQUEST_GET_SIM_STATUS: return decodeCardStatus(data, len);
        case RIL_REQUEST_SIGNAL_STRENGTH: return decodeSignal(data, len);
        case RIL_REQUEST_GET_CURRENT_CALLS: return decodeCalls(data, len);
        case RIL_REQUEST_SETUP_DATA_CALL:
        case RIL_REQUEST_DATA_CALL_LIST: return decodeDataCalls(data, len);
        case RIL_REQUEST_VOICE_REGISTRATION_STATE:
            if (family == 2 && len == sizeof(RIL_VoiceRegistrationStateResponse)) {
                const auto *r = (const RIL_VoiceRegistrationStateResponse *)data;
                return {{"regState", r->regState},
                        {"rat", r->rat},
                        {"cssSupported", r->cssSupported},
                        {"roamingIndicator", r->roamingIndicator},
                        {"systemIsInPrl", r->systemIsInPrl},
                        {"defaultRoamingIndicator", r->defaultRoamingIndicator},
                        {"reasonForDenial", r->reasonForDenial},
                        {"cellIdentity", decodeCellIdentity(r->cellIdentity)}};
            }
            return decodeStrings(data, len);
        case RIL_REQUEST_DATA_REGISTRATION_STATE:
            if (family == 2 && len == sizeof(RIL_DataRegistrationStateResponse)) {
                const auto *r = (const RIL_DataRegistrationStateResponse *)data;
                return {{"regState", r->regState},
                        {"rat", r->rat},
                        {"reasonDataDenied", r->reasonDataDenied},
                        {"maxDataCalls", r->maxDataCalls},
                        {"cellIdentity", decodeCellIdentity(r->cellIdentity)}};
            }
            return decodeStrings(data, len);
        case RIL_REQUEST_SEND_SMS:
        case RIL_REQUEST_SEND_SMS_EXPECT_MORE:
        case RIL_REQUEST_CDMA_SEND_SMS:
        case RIL_REQUEST_IMS_SEND_SMS: {
            if (len < sizeof(RIL_SMS_Response)) return rawBytes(data, len);
            const auto *r = (const RIL_SMS_Response *)data;
            return {{"messageRef", r->messageRef}, {"ackPDU", str(r->ackPDU)}, {"errorCode", r->errorCode}};
        }
        case RIL_REQUEST_SIM_IO:
        case RIL_REQUEST_STK_SEND_ENVELOPE_WITH_STATUS:
        case RIL_REQUEST_SIM_TRANSMIT_APDU_BASIC:
        case RIL_REQUEST_SIM_TRANSMIT_APDU_CHANNEL: {
            if (len < sizeof(RIL_SIM_IO_Response)) return rawBytes(data, len);
            const auto *r = (const RIL_SIM_IO_Response *)data;
            return {{"sw1", r->sw1}, {"sw2", r->sw2}, {"simResponse", str(r->simResponse)}};
        }
        case RIL_REQUEST_QUERY_CALL_FORWARD_STATUS: {
            json arr = json::array();
            const RIL_CallForwardInfo *const *v = (const RIL_CallForwardInfo *const *)data;
            for (size_t i = 0; i < len / sizeof(RIL_CallForwardInfo *); i++) {
                const RIL_CallForwardInfo *cf = v[i];
                if (cf == nullptr) {
                    arr.push_back(nullptr);
                    continue;
                }
                arr.push_back({{"status", cf->status}, {"reason", cf->reason},
                               {"serviceClass", cf->serviceClass}, {"toa", cf->toa},
                               {"number", str(cf->number)}, {"timeSeconds", cf->timeSeconds}});
            }
            return arr;
        }
        case RIL_REQUEST_GET_NEIGHBORING_CELL_IDS: {
            json arr = json::array();
            const RIL_NeighboringCell *const *v = (const RIL_NeighboringCell *const *)data;
            for (size_t i = 0; i < len / sizeof(RIL_NeighboringCell *); i++)
                arr.push_back(v[i] == nullptr ? json(nullptr)
                                              : json({{"cid", str(v[i]->cid)}, {"rssi", v[i]->rssi}}));
            return arr;
        }
        case RIL_REQUEST_GET_RADIO_CAPABILITY:
        case RIL_REQUEST_SET_RADIO_CAPABILITY: {
            if (len < sizeof(RIL_RadioCapability)) return rawBytes(data, len);
            const auto *r = (const RIL_RadioCapability *)data;
            return {{"version", r->version}, {"session", r->session}, {"phase", r->phase},
                    {"rat", r->rat},
                    {"logicalModemUuid", std::string(r->logicalModemUuid,
                                                     strnlen(r->logicalModemUuid, MAX_UUID_LENGTH))},
                    {"status", r->status}};
        }
        case RIL_REQUEST_SEND_USSD:
        case RIL_REQUEST_CANCEL_USSD:
        case RIL_REQUEST_STK_SEND_ENVELOPE_COMMAND:
        case RIL_REQUEST_STK_SEND_TERMINAL_RESPONSE:
        case RIL_REQUEST_STK_HANDLE_CALL_SETUP_REQUESTED_FROM_SIM: return decodeUssdResponse(code, data, len);
        // string answers
        case RIL_REQUEST_GET_IMSI:
        case RIL_REQUEST_GET_IMEI:
        case RIL_REQUEST_GET_IMEISV:
        case RIL_REQUEST_BASEBAND_VERSION:
        case RIL_REQUEST_GET_SMSC_ADDRESS:
        case RIL_REQUEST_STK_GET_PROFILE:
        case RIL_REQUEST_ISIM_AUTHENTICATION:
            return str((const char *)data);
        // string-array answers
        case RIL_REQUEST_OPERATOR:
        case RIL_REQUEST_QUERY_AVAILABLE_NETWORKS:
        case RIL_REQUEST_OEM_HOOK_STRINGS:
        case RIL_REQUEST_CDMA_SUBSCRIPTION:
        case RIL_REQUEST_DEVICE_IDENTITY:
            return decodeStrings(data, len);
        // int-array answers
        case RIL_REQUEST_ENTER_SIM_PIN:
        case RIL_REQUEST_ENTER_SIM_PUK:
        case RIL_REQUEST_ENTER_SIM_PIN2:
        case RIL_REQUEST_ENTER_SIM_PUK2:
        case RIL_REQUEST_CHANGE_SIM_PIN:
        case RIL_REQUEST_CHANGE_SIM_PIN2:
        case RIL_REQUEST_ENTER_NETWORK_DEPERSONALIZATION:
        case RIL_REQUEST_LAST_CALL_FAIL_CAUSE:
        case RIL_REQUEST_GET_CLIR:
        case RIL_REQUEST_QUERY_CALL_WAITING:
        case RIL_REQUEST_QUERY_FACILITY_LOCK:
        case RIL_REQUEST_SET_FACILITY_LOCK:
        case RIL_REQUEST_QUERY_NETWORK_SELECTION_MODE:
        case RIL_REQUEST_GET_MUTE:
        case RIL_REQUEST_QUERY_CLIP:
        case RIL_REQUEST_LAST_DATA_CALL_FAIL_CAUSE:
        case RIL_REQUEST_WRITE_SMS_TO_SIM:
        case RIL_REQUEST_QUERY_AVAILABLE_BAND_MODE:
        case RIL_REQUEST_GET_PREFERRED_NETWORK_TYPE:
        case RIL_REQUEST_CDMA_QUERY_ROAMING_PREFERENCE:
        case RIL_REQUEST_QUERY_TTY_MODE:
        case RIL_REQUEST_CDMA_QUERY_PREFERRED_VOICE_PRIVACY_MODE:
        case RIL_REQUEST_CDMA_WRITE_SMS_TO_RUIM:
        case RIL_REQUEST_CDMA_GET_SUBSCRIPTION_SOURCE:
        case RIL_REQUEST_VOICE_RADIO_TECH:
        case RIL_REQUEST_IMS_REGISTRATION_STATE:
        case RIL_REQUEST_SIM_OPEN_CHANNEL:
            if (len % sizeof(int) == 0) return decodeInts(data, len);
            return rawBytes(data, len);
        default:
            // a shape this decoder does not know: the bytes, never a guess
            return rawBytes(data, len);
    }
}

json decodeUnsol(int code, const void *data, size_t len) {
    if (data == nullptr || len == 0) return nullptr;
    if (json j; decodeSimnetUnsol(code, data, len, j)) return j;
    switch (code) {
        case RIL_UNSOL_SIGNAL_STRENGTH: return decodeSignal(data, len);
        case RIL_UNSOL_DATA_CALL_LIST_CHANGED: return decodeDataCalls(data, len);
        case RIL_UNSOL_RESPONSE_NEW_SMS: return hostrild::decodeSmsDeliver((const char *)data);
        case RIL_UNSOL_RESPONSE_NEW_SMS_STATUS_REPORT:
        case RIL_UNSOL_NITZ_TIME_RECEIVED:
        case RIL_UNSOL_STK_PROACTIVE_COMMAND:
        case RIL_UNSOL_STK_EVENT_NOTIFY:
            return str((const char *)data);
        case RIL_UNSOL_ON_USSD: return decodeUssdUnsol(data, len);
        case RIL_UNSOL_RADIO_CAPABILITY: return decodeResponse(RIL_REQUEST_GET_RADIO_CAPABILITY, 0, data, len);
        case RIL_UNSOL_RESPONSE_CDMA_NEW_SMS: {
            if (len < sizeof(RIL_CDMA_SMS_Message)) return rawBytes(data, len);
            const auto *m = (const RIL_CDMA_SMS_Message *)data;
            std::string digits;
            for (int i = 0; i < m->sAddress.number_of_digits && i < RIL_CDMA_SMS_ADDRESS_MAX; i++)
                digits += std::to_string(m->sAddress.digits[i]) + (i + 1 < m->sAddress.number_of_digits ? "," : "");
            std::string bearer;
            char hex[3];
            for (int i = 0; i < m->uBearerDataLen && i < RIL_CDMA_SMS_BEARER_DATA_MAX; i++) {
                snprintf(hex, sizeof(hex), "%02X", m->aBearerData[i]);
                bearer += hex;
            }
            return {{"teleservice", m->uTeleserviceID}, {"addressDigits", digits}, {"bearerData", bearer}};
        }
        default:
            if (len % sizeof(int) == 0) return decodeInts(data, len);
            return rawBytes(data, len);
    }
}

std::string renderHuman(const json &value, int indent) {
    std::string pad((size_t)indent, ' ');
    std::string out;
    if (value.is_object()) {
        for (auto it = value.begin(); it != value.end(); ++it) {
            if (it->is_structured()) {
                out += pad + it.key() + ":\n" + renderHuman(*it, indent + 2);
            } else {
                out += pad + it.key() + ": " + (it->is_string() ? it->get<std::string>() : it->dump()) + "\n";
            }
        }
    } else if (value.is_array()) {
        int i = 0;
        for (const auto &item : value) {
            if (item.is_structured()) {
                out += pad + "[" + std::to_string(i) + "]\n" + renderHuman(item, indent + 2);
            } else {
                out += pad + "[" + std::to_string(i) + "] " +
                       (item.is_string() ? item.get<std::string>() : item.dump()) + "\n";
            }
            i++;
        }
    } else if (!value.is_null()) {
        out += pad + (value.is_string() ? value.get<std::string>() : value.dump()) + "\n";
    }
    return out;
}

const char *errnoName(int e) {
    switch (e) {
        case RIL_E_SUCCESS: return "SUCCESS";
        case RIL_E_RADIO_NOT_AVAILABLE: return "RADIO_NOT_AVAILABLE";
        case RIL_E_GENERIC_FAILURE: return "GENERIC_FAILURE";
        case RIL_E_PASSWORD_INCORRECT: return "PASSWORD_INCORRECT";
        case RIL_E_SIM_PIN2: return "SIM_PIN2";
        case RIL_E_SIM_PUK2: return "SIM_PUK2";
        case RIL_E_REQUEST_NOT_SUPPORTED: return "REQUEST_NOT_SUPPORTED";
        case RIL_E_CANCELLED: return "CANCELLED";
        case RIL_E_OP_NOT_ALLOWED_DURING_VOICE_CALL: return "OP_NOT_ALLOWED_DURING_VOICE_CALL";
        case RIL_E_OP_NOT_ALLOWED_BEFORE_REG_TO_NW: return "OP_NOT_ALLOWED_BEFORE_REG_TO_NW";
        case RIL_E_SMS_SEND_FAIL_RETRY: return "SMS_SEND_FAIL_RETRY";
        case RIL_E_SIM_ABSENT: return "SIM_ABSENT";
        case RIL_E_SUBSCRIPTION_NOT_AVAILABLE: return "SUBSCRIPTION_NOT_AVAILABLE";
        case RIL_E_MODE_NOT_SUPPORTED: return "MODE_NOT_SUPPORTED";
        case RIL_E_FDN_CHECK_FAILURE: return "FDN_CHECK_FAILURE";
        case RIL_E_ILLEGAL_SIM_OR_ME: return "ILLEGAL_SIM_OR_ME";
        case RIL_E_MISSING_RESOURCE: return "MISSING_RESOURCE";
        case RIL_E_NO_SUCH_ELEMENT: return "NO_SUCH_ELEMENT";
    }
    return "UNKNOWN_ERROR";
}

json rawBytes(const void *data, size_t len) {
    static const char digits[] = "0123456789ABCDEF";
    const unsigned char *b = (const unsigned char *)data;
    std::string hex;
    hex.reserve(len * 2);
    for (size_t i = 0; i < len; i++) {
        hex += digits[b[i] >> 4];
        hex += digits[b[i] & 15];
    }
    return {{"bytes", len}, {"hex", hex}};
}

void setLibraryVersion(int version) { s_libraryVersion = version; }

}  // namespace hostril
