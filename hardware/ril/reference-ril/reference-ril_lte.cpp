// LTE family: request dispatch and radio state.
#include <pthread.h>
#include <stdio.h>
#include <string.h>

#include "ril_families.h"
#include "ril_handlers.h"
#include "ril_log.h"

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
