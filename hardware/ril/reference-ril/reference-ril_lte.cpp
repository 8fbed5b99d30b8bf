// LTE family: request dispatch and radio state.
#include <errno.h>
#include <pthread.h>
#include <stdlib.h>
#include <unistd.h>
#include <stdio.h>
#include <string.h>

#include "at_link.h"
#include "at_query.h"
#include "ril_profile.h"
#include "at_reply.h"
#include "ril_families.h"
#include "ril_legacy.h"
#include "ril_log.h"
#include "usb_discovery.h"

extern "C" {
RIL_RadioState s_radio_state_lte = RADIO_STATE_UNAVAILABLE;
int s_channel_closed_lte = 0;
pthread_mutex_t s_radio_state_mutex_lte = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t s_radio_state_cond_lte = PTHREAD_COND_INITIALIZER;
pthread_mutex_t s_request_mutex_lte = PTHREAD_MUTEX_INITIALIZER;
}

static const char kLteSource[] = "hardware/ril/reference-ril/reference-ril_lte.c";

// A changed LTE radio state: reported once initialization has run, then 1 s
// of sleep, the network, emergency callback mode for a locked or absent
// card, and the SIM status; the radio turning on starts the SIM poll.
static void reportStateChange_lte(RIL_RadioState now) {
    if (s_hasinit) RIL_onUnsolicitedResponse_lte(RIL_UNSOL_RESPONSE_RADIO_STATE_CHANGED, nullptr, 0);
    // the LTE family sleeps 1 s after each state change
    sleepMsec(1000);
    if (s_hasinit) RIL_onUnsolicitedResponse_lte(RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED, nullptr, 0);
    if (now == RADIO_STATE_SIM_LOCKED_OR_ABSENT && s_hasinit)
        RIL_onUnsolicitedResponse_lte(RIL_UNSOL_ENTER_EMERGENCY_CALLBACK_MODE, nullptr, 0);
    if (s_hasinit) RIL_onUnsolicitedResponse_lte(RIL_UNSOL_RESPONSE_SIM_STATUS_CHANGED, nullptr, 0);
    if (now == RADIO_STATE_ON) {
        RILDEBUG("%s", "onRadioPowerOn");
        pollSIMState_lte(nullptr);
    }
}

static void markUnavailable_lte(void) { setRadioState_lte(RADIO_STATE_UNAVAILABLE, __LINE__); }

extern "C" const RilFamily g_family_lte = {
    RIL_FAMILY_LTE, kLteSource, &s_rilenv_lte, &s_radio_state_lte, &s_channel_closed_lte,
    &s_radio_state_mutex_lte, &s_radio_state_cond_lte, radioStateToString_lte,
    // admission: any radio state, one handler at a time; a closed channel is
    // "not available", a code past the table "not supported", both logged
    ril_request_table_lte, RIL_LTE_TABLE_SIZE, 0, 0, 1, RIL_E_RADIO_NOT_AVAILABLE, RIL_E_REQUEST_NOT_SUPPORTED,
    RIL_E_GENERIC_FAILURE, &s_request_mutex_lte, reportStateChange_lte, markUnavailable_lte,
    // a lost channel: close, then 18 scans; found in flight mode: wait 15 s
    {0, 18, 18, 0, 1, 1, 15000, nullptr},
};

extern "C" void RIL_onRequestComplete_lte(RIL_Token t, RIL_Errno e, void *response, size_t len) {
    ril_family_complete(&g_family_lte, t, e, response, len);
}
extern "C" void RIL_onUnsolicitedResponse_lte(int code, const void *data, size_t len) {
    ril_family_unsolicited(&g_family_lte, code, data, len);
}
extern "C" void RIL_requestTimedCallback_lte(RIL_TimedCallback cb, void *param, const struct timeval *tv) {
    ril_family_timed(&g_family_lte, cb, param, tv);
}
extern "C" void onRequest_lte(int request, void *data, size_t datalen, RIL_Token t) {
    ril_family_on_request(&g_family_lte, request, data, datalen, t);
}
extern "C" void setRadioState_lte(RIL_RadioState newState, int line) {
    RILDEBUG("setRadioState(%s) line:%d", radioStateToString_lte(newState), line);
    ril_family_set_radio_state(&g_family_lte, newState);
}
#if RIL_VERSION >= 15
extern "C" void onATReaderClosed_lte(void) { ril_family_reader_closed(&g_family_lte); }
#else
extern "C" void onATReaderClosed_lte(void) { ril_legacy_lte_reader_closed(&g_family_lte); }
#endif

