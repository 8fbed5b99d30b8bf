// The main loops and initialization of the three families, end to end: the
// real host daemon loads the real library, which finds and drives the
// simulated module over its pseudo-terminal. Time is compressed with the
// host time scale.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "daemon_harness.h"
#include "ril_interface.h"
#include "simulated_module.h"

using nlohmann::json;
using riltest::DaemonHarness;
using riltest::DaemonOptions;
using riltest::TempRoot;
using riltest::waitUntil;

namespace {

bool isType(const json &m, const char *type) { return m.value("type", "") == type; }

// expected appear in log in this order (other commands may come between)
::testing::AssertionResult inOrder(const std::vector<std::string> &log, const std::vector<std::string> &expected) {
    size_t at = 0;
    for (size_t i = 0; i < expected.size(); i++) {
        auto it = std::find(log.begin() + (long)at, log.end(), expected[i]);
        if (it == log.end()) {
            std::string all;
            for (const auto &c : log) all += "  " + c + "\n";
            return ::testing::AssertionFailure()
                   << "command " << i << " \"" << expected[i] << "\" not found after position " << at
                   << "; the module received:\n"
                   << all;
        }
        at = (size_t)(it - log.begin()) + 1;
    }
    return ::testing::AssertionSuccess();
}

class Lifecycle : public ::testing::Test {
protected:
    std::unique_ptr<modemsim::SimulatedModule> startModule(const std::string &model) {
        modemsim::ModuleConfig cfg = modemsim::ModuleConfig::forModel(model, d.sysroot());
        cfg.resetGap = std::chrono::milliseconds(200);
        return std::unique_ptr<modemsim::SimulatedModule>(new modemsim::SimulatedModule(cfg));
    }
    void startDaemon(long scale, bool supervise = false) {
        DaemonOptions opt;
        opt.timeScale = scale;
        opt.supervise = supervise;
        d.start(opt);
        ASSERT_FALSE(d.waitFor([](const json &m) { return isType(m, "init"); }).is_null());
    }
    bool logHas(const std::string &text) { return d.logText().find(text) != std::string::npos; }
    bool waitLog(const std::string &text, std::chrono::milliseconds t = std::chrono::seconds(10)) {
        return waitUntil([&] { return logHas(text); }, t);
    }
    int countLog(const std::string &text) {
        std::string log = d.logText();
        int n = 0;
        for (size_t p = log.find(text); p != std::string::npos; p = log.find(text, p + 1)) n++;
        return n;
    }
    // a 1000 report carrying this state, among the messages from index from on
    bool radioStateReported(int state, size_t from, std::chrono::milliseconds t = std::chrono::seconds(10)) {
        return waitUntil(
            [&] {
                auto msgs = d.messages();
                for (size_t i = from; i < msgs.size(); i++)
                    if (isType(msgs[i], "unsol") && msgs[i]["code"] == 1000 &&
                        msgs[i].value("radio_state", -1) == state)
                        return true;
                return false;
            },
            t);
    }

