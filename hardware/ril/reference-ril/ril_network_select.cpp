// Network selection and preferred mode of the three families: selection
// mode, manual and automatic selection, the "+COPS=?" list, the preferred
// network type ("AT^PREFMODE", "AT+CPREFMODE" or "AT%SYSCFG",
// "AT^MODECONFIG"), and the requests the families answer with fixed values.
#include "ril_network_select.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "at_link.h"
#include "at_reply.h"
#include "ril_at_text.h"
#include "ril_families.h"
#include "ril_handlers.h"
#include "ril_log.h"
#include "ril_network.h"
#include "ril_sim.h"
#include "usb_discovery.h"

extern "C" {
int s_setmodecount = 0;
int s_first2g = 1;
RIL_RadioCapability RadioCapability;
}

namespace {

typedef void (*CompleteFn)(RIL_Token, RIL_Errno, void *, size_t);

// one integer of a single-line reply; false when the command failed or the
// field cannot be read. n: which integer (0 = first).
bool queryInts(const char *cmd, const char *prefix, int *out, int count) {
    AtReply *p = nullptr;
    int err = at_send_command_singleline(cmd, prefix, &p);
    bool ok = err == 0 && p != nullptr && p->success && p->p_intermediates != nullptr;
    if (ok) {
        char *line = p->p_intermediates->line;
        ok = at_tok_start(&line) >= 0;
        for (int i = 0; ok && i < count; i++) ok = at_tok_nextint(&line, &out[i]) >= 0;
    }
    at_response_free(p);
    return ok;
}

bool sendOk(const char *cmd) {
    AtReply *p = nullptr;
    int err = at_send_command(cmd, &p);
    bool ok = err == 0 && p != nullptr && p->success;
    at_response_free(p);
    return ok;
}

void completeInt(CompleteFn complete, RIL_Token t, int value) {
    int v = value;
    complete(t, RIL_E_SUCCESS, &v, sizeof(v));
}

}  // namespace

/* ------------------------------------------------------------------ */
/* Selection mode                                                       */
/* ------------------------------------------------------------------ */

