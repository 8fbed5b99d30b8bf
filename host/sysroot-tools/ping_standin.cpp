// ping stand-in: records its arguments and, when the fake ppp0 exists,
// counts one packet each way on it (the traffic a ping would cause). It
// never sends anything. Exit status 0 with a link, 1 without. A file
// $RIL_SYSROOT/run/link-silent makes the link silent: no answer, no count.
//
// With RIL_PRIVATE_NETNS=1 (the caller runs inside a private network
// namespace that a test made) it sends real ICMP echo requests to a dotted
// destination ("-c N", "-W SECONDS", on the host clock of RIL_TIME_SCALE)
// and exits 0 when one was answered; a
// host name is not looked up (exit status 2).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "standin_common.h"

namespace {

unsigned short checksum(const unsigned char *p, size_t n) {
    unsigned long sum = 0;
    for (size_t i = 0; i + 1 < n; i += 2) sum += (unsigned)(p[i] << 8 | p[i + 1]);
    if (n & 1) sum += (unsigned)(p[n - 1] << 8);
    while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
    return htons((unsigned short)~sum);
}

long nowMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000L + ts.tv_nsec / 1000000L;
}

int realPing(int argc, char **argv) {
    int count = 1, waitS = 1;
    const char *host = nullptr;
    for (int i = 1; i < argc; i++) {
        if ((!strcmp(argv[i], "-c") || !strcmp(argv[i], "-W") || !strcmp(argv[i], "-s")) && i + 1 < argc) {
            int v = atoi(argv[i + 1]);
            if (argv[i][1] == 'c') count = v > 0 && v < 10 ? v : 1;
            if (argv[i][1] == 'W') waitS = v > 0 && v < 10 ? v : 1;
            i++;
        } else if (argv[i][0] != '-') {
            host = argv[i];
        }
    }
    struct sockaddr_in to;
    memset(&to, 0, sizeof(to));
    to.sin_family = AF_INET;
    if (host == nullptr || inet_pton(AF_INET, host, &to.sin_addr) != 1) return 2;
    // the host clock may run faster (RIL_TIME_SCALE): so does the wait
    const char *scale = getenv("RIL_TIME_SCALE");
    long n = scale != nullptr ? atol(scale) : 1;
    long waitMs = waitS * 1000L / (n > 0 ? n : 1);
    if (waitMs < 300) waitMs = 300;  // a far end on a loaded machine still answers in time
    int s = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (s < 0) return 2;
    int answered = 0;
    unsigned short id = (unsigned short)getpid();
    for (int seq = 1; seq <= count && !answered; seq++) {
        unsigned char req[8 + 8] = {ICMP_ECHO, 0, 0, 0, (unsigned char)(id >> 8), (unsigned char)id, 0,
                                    (unsigned char)seq};
        unsigned short c = checksum(req, sizeof req);
        memcpy(req + 2, &c, 2);
        if (sendto(s, req, sizeof req, 0, (struct sockaddr *)&to, sizeof to) < 0) break;
        long deadline = nowMs() + waitMs;
        while (!answered) {
            long left = deadline - nowMs();
            if (left <= 0) break;
            struct pollfd p = {s, POLLIN, 0};
            if (poll(&p, 1, (int)left) <= 0) break;
            unsigned char buf[1500];
            ssize_t n = recv(s, buf, sizeof buf, 0);
            if (n < 20) continue;
            size_t ihl = (size_t)(buf[0] & 0x0f) * 4;
            if ((size_t)n >= ihl + 8 && buf[ihl] == ICMP_ECHOREPLY && buf[ihl + 4] == (unsigned char)(id >> 8) &&
                buf[ihl + 5] == (unsigned char)id)
                answered = 1;
        }
    }
    close(s);
    return answered ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
    using namespace standin;
    recordArgs("ping", argc, argv);
    const char *ns = getenv("RIL_PRIVATE_NETNS");
    if (ns != nullptr && strcmp(ns, "1") == 0) return realPing(argc, argv);
    std::string ifdir = inSysroot("/sys/class/net/ppp0");
    struct stat st;
    if (stat(ifdir.c_str(), &st) != 0) return 1;
    if (stat(inSysroot("/run/link-silent").c_str(), &st) == 0) {
        bump(ifdir + "/statistics/tx_packets", 1);  // sent, nothing comes back
        return 1;
    }
    bump(ifdir + "/statistics/rx_packets", 1);
    bump(ifdir + "/statistics/tx_packets", 1);
    return 0;
}
