// End to end through the host daemon and the simulated module: a SIM that
// waits for its PIN, SIM removal and exchange with the supervisor, and radio
// off and on in each family.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

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

bool isType(const json &m, const char *type) { return m.is_object() && m.value("type", "") == type; }

// Asks the daemon for the radio state until it is want (or the deadline).
bool waitState(DaemonHarness &d, int want, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        int before = d.count([](const json &m) { return isType(m, "state"); });
        d.send("state");
        if (!riltest::waitUntil([&] { return d.count([](const json &m) { return isType(m, "state"); }) > before; },
                                2s))
            return false;
        int last = -1;
        for (const json &m : d.messages())
            if (isType(m, "state")) last = m.value("radio_state", -1);
        if (last == want) return true;
        std::this_thread::sleep_for(20ms);  // polling interval, bounded by the deadline
    }
    return false;
}

bool waitProperty(DaemonHarness &d, const std::string &name, const std::string &value,
                  std::chrono::milliseconds timeout = 20s) {
    return riltest::waitUntil([&] { return d.property(name) == value; }, timeout);
}

std::string appState(const json &response) {
    if (!response.is_object() || !response["data"].is_object()) return "<none>";
    const json &apps = response["data"]["applications"];
    if (!apps.is_array() || apps.empty()) return "<no application>";
    return apps[0].value("app_state", "?");
}

int countCommand(const SimulatedModule &m, const std::string &text) {
    auto c = m.commands();
    return (int)std::count(c.begin(), c.end(), text);
}

struct Rig {
    explicit Rig(const std::string &model, bool supervise = false, bool locked = false)
        : module(config(model, locked)), d(root) {
        DaemonOptions opt;
        opt.timeScale = kScale;
        opt.supervise = supervise;
        d.start(opt);
    }
    ModuleConfig config(const std::string &model, bool locked) {
        ModuleConfig cfg = ModuleConfig::forModel(model, root.path() + "/sysroot");
        cfg.resetGap = 200ms;
        if (locked) {
            cfg.state.sim.pinEnabled = true;
            cfg.state.sim.lock = modemsim::SimLock::Pin;
        }
        return cfg;
    }
    TempRoot root;
    SimulatedModule module;
    // declared last: the daemon ends before the module leaves, so the library
    // never reopens a port path the module has given up
    DaemonHarness d;
};

/* ---- a SIM that waits for its PIN ---- */

TEST(LockedSim, CdmaComesUpLockedAndRunsTheRuimReadyStepsAfterThePin) {
    Rig r("cdma", false, true);
    ASSERT_TRUE(waitState(r.d, RADIO_STATE_RUIM_LOCKED_OR_ABSENT, 30s)) << r.d.logText();
    json status = r.d.waitResponse(r.d.request("sim"));
    EXPECT_EQ(appState(status), "PIN");
    EXPECT_EQ(status["data"].value("universal_pin_state", ""), "ENABLED_VERIFIED");

    json pin = r.d.waitResponse(r.d.request("pin 1234"));
    ASSERT_EQ(pin.value("error", -1), 0) << pin.dump();
    EXPECT_FALSE(r.d.waitUnsol(RIL_UNSOL_RESPONSE_SIM_STATUS_CHANGED).is_null());

    // the framework asks again; the ready card moves the state to RUIM_READY
    status = r.d.waitResponse(r.d.request("sim"));
    EXPECT_EQ(appState(status), "READY");
    ASSERT_TRUE(waitState(r.d, RADIO_STATE_RUIM_READY, 20s));
    EXPECT_TRUE(r.module.waitForCommand("AT+CNMI=1,2,2,1,1", 10s));
    EXPECT_TRUE(waitProperty(r.d, "ril.cimi", r.module.state().sim.imsi));
}

TEST(LockedSim, LteComesUpLockedAndRunsTheSimReadySequenceAfterThePin) {
    Rig r("lte", false, true);
    ASSERT_TRUE(waitState(r.d, RADIO_STATE_SIM_LOCKED_OR_ABSENT, 30s)) << r.d.logText();
    json status = r.d.waitResponse(r.d.request("sim"));
    EXPECT_EQ(appState(status), "PIN");

    // a wrong PIN first: refused with the attempts left
    json wrong = r.d.waitResponse(r.d.request("pin 0000"));
    EXPECT_EQ(wrong.value("error", -1), RIL_E_PASSWORD_INCORRECT);
    EXPECT_EQ(wrong["data"], json::array({2}));

    json pin = r.d.waitResponse(r.d.request("pin 1234"));
    ASSERT_EQ(pin.value("error", -1), 0) << pin.dump();
    EXPECT_TRUE(waitProperty(r.d, "gsm.sim.state", "READY"));
    EXPECT_TRUE(waitProperty(r.d, "ril.kivo.cimi", r.module.state().sim.imsi));
    EXPECT_TRUE(waitProperty(r.d, "ril.kivo.iccid", r.module.state().sim.iccid));
    status = r.d.waitResponse(r.d.request("sim"));
    EXPECT_EQ(appState(status), "READY");
}

