// Signal strength of the three families and the 10-second signal polls of
// the CDMA and WCDMA families (with their loss-of-service watching).
#include <limits.h>
#include <stdio.h>
#include <string.h>

#include "at_link.h"
#include "at_query.h"
#include "ril_parsers.h"
#include "at_reply.h"
#include "ril_families.h"
#include "ril_handlers.h"
#include "ril_log.h"
#include "ril_network.h"

#define RIL_SIGNAL_INITIALIZER(tdscdma)                                              \
    {                                                                                \
        {15, 99}, {-1, -1}, {-1, -1, -1},                                            \
            {99, INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX - 1}, { tdscdma }       \
    }

extern "C" {
RIL_SignalStrength_v10 s_signal_cdma = RIL_SIGNAL_INITIALIZER(0);
RIL_SignalStrength_v10 s_signal_wcdma = RIL_SIGNAL_INITIALIZER(0);
RIL_SignalStrength_v10 s_signal_lte = RIL_SIGNAL_INITIALIZER(99);
int s_nosignal_count = 0;
unsigned int s_nosignal_since = 0;

// Shared with the "^MODE:" handling of the unsolicited lines, which may
// define it as well; both start at 2.
__attribute__((weak)) int s_sysmode = 2;
// Flags owned by the packet-data area (weak: the owning area's definition
// takes precedence); g_screenon belongs to the screen-state handlers.
__attribute__((weak)) int g_inprocess = 0;
__attribute__((weak)) int g_pppd_usersetup = 0;
}

#undef RIL_SIGNAL_INITIALIZER

static const struct timeval kPollPeriod = {10, 0};

// "AT+CSQ"-style query: r and b stay 0 when absent. Returns 1 when b was read.
static int readCsq(const char *cmd, const char *prefix, int *r, int *b) {
    *r = 0;
    *b = 0;
    AtQuery q = AT_QUERY_INIT;
    int n = parseCsq(at_query_single(&q, cmd, prefix), r, b);
    at_query_free(&q);
    return n == 2 ? 1 : 0;
}

/* ------------------------------------------------------------------ */
/* Requests                                                             */
/* ------------------------------------------------------------------ */

extern "C" void OnCDMA_RIL_REQUEST_SIGNAL_STRENGTH(void * /*data*/, size_t /*datalen*/, RIL_Token t) {
    // the poll keeps the record current: no module traffic here
    RIL_onRequestComplete_cdma(t, RIL_E_SUCCESS, &s_signal_cdma, sizeof(s_signal_cdma));
}

extern "C" void OnWCDMA_RIL_REQUEST_SIGNAL_STRENGTH(void * /*data*/, size_t /*datalen*/, RIL_Token t) {
    at_send_command("ATE0", nullptr);
    int r = 0, b = 0;
    readCsq("AT+CSQ", "+CSQ:", &r, &b);
    s_signal_wcdma.GW_SignalStrength.signalStrength = r;
    s_signal_wcdma.GW_SignalStrength.bitErrorRate = b;
    RIL_onRequestComplete_wcdma(t, RIL_E_SUCCESS, &s_signal_wcdma, sizeof(s_signal_wcdma));
}

extern "C" void OnLTE_RIL_REQUEST_SIGNAL_STRENGTH(void * /*data*/, size_t /*datalen*/, RIL_Token t) {
    at_send_command("ATE0", nullptr);
    int r = 0, b = 0;
    if (is_cdma == 1)
        readCsq("AT+CCSQ", "+CCSQ:", &r, &b);
    else
        readCsq("AT+CSQ", "+CSQ:", &r, &b);
    if (r > 100) r = (r - 103) / 2;
    // computed wide: the module's number may be anything
    long long rsrp = 113LL - 2LL * r;
    if (rsrp < 60) rsrp = 60;
    if (rsrp > 113) rsrp = 113;
    s_signal_lte.GW_SignalStrength.signalStrength = r;
    s_signal_lte.GW_SignalStrength.bitErrorRate = b;
    s_signal_lte.LTE_SignalStrength.signalStrength = r;
    s_signal_lte.LTE_SignalStrength.rsrp = (int)rsrp;

    // "+SERVERINFO:" carries the RSRP (negative dBm) in its seventh field
    AtQuery q = AT_QUERY_INIT;
    int fields[7];
    int more = 0;
    if (parseServerinfo(at_query_single(&q, "AT+SERVERINFO", "+SERVERINFO:"), fields, 7, &more) == 7 && more &&
        fields[6] != INT_MIN) {
        s_signal_lte.LTE_SignalStrength.signalStrength = r;
        s_signal_lte.LTE_SignalStrength.rsrp = -fields[6];
    }
    at_query_free(&q);
    RIL_onRequestComplete_lte(t, RIL_E_SUCCESS, &s_signal_lte, sizeof(s_signal_lte));
}

