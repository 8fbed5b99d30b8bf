// The PPP dialer: the pppd command line, the dial on the modem port, the
// pppd runner and its stop, and the addresses of the link.
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <netutils/ifc.h>

#include "ril_data.h"
#include "ril_families.h"
#include "ril_log.h"
#include "usb_discovery.h"

extern "C" {
char g_shellcommand[RIL_SHELLCOMMAND_MAX];
#if RIL_VERSION >= 15
char g_pppduser[RIL_PPP_TEXT_MAX] = " ";
char g_pppdwd[RIL_PPP_TEXT_MAX] = " ";
#else
// the legacy build starts with the CDMA default account, bare (without the
// option words): a dial before any set-up names no user to pppd
char g_pppduser[RIL_PPP_TEXT_MAX] = RIL_CDMA_DEFAULT_USER;
char g_pppdwd[RIL_PPP_TEXT_MAX] = RIL_CDMA_DEFAULT_PASSWORD;
#endif
char g_pppduser_only[RIL_PPP_TEXT_MAX];
char g_pppdwd_only[RIL_PPP_TEXT_MAX];
char g_apn[RIL_PPP_TEXT_MAX] = "3gnet";
const char *g_auth_option = "";
int is_pap = 0;
char PPP_NAME[128] = "pppd";
char SERVICE_PPPD_GPRS[92] = "pppd_gprs";
int g_companyid = 0;
int g_pppdhandle = 1;
sem_t g_smt_pppexit;
char s_ipbuffer[92];
char g_getway_ip[128];
int s_dialvariant = -1;
int s_lastgoodvariant = -1;
char *g_ppp_argv[RIL_PPP_ARGV_MAX];
int g_ppp_argc = 0;
}

namespace {

// the argument vector's own storage
char s_argstore[RIL_SHELLCOMMAND_MAX];
size_t s_argused = 0;

void argReset(void) {
    s_argused = 0;
    g_ppp_argc = 0;
    g_ppp_argv[0] = nullptr;
}

void argAdd(const char *word, size_t n) {
    if (g_ppp_argc >= RIL_PPP_ARGV_MAX - 1 || s_argused + n + 1 > sizeof(s_argstore)) return;
    char *slot = s_argstore + s_argused;
    memcpy(slot, word, n);
    slot[n] = '\0';
    s_argused += n + 1;
    g_ppp_argv[g_ppp_argc++] = slot;
    g_ppp_argv[g_ppp_argc] = nullptr;
}

// every blank-separated word of a fixed option text
void argWords(const char *text) {
    const char *p = text;
    while (p != nullptr && *p != '\0') {
        while (*p == ' ') p++;
        const char *e = p;
        while (*e != '\0' && *e != ' ') e++;
        if (e > p) argAdd(p, (size_t)(e - p));
        p = e;
    }
}

// "user <name>" or "password <secret>" as two elements: the word and the
// value whole, whatever the value holds; a blank option adds nothing
void argOption(const char *option, const char *word) {
    size_t wl = strlen(word);
    if (strncmp(option, word, wl) != 0 || option[wl] != ' ') return;
    argAdd(word, wl);
    argAdd(option + wl + 1, strlen(option + wl + 1));
}

// the line as logged: the password replaced by stars, whether it carries
// the option word or not (the legacy preset is bare)
const char *maskedPassword(void) {
    if (strncmp(g_pppdwd, "password ", 9) == 0) return "password ******";
    return (g_pppdwd[0] == '\0' || strcmp(g_pppdwd, " ") == 0) ? g_pppdwd : "******";
}

void pppdPort(char *out, size_t len) { snprintf(out, len, "/dev/%s", g_data_device_path); }

void logCommand(void) { RILDEBUG("pppd command: %s", g_shellcommand); }

}  // namespace

// The legacy scripts end their pppd lines with the script's own arguments
// ("$*"); they are none here, so the argument vector stays the same.
#if RIL_VERSION < 15
#define kPppTailForm1 "$*"
#define kPppTailForm2 "$*"
#define kPppTailForm3 " $*"
#else
#define kPppTailForm1 ""
#define kPppTailForm2 ""
#define kPppTailForm3 ""
#endif

