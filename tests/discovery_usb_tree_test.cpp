// The sysfs tree publisher and the power-control listener that the
// simulated module builds on.
#include <limits.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "power_device.h"
#include "temp_root.h"
#include "usb_discovery.h"
#include "usb_tree.h"

using modemsim::PowerDevice;
using modemsim::UsbDevice;
using modemsim::UsbTree;

namespace {

class UsbTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        sysroot = root.at("/sysroot");
        riltest::makeDirs(sysroot);
        setenv("RIL_SYSROOT", sysroot.c_str(), 1);
        setenv("RIL_PROPERTY_DIR", root.at("/properties").c_str(), 1);
        setenv("RIL_LOG", root.at("/ril.log").c_str(), 1);
    }
    riltest::TempRoot root;
    std::string sysroot;
};

TEST_F(UsbTreeTest, PlugWritesTheKernelsLayoutAndUnplugRemovesIt) {
    UsbTree tree(sysroot);
    tree.plug(UsbTree::model("lte"));
    UsbDevice acm;
    acm.driver = "cdc_acm";
    acm.vendor = "1C9E";
    acm.product = "1601";
    acm.busPath = "2-1.3";
    acm.ports = {{"02", "01", "ttyACM0"}};
    tree.plug(acm);

    std::string opt = sysroot + "/sys/bus/usb/drivers/option";
    EXPECT_EQ("usb:v05C6p9025d0000dc00dsc00dp00icFFiscFFipFFin02\n", riltest::readFile(opt + "/1-1:1.2/modalias"));
    EXPECT_EQ("02\n", riltest::readFile(opt + "/1-1:1.2/bInterfaceNumber"));
    EXPECT_EQ("ff\n", riltest::readFile(opt + "/1-1:1.2/bInterfaceProtocol"));
    EXPECT_TRUE(riltest::fileExists(opt + "/1-1:1.2/ttyUSB2"));
    EXPECT_TRUE(riltest::fileExists(opt + "/bind"));
    char real[PATH_MAX];
    ASSERT_NE(nullptr, realpath((opt + "/1-1:1.2").c_str(), real));
    EXPECT_EQ(sysroot + "/sys/devices/usb1/1-1/1-1:1.2", real);
    std::string acmDir = sysroot + "/sys/bus/usb/drivers/cdc_acm/2-1.3:1.2";
    EXPECT_TRUE(riltest::fileExists(acmDir + "/tty/ttyACM0"));
    EXPECT_EQ("usb:v1C9Ep1601d0000dc02dsc00dp00ic02isc02ip01in02\n", riltest::readFile(acmDir + "/modalias"));
    EXPECT_EQ(2u, tree.devices().size());

    tree.unplug();
    EXPECT_FALSE(tree.plugged());
    EXPECT_FALSE(riltest::fileExists(opt + "/1-1:1.2"));
    EXPECT_FALSE(riltest::fileExists(sysroot + "/sys/devices/usb1/1-1"));
    EXPECT_FALSE(riltest::fileExists(acmDir));
    EXPECT_TRUE(riltest::fileExists(opt + "/bind"));  // the driver stays loaded
}

TEST_F(UsbTreeTest, RefusesWhatTheKernelWouldNotShow) {
    UsbTree tree(sysroot);
    tree.plug(UsbTree::model("lte"));
    EXPECT_THROW(tree.plug(UsbTree::model("cdma")), std::invalid_argument);  // same bus path
    UsbDevice d = UsbTree::model("cdma");
    d.busPath = "1-2";
    d.ports[0].tty = "../escape";
    EXPECT_THROW(tree.plug(d), std::invalid_argument);
    d = UsbTree::model("cdma");
    d.busPath = "1-2";
    d.ports.push_back(d.ports[0]);
    EXPECT_THROW(tree.plug(d), std::invalid_argument);
    EXPECT_THROW(UsbTree::model("gsm"), std::invalid_argument);
    EXPECT_EQ(1u, tree.devices().size());
}

