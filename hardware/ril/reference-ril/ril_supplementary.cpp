// Supplementary services of the WCDMA and LTE families: calling line
// identity restriction, call forwarding and call waiting. The two families
// behave alike; the CDMA family has none of these requests.
#include <stdio.h>
#include <string.h>

#include "at_link.h"
#include "at_reply.h"
#include "ril_calls.h"
#include "ril_families.h"
#include "ril_handlers.h"
#include "ril_log.h"

namespace {

struct SuppFamily {
    const RilFamily *base;
    int *callwaiting;
    void complete(RIL_Token t, RIL_Errno e, void *response, size_t len) const {
        ril_family_complete(base, t, e, response, len);
    }
};

const SuppFamily kWcdma = {&g_family_wcdma, &s_callwaiting_wcdma};
const SuppFamily kLte = {&g_family_lte, &s_callwaiting_lte};

void fail(const SuppFamily &f, RIL_Token t) { f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0); }

bool requestInts(const void *data, size_t datalen, int *out, size_t n) {
    if (data == nullptr || datalen < n * sizeof(int)) return false;
    memcpy(out, data, n * sizeof(int));
    return true;
}

// A single-line query; returns the reply line (owned by *reply) or null.
char *query(const char *cmd, const char *prefix, AtReply **reply) {
    int err = at_send_command_singleline(cmd, prefix, reply);
    if (err < 0 || *reply == nullptr || !(*reply)->success || (*reply)->p_intermediates == nullptr) return nullptr;
    return (*reply)->p_intermediates->line;
}

void sendAndComplete(const SuppFamily &f, const char *cmd, RIL_Token t) {
    AtReply *reply = nullptr;
    int err = at_send_command(cmd, &reply);
    f.complete(t, err >= 0 && reply != nullptr && reply->success ? RIL_E_SUCCESS : RIL_E_GENERIC_FAILURE, nullptr, 0);
    at_response_free(reply);
}

void getClir(const SuppFamily &f, RIL_Token t) {
    AtReply *reply = nullptr;
    char *line = query("AT+CLIR?", "+CLIR:", &reply);
    int v[2] = {0, 0};
    if (line != nullptr && at_tok_start(&line) >= 0 && at_tok_nextint(&line, &v[0]) >= 0 &&
        at_tok_nextint(&line, &v[1]) >= 0)
        f.complete(t, RIL_E_SUCCESS, v, sizeof(v));
    else
        fail(f, t);
    at_response_free(reply);
}

void setClir(const SuppFamily &f, void *data, size_t datalen, RIL_Token t) {
    int n = 0;
    if (!requestInts(data, datalen, &n, 1)) n = 0;
    char cmd[32];
    snprintf(cmd, sizeof(cmd), "AT+CLIR=%d", n);
    sendAndComplete(f, cmd, t);
}

const RIL_CallForwardInfo *forwardRequest(const void *data, size_t datalen) {
    if (data == nullptr || datalen < sizeof(RIL_CallForwardInfo)) return nullptr;
    return (const RIL_CallForwardInfo *)data;
}

void queryForward(const SuppFamily &f, void *data, size_t datalen, RIL_Token t) {
    const RIL_CallForwardInfo *req = forwardRequest(data, datalen);
    if (req == nullptr) {
        fail(f, t);
        return;
    }
    char cmd[64];
    snprintf(cmd, sizeof(cmd), "AT+CCFC=%d, 2", req->reason);
    AtReply *reply = nullptr;
    char *line = query(cmd, "+CCFC:", &reply);
    if (line == nullptr) {
        fail(f, t);
        at_response_free(reply);
        return;
    }
    RIL_CallForwardInfo info;
    memset(&info, 0, sizeof(info));
    info.number = (char *)"";
    int v = 0;
    if (at_tok_start(&line) >= 0 && at_tok_nextint(&line, &info.status) >= 0) {
        info.reason = 0;
        info.serviceClass = 1;
        char *number = nullptr;
        if (info.status == 1 && at_tok_nextint(&line, &v) >= 0 && at_tok_nextstr(&line, &number) >= 0) {
            if (number != nullptr) info.number = number;
            at_tok_nextint(&line, &info.toa);
        }
    }
    RIL_CallForwardInfo *list[1] = {&info};
    f.complete(t, RIL_E_SUCCESS, list, sizeof(list));
    at_response_free(reply);
}

