// The table of differences between the two deliverables: every case is
// checked from the outside on the current library (libreference-ril.so) and
// on the legacy one (lib-ril-kivo.so), and holds for one and not the other.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "daemon_harness.h"
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

constexpr long kScale = 20;

struct Build {
    const char *name;
    bool legacy;
    std::string path() const { return legacy ? riltest::legacyLibrary() : riltest::currentLibrary(); }
};
const Build kBuilds[] = {{"current", false}, {"legacy", true}};

std::string buildName(const ::testing::TestParamInfo<Build> &i) { return i.param.name; }

// The real daemon on one build with a simulated module of the given model.
struct Rig {
    Rig(const Build &b, const std::string &model) : module(config(model)), d(root) {
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

/* ---- the exported entry points ---- */

TEST_P(Difference, ExportsOfEachBuild) {
    const bool legacy = GetParam().legacy;
    void *lib = dlopen(GetParam().path().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    EXPECT_EQ(dlsym(lib, "RIL_SAP_Init") != nullptr, !legacy);
    for (const char *name : {"DownNV", "wnv", "GetNVItem", "SendTcp", "ComputeTxCRC", "m_pTxBuf", "m_nTxLen",
                             "crc_table"})
        EXPECT_EQ(dlsym(lib, name) != nullptr, legacy) << name;
    for (const char *name : {"RIL_Init", "TestDeviceExists"}) EXPECT_NE(dlsym(lib, name), nullptr) << name;
    dlclose(lib);
}

/* ---- TestDeviceExists looks for the modem port only in the legacy build ---- */

TEST_P(Difference, TestDeviceExistsLooksForTheModemPort) {
    TempRoot root;
    root.writeFile("/sysroot/dev/ttyUSB0", "");
    setenv("RIL_SYSROOT", root.at("/sysroot").c_str(), 1);
    setenv("RIL_LOG", root.at("/ril.log").c_str(), 1);
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
    unsetenv("RIL_LOG");
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

INSTANTIATE_TEST_SUITE_P(Builds, Difference, ::testing::ValuesIn(kBuilds), buildName);

}  // namespace
