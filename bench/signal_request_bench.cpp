// LTE SIGNAL_STRENGTH request round trips, from onRequest to
// OnRequestComplete, against the simulated module (which answers at once),
// beside bare channel round trips of the same commands in the same run.
//
//   signal_request_bench [requests per block, default 500] [--debug-log]
//
// The request path is the library's own dispatch (onRequest_lte with its
// request mutex, the handler, its three AT commands) in this process; the
// module runs on its pseudo-terminal in the same process. Debug logging is
// off unless --debug-log is given; the always-written lines go to /dev/null.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "at_link.h"
#include "bench_stats.h"
#include "ril_families.h"
#include "ril_log.h"
#include "simulated_module.h"

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point g_completedAt;
int g_completedError = -1;

void onComplete(RIL_Token, RIL_Errno e, void *, size_t) {
    g_completedAt = Clock::now();
    g_completedError = e;
}
void onUnsol(int, const void *, size_t) {}
void *onTimed(RIL_TimedCallback, void *, const struct timeval *) { return nullptr; }
void noUnsol(const char *, const char *) {}

using bench::Stats;
using bench::print;
using bench::run;
using bench::summarize;

}  // namespace

int main(int argc, char **argv) {
    int n = 500;
    bool debugLog = false;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--debug-log") == 0)
            debugLog = true;
        else
            n = std::max(10, atoi(argv[i]));
    }
    setenv("RIL_LOG", "/dev/null", 1);
    g_debugmode = debugLog ? 1 : 0;

    char root[] = "/tmp/signal_bench.XXXXXX";
    if (mkdtemp(root) == nullptr) {
        perror("mkdtemp");
        return 1;
    }
    modemsim::ModuleConfig cfg = modemsim::ModuleConfig::forModel("lte", root);
    modemsim::UsbDevice dev;
    dev.vendor = "05C6";
    dev.product = "9025";
    dev.ports = {{"02", "ff", "ttyUSB2"}, {"03", "ff", "ttyUSB3"}};
    dev.atTty = "ttyUSB2";
    dev.modemTty = "ttyUSB3";
    cfg.device = dev;
    modemsim::SimulatedModule module(cfg);

    int fd = open(module.atLink().c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        perror("open AT port");
        return 1;
    }
    struct termios tio;
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    if (at_open(fd, noUnsol) < 0) {
        fprintf(stderr, "at_open failed\n");
        return 1;
    }

    static struct RIL_Env env;
    env.OnRequestComplete = onComplete;
    env.OnUnsolicitedResponse = onUnsol;
    env.RequestTimedCallback = onTimed;
    s_rilenv_lte = &env;
    s_channel_closed_lte = 0;

    auto request = [] {
        auto t0 = Clock::now();
        onRequest_lte(RIL_REQUEST_SIGNAL_STRENGTH, nullptr, 0, (RIL_Token)1);
        return std::chrono::duration<double, std::micro>(g_completedAt - t0).count();
    };
    auto bareSequence = [] {
        auto t0 = Clock::now();
        AtReply *r = nullptr;
        at_send_command("ATE0", nullptr);
        at_send_command_singleline("AT+CSQ", "+CSQ:", &r);
        at_response_free(r);
        r = nullptr;
        at_send_command_singleline("AT+SERVERINFO", "+SERVERINFO:", &r);
        at_response_free(r);
        return std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
    };
    auto bareCsq = [] {
        auto t0 = Clock::now();
        AtReply *r = nullptr;
        at_send_command_singleline("AT+CSQ", "+CSQ:", &r);
        at_response_free(r);
        return std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
    };

    // warm up both paths
    run(20, request);
    run(20, bareSequence);
    if (g_completedError != RIL_E_SUCCESS) {
        fprintf(stderr, "request did not complete with success (%d)\n", g_completedError);
        return 1;
    }

    printf("LTE SIGNAL_STRENGTH round trips, %d per block, simulated module answering at once%s\n", n,
           debugLog ? ", debug log on" : "");
    Stats req{}, seq{}, csq{};
    // alternate blocks so that both see the same machine conditions
    for (int block = 0; block < 3; block++) {
        req = run(n, request);
        seq = run(n, bareSequence);
        csq = run(n, bareCsq);
        print("request onRequest -> OnRequestComplete", req);
        print("bare channel ATE0 + AT+CSQ + AT+SERVERINFO", seq);
        print("bare channel AT+CSQ", csq);
    }
    at_close();
    std::string cleanup = std::string("rm -rf ") + root;
    if (system(cleanup.c_str()) != 0) return 0;
    return 0;
}
