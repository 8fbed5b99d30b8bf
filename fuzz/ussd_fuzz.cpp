// Fuzz target: module bytes through the "+CUSD:" decoder and the collection
// of a report over several lines. The input is cut into lines at LF; byte 0
// picks the family (bit 0) and whether every line also goes to the decoder
// on its own (bit 1). A line that begins with "+CUSD:" starts a report as its
// row does, any other line goes where the catch-all row sends it. Every 1006
// report must carry two pointers and terminated strings of bounded length.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "at_reply.h"
#include "ril_families.h"
#include "ril_unsolicited.h"
#include "ussd.h"

// The family record's slots: the decoder reports through the CDMA one.
extern "C" {
const struct RIL_Env *s_rilenv_wcdma = nullptr;
const struct RIL_Env *s_rilenv_lte = nullptr;

void RIL_onRequestComplete_cdma(RIL_Token, RIL_Errno, void *, size_t) {}
void RIL_requestTimedCallback_wcdma(RIL_TimedCallback, void *, const struct timeval *) {}
void RIL_requestTimedCallback_lte(RIL_TimedCallback, void *, const struct timeval *) {}

void RIL_onUnsolicitedResponse_cdma(int code, const void *data, size_t len) {
    if (code != RIL_UNSOL_ON_USSD) abort();
    if (data == nullptr || len != 2 * sizeof(char *)) abort();
    const char *const *v = (const char *const *)data;
    if (v[0] == nullptr || strlen(v[0]) >= 16) abort();
    // the longest text: three UTF-8 bytes for each septet of a full buffer
    if (v[1] != nullptr && strlen(v[1]) > 3 * RIL_USSD_BUF_SIZE) abort();
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > 65536) return 0;
    const int family = (data[0] & 1) ? RIL_FAMILY_LTE : RIL_FAMILY_WCDMA;
    const bool direct = (data[0] & 2) != 0;
    ussd_collect_reset(RIL_FAMILY_WCDMA);
    ussd_collect_reset(RIL_FAMILY_LTE);
    std::string rest(reinterpret_cast<const char *>(data + 1), size - 1);
    size_t pos = 0;
    while (pos <= rest.size()) {
        size_t end = rest.find('\n', pos);
        if (end == std::string::npos) end = rest.size();
        std::string line = rest.substr(pos, end - pos);  // NUL-terminated copy, stops at a NUL byte
        GetQuoCount(line.c_str());
        if (direct) Unsolicited_USD(line.c_str());
        if (strStartsWith(line.c_str(), "+CUSD:"))
            ussd_collect_start(family, line.c_str());
        else
            ussd_collect_continue(family, line.c_str());
        const char *buf = family == RIL_FAMILY_LTE ? s_ussdbuf_lte : s_ussdbuf_wcdma;
        if (strnlen(buf, RIL_USSD_BUF_SIZE) >= RIL_USSD_BUF_SIZE) abort();
        pos = end + 1;
    }
    return 0;
}
