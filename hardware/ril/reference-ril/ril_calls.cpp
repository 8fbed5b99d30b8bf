// Voice calls: the call list of the three families with the bookkeeping the
// guard reads, call control (dial, hang-up, hold and switch, answer), DTMF
// and mute.
#include "ril_calls.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "at_filter.h"
#include "at_link.h"
#include "at_query.h"
#include "at_reply.h"
#include "ril_at_text.h"
#include "ril_families.h"
#include "ril_profile.h"
#include "ril_handlers.h"
#include "ril_log.h"
#include "ril_network.h"
#include "ril_unsolicited.h"
#include "usb_discovery.h"

extern "C" {
int G_incall = 0;
unsigned int G_Callendtime = 0;
int g_callcount = 0;
int s_needdoublecheck = 0;
int s_callend = 0;
int s_call_succ = 0;
int is_callconnected = 0;
int s_userhangup = 0;
int s_needredial = 0;
int s_voiceon = 0;
int s_callactive = 0;
int is_pcm_on = 0;
int s_callconnectedmark = 0;
RilCallIndexes s_calls_cdma = {0, -1, -1, -1, 0};
RilCallIndexes s_calls_wcdma = {0, -1, -1, -1, 0};
RilCallIndexes s_calls_lte = {0, -1, -1, -1, 0};

// Owned by the link checks; read here when the last call ends.
__attribute__((weak)) int g_total_rxpackets = 0;
__attribute__((weak)) int g_totlal_txpackets = 0;
__attribute__((weak)) void GetRxTx(int *rx, int *tx);
__attribute__((weak)) void GetLteRxTx(int *rx, int *tx);
}

namespace {

// What differs between the families for the call requests, beside the
// family's own record.
struct CallFamily {
    int family;
    const RilFamily *base;
    RIL_TimedCallback stateChanged;
    RilCallIndexes *idx;
    int *callwaiting;
    bool needsInit;  // reports only while s_hasinit is set

