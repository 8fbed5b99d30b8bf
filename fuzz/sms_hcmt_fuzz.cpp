// Fuzz target: the CDMA "^HCMT"/"^MMS:" parser on an arbitrary notification
// line and PDU line, and the five-slot queue behind it.
//
// Input layout: byte 0 is the MMS flag and the split point between the
// notification line and the PDU line; the two texts follow, separated by
// the first NUL when there is one.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "ril_families.h"
#include "ril_sms.h"

namespace {

void onComplete(RIL_Token, RIL_Errno, void *, size_t) {}
void onUnsol(int, const void *data, size_t len) {
    volatile unsigned char sink = 0;
    for (size_t i = 0; i < len; i++) sink = sink ^ static_cast<const unsigned char *>(data)[i];
    (void)sink;
}
void *onTimed(RIL_TimedCallback, void *, const struct timeval *) { return nullptr; }
const struct RIL_Env kEnv = {onComplete, onUnsol, onTimed, nullptr};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > 8192) return 0;
    s_rilenv = &kEnv;
    static bool started = false;
    if (!started) {
        initSmsStore_cdma();
        started = true;
    }
    std::string rest(reinterpret_cast<const char *>(data + 1), size - 1);
    size_t cut = rest.find('\0');
    if (cut == std::string::npos) cut = rest.size() * (data[0] >> 1) / 128;
    // exact-size heap copies: a read past either text is a sanitizer report
    std::string line = "^HCMT:" + rest.substr(0, cut);
    std::string pdu = cut < rest.size() ? rest.substr(cut + 1) : std::string();
    char *l = new char[line.size() + 1];
    char *p = new char[pdu.size() + 1];
    memcpy(l, line.c_str(), line.size() + 1);
    memcpy(p, pdu.c_str(), pdu.size() + 1);
    for (int i = 0; i < 7; i++) onCDMANewSMS(l, p, data[0] & 1);
    for (int i = 0; i < 8; i++) GetSMS_cdma();
    delete[] l;
    delete[] p;
    return 0;
}
