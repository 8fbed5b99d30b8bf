// Silent-link soak: a data call under the connection guard, end to end
// (host daemon, library, simulated module, stand-ins), taken N times
// through a silent link and back at a high time scale. Every few cycles it
// prints the pppd stand-ins running, the checker chains seen live since the
// last recovery (distinct guard tokens in the checkers' logs), and the
// daemon's threads and descriptors. A program to run by hand:
//
//   build/bin/guard_soak [--cycles N] [--scale S] [--model wcdma6290|cdma] [--every K]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <fstream>
#include <set>
#include <string>

#include "guard_rig.h"

using namespace std::chrono_literals;

namespace {

// the log read on from where the last read ended
struct LogTail {
    explicit LogTail(std::string p) : path(std::move(p)) {}
    std::string more() {
        std::ifstream in(path, std::ios::binary);
        in.seekg((std::streamoff)offset);
        std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        offset += s.size();
        return s;
    }
    std::string path;
    size_t offset = 0;
};


std::set<std::string> tokens(const std::string &text) {
    std::set<std::string> out;
    const std::string key = "link check ";
    for (size_t i = text.find(key); i != std::string::npos; i = text.find(key, i + 1)) {
        size_t t = text.find("token ", i);
        size_t e = text.find('\n', i);
        if (t == std::string::npos || t > e) continue;
        out.insert(text.substr(t + 6, e - t - 6));
    }
    return out;
}

}  // namespace

int main(int argc, char **argv) {
    long cycles = 1000, scale = 100, every = 50;
    std::string model = "wcdma6290";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--cycles")) cycles = atol(argv[i + 1]);
        else if (!strcmp(argv[i], "--scale")) scale = atol(argv[i + 1]);
        else if (!strcmp(argv[i], "--every")) every = atol(argv[i + 1]);
        else if (!strcmp(argv[i], "--model")) model = argv[i + 1];
        else {
            fprintf(stderr, "usage: %s [--cycles N] [--scale S] [--model wcdma6290|cdma] [--every K]\n", argv[0]);
            return 2;
        }
    }
    if (cycles < 1 || scale < 1 || every < 1 || (model != "wcdma6290" && model != "cdma")) {
        fprintf(stderr, "bad arguments\n");
        return 2;
    }
    riltest::GuardRig rig(model, scale);
    if (!rig.symlinked || !rig.ready()) {
        fprintf(stderr, "the family never became ready\n");
        return 1;
    }
    nlohmann::json r = rig.response(rig.d.request(rig.setupLine()), 60s);
    if (r.value("error", -1) != 0 || !riltest::waitUntil([&] { return rig.linkUp(); }, 20s)) {
        fprintf(stderr, "set-up failed: %s\n", r.dump().c_str());
        return 1;
    }
    const char *handover = model == "cdma" ? "ResumeSem: CheckDataStatus" : " check pppd exist";
    LogTail log(rig.d.logPath());
    log.more();
    auto start = std::chrono::steady_clock::now();
    printf("%8s %9s %6s %7s %7s %8s %4s\n", "cycle", "seconds", "pppd", "starts", "chains", "threads", "fds");
    int failures = 0;
    size_t maxChains = 0;
    for (long c = 1; c <= cycles; c++) {
        int startsBefore = rig.pppdStarts();
        rig.module.control("link silent");
        std::string seg;
        bool handed = riltest::waitUntil(
            [&] {
                seg += log.more();
                return seg.find(handover) != std::string::npos;
            },
            std::chrono::milliseconds(200000 / scale + 5000));
        rig.module.control("link ok");
        bool back = handed && riltest::waitUntil(
                                  [&] { return rig.pppdStarts() > startsBefore && rig.linkUp(); },
                                  std::chrono::milliseconds(100000 / scale + 10000));
        size_t chains = tokens(seg).size();
        if (chains > maxChains) maxChains = chains;
        if (!back) {
            failures++;
            fprintf(stderr, "cycle %ld: %s\n", c, handed ? "the link did not come back" : "no hand-over to the guard");
            if (failures > 5) break;
        }
        if (c % every == 0 || c == cycles || !back) {
            double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            printf("%8ld %9.1f %6zu %7d %7zu %8d %4d\n", c, secs, rig.pppd().size(), rig.pppdStarts(), chains,
                   rig.threads(), rig.descriptors());
            fflush(stdout);
        }
    }
    printf("failures %d, most chains seen in one cycle %zu\n", failures, maxChains);
    return failures == 0 && maxChains <= 1 ? 0 : 1;
}
