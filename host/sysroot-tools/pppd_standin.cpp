// pppd stand-in: takes over the modem port the library dialled (the module
// already answered CONNECT), plays what the platform's ip-up script would
// publish ("net.ppp0.gw", the DNS servers, then "net.ppp0.local-ip"), and
// fakes $RIL_SYSROOT/sys/class/net/ppp0/ with moving packet counters and the
// link's address. It stays until a signal ends it or the module hangs up,
// then says "+++" to the module and drops the interface folder.
//
// Settings, from $RIL_SYSROOT/etc/pppd-standin.conf (key=value lines):
// local, gw, dns1, dns2 (addresses published), delay_ms (before ip-up),
// noip=1 (never gets an address), exit_ms (ends by itself after that).
// While $RIL_SYSROOT/run/link-rxfrozen exists the link only sends: the
// transmitted count moves, the received one stays. counters_from=DIR (a
// real interface's sysfs folder) copies that interface's counters instead.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "standin_common.h"

namespace {

volatile sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

long nowMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000L + ts.tv_nsec / 1000000L;
}

}  // namespace

int main(int argc, char **argv) {
    using namespace standin;
    recordArgs("pppd", argc, argv);
    struct sigaction sa;
    memset(&sa, 0, sizeof(sa));
    sa.sa_handler = onSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);

    std::string port;
    for (int i = 1; i < argc; i++)
        if (strncmp(argv[i], "/dev/", 5) == 0 || (!sysroot().empty() && strncmp(argv[i], sysroot().c_str(), sysroot().size()) == 0)) {
            port = argv[i];
            break;
        }
    if (port.empty()) {
        fprintf(stderr, "pppd: no device\n");
        return 2;
    }
    std::string root = sysroot();
    if (root.empty() || port.compare(0, root.size(), root) != 0) port = root + port;
    int fd = open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        fprintf(stderr, "pppd: cannot open %s: %s\n", port.c_str(), strerror(errno));
        return 2;
    }
    // an LCP configure-request, as the peer would see it first
    static const unsigned char lcp[] = {0x7e, 0xff, 0x7d, 0x23, 0xc0, 0x21, 0x7d, 0x21, 0x7d, 0x21, 0x7d, 0x20, 0x7d, 0x24, 0x7e};
    ssize_t w = write(fd, lcp, sizeof lcp);
    (void)w;

    long delay = atol(config("pppd", "delay_ms", "100").c_str());
    long exitMs = atol(config("pppd", "exit_ms", "0").c_str());
    bool noip = config("pppd", "noip", "0") == "1";
    std::string ifdir = inSysroot("/sys/class/net/ppp0");
    std::string rxFrozen = inSysroot("/run/link-rxfrozen");
    std::string realCounters = config("pppd", "counters_from", "");
    long start = nowMs();
    bool up = false;
    int status = 0;
    std::string seen;
    while (!g_stop) {
        struct pollfd p = {fd, POLLIN, 0};
        int r = poll(&p, 1, 100);
        if (r > 0) {
            char buf[256];
            ssize_t n = read(fd, buf, sizeof buf);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR) || (p.revents & (POLLHUP | POLLERR))) {
                status = 16;  // the modem hung up
                break;
            }
            if (n > 0) {
                seen.append(buf, (size_t)n);
                if (seen.find("NO CARRIER") != std::string::npos) {
                    status = 16;
                    break;
                }
                if (seen.size() > 64) seen.erase(0, seen.size() - 64);
            }
        }
        long t = nowMs() - start;
        if (!up && !noip && t >= delay) {
            makeDirs(ifdir + "/statistics");
            bump(ifdir + "/statistics/rx_packets", 0);
            bump(ifdir + "/statistics/tx_packets", 0);
            writeFile(ifdir + "/ipv4_address", config("pppd", "local", "10.64.78.9"));
            setProperty("net.ppp0.gw", config("pppd", "gw", "10.64.64.64"));
            setProperty("net.ppp0.dns1", config("pppd", "dns1", "127.0.0.53"));
            setProperty("net.ppp0.dns2", config("pppd", "dns2", "127.0.0.54"));
            setProperty("net.dns1", config("pppd", "dns1", "127.0.0.53"));
            setProperty("net.dns2", config("pppd", "dns2", "127.0.0.54"));
            setProperty("net.ppp0.local-ip", config("pppd", "local", "10.64.78.9"));
            up = true;
        }
        if (up && !realCounters.empty()) {
            // a real interface plays the link: its kernel counters are the link's
            for (const char *c : {"rx_packets", "tx_packets"}) {
                std::string v = readFile(realCounters + "/statistics/" + c);
                while (!v.empty() && (v.back() == '\n' || v.back() == ' ')) v.pop_back();
                if (!v.empty()) writeFile(ifdir + "/statistics/" + c, v);
            }
        } else if (up) {
            // a frozen link ("link freeze", "link silent") still sends
            if (access(rxFrozen.c_str(), F_OK) != 0) bump(ifdir + "/statistics/rx_packets", 1);
            bump(ifdir + "/statistics/tx_packets", 1);
        }
        if (exitMs > 0 && t >= exitMs) {
            status = 1;
            break;
        }
    }
    // leave the module's data mode, as a disconnect script would
    w = write(fd, "+++", 3);
    close(fd);
    // the interface goes at once, as the kernel drops it; a ping counting on
    // it at that moment writes into the folder being removed
    std::string gone = inSysroot("/sys/class/net/.ppp0.gone." + std::to_string(getpid()));
    if (rename(ifdir.c_str(), gone.c_str()) != 0) gone = ifdir;
    for (int i = 0; i < 50 && access(gone.c_str(), F_OK) == 0; i++) {
        removeTree(gone);
        if (access(gone.c_str(), F_OK) == 0) usleep(10000);
    }
    return status;
}
