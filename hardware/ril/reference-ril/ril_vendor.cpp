// Vendor requests of the CDMA family (GPS on and off, network parameters,
// speaker volume), the GPS restart after the module's GPS download, and the
// OEM hook strings of all three families.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <cutils/properties.h>

#include "at_link.h"
#include "at_reply.h"
#include "ril_at_text.h"
#include "ril_families.h"
#include "ril_handlers.h"
#include "ril_log.h"
#include "ril_platform.h"
#include "ril_sim.h"
#include "ril_vendor.h"

// the company id read by the PPP dialer from "service.kivo.company"
extern "C" {
__attribute__((weak)) int g_companyid = 0;
}

extern "C" {
int s_gpsmode = 3;          // location mode of the last GPS-on request
int s_gpsdownload = 0;      // the module reported its GPS data download done
int s_gpstracking = 0;      // GPS tracking state
}

namespace {

const char kGpsUser[] = "ctwap@mycdma.cn";
const char kGpsPassword[] = "dflt.pass";
const char kNetparFile[] = "/data/local/tmp/netpar";

// a GPS property value that may go into a command: 1 to 9 decimal digits
bool isDigits(const char *s) {
    size_t n = strlen(s);
    if (n == 0 || n > 9) return false;
    for (size_t i = 0; i < n; i++)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

// the property's value when it is decimal digits, else the default
void gpsProperty(const char *name, const char *def, char *out, size_t cap) {
    char v[PROPERTY_VALUE_MAX];
    property_get(name, v, def);
    ril_copy_text(out, cap, isDigits(v) ? v : def);
}

void sendFormats(void) {
    static const char *const kFormats[] = {"GGA", "GLL", "GSA", "GSV", "RMC", "VTG"};
    char cmd[32];
    for (const char *f : kFormats) {
        snprintf(cmd, sizeof(cmd), "AT^GPSFMT=\"%s\", 1", f);
        at_send_command(cmd, nullptr);
    }
}

void sendLocate(void) {
    char interval[16], times[16], cmd[64];
    gpsProperty("service.gps.mode.interval", "3", interval, sizeof(interval));
    gpsProperty("service.gps.mode.times", "900000", times, sizeof(times));
    snprintf(cmd, sizeof(cmd), "AT^GPSLOC=1, %s, %s", interval, times);
    at_send_command(cmd, nullptr);
}

}  // namespace

extern "C" int ril_gps_mode(void) {
    char v[16];
    if (g_companyid == 99)
        gpsProperty("persist.service.gps.mode.config", "1", v, sizeof(v));
    else
        gpsProperty("service.gps.mode.config", "3", v, sizeof(v));
    return atoi(v);
}

extern "C" void OnCDMA_RIL_ENABLE_GPS(void *, size_t, RIL_Token t) {
    at_send_command("AT^GPSLOC=0", nullptr);
    char cmd[128];
    snprintf(cmd, sizeof(cmd), "at^gpspsword=\"%s\",\"%s\"", kGpsUser, kGpsPassword);
    at_send_command(cmd, nullptr);
    at_send_command("at^gpsmpcip=\"10.199.22.165\",6066", nullptr);
    int mode = ril_gps_mode();
    s_gpsmode = mode;
    if (mode == 2 || mode == 3) StopPPPD("RIL_ENABLE_GPS", 0);
    snprintf(cmd, sizeof(cmd), "at^gpsmode=%d", mode);
    at_send_command(cmd, nullptr);
    sendFormats();
    if (mode == 2)
        at_send_command("AT^GPSLUPD=0", nullptr);
    else
        sendLocate();
    RIL_onRequestComplete_cdma(t, RIL_E_SUCCESS, nullptr, 0);
}

extern "C" void OnCDMA_RIL_DISABLE_GPS(void *, size_t, RIL_Token t) {
    at_send_command("AT^GPSLOC=0", nullptr);
    RIL_onRequestComplete_cdma(t, RIL_E_SUCCESS, nullptr, 0);
}

extern "C" void RestartGps_cdma(void *) {
    at_send_command("AT^GPSLOC=0", nullptr);
    if (s_gpsmode == 2) {
        char cmd[32];
        snprintf(cmd, sizeof(cmd), "at^gpsmode=%d", 1);
        at_send_command(cmd, nullptr);
        sendFormats();
        sendLocate();
    }
    struct timeval delay = {5, 5};
    StartCheckDataCheck(CheckDataStatus, &delay);
}

extern "C" int ril_write_netpar(const char *text) {
    char path[512];
    if (text == nullptr || RIL_SYSPATH(kNetparFile, path) == nullptr) return -1;
    // never through a symbolic link someone placed in the shared directory
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        RILDEBUG("netpar: cannot open %s", kNetparFile);
        return -1;
    }
    size_t n = strlen(text);
    ssize_t w = n > 0 ? write(fd, text, n) : 0;
    close(fd);
    return w < 0 ? -1 : (int)w;
}

