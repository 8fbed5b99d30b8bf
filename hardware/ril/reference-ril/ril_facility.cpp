// Facility locks and the barring password of the three families: "AT+CLCK"
// queries and sets, "AT+CPWD" changes. Every framework text is checked
// before it is placed in a command; a refused request sends nothing.
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "at_link.h"
#include "at_reply.h"
#include "ril_at_text.h"
#include "ril_facility.h"
#include "ril_families.h"
#include "ril_handlers.h"
#include "ril_log.h"

namespace {

int s_facility_cdma = 0;
int s_facility_wcdma = 0;
int s_facility_lte = 0;

// the longest password a facility takes (PUK and barring codes are 8)
constexpr size_t kMaxPassword = 16;

struct LockFamily {
    void (*complete)(RIL_Token, RIL_Errno, void *, size_t);
    int *status;
    bool cdma;
    RIL_Errno setFailure;
};

const LockFamily kLockCdma = {RIL_onRequestComplete_cdma, &s_facility_cdma, true, RIL_E_GENERIC_FAILURE};
const LockFamily kLockWcdma = {RIL_onRequestComplete_wcdma, &s_facility_wcdma, false, RIL_E_REQUEST_NOT_SUPPORTED};
const LockFamily kLockLte = {RIL_onRequestComplete_lte, &s_facility_lte, false, RIL_E_REQUEST_NOT_SUPPORTED};

// Formats into a buffer sized to the text; NULL when out of memory.
char *formatCommand(const char *format, ...) __attribute__((format(printf, 1, 2)));
char *formatCommand(const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    int need = vsnprintf(nullptr, 0, format, ap);
    va_end(ap);
    if (need < 0) return nullptr;
    char *cmd = (char *)malloc((size_t)need + 1);
    if (cmd == nullptr) return nullptr;
    va_start(ap, format);
    vsnprintf(cmd, (size_t)need + 1, format, ap);
    va_end(ap);
    return cmd;
}

// Takes count strings of the request; false when an entry is missing.
bool takeStrings(void *data, size_t datalen, const char **out, size_t count) {
    for (size_t i = 0; i < count; i++) {
        out[i] = ril_request_string(data, datalen, i);
        if (out[i] == nullptr) return false;
    }
    return true;
}

}  // namespace

