// The table of differences between the two deliverables: every case is
// checked from the outside on the current library (libreference-ril.so) and
// on the legacy one (lib-ril-kivo.so), and holds for one and not the other.
#include <arpa/inet.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <dirent.h>
#include <string.h>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "daemon_harness.h"
#include "link_control.h"
#include "ril_interface.h"
#include "simulated_module.h"

using modemsim::ModuleConfig;
using modemsim::SimulatedModule;
using nlohmann::json;
using riltest::DaemonHarness;
using riltest::DaemonOptions;
using riltest::TempRoot;
using namespace std::chrono_literals;

namespace {

// a moderate clock: the legacy build's CFUN commands have a 1 s time-out,
// which a faster clock would squeeze below a loaded machine's latency
constexpr long kScale = 10;

struct Build {
    const char *name;
    bool legacy;
    std::string path() const { return legacy ? riltest::legacyLibrary() : riltest::currentLibrary(); }
};
void PrintTo(const Build &b, std::ostream *os) { *os << b.name; }
const Build kBuilds[] = {{"current", false}, {"legacy", true}};

std::string buildName(const ::testing::TestParamInfo<Build> &i) { return i.param.name; }

// The real daemon on one build with a simulated module of the given model.
struct Rig {
    Rig(const Build &b, const std::string &model, bool tools = false) : module(config(model)), d(root) {
        if (tools) {
            // the platform programs a data call runs
            riltest::makeDirs(root.at("/sysroot/system/bin"));
            for (const char *tool : {"pppd", "ping", "netcfg", "ps"}) {
                std::string src = std::string(RIL_BUILD_DIR) + "/sysroot-tools/" + tool;
                EXPECT_EQ(symlink(src.c_str(), root.at(std::string("/sysroot/system/bin/") + tool).c_str()), 0);
            }
        }
        DaemonOptions opt;
        opt.library = b.path();
        opt.timeScale = kScale;
        opt.env["RIL_LOG_BUFFERS"] = root.path() + "/log-buffers";
        d.start(opt);
    }
    ModuleConfig config(const std::string &model) {
        ModuleConfig cfg = ModuleConfig::forModel(model, root.path() + "/sysroot");
        cfg.resetGap = 200ms;
        return cfg;
    }
    bool ready(const char *property) {
        return riltest::waitUntil([&] { return !d.property(property).empty() && d.property(property) != "<unset>"; },
                                  40s);
    }
    json ask(const std::string &line) {
        json r = d.waitResponse(d.request(line), 30s);
        EXPECT_TRUE(r.is_object()) << line;
        return r.is_object() ? r : json::object();
    }
    size_t count(const std::string &cmd, size_t from = 0) {
        auto cmds = module.commands();
        return (size_t)std::count(cmds.begin() + (long)std::min(from, cmds.size()), cmds.end(), cmd);
    }
    // the argument vectors of a platform program, as its stand-in recorded them
    std::map<int, std::vector<std::string>> pppdArgs() { return programArgs("pppd"); }
    std::map<int, std::vector<std::string>> programArgs(const std::string &tool) {
        std::map<int, std::vector<std::string>> runs;
        std::string dir = root.at("/sysroot/run/" + tool);
        DIR *dd = opendir(dir.c_str());
        if (dd == nullptr) return runs;
        while (struct dirent *e = readdir(dd)) {
            if (e->d_name[0] == '.' || strchr(e->d_name, '.') != nullptr) continue;
            std::string all = riltest::readFile(dir + "/" + e->d_name);
            std::vector<std::string> argv;
            size_t i = 0;
            while (i < all.size()) {
                size_t z = all.find('\0', i);
                if (z == std::string::npos) z = all.size();
                argv.push_back(all.substr(i, z - i));
                i = z + 1;
            }
            runs[atoi(e->d_name)] = argv;
        }
        closedir(dd);
        return runs;
    }
    // a data call set up, its pppd running with the stand-in's address
    ::testing::AssertionResult dataUp(const std::string &line) {
        if (!riltest::waitUntil([&] { return d.property("gsm.sim.state") == "READY"; }, 60s))
            return ::testing::AssertionFailure() << "SIM never ready";
        json r = ask(line);
        if (r.value("error", -1) != 0) return ::testing::AssertionFailure() << r.dump();
        if (!riltest::waitUntil([&] { return linkUp(); }, 10s)) return ::testing::AssertionFailure() << "no link";
        return ::testing::AssertionSuccess();
    }
    bool linkUp() {
        return d.property("net.ppp0.local-ip") == "10.64.78.9" && modemsim::runningPppd(d.sysroot()).size() == 1;
    }
    std::string logFrom(size_t from) const {
        std::string all = d.logText();
        return from < all.size() ? all.substr(from) : std::string();
    }
    int unsols(int code) {
        return d.count([code](const json &m) { return m.value("type", "") == "unsol" && m.value("code", 0) == code; });
    }
    // the ping stand-in behind a script that waits while the file
    // run/ping-hold exists (20 s at most): a checker is caught in its probes
    void holdablePing() {
        std::string bin = root.at("/sysroot/system/bin/ping");
        unlink(bin.c_str());
        std::ofstream f(bin);
        f << "#!/bin/sh\n"
          << "n=0\n"
          << "while [ -e '" << root.at("/sysroot/run/ping-hold") << "' ] && [ $n -lt 400 ]; do sleep 0.05; n=$((n+1)); done\n"
          << "exec '" << RIL_BUILD_DIR << "/sysroot-tools/ping' \"$@\"\n";
        f.close();
        chmod(bin.c_str(), 0755);
    }
    std::string buffers() const {
        std::ifstream f(root.path() + "/log-buffers");
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    TempRoot root;
    SimulatedModule module;
    DaemonHarness d;  // last: the daemon ends before the module goes
};

class Difference : public ::testing::TestWithParam<Build> {};

// The cases that load a library into this program log to one file: the
// platform log opens its destination once per process.
const std::string &processLog() {
    static TempRoot root;
    static const std::string path = root.at("/ril.log");
    return path;
}
const bool kProcessLogSet = setenv("RIL_LOG", processLog().c_str(), 1) == 0;

/* ---- the exported entry points ---- */

TEST_P(Difference, ExportsOfEachBuild) {
    const bool legacy = GetParam().legacy;
    void *lib = dlopen(GetParam().path().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    EXPECT_EQ(dlsym(lib, "RIL_SAP_Init") != nullptr, !legacy);
    for (const char *name : {"DownNV", "wnv", "GetNVItem", "SendTcp", "ComputeTxCRC", "m_pTxBuf", "m_nTxLen",
                             "crc_table", "querydns"})
        EXPECT_EQ(dlsym(lib, name) != nullptr, legacy) << name;
    for (const char *name : {"RIL_Init", "TestDeviceExists"}) EXPECT_NE(dlsym(lib, name), nullptr) << name;
    dlclose(lib);
}

/* ---- TestDeviceExists looks for the modem port only in the legacy build ---- */

TEST_P(Difference, TestDeviceExistsLooksForTheModemPort) {
    TempRoot root;
    root.writeFile("/sysroot/dev/ttyUSB0", "");
    setenv("RIL_SYSROOT", root.at("/sysroot").c_str(), 1);
    void *lib = dlopen(GetParam().path().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto test = (int (*)(void))dlsym(lib, "TestDeviceExists");
    auto port = (char *)dlsym(lib, "g_data_device_path");
    ASSERT_NE(test, nullptr);
    ASSERT_NE(port, nullptr);
    snprintf(port, 16, "%s", "ttyUSB0");
    EXPECT_EQ(test(), 1);
    snprintf(port, 16, "%s", "ttyUSB9");  // no such device file
    EXPECT_EQ(test(), GetParam().legacy ? 0 : 1);
    dlclose(lib);
    unsetenv("RIL_SYSROOT");
}

/* ---- the AT channel greets the module in the legacy build ---- */

TEST_P(Difference, FirstTextOnTheWireAndTheLogBuffer) {
    Rig r(GetParam(), "lte");
    ASSERT_TRUE(r.ready("ril.kivo.iccid")) << r.d.logText();
    auto cmds = r.module.commands();
    ASSERT_FALSE(cmds.empty());
    if (GetParam().legacy) {
        EXPECT_EQ(cmds.front(), "ATE0Q0V1");
    } else {
        EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "ATE0Q0V1"), 0);
    }
    // the library logs to the main log (0) in the legacy build, to the radio log (1) otherwise
    r.d.waitResponse(r.d.request("-3"));  // a rejected request writes a "RIL" line
    std::string buffers = r.buffers();
    const char mine = GetParam().legacy ? '0' : '1';
    const char other = GetParam().legacy ? '1' : '0';
    for (const char *tag : {" AT\n", " RIL\n"}) {
        EXPECT_NE(buffers.find(mine + std::string(tag)), std::string::npos) << tag;
        EXPECT_EQ(buffers.find(other + std::string(tag)), std::string::npos) << tag;
    }
}

/* ---- discovery: a 12D1 module of product 1C25 or 1404 ---- */

TEST_P(Difference, A12D1ModuleIsFoundAsLteOnlyByTheLegacyBuild) {
    for (const char *product : {"1C25", "1404"}) {
        TempRoot root;
        ModuleConfig cfg = ModuleConfig::forModel("lte", root.path() + "/sysroot");
        cfg.device = modemsim::UsbTree::model("lte");
        cfg.device->vendor = "12D1";
        cfg.device->product = product;
        SimulatedModule module(cfg);
        DaemonHarness d(root);
        DaemonOptions opt;
        opt.library = GetParam().path();
        opt.timeScale = 100;  // the fifteen looks of a build that finds nothing
        d.start(opt);
        json init = d.waitFor([](const json &m) { return m.value("type", "") == "init"; }, 20s);
        ASSERT_FALSE(init.is_null()) << product;
        EXPECT_EQ(init.value("family", -1), GetParam().legacy ? 2 : 0) << product;
        EXPECT_EQ(d.logText().find("  is   a 1404 lte module  ") != std::string::npos, GetParam().legacy) << product;
        // LTE sub-type 4: its voice type
        if (GetParam().legacy) {
            EXPECT_TRUE(module.waitForCommand("AT+VTYPE =4", 20s)) << product;
        }
    }
}

/* ---- requests the legacy tables lack, and SIM_IO ---- */

struct Missing {
    const char *model;
    const char *readyProperty;
    const char *line;
    int currentError;
};

TEST_P(Difference, RequestsWithoutAHandlerAndSimIo) {
    const Missing cases[] = {
        {"lte", "ril.kivo.iccid", "RIL_REQUEST_ALLOW_DATA 1", RIL_E_SUCCESS},
        {"lte", "ril.kivo.iccid", "RIL_REQUEST_GET_RADIO_CAPABILITY", RIL_E_SUCCESS},
        {"lte", "ril.kivo.iccid", "RIL_REQUEST_START_LCE 1000 0", RIL_E_SUCCESS},
        {"lte", "ril.kivo.iccid", "RIL_REQUEST_QUERY_TTY_MODE", RIL_E_SUCCESS},
        {"lte", "ril.kivo.iccid", "RIL_REQUEST_SET_TTY_MODE 0", -1},
        {"lte", "ril.kivo.iccid", "RIL_REQUEST_GET_HARDWARE_CONFIG", RIL_E_REQUEST_NOT_SUPPORTED},
        {"wcdma6290", "ril.kivo.cimi", "RIL_REQUEST_ALLOW_DATA 1", RIL_E_SUCCESS},
        {"wcdma6290", "ril.kivo.cimi", "RIL_REQUEST_GET_RADIO_CAPABILITY", RIL_E_SUCCESS},
        {"wcdma6290", "ril.kivo.cimi", "RIL_REQUEST_GET_HARDWARE_CONFIG", RIL_E_REQUEST_NOT_SUPPORTED},
    };
    for (const char *model : {"lte", "wcdma6290"}) {
        Rig r(GetParam(), model);
        const char *prop = std::string(model) == "lte" ? "ril.kivo.iccid" : "ril.kivo.cimi";
        ASSERT_TRUE(r.ready(prop)) << r.d.logText();
        for (const Missing &c : cases) {
            if (std::string(c.model) != model) continue;
            json resp = r.d.waitResponse(r.d.request(c.line), 20s);
            ASSERT_TRUE(resp.is_object()) << model << " " << c.line;
            if (GetParam().legacy) {
                // the empty-entry path of the family: generic failure
                EXPECT_EQ(resp.value("error", -1), RIL_E_GENERIC_FAILURE) << model << " " << c.line;
            } else if (c.currentError >= 0) {
                EXPECT_EQ(resp.value("error", -1), c.currentError) << model << " " << c.line;
            } else {
                EXPECT_NE(resp.value("error", -1), RIL_E_GENERIC_FAILURE) << model << " " << c.line;
            }
        }
        EXPECT_EQ(r.d.logText().find("not supported! ") != std::string::npos, GetParam().legacy);
        // reading the ICCID file: answered by the current build, failed by the legacy one
        json io = r.d.waitResponse(r.d.request("RIL_REQUEST_SIM_IO 176 12258 3F00 0 0 10"), 20s);
        ASSERT_TRUE(io.is_object());
        if (GetParam().legacy)
            EXPECT_EQ(io.value("error", -1), RIL_E_GENERIC_FAILURE) << io.dump();
        else
            EXPECT_EQ(io.value("error", -1), RIL_E_SUCCESS) << io.dump();
    }
}

/* ---- the WCDMA data call: dial string and the pppd command text ---- */

TEST_P(Difference, WcdmaDataCallDialsAndRunsPppdInTheBuildsForm) {
    const bool legacy = GetParam().legacy;
    TempRoot root;
    riltest::makeDirs(root.at("/sysroot/system/bin"));
    for (const char *tool : {"pppd", "ping", "netcfg", "ps"}) {
        std::string src = std::string(RIL_BUILD_DIR) + "/sysroot-tools/" + tool;
        ASSERT_EQ(symlink(src.c_str(), root.at(std::string("/sysroot/system/bin/") + tool).c_str()), 0);
    }
    ModuleConfig cfg = ModuleConfig::forModel("wcdma6290", root.path() + "/sysroot");
    cfg.resetGap = 200ms;
    SimulatedModule module(cfg);
    DaemonHarness d(root);
    DaemonOptions opt;
    opt.library = GetParam().path();
    opt.timeScale = kScale;
    d.start(opt);
    ASSERT_TRUE(riltest::waitUntil([&] { return d.property("gsm.sim.state") == "READY"; }, 60s)) << d.logText();
    json r = d.waitResponse(d.request("data 3gnet"), 60s);
    ASSERT_TRUE(r.is_object());
    EXPECT_EQ(r.value("error", -1), 0) << r.dump();
    // the record of each interface: the legacy one has no pcscf and no mtu
    EXPECT_EQ(r.value("length", -1L), legacy ? (long)sizeof(RIL_Data_Call_Response_v6)
                                             : (long)sizeof(RIL_Data_Call_Response_v11));
    ASSERT_TRUE(r["data"].is_array() && r["data"].size() == 1) << r.dump();
    EXPECT_EQ(r["data"][0].contains("pcscf"), !legacy);
    EXPECT_EQ(r["data"][0].contains("mtu"), !legacy);
    EXPECT_EQ(r["data"][0].value("ifname", ""), "ppp0");
    EXPECT_EQ(r["data"][0].value("cid", -1), 1);
    json list = d.waitResponse(d.request("RIL_REQUEST_DATA_CALL_LIST"), 30s);
    ASSERT_TRUE(list.is_object());
    EXPECT_EQ(list.value("error", -1), 0) << list.dump();
    EXPECT_EQ(list.value("length", -1L) % (long)(legacy ? sizeof(RIL_Data_Call_Response_v6)
                                                        : sizeof(RIL_Data_Call_Response_v11)), 0);
    EXPECT_GE(list.value("length", -1L), 1L);
    std::vector<std::string> cmds;
    for (const auto &rc : module.received())
        if (rc.port == modemsim::Port::Modem) cmds.push_back(rc.text);
    const char *mine = legacy ? "ATD*99***1#" : "ATDT*99***1#";
    const char *other = legacy ? "ATDT*99***1#" : "ATD*99***1#";
    EXPECT_GE(std::count(cmds.begin(), cmds.end(), mine), 1);
    EXPECT_EQ(std::count(cmds.begin(), cmds.end(), other), 0);
    // form 3 of the pppd line: the legacy text ends in two blanks and "$*"
    std::string log = d.logText();
    const std::string tail = legacy ? "ipcp-accept-remote  noipdefault  $*\n" : "ipcp-accept-remote  noipdefault \n";
    EXPECT_NE(log.find(tail), std::string::npos) << log.substr(log.find("pppd command: ") == std::string::npos
                                                                  ? 0 : log.find("pppd command: "), 600);
    EXPECT_EQ(log.find("$*") != std::string::npos, legacy);
}

/* ---- WCDMA: a long loss of signal restarts the radio (legacy) or the module ---- */

TEST_P(Difference, WcdmaLongLossOfSignalRecovery) {
    TempRoot root;
    ModuleConfig cfg = ModuleConfig::forModel("wcdma6290", root.path() + "/sysroot");
    cfg.resetGap = 200ms;
    cfg.state.net.rssi = 0;
    SimulatedModule module(cfg);
    DaemonHarness d(root);
    DaemonOptions opt;
    opt.library = GetParam().path();
    opt.timeScale = kScale;
    d.start(opt);
    // the signal polls run until the module has been without signal for 30 s
    if (GetParam().legacy) {
        ASSERT_TRUE(module.waitForCommand("AT+CFUN=0", 90s)) << d.logText();
        size_t from = 0;
        auto cmds = module.commands();
        for (size_t i = 0; i < cmds.size(); i++)
            if (cmds[i] == "AT+CFUN=0") from = i;
        EXPECT_TRUE(module.waitForCommand("AT+CFUN=1", 30s, from));
        EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "AT^RESET"), 0);
    } else {
        ASSERT_TRUE(module.waitForCommand("AT^RESET", 90s)) << d.logText();
    }
}

