// The AT filter: the held voice-type command and its replay when a call
// connects, and the checks and log masking of commands from outside.
#include "at_filter.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "at_link.h"
#include "ril_families.h"
#include "ril_log.h"
#include "ril_network.h"

extern "C" {
char g_vtypecache[128] = "";
pthread_mutex_t resumefilter_mtx = PTHREAD_MUTEX_INITIALIZER;

void ReplayHeldVoiceType(enum VoiceTypeReplay how) {
    pthread_mutex_lock(&resumefilter_mtx);
    if (how == VTYPE_REPLAY_SEND_AND_CLEAR) RILDEBUG("EDOG >> after conn exec at!");
    if (how != VTYPE_REPLAY_NOTHING && strnlen(g_vtypecache, sizeof(g_vtypecache)) > 5) {
        at_send_single_command(g_vtypecache);
        if (how == VTYPE_REPLAY_SEND_AND_CLEAR) g_vtypecache[0] = '\0';
    }
    pthread_mutex_unlock(&resumefilter_mtx);
    kv_raise_event(1, nullptr);
}
}  // extern "C"

static int asciiUpper(int c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

// whether s contains the upper-case text key in any case
static bool containsIgnoringCase(const char *s, const char *key) {
    size_t n = strlen(key);
    for (const char *p = s; *p != '\0'; p++)
        if (strncasecmp(p, key, n) == 0) return true;
    return false;
}

// position of the first of the secret-bearing commands in s, or nullptr
static const char *findSecretCommand(const char *s, size_t *keylen) {
    static const char *const kKeys[] = {"+CPIN", "+CPWD", "+CLCK"};
    for (const char *p = s; *p != '\0'; p++) {
        for (const char *key : kKeys) {
            if (strncasecmp(p, key, strlen(key)) == 0) {
                *keylen = strlen(key);
                return p;
            }
        }
    }
    return nullptr;
}

extern "C" const char *ril_mask_command(const char *command, char *out, size_t outlen) {
    if (out == nullptr || outlen == 0) return out;
    out[0] = '\0';
    if (command == nullptr) return out;
    size_t keylen = 0;
    const char *key = findSecretCommand(command, &keylen);
    if (key == nullptr) {
        snprintf(out, outlen, "%s", command);
        return out;
    }
    const char *rest = key + keylen;
    // queries and tests carry nothing secret
    if (*rest == '\0' || strcmp(rest, "?") == 0 || strcmp(rest, "=?") == 0) {
        snprintf(out, outlen, "%s", command);
        return out;
    }
    int head = (int)(rest - command) + (*rest == '=' ? 1 : 0);
    snprintf(out, outlen, "%.*s***", head, command);
    return out;
}

extern "C" int ril_outside_command_ok(const char *text, size_t len) {
    if (text == nullptr || len == 0 || len > RIL_OUTSIDE_COMMAND_MAX) return 0;
    for (size_t i = 0; i < len; i++) {
        unsigned char c = (unsigned char)text[i];
        if (c < 0x20 || c == 0x7f) return 0;
    }
    return 1;
}

// holds command in the cache when it fits (caller holds resumefilter_mtx)
static bool holdVoiceType(const char *command, bool upper) {
    size_t n = strlen(command);
    if (n >= sizeof(g_vtypecache)) {
        RIL_LOGE("filtercommand: +VTYPE command of %zu characters does not fit, not held", n);
        return false;
    }
    for (size_t i = 0; i <= n; i++)
        g_vtypecache[i] = upper ? (char)asciiUpper((unsigned char)command[i]) : command[i];
    RILDEBUG("cache data ");
    return true;
}

extern "C" int filtercommand(const char *command) {
    if (command == nullptr) return 0;
    char shown[RIL_OUTSIDE_COMMAND_MAX + 8];
    ril_mask_command(command, shown, sizeof(shown));
    pthread_mutex_lock(&resumefilter_mtx);
    RILDEBUG("filtercommand:%s", shown);
    int send;
    if (G_incall) {
        send = strstr(command, "AT") != nullptr;
        if (send) {
            if (strstr(command, "+VTYPE") != nullptr) holdVoiceType(command, false);
            RILDEBUG("incall exec now:%s", shown);
        }
    } else {
        if (containsIgnoringCase(command, "+VTYPE")) {
            holdVoiceType(command, true);
            send = 0;
        } else {
            send = 1;
        }
    }
    pthread_mutex_unlock(&resumefilter_mtx);
    return send;
}
