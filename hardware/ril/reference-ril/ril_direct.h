/* The completion path of the USSD, SIM toolkit and SIM file routines. The
 * legacy interface's daemon library exports RIL_onRequestComplete and
 * RIL_onUnsolicitedResponse itself, and those routines answer through them
 * there; the current build answers through the family's RIL_Env. */
#ifndef RIL_DIRECT_H
#define RIL_DIRECT_H

#include <stddef.h>

#include "ril_families.h"
#include "ril_interface.h"

static inline void ril_direct_complete(RIL_Token t, RIL_Errno e, void *response, size_t len) {
#if RIL_VERSION >= 15
    RIL_onRequestComplete_cdma(t, e, response, len);
#else
    RIL_onRequestComplete(t, e, response, len);
#endif
}

static inline void ril_direct_unsolicited(int code, const void *data, size_t len) {
#if RIL_VERSION >= 15
    RIL_onUnsolicitedResponse_cdma(code, data, len);
#else
    RIL_onUnsolicitedResponse(code, data, len);
#endif
}

#endif
