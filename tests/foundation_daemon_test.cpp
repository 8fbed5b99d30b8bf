// The real library builds loaded by the real host daemon: start without a
// module, the log switch, the event plug-in, the legacy build, the console's
// handling of bad input, and the daemon's own timed callbacks and restarts.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "daemon_harness.h"

using nlohmann::json;
using riltest::DaemonHarness;
using riltest::DaemonOptions;
using riltest::TempRoot;

namespace {

int countOf(const std::string &text, const std::string &needle) {
    int n = 0;
    for (size_t p = text.find(needle); p != std::string::npos; p = text.find(needle, p + 1)) n++;
    return n;
}

bool isType(const json &m, const char *type) { return m.value("type", "") == type; }

TEST(DaemonStart, NoModuleStartsTheCdmaFamilyAfterFifteenAttempts) {
    TempRoot root;
    DaemonHarness d(root);
    DaemonOptions opt;
    opt.timeScale = 100;  // 15 x 3 s becomes 0.45 s
    d.start(opt);
    json init = d.waitFor([](const json &m) { return isType(m, "init"); });
    ASSERT_FALSE(init.is_null());
    EXPECT_EQ(init["family"], 0);
    EXPECT_EQ(init["version"], 15);
    std::string log = d.logText();
    EXPECT_EQ(countOf(log, "AT: --------refind-------"), 15);
    EXPECT_EQ(countOf(log, "wait for devices!"), 1);
    EXPECT_NE(log.find("God >> before mainloop card type 0"), std::string::npos);
    EXPECT_NE(log.find("--------------god >> rtl version 15-------------"), std::string::npos);
}

TEST(DaemonStart, RequestsAreRejectedWhileTheRadioIsUnavailable) {
    TempRoot root;
    DaemonHarness d(root);
    DaemonOptions opt;
    opt.timeScale = 100;
    d.start(opt);
    long t1 = d.request("RIL_REQUEST_RADIO_POWER 1");
    long t2 = d.request("-3");
    json r1 = d.waitResponse(t1);
    json r2 = d.waitResponse(t2);
    EXPECT_EQ(r1["error"], 1);
    EXPECT_EQ(r2["error"], 1);  // unavailable comes before the code check
    EXPECT_NE(d.logText().find("RIL: onRequestComplete :onRequest. line:"), std::string::npos);
}

TEST(DaemonStart, DebugSwitchOffSilencesChatterButNotRilLines) {
    TempRoot root;
    DaemonHarness d(root);
    DaemonOptions opt;
    opt.timeScale = 100;
    opt.properties["ril.debug"] = "0";
    d.start(opt);
    long t = d.request("RIL_REQUEST_SIGNAL_STRENGTH");
    ASSERT_FALSE(d.waitResponse(t).is_null());
    std::string log = d.logText();
    // read during RIL_Init: chatter before the switch is read still appears
    EXPECT_NE(log.find("wait for devices!"), std::string::npos);
    EXPECT_EQ(log.find("God >> before mainloop"), std::string::npos);
    EXPECT_EQ(log.find("onRequest: state"), std::string::npos);
    EXPECT_NE(log.find("RIL: onRequestComplete :onRequest."), std::string::npos);
}

struct PluginCase {
    const char *name;
    const char *target;  // library linked as the plug-in, or null for none
    bool loaded;
    bool entryMissing;
};
// readable, stable test names: the case by its name
void PrintTo(const PluginCase &c, std::ostream *os) { *os << c.name; }

class Plugin : public ::testing::TestWithParam<PluginCase> {};

TEST_P(Plugin, LoadedOnlyWithItsEntry) {
    const PluginCase &c = GetParam();
    TempRoot root;
    DaemonHarness d(root);
    DaemonOptions opt;
    opt.timeScale = 100;
    if (c.target != nullptr) {
        riltest::makeDirs(d.sysroot() + "/system/lib");
        ASSERT_EQ(symlink(riltest::buildPath(c.target).c_str(), (d.sysroot() + "/system/lib/libkvplugin.so").c_str()), 0);
    }
    d.start(opt);
    ASSERT_FALSE(d.waitFor([](const json &m) { return isType(m, "init"); }).is_null());
    std::string log = d.logText();
    EXPECT_EQ(log.find("EVT: load plutin succ") != std::string::npos, c.loaded);
    EXPECT_EQ(log.find("EVT: find event function fail") != std::string::npos, c.entryMissing);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Plugin,
    ::testing::Values(PluginCase{"absent", nullptr, false, false},
                      PluginCase{"recorder", "/lib/libkvplugin.so", true, false},
                      PluginCase{"withoutEntry", "/lib/libril_host_platform.so", true, true}),
    [](const ::testing::TestParamInfo<PluginCase> &i) { return std::string(i.param.name); });

TEST(LegacyBuild, ReportsVersionNineAndHasNoSapEntry) {
    TempRoot root;
    DaemonHarness d(root);
    DaemonOptions opt;
    opt.timeScale = 100;
    opt.library = riltest::legacyLibrary();
    d.start(opt);
    json init = d.waitFor([](const json &m) { return isType(m, "init"); });
    ASSERT_FALSE(init.is_null());
    EXPECT_EQ(init["version"], 9);

    void *cur = dlopen(riltest::currentLibrary().c_str(), RTLD_NOW | RTLD_LOCAL);
    void *leg = dlopen(riltest::legacyLibrary().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(cur, nullptr);
    ASSERT_NE(leg, nullptr);
    EXPECT_NE(dlsym(cur, "RIL_SAP_Init"), nullptr);
    EXPECT_EQ(dlsym(leg, "RIL_SAP_Init"), nullptr);
    EXPECT_NE(dlsym(leg, "RIL_Init"), nullptr);
}

TEST(Console, BadInputGetsAMessageAndTheDaemonGoesOn) {
    TempRoot root;
    DaemonHarness d(root);
    DaemonOptions opt;
    opt.library = riltest::buildPath("/lib/libfake-ril.so");
    d.start(opt);
    const char *bad[] = {"RIL_REQUEST_NO_SUCH_THING", "RIL_REQUEST_DIAL", "RIL_REQUEST_RADIO_POWER 1 2",
                         "RIL_REQUEST_RADIO_POWER one", "RIL_REQUEST_SET_MUTE 99999999999",
                         "RIL_REQUEST_SEND_USSD \"unterminated"};
    for (const char *line : bad) d.send(line);
    ASSERT_TRUE(riltest::waitUntil([&] { return d.count([](const json &m) { return isType(m, "error"); }) == 6; },
                                   std::chrono::seconds(5)));
    auto msgs = d.messages();
    std::vector<std::string> errors;
    for (const auto &m : msgs)
        if (isType(m, "error")) errors.push_back(m["message"]);
    EXPECT_NE(errors[0].find("unknown request"), std::string::npos);
    EXPECT_NE(errors[1].find("wrong argument count"), std::string::npos);
    EXPECT_NE(errors[2].find("wrong argument count"), std::string::npos);
    EXPECT_NE(errors[3].find("malformed number"), std::string::npos);
    EXPECT_NE(errors[4].find("malformed number"), std::string::npos);
    EXPECT_NE(errors[5].find("unbalanced"), std::string::npos);
    // still serving
    long t = d.request("screen 1");
    json r = d.waitResponse(t);
    EXPECT_EQ(r["error"], 6);
    EXPECT_EQ(r["request"], "RIL_REQUEST_SCREEN_STATE");
}

TEST(DaemonCallbacks, TimedCallbacksRunInDueOrderOnTheScaledClock) {
    TempRoot root;
    DaemonHarness d(root);
    DaemonOptions opt;
    opt.library = riltest::buildPath("/lib/libfake-ril.so");
    opt.timeScale = 10;
    d.start(opt);
    auto t0 = std::chrono::steady_clock::now();
    long t = d.request("RIL_REQUEST_GET_SIM_STATUS");
    json r = d.waitResponse(t, std::chrono::seconds(5));
    auto elapsed = std::chrono::steady_clock::now() - t0;
    ASSERT_FALSE(r.is_null());
    std::vector<int> order;
    for (const auto &m : d.messages())
        if (isType(m, "unsol") && m["code"] == 1028) order.push_back(m["data"][0]);
    EXPECT_EQ(order, (std::vector<int>{100, 200, 300}));
    EXPECT_LT(elapsed, std::chrono::milliseconds(300));  // 300 ms scaled by 10
}

TEST(DaemonCallbacks, SecondCompletionOfATokenIsFlagged) {
    TempRoot root;
    DaemonHarness d(root);
    DaemonOptions opt;
    opt.library = riltest::buildPath("/lib/libfake-ril.so");
    d.start(opt);
    long t = d.request("RIL_REQUEST_OEM_HOOK_RAW x");
    json e = d.waitFor([](const json &m) { return isType(m, "error"); });
    ASSERT_FALSE(e.is_null());
    EXPECT_NE(e["message"].get<std::string>().find("already completed token " + std::to_string(t)), std::string::npos);
}

TEST(Supervisor, LibraryExitWithStatusZeroEndsTheDaemonOrRestartsIt) {
    {
        TempRoot root;
        DaemonHarness d(root);
        DaemonOptions opt;
        opt.library = riltest::buildPath("/lib/libfake-ril.so");
        d.start(opt);
        d.request("RIL_REQUEST_RESET_RADIO");
        EXPECT_EQ(d.waitExit(), 0);
    }
    TempRoot root;
    DaemonHarness d(root);
    DaemonOptions opt;
    opt.library = riltest::buildPath("/lib/libfake-ril.so");
    opt.supervise = true;
    d.start(opt);
    d.request("RIL_REQUEST_RESET_RADIO");
    // the restarted library says hello again and serves requests
    ASSERT_TRUE(riltest::waitUntil([&] { return d.count([](const json &m) { return isType(m, "init"); }) == 2; },
                                   std::chrono::seconds(10)));
    EXPECT_TRUE(d.running());
    d.send("quit");
    EXPECT_EQ(d.waitExit(), 0);
}

}  // namespace
