// USSD and SIM toolkit of the three families: the shared senders, the
// "+CUSD:" decoder, the collection of a report over several lines in the
// WCDMA and LTE families, and each family's request handlers.
#include "ussd.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "at_link.h"
#include "at_reply.h"
#include "ril_direct.h"
#include "ril_families.h"
#include "ril_handlers.h"
#include "ril_log.h"
#include "ril_unsolicited.h"
#include "sms_codec.h"

extern "C" {
int s_inussd_wcdma = 0;
int s_inussd_lte = 0;
char s_ussdbuf_wcdma[RIL_USSD_BUF_SIZE];
char s_ussdbuf_lte[RIL_USSD_BUF_SIZE];
int s_ussdcount_wcdma = 0;
int s_ussdcount_lte = 0;
}

namespace {

/* ------------------------------------------------------------------ */
/* Checks on framework texts                                            */
/* ------------------------------------------------------------------ */

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

/* ------------------------------------------------------------------ */
/* Decoding                                                             */
/* ------------------------------------------------------------------ */

// Every buffer is sized from the routine's rule for the longest text the
// decoder takes: the report is cut to the collection buffer, so the hex
// field is shorter than RIL_USSD_BUF_SIZE characters.
constexpr int kMaxPacked = RIL_USSD_BUF_SIZE / 2;                // (hex + 1) / 2
constexpr int kMaxSeptets = kMaxPacked + kMaxPacked / 7;          // floor(8n / 7)
constexpr int kMaxUnits = kMaxSeptets;                            // one per septet at most
constexpr int kMaxUtf8 = 3 * kMaxUnits;                           // three bytes per unit

struct UssdDecodeBuffers {
    unsigned char packed[kMaxPacked];
    unsigned char septets[kMaxSeptets + 1];  // and the unpacker's NUL
    unsigned short units[kMaxUnits];
    char utf8[kMaxUtf8 + 1];                 // and the terminator
};

// Packed GSM 7-bit hex to UTF-8 with the table pair of `table` (0: the
// default alphabet). Returns out->utf8, or "" when the hex does not convert.
const char *decodePacked(const char *hex, int table, UssdDecodeBuffers *out) {
    out->utf8[0] = '\0';
    if (strlen(hex) >= (size_t)RIL_USSD_BUF_SIZE) return out->utf8;
    int n = hexStringToBytes(hex, out->packed, (int)sizeof(out->packed));
    if (n <= 0) return out->utf8;
    int septets = UncompressGsm7bit(out->packed, out->septets, n);
    if (septets <= 0 || septets > kMaxSeptets) return out->utf8;
    int units = table == 0 ? Gsm7bitToUnicode(out->septets, out->units, septets)
                           : Gsm7bitToUnicodeExt(out->septets, out->units, septets, table);
    if (units <= 0 || units > kMaxUnits) return out->utf8;
    int bytes = UnicodeToUtf8(out->units, (unsigned char *)out->utf8, units);
    if (bytes < 0 || bytes > kMaxUtf8) bytes = 0;
    out->utf8[bytes] = '\0';
    return out->utf8;
}

/* ------------------------------------------------------------------ */
/* The "+CUSD:" collection of the WCDMA and LTE families                 */
/* ------------------------------------------------------------------ */

struct UssdCollection {
    int *inussd;
    char *buf;
    int *count;
    size_t len;        // bytes in buf
    unsigned lines;    // lines in the report so far
    unsigned since;    // tick of its first line
};

UssdCollection s_collect[2] = {
    {&s_inussd_wcdma, s_ussdbuf_wcdma, &s_ussdcount_wcdma, 0, 0, 0},
    {&s_inussd_lte, s_ussdbuf_lte, &s_ussdcount_lte, 0, 0, 0},
};

UssdCollection *collectionOf(int family) {
    if (family == RIL_FAMILY_WCDMA) return &s_collect[0];
    if (family == RIL_FAMILY_LTE) return &s_collect[1];
    return nullptr;
}

int *ussdCountOf(int family) {
    UssdCollection *c = collectionOf(family);
    return c != nullptr ? c->count : nullptr;
}

// the report's quoted text is closed: an even number of double quotes
bool quotesBalanced(const char *s) {
    unsigned quotes = 0;
    for (; *s != '\0'; s++) quotes += *s == '"';
    return quotes % 2 == 0;
}

// appends src to the collection, cut to the buffer; false when cut
bool append(UssdCollection *c, const char *src) {
    size_t room = RIL_USSD_BUF_SIZE - 1 - c->len;
    size_t n = strlen(src);
    bool whole = n <= room;
    if (!whole) n = room;
    memcpy(c->buf + c->len, src, n);
    c->len += n;
    c->buf[c->len] = '\0';
    return whole;
}

void deliver(UssdCollection *c) {
    __atomic_store_n(c->inussd, 0, __ATOMIC_SEQ_CST);
    __atomic_add_fetch(c->count, 1, __ATOMIC_SEQ_CST);
    Unsolicited_USD(c->buf);
}

/* ------------------------------------------------------------------ */
/* Completion helpers                                                   */
/* ------------------------------------------------------------------ */

// the shared routines complete through the CDMA slot, which holds the same
// daemon record as the other families' slots (the daemon library's own
// exports in the legacy build)
void complete(RIL_Token t, RIL_Errno e) { ril_direct_complete(t, e, nullptr, 0); }

// Sends a command without a result line; RIL_E_SUCCESS on a final OK.
RIL_Errno sendPlain(const char *cmd) {
    AtReply *p_response = nullptr;
    int err = at_send_command(cmd, &p_response);
    RIL_Errno e = (err >= 0 && p_response != nullptr && p_response->success) ? RIL_E_SUCCESS
                                                                             : RIL_E_GENERIC_FAILURE;
    at_response_free(p_response);
    return e;
}

void sendUssd(void *data, RIL_Token t) {
    const char *text = (const char *)data;
    // the string's own length decides (the request's length is that of a
    // pointer); a quote, line end or other control character would end the
    // argument and start a command of its own
    if (!ril_ussd_text_ok(text)) {
        RILDEBUG("USSD string refused (%s)", text == nullptr ? "null" : "not sendable");
        complete(t, RIL_E_GENERIC_FAILURE);
        return;
    }
    char cmd[sizeof("AT+CUSD=1,\"\",15") + RIL_USSD_MAX_TEXT];
    snprintf(cmd, sizeof(cmd), "AT+CUSD=1,\"%s\",15", text);
    complete(t, sendPlain(cmd));
}

// The WCDMA and LTE SEND_USSD: arms the answer time-out, then sends.
void sendUssdTimed(int family, void *data, RIL_Token t) {
    if (!ril_ussd_text_ok((const char *)data)) {
        // refused before anything is armed or sent
        sendUssd(data, t);
        return;
    }
    int *count = ussdCountOf(family);
    int *token = (int *)malloc(sizeof(int));
    if (token != nullptr) {
        *token = __atomic_add_fetch(count, 1, __ATOMIC_SEQ_CST);
        struct timeval delay = {RIL_USSD_ANSWER_TIMEOUT_S, 0};
        if (family == RIL_FAMILY_WCDMA && s_rilenv_wcdma != nullptr)
            RIL_requestTimedCallback_wcdma(onUssdTimeout_wcdma, token, &delay);
        else if (family == RIL_FAMILY_LTE && s_rilenv_lte != nullptr)
            RIL_requestTimedCallback_lte(onUssdTimeout_lte, token, &delay);
        else
            free(token);
    }
    Request_USSD(RIL_REQUEST_SEND_USSD, data, 0, t);
}

void ussdTimeout(int family, void *param) {
    int *token = (int *)param;
    if (token == nullptr) return;
    int now = __atomic_load_n(ussdCountOf(family), __ATOMIC_SEQ_CST);
    bool unanswered = *token == now;
    free(token);
    RILDEBUG("USSD time-out: %s", unanswered ? "no answer" : "answered");
    // type 4: the operation is not supported, with an empty text
    if (unanswered) Unsolicited_USD("+CUSD:4");
}

/* ------------------------------------------------------------------ */
/* SIM toolkit                                                          */
/* ------------------------------------------------------------------ */

// One "AT^STGR" kind: 0 envelope (sent in upper case), 1 terminal response
// (sent as given), with the log lines of its missing data and its failure.
struct StkSend {
    int kind;
    bool upper;
    const char *nullLog;
    const char *failLog;
};
const StkSend kEnvelope = {0, true, "Send STK  envelope  is NULL!\n", "Send STK  envelope  Failed!\n"};
const StkSend kTerminalResponse = {1, false, "Send STK Terminal response is NULL!\n",
                                   "Send STK Terminal response Failed!\n"};

void request_stk_send(const StkSend &how, void *data, RIL_Token t) {
    const char *hex = (const char *)data;
    if (hex == nullptr) {
        RILDEBUG("%s", how.nullLog);
        complete(t, RIL_E_GENERIC_FAILURE);
        return;
    }
    if (!ril_stk_hex_ok(hex)) {
        RILDEBUG("STK data refused: not an even count of hex digits up to %d", RIL_STK_MAX_HEX);
        complete(t, RIL_E_GENERIC_FAILURE);
        return;
    }
    // upper case on a copy: the framework's buffer stays as it was
    char text[RIL_STK_MAX_HEX + 1];
    snprintf(text, sizeof(text), "%s", hex);
    if (how.upper) StrToUpper(text);
    char cmd[sizeof("AT^STGR=0,\"\"") + RIL_STK_MAX_HEX];
    snprintf(cmd, sizeof(cmd), "AT^STGR=%d,\"%s\"", how.kind, text);
    RIL_Errno e = sendPlain(cmd);
    if (e != RIL_E_SUCCESS) RILDEBUG("%s", how.failLog);
    complete(t, e);
}

void request_stk_envelope(void *data, RIL_Token t) { request_stk_send(kEnvelope, data, t); }
void request_stk_terminal_response(void *data, RIL_Token t) { request_stk_send(kTerminalResponse, data, t); }

void request_stk_setup_call(void *data, size_t datalen, RIL_Token t) {
    if (data == nullptr || datalen < sizeof(int)) {
        RILDEBUG("STK call set-up answer without its value");
        complete(t, RIL_E_GENERIC_FAILURE);
        return;
    }
    int accept = 0;
    memcpy(&accept, data, sizeof(accept));
    // the module's answer does not change the outcome
    sendPlain(accept != 0 ? "AT^CSTC=1" : "AT^CSTC=0");
    complete(t, RIL_E_SUCCESS);
}

}  // namespace

