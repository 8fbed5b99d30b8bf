// Encoding of console arguments into request data, and decoding of
// response and notification data into JSON, as the platform daemon would
// marshal them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ril_interface.h"

namespace hostril {

// Request data built from console arguments; owns every buffer it points to.
class RequestData {
public:
    void *data() const { return data_; }
    size_t length() const { return length_; }

    // storage helpers used by the encoders
    char *keep(const std::string &s);
    void *keepBytes(size_t n);
    void set(void *data, size_t length) {
        data_ = data;
        length_ = length;
    }

private:
    std::vector<std::unique_ptr<char[]>> strings_;
    std::vector<std::unique_ptr<unsigned char[]>> blobs_;
    void *data_ = nullptr;
    size_t length_ = 0;
};

// An argument: text, or null (written "null" on the console).
struct Arg {
    std::string text;
    bool isNull = false;
};

// Splits a console line into words; double quotes group, backslash escapes
// \" \\ \r \n \t \xHH. Returns false with a message on unbalanced quotes.
bool splitLine(const std::string &line, std::vector<Arg> &out, std::string &error);

// Request code for a name ("RIL_REQUEST_DIAL", "DIAL", "dial" or a short
// alias); -1 when unknown.
int requestCodeFromName(const std::string &name);
std::string requestName(int code);
std::string unsolName(int code);

// Builds the request data; false with a message for a wrong argument count
// or a malformed number.
bool encodeRequest(int code, const std::vector<Arg> &args, RequestData &out, std::string &error);

// Short usage text of a request's arguments.
std::string requestUsage(int code);

// Decodes response / notification data. family is the active radio family
// (0 CDMA, 1 WCDMA, 2 LTE), which chooses between string arrays and records
// for the registration answers.
nlohmann::json decodeResponse(int code, int family, const void *data, size_t len);
nlohmann::json decodeUnsol(int code, const void *data, size_t len);
// the data-call records follow the loaded library's interface version
void setLibraryVersion(int version);

// Human-readable rendering of a decoded value, indented.
std::string renderHuman(const nlohmann::json &value, int indent);

// The name of a RIL_Errno value without its "RIL_E_" prefix;
// "UNKNOWN_ERROR" for a value outside the enumeration.
const char *errnoName(int e);

// Data of a shape the decoders do not know: {"bytes": len, "hex": "..."}.
nlohmann::json rawBytes(const void *data, size_t len);

}  // namespace hostril
