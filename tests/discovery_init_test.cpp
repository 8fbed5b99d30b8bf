// The real library in the host daemon picks its radio family from the module
// plugged under the sysroot.
#include <chrono>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "daemon_harness.h"
#include "temp_root.h"
#include "usb_tree.h"

using modemsim::UsbTree;

namespace {

int count(const std::string &text, const std::string &what) {
    int n = 0;
    for (size_t p = 0; (p = text.find(what, p)) != std::string::npos; p++) n++;
    return n;
}

struct ModelFamily {
    const char *model;
    int family;
    const char *phoneType;  // "" for LTE modules
};

void PrintTo(const ModelFamily &m, std::ostream *os) { *os << m.model; }

class InitPicksFamily : public ::testing::TestWithParam<ModelFamily> {};

TEST_P(InitPicksFamily, FromThePluggedModule) {
    riltest::TempRoot root;
    riltest::DaemonHarness rild(root);
    UsbTree tree(rild.sysroot());
    modemsim::UsbDevice module = UsbTree::model(GetParam().model);
    tree.plug(module);

    rild.start();
    std::string marker = "God >> before mainloop card type " + std::to_string(GetParam().family);
    ASSERT_TRUE(riltest::waitUntil([&] { return rild.logText().find(marker) != std::string::npos; },
                                   std::chrono::seconds(10)))
        << rild.logText();
    EXPECT_EQ(0, count(rild.logText(), "--------refind-------"));  // found at once
    EXPECT_EQ("/dev/" + module.atTty, rild.property("ril.pcui"));
    EXPECT_EQ("/dev/" + module.modemTty, rild.property("ril.modem"));
    EXPECT_EQ(GetParam().phoneType, rild.property("ril.phonetype"));
}

INSTANTIATE_TEST_SUITE_P(Models, InitPicksFamily,
                         ::testing::Values(ModelFamily{"wcdma6290", 1, "1"}, ModelFamily{"cdma", 0, "2"},
                                           ModelFamily{"lte", 2, ""}, ModelFamily{"lte8909", 2, ""},
                                           ModelFamily{"asr", 2, ""}),
                         [](const ::testing::TestParamInfo<ModelFamily> &info) {
                             return std::string(info.param.model);
                         });

// A module plugged while RIL_Init is still looking is found at the next try.
TEST(InitDiscovery, ModulePluggedDuringTheSearch) {
    riltest::TempRoot root;
    riltest::DaemonHarness rild(root);
    UsbTree tree(rild.sysroot());
    tree.loadDriver("option");
    riltest::DaemonOptions opt;
    opt.timeScale = 10;
    rild.start(opt);
    ASSERT_TRUE(riltest::waitUntil([&] { return count(rild.logText(), "--------refind-------") >= 1; },
                                   std::chrono::seconds(10)));
    tree.plug(UsbTree::model("lte"));

    ASSERT_TRUE(riltest::waitUntil(
        [&] { return rild.logText().find("God >> before mainloop card type 2") != std::string::npos; },
        std::chrono::seconds(10)))
        << rild.logText();
    EXPECT_LT(count(rild.logText(), "--------refind-------"), 15);
}

// Nothing plugged: 15 tries 3 s apart, then the CDMA family.
TEST(InitDiscovery, NoModuleFallsBackToCdmaAfterFifteenTries) {
    riltest::TempRoot root;
    riltest::DaemonHarness rild(root);
    riltest::DaemonOptions opt;
    opt.timeScale = 100;
    rild.start(opt);
    ASSERT_TRUE(riltest::waitUntil(
        [&] { return rild.logText().find("God >> before mainloop card type 0") != std::string::npos; },
        std::chrono::seconds(20)))
        << rild.logText();
    // what RIL_Init did (the main loop goes on scanning after it)
    std::string log = rild.logText();
    log.resize(log.find("God >> before mainloop"));
    EXPECT_EQ(15, count(log, "--------refind-------"));
    EXPECT_EQ(15, count(log, "usbdir NULL"));
}

}  // namespace