/* ---- the completion path of the USSD, toolkit and SIM file routines ---- */

TEST_P(Difference, UssdToolkitAndSimIoAnswerThroughTheDaemonLibraryInTheLegacyBuild) {
    Rig r(GetParam(), "lte");
    ASSERT_TRUE(r.ready("ril.kivo.iccid")) << r.d.logText();
    const std::string mine = GetParam().legacy ? "daemon-library" : "env";
    ASSERT_EQ(r.module.control("ussd answer plain \"Bundle activated\""), "OK");
    json u = r.ask("ussd *100#");
    EXPECT_EQ(u.value("error", -1), 0) << u.dump();
    EXPECT_EQ(u.value("via", ""), mine) << u.dump();
    json note = r.d.waitUnsol(RIL_UNSOL_ON_USSD, 20s);
    ASSERT_TRUE(note.is_object()) << r.d.logText();
    EXPECT_EQ(note.value("via", ""), mine) << note.dump();
    json cancel = r.ask("RIL_REQUEST_CANCEL_USSD");
    EXPECT_EQ(cancel.value("via", ""), mine) << cancel.dump();
    for (const char *line : {"RIL_REQUEST_STK_HANDLE_CALL_SETUP_REQUESTED_FROM_SIM 1",
                             "RIL_REQUEST_STK_SEND_ENVELOPE_COMMAND d30e", "RIL_REQUEST_SIM_IO 176 12258 3F00 0 0 10"}) {
        json a = r.ask(line);
        EXPECT_EQ(a.value("via", ""), mine) << line << " " << a.dump();
    }
    // every other request answers through the RIL_Env on both builds
    for (const char *line : {"RIL_REQUEST_SIGNAL_STRENGTH", "RIL_REQUEST_GET_SIM_STATUS"}) {
        json a = r.ask(line);
        EXPECT_EQ(a.value("via", ""), "env") << line << " " << a.dump();
    }
    EXPECT_EQ(r.d.count([](const json &m) {
                  return m.value("type", "") == "unsol" && m.value("code", 0) != RIL_UNSOL_ON_USSD &&
                         m.value("via", "") != "env";
              }),
              0);
}