extern "C" void OnCDMA_RIL_GET_NETPAR(void *, size_t, RIL_Token t) {
    AtReply *p = nullptr;
    int err = at_send_command_singleline("AT+NETPAR=2", "+NETPAR:", &p);
    int written = -1;
    if (err == 0 && p != nullptr && p->success && p->p_intermediates != nullptr) {
        const char *colon = strchr(p->p_intermediates->line, ':');
        if (colon != nullptr) written = ril_write_netpar(colon + 1);
    }
    at_response_free(p);
    RIL_onRequestComplete_cdma(t, written > 1 ? RIL_E_SUCCESS : RIL_E_GENERIC_FAILURE, nullptr, 0);
}

extern "C" void OnCDMA_RIL_CON_CLVL(void *data, size_t datalen, RIL_Token t) {
    if (data != nullptr && datalen >= sizeof(int)) {
        int level = 0;
        memcpy(&level, data, sizeof(int));
        char cmd[50];
        snprintf(cmd, sizeof(cmd), "AT+CLVL=%d", level);
        at_send_command(cmd, nullptr);
    }
    RIL_onRequestComplete_cdma(t, RIL_E_SUCCESS, nullptr, 0);
}

/* ------------------------------------------------------------------ */
/* OEM hook strings                                                     */
/* ------------------------------------------------------------------ */

// the longest OEM command line taken
static const size_t kMaxOemCommand = 1024;

extern "C" int ril_is_oem_command(const char *s) {
    if (s == nullptr) return 0;
    size_t n = strnlen(s, kMaxOemCommand + 1);
    if (n == 0 || n > kMaxOemCommand) return 0;
    for (size_t i = 0; i < n; i++) {
        unsigned char c = (unsigned char)s[i];
        if (c < 0x20 || c == 0x7f) return 0;
    }
    return 1;
}

static void oemHookStrings(void (*complete)(RIL_Token, RIL_Errno, void *, size_t), void *data, size_t datalen,
                           RIL_Token t) {
    const char *const *strings = (const char *const *)data;
    size_t count = data != nullptr ? datalen / sizeof(char *) : 0;
    for (size_t i = 0; i < count; i++) RIL_LOGI("JET LOG CMD LINE:%s", strings[i] != nullptr ? strings[i] : "(null)");
    if (count == 0 || !ril_is_oem_command(strings[0])) {
        RIL_LOGI("OEM_HOOK_STRINGS refused");
        complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    char *cmd = strdup(strings[0]);
    if (cmd == nullptr) {
        complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    AtReply *p = nullptr;
    int err = at_send_command(cmd, &p);
    bool ok = err >= 0 && p != nullptr && p->success;
    at_response_free(p);
    free(cmd);
    complete(t, ok ? RIL_E_SUCCESS : RIL_E_GENERIC_FAILURE, nullptr, 0);
}

extern "C" void OnCDMA_RIL_REQUEST_OEM_HOOK_STRINGS(void *data, size_t datalen, RIL_Token t) {
    oemHookStrings(RIL_onRequestComplete_cdma, data, datalen, t);
}
extern "C" void OnWCDMA_RIL_REQUEST_OEM_HOOK_STRINGS(void *data, size_t datalen, RIL_Token t) {
    oemHookStrings(RIL_onRequestComplete_wcdma, data, datalen, t);
}
extern "C" void OnLTE_RIL_REQUEST_OEM_HOOK_STRINGS(void *data, size_t datalen, RIL_Token t) {
    oemHookStrings(RIL_onRequestComplete_lte, data, datalen, t);
}