extern "C" void GetPPPServiceName(void) {
    char value[PROPERTY_VALUE_MAX];
    property_get("service.kivo.dataservice", value, "pppd_gprs");
    snprintf(SERVICE_PPPD_GPRS, sizeof(SERVICE_PPPD_GPRS), "%s", value);
    property_get("service.kivo.company", value, "0");
    g_companyid = atoi(value);
    snprintf(PPP_NAME, sizeof(PPP_NAME), "%s", "pppd");
}

extern "C" void WriteConfigScript(void) {
    char port[160];
    pppdPort(port, sizeof(port));
    memset(g_shellcommand, 0, sizeof(g_shellcommand));
    snprintf(g_shellcommand, sizeof(g_shellcommand),
             "/system/bin/pppd  %s 115200 crtscts debug  dump  nodetach modem noipdefault  defaultroute "
             "usepeerdns %s %s linkname ppp0 ",
             port, g_pppduser, maskedPassword());
    argReset();
    argWords("/system/bin/pppd");
    argWords(port);
    argWords("115200 crtscts debug dump nodetach modem noipdefault defaultroute usepeerdns");
    argOption(g_pppduser, "user");
    argOption(g_pppdwd, "password");
    argWords("linkname ppp0");
    logCommand();
}

extern "C" void BuildPppdCommand(int selector) {
    char port[160];
    pppdPort(port, sizeof(port));
    const char *auth = g_auth_option != nullptr ? g_auth_option : "";
    memset(g_shellcommand, 0, sizeof(g_shellcommand));
    argReset();
    argWords("/system/bin/pppd");
    argWords(port);
    argWords("115200");
    if (selector == 1) {
        snprintf(g_shellcommand, sizeof(g_shellcommand),
                 "/system/bin/pppd  %s 115200  %s %s %s nodetach debug dump defaultroute usepeerdns  "
                 "ipcp-accept-local ipcp-accept-remote  noipdefault " kPppTailForm1,
                 port, g_pppduser, maskedPassword(), auth);
        argOption(g_pppduser, "user");
        argOption(g_pppdwd, "password");
        argWords(auth);
        argWords("nodetach debug dump defaultroute usepeerdns ipcp-accept-local ipcp-accept-remote noipdefault");
    } else if (is_pap) {
        snprintf(g_shellcommand, sizeof(g_shellcommand),
                 "/system/bin/pppd  %s 115200  defaultroute usepeerdns novj  -mschap -mschap-v2 refuse-eap "
                 "refuse-chap %s  novjccomp noipdefault ipcp-accept-local ipcp-accept-remote connect-delay 5000 "
                 "ipcp-max-failure 60 ipcp-max-configure 60  %s %s -am " kPppTailForm2,
                 port, auth, g_pppduser, maskedPassword());
        argWords("defaultroute usepeerdns novj -mschap -mschap-v2 refuse-eap refuse-chap");
        argWords(auth);
        argWords("novjccomp noipdefault ipcp-accept-local ipcp-accept-remote connect-delay 5000 "
                 "ipcp-max-failure 60 ipcp-max-configure 60");
        argOption(g_pppduser, "user");
        argOption(g_pppdwd, "password");
        argWords("-am");
    } else {
        snprintf(g_shellcommand, sizeof(g_shellcommand),
                 "/system/bin/pppd  %s 115200  %s %s nodetach debug dump defaultroute usepeerdns  "
                 "ipcp-accept-local ipcp-accept-remote  noipdefault " kPppTailForm3,
                 port, g_pppduser, maskedPassword());
        argOption(g_pppduser, "user");
        argOption(g_pppdwd, "password");
        argWords("nodetach debug dump defaultroute usepeerdns ipcp-accept-local ipcp-accept-remote noipdefault");
    }
    logCommand();
}

extern "C" int ril_dial_selector(void) {
    if (s_lastgoodvariant != -1) return s_lastgoodvariant;
    if (s_dialvariant == -1)
        s_dialvariant = 0;
    else if (s_dialvariant != 0)
        s_dialvariant = 1;
    return s_dialvariant;
}

