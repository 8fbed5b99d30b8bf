// Discovery on trees that a real kernel rarely shows: over-long lines,
// crowded driver directories, names and paths that do not fit, missing
// attribute files, and the AT probe on real pseudo-terminals.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <string.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "ril_families.h"
#include "ril_log.h"
#include "temp_root.h"
#include "usb_discovery.h"
#include "usb_tree.h"

using modemsim::UsbDevice;
using modemsim::UsbTree;

namespace {

class DiscoveryRobustness : public ::testing::Test {
protected:
    void SetUp() override {
        useSysroot(root.at("/sysroot"));
        setenv("RIL_PROPERTY_DIR", root.at("/properties").c_str(), 1);
        setenv("RIL_LOG", root.at("/ril.log").c_str(), 1);
        riltest::makeDirs(root.at("/properties"));
    }
    void useSysroot(const std::string &path) {
        sysroot = path;
        riltest::makeDirs(sysroot);
        setenv("RIL_SYSROOT", sysroot.c_str(), 1);
    }
    std::string iface(const std::string &name) const { return sysroot + "/sys/bus/usb/drivers/option/" + name; }
    std::string log() const { return riltest::readFile(root.at("/ril.log")); }

    riltest::TempRoot root;
    std::string sysroot;
};

TEST_F(DiscoveryRobustness, OverlongModaliasIsReadUpToTheBuffer) {
    UsbTree tree(sysroot);
    tree.plug(UsbTree::model("lte"));
    // ids in the first 1023 characters count, the rest of the line is never read
    std::string tail(8000, 'x');
    for (const char *n : {"1-1:1.0", "1-1:1.1", "1-1:1.2"}) {
        std::string path = iface(n) + "/modalias";
        std::string line = riltest::readFile(path);
        line.pop_back();
        FILE *f = fopen(path.c_str(), "w");
        ASSERT_NE(nullptr, f);
        fprintf(f, "%s%s2601\n", line.c_str(), tail.c_str());  // "2601" far beyond the buffer
        fclose(f);
    }
    EXPECT_EQ(7, HandleDeviceHotPlugin());
    EXPECT_EQ(RIL_FAMILY_LTE, s_detected_cardtype);
    EXPECT_EQ(3, g_moduletype);
}

TEST_F(DiscoveryRobustness, VendorIdBeyondTheBufferIsNotSeen) {
    UsbTree tree(sysroot);
    tree.plug(UsbTree::model("lte"));
    for (const char *n : {"1-1:1.0", "1-1:1.1", "1-1:1.2"}) {
        FILE *f = fopen((iface(n) + "/modalias").c_str(), "w");
        ASSERT_NE(nullptr, f);
        fprintf(f, "usb:%s05C6p9025\n", std::string(1100, 'x').c_str());
        fclose(f);
    }
    EXPECT_EQ(0, HandleDeviceHotPlugin());
    EXPECT_EQ(0, g_deviceexist);
}

TEST_F(DiscoveryRobustness, CrowdedDriverDirectory) {
    UsbTree tree(sysroot);
    tree.loadDriver("option");
    // thousands of entries: interface-like names without attribute files,
    // and files without a colon
    for (int i = 0; i < 3000; i++) {
        std::string n = std::to_string(i);
        ASSERT_EQ(0, mkdir(iface("9-" + n + ":1.0").c_str(), 0755));
        FILE *f = fopen(iface("junk" + n).c_str(), "w");
        ASSERT_NE(nullptr, f);
        fclose(f);
    }
    tree.plug(UsbTree::model("wcdma6290"));
    EXPECT_EQ(7, HandleDeviceHotPlugin());
    EXPECT_STREQ("/dev/ttyUSB2", g_pcuidevice_path);
}

TEST_F(DiscoveryRobustness, PortNamesThatDoNotFitAreSkipped) {
    UsbTree tree(sysroot);
    // fits nothing / fits the 128-byte buffer but not a property value / fits
    std::string huge = "ttyUSB" + std::string(200, '9');
    std::string long_ = "ttyUSB" + std::string(100, '1');
    UsbDevice d;
    d.vendor = "05C6";
    d.product = "9025";
    d.ports = {{"00", "ff", huge}, {"02", "ff", long_}, {"01", "ff", "ttyUSB1"}};
    tree.plug(d);
    snprintf(g_data_device_path, sizeof(g_data_device_path), "before");
    snprintf(g_pcuidevice_path, sizeof(g_pcuidevice_path), "before");

    EXPECT_EQ(4, HandleDeviceHotPlugin());  // only the diagnostic port
    EXPECT_STREQ("before", g_data_device_path);
    EXPECT_STREQ("before", g_pcuidevice_path);
    EXPECT_STREQ("/dev/ttyUSB1", g_diagdevice_path);
    EXPECT_EQ(0, g_deviceexist);
    EXPECT_FALSE(riltest::fileExists(root.at("/properties/ril.modem")));
    std::string text = log();
    size_t first = text.find("port name too long, skipped");
    ASSERT_NE(std::string::npos, first);
    EXPECT_NE(std::string::npos, text.find("port name too long, skipped", first + 1));
}

TEST_F(DiscoveryRobustness, PathsThatDoNotFitAreSkippedNotCut) {
    // a sysroot so deep that the driver directory fits 1024 bytes but the
    // attribute paths below it do not
    std::string deep = root.path();
    while (deep.size() < 1024 - 40) deep += "/" + std::string(std::min<size_t>(200, 1024 - 40 - deep.size()), 'd');
    useSysroot(deep);
    ASSERT_LT(sysroot.size() + strlen("/sys/bus/usb/drivers/option"), 1024u);
    UsbTree tree(sysroot);
    tree.plug(UsbTree::model("lte"));

    EXPECT_EQ(0, HandleDeviceHotPlugin());
    EXPECT_NE(std::string::npos, log().find("path too long, skipped"));
}

TEST_F(DiscoveryRobustness, MissingProtocolBeforeFirstInterfaceIsNotVendorSpecific) {
    UsbTree tree(sysroot);
    UsbDevice d;
    d.vendor = "05C6";
    d.product = "9025";  // two-port layout for interfaces that are not vendor-specific
    d.ports = {{"00", "ff", "ttyUSB0"}};
    tree.plug(d);
    ASSERT_EQ(1, HandleDeviceHotPlugin());
    unlink((iface("1-1:1.0") + "/bInterfaceProtocol").c_str());

    // now interface 00 has no role: the two-port layout knows only 02 and 03
    EXPECT_EQ(0, HandleDeviceHotPlugin());
}

TEST_F(DiscoveryRobustness, MissingNumberOrModaliasSkipsTheInterface) {
    UsbTree tree(sysroot);
    tree.plug(UsbTree::model("cdma"));
    unlink((iface("1-1:1.2") + "/bInterfaceNumber").c_str());
    unlink((iface("1-1:1.0") + "/modalias").c_str());

    EXPECT_EQ(4, HandleDeviceHotPlugin());  // only the diagnostic interface is left
    EXPECT_EQ(0, g_deviceexist);
}

// ---- the AT probe on a real pseudo-terminal ----

struct Pty {
    Pty(const std::string &sysroot, const char *name) {
        EXPECT_EQ(0, openpty(&master, &slave, nullptr, nullptr, nullptr));
        struct termios t;
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
        riltest::makeDirs(sysroot + "/dev");
        EXPECT_EQ(0, symlink(ptsname(master), (sysroot + "/dev/" + name).c_str()));
    }
    ~Pty() {
        stop = true;
        if (responder.joinable()) responder.join();
        close(master);
        close(slave);
    }
    // answers every "AT" with reply
    void answer(const std::string &reply) {
        responder = std::thread([this, reply] {
            std::string got;
            while (!stop) {
                struct pollfd p = {master, POLLIN, 0};
                if (poll(&p, 1, 10) <= 0) continue;
                char buf[64];
                ssize_t n = read(master, buf, sizeof(buf));
                if (n <= 0) continue;
                got.append(buf, (size_t)n);
                if (got.find("AT\r\n") != std::string::npos) {
                    got.clear();
                    ssize_t w = write(master, reply.data(), reply.size());
                    (void)w;
                }
            }
        });
    }
    int master = -1, slave = -1;
    std::atomic<bool> stop{false};
    std::thread responder;
};

TEST_F(DiscoveryRobustness, IsATPortOnRealPorts) {
    setenv("RIL_TIME_SCALE", "10", 1);
    Pty ok(sysroot, "ttyUSB2"), err(sysroot, "ttyUSB3"), silent(sysroot, "ttyUSB4");
    ok.answer("\r\nOK\r\n");
    err.answer("\r\nERROR\r\n");

    EXPECT_EQ(1, IsATPort("/dev/ttyUSB2"));
    EXPECT_EQ(0, IsATPort("/dev/ttyUSB3"));
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(0, IsATPort("/dev/ttyUSB4"));  // no answer: no hang
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
    EXPECT_EQ(0, IsATPort("/dev/ttyUSB9"));
    EXPECT_EQ(0, IsATPort(nullptr));
}

}  // namespace
