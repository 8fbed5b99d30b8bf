// SIM status and PIN handling of the three families: the "+CPIN" query, the
// card status answer, the SIM poll that walks the radio state after power-on,
// PIN/PUK entry and PIN change, and the card removal and exchange paths.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "at_link.h"
#include "at_query.h"
#include "ril_parsers.h"
#include "at_reply.h"
#include "ril_at_text.h"
#include "ril_facility.h"
#include "ril_families.h"
#include "ril_handlers.h"
#include "ril_log.h"
#include "ril_network.h"
#include "ril_sim.h"

extern "C" {
int s_pinentered = 0;
int s_pollbusy_wcdma = 0;
int s_pollbusy_lte = 0;
int s_firstpoll_wcdma = 1;
int s_firstpoll_lte = 1;
}

static const char kSimSourceWcdma[] = "hardware/ril/reference-ril/reference-ril_wcdma.c";
static const char kSimSourceLte[] = "hardware/ril/reference-ril/reference-ril_lte.c";

/* ------------------------------------------------------------------ */
/* Application status rows                                              */
/* ------------------------------------------------------------------ */

#define APP_ROW(type, state, perso, pin1)                                                    \
    {(RIL_AppType)(type), (RIL_AppState)(state), (RIL_PersoSubstate)(perso), nullptr, nullptr, \
     0, (RIL_PinState)(pin1), RIL_PINSTATE_UNKNOWN}

// rows 0-5: SIM application per SimStatus; rows 6-11: RUIM application
#define SIM_APP_ROWS                                   \
    APP_ROW(0, 0, 0, 0), APP_ROW(1, 1, 0, 0), APP_ROW(1, 5, 2, 0), \
    APP_ROW(1, 2, 0, 1), APP_ROW(1, 3, 0, 4), APP_ROW(1, 4, 3, 1)
#define RUIM_APP_ROWS                                  \
    APP_ROW(0, 0, 0, 0), APP_ROW(3, 1, 0, 0), APP_ROW(3, 5, 2, 0), \
    APP_ROW(3, 2, 0, 1), APP_ROW(3, 3, 0, 4), APP_ROW(3, 4, 3, 1)

static const RIL_AppStatus s_appstatus_cdma[12] = {SIM_APP_ROWS, RUIM_APP_ROWS};
static const RIL_AppStatus s_appstatus_wcdma[12] = {SIM_APP_ROWS, RUIM_APP_ROWS};
static const RIL_AppStatus s_appstatus_lte[6] = {SIM_APP_ROWS};

/* ------------------------------------------------------------------ */
/* getSIMStatus                                                         */
/* ------------------------------------------------------------------ */

// "+CPIN?" answered and read; the family decides on failures and texts.
struct CpinAnswer {
    int err;          // channel result
    int answered;     // a reply record came back
    int success;      // final OK
    int cme;          // +CME ERROR code, -1 when none
    int parsed;       // the token below was read
    char token[64];
};

static void queryCpin(CpinAnswer *a) {
    memset(a, 0, sizeof(*a));
    a->cme = -1;
    AtReply *p_response = nullptr;
    a->err = at_send_command_singleline("AT+CPIN?", "+CPIN:", &p_response);
    if (a->err != 0 || p_response == nullptr) {
        at_response_free(p_response);
        return;
    }
    a->answered = 1;
    a->success = p_response->success;
    if (!p_response->success) {
        a->cme = at_get_cme_error(p_response);
    } else if (p_response->p_intermediates != nullptr) {
        a->parsed = parseCpin(p_response->p_intermediates->line, a->token, sizeof(a->token)) == 0 ? 1 : 0;
    }
    at_response_free(p_response);
}

static int cpinText(const char *token, const char *pinText, const char *pukText, int unknown) {
    if (strcmp(token, pinText) == 0) return SIM_PIN;
    if (strcmp(token, pukText) == 0) return SIM_PUK;
    if (strcmp(token, "PH-NET PIN") == 0) return SIM_NETWORK_PERSONALIZATION;
    if (strcmp(token, "READY") == 0) return SIM_READY;
    return unknown;
}