    void complete(RIL_Token t, RIL_Errno e, void *response, size_t len) const {
        ril_family_complete(base, t, e, response, len);
    }
    void unsol(int code, const void *data, size_t len) const { ril_family_unsolicited(base, code, data, len); }
    void timed(RIL_TimedCallback cb, void *param, const struct timeval *tv) const {
        ril_family_timed(base, cb, param, tv);
    }
};

const CallFamily kCdma = {RIL_FAMILY_CDMA, &g_family_cdma, sendCallStateChanged_cdma, &s_calls_cdma, nullptr, false};
const CallFamily kWcdma = {RIL_FAMILY_WCDMA, &g_family_wcdma, sendCallStateChanged_wcdma, &s_calls_wcdma,
                           &s_callwaiting_wcdma, true};
const CallFamily kLte = {RIL_FAMILY_LTE, &g_family_lte, sendCallStateChanged_lte, &s_calls_lte, &s_callwaiting_lte,
                         true};

void reportCallState(const CallFamily &f) {
    if (!f.needsInit || s_hasinit) f.unsol(RIL_UNSOL_RESPONSE_CALL_STATE_CHANGED, nullptr, 0);
}

void schedule(const CallFamily &f, RIL_TimedCallback cb, long sec, long usec) {
    struct timeval tv = {sec, usec};
    f.timed(cb, nullptr, &tv);
}

int loadFlag(const int *p) { return __atomic_load_n(p, __ATOMIC_SEQ_CST); }

RIL_Errno okOrFail(const char *cmd) { return at_send_ok(cmd) ? RIL_E_SUCCESS : RIL_E_GENERIC_FAILURE; }

// The request's one int, or false when the data is missing or short.
bool requestInt(const void *data, size_t datalen, int *out) {
    if (data == nullptr || datalen < sizeof(int)) return false;
    memcpy(out, data, sizeof(int));
    return true;
}

// The request's one int within [lo, hi]; otherwise the request is completed
// with a generic failure and false is returned.
bool takeInt(const CallFamily &f, const void *data, size_t datalen, RIL_Token t, int *out,
             int lo = INT_MIN, int hi = INT_MAX) {
    if (requestInt(data, datalen, out) && *out >= lo && *out <= hi) return true;
    f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
    return false;
}

bool onlyChars(const char *s, const char *set) {
    if (s == nullptr) return false;
    size_t n = strnlen(s, RIL_DIAL_MAX + 1);
    return n > 0 && n <= RIL_DIAL_MAX && strspn(s, set) == n;
}

void traffic(int family) {
    void (*read)(int *, int *) = family == RIL_FAMILY_LTE ? GetLteRxTx : GetRxTx;
    if (read != nullptr) read(&g_total_rxpackets, &g_totlal_txpackets);
}

/* ---------------- call list ---------------- */

size_t countLines(const AtReply *reply) {
    size_t n = 0;
    for (const ReplyLine *l = reply->p_intermediates; l != nullptr; l = l->p_next) n++;
    return n;
}

bool failed(int err, const AtReply *reply) { return err < 0 || reply == nullptr || !reply->success; }

struct CallSlots {
    explicit CallSlots(size_t n) : calls((RIL_Call *)calloc(n ? n : 1, sizeof(RIL_Call))),
                                   ptrs((RIL_Call **)calloc(n ? n : 1, sizeof(RIL_Call *))) {}
    ~CallSlots() {
        free(calls);
        free(ptrs);
    }
    bool ok() const { return calls != nullptr && ptrs != nullptr; }
    RIL_Call *calls;
    RIL_Call **ptrs;
};

void listCallsGsm(const CallFamily &f, RIL_Token t) {
    AtReply *reply = nullptr;
    int err = at_send_command_multiline("AT+CLCC", "+CLCC:", &reply);
    if (failed(err, reply)) {
        RILDEBUG("requestGetCurrentCalls fail1 %x  count 0\n", (unsigned)err);
        f.complete(t, RIL_E_SUCCESS, nullptr, 0);
        at_response_free(reply);
        return;
    }
    size_t n = countLines(reply);
    SetCllState(n > 0 ? 1 : 0);
    CallSlots slots(n);
    if (!slots.ok()) {
        f.complete(t, RIL_E_SUCCESS, nullptr, 0);
        at_response_free(reply);
        return;
    }
    RilCallIndexes &ix = *f.idx;
    size_t count = 0;
    bool repoll = false;
    for (ReplyLine *l = reply->p_intermediates; l != nullptr; l = l->p_next) {
        RIL_Call *c = &slots.calls[count];
        memset(c, 0, sizeof(*c));
        if (!ril_parse_clcc_line(l->line, 0, c)) {
            RILDEBUG("invalid CLCC line\n");
            continue;
        }
        if (f.family == RIL_FAMILY_LTE && is_cdma == 1) c->state = (RIL_CallState)is_callconnected;
        ix.lastVoiceIndex = c->index;
        if (c->state != RIL_CALL_ACTIVE && c->state != RIL_CALL_HOLDING) repoll = true;
        bool dup = false;
        for (size_t i = 0; i < count && c->number != nullptr; i++)
            if (slots.calls[i].number != nullptr && strcmp(slots.calls[i].number, c->number) == 0) dup = true;
        if (dup) continue;
        slots.ptrs[count] = c;
        count++;
    }
    G_incall = count > 0 ? 1 : 0;
    ix.activeIndex = -1;
    for (size_t i = 0; i < count; i++)
        if (slots.calls[i].state == RIL_CALL_ACTIVE) {
            ix.activeIndex = slots.calls[i].index;
            break;
        }
    if (ix.activeIndex == -1 && count >= 2)
        for (size_t i = 0; i < count; i++)
            if (slots.calls[i].index == ix.rememberedActive) slots.calls[i].state = RIL_CALL_ACTIVE;
    for (size_t i = 0; i < count; i++) {
        RIL_CallState s = slots.calls[i].state;
        if (s == RIL_CALL_INCOMING || s == RIL_CALL_WAITING || s == RIL_CALL_HOLDING) ix.waitIndex = slots.calls[i].index;
    }
    size_t reported = count;
    if (count == 0) {
        ix.rememberedActive = -1;
        f.complete(t, RIL_E_SUCCESS, nullptr, 0);
    } else {
        if (*f.callwaiting == 0) reported = 1;
        f.complete(t, RIL_E_SUCCESS, slots.ptrs, reported * sizeof(RIL_Call *));
    }
    at_response_free(reply);
    if (repoll)
        schedule(f, f.stateChanged, 2, 100);
    else if (reported > 0)
        schedule(f, f.stateChanged, 5, 100);
    g_callcount = (int)reported;
    if (reported == 0) {
        G_incall = 0;
        SetGuradFlag("requestGetCurrentCalls", __LINE__);
        traffic(f.family);
        struct timeval tv = {2, 5};
        StartCheckDataCheck(f.family == RIL_FAMILY_LTE ? LteCheckDataStatus : WCheckDataStatus, &tv);
    } else {
        if (f.family == RIL_FAMILY_LTE && is_pcm_on == 0) {
            at_send_command("AT^PCMCFG=1", nullptr);
            is_pcm_on = 1;
        }
        G_incall = 1;
        s_voiceon = 1;
        SetGuradFlag("requestGetCurrentCalls", __LINE__);
    }
}

}  // namespace

extern "C" int ril_is_dial_string(const char *s) { return onlyChars(s, "0123456789*#+"); }
extern "C" int ril_is_tone_string(const char *s) { return onlyChars(s, "0123456789*#ABCD"); }

extern "C" int SetCllState(int state) {
    G_incall = state;
    return 0;
}