void setForward(const SuppFamily &f, void *data, size_t datalen, RIL_Token t) {
    const RIL_CallForwardInfo *req = forwardRequest(data, datalen);
    // disabling carries no number: the field stays empty
    if (req == nullptr || (req->number != nullptr && req->number[0] != '\0' && !ril_is_dial_string(req->number))) {
        fail(f, t);
        return;
    }
    char cmd[1024];
    snprintf(cmd, sizeof(cmd), "AT+CCFC=%d,%d,%s,%d,%d,,,%d", req->reason, req->status,
             req->number != nullptr ? req->number : "", req->toa, req->serviceClass, 30);
    sendAndComplete(f, cmd, t);
}

void queryWaiting(const SuppFamily &f, void *data, size_t datalen, RIL_Token t) {
    int cls = 0;
    // a failed query leaves the call-waiting flag as it was
    if (!requestInts(data, datalen, &cls, 1)) {
        fail(f, t);
        return;
    }
    AtReply *reply = nullptr;
    char *line = query("AT+CCWA=,2, 1", "+CCWA:", &reply);
    int status = 0;
    if (line != nullptr && at_tok_start(&line) >= 0 && at_tok_nextint(&line, &status) >= 0) {
        *f.callwaiting = status;
        int v[2] = {status, 1};
        f.complete(t, RIL_E_SUCCESS, v, sizeof(v));
    } else {
        fail(f, t);
    }
    at_response_free(reply);
}

void setWaiting(const SuppFamily &f, void *data, size_t datalen, RIL_Token t) {
    int v[2] = {0, 0};
    if (!requestInts(data, datalen, v, 2)) {
        fail(f, t);
        return;
    }
    RILDEBUG("requestSetCallWaiting: class %d", v[1]);
    char cmd[64];
    snprintf(cmd, sizeof(cmd), "AT+CCWA=,%d, 1", v[0]);
    sendAndComplete(f, cmd, t);
}

}  // namespace

extern "C" int GetCCWAStatus(void) {
    AtReply *reply = nullptr;
    char *line = query("AT+CCWA=,2, 1", "+CCWA:", &reply);
    int status = 0;
    if (line == nullptr || at_tok_start(&line) < 0 || at_tok_nextint(&line, &status) < 0) status = 0;
    at_response_free(reply);
    return status;
}

extern "C" void OnWCDMA_RIL_REQUEST_GET_CLIR(void *, size_t, RIL_Token t) { getClir(kWcdma, t); }
extern "C" void OnLTE_RIL_REQUEST_GET_CLIR(void *, size_t, RIL_Token t) { getClir(kLte, t); }
extern "C" void OnWCDMA_RIL_REQUEST_SET_CLIR(void *d, size_t l, RIL_Token t) { setClir(kWcdma, d, l, t); }
extern "C" void OnLTE_RIL_REQUEST_SET_CLIR(void *d, size_t l, RIL_Token t) { setClir(kLte, d, l, t); }
extern "C" void OnWCDMA_RIL_REQUEST_QUERY_CALL_FORWARD_STATUS(void *d, size_t l, RIL_Token t) { queryForward(kWcdma, d, l, t); }
extern "C" void OnLTE_RIL_REQUEST_QUERY_CALL_FORWARD_STATUS(void *d, size_t l, RIL_Token t) { queryForward(kLte, d, l, t); }
extern "C" void OnWCDMA_RIL_REQUEST_SET_CALL_FORWARD(void *d, size_t l, RIL_Token t) { setForward(kWcdma, d, l, t); }
extern "C" void OnLTE_RIL_REQUEST_SET_CALL_FORWARD(void *d, size_t l, RIL_Token t) { setForward(kLte, d, l, t); }
extern "C" void OnWCDMA_RIL_REQUEST_QUERY_CALL_WAITING(void *d, size_t l, RIL_Token t) { queryWaiting(kWcdma, d, l, t); }
extern "C" void OnLTE_RIL_REQUEST_QUERY_CALL_WAITING(void *d, size_t l, RIL_Token t) { queryWaiting(kLte, d, l, t); }
extern "C" void OnWCDMA_RIL_REQUEST_SET_CALL_WAITING(void *d, size_t l, RIL_Token t) { setWaiting(kWcdma, d, l, t); }
extern "C" void OnLTE_RIL_REQUEST_SET_CALL_WAITING(void *d, size_t l, RIL_Token t) { setWaiting(kLte, d, l, t); }
