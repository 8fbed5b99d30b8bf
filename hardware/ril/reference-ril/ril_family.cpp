// What the three families share, driven by each family's record: the
// environment calls, request admission and dispatch, the radio state, the
// reaction to a lost channel, and the request tables.
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "at_link.h"
#include "at_query.h"
#include "at_reply.h"
#include "ril_families.h"
#include "ril_handlers.h"
#include "ril_log.h"
#include "usb_discovery.h"

namespace {

void reject(const RilFamily *f, RIL_Token t, RIL_Errno e, int line) {
    RIL_LOGD("onRequestComplete :%s. line:%d", "onRequest", line);
    ril_family_complete(f, t, e, nullptr, 0);
}

// The CDMA family gives the main loop up to 6 s to re-open a closed channel;
// a second such time-out ends the process.
void waitForReopen(const RilFamily *f) {
    unsigned int start = GetTickCount();
    while (ril_family_channel_closed(f) > 0) {
        sleepMsec(2);
        if (GetTickCount() - start > 6000) {
            s_wait_timeouts++;
            RILDEBUG("Time out:%s, %d", "onRequest", __LINE__);
            break;
        }
    }
    if (s_wait_timeouts > 1) {
        s_wait_timeouts = 0;
        exit(0);
    }
}

void dispatch(const RilFamily *f, int request, void *data, size_t datalen, RIL_Token t) {
    RIL_RadioState state = ril_family_state(f);
    RILDEBUG("onRequest: state %s, request %d %s", f->stateName(state), request, requestToString(request));
    if (f->admitByRadioState) {
        if (state == RADIO_STATE_UNAVAILABLE && request != RIL_REQUEST_GET_SIM_STATUS) {
            reject(f, t, RIL_E_RADIO_NOT_AVAILABLE, __LINE__);
            return;
        }
        if (state == RADIO_STATE_OFF && request != RIL_REQUEST_RADIO_POWER && request != RIL_REQUEST_GET_SIM_STATUS) {
            reject(f, t, RIL_E_RADIO_NOT_AVAILABLE, __LINE__);
            return;
        }
    }
    int closed = ril_family_channel_closed(f);
    if (closed > 0 && f->waitForReopen) {
        waitForReopen(f);
        closed = ril_family_channel_closed(f);
    }
    if (closed > 0) {
        if (f->logRejects) RILDEBUG("W: >> slcosed: %d", closed);
        reject(f, t, f->closedError, __LINE__);
        return;
    }
    if (request < 0 || (size_t)request >= f->tableSize) {
        reject(f, t, f->outOfRangeError, __LINE__);
        return;
    }
    RilRequestHandler handler = f->table()[request];
    if (handler == nullptr) {
        if (f->logRejects) RILDEBUG("onRequest:%s not supported! ", requestToString(request));
        reject(f, t, f->unsupportedError, __LINE__);
        return;
    }
    // a length without data would make every handler read through null
    if (data == nullptr && datalen != 0) {
        reject(f, t, RIL_E_GENERIC_FAILURE, __LINE__);
        return;
    }
    handler(data, datalen, t);
}

}  // namespace

