// WCDMA family: request dispatch and radio state.
#include <errno.h>
#include <pthread.h>
#include <stdlib.h>
#include <unistd.h>
#include <stdio.h>
#include <string.h>

#include "at_link.h"
#include "at_reply.h"
#include "ril_families.h"
#include "ril_log.h"
#include "usb_discovery.h"

extern "C" {
RIL_RadioState s_radio_state_wcdma = RADIO_STATE_UNAVAILABLE;
int s_channel_closed_wcdma = 0;
pthread_mutex_t s_radio_state_mutex_wcdma = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t s_radio_state_cond_wcdma = PTHREAD_COND_INITIALIZER;
}

static const char kWcdmaSource[] = "hardware/ril/reference-ril/reference-ril_wcdma.c";

extern "C" {
unsigned int s_lastopen_wcdma = 0;
int s_callwaiting_wcdma = 0;
RIL_DataCallRecord s_datacall_wcdma;
}

// A changed WCDMA radio state is reported once initialization has run; the
// radio turning on starts the SIM poll.
static void reportStateChange_wcdma(RIL_RadioState now) {
    if (s_hasinit) RIL_onUnsolicitedResponse_wcdma(RIL_UNSOL_RESPONSE_RADIO_STATE_CHANGED, nullptr, 0);
    if (now == RADIO_STATE_ON) {
        RILDEBUG("%s", "onRadioPowerOn");
        pollSIMState_wcdma(nullptr);
    }
}

static void markUnavailable_wcdma(void) { setRadioState_wcdma(RADIO_STATE_UNAVAILABLE, __LINE__); }

extern "C" const RilFamily g_family_wcdma = {
    RIL_FAMILY_WCDMA, kWcdmaSource, &s_rilenv_wcdma, &s_radio_state_wcdma, &s_channel_closed_wcdma,
    &s_radio_state_mutex_wcdma, &s_radio_state_cond_wcdma, radioStateToString_wcdma,
    // admission: by radio state; a closed channel and an empty slot are
    // generic failures, logged
    ril_request_table_wcdma, RIL_WCDMA_TABLE_SIZE, 1, 0, 1, RIL_E_GENERIC_FAILURE, RIL_E_GENERIC_FAILURE,
    RIL_E_GENERIC_FAILURE, nullptr, reportStateChange_wcdma, markUnavailable_wcdma,
    // a lost channel: close, then 18 scans (30 in flight mode)
    {0, 18, 30, 1, 1, 0, 0, &s_lastopen_wcdma},
};

extern "C" void RIL_onRequestComplete_wcdma(RIL_Token t, RIL_Errno e, void *response, size_t len) {
    ril_family_complete(&g_family_wcdma, t, e, response, len);
}
extern "C" void RIL_onUnsolicitedResponse_wcdma(int code, const void *data, size_t len) {
    ril_family_unsolicited(&g_family_wcdma, code, data, len);
}
extern "C" void RIL_requestTimedCallback_wcdma(RIL_TimedCallback cb, void *param, const struct timeval *tv) {
    ril_family_timed(&g_family_wcdma, cb, param, tv);
}
extern "C" void onRequest_wcdma(int request, void *data, size_t datalen, RIL_Token t) {
    ril_family_on_request(&g_family_wcdma, request, data, datalen, t);
}
extern "C" void setRadioState_wcdma(RIL_RadioState newState, int line) {
    RILDEBUG("setRadioState(%s) line:%d", radioStateToString_wcdma(newState), line);
    ril_family_set_radio_state(&g_family_wcdma, newState);
}
extern "C" void onATReaderClosed_wcdma(void) { ril_family_reader_closed(&g_family_wcdma); }

// WCDMA and LTE: one try, a failure reads as "off"
extern "C" int isRadioOn_wcdma(void) { return ril_query_radio_on(0, 1); }
extern "C" int isRadioOn_lte(void) { return ril_query_radio_on(0, 1); }

extern "C" void sendCallStateChanged_wcdma(void * /*param*/) {
    if (s_hasinit)
        RIL_onUnsolicitedResponse_wcdma(RIL_UNSOL_RESPONSE_CALL_STATE_CHANGED, nullptr, 0);
}

extern "C" void onDataCallListChanged_wcdma(void * /*param*/) {
    RILDEBUG("%s", "onDataCallListChanged");
}

/* ------------------------------------------------------------------ */
/* WCDMA main loop, channel recovery and initialization                 */
/* ------------------------------------------------------------------ */

extern "C" void onATTimeout_wcdma(void) {
    if (g_ntimeoutcount > 4) {
        RIL_LOGD("save life");
        ResetModule(kWcdmaSource, __LINE__, 1);
    }
}

static const RilMainLoopRow kMainLoopWcdma = {
    &g_family_wcdma, WCheckDataStatus, getSIMStatus_wcdma, onATReaderClosed_wcdma, onATTimeout_wcdma,
    onUnsolicited_wcdma,
    // discovery: bit 0 or 2; no reset before a retry
    0, 0,
    // cold open: initialize after 2 s
    initializeCallback_wcdma, 2,
    // flight mode: activeflydata after 1 s, then the flag is cleared
    nullptr, activeflydata_wcdma, 1, 1,
    // hot open: guard token and 1001 first; a ready SIM fetches the SMS after 5 s
    1, 1, GetUnReadSMS, 5,
    // the open time for the signal poll; no sleep
    &s_lastopen_wcdma, 0,
};

extern "C" void *mainLoop_wcdma(void * /*param*/) { return ril_family_main_loop(&kMainLoopWcdma); }

