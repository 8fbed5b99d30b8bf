// WCDMA family: request dispatch and radio state.
#include <pthread.h>
#include <stdio.h>
#include <string.h>

#include "at_link.h"
#include "at_reply.h"
#include "ril_families.h"
#include "ril_handlers.h"
#include "ril_log.h"

extern "C" {
RIL_RadioState s_radio_state_wcdma = RADIO_STATE_UNAVAILABLE;
int s_channel_closed_wcdma = 0;
pthread_mutex_t s_radio_state_mutex_wcdma = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t s_radio_state_cond_wcdma = PTHREAD_COND_INITIALIZER;
}

extern "C" void RIL_onRequestComplete_wcdma(RIL_Token t, RIL_Errno e, void *response, size_t len) {
    if (s_rilenv_wcdma != nullptr) s_rilenv_wcdma->OnRequestComplete(t, e, response, len);
}

extern "C" void RIL_onUnsolicitedResponse_wcdma(int code, const void *data, size_t len) {
    if (s_rilenv_wcdma != nullptr) s_rilenv_wcdma->OnUnsolicitedResponse(code, data, len);
}

extern "C" void RIL_requestTimedCallback_wcdma(RIL_TimedCallback cb, void *param,
                                               const struct timeval *tv) {
    if (s_rilenv_wcdma != nullptr) s_rilenv_wcdma->RequestTimedCallback(cb, param, tv);
}

#define RIL_WCDMA_TABLE_ENTRY_(code, handler) t[code] = handler;
static const RilRequestHandler *wcdmaTable() {
    static RilRequestHandler t[RIL_WCDMA_TABLE_SIZE];
    static pthread_once_t once = PTHREAD_ONCE_INIT;
    pthread_once(&once, [] { RIL_WCDMA_REQUEST_TABLE(RIL_WCDMA_TABLE_ENTRY_) });
    return t;
}
#undef RIL_WCDMA_TABLE_ENTRY_

static void rejectRequest_wcdma(RIL_Token t, RIL_Errno e, int line) {
    RIL_LOGD("onRequestComplete :%s. line:%d", "onRequest", line);
    RIL_onRequestComplete_wcdma(t, e, nullptr, 0);
}

extern "C" void onRequest_wcdma(int request, void *data, size_t datalen, RIL_Token t) {
    RIL_RadioState state = s_radio_state_wcdma;
    RILDEBUG("onRequest: state %s, request %d %s", radioStateToString_wcdma(state), request,
             requestToString(request));

    if (state == RADIO_STATE_UNAVAILABLE && request != RIL_REQUEST_GET_SIM_STATUS) {
        rejectRequest_wcdma(t, RIL_E_RADIO_NOT_AVAILABLE, __LINE__);
        return;
    }
    if (state == RADIO_STATE_OFF && request != RIL_REQUEST_RADIO_POWER &&
        request != RIL_REQUEST_GET_SIM_STATUS) {
        rejectRequest_wcdma(t, RIL_E_RADIO_NOT_AVAILABLE, __LINE__);
        return;
    }
    if (s_channel_closed_wcdma > 0) {
        RILDEBUG("W: >> slcosed: %d", s_channel_closed_wcdma);
        rejectRequest_wcdma(t, RIL_E_GENERIC_FAILURE, __LINE__);
        return;
    }
    if ((unsigned int)request >= RIL_WCDMA_TABLE_SIZE) {
        rejectRequest_wcdma(t, RIL_E_GENERIC_FAILURE, __LINE__);
        return;
    }
    RilRequestHandler handler = wcdmaTable()[request];
    if (handler == nullptr) {
        RILDEBUG("onRequest:%s not supported! ", requestToString(request));
        rejectRequest_wcdma(t, RIL_E_GENERIC_FAILURE, __LINE__);
        return;
    }
    if (data == nullptr && datalen != 0) {
        rejectRequest_wcdma(t, RIL_E_GENERIC_FAILURE, __LINE__);
        return;
    }
    handler(data, datalen, t);
}

extern "C" void setRadioState_wcdma(RIL_RadioState newState, int line) {
    RILDEBUG("setRadioState(%s) line:%d", radioStateToString_wcdma(newState), line);
    pthread_mutex_lock(&s_radio_state_mutex_wcdma);
    RIL_RadioState oldState = s_radio_state_wcdma;
    if (s_channel_closed_wcdma > 0) newState = RADIO_STATE_UNAVAILABLE;
    if (oldState != newState || s_channel_closed_wcdma > 0) {
        s_radio_state_wcdma = newState;
        pthread_cond_broadcast(&s_radio_state_cond_wcdma);
    }
    pthread_mutex_unlock(&s_radio_state_mutex_wcdma);

    if (s_radio_state_wcdma == oldState) return;
    if (s_hasinit)
        RIL_onUnsolicitedResponse_wcdma(RIL_UNSOL_RESPONSE_RADIO_STATE_CHANGED, nullptr, 0);
    if (s_radio_state_wcdma == RADIO_STATE_ON) {
        RILDEBUG("%s", "onRadioPowerOn");
        pollSIMState_wcdma(nullptr);
    }
}

// Shared by WCDMA and LTE: one try, failures read as "off".
static int isRadioOnOnce(void) {
    AtReply *p_response = nullptr;
    int result = 0;
    int err = at_send_command_singleline("AT+CFUN?", "+CFUN:", &p_response);
    if (err >= 0 && p_response != nullptr && p_response->success &&
        p_response->p_intermediates != nullptr) {
        char *line = p_response->p_intermediates->line;
        char ret = 0;
        if (at_tok_start(&line) >= 0 && at_tok_nextbool(&line, &ret) >= 0) result = ret;
    }
    at_response_free(p_response);
    RILDEBUG("%s result: %d", "isRadioOn", result);
    return result;
}

extern "C" int isRadioOn_wcdma(void) { return isRadioOnOnce(); }
extern "C" int isRadioOn_lte(void) { return isRadioOnOnce(); }

extern "C" void sendCallStateChanged_wcdma(void * /*param*/) {
    if (s_hasinit)
        RIL_onUnsolicitedResponse_wcdma(RIL_UNSOL_RESPONSE_CALL_STATE_CHANGED, nullptr, 0);
}

extern "C" void onDataCallListChanged_wcdma(void * /*param*/) {
    RILDEBUG("%s", "onDataCallListChanged");
}

static RIL_RadioState currentState_wcdma(void) {
    RILDEBUG("W: >> get curretn State:%d", s_radio_state_wcdma);
    return s_radio_state_wcdma;
}
static int onSupports(int /*requestCode*/) { return 1; }
static void onCancel(RIL_Token /*t*/) {}

static const char *getVersion_wcdma(void) {
    static char s_version[512];
    memset(s_version, 0, sizeof(s_version));
    snprintf(s_version, sizeof(s_version), "EVDO&WCDMA  %s%s(vox)", __DATE__, __TIME__);
    return s_version;
}

extern "C" const RIL_RadioFunctions s_callbacks_wcdma = {
    RIL_VERSION, onRequest_wcdma, currentState_wcdma, onSupports, onCancel, getVersion_wcdma,
};