extern "C" {

const RilFamily *ril_family(int id) {
    switch (id) {
        case RIL_FAMILY_CDMA: return &g_family_cdma;
        case RIL_FAMILY_WCDMA: return &g_family_wcdma;
        case RIL_FAMILY_LTE: return &g_family_lte;
        default: return nullptr;
    }
}

void ril_family_complete(const RilFamily *f, RIL_Token t, RIL_Errno e, void *response, size_t len) {
    const struct RIL_Env *env = *f->env;
    if (env != nullptr) env->OnRequestComplete(t, e, response, len);
}

void ril_family_unsolicited(const RilFamily *f, int code, const void *data, size_t len) {
    const struct RIL_Env *env = *f->env;
    if (env != nullptr) env->OnUnsolicitedResponse(code, data, len);
}

void ril_family_timed(const RilFamily *f, RIL_TimedCallback cb, void *param, const struct timeval *tv) {
    const struct RIL_Env *env = *f->env;
    if (env != nullptr) env->RequestTimedCallback(cb, param, tv);
}

void ril_family_on_request(const RilFamily *f, int request, void *data, size_t datalen, RIL_Token t) {
    if (f->requestMutex == nullptr) {
        dispatch(f, request, data, datalen, t);
        return;
    }
    RILDEBUG("%s, line:%d", "onRequest", __LINE__);
    pthread_mutex_lock(f->requestMutex);
    dispatch(f, request, data, datalen, t);
    pthread_mutex_unlock(f->requestMutex);
}

RIL_RadioState ril_family_state(const RilFamily *f) {
    ril_mutex_lock(f->stateMutex);
    RIL_RadioState s = *f->state;
    ril_mutex_unlock(f->stateMutex);
    return s;
}

int ril_family_channel_closed(const RilFamily *f) {
    ril_mutex_lock(f->stateMutex);
    int closed = *f->channelClosed;
    ril_mutex_unlock(f->stateMutex);
    return closed;
}

RIL_RadioState ril_family_current_state(const RilFamily *f, int logged) {
    RIL_RadioState s = ril_family_state(f);
    if (logged) RILDEBUG("W: >> get curretn State:%d", s);
    return s;
}

const char *ril_family_version(char *buf, size_t len, const char *suffix) {
    memset(buf, 0, len);
    snprintf(buf, len, "EVDO&WCDMA  %s%s%s", __DATE__, __TIME__, suffix);
    return buf;
}

void ril_family_set_channel_closed(const RilFamily *f, int closed) {
    ril_mutex_lock(f->stateMutex);
    *f->channelClosed = closed;
    pthread_cond_broadcast(f->stateCond);
    ril_mutex_unlock(f->stateMutex);
}

void ril_family_set_radio_state(const RilFamily *f, RIL_RadioState newState) {
    ril_mutex_lock(f->stateMutex);
    RIL_RadioState oldState = *f->state;
    int closed = *f->channelClosed;
    if (closed > 0) newState = RADIO_STATE_UNAVAILABLE;
    if (oldState != newState || closed > 0) {
        *f->state = newState;
        pthread_cond_broadcast(f->stateCond);
    }
    // decided here, under the lock: a state set by another thread meanwhile
    // is reported by that thread
    RIL_RadioState now = *f->state;
    ril_mutex_unlock(f->stateMutex);
    if (now == oldState) return;
    f->reportStateChange(now);
}

void ril_family_reader_closed(const RilFamily *f) {
    const RilReaderClosedRule &rule = f->readerClosed;
    RIL_LOGI("AT channel closed\n");
    int found = 0;
    if (rule.searchBeforeClose) found = ril_search_device(g_inflymode ? rule.flyAttempts : rule.attempts);
    at_close();
    // the main loop wakes on the broadcast at the end, once the search is over
    ril_mutex_lock(f->stateMutex);
    *f->channelClosed = 1;
    ril_mutex_unlock(f->stateMutex);
    g_inhotstatus = 1;
    if (rule.lastOpen != nullptr) *rule.lastOpen = GetTickCount();
    if (!rule.searchBeforeClose) found = ril_search_device(g_inflymode ? rule.flyAttempts : rule.attempts);
    if (found) {
        g_inhotstatus = 1;
        if (rule.logResume) RILDEBUG("*******Hot Resume*******");
        if (rule.flyWaitMs > 0 && g_inflymode) {
            RILDEBUG("*******wait for csq*******");
            sleepMsec(rule.flyWaitMs);
        }
    } else {
        g_inhotstatus = 0;
        if (rule.logMissed) RILDEBUG("*******missed device*******");
        if (rule.unavailableWhenMissed) f->markUnavailable();
    }
    ril_family_broadcast(f);
}

void ril_family_broadcast(const RilFamily *f) {
    ril_mutex_lock(f->stateMutex);
    pthread_cond_broadcast(f->stateCond);
    ril_mutex_unlock(f->stateMutex);
}

void ril_family_wait_for_close(const RilFamily *f) {
    ril_mutex_lock(f->stateMutex);
    while (*f->channelClosed == 0) pthread_cond_wait(f->stateCond, f->stateMutex);
    ril_mutex_unlock(f->stateMutex);
}

int ril_query_radio_on(int untilAnswered, int logResult) {
    AtQuery q = AT_QUERY_INIT;
    at_query_send(&q, "AT+CFUN?", SINGLELINE, "+CFUN:");
    while (untilAnswered && !at_query_ok(&q)) {
        sleepMsec(1000);
        RILDEBUG("God>> retry %s %d\n", "isRadioOn", __LINE__);
        at_query_send(&q, "AT+CFUN?", SINGLELINE, "+CFUN:");
    }
    char on = 0;
    int result = 0;
    if (at_query_ok(&q) && at_query_start(&q) >= 0 && at_query_next_bool(&q, &on) >= 0) result = on;
    at_query_free(&q);
    if (logResult) RILDEBUG("%s result: %d", "isRadioOn", result);
    return result;
}

/* ---- the request tables, from the handler lists ---- */
#define RIL_TABLE_ENTRY_(code, handler) t[code] = handler;
#define RIL_DEFINE_TABLE_(name, size, LIST)                         \
    const RilRequestHandler *name(void) {                           \
        static RilRequestHandler t[size];                           \
        static pthread_once_t once = PTHREAD_ONCE_INIT;             \
        pthread_once(&once, [] { LIST(RIL_TABLE_ENTRY_) });         \
        return t;                                                   \
    }
RIL_DEFINE_TABLE_(ril_request_table_cdma, RIL_CDMA_TABLE_SIZE, RIL_CDMA_REQUEST_TABLE)
RIL_DEFINE_TABLE_(ril_request_table_wcdma, RIL_WCDMA_TABLE_SIZE, RIL_WCDMA_REQUEST_TABLE)
RIL_DEFINE_TABLE_(ril_request_table_lte, RIL_LTE_TABLE_SIZE, RIL_LTE_REQUEST_TABLE)
#undef RIL_DEFINE_TABLE_
#undef RIL_TABLE_ENTRY_

}  // extern "C"