// Re-opens the WCDMA channel after flight mode; for outside callers.
extern "C" int on6270fly(void) {
    if (g_inflymode == 0) return 0;
    RIL_LOGI("on6270fly\n");
    if (ril_search_device(30)) {
        RILDEBUG("*******Hot Resume*******%d", g_inhotstatus);
        int fd = ril_open_at_port();
        if (fd >= 0) {
            ril_family_set_channel_closed(&g_family_wcdma, 0);
            ril_set_serial_line(fd, 1);
            if (at_open(fd, onUnsolicited_wcdma) >= 0)
                RIL_requestTimedCallback_wcdma(initializeCallback_wcdma, nullptr, nullptr);
        }
    } else {
        g_inhotstatus = 0;
        RILDEBUG("*******missed device*******");
        ril_family_broadcast(&g_family_wcdma);
    }
    g_inflymode = 0;
    return 0;
}

extern "C" void initializeCallback_wcdma(void * /*param*/) {
    setRadioState_wcdma(RADIO_STATE_OFF, __LINE__);
    at_handshake();
    at_send_command("AT^KVPARTNER=10", nullptr);
    if (isRadioOn_wcdma() < 1) at_send_command("AT+CFUN=1", nullptr);

    s_datacall_wcdma.status = 0xFFFF;
    s_datacall_wcdma.suggestedRetryTime = 99999999;
    s_datacall_wcdma.cid = 1;
    s_datacall_wcdma.active = 0;
    s_datacall_wcdma.type = (char *)"default";
    s_datacall_wcdma.ifname = (char *)"ppp0";
    s_datacall_wcdma.addresses = (char *)"";
    s_datacall_wcdma.dnses = (char *)"114.114.114.114";
    s_datacall_wcdma.gateways = (char *)"";

    if (isRadioOn_wcdma() >= 1)
        setRadioState_wcdma(RADIO_STATE_ON, __LINE__);
    else
        setRadioState_wcdma(RADIO_STATE_OFF, __LINE__);

    static bool s_smsReady = false;
    if (!s_smsReady) {
        s_smsReady = true;
        initSmsList_wcdma();
    }
    g_inittickcount = GetTickCount();
    s_callwaiting_wcdma = 1;
    s_hasinit = 1;
    at_send_command("AT^SLEEPMODE=1", nullptr);
}

extern "C" void onSIMReady_wcdma(void) {
    static bool s_firstRun = true;
    RILDEBUG("%s", "onSIMReady");
    g_hasdatacard = 1;
    at_send_command("AT^KVPARTNER=10", nullptr);
    at_send_command("AT+CGREG=2", nullptr);
    at_send_command("AT+CREG=2", nullptr);
    static const char *const kSetup[] = {"AT+CCWA=1", "AT+CMEE=1", "AT+CLVL=0",
                                         "AT+CMUT=1", "AT+CUSD=1", "AT+CMGF=0"};
    for (const char *cmd : kSetup) at_send_command(cmd, nullptr);
    at_send_command("ATE0", nullptr);
    at_send_command("AT+CPMS=\"SM\",\"SM\",\"SM\"", nullptr);
    AtReply *p_response = nullptr;
    at_send_command_singleline("AT+CSMS=0", "+CSMS:", &p_response);
    at_response_free(p_response);
    at_send_command("AT+CNMI=2,1,0,2,0", nullptr);
    at_send_command("AT+CEMNLIST=2,\"911,112, 120, 119, 110\"", nullptr);
    at_send_command("AT+CNAOP=2", nullptr);
    at_send_command("AT+CNSMOD=1", nullptr);
    sleepMsec(8000);
    if (!s_firstRun) {
        at_send_command("AT+CPREFMODE=14", nullptr);
        at_send_command("AT+CPREFMODE=2", nullptr);
    }
    struct timeval sms = {9, 0};
    RIL_requestTimedCallback_wcdma(GetUnReadSMS, nullptr, &sms);
    if (s_firstRun) startSignalPoll_wcdma();
    s_firstRun = false;
    s_hasinit = 1;
    RIL_onUnsolicitedResponse_wcdma(RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED, nullptr, 0);
    RIL_onUnsolicitedResponse_wcdma(RIL_UNSOL_RADIO_CAPABILITY, &RadioCapability, sizeof(RadioCapability));
    kv_raise_event(2, nullptr);
    struct timeval after = {5, 0};
    RIL_requestTimedCallback_wcdma(AfterSimReady, nullptr, &after);
    at_send_command("ATE0", nullptr);
    SetCimiIccidProp();
    property_set("gsm.sim.state", "READY");
    if (s_hasinit) RIL_onUnsolicitedResponse_wcdma(RIL_UNSOL_RESPONSE_SIM_STATUS_CHANGED, nullptr, 0);
    if (s_hasinit) RIL_onUnsolicitedResponse_wcdma(RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED, nullptr, 0);
    if (s_hasinit) RIL_onUnsolicitedResponse_wcdma(RIL_UNSOL_RESPONSE_SIM_STATUS_CHANGED, nullptr, 0);
}

extern "C" void AfterSimReady(void * /*param*/) {
    RIL_LOGD("AfterSimReady");
    if (s_hasinit) RIL_onUnsolicitedResponse_wcdma(RIL_UNSOL_RESPONSE_CALL_STATE_CHANGED, nullptr, 0);
    s_datacall_wcdma.status = 0xFFFF;
}

static RIL_RadioState currentState_wcdma(void) { return ril_family_current_state(&g_family_wcdma, 1); }
static int onSupports(int /*requestCode*/) { return 1; }
static void onCancel(RIL_Token /*t*/) {}
static const char *getVersion_wcdma(void) {
    static char s_version[512];
    return ril_family_version(s_version, sizeof(s_version), "(vox)");
}

extern "C" const RIL_RadioFunctions s_callbacks_wcdma = {
    RIL_VERSION, onRequest_wcdma, currentState_wcdma, onSupports, onCancel, getVersion_wcdma,
};
