// SIM files, facility locks, network selection, NITZ, GPS and OEM lines end
// to end: the real host daemon loads the real library, which drives the
// simulated module over its pseudo-terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "daemon_harness.h"
#include "ril_interface.h"
#include "simulated_module.h"
#include "temp_root.h"

using modemsim::ModuleConfig;
using modemsim::SimulatedModule;
using nlohmann::json;
using riltest::DaemonHarness;
using riltest::DaemonOptions;
using riltest::TempRoot;
using namespace std::chrono_literals;

namespace {

constexpr long kScale = 20;


struct Rig {
    explicit Rig(const std::string &model) : module(config(model)), d(root) {
        DaemonOptions opt;
        opt.timeScale = kScale;
        d.start(opt);
    }
    ModuleConfig config(const std::string &model) {
        ModuleConfig cfg = ModuleConfig::forModel(model, root.path() + "/sysroot");
        cfg.resetGap = 200ms;
        return cfg;
    }
    // the family's SIM-ready steps have run to their end
    bool waitReady() {
        if (module.family() == modemsim::Family::Cdma)
            // the first signal poll ends with "AT^PREFMODE?" once the initialization is over
            return riltest::waitUntil([this] { return !d.property("ril.cimi").empty(); }, 30s) &&
                   module.waitForCommand("AT+VOCBK=0", 30s) &&
                   riltest::waitUntil([this] { return count("AT^PREFMODE?") > 0; }, 30s);
        return riltest::waitUntil([this] { return d.property("gsm.sim.state") == "READY"; }, 30s);
    }
    json call(const std::string &request, std::chrono::milliseconds timeout = 30s) {
        return d.waitResponse(d.request(request), timeout);
    }
    size_t count(const std::string &command) {
        size_t n = 0;
        for (const auto &c : module.commands()) n += c == command;
        return n;
    }

    TempRoot root;
    SimulatedModule module;
    DaemonHarness d;
};

int error(const json &r) { return r.value("error", -1); }

}  // namespace

TEST(SimnetEndToEnd, ScanAndSelectManually) {
    Rig r("lte");
    ASSERT_TRUE(r.waitReady());
    json list = r.call("QUERY_AVAILABLE_NETWORKS");
    ASSERT_EQ(error(list), RIL_E_SUCCESS) << list.dump();
    json expected = json::array();
    for (auto op : {std::vector<std::string>{"CHINA MOBILE", "CMCC", "46000", "current"},
                    {"CHN-UNICOM", "UNICOM", "46001", "available"},
                    {"CHN-CT", "CT", "46011", "forbidden"}})
        expected.push_back({{"longName", op[0]}, {"shortName", op[1]}, {"numeric", op[2]}, {"status", op[3]}});
    EXPECT_EQ(list["data"], expected);
    EXPECT_EQ(error(r.call("SET_NETWORK_SELECTION_MANUAL 46001")), RIL_E_SUCCESS);
    EXPECT_EQ(r.module.state().net.numeric, "46001");
    EXPECT_EQ(r.module.state().copsMode, 4);
    // a forbidden network is refused by the module
    EXPECT_EQ(error(r.call("SET_NETWORK_SELECTION_MANUAL 46011")), RIL_E_GENERIC_FAILURE);
    // a second command behind the numeric never reaches the module
    size_t before = r.module.commands().size();
    EXPECT_EQ(error(r.call("SET_NETWORK_SELECTION_MANUAL \"46001;+CFUN=0\"")), RIL_E_GENERIC_FAILURE);
    for (size_t i = before; i < r.module.commands().size(); i++)
        EXPECT_EQ(r.module.commands()[i].find("COPS=4"), std::string::npos);
    EXPECT_EQ(r.module.state().cfun, 1);
}

TEST(SimnetEndToEnd, SimFilesOnUsimAndSimCards) {
    Rig r("wcdma6290");
    ASSERT_TRUE(r.waitReady());
    // ADN: 10 records of 28 bytes, read from the card's FCP
    json gr = r.call("SIM_IO 192 28474 3F007F10 0 0 15");
    ASSERT_EQ(error(gr), RIL_E_SUCCESS) << gr.dump();
    EXPECT_EQ(gr["data"]["sw1"], 144);
    EXPECT_EQ(gr["data"]["simResponse"], "000001186f3a04000000000000011c");
    EXPECT_EQ(gr["data"]["getResponse"],
              json({{"fileSize", 280}, {"fileId", "6F3A"}, {"type", "EF"}, {"structure", "linear fixed"},
                    {"recordLength", 28}}));
    json iccid = r.call("SIM_IO 176 12258 3F00 0 0 15");
    EXPECT_EQ(iccid["data"]["simResponse"], "98680021436587092143");
    json rec = r.call("SIM_IO 178 28474 3F007F10 1 4 28");
    EXPECT_EQ(rec["data"]["sw1"], 144);
    EXPECT_EQ(rec["data"]["simResponse"].get<std::string>().substr(0, 14), "53657276696365");  // "Service"
    // a SIM card answers the SIM layout itself: passed on as it is
    r.module.control("simfs type sim");
    gr = r.call("SIM_IO 192 28474 3F007F10 0 0 15");
    EXPECT_EQ(gr["data"]["simResponse"], "000001186F3A040011FF550102011C");
    json missing = r.call("SIM_IO 176 28599 3F007F20 0 0 4");
    EXPECT_EQ(missing["data"]["sw1"], 148);
    EXPECT_EQ(missing["data"]["sw2"], 4);
    // a card without EF_ICCID: the fixed ICCID
    r.module.control("simfs iccid none");
    iccid = r.call("SIM_IO 176 12258 3F00 0 0 10");
    EXPECT_EQ(iccid["data"]["sw1"], 144);
    EXPECT_EQ(iccid["data"]["simResponse"].get<std::string>().substr(0, 4), "9868");
    EXPECT_NE(iccid["data"]["simResponse"], "98680021436587092143");
    // hostile data never reaches the module
    size_t before = r.module.commands().size();
    EXPECT_EQ(error(r.call("SIM_IO 214 28486 3F007F20 0 0 1 \"00\\\";+CFUN=0\"")), RIL_E_GENERIC_FAILURE);
    EXPECT_EQ(r.module.commands().size(), before);
}