extern "C" int GetCallCount(void) {
    AtReply *reply = nullptr;
    int err = at_send_command_multiline("AT+CLCC", "+CLCC:", &reply);
    if (failed(err, reply)) {
        at_response_free(reply);
        return 0;
    }
    int n = (int)countLines(reply);
    if (n == 1 && (strstr(reply->p_intermediates->line, "*99") != nullptr ||
                   strstr(reply->p_intermediates->line, "#777") != nullptr))
        n = 0;
    at_response_free(reply);
    return n;
}

extern "C" void checkclcc(void *) {
    if (GetCallCount() > 0 && g_OnResponseComplete != nullptr && g_unsresponse != nullptr)
        g_unsresponse(RIL_UNSOL_RESPONSE_CALL_STATE_CHANGED, nullptr, 0);
}

extern "C" void OnWCDMA_RIL_REQUEST_GET_CURRENT_CALLS(void *, size_t, RIL_Token t) { listCallsGsm(kWcdma, t); }
extern "C" void OnLTE_RIL_REQUEST_GET_CURRENT_CALLS(void *, size_t, RIL_Token t) { listCallsGsm(kLte, t); }

extern "C" void OnCDMA_RIL_REQUEST_GET_CURRENT_CALLS(void *, size_t, RIL_Token t) {
    int failures = 0, empties = 0;
    for (;;) {
        at_send_command("ATE0", nullptr);
        AtReply *reply = nullptr;
        int err = at_send_command_multiline("AT+CLCC", "+CLCC:", &reply);
        if (failed(err, reply)) {
            at_response_free(reply);
            if (++failures >= 3) {
                kCdma.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
                return;
            }
            sleepMsec(1000);
            continue;
        }
        size_t n = countLines(reply);
        CallSlots slots(n);
        size_t count = 0;
        bool repoll = false;
        for (ReplyLine *l = reply->p_intermediates; slots.ok() && l != nullptr; l = l->p_next) {
            RIL_Call *c = &slots.calls[count];
            memset(c, 0, sizeof(*c));
            if (!ril_parse_clcc_line(l->line, 1, c)) {
                RILDEBUG("invalid CLCC line\n");
                continue;
            }
            if (c->state == RIL_CALL_ACTIVE) s_calls_cdma.activeIndex = c->index;  // the id of stat 0
            if (!c->isMT) c->state = RIL_CALL_ACTIVE;
            s_calls_cdma.lastVoiceIndex = c->index;
            if (c->state != RIL_CALL_ACTIVE && c->state != RIL_CALL_HOLDING) repoll = true;
            c->index = (int)count + 1;
            slots.ptrs[count] = c;
            count++;
        }
        G_incall = count > 0 ? 1 : 0;
        if (count > 0) {
            kCdma.complete(t, RIL_E_SUCCESS, slots.ptrs, count * sizeof(RIL_Call *));
            s_callend = 0;
        } else if (s_needdoublecheck == 0 || ++empties >= 3) {
            kCdma.complete(t, RIL_E_SUCCESS, nullptr, 0);
        } else {
            RILDEBUG("double chek");
            at_response_free(reply);
            sleepMsec(1000);
            failures = 0;
            continue;
        }
        at_response_free(reply);
        if (repoll) schedule(kCdma, sendCallStateChanged_cdma, 0, 500000);
        if (count == 0) {
            G_incall = 0;
            traffic(RIL_FAMILY_CDMA);
            if (g_pppd_usersetup) {
                struct timeval tv = {5, 5};
                StartCheckDataCheck(CheckDataStatus, &tv);
            }
        } else {
            G_incall = 1;
            SetGuradFlag("requestGetCurrentCalls", __LINE__);
        }
        return;
    }
}

/* ---------------- dial ---------------- */

