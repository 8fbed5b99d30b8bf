// A data call under the connection guard, end to end: the real host daemon
// on the real library, the simulated module and the platform-program
// stand-ins in a temporary sysroot, on a compressed clock. Shared by the
// guard's fault tests and the silent-link soak program; no test framework
// inside.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "daemon_harness.h"
#include "link_control.h"
#include "ril_interface.h"
#include "simulated_module.h"
#include "temp_root.h"

namespace riltest {

inline int countDirEntries(const std::string &dir) {
    int n = 0;
    DIR *d = opendir(dir.c_str());
    if (d == nullptr) return -1;
    while (struct dirent *e = readdir(d))
        if (e->d_name[0] != '.') n++;
    closedir(d);
    return n;
}

inline size_t countOf(const std::string &text, const std::string &what) {
    size_t n = 0;
    for (size_t i = text.find(what); i != std::string::npos; i = text.find(what, i + what.size())) n++;
    return n;
}

struct GuardRig {
    explicit GuardRig(const std::string &model, long scale, const std::map<std::string, std::string> &props = {},
                      const std::string &pppdConf = "", const std::map<std::string, std::string> &env = {})
        : module(config(model)), d(root) {
        makeDirs(root.at("/sysroot/system/bin"));
        for (const char *tool : {"pppd", "ping", "netcfg", "ps"}) {
            std::string src = std::string(RIL_BUILD_DIR) + "/sysroot-tools/" + tool;
            symlinked = symlink(src.c_str(), root.at(std::string("/sysroot/system/bin/") + tool).c_str()) == 0 &&
                        symlinked;
        }
        if (!pppdConf.empty()) pppdConfig(pppdConf);
        DaemonOptions opt;
        opt.timeScale = scale;
        opt.properties = props;
        opt.env = env;
        d.start(opt);
    }
    modemsim::ModuleConfig config(const std::string &model) {
        modemsim::ModuleConfig cfg = modemsim::ModuleConfig::forModel(model, root.path() + "/sysroot");
        cfg.resetGap = std::chrono::milliseconds(200);
        return cfg;
    }
    static bool isType(const nlohmann::json &m, const char *type) {
        return m.is_object() && m.value("type", "") == type;
    }
    // the family took its ready radio state (and for SIM families the SIM)
    bool ready() {
        int want = module.family() == modemsim::Family::Lte     ? RADIO_STATE_ON
                   : module.family() == modemsim::Family::Wcdma ? RADIO_STATE_SIM_READY
                                                                : RADIO_STATE_RUIM_READY;
        bool state = waitUntil(
            [this, want] {
                for (const nlohmann::json &m : d.messages())
                    if (isType(m, "unsol") && m.value("code", 0) == RIL_UNSOL_RESPONSE_RADIO_STATE_CHANGED &&
                        m.value("radio_state", -1) == want)
                        return true;
                return false;
            },
            std::chrono::seconds(60));
        if (!state || module.family() == modemsim::Family::Cdma) return state;
        return waitUntil([this] { return d.property("gsm.sim.state") == "READY"; }, std::chrono::seconds(30));
    }
    std::string setupLine() const {
        switch (module.family()) {
        case modemsim::Family::Cdma: return "data ctnet";
        case modemsim::Family::Wcdma: return "data 3gnet";
        default: return "data cmnet";
        }
    }
    nlohmann::json response(long token, std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
        return d.waitResponse(token, timeout);
    }
    int unsols(int code) {
        return d.count([code](const nlohmann::json &m) { return isType(m, "unsol") && m.value("code", 0) == code; });
    }
    bool waitUnsols(int code, int n, std::chrono::milliseconds timeout) {
        return waitUntil([&] { return unsols(code) >= n; }, timeout);
    }
    int responses(long token) {
        return d.count([token](const nlohmann::json &m) { return isType(m, "response") && m.value("token", -1L) == token; });
    }
    std::vector<int> pppd() { return modemsim::runningPppd(d.sysroot()); }
    // pppd runs started (records under run/pppd)
    int pppdStarts() {
        int n = 0;
        DIR *dd = opendir(root.at("/sysroot/run/pppd").c_str());
        if (dd == nullptr) return 0;
        while (struct dirent *e = readdir(dd))
            if (e->d_name[0] != '.' && strchr(e->d_name, '.') == nullptr) n++;
        closedir(dd);
        return n;
    }
    int dials() {
        int n = 0;
        for (const auto &r : module.received())
            if (r.port == modemsim::Port::Modem && r.text.compare(0, 3, "ATD") == 0) n++;
        return n;
    }
    size_t logCount(const std::string &text) const { return countOf(d.logText(), text); }
    bool logged(const std::string &text, std::chrono::milliseconds timeout = std::chrono::seconds(20), size_t n = 1) {
        return waitUntil([&] { return logCount(text) >= n; }, timeout);
    }
    // the log after the first `from` bytes
    std::string logFrom(size_t from) const {
        std::string all = d.logText();
        return from < all.size() ? all.substr(from) : std::string();
    }
    bool linkUp() { return d.property("net.ppp0.local-ip") == "10.64.78.9" && pppd().size() == 1; }
    void pppdConfig(const std::string &text) { root.writeFile("/sysroot/etc/pppd-standin.conf", text); }
    int threads() { return countDirEntries("/proc/" + std::to_string(d.pid()) + "/task"); }
    int descriptors() { return countDirEntries("/proc/" + std::to_string(d.pid()) + "/fd"); }

    bool symlinked = true;
    TempRoot root;
    modemsim::SimulatedModule module;
    DaemonHarness d;  // declared after the module: the daemon ends first
};

}  // namespace riltest