// CDMA and WCDMA: the status of a "+CPIN?" that gave no card text ("+CME
// ERROR: 10" reads as an absent card while the radio is on), or -1 when it
// gave one.
static int cpinUnread(const CpinAnswer &a, int (*radioOn)(void)) {
    if (!a.answered) return SIM_NOT_READY;
    if (!a.success) return a.cme == 10 && radioOn() > 0 ? SIM_ABSENT : SIM_NOT_READY;
    if (!a.parsed) return SIM_NOT_READY;
    return -1;
}

extern "C" int getSIMStatus_cdma(void) {
    CpinAnswer a;
    queryCpin(&a);
    int unread = cpinUnread(a, isRadioOn_cdma);
    if (unread >= 0) return unread;
    return cpinText(a.token, "UIM PIN", "UIM PUK", SIM_ABSENT);
}

extern "C" int getSIMStatus_wcdma(void) {
    if (s_pinentered) return SIM_READY;
    CpinAnswer a;
    queryCpin(&a);
    int unread = cpinUnread(a, isRadioOn_wcdma);
    if (unread >= 0) return unread;
    int status = cpinText(a.token, "SIM PIN", "SIM PUK", SIM_ABSENT);
    // every query that finds the card ready moves the WCDMA state on
    if (status == SIM_READY) setRadioState_wcdma(RADIO_STATE_SIM_READY, __LINE__);
    return status;
}

extern "C" int getSIMStatus_lte(void) {
    RIL_RadioState state = s_radio_state_lte;
    if (state == RADIO_STATE_OFF || state == RADIO_STATE_UNAVAILABLE) return SIM_NOT_READY;
    CpinAnswer a;
    queryCpin(&a);
    if (!a.answered) {
        // a busy or slow module is taken for a ready card
        if (a.err == AT_ERROR_TIMEOUT || a.err == AT_ERROR_COMMAND_PENDING) return SIM_READY;
        return SIM_NOT_READY;
    }
    if (!a.success) return a.cme == 10 ? SIM_ABSENT : SIM_NOT_READY;
    if (!a.parsed) return SIM_NOT_READY;
    return cpinText(a.token, "SIM PIN", "SIM PUK", SIM_NOT_READY);
}

/* ------------------------------------------------------------------ */
/* GET_SIM_STATUS                                                        */
/* ------------------------------------------------------------------ */

// Builds the card status of status s; the RUIM row goes into entry 1 when
// ruimRows is given.
static RIL_CardStatus_v6 *newCardStatus(int s, const RIL_AppStatus *rows, size_t nrows,
                                        bool withRuim, int absentOtherIndex) {
    RIL_CardStatus_v6 *cs = (RIL_CardStatus_v6 *)calloc(1, sizeof(RIL_CardStatus_v6));
    if (cs == nullptr) return nullptr;
    bool present = s != SIM_ABSENT;
    cs->card_state = present ? RIL_CARDSTATE_PRESENT : RIL_CARDSTATE_ABSENT;
    cs->universal_pin_state = RIL_PINSTATE_UNKNOWN;
    cs->gsm_umts_subscription_app_index = RIL_CARD_MAX_APPS;
    cs->cdma_subscription_app_index = absentOtherIndex;
    cs->ims_subscription_app_index = absentOtherIndex;
    cs->num_applications = 0;
    memset(cs->applications, 0, sizeof(cs->applications));
    if (present && s >= 0 && (size_t)s < nrows) {
        cs->gsm_umts_subscription_app_index = 0;
        cs->num_applications = 1;
        cs->applications[0] = rows[s];
        if (withRuim && (size_t)(s + 6) < nrows) cs->applications[1] = rows[s + 6];
    }
    return cs;
}

// What differs in GET_SIM_STATUS from one family to the next.
struct SimStatusRow {
    const RilFamily *family;
    int (*status)(void);
    const RIL_AppStatus *apps;
    size_t napps;
    bool withRuim;
    int otherIndex;      // the CDMA and IMS indexes of a card without them
    bool cdmaCard;       // two applications, the CDMA subscription and the radio state after it
    bool voiceAfterward; // LTE: the voice network state is announced once initialized
};