TEST(SimnetEndToEnd, RuimRecordFileGetResponse) {
    Rig r("cdma");
    ASSERT_TRUE(r.waitReady());
    json gr = r.call("SIM_IO 192 28474 3F007F10 0 0 15");
    ASSERT_EQ(error(gr), RIL_E_SUCCESS) << gr.dump();
    // size 0x1C x 10 records, file 6F3A, record length 1C
    EXPECT_EQ(gr["data"]["simResponse"], "000001186F3A041C0A83026F3A011C");
    EXPECT_EQ(error(r.call("SIM_IO 176 28472 3F007F 0 0 8")), RIL_E_GENERIC_FAILURE);
}

TEST(SimnetEndToEnd, FacilityLockWithWrongThenRightPassword) {
    Rig r("wcdma6290");
    ASSERT_TRUE(r.waitReady());
    json q = r.call("QUERY_FACILITY_LOCK AO \"\" 1");
    ASSERT_EQ(error(q), RIL_E_SUCCESS) << q.dump();
    EXPECT_EQ(q["data"], json({0}));
    EXPECT_EQ(error(r.call("SET_FACILITY_LOCK AO 1 1111 1")), RIL_E_REQUEST_NOT_SUPPORTED);
    EXPECT_EQ(r.module.state().simnet.barringAttempts, 2);
    EXPECT_EQ(error(r.call("SET_FACILITY_LOCK AO 1 0000 1")), RIL_E_SUCCESS);
    EXPECT_EQ(r.call("QUERY_FACILITY_LOCK AO \"\" 1")["data"], json({1}));
    // password changes answered with a bare OK are successes
    EXPECT_EQ(error(r.call("CHANGE_BARRING_PASSWORD AB 0000 4321")), RIL_E_SUCCESS);
    EXPECT_EQ(r.module.state().simnet.barringPassword, "4321");
    EXPECT_EQ(error(r.call("CHANGE_SIM_PIN 1234 4321")), RIL_E_SUCCESS);
    EXPECT_EQ(r.module.state().sim.pin, "4321");
    size_t before = r.module.commands().size();
    EXPECT_EQ(error(r.call("SET_FACILITY_LOCK AO 1 \"0000\\\", 1;+CFUN=0\" 1")), RIL_E_REQUEST_NOT_SUPPORTED);
    EXPECT_EQ(r.module.commands().size(), before);
}

TEST(SimnetEndToEnd, NitzIsReportedAsTimeReceived) {
    Rig r("lte");
    ASSERT_TRUE(r.waitReady());
    r.module.control("nitz \"24/12/10,10:30:00+32,0\"");
    json n = r.d.waitUnsol(RIL_UNSOL_NITZ_TIME_RECEIVED, 10s);
    ASSERT_TRUE(n.is_object());
    EXPECT_EQ(n["data"]["text"], "24/12/10,10:30:00+32,0");
    // the console reads the time and the zone in quarter hours
    EXPECT_EQ(n["data"]["time"], "2024-12-10T10:30:00");
    EXPECT_EQ(n["data"]["zoneMinutes"], 480);
    EXPECT_EQ(n["data"]["dst"], 0);
}

TEST(SimnetEndToEnd, GpsDownloadRestartsTheReceiver) {
    Rig r("cdma");
    ASSERT_TRUE(r.waitReady());
    size_t before = r.count("AT^GPSLOC=0");
    r.module.control("gps download");
    EXPECT_TRUE(riltest::waitUntil([&] { return r.count("AT^GPSLOC=0") > before; }, 10s));
    before = r.count("AT^GPSLOC=0");
    r.module.control("gps netdone");
    EXPECT_TRUE(riltest::waitUntil([&] { return r.count("AT^GPSLOC=0") > before; }, 10s));
}

TEST(SimnetEndToEnd, OemHookStrings) {
    Rig r("lte");
    ASSERT_TRUE(r.waitReady());
    json ok = r.call("OEM_HOOK_STRINGS AT+CSQ");
    EXPECT_EQ(error(ok), RIL_E_SUCCESS);
    EXPECT_TRUE(ok["data"].is_null());
    size_t before = r.module.commands().size();
    EXPECT_EQ(error(r.call("OEM_HOOK_STRINGS \"AT+CSQ\\rAT+CFUN=0\"")), RIL_E_GENERIC_FAILURE);
    EXPECT_EQ(error(r.call("OEM_HOOK_STRINGS null")), RIL_E_GENERIC_FAILURE);
    EXPECT_EQ(r.module.commands().size(), before);
    EXPECT_EQ(r.module.state().cfun, 1);
}
