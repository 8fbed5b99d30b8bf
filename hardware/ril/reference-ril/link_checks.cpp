// Link checks: the interface's packet counters, the probes that provoke
// traffic, and the three family checkers that hand a dead link to the
// connection guard.
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "at_link.h"
#include "at_reply.h"
#include "ril_data.h"
#include "ril_families.h"
#include "ril_log.h"
#include "ril_network.h"
#include "ril_platform.h"
#include "usb_discovery.h"

char s_localip[255];

namespace {

const char kPppTx[] = "/sys/class/net/ppp0/statistics/tx_packets";
const char kPppRx[] = "/sys/class/net/ppp0/statistics/rx_packets";
const char kUsbTx[] = "/sys/class/net/usb0/statistics/tx_packets";
const char kUsbRx[] = "/sys/class/net/usb0/statistics/rx_packets";
// the public hosts the device pings to provoke traffic
const char kWebHost1[] = "www.baidu.com";
const char kWebHost2[] = "www.qq.com";
#if RIL_VERSION < 15
const char kWebHost3[] = "www.163.com";
// the legacy build's DNS test pings a fixed public DNS server first
const char kPublicDns[] = "114.114.114.114";
#endif

unsigned int s_lastcheck = 0;

// A counter as the int the baselines keep: the low 32 bits. Differences
// are taken unsigned, so a counter that passed 2^31 (or 2^32) still moves.
int low32(long long v) { return (int)(uint32_t)(uint64_t)v; }

void readPair(const char *rxPath, const char *txPath, int *rx, int *tx) {
    if (rx == nullptr || tx == nullptr) return;
    *rx = low32(ReadSysfsCounter(rxPath));
    *tx = low32(ReadSysfsCounter(txPath));
}

// 1 when nothing was received since the last test; the new counts become
// the baseline. An unreadable counter (-1) counts as no traffic.
int flowFrom(const char *rxPath, const char *txPath) {
    long long rx = ReadSysfsCounter(rxPath);
    long long tx = ReadSysfsCounter(txPath);
    int old = g_total_rxpackets;
    g_total_rxpackets = low32(rx);
    g_totlal_txpackets = low32(tx);
    if (rx < 0) return 1;
    uint32_t grown = (uint32_t)low32(rx) - (uint32_t)old;
    return grown == 0 ? 1 : 0;
}

bool tokenStale(void *param) { return (unsigned int)(uintptr_t)param != g_new_netguard; }

void reschedule(RIL_TimedCallback self, void *param, time_t sec, suseconds_t usec) {
    s_lastcheck = GetTickCount();
    RIL_TimedCallbackHook schedule = g_timecallback;
    if (schedule == nullptr) return;
    struct timeval tv = {sec, usec};
    schedule(self, param, &tv);
}

// the first number of a one-line answer; fallback when the command fails
int queryNumber(const char *cmd, const char *prefix, int fallback, bool *ok) {
    AtReply *r = nullptr;
    int err = at_send_command_singleline(cmd, prefix, &r);
    int v = fallback;
    bool parsed = false;
    if (err >= 0 && r != nullptr && r->success && r->p_intermediates != nullptr) {
        char *p = r->p_intermediates->line;
        int n = 0;
        if (at_tok_start(&p) >= 0 && at_tok_nextint(&p, &n) >= 0) {
            v = n;
            parsed = true;
        }
    }
    at_response_free(r);
    if (ok != nullptr) *ok = parsed;
    return v;
}

int runPing(const char *count, const char *wait, const char *dest) {
#if RIL_VERSION >= 15
    const char *argv[] = {"ping", "-s", "1", "-c", count, "-W", wait, dest, nullptr};
#else
    const char *argv[] = {"ping", "-c", count, "-W", wait, dest, nullptr};  // default packet size
#endif
    return ril_run_program(argv);
}

// the background ping of the CDMA checker, ended after 2 s at most
void pingBriefly(const char *host) {
    const char *argv[] = {"ping", "-s", "1", "-c", "2", "-W", "2", host, nullptr};
    pid_t pid = ril_spawn_program(argv);
    if (pid <= 0) return;
    sleepappexit("ping", 2000);
    int status = 0;
    // the child is ours: reap it (sleepappexit killed it if it lingered)
    for (int i = 0; i < 100; i++) {
        pid_t w = waitpid(pid, &status, i < 99 ? WNOHANG : 0);
        if (w != 0) break;
        sleepMsec(20);
    }
}

void closeSocket(int fd) {
    int fl = fcntl(fd, F_GETFL, 0);
    if (fl >= 0) fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    shutdown(fd, SHUT_RDWR);
    close(fd);
}

// the socket probes' common start: a local address of 6 characters or
// more, pppd running, a bound socket; -1 when one of them is missing
int boundSocket(const char *local, int type, unsigned short port) {
    if (pppexist() == 1) return -1;
    if (local == nullptr || strlen(local) < 6) {
        RILDEBUG("%s", "Dog >> local ip is empty.");
        return -1;
    }
    int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        RILDEBUG("%s", "Dog >> create socket fail");
        return -1;
    }
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    struct sockaddr_in me;
    memset(&me, 0, sizeof(me));
    me.sin_family = AF_INET;
    me.sin_port = htons(port);
    if (inet_pton(AF_INET, local, &me.sin_addr) != 1 || bind(fd, (struct sockaddr *)&me, sizeof(me)) != 0) {
        RILDEBUG("GOD>> bind fail %d, %s", errno, strerror(errno));
        close(fd);
        return -1;
    }
    return fd;
}