/* ------------------------------------------------------------------ */
/* CDMA poll                                                            */
/* ------------------------------------------------------------------ */

extern "C" void CheckModeState(void) {
    if (s_channel_closed_cdma > 0) return;
    AtReply *reply = nullptr;
    int m = s_sysmode;
    if (at_send_command_singleline("AT^PREFMODE?", "^PREFMODE:", &reply) >= 0 && reply != nullptr &&
        reply->success && reply->p_intermediates != nullptr) {
        char *p = reply->p_intermediates->line;
        int v = 0;
        m = (at_tok_start(&p) >= 0 && at_tok_nextint(&p, &v) >= 0) ? v : 0;
    }
    at_response_free(reply);
    bool serviceChanged = s_cdmaservice != (s_sysmode != 0 ? 1 : 0) || s_gpsnwzero != 0;
    RILDEBUG("CheckModeState: mode %d, last %d, service %d, gpsnwzero %d", m, s_sysmode,
             s_cdmaservice, s_gpsnwzero);
    if (m != s_sysmode || serviceChanged) {
        RIL_onUnsolicitedResponse_cdma(RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED, nullptr, 0);
        s_sysmode = m;
    }
}

// get_cdmacsq: the module's "+RSSI:" scale to what the framework shows
static void get_cdmacsq(int *c, int *e) {
    if (*c >= 71 && *c <= 124) *c = *c - (*c - 70) / 2;
    if (*e >= 86 && *e <= 124) *e = *e - (*e - 85) / 2;
}

extern "C" void SignalChange_cdma(void * /*param*/) {
    if (g_screenon == 0 || s_channel_closed_cdma > 0 || G_incall || g_inprocess) {
        RIL_requestTimedCallback_cdma(SignalChange_cdma, nullptr, &kPollPeriod);
        return;
    }
    AtReply *reply = nullptr;
    if (at_send_command_singleline("AT+RSSI", "+RSSI:", &reply) < 0 || reply == nullptr ||
        !reply->success || reply->p_intermediates == nullptr) {
        at_response_free(reply);
        RIL_requestTimedCallback_cdma(SignalChange_cdma, nullptr, &kPollPeriod);
        return;
    }
    char *p = reply->p_intermediates->line;
    int c = 0, e = 0;
    bool parsed = at_tok_start(&p) >= 0 && at_tok_nextint(&p, &c) >= 0 && at_tok_nextint(&p, &e) >= 0;
    at_response_free(reply);

    if (parsed) {
        if (s_radio_state_cdma != RADIO_STATE_RUIM_READY) {
            c = e = 125;
            g_use_hasdataservice = 0;
        }
        bool noService = c == 125 && e == 125;
        get_cdmacsq(&c, &e);
        int ecio = c <= 75 ? 89 : c <= 85 ? 109 : c <= 95 ? 129 : c <= 100 ? 149 : 0;
        int snr = e <= 65 ? 7 : e <= 75 ? 5 : e <= 90 ? 3 : e <= 105 ? 1 : 0;
        s_signal_cdma.CDMA_SignalStrength.dbm = c;
        s_signal_cdma.CDMA_SignalStrength.ecio = ecio;
        if (e != 1) {
            s_signal_cdma.EVDO_SignalStrength.dbm = e;
            s_signal_cdma.EVDO_SignalStrength.signalNoiseRatio = snr;
        }
        if (noService) {
            s_nosignal_count++;
            if (s_nosignal_count >= 2 && g_pppd_usersetup)
                RIL_onUnsolicitedResponse_cdma(RIL_UNSOL_DATA_CALL_LIST_CHANGED, nullptr, 0);
        } else {
            s_nosignal_count = 0;
            g_use_hasdataservice = 1;
        }
    }
    RIL_onUnsolicitedResponse_cdma(RIL_UNSOL_SIGNAL_STRENGTH, &s_signal_cdma, sizeof(s_signal_cdma));
    if (s_channel_closed_cdma <= 0) CheckModeState();
    RIL_requestTimedCallback_cdma(SignalChange_cdma, nullptr, &kPollPeriod);
}