namespace {

const RIL_Dial *dialRequest(const void *data, size_t datalen) {
    if (data == nullptr || datalen < sizeof(RIL_Dial)) return nullptr;
    const RIL_Dial *d = (const RIL_Dial *)data;
    if (!ril_is_dial_string(d->address)) return nullptr;
    return d;
}

// LTE modules on a CDMA-only subscription or in SRLTE use the CDMA dialect.
bool lteCdmaDialect() { return is_cdma == 1 || is_srlte == 1; }

void registrationForLog(int family) {
    const char *cmd = "AT+CREG?";
    if (family == RIL_FAMILY_LTE) {
        if (ril_profile_lte_qc_forms())
            cmd = "AT+CCREG?";
        else if (ril_profile_cdma_card_commands())
            cmd = "AT^SYSINFO";
    }
    at_send_command(cmd, nullptr);
}

int redialSignal(int family) {
    int rssi = 0;
    if (family == RIL_FAMILY_WCDMA) {
        GetGsmSignal(&rssi);
        return rssi;
    }
    AtReply *reply = nullptr;
    int err = at_send_command_singleline("AT+CSQ", "+CSQ:", &reply);
    if (!failed(err, reply) && reply->p_intermediates != nullptr) {
        char *p = reply->p_intermediates->line;
        if (at_tok_start(&p) < 0 || at_tok_nextint(&p, &rssi) < 0) rssi = 0;
    }
    at_response_free(reply);
    return rssi;
}

void dialGsm(const CallFamily &f, void *data, size_t datalen, RIL_Token t) {
    const RIL_Dial *d = dialRequest(data, datalen);
    if (d == nullptr) {
        RILDEBUG("requestDial: refused dial string");
        f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    // a status-29 end that no dial was waiting for must not redial this one
    __atomic_store_n(&s_needredial, 0, __ATOMIC_SEQ_CST);
    kv_raise_event(0, nullptr);
#if RIL_VERSION < 15
    // a second call while one is up: the legacy build raises the output gain
    if (f.family == RIL_FAMILY_LTE && G_incall) {
        RILDEBUG("--dial is incall---");
        at_send_command("AT+COUTGAIN=8", nullptr);
    }
#endif
    char cmd[1024];
    RIL_Errno result = RIL_E_GENERIC_FAILURE;
    for (int redials = 0;; redials++) {
        if (f.family == RIL_FAMILY_LTE && lteCdmaDialect())
            snprintf(cmd, sizeof(cmd), "AT+CDV%s;", d->address);
        else
            snprintf(cmd, sizeof(cmd), "ATD%s;", d->address);
        if (at_send_ok(cmd)) {
            G_incall = 1;
            result = RIL_E_SUCCESS;
        } else {
            result = RIL_E_GENERIC_FAILURE;
            registrationForLog(f.family);
        }
        sleepMsec(1000);
        if (!loadFlag(&s_needredial)) break;
        __atomic_store_n(&s_needredial, 0, __ATOMIC_SEQ_CST);
        RILDEBUG("=========W>>  Redial==========");
        if (redials >= RIL_REDIAL_MAX) break;
        int rssi = redialSignal(f.family);
        if (rssi < 4 || (f.family == RIL_FAMILY_LTE && rssi == 99)) break;
        sleepMsec(1000);
    }
    f.complete(t, result, nullptr, 0);
}

}  // namespace

extern "C" void OnWCDMA_RIL_REQUEST_DIAL(void *data, size_t datalen, RIL_Token t) { dialGsm(kWcdma, data, datalen, t); }
extern "C" void OnLTE_RIL_REQUEST_DIAL(void *data, size_t datalen, RIL_Token t) { dialGsm(kLte, data, datalen, t); }

extern "C" void OnCDMA_RIL_REQUEST_DIAL(void *data, size_t datalen, RIL_Token t) {
    const RIL_Dial *d = dialRequest(data, datalen);
    if (d == nullptr) {
        RILDEBUG("requestDial: refused dial string");
        kCdma.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    kv_raise_event(0, nullptr);
    char cmd[1024];
    snprintf(cmd, sizeof(cmd), "AT+CDV%s%s", d->address, d->clir == 1 ? "I" : d->clir == 2 ? "i" : "");
    for (int attempt = 0; attempt < 3; attempt++) {
        __atomic_store_n(&s_call_succ, 0, __ATOMIC_SEQ_CST);
        unsigned int start = GetTickCount();
        bool ok = at_send_ok(cmd);
        while (!ok && GetTickCount() - start < 3000) {
            if (loadFlag(&s_call_succ)) ok = true;
            else sleepMsec(1);
        }
        if (ok || loadFlag(&s_call_succ)) {
            s_needdoublecheck = 1;
            SetCllState(1);
            kCdma.complete(t, RIL_E_SUCCESS, nullptr, 0);
            return;
        }
        at_send_command("AT+CHV", nullptr);
        sleepMsec(1000);
    }
    kCdma.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
}

/* ---------------- hang-up, hold and switch ---------------- */

namespace {

// LTE: the single-call hang-up of the module's dialect
const char *lteSingleHangup() {
    if (is_cdma == 1 && ril_module_profile()->lteQcCommands && s_is9X07 != 1) return "AT$QCCHV";
    if (is_srlte == 1 || ril_profile_cdma_card_commands()) return "AT+CHV";
    return "AT+CHUP";
}

void hangupGsm(const CallFamily &f, void *data, size_t datalen, RIL_Token t) {
    int index = 0;
    if (!takeInt(f, data, datalen, t, &index)) return;
    char cmd[64];
    if (g_callcount < 2)
        snprintf(cmd, sizeof(cmd), "%s", f.family == RIL_FAMILY_LTE ? lteSingleHangup() : "AT+CHUP");
    else
        snprintf(cmd, sizeof(cmd), "AT+CHLD=1%d", index);
    __atomic_store_n(&s_userhangup, 1, __ATOMIC_SEQ_CST);
    if (at_send_ok(cmd)) {
        SetCllState(0);
        f.complete(t, RIL_E_SUCCESS, nullptr, 0);
    } else {
        f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
    }
}

const char *singleOrChld(const CallFamily &f, const char *chld) {
    if (g_callcount >= 2) return chld;
    if (f.family == RIL_FAMILY_LTE && is_cdma == 1) return "AT$QCCHV";
    return "AT+CHUP";
}

void switchGsm(const CallFamily &f, RIL_Token t) {
    RilCallIndexes &ix = *f.idx;
    char cmd[64];
    if (ril_module_profile()->switchPicksWaitingCall && g_callcount >= 2 && ix.waitIndex != -1)
        snprintf(cmd, sizeof(cmd), "AT+CHLD=2%d", ix.waitIndex);
    else
        snprintf(cmd, sizeof(cmd), "AT+CHLD=2");
    if (at_send_ok(cmd)) {
        ix.rememberedActive = ix.waitIndex;
        f.complete(t, RIL_E_SUCCESS, nullptr, 0);
    } else {
        snprintf(cmd, sizeof(cmd), "AT+CHLD=2%d", ix.activeIndex);
        at_send_command(cmd, nullptr);
        f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
    }
    reportCallState(f);
}

void separate(const CallFamily &f, void *data, size_t datalen, RIL_Token t) {
    int index = 0;
    if (!takeInt(f, data, datalen, t, &index, 1, 9)) return;
    char cmd[32];
    snprintf(cmd, sizeof(cmd), "AT+CHLD=2%d", index);
    f.complete(t, okOrFail(cmd), nullptr, 0);
}

void lastFailCause(const CallFamily &f, RIL_Token t) {
    int cause = 16;  // normal clearing
    f.complete(t, RIL_E_SUCCESS, &cause, sizeof(cause));
}

}  // namespace

extern "C" void OnWCDMA_RIL_REQUEST_HANGUP(void *data, size_t datalen, RIL_Token t) { hangupGsm(kWcdma, data, datalen, t); }
extern "C" void OnLTE_RIL_REQUEST_HANGUP(void *data, size_t datalen, RIL_Token t) { hangupGsm(kLte, data, datalen, t); }
extern "C" void OnCDMA_RIL_REQUEST_HANGUP(void *, size_t, RIL_Token t) {
    at_send_command("AT+CHV", nullptr);
    kCdma.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
}

extern "C" void OnCDMA_RIL_REQUEST_HANGUP_WAITING_OR_BACKGROUND(void *, size_t, RIL_Token t) {
    kCdma.complete(t, okOrFail("AT+CHV"), nullptr, 0);
}
extern "C" void OnWCDMA_RIL_REQUEST_HANGUP_WAITING_OR_BACKGROUND(void *, size_t, RIL_Token t) {
    kWcdma.complete(t, okOrFail(singleOrChld(kWcdma, "AT+CHLD=0")), nullptr, 0);
}
extern "C" void OnLTE_RIL_REQUEST_HANGUP_WAITING_OR_BACKGROUND(void *, size_t, RIL_Token t) {
    kLte.complete(t, okOrFail(singleOrChld(kLte, "AT+CHLD=0")), nullptr, 0);
}

extern "C" void OnCDMA_RIL_REQUEST_HANGUP_FOREGROUND_RESUME_BACKGROUND(void *, size_t, RIL_Token t) {
    RIL_Errno e = okOrFail("AT+CHV");
    if (e == RIL_E_SUCCESS) s_needdoublecheck = 0;
    kCdma.complete(t, e, nullptr, 0);
}
extern "C" void OnWCDMA_RIL_REQUEST_HANGUP_FOREGROUND_RESUME_BACKGROUND(void *, size_t, RIL_Token t) {
    kWcdma.complete(t, okOrFail(singleOrChld(kWcdma, "AT+CHLD=1")), nullptr, 0);
}
extern "C" void OnLTE_RIL_REQUEST_HANGUP_FOREGROUND_RESUME_BACKGROUND(void *, size_t, RIL_Token t) {
    if (g_callcount < 2) {
        // the single-call case answers a failure whatever the module says
        at_send_command(singleOrChld(kLte, "AT+CHLD=1"), nullptr);
        kLte.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    kLte.complete(t, okOrFail("AT+CHLD=1"), nullptr, 0);
}

extern "C" void OnCDMA_RIL_REQUEST_SWITCH_WAITING_OR_HOLDING_AND_ACTIVE(void *, size_t, RIL_Token t) {
    kCdma.complete(t, okOrFail("AT+CHLD=2"), nullptr, 0);
}
extern "C" void OnWCDMA_RIL_REQUEST_SWITCH_WAITING_OR_HOLDING_AND_ACTIVE(void *, size_t, RIL_Token t) { switchGsm(kWcdma, t); }
extern "C" void OnLTE_RIL_REQUEST_SWITCH_WAITING_OR_HOLDING_AND_ACTIVE(void *, size_t, RIL_Token t) { switchGsm(kLte, t); }

extern "C" void OnWCDMA_RIL_REQUEST_CONFERENCE(void *, size_t, RIL_Token t) { kWcdma.complete(t, okOrFail("AT+CHLD=3"), nullptr, 0); }
extern "C" void OnLTE_RIL_REQUEST_CONFERENCE(void *, size_t, RIL_Token t) { kLte.complete(t, okOrFail("AT+CHLD=3"), nullptr, 0); }

extern "C" void OnCDMA_RIL_REQUEST_SEPARATE_CONNECTION(void *d, size_t l, RIL_Token t) { separate(kCdma, d, l, t); }
extern "C" void OnWCDMA_RIL_REQUEST_SEPARATE_CONNECTION(void *d, size_t l, RIL_Token t) { separate(kWcdma, d, l, t); }
extern "C" void OnLTE_RIL_REQUEST_SEPARATE_CONNECTION(void *d, size_t l, RIL_Token t) { separate(kLte, d, l, t); }

extern "C" void OnCDMA_RIL_REQUEST_LAST_CALL_FAIL_CAUSE(void *, size_t, RIL_Token t) { lastFailCause(kCdma, t); }
extern "C" void OnWCDMA_RIL_REQUEST_LAST_CALL_FAIL_CAUSE(void *, size_t, RIL_Token t) { lastFailCause(kWcdma, t); }
extern "C" void OnLTE_RIL_REQUEST_LAST_CALL_FAIL_CAUSE(void *, size_t, RIL_Token t) { lastFailCause(kLte, t); }

/* ---------------- answer and reject ---------------- */

extern "C" void OnCDMA_RIL_REQUEST_ANSWER(void *, size_t, RIL_Token t) {
    RIL_Errno e = okOrFail("AT^CAV");
    if (e == RIL_E_SUCCESS) SetCllState(1);
    kCdma.complete(t, e, nullptr, 0);
}
extern "C" void OnWCDMA_RIL_REQUEST_ANSWER(void *, size_t, RIL_Token t) {
    at_send_command("ATA", nullptr);
    kWcdma.complete(t, RIL_E_SUCCESS, nullptr, 0);
}
extern "C" void OnLTE_RIL_REQUEST_ANSWER(void *, size_t, RIL_Token t) {
    at_send_command("ATA", nullptr);
    is_callconnected = 0;
    kLte.complete(t, RIL_E_SUCCESS, nullptr, 0);
    reportCallState(kLte);
}

extern "C" void OnWCDMA_RIL_REQUEST_UDUB(void *, size_t, RIL_Token t) {
    at_send_command("ATH", nullptr);
    kWcdma.complete(t, RIL_E_SUCCESS, nullptr, 0);
}
extern "C" void OnLTE_RIL_REQUEST_UDUB(void *, size_t, RIL_Token t) {
    at_send_command("ATH", nullptr);
    kLte.complete(t, RIL_E_SUCCESS, nullptr, 0);
}

/* ---------------- DTMF ---------------- */

namespace {

// The request's tone string, or null when it is missing or not a tone string.
const char *toneRequest(const void *data, size_t datalen) {
    if (data == nullptr || datalen == 0) return nullptr;
    const char *s = (const char *)data;
    if (strnlen(s, datalen) >= datalen) return nullptr;  // not terminated inside the data
    return ril_is_tone_string(s) ? s : nullptr;
}

// The request's tone string; when there is none the request is completed
// with a generic failure and null is returned.
const char *takeTone(const CallFamily &f, const void *data, size_t datalen, RIL_Token t) {
    const char *tone = toneRequest(data, datalen);
    if (tone == nullptr) f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
    return tone;
}

void dtmfNoCommand(const CallFamily &f, void *data, size_t datalen, RIL_Token t) {
    f.complete(t, toneRequest(data, datalen) ? RIL_E_SUCCESS : RIL_E_GENERIC_FAILURE, nullptr, 0);
}

void dtmfStop(const CallFamily &f, RIL_Token t) {
    sleepMsec(10);
    f.complete(t, RIL_E_SUCCESS, nullptr, 0);
}

void burstGsm(const CallFamily &f, void *data, size_t datalen, RIL_Token t) {
    const char *digits = ril_request_string(data, datalen, 0);
    if (!ril_is_tone_string(digits)) {
        f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    char cmd[1024];
    snprintf(cmd, sizeof(cmd), "AT^DTMF=%d, %s, %d, %d", f.idx->lastVoiceIndex, digits, 0, 0);
    // no reply line is expected: the final result decides
    f.complete(t, okOrFail(cmd), nullptr, 0);
}

}  // namespace

extern "C" void OnCDMA_RIL_REQUEST_DTMF(void *data, size_t datalen, RIL_Token t) {
    const char *tone = takeTone(kCdma, data, datalen, t);
    if (tone == nullptr) return;
    char cmd[32];
    snprintf(cmd, sizeof(cmd), "AT+VTS=%c", tone[0]);
    kCdma.complete(t, okOrFail(cmd), nullptr, 0);
}
extern "C" void OnWCDMA_RIL_REQUEST_DTMF(void *d, size_t l, RIL_Token t) { dtmfNoCommand(kWcdma, d, l, t); }
extern "C" void OnLTE_RIL_REQUEST_DTMF(void *d, size_t l, RIL_Token t) { dtmfNoCommand(kLte, d, l, t); }

extern "C" void OnWCDMA_RIL_REQUEST_DTMF_START(void *data, size_t datalen, RIL_Token t) {
    const char *tone = takeTone(kWcdma, data, datalen, t);
    if (tone == nullptr) return;
    char cmd[1024];
    if (ril_module_profile()->shortDtmfCommand)
        snprintf(cmd, sizeof(cmd), "AT^DTMF= %s, 5", tone);
    else
        snprintf(cmd, sizeof(cmd), "AT^DTMF=%d, %s, 0, 0", s_calls_wcdma.lastVoiceIndex, tone);
    kWcdma.complete(t, okOrFail(cmd), nullptr, 0);
}
extern "C" void OnLTE_RIL_REQUEST_DTMF_START(void *data, size_t datalen, RIL_Token t) {
    const char *tone = takeTone(kLte, data, datalen, t);
    if (tone == nullptr) return;
    char cmd[1024];
    if (is_cdma == 1)
        snprintf(cmd, sizeof(cmd), "AT^CDTMF=%d, %s", s_calls_lte.lastVoiceIndex, tone);
    else
        snprintf(cmd, sizeof(cmd), "AT^DTMF= %s", tone);
    kLte.complete(t, okOrFail(cmd), nullptr, 0);
}

extern "C" void OnWCDMA_RIL_REQUEST_DTMF_STOP(void *, size_t, RIL_Token t) { dtmfStop(kWcdma, t); }
extern "C" void OnLTE_RIL_REQUEST_DTMF_STOP(void *, size_t, RIL_Token t) { dtmfStop(kLte, t); }

extern "C" void OnCDMA_RIL_REQUEST_CDMA_BURST_DTMF(void *data, size_t datalen, RIL_Token t) {
    const char *digits = ril_request_string(data, datalen, 0);
    if (!ril_is_tone_string(digits)) {
        kCdma.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    char cmd[1024];
    snprintf(cmd, sizeof(cmd), "AT^DTMF=%d,%s,%d,%d", s_calls_cdma.activeIndex, digits, 150, 150);
    kCdma.complete(t, okOrFail(cmd), nullptr, 0);
}
extern "C" void OnWCDMA_RIL_REQUEST_CDMA_BURST_DTMF(void *d, size_t l, RIL_Token t) { burstGsm(kWcdma, d, l, t); }
extern "C" void OnLTE_RIL_REQUEST_CDMA_BURST_DTMF(void *d, size_t l, RIL_Token t) { burstGsm(kLte, d, l, t); }

/* ---------------- mute ---------------- */

namespace {

void setMute(const CallFamily &f, void *data, size_t datalen, RIL_Token t) {
    int mute = 0;
    if (!takeInt(f, data, datalen, t, &mute)) return;
    char cmd[32];
    snprintf(cmd, sizeof(cmd), "AT+CMUT=%d", mute);
    if (f.family == RIL_FAMILY_CDMA) {
        RILDEBUG("requestSetMute: %s not sent", cmd);  // the CDMA module keeps its own mute
    } else if (f.family == RIL_FAMILY_WCDMA) {
        if (mute == 0) at_send_command("AT+CLVL=6", nullptr);
        at_send_command(cmd, nullptr);
    } else if (loadFlag(&s_callactive)) {
        at_send_command(cmd, nullptr);  // LTE: only while a call is up
    }
    f.complete(t, RIL_E_SUCCESS, nullptr, 0);
}

}  // namespace

extern "C" void OnCDMA_RIL_REQUEST_SET_MUTE(void *d, size_t l, RIL_Token t) { setMute(kCdma, d, l, t); }
extern "C" void OnWCDMA_RIL_REQUEST_SET_MUTE(void *d, size_t l, RIL_Token t) { setMute(kWcdma, d, l, t); }
extern "C" void OnLTE_RIL_REQUEST_SET_MUTE(void *d, size_t l, RIL_Token t) { setMute(kLte, d, l, t); }

/* ---------------- call lines: the rows of the call group in each family's chain ---------------- */

namespace {

bool isRing(const char *line, bool gsm) { return strStartsWith(line, "RING") || (gsm && strStartsWith(line, "+CRING:")); }
bool isCallEnd(const char *line, bool gsm) {
    return strStartsWith(line, "^CEND") || (gsm && strStartsWith(line, "MISSED_CALL:"));
}

// The end status (third integer) of a call-end line; false when unreadable.
bool endStatus(const char *line, int *status) {
    char buf[256];
    snprintf(buf, sizeof(buf), "%s", line);
    char *p = buf;
    int v = 0;
    if (at_tok_start(&p) < 0 || at_tok_nextint(&p, &v) < 0 || at_tok_nextint(&p, &v) < 0 ||
        at_tok_nextint(&p, status) < 0)
        return false;
    return true;
}

void markConnected(void *) { s_callconnectedmark = 1; }
void callActiveLater(void *) { __atomic_store_n(&s_callactive, 1, __ATOMIC_SEQ_CST); }
void replayCdma(void *) { ReplayHeldVoiceType(VTYPE_REPLAY_SEND_AND_CLEAR); }
void replayWcdma(void *) { ReplayHeldVoiceType(VTYPE_REPLAY_SEND_AND_KEEP); }
void replayLte(void *) { ReplayHeldVoiceType(VTYPE_REPLAY_NOTHING); }
void incomingEvent(void *) { kv_raise_event(5, nullptr); }
void endEventWcdma(void *) {
    if (ril_module_profile()->voiceTypeOffAtCallEnd) at_send_command("AT+VTYPE=0", nullptr);
    kv_raise_event(3, nullptr);
}
void endEventLte(void *) { kv_raise_event(3, nullptr); }

// The WCDMA/LTE decision on a call end: false when the report is withheld
// (status 29 without a hang-up request: the running DIAL redials).
bool settleCallEnd(const char *line, bool due) {
    int status = 0;
    if (endStatus(line, &status) && status == 29) {
        if (__atomic_exchange_n(&s_userhangup, 0, __ATOMIC_SEQ_CST)) {
            __atomic_store_n(&s_needredial, 0, __ATOMIC_SEQ_CST);
            return due;
        }
        __atomic_store_n(&s_needredial, 1, __ATOMIC_SEQ_CST);
        return false;
    }
    // any other status, and an end whose status cannot be read, is reported
    __atomic_store_n(&s_needredial, 0, __ATOMIC_SEQ_CST);
    return true;
}

}  // namespace

extern "C" void onUnsolCallLine_cdma(const char *line, const char *) {
    const bool end = isCallEnd(line, false), ring = isRing(line, false);
    s_needdoublecheck = end ? 0 : 1;
    s_callend = 0;
    if (ring) {
        if (++s_calls_cdma.ringCount % 2 == 1) reportCallState(kCdma);
    }
    if (strStartsWith(line, "^ORIG:")) __atomic_store_n(&s_call_succ, 1, __ATOMIC_SEQ_CST);
    if (strStartsWith(line, "^CONN:")) {
        schedule(kCdma, markConnected, 3, 0);
        kCdma.timed(replayCdma, nullptr, nullptr);
    }
    if (end) {
        G_incall = 0;
        s_calls_cdma.ringCount = 0;
        SetCllState(0);
        s_callend = 1;
    } else {
        G_incall = 1;
        G_Callendtime = GetTickCount();
    }
    if (!ring) reportCallState(kCdma);
}

extern "C" void onUnsolLinked_cdma(const char *, const char *) {
    // the call went over to the data link; nothing to tell the framework
    s_callend = 1;
}

extern "C" void onUnsolCallLine_wcdma(const char *line, const char *) {
    RilCallIndexes &ix = s_calls_wcdma;
    if (strStartsWith(line, "^CONN")) {
        schedule(kWcdma, markConnected, 3, 0);
        kWcdma.timed(replayWcdma, nullptr, nullptr);
    }
    bool due = true;
    if (isRing(line, true)) {
        if (ix.ringCount == 0) kWcdma.timed(incomingEvent, nullptr, nullptr);
        due = ++ix.ringCount % 2 == 1;
    }
    if (isCallEnd(line, true)) {
        s_voiceon = 0;
        ix.ringCount = 0;
        due = settleCallEnd(line, due);
        G_incall = 0;
        SetCllState(0);
        kWcdma.timed(endEventWcdma, nullptr, nullptr);
    } else {
        G_Callendtime = GetTickCount();
    }
    if (due) reportCallState(kWcdma);
}

extern "C" void onUnsolCallLine_lte(const char *line, const char *) {
    RilCallIndexes &ix = s_calls_lte;
    if (strStartsWith(line, "^LINKED:")) is_callconnected = 0;
    if (strStartsWith(line, "^CONN")) {
        schedule(kLte, callActiveLater, 3, 0);
        kLte.timed(replayLte, nullptr, nullptr);
    }
    bool due = true;
    if (isRing(line, true)) {
        is_callconnected = 4;
        if (RIL_VERSION < 15) G_incall = 1;  // the legacy build marks the call at the ring
        if (ix.ringCount == 0) kLte.timed(incomingEvent, nullptr, nullptr);
        ix.ringCount++;
    }
    if (isCallEnd(line, true)) {
        s_voiceon = 0;
        ix.ringCount = 0;
        is_callconnected = 3;
        due = settleCallEnd(line, due);
        __atomic_store_n(&s_callactive, 0, __ATOMIC_SEQ_CST);
        G_incall = 0;
        SetCllState(0);
        kLte.timed(endEventLte, nullptr, nullptr);
    } else {
        __atomic_store_n(&s_callactive, 1, __ATOMIC_SEQ_CST);
        G_Callendtime = GetTickCount();
    }
    if (due) reportCallState(kLte);
}