// the LTE chain goes on with a new guard token
void rescheduleLte() {
    struct timeval tv = {RIL_VERSION >= 15 ? 36 : 13, 100};
    s_lastcheck = GetTickCount();
    StartCheckDataCheck(LteCheckDataStatus, &tv);
}

bool destination(const char *dest, struct sockaddr_in *to) {
    memset(to, 0, sizeof(*to));
    to->sin_family = AF_INET;
    to->sin_port = htons(53);
    if (dest == nullptr || !ril_is_dotted_ipv4(dest) || inet_pton(AF_INET, dest, &to->sin_addr) != 1) return false;
    return ril_probe_allowed(&to->sin_addr) != 0;
}

}  // namespace

extern "C" long long ReadSysfsCounter(const char *path) {
    char real[256];
    if (path == nullptr || RIL_SYSPATH(path, real) == nullptr) return -1;
    int fd = open(real, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) RILDEBUG("Can't open %s: %s", path, strerror(errno));
        return -1;
    }
    char buf[80];
    ssize_t n = read(fd, buf, sizeof(buf) - 1);
    if (n < 0) {
        RILDEBUG("Can't read %s: %s", path, strerror(errno));
        close(fd);
        return -1;
    }
    close(fd);
    buf[n] = '\0';
    return atoll(buf);
}

extern "C" void GetRxTx(int *rx, int *tx) { readPair(kPppRx, kPppTx, rx, tx); }
extern "C" void GetLteRxTx(int *rx, int *tx) { readPair(kUsbRx, kUsbTx, rx, tx); }

extern "C" int GetNetFlow(void) { return flowFrom(kPppRx, kPppTx); }

extern "C" int GetLteNetFlow(void) { return g_use_rndis ? flowFrom(kUsbRx, kUsbTx) : flowFrom(kPppRx, kPppTx); }

extern "C" int CheckDataFlow(void) { return 1 - GetNetFlow(); }

extern "C" unsigned int ril_last_check_tick(void) { return s_lastcheck; }

extern "C" int dns_test(void) {
    char dns[PROPERTY_VALUE_MAX];
    property_get("net.dns1", dns, "");
    RILDEBUG("dns_test: net.dns1 %s", dns);
    int result = 0;
#if RIL_VERSION >= 15
    // a server address that is no dotted IPv4 is not handed to ping
    bool usable = ril_is_dotted_ipv4(dns) != 0;
    for (int i = 0; i < 2 && result == 0; i++) {
        if (usable) runPing("2", "2", dns);
        if (GetNetFlow() == 0) result = 1;
    }
    if (result == 0) {
        runPing("1", "3", kWebHost1);
        result = GetNetFlow() == 0 ? 1 : 0;
    }
#else
    // one ping each to the public DNS server and two web hosts; the server
    // in "net.dns1" is only logged
    const char *const probes[][2] = {{"2", kPublicDns}, {"2", kWebHost2}, {"3", kWebHost3}};
    for (size_t i = 0; i < sizeof(probes) / sizeof(probes[0]) && result == 0; i++) {
        runPing("1", probes[i][0], probes[i][1]);
        if (GetNetFlow() == 0) result = 1;
    }
#endif
    RILDEBUG("dns result is:%d", result);
    return result;
}

extern "C" int WCheckDataMode(void) {
    int mode = queryNumber("AT^DATAMODE", "^DATAMODE:", 1, nullptr);
    return mode == 0 ? 1 : 0;
}