/* ---- the card leaves: the process ends with status 0 and comes back ---- */

TEST(SimGone, WcdmaRemovalEndsTheProcessAndTheSupervisorRestartsIt) {
    Rig r("wcdma6290", true);
    ASSERT_TRUE(waitProperty(r.d, "gsm.sim.state", "READY", 30s)) << r.d.logText();
    // the SIM-ready sequence ends with the first signal poll; a removal in
    // the middle of the poll's query would hand it the removal's lines
    auto isSignal = [](const json &m) { return isType(m, "unsol") && m.value("code", 0) == RIL_UNSOL_SIGNAL_STRENGTH; };
    ASSERT_FALSE(r.d.waitFor(isSignal, 10s).is_null());
    size_t from = r.d.messages().size();
    r.module.simRemove();
    EXPECT_TRUE(r.module.waitForCommand("AT^RESET", 10s));
    json signal;
    riltest::waitUntil(
        [&] {
            auto msgs = r.d.messages();
            for (size_t i = from; i < msgs.size(); i++)
                if (isSignal(msgs[i]) && msgs[i]["data"].is_object() && msgs[i]["data"]["gw"]["signalStrength"] == 0 &&
                    msgs[i]["data"]["gw"]["bitErrorRate"] == 99) {
                    signal = msgs[i];
                    return true;
                }
            return false;
        },
        10s);
    ASSERT_FALSE(signal.is_null());
    EXPECT_EQ(signal["data"]["gw"]["bitErrorRate"], 99);
    ASSERT_TRUE(riltest::waitUntil([&] { return r.d.count([](const json &m) { return isType(m, "init"); }) == 2; },
                                   20s));
    EXPECT_TRUE(r.d.running());
    r.d.send("quit");
    EXPECT_EQ(r.d.waitExit(), 0);
}

TEST(SimGone, LteExchangeEndsTheProcessAndTheSupervisorRestartsIt) {
    Rig r("lte", true);
    ASSERT_TRUE(waitProperty(r.d, "gsm.sim.state", "READY", 30s)) << r.d.logText();
    r.module.simExchange("460001111111111", "89860000000000001111");
    ASSERT_TRUE(riltest::waitUntil([&] { return r.d.count([](const json &m) { return isType(m, "init"); }) == 2; },
                                   20s));
    // the new process publishes the new card
    EXPECT_TRUE(waitProperty(r.d, "ril.kivo.cimi", "460001111111111", 30s));
    r.d.send("quit");
    EXPECT_EQ(r.d.waitExit(), 0);
}

/* ---- radio off and on, with the first-off rule ---- */

struct PowerCase {
    const char *model;
    int readyState;             // where the radio state settles with a ready card
    const char *readyProperty;  // written at the end of the SIM-ready steps
};

class RadioPower : public ::testing::TestWithParam<PowerCase> {};

TEST_P(RadioPower, FirstOffIsIgnoredThenOffAndOnReachTheModule) {
    const PowerCase &c = GetParam();
    Rig r(c.model);
    // the SIM-ready steps have run to their end (a poll still running would
    // make the poll after radio-on return at once)
    ASSERT_TRUE(riltest::waitUntil([&] { return !r.d.property(c.readyProperty).empty(); }, 30s));
    ASSERT_TRUE(waitState(r.d, c.readyState, 10s));
    int cfunOffBefore = countCommand(r.module, "AT+CFUN=0");

    json first = r.d.waitResponse(r.d.request("radio 0"));
    EXPECT_EQ(first.value("error", -1), 0);
    EXPECT_EQ(countCommand(r.module, "AT+CFUN=0"), cfunOffBefore);
    EXPECT_EQ(r.module.state().cfun, 1);
    if (std::string(c.model) != "cdma") {
        EXPECT_TRUE(waitProperty(r.d, "ril.kivo.value", "1", 5s));  // set right after completing
    }

    json off = r.d.waitResponse(r.d.request("radio 0"), 20s);
    EXPECT_EQ(off.value("error", -1), 0);
    EXPECT_TRUE(r.module.waitForCommand("AT+CFUN=0", 5s));
    EXPECT_EQ(r.module.state().cfun, 0);
    ASSERT_TRUE(waitState(r.d, RADIO_STATE_OFF, 10s));

    json on = r.d.waitResponse(r.d.request("radio 1"), 20s);
    EXPECT_EQ(on.value("error", -1), 0);
    EXPECT_EQ(r.module.state().cfun, 1);
    EXPECT_TRUE(waitState(r.d, c.readyState, 30s));
}

INSTANTIATE_TEST_SUITE_P(Families, RadioPower,
                         ::testing::Values(PowerCase{"cdma", RADIO_STATE_RUIM_READY, "ril.cimi"},
                                           PowerCase{"wcdma6290", RADIO_STATE_SIM_READY, "ril.kivo.cimi"},
                                           PowerCase{"lte", RADIO_STATE_ON, "ril.kivo.iccid"}),
                         [](const ::testing::TestParamInfo<PowerCase> &i) { return std::string(i.param.model); });

}  // namespace