extern "C" void sendCallStateChanged_lte(void * /*param*/) {
    if (s_hasinit)
        RIL_onUnsolicitedResponse_lte(RIL_UNSOL_RESPONSE_CALL_STATE_CHANGED, nullptr, 0);
}

extern "C" void onDataCallListChanged_lte(void * /*param*/) {
    RILDEBUG("%s", "onDataCallListChanged");
}

/* ------------------------------------------------------------------ */
/* LTE main loop, channel recovery and initialization                   */
/* ------------------------------------------------------------------ */

extern "C" {
int is_cdma = 0;
int is_fddandevdo = 0;
int s_is9615 = 1;
int s_is9X07 = 1;
int s_callwaiting_lte = 0;
}

extern "C" void onATTimeout_lte(void) {
    if (g_ntimeoutcount > 8) {
        RIL_LOGD("save life");
        ResetModule(kLteSource, __LINE__, 1);
    }
}

// flight mode: the radio is on again at once, and the SIM status reported
static void flyRadioOn_lte(void) {
    setRadioState_lte(RADIO_STATE_ON, __LINE__);
    if (s_hasinit) RIL_onUnsolicitedResponse_lte(RIL_UNSOL_RESPONSE_SIM_STATUS_CHANGED, nullptr, 0);
}

static const RilMainLoopRow kMainLoopLte = {
    &g_family_lte, LteCheckDataStatus, getSIMStatus_lte, onATReaderClosed_lte, onATTimeout_lte,
    onUnsolicited_lte,
    // discovery: any result counts, an AT port alone included; each retry is
    // preceded by a module reset
    1, 1,
    // cold open: initialize at once
    initializeCallback_lte, 0,
    // flight mode: radio on, activeflydata after 2 s; the flag stays set
    flyRadioOn_lte, activeflydata_lte, 2, 0,
    // hot open: with a ready SIM, 1001 and the unread-SMS fetch at once
    0, 0, loop_lte_callback, 0,
    // no open time; 1 s of sleep with a ready SIM
    nullptr, 1000,
};

extern "C" void *mainLoop_lte(void * /*param*/) { return ril_family_main_loop(&kMainLoopLte); }

extern "C" void initializeCallback_lte(void * /*param*/) {
    setRadioState_lte(RADIO_STATE_SIM_NOT_READY, __LINE__);
    at_handshake();
    at_send_command("ATE0", nullptr);
    if (isRadioOn_lte() < 1) at_send_command("AT+CFUN=1", nullptr);
    at_send_command("AT+CMEE=1", nullptr);
    at_send_command("at^rptflag=0", nullptr);

    ril_profile_find_lte_kind();
#if RIL_VERSION < 15
    ril_legacy_lte_init();
#endif

    setRadioState_lte(RADIO_STATE_UNAVAILABLE, __LINE__);
    if (isRadioOn_lte() >= 1)
        setRadioState_lte(RADIO_STATE_ON, __LINE__);
    else
        setRadioState_lte(RADIO_STATE_OFF, __LINE__);

    static bool s_smsReady = false;
    if (!s_smsReady) {
        s_smsReady = true;
        initSmsList_lte();
    }
    g_inittickcount = GetTickCount();
    s_callwaiting_lte = 1;
    s_hasinit = 1;
    RIL_onUnsolicitedResponse_lte(RIL_UNSOL_RESPONSE_RADIO_STATE_CHANGED, nullptr, 0);
}