extern "C" void OnCDMA_RIL_REQUEST_QUERY_NETWORK_SELECTION_MODE(void *, size_t, RIL_Token t) {
    int mode = 0;
    if (!queryInts("AT+COPS?", "+COPS:", &mode, 1)) {
        RILDEBUG("God >> requestQueryNetworkSelectionMode must never return error when radio is on");
        RIL_onRequestComplete_cdma(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    completeInt(RIL_onRequestComplete_cdma, t, mode);
}

static void querySelection3gpp(CompleteFn complete, RIL_Token t) {
    int mode = 0;
    if (!queryInts("AT+COPS?", "+COPS:", &mode, 1)) {
        RILDEBUG("requestQueryNetworkSelectionMode must never return error when radio is on");
        mode = 0;
    }
    completeInt(complete, t, mode);
}

extern "C" void OnWCDMA_RIL_REQUEST_QUERY_NETWORK_SELECTION_MODE(void *, size_t, RIL_Token t) {
    querySelection3gpp(RIL_onRequestComplete_wcdma, t);
}

extern "C" void OnLTE_RIL_REQUEST_QUERY_NETWORK_SELECTION_MODE(void *, size_t, RIL_Token t) {
    if (is_cdma == -1) GetLteRadioTech();
    if (is_cdma == 1) {
        completeInt(RIL_onRequestComplete_lte, t, 0);
        return;
    }
    querySelection3gpp(RIL_onRequestComplete_lte, t);
}

extern "C" void OnWCDMA_RIL_REQUEST_SET_NETWORK_SELECTION_AUTOMATIC(void *, size_t, RIL_Token t) {
    if (s_copsmode == 0) {
        RIL_onRequestComplete_wcdma(t, RIL_E_SUCCESS, nullptr, 0);
        return;
    }
    RIL_onRequestComplete_wcdma(t, sendOk("AT+COPS=0") ? RIL_E_SUCCESS : RIL_E_GENERIC_FAILURE, nullptr, 0);
}

extern "C" void OnLTE_RIL_REQUEST_SET_NETWORK_SELECTION_AUTOMATIC(void *, size_t, RIL_Token t) {
    RIL_onRequestComplete_lte(t, RIL_E_SUCCESS, nullptr, 0);
}

// an operator numeric: five or six decimal digits, nothing else
static bool isOperatorNumeric(const char *s) {
    if (s == nullptr) return false;
    size_t n = strnlen(s, 7);
    if (n != 5 && n != 6) return false;
    for (size_t i = 0; i < n; i++)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

static void selectManual(CompleteFn complete, void *data, RIL_Token t) {
    const char *numeric = (const char *)data;
    if (!isOperatorNumeric(numeric)) {
        RILDEBUG("SET_NETWORK_SELECTION_MANUAL: refused operator");
        complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    char cmd[256];
    snprintf(cmd, sizeof(cmd), "AT+COPS=4,2,%s", numeric);
    complete(t, sendOk(cmd) ? RIL_E_SUCCESS : RIL_E_GENERIC_FAILURE, nullptr, 0);
}

extern "C" void OnWCDMA_RIL_REQUEST_SET_NETWORK_SELECTION_MANUAL(void *data, size_t, RIL_Token t) {
    selectManual(RIL_onRequestComplete_wcdma, data, t);
}
extern "C" void OnLTE_RIL_REQUEST_SET_NETWORK_SELECTION_MANUAL(void *data, size_t, RIL_Token t) {
    selectManual(RIL_onRequestComplete_lte, data, t);
}

/* ------------------------------------------------------------------ */
/* Available networks                                                   */
/* ------------------------------------------------------------------ */

static void queryAvailable(CompleteFn complete, long long timeoutMs, RIL_Token t) {
    AtReply *p = nullptr;
    int err = at_send_command_full("AT+COPS=?", MULTILINE, "+COPS:", nullptr, timeoutMs, &p);
    RilCopsEntry entries[RIL_COPS_MAX_ENTRIES];
    int count = -1;
    if (err == 0 && p != nullptr && p->success && p->p_intermediates != nullptr)
        count = ril_parse_cops_list(p->p_intermediates->line, entries, RIL_COPS_MAX_ENTRIES);
    at_response_free(p);
    if (count < 0) {
        complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    char *answer[4 * RIL_COPS_MAX_ENTRIES];
    for (int i = 0; i < count; i++) {
        answer[4 * i] = entries[i].longName;
        answer[4 * i + 1] = entries[i].shortName;
        answer[4 * i + 2] = entries[i].numeric;
        answer[4 * i + 3] = entries[i].status;
    }
    complete(t, RIL_E_SUCCESS, count > 0 ? answer : nullptr, (size_t)count * 4 * sizeof(char *));
}

extern "C" void OnWCDMA_RIL_REQUEST_QUERY_AVAILABLE_NETWORKS(void *, size_t, RIL_Token t) {
    queryAvailable(RIL_onRequestComplete_wcdma, 0, t);
}
extern "C" void OnLTE_RIL_REQUEST_QUERY_AVAILABLE_NETWORKS(void *, size_t, RIL_Token t) {
    queryAvailable(RIL_onRequestComplete_lte, 500000, t);
}

/* ------------------------------------------------------------------ */
/* Preferred network type                                               */
/* ------------------------------------------------------------------ */

static bool requestInt(void *data, size_t datalen, int *out) {
    if (data == nullptr || datalen < sizeof(int)) return false;
    memcpy(out, data, sizeof(int));
    return true;
}

extern "C" void OnCDMA_RIL_REQUEST_SET_PREFERRED_NETWORK_TYPE(void *data, size_t datalen, RIL_Token t) {
    int type = 0;
    if (!requestInt(data, datalen, &type)) {
        RIL_onRequestComplete_cdma(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    int pref = type == 4 ? 8 : type == 5 ? 2 : type == 6 ? 4 : -1;
    if (pref < 0) {
        RIL_onRequestComplete_cdma(t, RIL_E_MODE_NOT_SUPPORTED, nullptr, 0);
        return;
    }
    char cmd[32];
    snprintf(cmd, sizeof(cmd), "AT^PREFMODE=%d", pref);
    RIL_onRequestComplete_cdma(t, sendOk(cmd) ? RIL_E_SUCCESS : RIL_E_GENERIC_FAILURE, nullptr, 0);
}

extern "C" void OnCDMA_RIL_REQUEST_GET_PREFERRED_NETWORK_TYPE(void *, size_t, RIL_Token t) {
    int v = 0;
    int type = 0;
    if (queryInts("AT^PREFMODE ?", "^PREFMODE:", &v, 1)) type = v == 4 ? 6 : v == 8 ? 4 : v == 2 ? 5 : v;
    completeInt(RIL_onRequestComplete_cdma, t, type);
}

extern "C" int GetSYSCFG(int *mode, int *order) {
    int m = 0, o = 0;
    if (g_moduletype != 0) {
        AtReply *p = nullptr;
        int x = 0;
        int err = at_send_command_singleline("AT+CPREFMODE?", "+CPREFMODE:", &p);
        if (err == 0 && p != nullptr && p->success && p->p_intermediates != nullptr) {
            char *line = p->p_intermediates->line;
            int second = 0;
            if (at_tok_start(&line) >= 0 && at_tok_nextint(&line, &m) >= 0 && at_tok_nextint(&line, &second) >= 0 &&
                at_tok_nextint(&line, &x) < 0)
                x = 0;
        }
        at_response_free(p);
        // once: a module still on 2G with a card reports the GSM-only mode
        if (s_first2g) {
            int cns[2] = {0, 0};
            if (queryInts("AT+CNSMOD?", "+CNSMOD:", cns, 2) && cns[1] <= 3 && m == 2 && x != 0) {
                m = 13;
                s_first2g = 0;
            }
        }
        o = 0;
    } else {
        int v[2] = {0, 0};
        AtReply *p = nullptr;
        int err = at_send_command_singleline("AT%SYSCFG?", "%SYSCFG:", &p);
        if (err == 0 && p != nullptr && p->success && p->p_intermediates != nullptr) {
            char *line = p->p_intermediates->line;
            if (at_tok_start(&line) >= 0 && at_tok_nextint(&line, &v[0]) >= 0) at_tok_nextint(&line, &v[1]);
        }
        at_response_free(p);
        m = v[0];
        o = v[1];
    }
    if (mode != nullptr) *mode = m;
    if (order != nullptr) *order = o;
    return m;
}

namespace {
struct WcdmaMode {
    int mode;
    int order;
};
// preferred types 0-7; mode -1: not supported
const WcdmaMode kWcdmaModes[8] = {{2, 2}, {13, 3}, {14, 3}, {2, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {2, 0}};
}  // namespace

extern "C" void OnWCDMA_RIL_REQUEST_SET_PREFERRED_NETWORK_TYPE(void *data, size_t datalen, RIL_Token t) {
    s_setmodecount++;
    int type = 0;
    if (!requestInt(data, datalen, &type)) {
        RIL_onRequestComplete_wcdma(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    // types outside the table (negative ones included) are not supported
    if (type < 0 || type > 7 || kWcdmaModes[type].mode < 0) {
        RIL_onRequestComplete_wcdma(t, RIL_E_MODE_NOT_SUPPORTED, nullptr, 0);
        return;
    }
    int want = kWcdmaModes[type].mode, order = kWcdmaModes[type].order;
    int current = 0, curOrder = 0;
    GetSYSCFG(&current, &curOrder);
    if (current == want) {
        RIL_onRequestComplete_wcdma(t, RIL_E_SUCCESS, nullptr, 0);
        return;
    }
    char cmd[64];
    if (g_moduletype != 0) {
        if (want == 13) {
            snprintf(cmd, sizeof(cmd), "AT+CPREFMODE=%d", 13);
        } else {
            at_send_command("AT+CPREFMODE=14", nullptr);
            sleepMsec(3000);
            snprintf(cmd, sizeof(cmd), "AT+CPREFMODE=2");
        }
    } else {
        if (want == 2) {
            at_send_command("AT%SYSCFG=14,2", nullptr);
            sleepMsec(2000);
        }
        snprintf(cmd, sizeof(cmd), "AT%%SYSCFG=%d,%d", want, order);
    }
    bool ok = sendOk(cmd);
    if (ok) RIL_onRequestComplete_wcdma(t, RIL_E_SUCCESS, nullptr, 0);
    if (s_setmodecount > 3) {
        StopPPPD("OnWCDMA_RIL_REQUEST_SET_PREFERRED_NETWORK_TYPE", 0);
        if (s_hasinit) RIL_onUnsolicitedResponse_wcdma(RIL_UNSOL_DATA_CALL_LIST_CHANGED, nullptr, 0);
    }
    if (!ok) RIL_onRequestComplete_wcdma(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
}

extern "C" void OnWCDMA_RIL_REQUEST_GET_PREFERRED_NETWORK_TYPE(void *, size_t, RIL_Token t) {
    int v[2] = {0, 0};
    bool ok = g_moduletype != 0 ? queryInts("AT+CPREFMODE?", "+CPREFMODE:", v, 1)
                                : queryInts("AT%SYSCFG?", "%SYSCFG:", v, 2);
    if (!ok) {
        RIL_onRequestComplete_wcdma(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    completeInt(RIL_onRequestComplete_wcdma, t, v[0] == 13 ? 1 : v[0] == 14 ? 2 : 0);
}

extern "C" void OnLTE_RIL_REQUEST_SET_PREFERRED_NETWORK_TYPE(void *data, size_t datalen, RIL_Token t) {
    int type = -1;
    if (requestInt(data, datalen, &type)) RILDEBUG("LTE SET_PREFERRED_NETWORK_TYPE: %d", type);
    RIL_onRequestComplete_lte(t, RIL_E_SUCCESS, nullptr, 0);
}

extern "C" void OnLTE_RIL_REQUEST_GET_PREFERRED_NETWORK_TYPE(void *, size_t, RIL_Token t) {
    int type = 0;
    // query_ctec answers 1, which this request has always taken for a failure
    if (query_ctec(nullptr, &type, nullptr) == 1) {
        RIL_onRequestComplete_lte(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    completeInt(RIL_onRequestComplete_lte, t, type);
}

extern "C" int ril_modeconfig_to_type(int m) {
    switch (m) {
        case 0: case 2: case 3: case 4: case 6: case 39: case 51: case 60: case 61: return 19;
        case 1: case 13: return 1;
        case 5: case 38: return 16;
        case 14: case 15: case 22: return 2;
        case 19: return 3;
        case 54: case 65: return 18;
        default: return 0;
    }
}

extern "C" int getmodeconfig(void) {
    int m = 0;
    if (!queryInts("AT^MODECONFIG?", "^MODECONFIG:", &m, 1)) return 0;
    return m;
}

extern "C" int LTE_GetSYSCFG(int *mode, int *order) {
    int m = getmodeconfig();
    if (mode != nullptr) *mode = 0;
    if (order != nullptr) *order = m;
    return m;
}

extern "C" int query_ctec(void *, int *type1, int *type2) {
    int m = 0;
    int type = queryInts("AT^MODECONFIG?", "^MODECONFIG:", &m, 1) ? ril_modeconfig_to_type(m) : 0;
    if (type1 != nullptr) *type1 = type;
    if (type2 != nullptr) *type2 = type;
    return 1;
}

/* ------------------------------------------------------------------ */
/* Fixed answers                                                        */
/* ------------------------------------------------------------------ */

namespace {

void neighboringCells(CompleteFn complete, RIL_Token t) {
    static char cid[] = "12345679";
    static RIL_NeighboringCell cell = {cid, 90};
    RIL_NeighboringCell *cells[1] = {&cell};
    complete(t, RIL_E_SUCCESS, cells, sizeof(cells));
}

void setRadioCapability(CompleteFn complete, int rat, RIL_Token t) {
    memset(&RadioCapability, 0, sizeof(RadioCapability));
    RadioCapability.version = 123;
    RadioCapability.session = 456;
    RadioCapability.phase = 78;
    RadioCapability.rat = rat;
    ril_copy_text(RadioCapability.logicalModemUuid, sizeof(RadioCapability.logicalModemUuid), "12345678");
    RadioCapability.status = 1;
    complete(t, RIL_E_SUCCESS, &RadioCapability, sizeof(RadioCapability));
}

}  // namespace

#define RIL_FIXED_ANSWER_(name, complete, err)                                   \
    extern "C" void name(void *, size_t, RIL_Token t) { complete(t, err, nullptr, 0); }

RIL_FIXED_ANSWER_(OnWCDMA_RIL_REQUEST_CDMA_SET_SUBSCRIPTION, RIL_onRequestComplete_wcdma, RIL_E_SUCCESS)
RIL_FIXED_ANSWER_(OnLTE_RIL_REQUEST_CDMA_SET_SUBSCRIPTION, RIL_onRequestComplete_lte, RIL_E_SUCCESS)
RIL_FIXED_ANSWER_(OnWCDMA_RIL_REQUEST_CDMA_GET_SUBSCRIPTION_SOURCE, RIL_onRequestComplete_wcdma, RIL_E_GENERIC_FAILURE)
RIL_FIXED_ANSWER_(OnLTE_RIL_REQUEST_CDMA_GET_SUBSCRIPTION_SOURCE, RIL_onRequestComplete_lte, RIL_E_GENERIC_FAILURE)
RIL_FIXED_ANSWER_(OnLTE_RIL_REQUEST_SET_TTY_MODE, RIL_onRequestComplete_lte, RIL_E_SUCCESS)
RIL_FIXED_ANSWER_(OnWCDMA_RIL_REQUEST_ISIM_AUTHENTICATION, RIL_onRequestComplete_wcdma, RIL_E_GENERIC_FAILURE)
RIL_FIXED_ANSWER_(OnLTE_RIL_REQUEST_ISIM_AUTHENTICATION, RIL_onRequestComplete_lte, RIL_E_GENERIC_FAILURE)
RIL_FIXED_ANSWER_(OnWCDMA_RIL_REQUEST_GET_CELL_INFO_LIST, RIL_onRequestComplete_wcdma, RIL_E_GENERIC_FAILURE)
RIL_FIXED_ANSWER_(OnLTE_RIL_REQUEST_GET_CELL_INFO_LIST, RIL_onRequestComplete_lte, RIL_E_GENERIC_FAILURE)
RIL_FIXED_ANSWER_(OnWCDMA_RIL_REQUEST_SET_UNSOL_CELL_INFO_LIST_RATE, RIL_onRequestComplete_wcdma, RIL_E_SUCCESS)
RIL_FIXED_ANSWER_(OnLTE_RIL_REQUEST_SET_UNSOL_CELL_INFO_LIST_RATE, RIL_onRequestComplete_lte, RIL_E_SUCCESS)
RIL_FIXED_ANSWER_(OnWCDMA_RIL_REQUEST_IMS_REGISTRATION_STATE, RIL_onRequestComplete_wcdma, RIL_E_GENERIC_FAILURE)
RIL_FIXED_ANSWER_(OnLTE_RIL_REQUEST_IMS_REGISTRATION_STATE, RIL_onRequestComplete_lte, RIL_E_GENERIC_FAILURE)
RIL_FIXED_ANSWER_(OnWCDMA_RIL_REQUEST_GET_HARDWARE_CONFIG, RIL_onRequestComplete_wcdma, RIL_E_REQUEST_NOT_SUPPORTED)
RIL_FIXED_ANSWER_(OnLTE_RIL_REQUEST_GET_HARDWARE_CONFIG, RIL_onRequestComplete_lte, RIL_E_REQUEST_NOT_SUPPORTED)
RIL_FIXED_ANSWER_(OnWCDMA_RIL_REQUEST_GET_RADIO_CAPABILITY, RIL_onRequestComplete_wcdma, RIL_E_SUCCESS)
RIL_FIXED_ANSWER_(OnLTE_RIL_REQUEST_START_LCE, RIL_onRequestComplete_lte, RIL_E_SUCCESS)

#undef RIL_FIXED_ANSWER_

extern "C" void OnCDMA_RIL_REQUEST_CDMA_SET_SUBSCRIPTION(void *data, size_t, RIL_Token t) {
    RIL_onRequestComplete_cdma(t, data == nullptr ? RIL_E_GENERIC_FAILURE : RIL_E_SUCCESS, nullptr, 0);
}

extern "C" void OnWCDMA_RIL_REQUEST_GET_NEIGHBORING_CELL_IDS(void *, size_t, RIL_Token t) {
    neighboringCells(RIL_onRequestComplete_wcdma, t);
}
extern "C" void OnLTE_RIL_REQUEST_NEIGHBORING_CELL_IDS(void *, size_t, RIL_Token t) {
    neighboringCells(RIL_onRequestComplete_lte, t);
}

extern "C" void OnLTE_RIL_REQUEST_QUERY_TTY_MODE(void *, size_t, RIL_Token t) {
    completeInt(RIL_onRequestComplete_lte, t, 0);
}

extern "C" void OnWCDMA_RIL_REQUEST_VOICE_RADIO_TECH(void *, size_t, RIL_Token t) {
    completeInt(RIL_onRequestComplete_wcdma, t, 11);
}
extern "C" void OnLTE_RIL_REQUEST_VOICE_RADIO_TECH(void *, size_t, RIL_Token t) {
    completeInt(RIL_onRequestComplete_lte, t, 1);
}

extern "C" void OnLTE_RIL_REQUEST_GET_RADIO_CAPABILITY(void *, size_t, RIL_Token t) {
    RIL_RadioCapability rc;
    memset(&rc, 0, sizeof(rc));
    rc.version = 1;
    rc.session = 0;
    rc.phase = 0;
    rc.rat = 0x3FF4E;
    ril_copy_text(rc.logicalModemUuid, sizeof(rc.logicalModemUuid), "0");
    rc.status = 1;
    RIL_onRequestComplete_lte(t, RIL_E_SUCCESS, &rc, sizeof(rc));
}

extern "C" void OnWCDMA_RIL_REQUEST_SET_RADIO_CAPABILITY(void *, size_t, RIL_Token t) {
    setRadioCapability(RIL_onRequestComplete_wcdma, 69130, t);
}
extern "C" void OnLTE_RIL_REQUEST_SET_RADIO_CAPABILITY(void *, size_t, RIL_Token t) {
    setRadioCapability(RIL_onRequestComplete_lte, 85514, t);
}
