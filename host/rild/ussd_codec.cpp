#include "ussd_codec.h"

#include <string>

namespace hostril {

namespace {

// the USSD types of 3GPP TS 27.007 "+CUSD:"
const char *meaning(const std::string &type) {
    if (type == "0") return "no further user action required";
    if (type == "1") return "further user action required";
    if (type == "2") return "USSD terminated by network";
    if (type == "3") return "other local client has responded";
    if (type == "4") return "operation not supported";
    if (type == "5") return "network time out";
    return "unknown";
}

}  // namespace

nlohmann::json decodeUssdUnsol(const void *data, size_t len) {
    const char *const *v = static_cast<const char *const *>(data);
    size_t n = data == nullptr ? 0 : len / sizeof(char *);
    nlohmann::json j;
    j["type"] = n > 0 && v[0] != nullptr ? nlohmann::json(std::string(v[0])) : nlohmann::json(nullptr);
    j["meaning"] = j["type"].is_string() ? meaning(j["type"].get<std::string>()) : "none";
    j["text"] = n > 1 && v[1] != nullptr ? nlohmann::json(std::string(v[1])) : nlohmann::json(nullptr);
    if (n != 2) j["strings"] = n;
    return j;
}

nlohmann::json decodeUssdResponse(int, const void *, size_t) { return nullptr; }

}  // namespace hostril