extern "C" void onSIMReady_lte(void) {
    RILDEBUG("%s", "onSIMReady");
    g_hasdatacard = 1;
    at_send_command(ril_module_profile()->dataRegReport, nullptr);
    static const char *const kSetup[] = {"AT+CCREG=2", "AT+CREG=2",   "AT+CCWA=1",     "AT+CMEE=1",
                                         "AT+CUSD=1",  "AT+CMGF=0",   "AT$QCMGF=0",    "at+gpsport=0",
                                         "ATE0",       "at+atver=1"};
    for (const char *cmd : kSetup) at_send_command(cmd, nullptr);

    AtQuery q = AT_QUERY_INIT;
    is_cdma = 1;
    at_query_send(&q, "AT+QCIMI", SINGLELINE, "+QCIMI:");
    if (!at_query_answered(&q)) {
        is_cdma = 0;
    } else if (!at_query_ok(&q)) {
        is_fddandevdo = 0;
        is_cdma = 0;
    } else {
        is_fddandevdo = 1;
        at_query_send(&q, "AT+CIMI", SINGLELINE, "+CIMI:");
        if (at_query_ok(&q)) is_cdma = -1;
        else if (at_query_answered(&q)) is_cdma = 1;
    }
    char imsi[64];
    at_query_send(&q, "AT+CIMI", SINGLELINE, "+CIMI:");
    if (at_query_ok(&q) && at_query_start(&q) >= 0 && at_query_next_text(&q, imsi, sizeof(imsi)) >= 0 &&
        strncmp(imsi, "46011", 5) == 0)
        is_fddandevdo = 1;
    at_query_free(&q);
    RILDEBUG("is_cdma is %d, is_fddandevdo is %d, in onSIMReady()", is_cdma, is_fddandevdo);

    int mode = getmodeconfig();
    if (is_fddandevdo && mode != 38)
        at_send_command("AT^MODECONFIG=38", nullptr);
    else if (!is_fddandevdo && mode != 2)
        at_send_command("AT^MODECONFIG=2", nullptr);
    if (ril_profile_lte_forces_mode38())
        at_send_command("AT^MODECONFIG=38", nullptr);
#if RIL_VERSION < 15
    ril_legacy_lte_sim_ready();
#endif

    if (s_hasinit)
        RIL_onUnsolicitedResponse_lte(RIL_UNSOL_RADIO_CAPABILITY, &RadioCapability, sizeof(RadioCapability));
    kv_raise_event(2, nullptr);
    at_send_command("AT+CMEE=1", nullptr);
    property_set("gsm.sim.state", "READY");

    for (int sends = 0; sends < 10; sends++) {
        char cimi[PROPERTY_VALUE_MAX];
        at_query_send(&q, "AT+CIMI", SINGLELINE, "+CIMI:");
        if (!at_query_ok(&q)) {
            sleepMsec(1000);
            break;
        }
        bool parsed = at_query_start(&q) >= 0 && at_query_next_text(&q, cimi, sizeof(cimi)) >= 0;
        at_query_free(&q);
        if (!parsed) break;
        property_set("ril.kivo.cimi", cimi);
        if (strlen(cimi) >= 10) {
            sleepMsec(1000);
            break;
        }
    }

    at_query_send(&q, "AT+ICCID", SINGLELINE, ril_module_profile()->iccidPrefix);
    char iccid[PROPERTY_VALUE_MAX];
    if (at_query_ok(&q) && at_query_start(&q) >= 0 && at_query_next_text(&q, iccid, sizeof(iccid)) >= 0)
        property_set("ril.kivo.iccid", iccid);
    at_query_free(&q);
    if (s_hasinit) RIL_onUnsolicitedResponse_lte(RIL_UNSOL_RESPONSE_SIM_STATUS_CHANGED, nullptr, 0);
    // messages left on the card (and those a restart interrupted) are read now
    RIL_requestTimedCallback_lte(loop_lte_callback, nullptr, nullptr);
}

static RIL_RadioState currentState_lte(void) { return ril_family_current_state(&g_family_lte, 1); }
static int onSupports(int /*requestCode*/) { return 1; }
static void onCancel(RIL_Token /*t*/) {}
static const char *getVersion_lte(void) {
    static char s_version[512];
    return ril_family_version(s_version, sizeof(s_version), "(vox)");
}

extern "C" const RIL_RadioFunctions s_callbacks_lte = {
    RIL_VERSION, onRequest_lte, currentState_lte, onSupports, onCancel, getVersion_lte,
};
