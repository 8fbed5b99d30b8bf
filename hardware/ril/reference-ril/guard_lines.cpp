// The module's packet-data lines: a packet event asks for the data call
// list; a multimedia notification ends the data link. The AT reader thread
// only marks the user disconnect and schedules: stopping pppd (a kill, its
// waits and the probes) runs on the event thread, where it blocks no reply.
#include "ril_data.h"
#include "ril_families.h"
#include "ril_log.h"
#include "ril_unsolicited.h"

namespace {

void stopLink(void *) { StopPPPD("onUnsolicited", 0); }

}  // namespace

extern "C" void ril_stop_link_later(int family) {
    // first: no resume may start a new dial from here on
    G_userdisconnect = 1;
    if (family == RIL_FAMILY_LTE)
        RIL_requestTimedCallback_lte(stopLink, nullptr, nullptr);
    else if (family == RIL_FAMILY_WCDMA)
        RIL_requestTimedCallback_wcdma(stopLink, nullptr, nullptr);
    else
        RIL_requestTimedCallback_cdma(stopLink, nullptr, nullptr);
}

extern "C" void onUnsolPacketEvent_cdma(const char *, const char *) {
    RIL_requestTimedCallback_cdma(onDataCallListChanged_cdma, nullptr, nullptr);
}
extern "C" void onUnsolPacketEvent_wcdma(const char *, const char *) {
    RIL_requestTimedCallback_wcdma(onDataCallListChanged_wcdma, nullptr, nullptr);
}
extern "C" void onUnsolPacketEvent_lte(const char *, const char *) {
    RIL_requestTimedCallback_lte(onDataCallListChanged_lte, nullptr, nullptr);
}