extern "C" int ril_is_facility(const char *s) {
    if (s == nullptr || strlen(s) != 2) return 0;
    for (int i = 0; i < 2; i++) {
        char c = s[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return 0;
    }
    return 1;
}

extern "C" int ril_is_lock_state(const char *s) {
    return s != nullptr && (strcmp(s, "0") == 0 || strcmp(s, "1") == 0);
}

extern "C" int ril_is_service_class(const char *s) {
    if (s == nullptr) return 0;
    size_t n = strlen(s);
    if (n == 0 || n > 3) return 0;
    for (size_t i = 0; i < n; i++)
        if (s[i] < '0' || s[i] > '9') return 0;
    return atoi(s) <= 255;
}

extern "C" int ril_is_password(const char *s) {
    if (s == nullptr) return 0;
    size_t n = strnlen(s, kMaxPassword + 1);
    if (n > kMaxPassword) return 0;
    for (size_t i = 0; i < n; i++)
        if (s[i] < '0' || s[i] > '9') return 0;
    return 1;
}

namespace {

void queryFacility(const LockFamily &f, void *data, size_t datalen, RIL_Token t) {
    if (data == nullptr) {
        f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    char *cmd = nullptr;
    if (f.cdma) {
        // the CDMA module only knows the card's own lock
        cmd = formatCommand("AT+CLCK=\"SC\",2");
    } else {
        const char *s[3];
        if (!takeStrings(data, datalen, s, 3) || !ril_is_facility(s[0]) || !ril_is_password(s[1]) ||
            !ril_is_service_class(s[2])) {
            RILDEBUG("QUERY_FACILITY_LOCK: refused request strings");
            f.complete(t, RIL_E_REQUEST_NOT_SUPPORTED, nullptr, 0);
            return;
        }
        cmd = formatCommand("AT+CLCK=\"%s\",2, %s, %s", s[0], s[1], s[2]);
    }
    if (cmd == nullptr) {
        f.complete(t, RIL_E_REQUEST_NOT_SUPPORTED, nullptr, 0);
        return;
    }
    AtReply *p = nullptr;
    int err = at_send_command_singleline(cmd, "+CLCK:", &p);
    free(cmd);
    int status = 0;
    bool ok = false;
    if (err == 0 && p != nullptr && p->success && p->p_intermediates != nullptr) {
        char *line = p->p_intermediates->line;
        ok = at_tok_start(&line) >= 0 && at_tok_nextint(&line, &status) >= 0;
    }
    at_response_free(p);
    if (!ok) {
        f.complete(t, RIL_E_REQUEST_NOT_SUPPORTED, nullptr, 0);
        return;
    }
    *f.status = status;
    f.complete(t, RIL_E_SUCCESS, f.status, sizeof(int));
}

void setFacility(const LockFamily &f, void *data, size_t datalen, RIL_Token t) {
    if (data == nullptr) {
        f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    const char *s[4];
    size_t need = f.cdma ? 3 : 4;
    if (!takeStrings(data, datalen, s, need) || !ril_is_facility(s[0]) || !ril_is_lock_state(s[1]) ||
        !ril_is_password(s[2]) || (!f.cdma && !ril_is_service_class(s[3]))) {
        RILDEBUG("SET_FACILITY_LOCK: refused request strings");
        f.complete(t, f.setFailure, nullptr, 0);
        return;
    }
    char *cmd = f.cdma ? formatCommand("AT+CLCK=\"%s\",%s, \"%s\"", s[0], s[1], s[2])
                       : formatCommand("AT+CLCK=\"%s\",%s, \"%s\", %s", s[0], s[1], s[2], s[3]);
    if (cmd == nullptr) {
        f.complete(t, f.setFailure, nullptr, 0);
        return;
    }
    AtReply *p = nullptr;
    int err = at_send_command(cmd, &p);
    free(cmd);
    bool ok = err == 0 && p != nullptr && p->success;
    at_response_free(p);
    f.complete(t, ok ? RIL_E_SUCCESS : f.setFailure, nullptr, 0);
}

void changeBarring(const LockFamily &f, void *data, size_t datalen, RIL_Token t) {
    if (data == nullptr) {
        f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    const char *s[3];
    if (!takeStrings(data, datalen, s, 3) || !ril_is_facility(s[0]) || !ril_is_password(s[1]) ||
        !ril_is_password(s[2])) {
        RILDEBUG("CHANGE_BARRING_PASSWORD: refused request strings");
        f.complete(t, RIL_E_REQUEST_NOT_SUPPORTED, nullptr, 0);
        return;
    }
    char *cmd = formatCommand("AT+CPWD=\"%s\", \"%s\", \"%s\"", s[0], s[1], s[2]);
    if (cmd == nullptr) {
        f.complete(t, RIL_E_REQUEST_NOT_SUPPORTED, nullptr, 0);
        return;
    }
    // "AT+CPWD" answers a bare OK when the password was changed
    int ok = ril_send_cpwd(cmd);
    free(cmd);
    f.complete(t, ok ? RIL_E_SUCCESS : RIL_E_REQUEST_NOT_SUPPORTED, nullptr, 0);
}

}  // namespace

extern "C" int ril_send_cpwd(const char *cmd) {
    AtReply *p = nullptr;
    int err = at_send_command_multiline(cmd, "+CPWD:", &p);
    int ok = err == 0 && p != nullptr && p->success;
    at_response_free(p);
    return ok;
}

extern "C" void OnCDMA_RIL_REQUEST_QUERY_FACILITY_LOCK(void *data, size_t datalen, RIL_Token t) {
    queryFacility(kLockCdma, data, datalen, t);
}
extern "C" void OnWCDMA_RIL_REQUEST_QUERY_FACILITY_LOCK(void *data, size_t datalen, RIL_Token t) {
    queryFacility(kLockWcdma, data, datalen, t);
}
extern "C" void OnLTE_RIL_REQUEST_QUERY_FACILITY_LOCK(void *data, size_t datalen, RIL_Token t) {
    queryFacility(kLockLte, data, datalen, t);
}
extern "C" void OnCDMA_RIL_REQUEST_SET_FACILITY_LOCK(void *data, size_t datalen, RIL_Token t) {
    setFacility(kLockCdma, data, datalen, t);
}
extern "C" void OnWCDMA_RIL_REQUEST_SET_FACILITY_LOCK(void *data, size_t datalen, RIL_Token t) {
    setFacility(kLockWcdma, data, datalen, t);
}
extern "C" void OnLTE_RIL_REQUEST_SET_FACILITY_LOCK(void *data, size_t datalen, RIL_Token t) {
    setFacility(kLockLte, data, datalen, t);
}
extern "C" void OnCDMA_RIL_REQUEST_CHANGE_BARRING_PASSWORD(void *data, size_t datalen, RIL_Token t) {
    changeBarring(kLockCdma, data, datalen, t);
}
extern "C" void OnWCDMA_RIL_REQUEST_CHANGE_BARRING_PASSWORD(void *data, size_t datalen, RIL_Token t) {
    changeBarring(kLockWcdma, data, datalen, t);
}
extern "C" void OnLTE_RIL_REQUEST_CHANGE_BARRING_PASSWORD(void *data, size_t datalen, RIL_Token t) {
    changeBarring(kLockLte, data, datalen, t);
}
