// Routines only the legacy deliverable carries: what its LTE family does
// when the AT channel closes, its extra LTE initialization and SIM-ready
// commands, and the exported DNS query tool.
#include "ril_legacy.h"

#if RIL_VERSION < 15

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include "at_link.h"
#include "ril_log.h"
#include "ril_network.h"
#include "ril_platform.h"
#include "usb_discovery.h"

/* ---- the LTE channel closed ---- */

extern "C" void ril_legacy_lte_reader_closed(const RilFamily *f) {
    RIL_LOGI("AT channel closed\n");
    at_close();
    ril_mutex_lock(f->stateMutex);
    *f->channelClosed = 1;
    ril_mutex_unlock(f->stateMutex);
    g_inhotstatus = 1;
    if (s_hasinit) ril_family_unsolicited(f, RIL_UNSOL_DATA_CALL_LIST_CHANGED, nullptr, 0);
    const int attempts = f->readerClosed.attempts;
    int missed = 0;
    bool found = false;
    for (int i = 0; i < attempts && !found; i++) {
        int r = HandleDeviceHotPlugin();
        RILDEBUG("search device: attempt %d result %d", i + 1, r);
        found = (r & 5) != 0;
        if (!found) {
            missed++;
            sleepMsec(1000);
        }
    }
    if (!found) {
        // the module is gone: the platform starts a fresh daemon
        g_inhotstatus = 0;
        RILDEBUG("*******missed device*******");
        exit(0);
    }
    if (missed > 0) {
        // it came back after a while: start again from a clean process
        RILDEBUG("----restart ril after 6s----");
        sleepMsec(6000);
        exit(0);
    }
    g_inhotstatus = 1;
    if (f->readerClosed.flyWaitMs > 0 && g_inflymode) {
        RILDEBUG("*******wait for csq*******");
        sleepMsec(f->readerClosed.flyWaitMs);
    }
    ril_family_broadcast(f);
}

/* ---- LTE initialization and SIM-ready ---- */

extern "C" void ril_legacy_lte_init(void) {
    if (g_moduletype == 4) at_send_command("AT+CLVL=7", nullptr);
    at_send_command(s_lte_subtype == 4 ? "AT+VTYPE =4" : "AT+VTYPE =3", nullptr);
}

extern "C" void ril_legacy_lte_sim_ready(void) {
    // modules in Qualcomm command mode take the "$QC" forms, as their
    // message deletion does
    const bool qc = is_fddandevdo == 1 && g_moduletype != 4;
    static const char *const kStandard[] = {"AT+CPMS=\"SM\",\"SM\",\"SM\"", "AT+CMGD=3", "AT+CSMS=1", "AT+CSMS=0",
                                            "at+cnmi=1,1"};
    static const char *const kQualcomm[] = {"AT$QCPMS=\"SM\",\"SM\",\"SM\"", "AT$QCMGD=3", "at$qcnmi=1,1"};
    if (qc) {
        for (const char *cmd : kQualcomm) at_send_command(cmd, nullptr);
    } else {
        for (const char *cmd : kStandard) at_send_command(cmd, nullptr);
    }
    at_send_command("AT+MMSMODE=1", nullptr);
    at_send_command("AT^KVSMSDELAY=0", nullptr);
}

/* ---- querydns ---- */

namespace {

// the A record of www.baidu.com, recursion desired, identifier 1
const unsigned char kQuery[] = {
    0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // header
    3,    'w',  'w',  'w',  5,    'b',  'a',  'i',  'd',  'u',  3,    'c',  'o', 'm', 0,
    0x00, 0x01, 0x00, 0x01,  // type A, class IN
};
static_assert(sizeof(kQuery) == 31, "the query is 31 bytes");

#ifdef RIL_HOST_BUILD
// on a build host only loopback addresses are probed, unless the test runs
// the process in a private network namespace of its own
bool probeAllowed(const struct in_addr &a) {
    const char *ns = getenv("RIL_PRIVATE_NETNS");
    if (ns != nullptr && strcmp(ns, "1") == 0) return true;
    return (ntohl(a.s_addr) >> 24) == 127;
}
#else
bool probeAllowed(const struct in_addr &) { return true; }
#endif

}  // namespace

extern "C" int querydns(const char *address) {
    struct sockaddr_in to;
    memset(&to, 0, sizeof(to));
    to.sin_family = AF_INET;
    to.sin_port = htons(53);
    if (address == nullptr || inet_pton(AF_INET, address, &to.sin_addr) != 1 || !probeAllowed(to.sin_addr))
        return -1;
    int sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (sock < 0) {
        printf(" create socket error!\n ");
        return -1;
    }
    if (sendto(sock, kQuery, sizeof(kQuery), 0, (const struct sockaddr *)&to, sizeof(to)) < 0) {
        close(sock);
        return -1;
    }
    // 5 s 10 us, on the host clock
    long scale = ril_time_scale();
    long long us = (5LL * 1000000LL + 10) / (scale > 0 ? scale : 1);
    struct timeval tv = {(time_t)(us / 1000000), (suseconds_t)(us % 1000000)};
    int answers = 0;
    unsigned char buf[1024];
    for (;;) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(sock, &readable);
        if (select(sock + 1, &readable, nullptr, nullptr, &tv) <= 0) break;
        if (recv(sock, buf, sizeof(buf), 0) < 0) break;
        answers++;
        RILDEBUG("in time ,left time %d s ,%d usec\n", (int)tv.tv_sec, (int)tv.tv_usec);
    }
    RILDEBUG("timeout ,left time %d s ,%d usec\n", (int)tv.tv_sec, (int)tv.tv_usec);
    close(sock);
    return answers;
}

#endif
