// Module power and reset, and the small process and port helpers beside it.
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/types.h>
#include <termios.h>
#include <unistd.h>

#ifdef RIL_HOST_BUILD
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#endif

#include "ril_families.h"
#include "ril_log.h"
#include "usb_discovery.h"

extern "C" int get_pid(const char *name);

namespace {

#ifdef RIL_HOST_BUILD
// On the host the power-control device is a Unix-domain socket that the
// simulated module listens on. A control request travels as one line
// "<request> <argument>\n"; the listener answers with the request's result
// once the module has dropped off USB, as the driver's ioctl returns.
int openPowerDevice(const char *path) {
    struct sockaddr_un addr;
    memset(&addr, 0, sizeof(addr));
    addr.sun_family = AF_UNIX;
    if (strlen(path) >= sizeof(addr.sun_path)) return -1;
    memcpy(addr.sun_path, path, strlen(path) + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (connect(fd, (struct sockaddr *)&addr, sizeof(addr)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int powerDeviceRequest(int fd, unsigned long request, unsigned long arg) {
    char msg[48];
    int n = snprintf(msg, sizeof(msg), "%lu %lu\n", request, arg);
    if (n <= 0 || (size_t)n >= sizeof(msg) || write(fd, msg, (size_t)n) != n) return -1;
    struct timeval tv = {1, 0};  // a listener that never answers does not hold the reset
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    char reply[16];
    ssize_t r;
    do {
        r = read(fd, reply, sizeof(reply) - 1);
    } while (r < 0 && errno == EINTR);
    if (r <= 0) return -1;
    reply[r] = '\0';
    return atoi(reply);
}
#else
int openPowerDevice(const char *path) { return open(path, O_RDONLY | O_CLOEXEC); }

int powerDeviceRequest(int fd, unsigned long request, unsigned long arg) { return ioctl(fd, request, arg); }
#endif

}  // namespace

extern "C" int ResetModule(const char *file, int line, int force) {
    if (force == 0 && HandleDeviceHotPlugin() != 0) return 0;  // present: left alone

    kv_raise_event(7, nullptr);
    RILDEBUG("resetmodule: %s --> %d", file != nullptr ? file : "", line);

    char path[256];
    int fd = -1;
    if (RIL_SYSPATH(RIL_POWER_DEVICE, path) != nullptr) fd = openPowerDevice(path);
    if (fd >= 0) {
        int r = powerDeviceRequest(fd, RIL_POWER_RESET_REQUEST, 0);
        RILDEBUG("power device request %d: %d", RIL_POWER_RESET_REQUEST, r);
        close(fd);
    } else {
        RILDEBUG("open %s failed: %s", RIL_POWER_DEVICE, strerror(errno));
    }

    sleepMsec(3000);
    unsigned int start = GetTickCount();
    while (HandleDeviceHotPlugin() == 0) {
        if (GetTickCount() - start > 10000) break;
        sleepMsec(50);
    }
    sleepMsec(8000);
    return 0;
}

extern "C" int killapp(int pid) {
    int r = setgid(0);
    RILDEBUG("killapp setgid: %d", r);
    r = setuid(0);
    RILDEBUG("killapp setuid: %d", r);
    // 0 would signal our own process group and -1 every process we may reach
    if (pid <= 0) return 1;
    kill(pid, SIGKILL);
    for (int i = 0; i < 5; i++) {
        if (kill(pid, 0) != 0 && errno == ESRCH) break;
        sleepMsec(1000);
    }
    return 1;
}

extern "C" int sleepappexit(const char *name, unsigned int limit_ms) {
    unsigned int start = GetTickCount();
    if (name == nullptr) return 0;
    for (;;) {
        int pid = get_pid(name);
        unsigned int elapsed = GetTickCount() - start;
        if (elapsed >= limit_ms) {
            if (pid != 0) {
                killapp(pid);
                return 1;
            }
            return (int)elapsed;
        }
        if (pid == 0) return (int)elapsed;
        sleepMsec(10);
    }
}

extern "C" int gethandle(const char *devicePath) {
    char path[256];
    if (devicePath == nullptr || RIL_SYSPATH(devicePath, path) == nullptr) return -1;
    int fd = open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return fd;
    RILDEBUG("gethandle %s: fd %d", devicePath, fd);
    struct termios ios;
    if (tcgetattr(fd, &ios) == 0) {
        ios.c_lflag &= ~(tcflag_t)(ECHO | ICANON | ISIG);
        // 115200 bit/s, 8 data bits, receiver on, modem lines ignored
        ios.c_cflag &= 0x7FFFEE80;
        ios.c_cflag |= 0x18B2;
        tcsetattr(fd, TCSANOW, &ios);
    }
    return fd;
}

extern "C" int writecommand(int fd, const char *text) {
    if (text == nullptr) return -1;
    return (int)write(fd, text, strlen(text));
}

// The process lookup of the PPP dialer, through the platform's "ps NAME"
// listing. The dialer's own definition takes the place of this one.
namespace {
pthread_mutex_t s_ps_lock = PTHREAD_MUTEX_INITIALIZER;

bool safeProcessName(const char *name) {
    if (*name == '\0') return false;
    for (const char *p = name; *p != '\0'; p++) {
        char c = *p;
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                  c == '-' || c == '.';
        if (!ok) return false;
    }
    return true;
}
}  // namespace

extern "C" __attribute__((weak)) int get_pid(const char *name) {
    if (name == nullptr) return 0;
    char copy[15];
    snprintf(copy, sizeof(copy), "%s", name);
    // the name goes to the shell: anything but a plain process name is refused
    if (!safeProcessName(copy)) return 0;
    char cmd[20];
    int n = snprintf(cmd, sizeof(cmd), "ps %s", copy);
    if (n < 0 || (size_t)n >= sizeof(cmd)) return 0;
    int pid = 0;
    pthread_mutex_lock(&s_ps_lock);
    FILE *ps = popen(cmd, "r");
    if (ps != nullptr) {
        char line[1024];
        while (fgets(line, sizeof(line), ps) != nullptr) {
            if (strstr(line, copy) == nullptr) continue;
            const char *blank = strchr(line, ' ');
            if (blank != nullptr) pid = (int)strtoul(blank, nullptr, 10);
            break;
        }
        pclose(ps);
    }
    pthread_mutex_unlock(&s_ps_lock);
    return pid;
}