extern "C" void CheckDataStatus(void *param) {
    if (param != nullptr && tokenStale(param)) return;
    RILDEBUG("link check CDMA token %u", (unsigned int)(uintptr_t)param);
    if (G_userdisconnect || G_incall) {
        RILDEBUG("W GUSER DISCONNECT %d", G_userdisconnect);
        return;
    }
    bool ok = false;
    int mode = queryNumber("AT^DATAMODE", "^DATAMODE:", 0, &ok);
    if (!ok) {
        reschedule(CheckDataStatus, param, 10, 0);
        return;
    }
    RILDEBUG("CheckDataStatus: datamode %d", mode);
    bool traffic = GetNetFlow() == 0;
    if (!traffic) {
        pingBriefly(kWebHost1);
        traffic = GetNetFlow() == 0;
    }
    if (!traffic) {
        pingBriefly(kWebHost2);
        traffic = GetNetFlow() == 0;
    }
    if (!traffic) {
        property_set("net.ppp0.local-ip", "");
        property_set("init.svc.pppd_gprs", "stopped");
        property_set("net.ppp0.local-ip", "");
        g_inprocess = 0;
        g_insleep = 0;
        ResumeSem("CheckDataStatus", __LINE__);
        return;
    }
    reschedule(CheckDataStatus, param, 30, 0);
}

extern "C" void WCheckDataStatus(void *param) {
    if (tokenStale(param)) return;
    RILDEBUG("link check WCDMA token %u", (unsigned int)(uintptr_t)param);
    if (G_userdisconnect) {
        RILDEBUG("W GUSER DISCONNECT %d", G_userdisconnect);
        return;
    }
    if (G_incall) return;
    int e = pppexist();
    int f = GetNetFlow();
    bool resume = false;
    if (!(f == 0 && e == 0) && !G_userdisconnect) {
        if (e == 1) {
            RILDEBUG("%s", " ppp exit");
            resume = true;
        } else if (dns_test() == 1) {
            resume = WCheckDataMode() == 1;
        } else {
            property_set("net.dns1", "114.114.114.114");
            sleepMsec(1000);
            resume = dns_test() == 0;
        }
    }
    if (resume) {
        if (!tokenStale(param)) {
            RILDEBUG("%s", " check pppd exist");
#if RIL_VERSION < 15
            // the legacy build also tells the framework before it re-dials
            if (s_hasinit && g_unsresponse != nullptr) g_unsresponse(RIL_UNSOL_DATA_CALL_LIST_CHANGED, nullptr, 0);
#endif
            ResumeSem("WCheckDataStatus", __LINE__);
        }
        return;
    }
    reschedule(WCheckDataStatus, param, 5, 100);
}

extern "C" void LteCheckDataStatus(void *param) {
    if (tokenStale(param)) {
        RILDEBUG("%s", "nparam != g_new_netguard");
        return;
    }
    RILDEBUG("link check LTE token %u", (unsigned int)(uintptr_t)param);
    if (g_inprocess) return;
    if (G_userdisconnect) {
        RILDEBUG("W GUSER DISCONNECT %d", G_userdisconnect);
        return;
    }
    if (G_incall) return;
    int e = g_use_rndis ? 0 : pppexist();
    bool traffic = GetLteNetFlow() == 0;
    if (!traffic && !G_userdisconnect) {
        char ip[PROPERTY_VALUE_MAX];
        property_get("net.remote.kvip", ip, "114.114.114.114");
        // only a dotted address goes into the probe command
        if (!ril_is_dotted_ipv4(ip)) snprintf(ip, sizeof(ip), "%s", "114.114.114.114");
        char cmd[PROPERTY_VALUE_MAX + 32];
        // the legacy build probes on the PPP interface
        snprintf(cmd, sizeof(cmd), RIL_VERSION >= 15 ? "ping -c 2 %s" : "ping -I ppp0 -c 2 %s", ip);
        int mode = g_use_rndis ? queryNumber("AT+CONN=0,?", "+CONN:", 1, nullptr)
                               : queryNumber("AT^DATAMODE", "^DATAMODE:", 1, nullptr);
        RILDEBUG("LteCheckDataStatus: datamode %d", mode);
        for (int i = 0; i < 3 && !traffic; i++) {
            kv_execcommand(cmd);
            traffic = GetLteNetFlow() == 0;
        }
        if (!traffic) e = 1;
    } else if (G_userdisconnect) {
        traffic = true;  // the user is leaving: the next run ends the chain
    }
    if (e == 0) {
        rescheduleLte();
        return;
    }
#if RIL_VERSION < 15
    // a call began during the probes: the link is looked at again later
    if (!tokenStale(param) && G_incall) {
        RILDEBUG("%s", " is G_incall, not resumenow----===");
        rescheduleLte();
        return;
    }
#endif
    if (!tokenStale(param)) {
        RILDEBUG("%s", "resume: check pppd exist");
        // the link is gone: the call list must not hand back the old record
        g_datacall_response.active = 0;
        g_datacall_response.addresses = nullptr;
        if (s_hasinit && g_unsresponse != nullptr) g_unsresponse(RIL_UNSOL_DATA_CALL_LIST_CHANGED, nullptr, 0);
    }
}