static const SimStatusRow kSimStatusCdma = {&g_family_cdma, getSIMStatus_cdma, s_appstatus_cdma, 12,
                                            true, RIL_CARD_MAX_APPS, true, false};
// the RUIM row is filled into entry 1 though only one application is counted
static const SimStatusRow kSimStatusWcdma = {&g_family_wcdma, getSIMStatus_wcdma, s_appstatus_wcdma, 12,
                                             true, -1, false, false};
static const SimStatusRow kSimStatusLte = {&g_family_lte, getSIMStatus_lte, s_appstatus_lte, 6,
                                           false, -1, false, true};

static void getSimStatus(const SimStatusRow &r, RIL_Token t) {
    int s = r.status();
    RIL_CardStatus_v6 *cs = newCardStatus(s, r.apps, r.napps, r.withRuim, r.otherIndex);
    if (cs == nullptr) {
        ril_family_complete(r.family, t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    if (r.cdmaCard) {
        if (s != SIM_ABSENT) {
            cs->num_applications = 2;
            cs->cdma_subscription_app_index = 1;
        }
        cs->universal_pin_state = s == SIM_PIN ? RIL_PINSTATE_ENABLED_VERIFIED : RIL_PINSTATE_UNKNOWN;
        int *param = (int *)malloc(sizeof(int));
        if (param != nullptr) {
            *param = s;
            ril_family_timed(r.family, setRadioAfterGetCardStatus, param, nullptr);
        }
    }
    ril_family_complete(r.family, t, RIL_E_SUCCESS, cs, sizeof(*cs));
    free(cs);
    if (r.voiceAfterward && s_hasinit)
        ril_family_unsolicited(r.family, RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED, nullptr, 0);
}

extern "C" void OnCDMA_RIL_REQUEST_GET_SIM_STATUS(void *, size_t, RIL_Token t) { getSimStatus(kSimStatusCdma, t); }
extern "C" void OnWCDMA_RIL_REQUEST_GET_SIM_STATUS(void *, size_t, RIL_Token t) { getSimStatus(kSimStatusWcdma, t); }
extern "C" void OnLTE_RIL_REQUEST_GET_SIM_STATUS(void *, size_t, RIL_Token t) { getSimStatus(kSimStatusLte, t); }

extern "C" void setRadioAfterGetCardStatus(void *param) {
    int *status = (int *)param;
    if (status == nullptr) return;
    if (*status == SIM_READY)
        setRadioState_cdma(RADIO_STATE_RUIM_READY);
    else if (*status == SIM_PIN || *status == SIM_PUK)
        setRadioState_cdma(RADIO_STATE_RUIM_LOCKED_OR_ABSENT);
    free(status);
}

extern "C" void RefreshCardStatus(void *) {
    RIL_onUnsolicitedResponse_cdma(RIL_UNSOL_RESPONSE_RADIO_STATE_CHANGED, nullptr, 0);
}

/* ------------------------------------------------------------------ */
/* pollSIMState                                                          */
/* ------------------------------------------------------------------ */

extern "C" void pollSIMState_cdma(void *) {
    switch (getSIMStatus_cdma()) {
        case SIM_NOT_READY: {
            setRadioState_cdma(RADIO_STATE_RUIM_NOT_READY);
            struct timeval again = {1, 0};
            RIL_requestTimedCallback_cdma(pollSIMState_cdma, nullptr, &again);
            return;
        }
        case SIM_READY:
            setRadioState_cdma(RADIO_STATE_RUIM_READY);
            return;
        default: {
            char path[256];
            char cmd[128];
            if (RIL_SYSPATH("/sys/class/s5p_modem/modem_status", path) != nullptr) {
                int n = snprintf(cmd, sizeof(cmd), "echo 0 > %s", path);
                if (n > 0 && (size_t)n < sizeof(cmd) && system(cmd) != 0)
                    RILDEBUG("pollSIMState: modem_status not written");
            }
            setRadioState_cdma(RADIO_STATE_RUIM_LOCKED_OR_ABSENT);
            return;
        }
    }
}

namespace {

// What the WCDMA and LTE SIM polls differ in.
struct SimPollRow {
    int *busy;
    int *first;  // the very first poll only defers itself by 10 s
    RIL_TimedCallback self;
    void (*timed)(RIL_TimedCallback, void *, const struct timeval *);
    int (*status)(void);
    void (*setState)(RIL_RadioState, int);
    void (*ready)(void);
    bool logNotReady;
    struct timeval again;  // next poll while the card is not ready
};

void pollSimState(const SimPollRow &r) {
    if (*r.busy) return;
    *r.busy = 1;
    if (*r.first) {
        *r.first = 0;
        struct timeval later = {10, 0};
        r.timed(r.self, nullptr, &later);
        *r.busy = 0;
        return;
    }
    int s = r.status();
    if (s == SIM_NOT_READY) {
        if (r.logNotReady) RILDEBUG("Here SIM not ready");
        r.setState(RADIO_STATE_SIM_NOT_READY, __LINE__);
        struct timeval again = r.again;
        r.timed(r.self, nullptr, &again);
    } else if (s == SIM_READY) {
        r.ready();
    } else {
        RILDEBUG("SIM ABSENT or LOCKED");
        r.setState(RADIO_STATE_SIM_LOCKED_OR_ABSENT, __LINE__);
    }
    *r.busy = 0;
}

const SimPollRow kPollWcdma = {&s_pollbusy_wcdma, &s_firstpoll_wcdma, pollSIMState_wcdma,
                               RIL_requestTimedCallback_wcdma, getSIMStatus_wcdma, setRadioState_wcdma,
                               onSIMReady_wcdma, false, {1, 500}};
const SimPollRow kPollLte = {&s_pollbusy_lte, &s_firstpoll_lte, pollSIMState_lte,
                             RIL_requestTimedCallback_lte, getSIMStatus_lte, setRadioState_lte,
                             onSIMReady_lte, true, {1, 0}};

}  // namespace

extern "C" void pollSIMState_wcdma(void *) { pollSimState(kPollWcdma); }
extern "C" void pollSIMState_lte(void *) { pollSimState(kPollLte); }

/* ------------------------------------------------------------------ */
/* Remaining attempts                                                    */
/* ------------------------------------------------------------------ */

extern "C" void RequestPinTimes_cdma(int *count) {
    if (count == nullptr) return;
    *count = 0;
    AtQuery q = AT_QUERY_INIT;
    char *code = nullptr;
    int n = 0;
    if (at_query_single(&q, "AT^CPIN?", "^CPIN:") != nullptr && at_query_start(&q) >= 0 &&
        at_query_next_str(&q, &code) >= 0 && at_query_next_int(&q, &n) >= 0)
        *count = n;
    at_query_free(&q);
}

static void requestPinTimesCpinal(int *count) {
    if (count == nullptr) return;
    *count = 0;
    AtQuery q = AT_QUERY_INIT;
    int values[4] = {0, 0, 0, 0};
    int read = 0;
    if (at_query_single(&q, "AT+CPINAL", "+CPINAL:") != nullptr && at_query_start(&q) >= 0) {
        while (read < 4 && at_query_next_int(&q, &values[read]) >= 0) read++;
    }
    if (read > 0) *count = values[0];
    at_query_free(&q);
}

extern "C" void RequestPinTimes_wcdma(int *count) { requestPinTimesCpinal(count); }
extern "C" void RequestPinTimes_lte(int *count) { requestPinTimesCpinal(count); }

/* ------------------------------------------------------------------ */
/* PIN, PUK and PIN change                                               */
/* ------------------------------------------------------------------ */

namespace {

struct SimFamily {
    void (*complete)(RIL_Token, RIL_Errno, void *, size_t);
    void (*pinTimes)(int *);
};

const SimFamily kCdma = {RIL_onRequestComplete_cdma, RequestPinTimes_cdma};
const SimFamily kWcdma = {RIL_onRequestComplete_wcdma, RequestPinTimes_wcdma};
const SimFamily kLte = {RIL_onRequestComplete_lte, RequestPinTimes_lte};

void completeWrongPassword(const SimFamily &f, RIL_Token t) {
    int remaining = 0;
    f.pinTimes(&remaining);
    f.complete(t, RIL_E_PASSWORD_INCORRECT, &remaining, sizeof(remaining));
}

// Reads count strings of the request into out; every one must exist and be
// safe inside a quoted AT argument. False after completing the request with
// a generic failure.
bool takeTexts(const SimFamily &f, const void *data, size_t datalen, const char **out, size_t count,
               RIL_Token t) {
    for (size_t i = 0; i < count; i++) {
        out[i] = ril_request_string(data, datalen, i);
        if (!ril_is_safe_at_text(out[i])) {
            RIL_LOGE("SIM request text %zu refused", i);
            f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
            return false;
        }
    }
    return true;
}

// Sends a command without reply lines; true when it was answered OK.
// Returns true when the PIN was accepted (the request is then still open).
bool enterPin(const SimFamily &f, void *data, size_t datalen, RIL_Token t) {
    const char *pin[1];
    if (!takeTexts(f, data, datalen, pin, 1, t)) return false;
    char cmd[1024];
    int n = snprintf(cmd, sizeof(cmd), "AT+CPIN=\"%s\"", pin[0]);
    if (n < 0 || (size_t)n >= sizeof(cmd)) {
        f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return false;
    }
    if (!at_send_ok(cmd)) {
        completeWrongPassword(f, t);
        return false;
    }
    return true;
}

void enterPuk(const SimFamily &f, void *data, size_t datalen, RIL_Token t) {
    const char *texts[2];
    if (!takeTexts(f, data, datalen, texts, 2, t)) return;
    char cmd[1024];
    int n = snprintf(cmd, sizeof(cmd), "AT+CPIN=\"%s\",\"%s\"", texts[0], texts[1]);
    if (n < 0 || (size_t)n >= sizeof(cmd)) {
        f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    if (!at_send_ok(cmd)) {
        completeWrongPassword(f, t);
        return;
    }
    f.complete(t, RIL_E_SUCCESS, nullptr, 0);
}

void changePin(const SimFamily &f, bool singleLine, void *data, size_t datalen, RIL_Token t) {
    if (data == nullptr) {
        f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    const char *texts[2];
    if (!takeTexts(f, data, datalen, texts, 2, t)) return;
    static const char kFormat[] = "AT+CPWD=\"%s\", \"%s\", \"%s\"";
    int need = snprintf(nullptr, 0, kFormat, "SC", texts[0], texts[1]);
    char *cmd = need > 0 ? (char *)malloc((size_t)need + 1) : nullptr;
    if (cmd == nullptr) {
        f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    snprintf(cmd, (size_t)need + 1, kFormat, "SC", texts[0], texts[1]);
    bool ok;
    if (singleLine) {
        // "AT+CPWD" answers a bare OK when the PIN was changed
        ok = ril_send_cpwd(cmd) != 0;
    } else {
        AtReply *p_response = nullptr;
        int err = at_send_command(cmd, &p_response);
        ok = err == 0 && p_response != nullptr && p_response->success;
        at_response_free(p_response);
    }
    free(cmd);
    if (ok)
        f.complete(t, RIL_E_SUCCESS, nullptr, 0);
    else
        completeWrongPassword(f, t);
}

}  // namespace

extern "C" void OnCDMA_RIL_REQUEST_ENTER_SIM_PIN(void *data, size_t datalen, RIL_Token t) {
    if (!enterPin(kCdma, data, datalen, t)) return;
    sleepMsec(2000);
    RIL_onRequestComplete_cdma(t, RIL_E_SUCCESS, nullptr, 0);
    RIL_onUnsolicitedResponse_cdma(RIL_UNSOL_RESPONSE_SIM_STATUS_CHANGED, nullptr, 0);
    RIL_onUnsolicitedResponse_cdma(RIL_UNSOL_RESPONSE_RADIO_STATE_CHANGED, nullptr, 0);
}

extern "C" void OnWCDMA_RIL_REQUEST_ENTER_SIM_PIN(void *data, size_t datalen, RIL_Token t) {
    if (!enterPin(kWcdma, data, datalen, t)) return;
    s_pinentered = 1;
    sleepMsec(2000);
    RIL_onRequestComplete_wcdma(t, RIL_E_SUCCESS, nullptr, 0);
    RIL_requestTimedCallback_wcdma(pollSIMState_wcdma, nullptr, nullptr);
}

extern "C" void OnLTE_RIL_REQUEST_ENTER_SIM_PIN(void *data, size_t datalen, RIL_Token t) {
    if (!enterPin(kLte, data, datalen, t)) return;
    sleepMsec(2000);
    RIL_onRequestComplete_lte(t, RIL_E_SUCCESS, nullptr, 0);
    RIL_requestTimedCallback_lte(pollSIMState_lte, nullptr, nullptr);
}

extern "C" void OnCDMA_RIL_REQUEST_ENTER_SIM_PUK(void *d, size_t l, RIL_Token t) { enterPuk(kCdma, d, l, t); }
extern "C" void OnWCDMA_RIL_REQUEST_ENTER_SIM_PUK(void *d, size_t l, RIL_Token t) { enterPuk(kWcdma, d, l, t); }
extern "C" void OnLTE_RIL_REQUEST_ENTER_SIM_PUK(void *d, size_t l, RIL_Token t) { enterPuk(kLte, d, l, t); }

extern "C" void OnCDMA_RIL_REQUEST_CHANGE_SIM_PIN(void *d, size_t l, RIL_Token t) { changePin(kCdma, false, d, l, t); }
extern "C" void OnWCDMA_RIL_REQUEST_CHANGE_SIM_PIN(void *d, size_t l, RIL_Token t) { changePin(kWcdma, true, d, l, t); }
extern "C" void OnLTE_RIL_REQUEST_CHANGE_SIM_PIN(void *d, size_t l, RIL_Token t) { changePin(kLte, true, d, l, t); }

/* ------------------------------------------------------------------ */
/* Card removed or exchanged                                             */
/* ------------------------------------------------------------------ */

static void endForRestart(void) {
    RIL_LOGI("SIM card gone: ending the process for a restart");
    exit(0);
}

static void simCardRemove(const char *source, void (*unsol)(int, const void *, size_t),
                          RIL_SignalStrength_v10 *signal) {
    SetGuradFlag(source, __LINE__);
    StopPPPD("OnSimCardRemove", 0);
    at_send_command("AT+CFUN=0", nullptr);
    at_send_command("AT^RESET", nullptr);
    if (s_hasinit) unsol(RIL_UNSOL_DATA_CALL_LIST_CHANGED, nullptr, 0);
    if (s_hasinit) unsol(RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED, nullptr, 0);
    signal->GW_SignalStrength.signalStrength = 0;
    signal->GW_SignalStrength.bitErrorRate = 99;
    if (s_hasinit) unsol(RIL_UNSOL_SIGNAL_STRENGTH, signal, sizeof(*signal));
    endForRestart();
}

extern "C" void OnSimCardRemove_wcdma(void *) {
    simCardRemove(kSimSourceWcdma, RIL_onUnsolicitedResponse_wcdma, &s_signal_wcdma);
}

extern "C" void OnSimCardRemove_lte(void *) {
    simCardRemove(kSimSourceLte, RIL_onUnsolicitedResponse_lte, &s_signal_lte);
}

// a new card: the radio state is walked again by a restarted process
static void simCardChange(const char *source, void (*setState)(RIL_RadioState, int),
                          void (*unsol)(int, const void *, size_t)) {
    SetGuradFlag(source, __LINE__);
    G_userdisconnect = 1;
    g_inhotstatus = 0;
    g_inflymode = 1;
    setState(RADIO_STATE_SIM_NOT_READY, __LINE__);
    sleepMsec(8000);
    if (s_hasinit) unsol(RIL_UNSOL_RESPONSE_SIM_STATUS_CHANGED, nullptr, 0);
    endForRestart();
}

extern "C" void onSimCardChange_wcdma(void *) {
    simCardChange(kSimSourceWcdma, setRadioState_wcdma, RIL_onUnsolicitedResponse_wcdma);
}

extern "C" void onSimCardChange_lte(void *) {
    simCardChange(kSimSourceLte, setRadioState_lte, RIL_onUnsolicitedResponse_lte);
}
