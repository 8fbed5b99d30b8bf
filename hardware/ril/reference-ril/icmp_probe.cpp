// The ICMP echo probe, the program runner and the one-shot ping thread.
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <initializer_list>

#include "ril_data.h"
#include "ril_log.h"

extern "C" {
PktStatic g_stPktStatic;
int g_pingsucc = 0;
struct timeval stSendTime;
struct timeval stRcvTime;
}

namespace {

constexpr size_t kIcmpBuffer = 1048576;
constexpr int kEchoPayload = 20;
unsigned char *s_sendbuf = nullptr;  // the 1 MiB request and receive buffers
unsigned char *s_recvbuf = nullptr;
unsigned char s_lastrequest[8 + kEchoPayload];

// the public host the one-shot ping after a dial goes to
const char kPingHost[] = "www.baidu.com";

bool buffers(void) {
    if (s_sendbuf == nullptr) s_sendbuf = (unsigned char *)calloc(1, kIcmpBuffer);
    if (s_recvbuf == nullptr) s_recvbuf = (unsigned char *)calloc(1, kIcmpBuffer);
    return s_sendbuf != nullptr && s_recvbuf != nullptr;
}

}  // namespace

/* ---- program runner ---- */

extern "C" pid_t ril_spawn_program(const char *const argv[]) { return ril_spawn_program_to(argv, -1); }

extern "C" pid_t ril_spawn_program_to(const char *const argv[], int outFd) {
    if (argv == nullptr || argv[0] == nullptr) return -1;
    // argv[0] is "/system/bin/<name>" or a bare name from that folder
    char dev[256];
    if (argv[0][0] == '/')
        snprintf(dev, sizeof(dev), "%s", argv[0]);
    else
        snprintf(dev, sizeof(dev), "/system/bin/%s", argv[0]);
    char path[512];
    if (RIL_SYSPATH(dev, path) == nullptr) return -1;
    long maxfd = sysconf(_SC_OPEN_MAX);
    if (maxfd < 0 || maxfd > 65536) maxfd = 65536;
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        // only async-signal-safe calls here: the parent has threads. The
        // program starts with no blocked or ignored signals and no
        // descriptor but the standard three.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        struct sigaction dfl;
        memset(&dfl, 0, sizeof(dfl));
        dfl.sa_handler = SIG_DFL;
        for (int sig : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGCHLD, SIGALRM}) sigaction(sig, &dfl, nullptr);
        if (outFd >= 0 && dup2(outFd, 1) < 0) _exit(127);
        for (long fd = 3; fd < maxfd; fd++) close((int)fd);
        execv(path, (char *const *)argv);
        _exit(127);
    }
    return pid;
}