extern "C" int TestNetWork(const char *dest) {
    char ip[PROPERTY_VALUE_MAX], svc[PROPERTY_VALUE_MAX];
    property_get("net.ppp0.local-ip", ip, "");
    property_get("init.svc.pppd_gprs", svc, "stopped");
    RILDEBUG("TestNetWork: %s %s", ip, svc);
    char *local = GetLocalIP();
    if (local == nullptr) return 0;
    snprintf(s_localip, sizeof(s_localip), "%s", local);
    int fd = boundSocket(s_localip, SOCK_STREAM, 6963);
    if (fd < 0) return 0;
    struct sockaddr_in to;
    int result = 0;
    if (G_incall) {
        if (RIL_VERSION < 15) RILDEBUG("%s", "GOD>> is incall---");
        result = 1;
    } else if (destination(dest, &to)) {
        int fl = fcntl(fd, F_GETFL, 0);
        fcntl(fd, F_SETFL, fl | O_NONBLOCK);
        int r = connect(fd, (struct sockaddr *)&to, sizeof(to));
        if (r == 0) {
            result = 1;
        } else if (errno == EINPROGRESS) {
            fd_set rd, wr;
            FD_ZERO(&rd);
            FD_ZERO(&wr);
            FD_SET(fd, &rd);
            FD_SET(fd, &wr);
            struct timeval tv = {6, 0};
            int n = select(fd + 1, &rd, &wr, nullptr, &tv);
            if (n == 0) {
                errno = ETIMEDOUT;
                RILDEBUG("%s", "GOD>> time out");
            } else if (n > 0 && FD_ISSET(fd, &wr)) {
                // writable with no pending error: the connection was made
                int soerr = 0;
                socklen_t len = sizeof(soerr);
                if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &soerr, &len) == 0 && soerr == 0) result = 1;
            }
        } else {
            RILDEBUG("%s", "GOD>> connect fail ");
        }
    }
    closeSocket(fd);
    return result;
}

extern "C" int UDPTestNetWork(const char *dest) {
    char local[PROPERTY_VALUE_MAX];
    property_get("net.ppp0.local-ip", local, "");
    int fd = boundSocket(local, SOCK_DGRAM, 16963);
    if (fd < 0) return 0;
    int zero = 0;
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &zero, sizeof(zero));
    struct sockaddr_in to;
    if (destination(dest, &to)) sendto(fd, "a", 1, 0, (struct sockaddr *)&to, sizeof(to));
    closeSocket(fd);
    return 1;
}

extern "C" int CheckNetLink(const char *name) {
    int result = 0;
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && name != nullptr) {
        struct ifreq reqs[16];
        struct ifconf ifc;
        memset(reqs, 0, sizeof(reqs));
        ifc.ifc_len = (int)sizeof(reqs);
        ifc.ifc_req = reqs;
        if (ioctl(fd, SIOCGIFCONF, &ifc) == 0) {
            size_t count = (size_t)ifc.ifc_len / sizeof(struct ifreq);
            if (count > sizeof(reqs) / sizeof(reqs[0])) count = sizeof(reqs) / sizeof(reqs[0]);
            for (size_t i = count; i-- > 0;) {
                char ifname[IFNAMSIZ + 1];
                memcpy(ifname, reqs[i].ifr_name, IFNAMSIZ);
                ifname[IFNAMSIZ] = '\0';
                RILDEBUG("iffacename is :%s", ifname);
                if (strcmp(ifname, name) != 0) continue;
                struct ifreq fl;
                memset(&fl, 0, sizeof(fl));
                memcpy(fl.ifr_name, reqs[i].ifr_name, IFNAMSIZ);
                if (ioctl(fd, SIOCGIFFLAGS, &fl) == 0)
                    result = (fl.ifr_flags & IFF_UP) && (fl.ifr_flags & IFF_RUNNING) ? 1 : 0;
                break;
            }
        }
    }
    if (fd >= 0) close(fd);
    RILDEBUG("CheckNetLink result is :%d", result);
    return result;
}