/* ------------------------------------------------------------------ */
/* WCDMA poll                                                           */
/* ------------------------------------------------------------------ */

extern "C" void SignalChange_wcdma(void * /*param*/) {
    if (s_channel_closed_wcdma > 0) {
        RIL_requestTimedCallback_wcdma(SignalChange_wcdma, nullptr, &kPollPeriod);
        return;
    }
    int r = 0, b = 0;
    int haveB = readCsq("AT+CSQ", "+CSQ:", &r, &b);
    if (s_radio_state_wcdma != RADIO_STATE_SIM_READY) r = 0;
    if (r == 99) r = 0;

    // no signal for more than 30 s: reset the module
    if (r != 0) {
        s_nosignal_since = 0;
    } else if (s_nosignal_since == 0) {
        unsigned int now = GetTickCount();
        s_nosignal_since = now != 0 ? now : 1;
    }
    if (s_nosignal_since != 0 && GetTickCount() - s_nosignal_since > 30000) {
        RIL_LOGD("no signal for 30 s: reset the module");
#if RIL_VERSION >= 15
        at_send_command("AT^RESET", nullptr);
        sleepMsec(2000);
        sleepMsec(3000);
#else
        // the legacy build restarts the radio instead of the whole module
        at_send_command("AT+CFUN=0", nullptr);
        sleepMsec(2000);
        at_send_command("AT+CFUN=1", nullptr);
        sleepMsec(3000);
#endif
        s_nosignal_since = 0;
    }

    s_signal_wcdma.GW_SignalStrength.signalStrength = r;
    s_signal_wcdma.GW_SignalStrength.bitErrorRate = b;
    s_signal_wcdma.LTE_SignalStrength.signalStrength = -1;
    s_signal_wcdma.LTE_SignalStrength.rsrp = -1;
    s_signal_wcdma.LTE_SignalStrength.rsrq = -1;
    s_signal_wcdma.LTE_SignalStrength.cqi = -1;
    s_signal_wcdma.LTE_SignalStrength.rssnr = INT_MAX;
    if (s_hasinit)
        RIL_onUnsolicitedResponse_wcdma(RIL_UNSOL_SIGNAL_STRENGTH, &s_signal_wcdma, sizeof(s_signal_wcdma));

    int hasSignal = r != 0 ? 1 : 0;
    if (hasSignal != s_registered && haveB && GetTickCount() - s_lastopen_wcdma > 15000) {
        if (s_hasinit)
            RIL_onUnsolicitedResponse_wcdma(RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED, nullptr, 0);
        if (r == 0) {
            sleepMsec(1000);
            if (s_hasinit) RIL_onUnsolicitedResponse_wcdma(RIL_UNSOL_DATA_CALL_LIST_CHANGED, nullptr, 0);
        }
    }
    RIL_requestTimedCallback_wcdma(SignalChange_wcdma, nullptr, &kPollPeriod);
}

/* ------------------------------------------------------------------ */
/* Poll start (first SIM-ready step of each family) and CSQ helpers      */
/* ------------------------------------------------------------------ */

extern "C" void startSignalPoll_cdma(void) {
    static int s_started = 0;
    if (s_started) return;
    s_started = 1;
    RIL_requestTimedCallback_cdma(SignalChange_cdma, nullptr, nullptr);
}

extern "C" void startSignalPoll_wcdma(void) {
    static int s_started = 0;
    if (s_started) return;
    s_started = 1;
    RIL_requestTimedCallback_wcdma(SignalChange_wcdma, nullptr, nullptr);
}

extern "C" int GetGsmSignal(int *rssi) {
    if (rssi == nullptr) return -1;
    int r = 0, b = 0;
    readCsq("AT+CSQ", "+CSQ:", &r, &b);
    *rssi = r == 99 ? 0 : r;
    return 0;
}

extern "C" int GetWSignal(int *rssi, int *ber) {
    if (rssi == nullptr || ber == nullptr || G_incall) return -1;
    int r = 0, b = 0;
    readCsq("AT+CSQ", "+CSQ:", &r, &b);
    *rssi = r == 99 ? 0 : r;
    *ber = b;
    return 0;
}
