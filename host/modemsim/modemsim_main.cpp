// modemsim: runs a simulated module until SIGINT/SIGTERM, or talks to a
// running one (client mode). See README.md.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "capture_replay.h"
#include "control.h"
#include "simulated_module.h"

using namespace modemsim;

namespace {

// --replay LOG: answer every command as the module in that log did
bool replayLog(SimulatedModule &module, const std::vector<std::pair<std::string, std::string>> &opts) {
    for (const auto &o : opts) {
        if (o.first != "--replay") continue;
        std::ifstream in(o.second);
        if (!in) throw std::runtime_error("cannot read " + o.second);
        std::stringstream text;
        text << in.rdbuf();
        std::vector<CaptureExchange> capture = parseCapture(text.str());
        if (capture.empty()) throw std::runtime_error("no \"AT> \" lines in " + o.second);
        replayCapture(module, capture);
        return true;
    }
    return false;
}

void usage() {
    fprintf(stderr,
            "usage: modemsim [--sysroot DIR] [--model MODEL] [--control SOCKET] [options]\n"
            "       modemsim --control SOCKET send COMMAND...\n"
            "models: wcdma6290 cdma lte lte8909 asr (default lte); sysroot default $RIL_SYSROOT\n"
            "options: --pin CODE --puk CODE --locked --no-sim --imsi X --cdma-imsi X --iccid X\n"
            "         --imei X --meid X|none --hwinfo N|none --no-network --signal RSSI\n"
            "         --replay LOG  answer as the module in LOG did (the library's AT> and AT< lines)\n"
            "         --reset-gap MS --echo --unplugged --quiet --usb-id VVVV:PPPP\n"
            "Control commands are read from standard input too when it is the\n"
            "foreground terminal ('help' lists them).\n");
}

int clientMode(const std::string &socket, int argc, char **argv, int first) {
    std::string line;
    for (int i = first; i < argc; ++i) {
        if (!line.empty()) line += ' ';
        std::string w = argv[i];
        if (w.find(' ') != std::string::npos) w = "\"" + w + "\"";
        line += w;
    }
    std::string reply;
    bool ok = sendControl(socket, line, &reply);
    fputs(reply.c_str(), ok ? stdout : stderr);
    if (!ok) fputc('\n', stderr);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
    std::string sysroot = getenv("RIL_SYSROOT") ? getenv("RIL_SYSROOT") : "";
    std::string model = "lte", socket;
    std::vector<std::pair<std::string, std::string>> opts;
    bool quiet = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                usage();
                exit(2);
            }
            return argv[++i];
        };
        if (a == "send") {
            if (socket.empty()) {
                usage();
                return 2;
            }
            return clientMode(socket, argc, argv, i + 1);
        } else if (a == "--sysroot") {
            sysroot = value();
        } else if (a == "--model") {
            model = value();
        } else if (a == "--control") {
            socket = value();
        } else if (a == "--quiet") {
            quiet = true;
        } else if (a == "--locked" || a == "--no-sim" || a == "--no-network" || a == "--echo" ||
                   a == "--unplugged") {
            opts.emplace_back(a, "");
        } else if (a == "--pin" || a == "--puk" || a == "--imsi" || a == "--cdma-imsi" || a == "--iccid" ||
                   a == "--imei" || a == "--meid" || a == "--hwinfo" || a == "--signal" || a == "--reset-gap" ||
                   a == "--replay" || a == "--usb-id") {
            opts.emplace_back(a, value());
        } else if (a == "-h" || a == "--help") {
            usage();
            return 0;
        } else {
            usage();
            return 2;
        }
    }
    if (sysroot.empty()) {
        fprintf(stderr, "modemsim: no sysroot (--sysroot or RIL_SYSROOT)\n");
        return 2;
    }

    // every thread inherits the blocked signals; the main loop takes them
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    sigprocmask(SIG_BLOCK, &mask, nullptr);

    std::unique_ptr<SimulatedModule> module;
    std::unique_ptr<ControlServer> server;
    try {
        ModuleConfig cfg = ModuleConfig::forModel(model, sysroot);
        for (const auto &o : opts) {
            // the model's ports under other USB ids ("12D1:1C25")
            if (o.first != "--usb-id") continue;
            size_t colon = o.second.find(':');
            if (colon == std::string::npos) throw std::runtime_error("--usb-id wants VVVV:PPPP");
            cfg.device = UsbTree::model(model);
            cfg.device->vendor = o.second.substr(0, colon);
            cfg.device->product = o.second.substr(colon + 1);
        }
        for (const auto &o : opts) {
            ModuleState &s = cfg.state;
            if (o.first == "--pin") s.sim.pin = o.second;
            else if (o.first == "--puk") s.sim.puk = o.second;
            else if (o.first == "--locked") s.sim.pinEnabled = true;
            else if (o.first == "--no-sim") s.sim.present = false;
            else if (o.first == "--imsi") s.sim.imsi = o.second;
            else if (o.first == "--cdma-imsi") s.sim.cdmaImsi = o.second;
            else if (o.first == "--iccid") s.sim.iccid = o.second;
            else if (o.first == "--imei") s.id.imei = o.second;
            else if (o.first == "--meid") s.id.meid = o.second == "none" ? "" : o.second;
            else if (o.first == "--hwinfo") s.id.hwinfo = o.second == "none" ? -1 : atoi(o.second.c_str());
            else if (o.first == "--no-network") s.net.tech = Tech::None;
            else if (o.first == "--signal") s.net.rssi = atoi(o.second.c_str());
            else if (o.first == "--echo") s.echo = true;
            else if (o.first == "--unplugged") cfg.plugAtStart = false;
            else if (o.first == "--reset-gap") cfg.resetGap = std::chrono::milliseconds(atoi(o.second.c_str()));
            else if (o.first == "--replay") cfg.plugAtStart = false;  // plugged once the answers are set
        }
        if (cfg.state.sim.pinEnabled) cfg.state.sim.lock = SimLock::Pin;
        bool unplugged = false;
        for (const auto &o : opts) unplugged = unplugged || o.first == "--unplugged";
        module = std::make_unique<SimulatedModule>(std::move(cfg));
        if (replayLog(*module, opts) && !unplugged) module->plug();
        if (!socket.empty()) server = std::make_unique<ControlServer>(*module, socket);
    } catch (const std::exception &e) {
        fprintf(stderr, "modemsim: %s\n", e.what());
        return 1;
    }
    if (!quiet) {
        fprintf(stderr, "modemsim: %s module (%s family), AT port %s -> %s%s%s\n", model.c_str(),
                familyName(module->family()), module->atLink().c_str(), module->atPty().c_str(),
                socket.empty() ? "" : ", control ", socket.c_str());
        fflush(stderr);
    }

    int sfd = signalfd(-1, &mask, SFD_CLOEXEC);
    // control lines from standard input only when a person sits at it: a
    // terminal of which we are the foreground (a background job must not
    // be stopped by reading it)
    signal(SIGTTIN, SIG_IGN);
    bool stdinOpen = isatty(0) && tcgetpgrp(0) == getpgrp();
    std::string input;
    for (;;) {
        struct pollfd pfd[2] = {{sfd, POLLIN, 0}, {stdinOpen ? 0 : -1, POLLIN, 0}};
        if (poll(pfd, 2, -1) < 0) continue;
        if (pfd[0].revents) break;
        if (pfd[1].revents) {
            char buf[512];
            ssize_t n = read(0, buf, sizeof buf);
            if (n <= 0) {
                stdinOpen = false;  // keep serving until a signal
                continue;
            }
            input.append(buf, static_cast<size_t>(n));
            size_t nl;
            while ((nl = input.find('\n')) != std::string::npos) {
                std::string line = input.substr(0, nl);
                input.erase(0, nl + 1);
                if (line == "quit" || line == "exit") {
                    close(sfd);
                    return 0;
                }
                printf("%s\n", executeControl(*module, line).c_str());
                fflush(stdout);
            }
        }
    }
    close(sfd);
    return 0;
}
