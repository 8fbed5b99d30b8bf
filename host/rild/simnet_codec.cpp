#include "simnet_codec.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "ril_interface.h"

namespace hostril {

namespace {

using nlohmann::json;

int hexByte(const std::string &s, size_t i) {
    auto v = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    int h = v(s[i]), l = v(s[i + 1]);
    return h < 0 || l < 0 ? -1 : h << 4 | l;
}

// the fields of a 15-byte SIM GET RESPONSE; null when the text is not one
json getResponseFields(const std::string &text) {
    if (text.size() != 30) return nullptr;
    int b[15];
    for (size_t i = 0; i < 15; i++)
        if ((b[i] = hexByte(text, 2 * i)) < 0) return nullptr;
    const char *type = b[6] == 1 ? "MF" : b[6] == 2 ? "DF" : b[6] == 4 ? "EF" : nullptr;
    if (type == nullptr) return nullptr;
    const char *structure = b[13] == 0 ? "transparent" : b[13] == 1 ? "linear fixed" : b[13] == 3 ? "cyclic" : "?";
    char id[5];
    snprintf(id, sizeof id, "%02X%02X", b[4], b[5]);
    json j = {{"fileSize", b[2] << 8 | b[3]}, {"fileId", id}, {"type", type}};
    if (b[6] == 4) {
        j["structure"] = structure;
        if (b[13] != 0) j["recordLength"] = b[14];
    }
    return j;
}

json str(const char *s) { return s == nullptr ? json(nullptr) : json(std::string(s)); }

}  // namespace

bool decodeSimnetResponse(int code, const void *data, size_t len, json &out) {
    if (code == RIL_REQUEST_SIM_IO) {
        if (len < sizeof(RIL_SIM_IO_Response)) {
            out = {{"bytes", len}};
            return true;
        }
        const auto *r = (const RIL_SIM_IO_Response *)data;
        out = {{"sw1", r->sw1}, {"sw2", r->sw2}, {"simResponse", str(r->simResponse)}};
        if (r->simResponse != nullptr) {
            json gr = getResponseFields(std::string(r->simResponse, strnlen(r->simResponse, 64)));
            if (!gr.is_null()) out["getResponse"] = gr;
        }
        return true;
    }
    if (code == RIL_REQUEST_QUERY_AVAILABLE_NETWORKS) {
        const char *const *v = (const char *const *)data;
        size_t n = len / sizeof(char *);
        out = json::array();
        for (size_t i = 0; i + 3 < n; i += 4)
            out.push_back({{"longName", str(v[i])}, {"shortName", str(v[i + 1])}, {"numeric", str(v[i + 2])},
                           {"status", str(v[i + 3])}});
        return true;
    }
    return false;
}

bool decodeSimnetUnsol(int code, const void *data, size_t len, json &out) {
    if (code != RIL_UNSOL_NITZ_TIME_RECEIVED) return false;
    std::string text((const char *)data, strnlen((const char *)data, len));
    out = {{"text", text}};
    int yy, mo, dd, hh, mi, ss, tz, dst = 0;
    char sign;
    int n = sscanf(text.c_str(), "%2d/%2d/%2d,%2d:%2d:%2d%c%d,%d", &yy, &mo, &dd, &hh, &mi, &ss, &sign, &tz, &dst);
    if (n >= 8 && (sign == '+' || sign == '-')) {
        char when[32];
        snprintf(when, sizeof when, "20%02d-%02d-%02dT%02d:%02d:%02d", yy, mo, dd, hh, mi, ss);
        out["time"] = when;
        // the zone counts quarter hours
        out["zoneMinutes"] = (sign == '-' ? -1 : 1) * tz * 15;
        if (n == 9) out["dst"] = dst;
    }
    return true;
}

}  // namespace hostril