extern "C" int ril_run_program(const char *const argv[]) {
    pid_t pid = ril_spawn_program(argv);
    if (pid < 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status;
}

/* ---- ICMP echo probe ---- */

extern "C" unsigned short calcIcmpChkSum(const void *bytes, int len) {
    const unsigned char *p = (const unsigned char *)bytes;
    unsigned long sum = 0;
    int i = 0;
    for (; i + 1 < len; i += 2) {
        unsigned short w;
        memcpy(&w, p + i, 2);
        sum += w;
    }
    if (i < len) {
        // a trailing odd byte is the low-order byte of a word
        unsigned short w = 0;
        memcpy(&w, p + i, 1);
        sum += w;
    }
    while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
    return (unsigned short)(~sum & 0xffff);
}

extern "C" int timeSub(const struct timeval *a, const struct timeval *b) {
    long d = a->tv_usec - b->tv_usec;
    long borrow = 0;
    if (d < 0) {
        d += 1000000;
        borrow = 1;
    }
    return (int)((a->tv_sec - b->tv_sec - borrow) * 1000 + d / 1000);
}

extern "C" int newIcmpEcho(int seq, int length) {
    if (!buffers()) return -1;
    if (length < 0 || (size_t)length + 8 > sizeof(s_lastrequest)) length = kEchoPayload;
    memset(s_sendbuf, 0, kIcmpBuffer);
    s_sendbuf[0] = ICMP_ECHO;
    s_sendbuf[1] = 0;
    unsigned short id = htons((unsigned short)(getpid() & 0xffff));
    unsigned short sq = htons((unsigned short)seq);
    memcpy(s_sendbuf + 4, &id, 2);
    memcpy(s_sendbuf + 6, &sq, 2);
    unsigned short sum = calcIcmpChkSum(s_sendbuf, length + 8);
    memcpy(s_sendbuf + 2, &sum, 2);
    memcpy(s_lastrequest, s_sendbuf, (size_t)length + 8);
    return length + 8;
}

extern "C" const unsigned char *ril_icmp_request(void) { return s_lastrequest; }

static void showStatic(const PktStatic *s) {
    RILDEBUG("\nPackets:Send = %u,Recveived = %u,Lost = %u", s->sent, s->received, s->sent - s->received);
    RILDEBUG("\nTime:Minimum = %.1fms,Maximum = %.1fms,Average=%.2fms\n", (double)s->min, (double)s->max,
             (double)s->avg);
}

static int recvIcmp(int sock) {
    memset(s_recvbuf, 0, kIcmpBuffer);
    ssize_t n = recv(sock, s_recvbuf, kIcmpBuffer, 0);
    gettimeofday(&stRcvTime, nullptr);
    if (n < 0) {
        g_pingsucc = 0;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            RILDEBUG("%s", "Request time out.\n");
            g_stPktStatic.max = -1.0f;
            return 0;
        }
        RILDEBUG("%s", "[Error]ICMP Receive");
        return 0;
    }
    g_stPktStatic.received++;
    int t = timeSub(&stRcvTime, &stSendTime);
    g_pingsucc = 1;
    float ft = (float)t;
    if (ft < g_stPktStatic.min) g_stPktStatic.min = ft;
    if (ft > g_stPktStatic.max) g_stPktStatic.max = ft;
    g_stPktStatic.avg = (ft + (float)(g_stPktStatic.sent - 1) * g_stPktStatic.avg) / (float)g_stPktStatic.sent;
    return t;
}

static void sendIcmp(int sock, const struct sockaddr_in *to) {
    int len = newIcmpEcho(0, kEchoPayload);
    if (len < 0) return;
    g_stPktStatic.sent++;
    gettimeofday(&stSendTime, nullptr);
    ssize_t n = sendto(sock, s_sendbuf, (size_t)len, 0, (const struct sockaddr *)to, sizeof(*to));
    if (n < 0) {
        RILDEBUG("%s", "Send ICMP Error");
        return;
    }
    recvIcmp(sock);
}

#ifdef RIL_HOST_BUILD
// On a build host probes go to loopback only, unless the test runs the
// process in a private network namespace of its own.
static bool nameLookupAllowed(void);
static bool probeAllowed(const struct in_addr &a) {
    if (nameLookupAllowed()) return true;
    return (ntohl(a.s_addr) >> 24) == 127;
}
static bool nameLookupAllowed(void) {
    const char *ns = getenv("RIL_PRIVATE_NETNS");
    return ns != nullptr && strcmp(ns, "1") == 0;
}
#else
static bool probeAllowed(const struct in_addr &) { return true; }
static bool nameLookupAllowed(void) { return true; }
#endif

// the same rule for the socket probes of the link checks
extern "C" int ril_probe_allowed(const struct in_addr *a) { return a != nullptr && probeAllowed(*a) ? 1 : 0; }

