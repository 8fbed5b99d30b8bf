// LTE family: request dispatch and radio state.
#include <errno.h>
#include <pthread.h>
#include <stdlib.h>
#include <unistd.h>
#include <stdio.h>
#include <string.h>

#include "at_link.h"
#include "at_reply.h"
#include "ril_families.h"
#include "ril_handlers.h"
#include "ril_log.h"
#include "usb_discovery.h"

extern "C" {
RIL_RadioState s_radio_state_lte = RADIO_STATE_UNAVAILABLE;
int s_channel_closed_lte = 0;
pthread_mutex_t s_radio_state_mutex_lte = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t s_radio_state_cond_lte = PTHREAD_COND_INITIALIZER;
pthread_mutex_t s_request_mutex_lte = PTHREAD_MUTEX_INITIALIZER;
}

extern "C" void RIL_onRequestComplete_lte(RIL_Token t, RIL_Errno e, void *response, size_t len) {
    if (s_rilenv_lte != nullptr) s_rilenv_lte->OnRequestComplete(t, e, response, len);
}

extern "C" void RIL_onUnsolicitedResponse_lte(int code, const void *data, size_t len) {
    if (s_rilenv_lte != nullptr) s_rilenv_lte->OnUnsolicitedResponse(code, data, len);
}

extern "C" void RIL_requestTimedCallback_lte(RIL_TimedCallback cb, void *param,
                                             const struct timeval *tv) {
    if (s_rilenv_lte != nullptr) s_rilenv_lte->RequestTimedCallback(cb, param, tv);
}

#define RIL_LTE_TABLE_ENTRY_(code, handler) t[code] = handler;
static const RilRequestHandler *lteTable() {
    static RilRequestHandler t[RIL_LTE_TABLE_SIZE];
    static pthread_once_t once = PTHREAD_ONCE_INIT;
    pthread_once(&once, [] { RIL_LTE_REQUEST_TABLE(RIL_LTE_TABLE_ENTRY_) });
    return t;
}
#undef RIL_LTE_TABLE_ENTRY_

static void rejectRequest_lte(RIL_Token t, RIL_Errno e, int line) {
    RIL_LOGD("onRequestComplete :%s. line:%d", "onRequest", line);
    RIL_onRequestComplete_lte(t, e, nullptr, 0);
}

// Dispatch with the request mutex held: one LTE handler at a time.
static void dispatch_lte(int request, void *data, size_t datalen, RIL_Token t) {
    RILDEBUG("onRequest: state %s, request %d %s", radioStateToString_lte(s_radio_state_lte),
             request, requestToString(request));
    if (s_channel_closed_lte > 0) {
        RILDEBUG("W: >> slcosed: %d", s_channel_closed_lte);
        rejectRequest_lte(t, RIL_E_RADIO_NOT_AVAILABLE, __LINE__);
        return;
    }
    if ((unsigned int)request >= RIL_LTE_TABLE_SIZE) {
        rejectRequest_lte(t, RIL_E_REQUEST_NOT_SUPPORTED, __LINE__);
        return;
    }
    RilRequestHandler handler = lteTable()[request];
    if (handler == nullptr) {
        RILDEBUG("onRequest:%s not supported! ", requestToString(request));
        rejectRequest_lte(t, RIL_E_GENERIC_FAILURE, __LINE__);
        return;
    }
    if (data == nullptr && datalen != 0) {
        rejectRequest_lte(t, RIL_E_GENERIC_FAILURE, __LINE__);
        return;
    }
    handler(data, datalen, t);
}

extern "C" void onRequest_lte(int request, void *data, size_t datalen, RIL_Token t) {
    RILDEBUG("%s, line:%d", "onRequest", __LINE__);
    pthread_mutex_lock(&s_request_mutex_lte);
    dispatch_lte(request, data, datalen, t);
    pthread_mutex_unlock(&s_request_mutex_lte);
}

