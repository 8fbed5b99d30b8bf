// Pieces the three main loops share: serial settings, the guard hooks, the
// AT port open and the device search after a channel loss.
#include <errno.h>
#include <pthread.h>
#include <stdlib.h>
#include <fcntl.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

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