extern "C" int pingtest(const char *host) {
    g_stPktStatic.sent = 0;
    g_stPktStatic.received = 0;
    g_stPktStatic.min = 1000000.0f;
    g_stPktStatic.max = -1.0f;
    g_stPktStatic.avg = 0.0f;
    struct sockaddr_in to;
    memset(&to, 0, sizeof(to));
    if (host == nullptr || !buffers()) return -1;
    int sock = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
#ifdef RIL_HOST_BUILD
    // an unprivileged host process may still have datagram echo sockets
    if (sock < 0) sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
#endif
    if (sock < 0) {
        RILDEBUG("%s", "[Error]Init Socket");
        return -1;
    }
    if (setuid(getuid()) != 0) {
        RILDEBUG("%s", "[Error]Setuid");
        close(sock);
        return -1;
    }
    int size = 1048576;
    setsockopt(sock, SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
    struct timeval tv = {6, 0};
    setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    to.sin_family = AF_INET;
    if (inet_pton(AF_INET, host, &to.sin_addr) != 1) {
        if (!nameLookupAllowed()) {
            // no name service is asked on a build host: no traffic
            g_pingsucc = 0;
            close(sock);
            return 0;
        }
        struct addrinfo hints, *res = nullptr;
        memset(&hints, 0, sizeof(hints));
        hints.ai_family = AF_INET;
        if (getaddrinfo(host, nullptr, &hints, &res) != 0 || res == nullptr) {
            RILDEBUG("%s", "[Error]Host Name Error");
            close(sock);
            return -1;
        }
        to.sin_addr = ((struct sockaddr_in *)res->ai_addr)->sin_addr;
        freeaddrinfo(res);
    }
    if (!probeAllowed(to.sin_addr)) {
        // counted as no traffic; nothing is sent
        g_pingsucc = 0;
        close(sock);
        return 0;
    }
    sendIcmp(sock, &to);
    showStatic(&g_stPktStatic);
    close(sock);
    return 0;
}

/* ---- the command runner ---- */

// Runs a command line without a shell: the words are split on blanks and
// the program is taken from the system's program folder.
extern "C" int kv_execcommand(const char *cmd) {
    if (cmd == nullptr) return 0;
    RILDEBUG("kv_execcommand: %s", cmd);
    char line[256];
    snprintf(line, sizeof(line), "%s", cmd);
    const char *argv[32];
    int argc = 0;
    for (char *save = nullptr, *w = strtok_r(line, " ", &save); w != nullptr && argc < 31;
         w = strtok_r(nullptr, " ", &save))
        argv[argc++] = w;
    argv[argc] = nullptr;
    int status = argc > 0 ? ril_run_program(argv) : -1;
    if (status == -1) {
        RILDEBUG("%s", "system error!");
        return 0;
    }
    RILDEBUG("exit status value = [0x%x]\n", status);
    if ((status & 0x7f) != 0) {
        RILDEBUG("exit status = [%d]\n", (status >> 8) & 0xff);
    } else if (((status >> 8) & 0xff) != 0) {
        RILDEBUG("===run shell script fail, script exit code: %d===\n", (status >> 8) & 0xff);
        char ip[92];
        property_get("net.remote.kvip", ip, "114.114.114.114");
        RILDEBUG("====use my ping %s=====\n", ip);
        if (ril_is_dotted_ipv4(ip)) pingtest(ip);
    } else {
        RILDEBUG("%s", "run shell script successfully.\n");
    }
    return 0;
}

static void *ping_thread_body(void *) {
    RILDEBUG("%s", "gurad test network");
#if RIL_VERSION >= 15
    const char *argv[] = {"ping", "-s", "1", "-c", "1", kPingHost, nullptr};
#else
    const char *argv[] = {"ping", "-c", "1", kPingHost, nullptr};  // the legacy build's probe
#endif
    ril_run_program(argv);
    return nullptr;
}

extern "C" int ril_start_detached(void *(*body)(void *), void *arg) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t tid;
    int r = pthread_create(&tid, &attr, body, arg);
    pthread_attr_destroy(&attr);
    return r;
}

extern "C" int start_pingthread(void) { return ril_start_detached(ping_thread_body, nullptr); }