extern "C" void setRadioState_lte(RIL_RadioState newState, int line) {
    RILDEBUG("setRadioState(%s) line:%d", radioStateToString_lte(newState), line);
    pthread_mutex_lock(&s_radio_state_mutex_lte);
    RIL_RadioState oldState = s_radio_state_lte;
    if (s_channel_closed_lte > 0) newState = RADIO_STATE_UNAVAILABLE;
    if (oldState != newState || s_channel_closed_lte > 0) {
        s_radio_state_lte = newState;
        pthread_cond_broadcast(&s_radio_state_cond_lte);
    }
    pthread_mutex_unlock(&s_radio_state_mutex_lte);

    RIL_RadioState stored = s_radio_state_lte;
    if (stored == oldState) return;
    if (s_hasinit)
        RIL_onUnsolicitedResponse_lte(RIL_UNSOL_RESPONSE_RADIO_STATE_CHANGED, nullptr, 0);
    // the LTE family sleeps 1 s after each state change
    sleepMsec(1000);
    if (s_hasinit)
        RIL_onUnsolicitedResponse_lte(RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED, nullptr, 0);
    if (stored == RADIO_STATE_SIM_LOCKED_OR_ABSENT && s_hasinit)
        RIL_onUnsolicitedResponse_lte(RIL_UNSOL_ENTER_EMERGENCY_CALLBACK_MODE, nullptr, 0);
    if (s_hasinit)
        RIL_onUnsolicitedResponse_lte(RIL_UNSOL_RESPONSE_SIM_STATUS_CHANGED, nullptr, 0);
    if (stored == RADIO_STATE_ON) {
        RILDEBUG("%s", "onRadioPowerOn");
        pollSIMState_lte(nullptr);
    }
}

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

static const char kLteSource[] = "hardware/ril/reference-ril/reference-ril_lte.c";

extern "C" {
int is_cdma = 0;
int is_fddandevdo = 0;
int s_is9615 = 1;
int s_is9X07 = 1;
int s_callwaiting_lte = 0;
}

extern "C" void onATReaderClosed_lte(void) {
    RIL_LOGI("AT channel closed\n");
    at_close();
    s_channel_closed_lte = 1;
    g_inhotstatus = 1;
    if (ril_search_device(18)) {
        g_inhotstatus = 1;
        if (g_inflymode) {
            RILDEBUG("*******wait for csq*******");
            sleepMsec(15000);
        }
    } else {
        g_inhotstatus = 0;
        RILDEBUG("*******missed device*******");
        setRadioState_lte(RADIO_STATE_UNAVAILABLE, __LINE__);
    }
    pthread_cond_broadcast(&s_radio_state_cond_lte);
}

extern "C" void onATTimeout_lte(void) {
    if (g_ntimeoutcount > 8) {
        RIL_LOGD("save life");
        ResetModule(kLteSource, __LINE__, 1);
    }
}

// any discovery result counts here, an AT port alone included; each retry
// is preceded by a module reset
static int openAndConfigure_lte(void) {
    return ril_open_and_configure(RIL_FAMILY_LTE, kLteSource, 1, 1, &s_radio_state_lte, &s_channel_closed_lte);
}

extern "C" void *mainLoop_lte(void * /*param*/) {
    SetGuradFlag(kLteSource, __LINE__);
    ril_install_guard_hooks(s_rilenv_lte, LteCheckDataStatus, getSIMStatus_lte);
    property_set("ril.priority", "");
    at_set_on_reader_closed(onATReaderClosed_lte);
    at_set_on_timeout(onATTimeout_lte);
    for (;;) {
        int fd = openAndConfigure_lte();
        int ret = at_open(fd, onUnsolicited_lte);
        if (ret < 0) {
            RIL_LOGE("WGod >> AT error %d on at_open\n", ret);
            return nullptr;
        }
        if (g_inhotstatus == 0) {
            RILDEBUG("WGod >> Will delay RIL initialization for %d seconds", 0);
            PrepareSem();
            RIL_requestTimedCallback_lte(initializeCallback_lte, nullptr, nullptr);
        } else if (g_inflymode) {
            // the flag stays set: every later hot open takes this path too
            RILDEBUG("WGod >> Will delay RIL initialization for %d seconds", 0);
            setRadioState_lte(RADIO_STATE_ON, __LINE__);
            if (s_hasinit) RIL_onUnsolicitedResponse_lte(RIL_UNSOL_RESPONSE_SIM_STATUS_CHANGED, nullptr, 0);
            RIL_requestTimedCallback_lte(initializeCallback_lte, nullptr, nullptr);
            struct timeval delay = {2, 0};
            RIL_requestTimedCallback_lte(activeflydata_lte, nullptr, &delay);
        } else if (s_radio_state_lte == RADIO_STATE_SIM_READY) {
            RILDEBUG("WGod >> Will delay RIL initialization for %d seconds", 0);
            if (s_hasinit) RIL_onUnsolicitedResponse_lte(RIL_UNSOL_RESPONSE_CALL_STATE_CHANGED, nullptr, 0);
            RIL_requestTimedCallback_lte(loop_lte_callback, nullptr, nullptr);
            struct timeval check = {2, 0};
            StartCheckDataCheck(LteCheckDataStatus, &check);
        } else {
            RILDEBUG("WGod >> Will delay RIL initialization for %d seconds", 5);
            struct timeval delay = {5, 0};
            RIL_requestTimedCallback_lte(initializeCallback_lte, nullptr, &delay);
        }
        if (s_radio_state_lte == RADIO_STATE_SIM_READY) sleepMsec(1000);
        pthread_mutex_lock(&s_radio_state_mutex_lte);
        while (s_channel_closed_lte == 0) pthread_cond_wait(&s_radio_state_cond_lte, &s_radio_state_mutex_lte);
        pthread_mutex_unlock(&s_radio_state_mutex_lte);
        RIL_LOGI("Re-opening after close");
    }
}