/* ---- the preset PPP account ---- */

TEST_P(Difference, PresetPppAccountAndAuthenticationOption) {
    void *lib = dlopen(GetParam().path().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto user = (const char *)dlsym(lib, "g_pppduser");
    auto pass = (const char *)dlsym(lib, "g_pppdwd");
    auto auth = (const char *const *)dlsym(lib, "g_auth_option");
    auto pap = (const int *)dlsym(lib, "is_pap");
    ASSERT_TRUE(user != nullptr && pass != nullptr && auth != nullptr && pap != nullptr);
    // the legacy build starts with the CDMA default account, without the option words
    EXPECT_STREQ(user, GetParam().legacy ? "ctnet@mycdma.cn" : " ");
    EXPECT_STREQ(pass, GetParam().legacy ? "vnet.mobi" : " ");
    ASSERT_NE(*auth, nullptr);
    EXPECT_STREQ(*auth, "");
    EXPECT_EQ(*pap, 0);
    dlclose(lib);
}

/* ---- the LTE data call: authentication option, pppd form, deactivation ---- */

struct AuthCase {
    const char *type;     // request argument [5]
    const char *option;   // the legacy option text ("" none)
    bool papForm;         // the legacy line is form 2, the only one of the set-up that shows the option
};

TEST_P(Difference, LteSetUpTakesTheAuthenticationTypeOnlyInTheLegacyBuild) {
    const bool legacy = GetParam().legacy;
    // one daemon: is_pap stays set once type 1 chose form 2 ("2" clears it)
    // last, a hostile type: no option text comes of it
    const AuthCase cases[] = {{"3", "", false},  {"0", "-pap -chap", false}, {"1", "-chap", true},
                              {"2", "-pap", false}, {"1;reboot", "", false}};
    Rig r(GetParam(), "lte", true);
    ASSERT_TRUE(r.ready("ril.kivo.iccid")) << r.d.logText();
    ASSERT_TRUE(riltest::waitUntil([&] { return r.d.property("gsm.sim.state") == "READY"; }, 30s));
    for (const AuthCase &c : cases) {
        auto runsBefore = r.pppdArgs();
        size_t logBefore = r.d.logText().size();
        json up = r.ask(std::string("RIL_REQUEST_SETUP_DATA_CALL 14 0 cmnet bob s3cret ") + c.type);
        ASSERT_EQ(up.value("error", -1), 0) << c.type << " " << up.dump() << r.d.logText();
        ASSERT_TRUE(riltest::waitUntil([&] { return r.pppdArgs().size() > runsBefore.size(); }, 20s)) << c.type;
        std::vector<std::string> argv;  // the run of this set-up
        for (const auto &a : r.pppdArgs())
            if (runsBefore.count(a.first) == 0) argv = a.second;
        std::string log = r.d.logText().substr(logBefore);
        size_t at = log.find("pppd command: ");
        ASSERT_NE(at, std::string::npos) << c.type;
        std::string line = log.substr(at, log.find('\n', at) - at);
        bool form2 = line.find("-am ") != std::string::npos;
        if (legacy) {
            EXPECT_EQ(form2, c.papForm) << line;
            EXPECT_EQ(line.size() >= 2 && line.compare(line.size() - 2, 2, "$*") == 0, true) << line;
            // form 3 carries no option text; form 2 does
            if (c.papForm) {
                EXPECT_NE(line.find(std::string("refuse-chap ") + c.option + "  novjccomp"), std::string::npos) << line;
                EXPECT_NE(line.find("-am $*"), std::string::npos) << line;
                EXPECT_NE(std::find(argv.begin(), argv.end(), "-chap"), argv.end());
            }
            if (std::string(c.type) == "1;reboot") {
                EXPECT_EQ(std::find(argv.begin(), argv.end(), "-chap"), argv.end());
                EXPECT_EQ(line.find("reboot"), std::string::npos) << line;
            }
        } else {
            EXPECT_FALSE(form2) << line;
            EXPECT_EQ(line.find("-chap"), std::string::npos) << line;
            EXPECT_EQ(line.find("-pap"), std::string::npos) << line;
        }
        size_t mark = r.module.commands().size();
        json down = r.ask("RIL_REQUEST_DEACTIVATE_DATA_CALL 1");
        EXPECT_EQ(down.value("error", -1), 0) << down.dump();
        // the legacy build drops the context, the current one the module's data
        EXPECT_EQ(r.count("AT+CGACT=0, 1", mark), legacy ? 1u : 0u) << c.type;
        if (std::string(c.type) == "3") {
            // the ping thread of a successful dial: its probe command
            ASSERT_TRUE(riltest::waitUntil([&] { return !r.programArgs("ping").empty(); }, 10s));
            std::vector<std::string> ping = r.programArgs("ping").begin()->second;
            ASSERT_GE(ping.size(), 2u);
            std::vector<std::string> opts(ping.begin() + 1, ping.end() - 1);
            const std::vector<std::string> want =
                legacy ? std::vector<std::string>{"-c", "1"} : std::vector<std::string>{"-s", "1", "-c", "1"};
            EXPECT_EQ(opts, want);
        }
        EXPECT_EQ(r.count("AT^DATADOWN", mark), legacy ? 0u : 1u) << c.type;
    }
}

/* ---- LTE initialization and SIM-ready commands ---- */

TEST_P(Difference, LteInitializationAndSimReadyCommands) {
    const bool legacy = GetParam().legacy;
    for (const char *model : {"lte", "lte8909"}) {
        Rig r(GetParam(), model);
        ASSERT_TRUE(r.ready("ril.kivo.iccid")) << model << r.d.logText();
        std::string log = r.d.logText();
        bool qc = log.find("is_fddandevdo is 1, in onSIMReady()") != std::string::npos &&
                  std::string(model) != "lte8909";
        std::vector<std::string> simReady =
            qc ? std::vector<std::string>{"AT$QCPMS=\"SM\",\"SM\",\"SM\"", "AT$QCMGD=3", "at$qcnmi=1,1"}
               : std::vector<std::string>{"AT+CPMS=\"SM\",\"SM\",\"SM\"", "AT+CMGD=3", "AT+CSMS=1", "AT+CSMS=0",
                                          "at+cnmi=1,1"};
        simReady.push_back("AT+MMSMODE=1");
        simReady.push_back("AT^KVSMSDELAY=0");
        auto cmds = r.module.commands();
        size_t from = 0;
        for (const std::string &c : simReady) {
            auto it = std::find(cmds.begin() + (long)from, cmds.end(), c);
            EXPECT_EQ(it != cmds.end(), legacy) << model << " " << c;
            if (it != cmds.end()) from = (size_t)(it - cmds.begin()) + 1;
        }
        EXPECT_EQ(r.count("AT+VTYPE =3"), legacy ? 1u : 0u) << model;
        EXPECT_EQ(r.count("AT+VTYPE =4"), 0u) << model;
        // the 8909 kind's speaker level, in the LTE initialization
        EXPECT_EQ(r.count("AT+CLVL=7"), legacy && std::string(model) == "lte8909" ? 1u : 0u) << model;
        EXPECT_EQ(r.count("AT+CFUN=1,1"), 0u) << model;
    }
}

/* ---- LTE: a second dial during a call ---- */

TEST_P(Difference, LteDialDuringACallRaisesTheOutputGainInTheLegacyBuild) {
    Rig r(GetParam(), "lte");
    ASSERT_TRUE(r.ready("ril.kivo.iccid")) << r.d.logText();
    EXPECT_EQ(r.ask("dial 10086").value("error", -1), 0);
    EXPECT_EQ(r.count("AT+COUTGAIN=8"), 0u) << "no call was up";
    size_t mark = r.module.commands().size();
    r.ask("dial 10010");
    auto cmds = r.module.commands();
    auto gain = std::find(cmds.begin() + (long)mark, cmds.end(), "AT+COUTGAIN=8");
    auto dial = std::find(cmds.begin() + (long)mark, cmds.end(), "ATD10010;");
    ASSERT_NE(dial, cmds.end());
    if (GetParam().legacy) {
        ASSERT_NE(gain, cmds.end());
        EXPECT_LT(gain, dial);
        EXPECT_NE(r.d.logText().find("--dial is incall---"), std::string::npos);
    } else {
        EXPECT_EQ(gain, cmds.end());
    }
}

/* ---- LTE: the module goes away and comes back ---- */

TEST_P(Difference, LteModuleThatComesBackLateRestartsTheLegacyDaemon) {
    Rig r(GetParam(), "lte");
    ASSERT_TRUE(r.ready("ril.kivo.iccid")) << r.d.logText();
    r.module.unplug();
    // back after at least one look missed it
    ASSERT_TRUE(riltest::waitUntil(
        [&] { return r.d.logText().find("search device: attempt 1 result 0") != std::string::npos; }, 20s))
        << r.d.logText();
    r.module.plug();
    if (GetParam().legacy) {
        EXPECT_EQ(r.d.waitExit(30s), 0) << r.d.logText();
        std::string log = r.d.logText();
        EXPECT_NE(log.find("----restart ril after 6s----"), std::string::npos) << log;
        EXPECT_EQ(log.find("Re-opening after close"), std::string::npos);
        EXPECT_GE(r.d.count([](const json &m) {
                      return m.value("type", "") == "unsol" && m.value("code", 0) == RIL_UNSOL_DATA_CALL_LIST_CHANGED;
                  }),
                  1);
    } else {
        EXPECT_TRUE(riltest::waitUntil(
            [&] { return r.d.logText().find("Re-opening after close") != std::string::npos; }, 30s));
        EXPECT_TRUE(r.d.running());
        EXPECT_EQ(r.d.logText().find("----restart ril after 6s----"), std::string::npos);
    }
}

TEST_P(Difference, LteModuleThatNeverComesBackEndsTheLegacyDaemonAtOnce) {
    Rig r(GetParam(), "lte");
    ASSERT_TRUE(r.ready("ril.kivo.iccid")) << r.d.logText();
    r.module.unplug();
    ASSERT_TRUE(riltest::waitUntil(
        [&] { return r.d.logText().find("search device: attempt 18 result 0") != std::string::npos; }, 30s))
        << r.d.logText();
    if (GetParam().legacy) {
        EXPECT_EQ(r.d.waitExit(10s), 0);
        EXPECT_EQ(r.d.logText().find("----restart ril after 6s----"), std::string::npos);
    } else {
        EXPECT_TRUE(riltest::waitUntil(
            [&] { return r.d.logText().find("*******missed device*******") != std::string::npos; }, 10s));
        EXPECT_TRUE(r.d.running());
    }
}

/* ---- the link checkers ---- */

size_t countOf(const std::string &text, const std::string &what) {
    size_t n = 0;
    for (size_t i = text.find(what); i != std::string::npos; i = text.find(what, i + what.size())) n++;
    return n;
}

// when each run of the LTE checker began: the time of day of its log line
// ("MM-DD HH:MM:SS.mmm ..."), in real milliseconds
std::vector<long> lteCheckTimes(const std::string &log) {
    std::vector<long> out;
    const std::string key = "link check LTE token ";
    for (size_t i = log.find(key); i != std::string::npos; i = log.find(key, i + key.size())) {
        size_t bol = log.rfind('\n', i);
        bol = bol == std::string::npos ? 0 : bol + 1;
        int h = 0, m = 0, sec = 0, ms = 0;
        if (sscanf(log.c_str() + bol, "%*d-%*d %d:%d:%d.%d", &h, &m, &sec, &ms) == 4)
            out.push_back(((h * 60L + m) * 60L + sec) * 1000L + ms);
    }
    return out;
}

TEST_P(Difference, WcdmaSilentLinkDnsProbesAndTheReportAtTheHandOver) {
    const bool legacy = GetParam().legacy;
    Rig r(GetParam(), "wcdma6290", true);
    ASSERT_TRUE(r.dataUp("data 3gnet")) << r.d.logText();
    int reports = r.unsols(RIL_UNSOL_DATA_CALL_LIST_CHANGED);
    auto before = r.programArgs("ping");
    size_t mark = r.d.logText().size();
    ASSERT_EQ(r.module.control("link silent"), "OK");
    ASSERT_TRUE(riltest::waitUntil([&] { return r.logFrom(mark).find(" check pppd exist") != std::string::npos; }, 30s))
        << r.logFrom(mark);
    // both DNS tests found nothing, the second after the switch of "net.dns1"
    std::string probe = r.logFrom(mark);
    EXPECT_EQ(countOf(probe, "dns result is:0"), 2u) << probe;
    EXPECT_NE(probe.find("dns_test: net.dns1 114.114.114.114"), std::string::npos);
    // the DNS tests' pings (the only ones with a wait option): options and destination
    typedef std::vector<std::string> Opts;
    std::set<Opts> runs;
    for (const auto &a : r.programArgs("ping"))
        if (before.count(a.first) == 0 && std::find(a.second.begin(), a.second.end(), "-W") != a.second.end())
            runs.insert(Opts(a.second.begin() + 1, a.second.end()));
    const std::set<Opts> want =
        legacy ? std::set<Opts>{{"-c", "1", "-W", "2", "114.114.114.114"},
                                {"-c", "1", "-W", "2", "www.qq.com"},
                                {"-c", "1", "-W", "3", "www.163.com"}}
               : std::set<Opts>{{"-s", "1", "-c", "2", "-W", "2", "127.0.0.53"},  // the stand-in pppd's server
                                {"-s", "1", "-c", "2", "-W", "2", "114.114.114.114"},
                                {"-s", "1", "-c", "1", "-W", "3", "www.baidu.com"}};
    EXPECT_EQ(runs, want);
    // the hand-over: the legacy build tells the framework the list changed
    if (legacy) {
        EXPECT_TRUE(riltest::waitUntil([&] { return r.unsols(RIL_UNSOL_DATA_CALL_LIST_CHANGED) > reports; }, 10s));
    }
    ASSERT_EQ(r.module.control("link ok"), "OK");
    ASSERT_TRUE(riltest::waitUntil([&] { return r.pppdArgs().size() >= 2 && r.linkUp(); }, 30s))
        << r.module.control("link state");
    if (legacy)
        EXPECT_GE(r.unsols(RIL_UNSOL_DATA_CALL_LIST_CHANGED), reports + 1);
    else
        EXPECT_EQ(r.unsols(RIL_UNSOL_DATA_CALL_LIST_CHANGED), reports) << "the current build re-dials silently";
}

TEST_P(Difference, LteCheckerPeriodProbeAndACallAtTheHandOver) {
    const bool legacy = GetParam().legacy;
    Rig r(GetParam(), "lte", true);
    r.holdablePing();
    ASSERT_TRUE(r.dataUp("data cmnet")) << r.d.logText();
    // an empty call list starts the chain anew within 2 s; on a link with
    // traffic it goes on, one period from each run to the next
    size_t mark = r.d.logText().size();
    ASSERT_EQ(r.ask("RIL_REQUEST_GET_CURRENT_CALLS").value("error", -1), 0);
    std::vector<long> runs;
    ASSERT_TRUE(riltest::waitUntil([&] { return (runs = lteCheckTimes(r.logFrom(mark))).size() >= 2; }, 20s))
        << r.logFrom(mark);
    long gap = runs[1] - runs[0];
    if (gap < 0) gap += 24L * 3600 * 1000;  // past midnight
    const long period = gap * kScale;       // on the library's clock
    if (legacy) {
        EXPECT_GE(period, 13000 - 2 * kScale);  // 13.0001 s; the log's milliseconds are truncated
        EXPECT_LT(period, 30000);
    } else {
        EXPECT_GE(period, 36000 - 2 * kScale);  // 36.0001 s
        EXPECT_LT(period, 60000);
    }
    // the link goes silent; the probe is held while a call is dialled
    r.root.writeFile("/sysroot/run/ping-hold", "");
    int reports = r.unsols(RIL_UNSOL_DATA_CALL_LIST_CHANGED);
    size_t probeMark = r.d.logText().size();
    ASSERT_EQ(r.module.control("link silent"), "OK");
    ASSERT_EQ(r.ask("RIL_REQUEST_GET_CURRENT_CALLS").value("error", -1), 0);  // the next run at once
    ASSERT_TRUE(riltest::waitUntil(
        [&] { return r.logFrom(probeMark).find("kv_execcommand: ping") != std::string::npos; }, 20s))
        << r.logFrom(probeMark);
    const std::string command = legacy ? "kv_execcommand: ping -I ppp0 -c 2 114.114.114.114\n"
                                       : "kv_execcommand: ping -c 2 114.114.114.114\n";
    EXPECT_NE(r.logFrom(probeMark).find(command), std::string::npos) << r.logFrom(probeMark);
    json dial = r.ask("dial 10086");
    unlink(r.root.at("/sysroot/run/ping-hold").c_str());
    ASSERT_EQ(dial.value("error", -1), 0) << dial.dump();
    const std::string waiting = " is G_incall, not resumenow----===";
    if (legacy) {
        // no report: the chain is re-scheduled and runs again
        ASSERT_TRUE(riltest::waitUntil([&] { return r.logFrom(probeMark).find(waiting) != std::string::npos; }, 20s))
            << r.logFrom(probeMark);
        std::string after = r.logFrom(probeMark);
        size_t at = after.find(waiting);
        ASSERT_TRUE(riltest::waitUntil(
            [&] { return r.logFrom(probeMark + at).find("link check LTE token ") != std::string::npos; }, 10s));
        EXPECT_EQ(r.logFrom(probeMark).find("resume: check pppd exist"), std::string::npos);
        EXPECT_EQ(r.unsols(RIL_UNSOL_DATA_CALL_LIST_CHANGED), reports);
    } else {
        ASSERT_TRUE(riltest::waitUntil([&] { return r.unsols(RIL_UNSOL_DATA_CALL_LIST_CHANGED) > reports; }, 20s))
            << r.logFrom(probeMark);
        EXPECT_NE(r.logFrom(probeMark).find("resume: check pppd exist"), std::string::npos);
        EXPECT_EQ(r.logFrom(probeMark).find(waiting), std::string::npos);
    }
}

TEST_P(Difference, TcpProbeDuringACallLogsItInTheLegacyBuild) {
    TempRoot root;
    root.writeFile("/sysroot/sys/class/net/ppp0/ipv4_address", "127.77.0.9");
    riltest::makeDirs(root.at("/props"));
    setenv("RIL_SYSROOT", root.at("/sysroot").c_str(), 1);
    setenv("RIL_PROPERTY_DIR", root.at("/props").c_str(), 1);
    ASSERT_TRUE(kProcessLogSet);
    size_t from = riltest::readFile(processLog()).size();
    void *lib = dlopen(GetParam().path().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto probe = (int (*)(const char *))dlsym(lib, "TestNetWork");
    auto incall = (int *)dlsym(lib, "G_incall");
    auto pppd = (int *)dlsym(lib, "g_pppdhandle");
    ASSERT_TRUE(probe != nullptr && incall != nullptr && pppd != nullptr);
    *pppd = 0;  // pppd runs
    *incall = 1;
    EXPECT_EQ(probe("127.0.0.1"), 1) << "no connection is made during a call";
    std::string log = riltest::readFile(processLog()).substr(from);
    ASSERT_NE(log.find("TestNetWork: "), std::string::npos) << "the probe logs here";
    EXPECT_EQ(log.find("GOD>> is incall---") != std::string::npos, GetParam().legacy) << log;
    *incall = 0;
    *pppd = 1;
    dlclose(lib);
    unsetenv("RIL_SYSROOT");
    unsetenv("RIL_PROPERTY_DIR");
}

/* ---- querydns: one DNS question, legacy only ---- */

TEST(LegacyOnly, QuerydnsAsksForOneARecordAndCountsTheAnswers) {
    // a DNS server on a loopback address of its own
    int srv = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(srv, 0);
    struct sockaddr_in a;
    memset(&a, 0, sizeof(a));
    a.sin_family = AF_INET;
    a.sin_port = htons(53);
    inet_pton(AF_INET, "127.83.0.1", &a.sin_addr);
    if (bind(srv, (struct sockaddr *)&a, sizeof(a)) != 0) {
        close(srv);
        GTEST_SKIP() << "port 53 cannot be bound here";
    }
    setenv("RIL_TIME_SCALE", "50", 1);
    void *lib = dlopen(riltest::legacyLibrary().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto querydns = (int (*)(const char *))dlsym(lib, "querydns");
    ASSERT_NE(querydns, nullptr);
    std::string query;
    std::thread server([&] {
        unsigned char buf[512];
        struct sockaddr_in from;
        socklen_t fl = sizeof(from);
        ssize_t n = recvfrom(srv, buf, sizeof(buf), 0, (struct sockaddr *)&from, &fl);
        if (n <= 0) return;
        query.assign((const char *)buf, (size_t)n);
        for (int i = 0; i < 2; i++) sendto(srv, buf, (size_t)n, 0, (struct sockaddr *)&from, fl);
    });
    int answers = querydns("127.83.0.1");
    server.join();
    close(srv);
    EXPECT_EQ(answers, 2);
    ASSERT_EQ(query.size(), 31u);
    const unsigned char *q = (const unsigned char *)query.data();
    EXPECT_EQ((q[0] << 8) | q[1], 1) << "identifier";
    EXPECT_EQ((q[2] << 8) | q[3], 0x0100) << "recursion desired";
    EXPECT_EQ((q[4] << 8) | q[5], 1) << "one question";
    EXPECT_EQ((q[6] << 8 | q[7]) + (q[8] << 8 | q[9]) + (q[10] << 8 | q[11]), 0);
    // the name in label form, then type A and class IN
    size_t i = 12;
    std::string name;
    while (i < query.size() && q[i] != 0) {
        size_t len = q[i];
        ASSERT_LE(i + 1 + len, query.size());
        if (!name.empty()) name += '.';
        name += query.substr(i + 1, len);
        i += 1 + len;
    }
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(i + 5, query.size());
    EXPECT_EQ((q[i + 1] << 8) | q[i + 2], 1) << "type A";
    EXPECT_EQ((q[i + 3] << 8) | q[i + 4], 1) << "class IN";
    // not an IPv4 address, or (on the host) not a loopback one: nothing sent
    EXPECT_EQ(querydns("example;reboot"), -1);
    EXPECT_EQ(querydns("192.0.2.1"), -1);
    EXPECT_EQ(querydns(nullptr), -1);
    dlclose(lib);
}

INSTANTIATE_TEST_SUITE_P(Builds, Difference, ::testing::ValuesIn(kBuilds), buildName);

}  // namespace
