// Pieces the three main loops share: serial settings, the guard hooks, the
// AT port open, the device search after a channel loss, and the WCDMA and
// LTE main loop itself.
#include <errno.h>
#include <pthread.h>
#include <stdlib.h>
#include <fcntl.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include "at_link.h"
#include "ril_families.h"
#include "ril_log.h"
#include "usb_discovery.h"

extern "C" int ril_set_serial_line(int fd, int clearLocalFirst) {
    struct termios ios;
    if (tcgetattr(fd, &ios) != 0) return -1;
    if (clearLocalFirst) {
        ios.c_lflag = 0;
        if (tcsetattr(fd, TCSANOW, &ios) != 0) return -1;
    }
    ios.c_lflag &= ~(ECHO | ICANON | ISIG);
    // no hardware flow control, no parity, one stop bit, then 115200 bit/s,
    // 8 data bits, receiver on, modem lines ignored
    ios.c_cflag &= ~(CRTSCTS | PARENB | CSTOPB | CSIZE | CBAUD);
    ios.c_cflag |= B115200 | CS8 | CREAD | CLOCAL;
    return tcsetattr(fd, TCSANOW, &ios);
}

extern "C" void ril_install_guard_hooks(const struct RIL_Env *env, RIL_TimedCallback checker,
                                        int (*getsimstatus)(void)) {
    if (env != nullptr) {
        g_OnResponseComplete = env->OnRequestComplete;
        g_unsresponse = env->OnUnsolicitedResponse;
        g_timecallback = env->RequestTimedCallback;
    }
    g_checkdatamode = checker;
    if (getsimstatus != nullptr) g_pgetsimstatus = getsimstatus;
}

extern "C" int ril_open_at_port(void) {
    if (strnlen(g_pcuidevice_path, sizeof(g_pcuidevice_path)) <= 10) {
        errno = ENOENT;
        return -1;
    }
    char path[256];
    if (RIL_SYSPATH(g_pcuidevice_path, path) == nullptr) {
        errno = ENAMETOOLONG;
        return -1;
    }
    return open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
}

extern "C" int ril_search_device(int attempts) {
    for (int i = 0; i < attempts; i++) {
        int r = HandleDeviceHotPlugin();
        RILDEBUG("search device: attempt %d result %d", i + 1, r);
        if ((r & 5) != 0) return 1;
        sleepMsec(1000);
    }
    return 0;
}

extern "C" int ril_open_and_configure(const RilFamily *f, int anyResult, int resetBeforeRetry) {
    const int family = f->id;
    const char *source = f->source;
    for (;;) {
        int fd = -1;
        for (;;) {
            int r = HandleDeviceHotPlugin();
            if (anyResult ? r != 0 : (r & 5) != 0) {
                // discovery rewrites s_cardtype with whatever it classified, so
                // the family that runs here is the one to compare with
                if (getcardtype(g_pcuidevice_path) != family) {
                    RILDEBUG("card is not the same exit now!");
                    exit(0);
                }
                fd = ril_open_at_port();
                if (fd >= 0) {
                    ril_family_set_channel_closed(f, 0);
                    break;
                }
            }
            RILDEBUG("opening AT interface. retrying...%s", strerror(errno));
            ril_mutex_lock(f->stateMutex);
            *f->state = RADIO_STATE_UNAVAILABLE;  // silently
            ril_mutex_unlock(f->stateMutex);
            if (g_inhotstatus == 0) SetGuradFlag(source, __LINE__);
            if (resetBeforeRetry) ResetModule(source, __LINE__, 1);
            sleepMsec(1000);
            sleepMsec(1000);
        }
        int ret = ril_set_serial_line(fd, 1);
        if (ret == 0) return fd;
        RILDEBUG("Fail to set UART parameters. tcsetattr return %d \n", ret);
        close(fd);
    }
}

// A time of whole seconds for the timed callback; 0 schedules at once (no time).
static void scheduleAfter(const RilFamily *f, RIL_TimedCallback cb, int seconds, struct timeval *tv) {
    tv->tv_sec = seconds;
    tv->tv_usec = 0;
    ril_family_timed(f, cb, nullptr, seconds > 0 ? tv : nullptr);
}

static void reportCallState(const RilFamily *f) {
    if (s_hasinit) ril_family_unsolicited(f, RIL_UNSOL_RESPONSE_CALL_STATE_CHANGED, nullptr, 0);
}

static void hotOpen(const RilMainLoopRow *row) {
    const RilFamily *f = row->family;
    struct timeval tv;
    if (g_inflymode) {
        RILDEBUG("WGod >> Will delay RIL initialization for %d seconds", 0);
        if (row->flyFirst != nullptr) row->flyFirst();
        ril_family_timed(f, row->initialize, nullptr, nullptr);
        scheduleAfter(f, row->flyData, row->flyDataDelaySec, &tv);
        // otherwise the flag stays set: every later hot open takes this path too
        if (row->flyClearsFlag) g_inflymode = 0;
        return;
    }
    if (row->guardOnHotOpen) SetGuradFlag(f->source, __LINE__);
    if (row->callStateOnEveryHotOpen) reportCallState(f);
    if (ril_family_state(f) == RADIO_STATE_SIM_READY) {
        RILDEBUG("WGod >> Will delay RIL initialization for %d seconds", 0);
        if (!row->callStateOnEveryHotOpen) reportCallState(f);
        scheduleAfter(f, row->smsFetch, row->smsDelaySec, &tv);
        struct timeval check = {2, 0};
        StartCheckDataCheck(row->checker, &check);
    } else {
        RILDEBUG("WGod >> Will delay RIL initialization for %d seconds", 5);
        scheduleAfter(f, row->initialize, 5, &tv);
    }
}

extern "C" void *ril_family_main_loop(const RilMainLoopRow *row) {
    const RilFamily *f = row->family;
    SetGuradFlag(f->source, __LINE__);
    ril_install_guard_hooks(*f->env, row->checker, row->simStatus);
    property_set("ril.priority", "");
    at_set_on_reader_closed(row->onReaderClosed);
    at_set_on_timeout(row->onTimeout);
    for (;;) {
        int fd = ril_open_and_configure(f, row->anyDiscoveryResult, row->resetBeforeRetry);
        int ret = at_open(fd, row->onUnsolicited);
        if (ret < 0) {
            RIL_LOGE("WGod >> AT error %d on at_open\n", ret);
            return nullptr;
        }
        if (g_inhotstatus == 0) {
            RILDEBUG("WGod >> Will delay RIL initialization for %d seconds", row->coldDelaySec);
            PrepareSem();
            struct timeval tv;
            scheduleAfter(f, row->initialize, row->coldDelaySec, &tv);
        } else {
            hotOpen(row);
        }
        if (row->openTick != nullptr) *row->openTick = GetTickCount();
        if (row->sleepWhenReadyMs > 0 && ril_family_state(f) == RADIO_STATE_SIM_READY)
            sleepMsec(row->sleepWhenReadyMs);
        ril_family_wait_for_close(f);
        RIL_LOGI("Re-opening after close");
    }
}
