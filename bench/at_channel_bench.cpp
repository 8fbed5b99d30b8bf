// Round trips of the AT channel against a peer that answers at once, next to
// a bare write-then-read of the same bytes on the same pseudo-terminal.
//
//   at_channel_bench [round trips per block, default 1000] [--debug-log]
//
// Both sides talk to the same responder thread on the pty master, in
// alternating blocks (the channel's reader would otherwise take the bare
// client's bytes). Debug logging is off unless --debug-log is given (as with
// "ril.debug" 0); the always-written lines go to /dev/null.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "at_link.h"
#include "ril_log.h"

namespace {

using Clock = std::chrono::steady_clock;

const char kCommand[] = "AT+CSQ";
const char kReply[] = "\r\n+CSQ: 21,99\r\n\r\nOK\r\n";

std::atomic<bool> g_stop{false};

void makeRaw(int fd) {
    struct termios tio;
    if (tcgetattr(fd, &tio) != 0) return;
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
}

bool writeAll(int fd, const char *p, size_t n) {
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= (size_t)w;
    }
    return true;
}

// Answers every carriage-return-terminated command at once.
void responder(int master) {
    char buf[4096];
    while (!g_stop) {
        struct pollfd p = {master, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        ssize_t n = read(master, buf, sizeof(buf));
        if (n <= 0) continue;
        for (ssize_t i = 0; i < n; i++) {
            if (buf[i] == '\r' && !writeAll(master, kReply, sizeof(kReply) - 1)) return;
        }
    }
}

int openSlave(const char *path) {
    int fd = open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) makeRaw(fd);
    return fd;
}

bool bareRoundTrip(int fd) {
    static const char cmd[] = "AT+CSQ\r";
    if (!writeAll(fd, cmd, sizeof(cmd) - 1)) return false;
    char buf[256];
    size_t have = 0;
    const size_t want = sizeof(kReply) - 1;
    while (have < want) {
        ssize_t n = read(fd, buf + have, sizeof(buf) - have);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        have += (size_t)n;
    }
    return true;
}

bool channelRoundTrip() {
    AtReply *p = nullptr;
    int err = at_send_command_singleline(kCommand, "+CSQ:", &p);
    bool ok = err == 0 && p != nullptr && p->success == 1 && p->p_intermediates != nullptr;
    at_response_free(p);
    return ok;
}

struct Stats {
    double perSecond;
    double p50us;
    double p99us;
};

Stats summarize(std::vector<double> &lat, double totalSec) {
    std::sort(lat.begin(), lat.end());
    Stats s;
    s.perSecond = (double)lat.size() / totalSec;
    s.p50us = lat[lat.size() / 2];
    s.p99us = lat[std::min(lat.size() - 1, lat.size() * 99 / 100)];
    return s;
}

}  // namespace

int main(int argc, char **argv) {
    int perBlock = 1000;
    bool debugLog = false;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--debug-log") == 0) {
            debugLog = true;
        } else {
            perBlock = std::max(100, atoi(argv[i]));
        }
    }
    setenv("RIL_LOG", "/dev/null", 1);
    g_debugmode = debugLog ? 1 : 0;

    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        perror("posix_openpt");
        return 1;
    }
    char path[128];
    if (ptsname_r(master, path, sizeof(path)) != 0) {
        perror("ptsname_r");
        return 1;
    }
    int hold = openSlave(path);  // keeps the master from seeing hang-ups
    std::thread peer(responder, master);

    // many short alternating blocks, so both sides see the same machine noise
    const int blocks = 20;
    const int warmup = 200;
    std::vector<double> bareLat, chanLat;
    double bareSec = 0, chanSec = 0;
    for (int b = 0; b < blocks; b++) {
        // bare write-then-read
        int fd = openSlave(path);
        for (int i = 0; i < warmup; i++) bareRoundTrip(fd);
        auto start = Clock::now();
        for (int i = 0; i < perBlock; i++) {
            auto t0 = Clock::now();
            if (!bareRoundTrip(fd)) {
                fprintf(stderr, "bare round trip failed\n");
                return 1;
            }
            bareLat.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        }
        bareSec += std::chrono::duration<double>(Clock::now() - start).count();
        close(fd);

        // the channel
        fd = openSlave(path);
        if (at_open(fd, nullptr) != 0) {
            fprintf(stderr, "at_open failed\n");
            return 1;
        }
        for (int i = 0; i < warmup; i++) channelRoundTrip();
        start = Clock::now();
        for (int i = 0; i < perBlock; i++) {
            auto t0 = Clock::now();
            if (!channelRoundTrip()) {
                fprintf(stderr, "channel round trip failed\n");
                return 1;
            }
            chanLat.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        }
        chanSec += std::chrono::duration<double>(Clock::now() - start).count();
        at_close();
        // let the closed channel's reader leave before the next bare block
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        tcflush(hold, TCIOFLUSH);
    }
    g_stop = true;
    peer.join();

    Stats bare = summarize(bareLat, bareSec);
    Stats chan = summarize(chanLat, chanSec);
    printf("AT round trips on one pseudo-terminal, %d per side, debug log %s\n",
           blocks * perBlock, debugLog ? "on" : "off");
    printf("%-34s %12s %10s %10s\n", "", "round trips/s", "p50 us", "p99 us");
    printf("%-34s %12.0f %10.1f %10.1f\n", "bare write-then-read", bare.perSecond, bare.p50us,
           bare.p99us);
    printf("%-34s %12.0f %10.1f %10.1f\n", "at_send_command_singleline", chan.perSecond,
           chan.p50us, chan.p99us);
    printf("ratio channel/bare: time per round trip %.2f, p50 %.2f, p99 %.2f\n",
           bare.perSecond / chan.perSecond, chan.p50us / bare.p50us, chan.p99us / bare.p99us);
    close(hold);
    close(master);
    return 0;
}