extern "C" void initializeCallback_lte(void * /*param*/) {
    setRadioState_lte(RADIO_STATE_SIM_NOT_READY, __LINE__);
    at_handshake();
    at_send_command("ATE0", nullptr);
    if (isRadioOn_lte() < 1) at_send_command("AT+CFUN=1", nullptr);
    at_send_command("AT+CMEE=1", nullptr);
    at_send_command("at^rptflag=0", nullptr);

    RILDEBUG("WDog before>> s_is9615 is %d, s_is9X07 is %d", s_is9615, s_is9X07);
    if (g_moduletype == 4 || g_moduletype == 5) {
        s_is9615 = 0;
        s_is9X07 = 0;
    } else {
        AtReply *p_response = nullptr;
        int err = at_send_command_singleline("AT+HWINFO", "+HWINFO:", &p_response);
        if (err < 0 || p_response == nullptr || !p_response->success || p_response->p_intermediates == nullptr) {
            // a module that rejects the query is taken for a 9X07
            s_is9615 = 0;
            RILDEBUG("WDog >> hwinfo break 1");
        } else {
            char *line = p_response->p_intermediates->line;
            int kind = 0;
            if (at_tok_start(&line) < 0 || at_tok_nextint(&line, &kind) < 0) {
                s_is9615 = 0;
            } else if (kind == 104) {
                s_is9615 = 1;
                s_is9X07 = 0;
            } else {
                s_is9615 = 0;
                s_is9X07 = 0;
            }
        }
        at_response_free(p_response);
    }
    RILDEBUG("WDog after>> s_is9615 is %d, s_is9X07 is %d", s_is9615, s_is9X07);

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

// Sends a single-line query; returns -1 when the command failed, 0 when it
// was answered but not OK, 1 when OK (then *out holds the reply).
static int query(const char *cmd, const char *prefix, AtReply **out) {
    AtReply *p_response = nullptr;
    int err = at_send_command_singleline(cmd, prefix, &p_response);
    if (err < 0 || p_response == nullptr) {
        at_response_free(p_response);
        return -1;
    }
    if (!p_response->success) {
        at_response_free(p_response);
        return 0;
    }
    if (out != nullptr)
        *out = p_response;
    else
        at_response_free(p_response);
    return 1;
}

// First field of a single-line reply copied into buf; false when unreadable.
static bool firstField(AtReply *r, char *buf, size_t len) {
    if (r == nullptr || r->p_intermediates == nullptr) return false;
    char *line = r->p_intermediates->line;
    char *field = nullptr;
    if (at_tok_start(&line) < 0 || at_tok_nextstr(&line, &field) < 0 || field == nullptr) return false;
    snprintf(buf, len, "%s", field);
    return true;
}

extern "C" void onSIMReady_lte(void) {
    RILDEBUG("%s", "onSIMReady");
    g_hasdatacard = 1;
    at_send_command(g_moduletype == 5 ? "AT+CEREG=2" : "AT+CGREG=2", nullptr);
    static const char *const kSetup[] = {"AT+CCREG=2", "AT+CREG=2",   "AT+CCWA=1",     "AT+CMEE=1",
                                         "AT+CUSD=1",  "AT+CMGF=0",   "AT$QCMGF=0",    "at+gpsport=0",
                                         "ATE0",       "at+atver=1"};
    for (const char *cmd : kSetup) at_send_command(cmd, nullptr);

    is_cdma = 1;
    int q = query("AT+QCIMI", "+QCIMI:", nullptr);
    if (q < 0) {
        is_cdma = 0;
    } else if (q == 0) {
        is_fddandevdo = 0;
        is_cdma = 0;
    } else {
        is_fddandevdo = 1;
        int c = query("AT+CIMI", "+CIMI:", nullptr);
        if (c > 0) is_cdma = -1;
        else if (c == 0) is_cdma = 1;
    }
    AtReply *reply = nullptr;
    if (query("AT+CIMI", "+CIMI:", &reply) > 0) {
        char imsi[64];
        if (firstField(reply, imsi, sizeof(imsi)) && strncmp(imsi, "46011", 5) == 0) is_fddandevdo = 1;
        at_response_free(reply);
    }
    RILDEBUG("is_cdma is %d, is_fddandevdo is %d, in onSIMReady()", is_cdma, is_fddandevdo);

    int mode = getmodeconfig();
    if (is_fddandevdo && mode != 38)
        at_send_command("AT^MODECONFIG=38", nullptr);
    else if (!is_fddandevdo && mode != 2)
        at_send_command("AT^MODECONFIG=2", nullptr);
    if (g_moduletype != 4 && s_is9X07 != 1 && s_is9615 == 0 && is_fddandevdo)
        at_send_command("AT^MODECONFIG=38", nullptr);

    if (s_hasinit)
        RIL_onUnsolicitedResponse_lte(RIL_UNSOL_RADIO_CAPABILITY, &RadioCapability, sizeof(RadioCapability));
    kv_raise_event(2, nullptr);
    at_send_command("AT+CMEE=1", nullptr);
    property_set("gsm.sim.state", "READY");

    for (int sends = 0; sends < 10; sends++) {
        reply = nullptr;
        char cimi[PROPERTY_VALUE_MAX];
        if (query("AT+CIMI", "+CIMI:", &reply) <= 0) {
            sleepMsec(1000);
            break;
        }
        bool parsed = firstField(reply, cimi, sizeof(cimi));
        at_response_free(reply);
        if (!parsed) break;
        property_set("ril.kivo.cimi", cimi);
        if (strlen(cimi) >= 10) {
            sleepMsec(1000);
            break;
        }
    }

    reply = nullptr;
    if (g_moduletype == 4 ? query("AT+ICCID", "ICCID:", &reply) > 0 : query("AT+ICCID", "+ICCID:", &reply) > 0) {
        char iccid[PROPERTY_VALUE_MAX];
        if (firstField(reply, iccid, sizeof(iccid))) property_set("ril.kivo.iccid", iccid);
        at_response_free(reply);
    }
    if (s_hasinit) RIL_onUnsolicitedResponse_lte(RIL_UNSOL_RESPONSE_SIM_STATUS_CHANGED, nullptr, 0);
    // messages left on the card (and those a restart interrupted) are read now
    RIL_requestTimedCallback_lte(loop_lte_callback, nullptr, nullptr);
}

static RIL_RadioState currentState_lte(void) {
    RILDEBUG("W: >> get curretn State:%d", s_radio_state_lte);
    return s_radio_state_lte;
}
static int onSupports(int /*requestCode*/) { return 1; }
static void onCancel(RIL_Token /*t*/) {}

static const char *getVersion_lte(void) {
    static char s_version[512];
    memset(s_version, 0, sizeof(s_version));
    snprintf(s_version, sizeof(s_version), "EVDO&WCDMA  %s%s(vox)", __DATE__, __TIME__);
    return s_version;
}

extern "C" const RIL_RadioFunctions s_callbacks_lte = {
    RIL_VERSION, onRequest_lte, currentState_lte, onSupports, onCancel, getVersion_lte,
};