/* ---- checks of outside text ---- */

extern "C" int ril_ppp_credential_ok(const char *text, const char *option) {
    if (text == nullptr) return 1;
    size_t n = strnlen(text, RIL_PPP_TEXT_MAX);
    // "<option> <text>" must fit its buffer whole
    if (n + strlen(option) + 2 > RIL_PPP_TEXT_MAX) return 0;
    for (size_t i = 0; i < n; i++) {
        unsigned char c = (unsigned char)text[i];
        if (c < 0x20 || c == 0x7f || c == '"' || c == '\\') return 0;
    }
    return 1;
}

extern "C" int ril_apn_ok(const char *apn) {
    if (apn == nullptr) return 1;
    size_t n = strnlen(apn, RIL_APN_MAX_LEN + 1);
    if (n == 0 || n > RIL_APN_MAX_LEN) return 0;
    size_t label = 0;
    for (size_t i = 0; i < n; i++) {
        char c = apn[i];
        if (c == '.') {
            if (label == 0) return 0;
            label = 0;
            continue;
        }
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        if (!ok) return 0;
        label++;
    }
    return label > 0;
}

extern "C" int ril_is_dotted_ipv4(const char *text) {
    if (text == nullptr) return 0;
    const char *p = text;
    for (int part = 0; part < 4; part++) {
        int digits = 0, value = 0;
        while (*p >= '0' && *p <= '9' && digits < 4) {
            value = value * 10 + (*p - '0');
            digits++;
            p++;
        }
        if (digits == 0 || digits > 3 || value > 255) return 0;
        if (part < 3) {
            if (*p != '.') return 0;
            p++;
        }
    }
    return *p == '\0';
}

/* ---- the dial on the modem port ---- */