extern "C" {

/* ------------------------------------------------------------------ */
/* Checks                                                               */
/* ------------------------------------------------------------------ */

int ril_ussd_text_ok(const char *s) {
    if (s == nullptr) return 0;
    size_t n = strnlen(s, RIL_USSD_MAX_TEXT + 1);
    if (n == 0 || n > RIL_USSD_MAX_TEXT) return 0;
    for (size_t i = 0; i < n; i++) {
        unsigned char c = (unsigned char)s[i];
        // printable ASCII; a backslash would let the module read an escape
        if (c < 0x20 || c > 0x7e || c == '"' || c == '\\') return 0;
    }
    return 1;
}

int ril_stk_hex_ok(const char *s) {
    if (s == nullptr) return 0;
    size_t n = strnlen(s, RIL_STK_MAX_HEX + 1);
    if (n == 0 || n > RIL_STK_MAX_HEX || n % 2 != 0) return 0;
    for (size_t i = 0; i < n; i++)
        if (!isHexDigit(s[i])) return 0;
    return 1;
}

/* ------------------------------------------------------------------ */
/* Decoding                                                             */
/* ------------------------------------------------------------------ */

int GetQuoCount(const char *text) {
    if (text == nullptr) return 0;
    int count = 0;
    for (const char *p = text; *p != '\0' && count < 2; p++) {
        if (*p == '"') {
            p = strchr(p + 1, '"');
            if (p == nullptr) break;
        } else if (*p == ',') {
            count++;
        }
    }
    return count;
}

void Unsolicited_USD(const char *text) {
    if (text == nullptr || !strStartsWith(text, "+CUSD:")) return;
    // a copy for the tokenizer, cut to the collection buffer
    char copy[RIL_USSD_BUF_SIZE];
    snprintf(copy, sizeof(copy), "%s", text);
    int separators = GetQuoCount(copy);
    char *cur = copy;
    int type = -1;
    if (at_tok_start(&cur) < 0 || at_tok_nextint(&cur, &type) < 0) type = -1;

    UssdDecodeBuffers buffers;  // about 10 KB, on the caller's stack
    const char *message = "";
    if (type == 0 || type == 1) {
        char *field = nullptr;
        // no text field: no text; a text without its coding scheme is
        // passed on as it came
        if (separators < 1 || at_tok_nextstr(&cur, &field) < 0 || field == nullptr) {
            message = nullptr;
        } else {
            int dcs = -1;
            if (separators < 2 || at_tok_nextint(&cur, &dcs) < 0) dcs = -1;
            if (dcs == 0)
                message = decodePacked(field, 0, &buffers);
            else if (dcs == 8)
                message = decodePacked(field, 8, &buffers);
            else
                message = field;
        }
    }

    char typeText[16];
    snprintf(typeText, sizeof(typeText), "%d", type);
    const char *response[2] = {typeText, message};
    RILDEBUG("USSD report: type %s, text %s", typeText, message != nullptr ? message : "(none)");
    ril_direct_unsolicited(RIL_UNSOL_ON_USSD, response, 2 * sizeof(char *));
}

/* ------------------------------------------------------------------ */
/* The "+CUSD:" collection                                              */
/* ------------------------------------------------------------------ */

void ussd_collect_reset(int family) {
    UssdCollection *c = collectionOf(family);
    if (c == nullptr) return;
    __atomic_store_n(c->inussd, 0, __ATOMIC_SEQ_CST);
    c->buf[0] = '\0';
    c->len = 0;
    c->lines = 0;
}

void ussd_collect_start(int family, const char *line) {
    UssdCollection *c = collectionOf(family);
    if (c == nullptr || line == nullptr) return;
    // a new report ends any report still being collected
    ussd_collect_reset(family);
    bool whole = append(c, line);
    if (whole && !quotesBalanced(c->buf)) {
        // the quoted text has begun and goes on on the next lines
        __atomic_store_n(c->inussd, 1, __ATOMIC_SEQ_CST);
        c->lines = 1;
        c->since = GetTickCount();
        return;
    }
    deliver(c);
}

int ussd_collect_continue(int family, const char *line) {
    UssdCollection *c = collectionOf(family);
    if (c == nullptr || line == nullptr || !__atomic_load_n(c->inussd, __ATOMIC_SEQ_CST)) return 0;
    if (GetTickCount() - c->since > (unsigned)RIL_USSD_COLLECT_MS) {
        // the rest never came: the report is dropped, the line is not its
        RILDEBUG("USSD report dropped: unfinished after %d ms", RIL_USSD_COLLECT_MS);
        ussd_collect_reset(family);
        return 0;
    }
    bool whole = append(c, "\r\n") && append(c, line);
    c->lines++;
    // the closing quote ends the report; so do the buffer's and the line
    // count's ends (what was collected is delivered, cut)
    if (quotesBalanced(c->buf) || !whole || c->lines >= RIL_USSD_MAX_LINES) deliver(c);
    return 1;
}

/* ------------------------------------------------------------------ */
/* Shared senders                                                       */
/* ------------------------------------------------------------------ */

void Request_USSD(int request, void *data, size_t /*datalen*/, RIL_Token t) {
    switch (request) {
        case RIL_REQUEST_SEND_USSD: sendUssd(data, t); return;
        case RIL_REQUEST_CANCEL_USSD: complete(t, sendPlain("AT+CUSD=2")); return;
        default: complete(t, RIL_E_REQUEST_NOT_SUPPORTED); return;
    }
}

void Request_STK(int request, void *data, size_t datalen, RIL_Token t) {
    switch (request) {
        case RIL_REQUEST_STK_SEND_ENVELOPE_COMMAND: request_stk_envelope(data, t); return;
        case RIL_REQUEST_STK_SEND_TERMINAL_RESPONSE: request_stk_terminal_response(data, t); return;
        case RIL_REQUEST_STK_HANDLE_CALL_SETUP_REQUESTED_FROM_SIM:
            request_stk_setup_call(data, datalen, t);
            return;
        default:
            RILDEBUG("Request_STK: request %d not handled", request);
            complete(t, RIL_E_REQUEST_NOT_SUPPORTED);
            return;
    }
}

void onUssdTimeout_wcdma(void *param) { ussdTimeout(RIL_FAMILY_WCDMA, param); }
void onUssdTimeout_lte(void *param) { ussdTimeout(RIL_FAMILY_LTE, param); }

/* ------------------------------------------------------------------ */
/* Request handlers                                                     */
/* ------------------------------------------------------------------ */

void OnCDMA_RIL_REQUEST_SEND_USSD(void *, size_t, RIL_Token t) {
    ril_direct_complete(t, RIL_E_REQUEST_NOT_SUPPORTED, nullptr, 0);
}

void OnCDMA_RIL_REQUEST_CANCEL_USSD(void *, size_t, RIL_Token t) {
    AtReply *p_response = nullptr;
    // the module may answer a plain OK or a digit line and OK: both succeed
    int err = at_send_command_full("AT+CUSD=2", NUMERIC, nullptr, nullptr, 0, &p_response);
    if (err < 0 || p_response == nullptr || !p_response->success) {
        ril_direct_complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
    } else if (p_response->p_intermediates != nullptr) {
        ril_direct_complete(t, RIL_E_SUCCESS, p_response->p_intermediates->line, sizeof(char *));
    } else {
        ril_direct_complete(t, RIL_E_SUCCESS, nullptr, 0);
    }
    at_response_free(p_response);
}

void OnWCDMA_RIL_REQUEST_SEND_USSD(void *data, size_t, RIL_Token t) {
    sendUssdTimed(RIL_FAMILY_WCDMA, data, t);
}
void OnLTE_RIL_REQUEST_SEND_USSD(void *data, size_t, RIL_Token t) { sendUssdTimed(RIL_FAMILY_LTE, data, t); }

void OnWCDMA_RIL_REQUEST_CANCEL_USSD(void *data, size_t datalen, RIL_Token t) {
    Request_USSD(RIL_REQUEST_CANCEL_USSD, data, datalen, t);
}
void OnLTE_RIL_REQUEST_CANCEL_USSD(void *data, size_t datalen, RIL_Token t) {
    Request_USSD(RIL_REQUEST_CANCEL_USSD, data, datalen, t);
}

#define RIL_STK_HANDLERS_(FAMILY)                                                                 \
    void On##FAMILY##_RIL_REQUEST_STK_SEND_ENVELOPE_COMMAND(void *data, size_t datalen, RIL_Token t) { \
        Request_STK(RIL_REQUEST_STK_SEND_ENVELOPE_COMMAND, data, datalen, t);                    \
    }                                                                                             \
    void On##FAMILY##_RIL_REQUEST_STK_SEND_TERMINAL_RESPONSE(void *data, size_t datalen, RIL_Token t) { \
        Request_STK(RIL_REQUEST_STK_SEND_TERMINAL_RESPONSE, data, datalen, t);                   \
    }                                                                                             \
    void On##FAMILY##_RIL_REQUEST_STK_HANDLE_CALL_SETUP_REQUESTED_FROM_SIM(void *data, size_t datalen, \
                                                                           RIL_Token t) {         \
        Request_STK(RIL_REQUEST_STK_HANDLE_CALL_SETUP_REQUESTED_FROM_SIM, data, datalen, t);     \
    }                                                                                             \
    void On##FAMILY##_RIL_REQUEST_STK_SEND_ENVELOPE_WITH_STATUS(void *, size_t, RIL_Token t) {    \
        complete(t, RIL_E_GENERIC_FAILURE);                                                       \
    }
RIL_STK_HANDLERS_(WCDMA)
RIL_STK_HANDLERS_(LTE)
#undef RIL_STK_HANDLERS_

/* ------------------------------------------------------------------ */
/* Unsolicited rows                                                     */
/* ------------------------------------------------------------------ */

void onUnsolUssd_wcdma(const char *line, const char *) { ussd_collect_start(RIL_FAMILY_WCDMA, line); }
void onUnsolUssd_lte(const char *line, const char *) { ussd_collect_start(RIL_FAMILY_LTE, line); }

// whatever no other row took: the rest of a "+CUSD:" report, or nothing
void onUnsolOther_wcdma(const char *line, const char *) {
    if (!ussd_collect_continue(RIL_FAMILY_WCDMA, line)) RILDEBUG("onUnsolicited: not supported %s", line);
}
void onUnsolOther_lte(const char *line, const char *) {
    if (!ussd_collect_continue(RIL_FAMILY_LTE, line)) RILDEBUG("onUnsolicited: not supported %s", line);
}

}  // extern "C"
