// Unsolicited lines of the SIM, network and vendor areas: NITZ time,
// registration and mode changes, the SIM-ready and SIM-state lines, the
// CDMA GPS download lines, and the lines every family ignores. Each line
// has its own row handler in the family's table of line prefixes.
#include "ril_unsol_simnet.h"

#include <stdlib.h>
#include <string.h>

#include "at_reply.h"
#include "ril_families.h"
#include "ril_log.h"
#include "ril_network.h"
#include "ril_sim.h"
#include "ril_unsolicited.h"
#include "ril_vendor.h"

// the tick of the last call line other than a call end (kept by the call lines)
extern "C" {
__attribute__((weak)) unsigned int G_Callendtime = 0;
}

extern "C" {
int s_lastmode = -1;
int s_offlinewatch = 2;
int s_canreport_network = 0;
unsigned int s_oflinetime = 0;
unsigned int s_onlinetime = 0;
}

namespace {

typedef void (*UnsolFn)(int, const void *, size_t);

// The NITZ time text of a "%CTZV:" line: its first field without quotes.
void nitz(const char *line, UnsolFn unsol, bool needInit) {
    char *copy = strdup(line);
    if (copy == nullptr) return;
    char *cur = copy;
    char *text = nullptr;
    if (at_tok_start(&cur) < 0 || at_tok_nextstr(&cur, &text) < 0 || text == nullptr) {
        RIL_LOGE("invalid NITZ line %s\n", line);
        free(copy);
        return;
    }
    if (!needInit || s_hasinit) unsol(RIL_UNSOL_NITZ_TIME_RECEIVED, text, strlen(text));
    free(copy);
}

void simReady(UnsolFn unsol) {
    if (s_hasinit) unsol(RIL_UNSOL_RESPONSE_SIM_STATUS_CHANGED, nullptr, 0);
    if (s_hasinit) unsol(RIL_UNSOL_RESPONSE_RADIO_STATE_CHANGED, nullptr, 0);
}

}  // namespace

extern "C" void onUnsolNitz_cdma(const char *line, const char *) { nitz(line, RIL_onUnsolicitedResponse_cdma, false); }
extern "C" void onUnsolNitz_wcdma(const char *line, const char *) { nitz(line, RIL_onUnsolicitedResponse_wcdma, true); }
extern "C" void onUnsolNitz_lte(const char *line, const char *) { nitz(line, RIL_onUnsolicitedResponse_lte, true); }

extern "C" void onUnsolNetworkChanged_cdma(const char *, const char *) {
    RIL_onUnsolicitedResponse_cdma(RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED, nullptr, 0);
}

extern "C" void onUnsolSimState_cdma(const char *, const char *) {
    struct timeval delay = {1, 0};
    RIL_requestTimedCallback_cdma(pollSIMState_cdma, nullptr, &delay);
}

extern "C" void onUnsolSimReady_wcdma(const char *, const char *) { simReady(RIL_onUnsolicitedResponse_wcdma); }
extern "C" void onUnsolSimReady_lte(const char *, const char *) { simReady(RIL_onUnsolicitedResponse_lte); }

extern "C" void onUnsolMode_cdma(const char *line, const char *) {
    s_canreport_network = 0;
    char *copy = strdup(line);
    int mode = 0;
    if (copy != nullptr) {
        char *cur = copy;
        if (at_tok_start(&cur) < 0)
            s_offlinewatch = 2;
        else if (at_tok_nextint(&cur, &mode) < 0)
            mode = 0;
        free(copy);
    }
    unsigned int now = GetTickCount();
    if (s_offlinewatch && mode == 0) {
        s_offlinewatch = 0;
        s_oflinetime = now;
    }
    s_onlinetime = now;
    s_sysmode = mode;
    if (mode == s_lastmode) return;
    s_lastmode = mode;
    s_canreport_network = 1;
    RIL_onUnsolicitedResponse_cdma(RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED, nullptr, 0);
}

extern "C" void onUnsolMode_wcdma(const char *, const char *) {
    if (s_hasinit) RIL_onUnsolicitedResponse_wcdma(RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED, nullptr, 0);
}

extern "C" void onUnsolMode_lte(const char *, const char *) {
    // the legacy build leaves the network state alone while a call is up
    if (s_hasinit && (RIL_VERSION >= 15 || !G_incall))
        RIL_onUnsolicitedResponse_lte(RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED, nullptr, 0);
    // a mode change right after a call: ask for the registration again later
    if ((unsigned int)(GetTickCount() - G_Callendtime) <= 4999u) {
        struct timeval delay = {5, 0};
        RIL_requestTimedCallback_lte(onRegChanged, nullptr, &delay);
    }
}

extern "C" void onUnsolGpsNetDone_cdma(const char *, const char *) {
    struct timeval delay = {2, 1};
    RIL_requestTimedCallback_cdma(RestartGps_cdma, nullptr, &delay);
}

extern "C" void onUnsolGpsDownloadDone_cdma(const char *, const char *) {
    s_gpsdownload = 1;
    if (g_companyid == 99) {
        s_gpstracking = 0;
        RIL_onUnsolicitedResponse_cdma(RIL_UNSOL_DATA_CALL_LIST_CHANGED, nullptr, 0);
    }
    struct timeval delay = {2, 1};
    RIL_requestTimedCallback_cdma(RestartGps_cdma, nullptr, &delay);
}