namespace {

// Drops and raises DTR once. A pseudo-terminal has no modem lines
// (ENOTTY / EINVAL): nothing to toggle.
void toggleDtr(const char *path) {
    int fd = open(path, O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;
    int bits = 0;
    if (ioctl(fd, TIOCMGET, &bits) == 0) {
        int off = bits & ~TIOCM_DTR;
        int on = bits | TIOCM_DTR;
        if (ioctl(fd, TIOCMSET, &off) != 0 || ioctl(fd, TIOCMSET, &on) != 0)
            RILDEBUG("modem : DTR toggle failed: %s", strerror(errno));
    } else if (errno != ENOTTY && errno != EINVAL) {
        RILDEBUG("modem : TIOCMGET failed: %s", strerror(errno));
    }
    close(fd);
}

// tcsetattr with the retry rules of the dial; at most a few attempts on a
// persistent error
int applyAttributes(int fd, const struct termios *tio) {
    for (int attempt = 0; attempt < 3; attempt++) {
        int r;
        do {
            errno = 0;
            r = tcsetattr(fd, TCSAFLUSH, tio);
        } while (r < 0 && errno == EINTR);
        if (r == 0 || errno == 0) return 0;
        RILDEBUG("tcsetattr: (line %d)", __LINE__);
    }
    return -1;
}

}  // namespace

extern "C" int dial_ppp_modem(const char *dial) {
    if (dial == nullptr) return -1;
    char devpath[RIL_PORT_PATH_MAX];
    int n = snprintf(devpath, sizeof(devpath), "/dev/%s", g_data_device_path);
    if (n < 0 || (size_t)n >= sizeof(devpath)) return -1;
    char path[RIL_PORT_PATH_MAX + 256];
    if (RIL_SYSPATH(devpath, path) == nullptr) return -1;

    toggleDtr(path);
    int fd = open(path, O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        RILDEBUG("Dog >> Error modem : open %s error! %s", devpath, strerror(errno));
        return -1;
    }
    struct termios tio;
    if (tcgetattr(fd, &tio) != 0) {
        close(fd);
        RILDEBUG("modem : tcgetattr  %s", strerror(errno));
        return -1;
    }
    tio.c_iflag = IGNBRK | IGNPAR;
    tio.c_oflag = 0;
    tio.c_lflag = 0;
    tio.c_cflag &= ~(CSIZE | CSTOPB | PARENB | HUPCL);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_cc[VTIME] = 0;
    tio.c_cc[VMIN] = 1;
    if (applyAttributes(fd, &tio) != 0) {
        close(fd);
        return -1;
    }
    tcflush(fd, TCIOFLUSH);

    size_t len = strlen(dial), off = 0;
    while (off < len) {
        ssize_t w = write(fd, dial + off, len - off);
        if (w > 0) {
            off += (size_t)w;
        } else if (w < 0 && errno == EINTR) {
            continue;
        } else if (w < 0 && errno == EAGAIN) {
            struct pollfd p = {fd, POLLOUT, 0};
            poll(&p, 1, 100);
        } else {
            // the modem port broke under the dial: the daemon is restarted
            RILDEBUG("modem : write dial error %s", strerror(errno));
            close(fd);
            exit(0);
        }
    }
    if (strcmp(dial, "+++") == 0) {
        close(fd);
        return -1;
    }
    for (;;) {
        ssize_t w = write(fd, "\r", 1);
        if (w == 1) break;
        if (w == 0 || (w < 0 && (errno == EINTR || errno == EAGAIN))) continue;
        close(fd);
        RILDEBUG("%s", "modem : write modem1 error");
        return -1;
    }

    // the answer; a word split over two reads is still found, as the tail
    // of the previous read is searched with the next one
    unsigned int start = GetTickCount();
    char window[48] = "";
    size_t have = 0;
    long scale = ril_time_scale();
    while (GetTickCount() - start <= 30000u) {
        struct pollfd p = {fd, POLLIN, 0};
        int wait = (int)(200 / scale);
        poll(&p, 1, wait > 0 ? wait : 1);
        char buf[25];
        ssize_t r = read(fd, buf, 20);
        if (r <= 0) continue;
        buf[r] = '\0';
        RILDEBUG("modem : read %s", buf);
        if (have + (size_t)r >= sizeof(window)) {
            size_t keep = have > 12 ? 12 : have;
            memmove(window, window + have - keep, keep);
            have = keep;
        }
        memcpy(window + have, buf, (size_t)r);
        have += (size_t)r;
        window[have] = '\0';
        // bytes of a NUL in the answer end the text early: searched as text
        if (strstr(window, "CONNECT") != nullptr) {
            close(fd);
            return 0;
        }
        if (strstr(window, "NO CARRIER") != nullptr) {
            close(fd);
            return -1;
        }
    }
    close(fd);
    return -4;
}

/* ---- the pppd runner ---- */

namespace {

// One pppd run: its generation and pid. Only the current run touches the
// link's shared state when it ends.
pthread_mutex_t s_run_lock = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t s_run_cond = PTHREAD_COND_INITIALIZER;
unsigned long s_run_gen = 0;      // generation of the newest run
pid_t s_run_pid = 0;              // its child, 0 when none runs
unsigned long s_ended_gen = 0;    // newest generation that has ended
pthread_mutex_t s_stop_lock = PTHREAD_MUTEX_INITIALIZER;
pthread_mutex_t s_ps_lock = PTHREAD_MUTEX_INITIALIZER;

struct Run {
    unsigned long gen;
    pid_t pid;
};

void *pppThreadBody(void *arg) {
    Run run = *(Run *)arg;
    free(arg);
    RILDEBUG("ppp_thread_body: start run %lu pid %d", run.gen, (int)run.pid);
    // wait for the end without reaping, so the pid cannot be reused while
    // a stop may still signal it
    siginfo_t info;
    memset(&info, 0, sizeof(info));
    while (waitid(P_PID, (id_t)run.pid, &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    // the link's state is cleared before the run counts as ended, so a stop
    // that returns finds it cleared, and no newer run can start in between
    pthread_mutex_lock(&s_run_lock);
    bool current = run.gen == s_run_gen;
    if (current) {
        s_run_pid = 0;
        SetInterfaceIP("ppp0");
        g_pppdhandle = 1;
        sem_post(&g_smt_pppexit);
        property_set("net.ppp0.local-ip", "");
    }
    if (run.gen > s_ended_gen) s_ended_gen = run.gen;
    int status = 0;
    while (waitpid(run.pid, &status, 0) < 0 && errno == EINTR) {
    }
    pthread_cond_broadcast(&s_run_cond);
    pthread_mutex_unlock(&s_run_lock);
    RILDEBUG("pppd run %lu exit status 0x%x", run.gen, status);
    if (!current) return nullptr;  // a newer run owns the link now
    if (G_userdisconnect) return nullptr;
    sleepMsec(1000);
    if (g_nnedresume == 0) return nullptr;
    pthread_mutex_lock(&s_run_lock);
    current = run.gen == s_run_gen && s_run_pid == 0;
    pthread_mutex_unlock(&s_run_lock);
    if (!current) return nullptr;
    HandleDeviceHotPlugin();
    if (g_deviceexist && g_timecallback != nullptr) {
        SetGuradFlag("ppp_thread_body", __LINE__);
        struct timeval tv = {s_cardtype == RIL_FAMILY_WCDMA ? 0 : 6, 500};
        g_timecallback(ExecuteResume, nullptr, &tv);
    }
    return nullptr;
}

}  // namespace

extern "C" int start_pppthread(void) {
    int r = setgid(0);
    int u = setuid(0);
    RILDEBUG("ppp thread: setgid %d setuid %d", r, u);
    if (g_ppp_argc == 0) return -1;
    pthread_mutex_lock(&s_run_lock);
    char line[RIL_SHELLCOMMAND_MAX];
    snprintf(line, sizeof(line), "%s", g_shellcommand);
    pid_t pid = ril_spawn_program((const char *const *)g_ppp_argv);
    if (pid <= 0) {
        pthread_mutex_unlock(&s_run_lock);
        RILDEBUG("pppd could not be started: %s", line);
        return -1;
    }
    Run *run = (Run *)malloc(sizeof(Run));
    if (run == nullptr) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pthread_mutex_unlock(&s_run_lock);
        return -1;
    }
    run->gen = ++s_run_gen;
    run->pid = pid;
    s_run_pid = pid;
    g_pppdhandle = 0;
    int err = ril_start_detached(pppThreadBody, run);
    if (err != 0) {
        free(run);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        s_run_pid = 0;
        s_ended_gen = s_run_gen;
        g_pppdhandle = 1;
    }
    pthread_mutex_unlock(&s_run_lock);
    return err;
}

namespace {

// waits until run gen has ended or ms (clock) passed, at least floorMs of
// real time; lock held
bool waitEnded(unsigned long gen, long ms, long floorMs) {
    long scale = ril_time_scale();
    long real = ms / scale;
    if (real < floorMs) real = floorMs;
    struct timespec dl;
    clock_gettime(CLOCK_REALTIME, &dl);
    dl.tv_sec += real / 1000;
    dl.tv_nsec += (real % 1000) * 1000000L;
    if (dl.tv_nsec >= 1000000000L) {
        dl.tv_sec++;
        dl.tv_nsec -= 1000000000L;
    }
    while (s_ended_gen < gen) {
        if (pthread_cond_timedwait(&s_run_cond, &s_run_lock, &dl) == ETIMEDOUT) break;
    }
    return s_ended_gen >= gen;
}

}  // namespace

// Stops the pppd this process started, and only that one: a signal to its
// pid, a grace period, a kill, and the wait for that run's end. With no
// run, returns at once.
extern "C" int killpppd(void) {
    pthread_mutex_lock(&s_run_lock);
    pid_t pid = s_run_pid;
    unsigned long gen = s_run_gen;
    RILDEBUG("killpppd: pid %d", (int)pid);
    if (pid > 0 && s_ended_gen < gen) {
        kill(pid, SIGTERM);
        // pppd needs real time to end its link, whatever the clock says
        if (!waitEnded(gen, 3000, 1000)) {
            if (s_ended_gen < gen) kill(pid, SIGKILL);
            if (!waitEnded(gen, 10000, 1000)) RILDEBUG("killpppd: pid %d did not end", (int)pid);
        }
    }
    pthread_mutex_unlock(&s_run_lock);
    return 1;
}

extern "C" int StopPPPD(const char *caller, int needresume) {
    pthread_mutex_lock(&s_stop_lock);
    g_nnedresume = needresume;
    RILDEBUG("StopPPPD: %s, %d", caller ? caller : "UNKONWN", needresume);
    killpppd();
    pthread_mutex_unlock(&s_stop_lock);
    return 0;
}

extern "C" int pppexist(void) { return g_pppdhandle != 0 ? 1 : 0; }

// The first process of that name in the platform's "ps NAME" listing (the
// name is one argument, no shell); 0 when none. Stopping pppd never uses it:
// the runner knows its own child.
extern "C" int get_pid(const char *name) {
    if (name == nullptr) return 0;
    char copy[15];
    snprintf(copy, sizeof(copy), "%s", name);
    if (copy[0] == '\0') return 0;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return 0;
    pthread_mutex_lock(&s_ps_lock);
    const char *argv[] = {"ps", copy, nullptr};
    pid_t child = ril_spawn_program_to(argv, fds[1]);
    close(fds[1]);
    int pid = 0;
    FILE *out = child > 0 ? fdopen(fds[0], "r") : nullptr;
    if (out != nullptr) {
        char line[1024];
        while (fgets(line, sizeof(line), out) != nullptr) {
            if (strstr(line, copy) == nullptr) continue;
            const char *blank = strchr(line, ' ');
            if (blank != nullptr) pid = (int)strtoul(blank, nullptr, 10);
            break;
        }
        while (fgets(line, sizeof(line), out) != nullptr) {
        }
        fclose(out);
    } else {
        close(fds[0]);
    }
    if (child > 0) waitpid(child, nullptr, 0);
    pthread_mutex_unlock(&s_ps_lock);
    return pid;
}

extern "C" void pppreport(void) {
    if (g_OnResponseComplete == nullptr) return;
    ril_complete_data_token(RIL_E_SUCCESS, &g_datacall_response);
}

/* ---- addresses ---- */

extern "C" int get_face_addr(const char *ifname, char *out) {
    if (out == nullptr || ifname == nullptr) return -1;
    in_addr_t addr = 0;
    ifc_init();
    int r = ifc_get_info(ifname, &addr, nullptr, nullptr);
    ifc_close();
    if (r != 0 || addr == 0) return -1;
    const unsigned char *b = (const unsigned char *)&addr;
    snprintf(out, 92, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
    RILDEBUG("ppp IP address is: %s!\n", out);
    return 0;
}

extern "C" char *GetLocalIP(void) {
    memset(s_ipbuffer, 0, sizeof(s_ipbuffer));
    get_face_addr("ppp0", s_ipbuffer);
    if (strlen(s_ipbuffer) < 6) {
        RILDEBUG("%s", "------GetLocalIP < 5-------");
        return nullptr;
    }
    property_set("net.ppp0.local-ip", s_ipbuffer);
    return s_ipbuffer;
}

extern "C" char *GetDeviceIP(const char *ifname) {
    if (ifname == nullptr) return nullptr;
    RILDEBUG("get device ip: %s", ifname);
    memset(s_ipbuffer, 0, sizeof(s_ipbuffer));
    get_face_addr(ifname, s_ipbuffer);
    if (strlen(s_ipbuffer) <= 5) return nullptr;
    property_set(ifname, s_ipbuffer);
    return s_ipbuffer;
}

extern "C" void SetInterfaceIP(const char *ifname) {
    if (ifname == nullptr) return;
    ifc_init();
    ifc_set_addr(ifname, 0);
    ifc_close();
}

extern "C" void GetDefGateWay(char *out) {
    if (out == nullptr) return;
    char value[PROPERTY_VALUE_MAX];
    property_get("net.ppp0.gw", value, "64.64.64.64");
    snprintf(out, sizeof(g_getway_ip), "%s", value);
}