    TempRoot root;
    DaemonHarness d{root};
};

struct ColdStartCase {
    const char *model;
    int family;
    std::vector<std::string> init;   // initializeCallback, in order
    const char *stateLog;            // the state the initialization ends in, as logged
};
// readable, stable test names: the case by its model
void PrintTo(const ColdStartCase &c, std::ostream *os) { *os << c.model; }

class ColdStart : public Lifecycle, public ::testing::WithParamInterface<ColdStartCase> {};

TEST_P(ColdStart, RunsTheFamilysInitializationSequence) {
    const ColdStartCase &c = GetParam();
    auto module = startModule(c.model);
    startDaemon(20);
    json init = d.waitFor([](const json &m) { return isType(m, "init"); });
    EXPECT_EQ(init["family"], c.family);
    waitUntil([&] { return (bool)inOrder(module->commandsSincePlug(), c.init); }, std::chrono::seconds(15));
    EXPECT_TRUE(inOrder(module->commandsSincePlug(), c.init)) << d.logText();
    EXPECT_TRUE(waitLog(c.stateLog));
    EXPECT_EQ(d.property("ril.pcui"), "/dev/" + module->device().atTty);
    EXPECT_EQ(d.property("ril.priority"), "");
    EXPECT_TRUE(riltest::fileExists(d.propertyDir() + "/ril.priority"));
}

INSTANTIATE_TEST_SUITE_P(
    Families, ColdStart,
    ::testing::Values(
        ColdStartCase{"cdma",
                      0,
                      {"AT+CFUN?", "AT+RFSET=1002", "ATE0", "AT^PREFMODE=8", "AT+CLIP=0", "AT+GPIOSLP=1",
                       "AT+CLVL=7", "AT+VOCVAL=2, FFFF,  FFFF, FFFF", "AT+VOCVAL=1, 3000,  3000, 5000",
                       "AT+VOCVAL=0, 3000,  3000, 5000", "AT+MICG = 6", "ATE0", "AT+INITHOST=10", "AT+VOCBK=0"},
                      "setRadioState(RADIO_STATE_RUIM_NOT_READY)"},
        ColdStartCase{"wcdma6290",
                      1,
                      {"AT^KVPARTNER=10", "AT+CFUN?", "AT+CFUN?", "AT^SLEEPMODE=1"},
                      "setRadioState(RADIO_STATE_ON)"},
        ColdStartCase{"lte",
                      2,
                      {"ATE0", "AT+CFUN?", "AT+CMEE=1", "at^rptflag=0", "AT+HWINFO", "AT+CFUN?"},
                      "WDog after>> s_is9615 is 0, s_is9X07 is 0"},
        // the 8909-kind module is never asked for its hardware kind
        ColdStartCase{"lte8909", 2, {"ATE0", "AT+CFUN?", "AT+CMEE=1", "at^rptflag=0", "AT+CFUN?"},
                      "WDog after>> s_is9615 is 0, s_is9X07 is 0"}),
    [](const ::testing::TestParamInfo<ColdStartCase> &i) { return std::string(i.param.model); });

TEST_F(Lifecycle, LteReachesRadioOnAndReportsIt) {
    auto module = startModule("lte");
    startDaemon(20);
    // the initialization reports the state it ends in once s_hasinit is set
    json on = d.waitFor(
        [](const json &m) {
            return isType(m, "unsol") && m["code"] == 1000 &&
                   (m.value("radio_state", -1) == RADIO_STATE_ON || m.value("radio_state", -1) == RADIO_STATE_SIM_READY);
        },
        std::chrono::seconds(10));
    ASSERT_FALSE(on.is_null()) << d.logText();
    EXPECT_FALSE(module->commandsSincePlug().empty());
    EXPECT_TRUE(logHas("setRadioState(RADIO_STATE_SIM_NOT_READY)"));
    EXPECT_TRUE(logHas("setRadioState(RADIO_STATE_UNAVAILABLE)"));
}

TEST_F(Lifecycle, LteUnplugAndReplugWithinTheSearchResumesHot) {
    auto module = startModule("lte");
    startDaemon(20);
    ASSERT_TRUE(module->waitForCommand("AT+HWINFO", std::chrono::seconds(10)));
    ASSERT_TRUE(waitLog("WDog after>>"));
    module->unplug();
    ASSERT_TRUE(waitLog("AT channel closed"));
    if (riltest::testingLegacy()) {
        // the legacy LTE family resumes only when its first look finds the
        // module; back after a missed look, it restarts the process
        ASSERT_TRUE(waitLog("search device: attempt 1 result 0")) << d.logText();
        module->plug();
        EXPECT_EQ(d.waitExit(std::chrono::seconds(20)), 0) << d.logText();
        EXPECT_TRUE(logHas("----restart ril after 6s----"));
        EXPECT_FALSE(logHas("*******Hot Resume*******"));
        return;
    }
    size_t before = module->commands().size();
    module->plug();
    ASSERT_TRUE(waitLog("Re-opening after close")) << d.logText();
    // hot open with the radio not SIM-ready: the initialization runs again, 5 s later
    ASSERT_TRUE(waitLog("WGod >> Will delay RIL initialization for 5 seconds")) << d.logText();
    ASSERT_TRUE(module->waitForCommand("AT+HWINFO", std::chrono::seconds(10), before));
    EXPECT_FALSE(logHas("*******missed device*******"));
    EXPECT_EQ(countLog("WGod >> Will delay RIL initialization for 0 seconds"), 1);
}

TEST_F(Lifecycle, CdmaHotResumeChecksTheModuleWithAtFirst) {
    auto module = startModule("cdma");
    startDaemon(20);
    // the RUIM-ready steps end with the IMSI read
    ASSERT_TRUE(module->waitForCommand("AT+CIMI", std::chrono::seconds(15))) << d.logText();
    ASSERT_TRUE(waitLog("setRadioState(RADIO_STATE_RUIM_READY)"));
    size_t mark = d.messages().size();
    module->unplug();
    ASSERT_TRUE(waitLog("AT channel closed"));
    size_t before = module->commands().size();
    module->plug();
    ASSERT_TRUE(waitLog("*******Hot Resume*******")) << d.logText();
    ASSERT_TRUE(waitUntil([&] { return module->commands().size() > before; }, std::chrono::seconds(10)));
    EXPECT_EQ(module->commands()[before], "AT");
    // RUIM-ready before the loss: no new initialization, the state stays
    d.send("state");
    json state = d.waitFor([](const json &m) { return isType(m, "state"); });
    EXPECT_EQ(state["radio_state"], RADIO_STATE_RUIM_READY);
    EXPECT_FALSE(radioStateReported(RADIO_STATE_UNAVAILABLE, mark, std::chrono::milliseconds(0)));
}

TEST_F(Lifecycle, LteDeviceGoneBeyondTheSearchIsReportedUnavailableAndReopensCold) {
    auto module = startModule("lte");
    startDaemon(40);
    ASSERT_TRUE(module->waitForCommand("AT+HWINFO", std::chrono::seconds(10)));
    ASSERT_TRUE(waitLog("WDog after>>"));
    size_t mark = d.messages().size();
    module->unplug();
    ASSERT_TRUE(waitLog("*******missed device*******")) << d.logText();
    if (riltest::testingLegacy()) {
        // the legacy LTE family ends the process at once for the platform to restart it
        EXPECT_EQ(d.waitExit(std::chrono::seconds(10)), 0) << d.logText();
        EXPECT_FALSE(logHas("----restart ril after 6s----"));
        return;
    }
    EXPECT_TRUE(radioStateReported(RADIO_STATE_UNAVAILABLE, mark));
    size_t before = module->commands().size();
    module->plug();
    // a cold open: the initialization runs again at once
    ASSERT_TRUE(waitUntil([&] { return countLog("WGod >> Will delay RIL initialization for 0 seconds") == 2; },
                          std::chrono::seconds(20)))
        << d.logText();
    ASSERT_TRUE(module->waitForCommand("AT+HWINFO", std::chrono::seconds(10), before));
    std::vector<std::string> after = module->commands();
    after.erase(after.begin(), after.begin() + (long)before);
    EXPECT_TRUE(inOrder(after, {"ATE0", "AT+CFUN?", "AT+CMEE=1", "at^rptflag=0", "AT+HWINFO"}));
}

TEST_F(Lifecycle, CdmaDeviceGoneForSixtySecondsIsReportedUnavailable) {
    auto module = startModule("cdma");
    startDaemon(100);
    ASSERT_TRUE(module->waitForCommand("AT+VOCBK=0", std::chrono::seconds(15)));
    size_t mark = d.messages().size();
    module->unplug();
    ASSERT_TRUE(radioStateReported(RADIO_STATE_UNAVAILABLE, mark, std::chrono::seconds(15))) << d.logText();
    EXPECT_FALSE(logHas("*******Hot Resume*******"));
}

TEST_F(Lifecycle, ModuleOfAnotherFamilyEndsTheProcessAndTheSupervisorRestartsIt) {
    auto module = startModule("lte");
    startDaemon(20, true);
    ASSERT_TRUE(module->waitForCommand("AT+HWINFO", std::chrono::seconds(10)));
    module.reset();  // unplugged for good
    auto wcdma = startModule("wcdma6290");
    ASSERT_TRUE(waitUntil([&] { return d.count([](const json &m) { return isType(m, "init"); }) == 2; },
                          std::chrono::seconds(20)))
        << d.logText();
    // the current LTE family finds the other family's module and ends then;
    // the legacy one mostly ends by itself first (a look missed the module),
    // unless its first look already finds the new one
    if (!riltest::testingLegacy()) {
        EXPECT_TRUE(logHas("card is not the same exit now!"));
    }
    json second;
    for (const auto &m : d.messages())
        if (isType(m, "init")) second = m;
    EXPECT_EQ(second["family"], 1);
    EXPECT_TRUE(wcdma->waitForCommand("AT^KVPARTNER=10", std::chrono::seconds(10)));
    EXPECT_TRUE(d.running());
}

TEST_F(Lifecycle, WcdmaFiveTimeOutsResetTheModule) {
    auto module = startModule("wcdma6290");
    module->setMute(true);
    int plugsBefore = module->plugCount();
    startDaemon(100);  // 30 s time-outs become 0.3 s
    ASSERT_TRUE(waitLog("save life", std::chrono::seconds(20))) << d.logText();
    // the reset request reached the module: it dropped off USB and came back
    ASSERT_TRUE(waitUntil([&] { return module->plugCount() > plugsBefore; }, std::chrono::seconds(20)));
    EXPECT_EQ(countLog("save life"), 1);
}

TEST_F(Lifecycle, LteNineTimeOutsResetTheModule) {
    auto module = startModule("lte");
    module->setMute(true);
    int plugsBefore = module->plugCount();
    startDaemon(100);
    // the initialization's own commands time out first; requests add more
    ASSERT_TRUE(waitLog("WDog after>>", std::chrono::seconds(20))) << d.logText();
    EXPECT_FALSE(logHas("save life"));
    for (int i = 0; i < 4 && !logHas("save life"); i++) d.waitResponse(d.request("signal"), std::chrono::seconds(10));
    ASSERT_TRUE(waitLog("save life", std::chrono::seconds(10))) << d.logText();
    ASSERT_TRUE(waitUntil([&] { return module->plugCount() > plugsBefore; }, std::chrono::seconds(20)));
}

TEST_F(Lifecycle, CdmaFourTimeOutsResetAndReopenTheChannel) {
    auto module = startModule("cdma");
    module->setMute(true);
    int plugsBefore = module->plugCount();
    // 30 s time-outs become 1.2 s; the 500 ms check of a hot resume stays 20 ms
    startDaemon(25);
    ASSERT_TRUE(waitLog("God>> onATTimeout4", std::chrono::seconds(20))) << d.logText();
    ASSERT_TRUE(waitLog("AT channel closed", std::chrono::seconds(20)));
    EXPECT_FALSE(logHas("God>> onATTimeout5"));
    ASSERT_TRUE(waitUntil([&] { return module->plugCount() > plugsBefore; }, std::chrono::seconds(20)));
    // the module answers again: the channel re-opens and the initialization goes on
    module->setMute(false);
    EXPECT_TRUE(module->waitForCommand("AT+RFSET=1002", std::chrono::seconds(20))) << d.logText();
}

}  // namespace