// Every model the simulated module offers is discovered with the ports the
// model names.
TEST_F(UsbTreeTest, EveryModelIsDiscoveredWithItsPorts) {
    for (const std::string &name : UsbTree::modelNames()) {
        SCOPED_TRACE(name);
        UsbTree tree(sysroot);
        UsbDevice d = UsbTree::model(name);
        tree.plug(d);
        s_port_layout = 0;
        int r = HandleDeviceHotPlugin();
        EXPECT_NE(0, r & 5);
        EXPECT_EQ("/dev/" + d.atTty, g_pcuidevice_path);
        EXPECT_EQ(d.modemTty, g_data_device_path);
        tree.unplug();
    }
}

std::string askPowerDevice(const std::string &path, const std::string &line) {
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    struct sockaddr_un addr = {};
    addr.sun_family = AF_UNIX;
    snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", path.c_str());
    if (connect(fd, (struct sockaddr *)&addr, sizeof(addr)) != 0) {
        close(fd);
        return "connect failed";
    }
    ssize_t w = write(fd, line.data(), line.size());
    (void)w;
    char buf[32] = {};
    ssize_t n = read(fd, buf, sizeof(buf) - 1);
    close(fd);
    return n > 0 ? std::string(buf, (size_t)n) : "";
}

TEST_F(UsbTreeTest, PowerDeviceResetDropsTheModuleAndBringsItBack) {
    UsbTree tree(sysroot);
    tree.plug(UsbTree::model("wcdma6290"));
    PowerDevice pa(tree, std::chrono::milliseconds(200));
    std::vector<std::string> events;
    std::mutex m;
    pa.onUnplugged([&](const std::vector<UsbDevice> &d) {
        std::lock_guard<std::mutex> l(m);
        events.push_back("unplugged " + d.at(0).product + (tree.plugged() ? " still there" : ""));
    });
    pa.onReplugged([&](const std::vector<UsbDevice> &d) {
        std::lock_guard<std::mutex> l(m);
        events.push_back("replugged " + d.at(0).product);
    });
    EXPECT_EQ(sysroot + "/dev/pa_dev", pa.path());

    EXPECT_EQ("-1\n", askPowerDevice(pa.path(), "204 0\n"));
    EXPECT_TRUE(tree.plugged());
    EXPECT_EQ("0\n", askPowerDevice(pa.path(), "203 0\n"));
    EXPECT_FALSE(tree.plugged());  // off USB by the time the request returns
    // a second reset while the module is away keeps what is to come back
    EXPECT_EQ("0\n", askPowerDevice(pa.path(), "203 0\n"));
    ASSERT_TRUE(pa.waitReplugs(1, std::chrono::seconds(10)));
    EXPECT_TRUE(tree.plugged());
    EXPECT_EQ("2601", tree.devices().at(0).product);
    EXPECT_EQ(2, pa.resets());
    EXPECT_EQ(1, pa.replugs());
    ASSERT_EQ(3u, pa.requests().size());
    EXPECT_EQ(204u, pa.requests()[0].request);
    EXPECT_EQ(203u, pa.requests()[1].request);
    EXPECT_EQ(0u, pa.requests()[1].argument);
    std::lock_guard<std::mutex> l(m);
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ("unplugged 2601", events[0]);
    EXPECT_EQ("replugged 2601", events[1]);
}

TEST_F(UsbTreeTest, PowerDeviceIgnoresGarbageAndGoesAwayWithItsSocket) {
    UsbTree tree(sysroot);
    tree.plug(UsbTree::model("lte"));
    std::string path;
    {
        PowerDevice pa(tree);
        path = pa.path();
        EXPECT_EQ("", askPowerDevice(path, "reset please\n"));
        EXPECT_EQ("", askPowerDevice(path, std::string(200, '2')));
        EXPECT_EQ(0, pa.resets());
        EXPECT_TRUE(tree.plugged());
    }
    EXPECT_FALSE(riltest::fileExists(path));
}

}  // namespace
