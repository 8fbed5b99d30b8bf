// Fuzz target: module bytes through the AT reader and the WCDMA or LTE
// unsolicited table into the SMS queue ("+CMT:", "$QCMT:", "+CDS:",
// "+CMTI:" lines and their PDU lines), as if they came from the port, then
// acknowledgements that release the queued reports one by one.
//
// Input layout: byte 0 picks the family (even WCDMA, odd LTE) and the read
// size; the rest is the byte stream.
#include <stddef.h>
#include <stdint.h>

#include "at_link.h"
#include "ril_families.h"
#include "ril_sms.h"

namespace {

void onComplete(RIL_Token, RIL_Errno, void *, size_t) {}
void onUnsol(int, const void *data, size_t len) {
    // the framework reads the text it is given: touch every byte of it
    volatile unsigned char sink = 0;
    for (size_t i = 0; i < len; i++) sink = sink ^ static_cast<const unsigned char *>(data)[i];
    (void)sink;
}
// timed callbacks (the stored-message reader) are not run: they need a module
void *onTimed(RIL_TimedCallback, void *, const struct timeval *) { return nullptr; }
const struct RIL_Env kEnv = {onComplete, onUnsol, onTimed, nullptr};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > 16384) return 0;
    s_rilenv = s_rilenv_wcdma = s_rilenv_lte = &kEnv;
    s_radio_state_wcdma = RADIO_STATE_SIM_READY;
    s_radio_state_lte = RADIO_STATE_SIM_READY;
    s_hasinit = 1;
    bool lte = data[0] & 1;
    size_t chunk = (data[0] >> 1) % 64;
    at_test_feed(reinterpret_cast<const char *>(data + 1), size - 1, chunk, -1, nullptr, nullptr, nullptr,
                 lte ? onUnsolicited_lte : onUnsolicited_wcdma);
    // the framework's acknowledgements hand over the rest, one at a time
    for (int i = 0; i < 80; i++) {
        if (lte)
            GetSMS_lte();
        else
            GetSMS_wcdma();
    }
    ril_sms_reset_for_test();
    return 0;
}
