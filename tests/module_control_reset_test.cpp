// ResetModule against the simulated power-control device: the request
// reaches the module, which drops off USB and comes back, and the reset
// waits for it. The delays run on the host time scale.
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "power_device.h"
#include "ril_families.h"
#include "ril_log.h"
#include "temp_root.h"
#include "usb_discovery.h"
#include "usb_tree.h"

using modemsim::PowerDevice;
using modemsim::UsbTree;

namespace {

std::atomic<int> g_events{0};
std::atomic<int> g_lastEvent{-1};
std::atomic<int> g_resetsAtEvent{-1};
PowerDevice *g_power = nullptr;

void recordEvent(kv_atfunc, int event, void *) {
    g_events++;
    g_lastEvent = event;
    g_resetsAtEvent = g_power != nullptr ? g_power->resets() : -1;
}

class ResetModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        sysroot = root.at("/sysroot");
        riltest::makeDirs(sysroot);
        setenv("RIL_SYSROOT", sysroot.c_str(), 1);
        setenv("RIL_PROPERTY_DIR", root.at("/properties").c_str(), 1);
        setenv("RIL_LOG", root.at("/ril.log").c_str(), 1);
        g_peventfun = recordEvent;
    }
    void TearDown() override {
        g_peventfun = nullptr;
        g_power = nullptr;
    }
    // ResetModule's duration on the library's (scaled) clock
    unsigned int timedReset(int force, int line) {
        unsigned int t0 = GetTickCount();
        EXPECT_EQ(0, ResetModule("module_control_reset_test.cpp", line, force));
        return GetTickCount() - t0;
    }
    int scans() const {
        std::string log = riltest::readFile(root.at("/ril.log"));
        int n = 0;
        for (size_t p = 0; (p = log.find("In the HandleDeviceHotPlugin", p)) != std::string::npos; p++) n++;
        return n;
    }

    riltest::TempRoot root;
    std::string sysroot;
};

TEST_F(ResetModuleTest, ForceZeroLeavesAPresentModuleAlone) {
    UsbTree tree(sysroot);
    tree.plug(UsbTree::model("lte"));
    PowerDevice pa(tree);
    auto t0 = std::chrono::steady_clock::now();

    timedReset(0, __LINE__);

    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));  // unscaled: no 11 s
    EXPECT_EQ(0, pa.resets());
    EXPECT_EQ(0, g_events.load());
    EXPECT_EQ(1, scans());
}

// The module goes away on the request, stays away past the first 3 s and
// is back within the 10 s wait; the reset ends 8 s after it was found.
TEST_F(ResetModuleTest, ForceOneResetsThroughThePowerDevice) {
    setenv("RIL_TIME_SCALE", "5", 1);
    UsbTree tree(sysroot);
    tree.plug(UsbTree::model("wcdma6290"));
    PowerDevice pa(tree, std::chrono::milliseconds(1000));  // 5 s on the scaled clock
    g_power = &pa;

    unsigned int took = timedReset(1, __LINE__);

    EXPECT_EQ(1, g_events.load());
    EXPECT_EQ(7, g_lastEvent.load());
    EXPECT_EQ(0, g_resetsAtEvent.load());  // the plug-in hears of it before the reset
    ASSERT_EQ(1u, pa.requests().size());
    EXPECT_EQ(203u, pa.requests()[0].request);
    EXPECT_EQ(0u, pa.requests()[0].argument);
    EXPECT_EQ(1, pa.replugs());
    EXPECT_GT(scans(), 2);  // the wait scanned while the module was away
    EXPECT_GE(took, 5000u + 8000u);
    EXPECT_LT(took, 3000u + 10000u + 8000u);  // and ended when it came back
    // (the interfaces come back one by one: the wait may end on the first)
    EXPECT_EQ(7, HandleDeviceHotPlugin());
    EXPECT_NE(std::string::npos,
              riltest::readFile(root.at("/ril.log")).find("resetmodule: module_control_reset_test.cpp --> "));
}

TEST_F(ResetModuleTest, ForceOneWithoutPowerDeviceStillWaitsForTheModule) {
    setenv("RIL_TIME_SCALE", "20", 1);
    UsbTree tree(sysroot);
    tree.plug(UsbTree::model("lte"));

    unsigned int took = timedReset(1, __LINE__);

    EXPECT_EQ(7, g_lastEvent.load());
    EXPECT_EQ(1, g_deviceexist);
    EXPECT_GE(took, 3000u + 8000u);  // found at the first poll
    EXPECT_LT(took, 3000u + 10000u + 8000u);
}

TEST_F(ResetModuleTest, ModuleThatNeverComesBackTakesTheFullWait) {
    setenv("RIL_TIME_SCALE", "20", 1);
    UsbTree tree(sysroot);
    tree.loadDriver("option");  // driver loaded, nothing on USB, no power device

    unsigned int took = timedReset(0, __LINE__);  // force 0: nothing found, so reset

    EXPECT_EQ(7, g_lastEvent.load());
    EXPECT_EQ(0, g_deviceexist);
    EXPECT_GE(took, 3000u + 10000u + 8000u);
}

TEST_F(ResetModuleTest, ForceZeroResetsAModuleThatIsGone) {
    setenv("RIL_TIME_SCALE", "20", 1);
    UsbTree tree(sysroot);
    tree.loadDriver("option");
    PowerDevice pa(tree, std::chrono::milliseconds(0));

    timedReset(0, __LINE__);

    EXPECT_EQ(1, pa.resets());
    EXPECT_EQ(0, g_deviceexist);
}

}  // namespace
