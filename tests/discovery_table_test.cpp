// Discovery on sysfs trees of modules modelled on real ones: family, model,
// port layout, port paths, properties and result bits.
#include <dirent.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ril_families.h"
#include "temp_root.h"
#include "usb_discovery.h"
#include "usb_tree.h"

using modemsim::UsbDevice;
using modemsim::UsbPort;
using modemsim::UsbTree;

namespace {

// what the globals hold before the scan: a result that shows "unchanged"
const char kOldModem[] = "old-modem";
const char kOldPcui[] = "/dev/old-pcui";
const char kOldDiag[] = "/dev/old-diag";
const char kOldGps[] = "/dev/old-gps";
const int kOldFamily = 9;
const int kOldModel = 9;
const int kUnchanged = -1;

struct Case {
    const char *name;
    std::vector<UsbDevice> devices;
    std::vector<std::string> loadedDrivers;  // driver directories present without a device
    std::set<int> results;                   // the scan follows directory order: see below
    int family;                              // kUnchanged: family left as it was
    int model;
    int layout;
    int deviceExist;
    int rndis;
    std::string modem, pcui, diag, gps;      // globals after the scan
    std::string propModem, propPcui, propGps, propPhoneType;  // "" = not written
};

void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

UsbDevice option(const char *vendor, const char *product, std::vector<UsbPort> ports) {
    UsbDevice d;
    d.vendor = vendor;
    d.product = product;
    d.ports = std::move(ports);
    return d;
}

UsbDevice acm(const char *vendor, const char *product, std::vector<UsbPort> ports) {
    UsbDevice d = option(vendor, product, std::move(ports));
    d.driver = "cdc_acm";
    return d;
}

const std::vector<UsbPort> kVendorPorts = {{"00", "ff", "ttyUSB0"}, {"01", "ff", "ttyUSB1"}, {"02", "ff", "ttyUSB2"}};

std::vector<Case> cases() {
    std::vector<Case> c;
    // LTE, vendor-specific interfaces: modem, diagnostic, AT by number
    c.push_back({"lte_9025_vendor_specific", {option("05C6", "9025", kVendorPorts)}, {}, {7}, RIL_FAMILY_LTE, 3, 1, 1, 0,
                 "ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB1", kOldGps, "/dev/ttyUSB0", "/dev/ttyUSB2", "", ""});
    // LTE with GPS: modem 02, GPS 03, AT 04 (the last port sets exactly 5)
    c.push_back({"lte_9125_gps_layout",
                 {option("05C6", "9125", {{"02", "01", "ttyUSB0"}, {"03", "01", "ttyUSB1"}, {"04", "01", "ttyUSB2"}})},
                 {}, {5, 7}, RIL_FAMILY_LTE, 3, 2, 1, 0,
                 "ttyUSB0", "/dev/ttyUSB2", kOldDiag, "/dev/ttyUSB1", "/dev/ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB1", ""});
    // ASR: diagnostic 02 (bare name), AT 03, modem 04
    c.push_back({"asr_1286",
                 {option("1286", "4E3C", {{"02", "01", "ttyUSB0"}, {"03", "01", "ttyUSB1"}, {"04", "01", "ttyUSB2"}})},
                 {}, {5, 7}, RIL_FAMILY_LTE, 5, 3, 1, 0,
                 "ttyUSB2", "/dev/ttyUSB1", "ttyUSB0", kOldGps, "/dev/ttyUSB2", "/dev/ttyUSB1", "", ""});
    // WCDMA of the 6290 kind
    c.push_back({"wcdma_2601", {option("05C6", "2601", kVendorPorts)}, {}, {7}, RIL_FAMILY_WCDMA, 1, 0, 1, 0,
                 "ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB1", kOldGps, "/dev/ttyUSB0", "/dev/ttyUSB2", "", "1"});
    // a matched vendor with none of the WCDMA or LTE markers is CDMA
    c.push_back({"cdma_1601", {option("05C6", "1601", kVendorPorts)}, {}, {7}, RIL_FAMILY_CDMA, 2, 0, 1, 0,
                 "ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB1", kOldGps, "/dev/ttyUSB0", "/dev/ttyUSB2", "", "2"});
    // "260" anywhere in the line (here the device release) means WCDMA, model untouched
    {
        UsbDevice d = option("05C6", "1601", kVendorPorts);
        d.bcdDevice = "0260";
        c.push_back({"wcdma_marker_outside_product", {d}, {}, {7}, RIL_FAMILY_WCDMA, kOldModel, 0, 1, 0,
                     "ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB1", kOldGps, "/dev/ttyUSB0", "/dev/ttyUSB2", "", "1"});
    }
    // "36" without a known LTE product: nothing classified, ports still assigned
    c.push_back({"lte_hint_without_product", {option("05C6", "3611", kVendorPorts)}, {}, {7}, kUnchanged, kOldModel, 0,
                 1, 0, "ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB1", kOldGps, "/dev/ttyUSB0", "/dev/ttyUSB2", "", ""});
    // second vendor id, LTE product in the generic layout
    c.push_back({"lte_257a_3601", {option("257A", "3601", kVendorPorts)}, {}, {7}, RIL_FAMILY_LTE, 3, 0, 1, 0,
                 "ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB1", kOldGps, "/dev/ttyUSB0", "/dev/ttyUSB2", "", ""});
    // LTE in the generic layout: an unnumbered port with protocol 00 is the AT port
    c.push_back({"lte_361f_unknown_port_is_at",
                 {option("05C6", "361F", {{"00", "01", "ttyUSB0"}, {"05", "00", "ttyUSB1"}})}, {}, {5},
                 RIL_FAMILY_LTE, 3, 0, 1, 0,
                 "ttyUSB0", "/dev/ttyUSB1", kOldDiag, kOldGps, "/dev/ttyUSB0", "/dev/ttyUSB1", "", ""});
    // 8909 kind: two-port layout, modem 02, AT 03
    c.push_back({"lte_8909_two_ports", {UsbTree::model("lte8909")}, {}, {5, 7}, RIL_FAMILY_LTE, 4, 1, 1, 0,
                 "ttyUSB0", "/dev/ttyUSB1", kOldDiag, kOldGps, "/dev/ttyUSB0", "/dev/ttyUSB1", "", ""});
    // 9059: two-port layout and the USB network interface
    c.push_back({"lte_9059_rndis", {option("05C6", "9059", {{"02", "01", "ttyUSB0"}, {"03", "01", "ttyUSB1"}})}, {},
                 {5, 7}, RIL_FAMILY_LTE, 3, 1, 1, 1,
                 "ttyUSB0", "/dev/ttyUSB1", kOldDiag, kOldGps, "/dev/ttyUSB0", "/dev/ttyUSB1", "", ""});
    // cdc_acm: 1 modem, 2 diagnostic, 4 AT; family and model untouched
    c.push_back({"cdc_acm_1601",
                 {acm("1C9E", "1601", {{"00", "01", "ttyACM0"}, {"01", "01", "ttyACM1"}, {"02", "01", "ttyACM2"}})},
                 {"option"}, {7}, kUnchanged, kOldModel, 0, 1, 0,
                 "ttyACM0", "/dev/ttyACM2", "/dev/ttyACM1", kOldGps, "/dev/ttyACM0", "/dev/ttyACM2", "", ""});
    // cdc_acm product with a modem port only
    c.push_back({"cdc_acm_9025_modem_only",
                 {acm("05C6", "9025", {{"00", "01", "ttyACM0"}, {"01", "01", "ttyACM1"}})}, {"option"}, {1},
                 kUnchanged, kOldModel, 0, 1, 0,
                 "ttyACM0", kOldPcui, kOldDiag, kOldGps, "/dev/ttyACM0", "", "", ""});
    // the cdc_acm driver is only tried when the option driver is loaded
    c.push_back({"cdc_acm_without_option_driver",
                 {acm("1C9E", "1601", {{"00", "01", "ttyACM0"}, {"02", "01", "ttyACM2"}})}, {}, {0}, kUnchanged,
                 kOldModel, 0, 0, 0, kOldModem, kOldPcui, kOldDiag, kOldGps, "", "", "", ""});
    c.push_back({"unknown_vendor", {option("12D1", "1001", kVendorPorts)}, {"cdc_acm"}, {0}, kUnchanged, kOldModel, 0, 0,
                 0, kOldModem, kOldPcui, kOldDiag, kOldGps, "", "", "", ""});
    c.push_back({"drivers_loaded_nothing_plugged", {}, {"option", "cdc_acm"}, {0}, kUnchanged, kOldModel, 0, 0, 0,
                 kOldModem, kOldPcui, kOldDiag, kOldGps, "", "", "", ""});
    c.push_back({"no_driver_directory", {}, {}, {0}, kUnchanged, kOldModel, 0, 0, 0, kOldModem, kOldPcui, kOldDiag,
                 kOldGps, "", "", "", ""});
    return c;
}

class DiscoveryTable : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        setenv("RIL_SYSROOT", root.at("/sysroot").c_str(), 1);
        setenv("RIL_PROPERTY_DIR", root.at("/properties").c_str(), 1);
        setenv("RIL_LOG", root.at("/ril.log").c_str(), 1);
        riltest::makeDirs(root.at("/sysroot"));
        riltest::makeDirs(root.at("/properties"));
        snprintf(g_data_device_path, sizeof(g_data_device_path), "%s", kOldModem);
        snprintf(g_pcuidevice_path, sizeof(g_pcuidevice_path), "%s", kOldPcui);
        snprintf(g_diagdevice_path, sizeof(g_diagdevice_path), "%s", kOldDiag);
        snprintf(g_gpsdevice_path, sizeof(g_gpsdevice_path), "%s", kOldGps);
        s_detected_cardtype = kOldFamily;
        g_moduletype = kOldModel;
        g_deviceexist = 1;  // every scan starts from 0
    }

    std::string property(const char *name) {
        std::string path = root.at("/properties/") + name;
        return riltest::fileExists(path) ? riltest::readFile(path) : "";
    }

    riltest::TempRoot root;
};

TEST_P(DiscoveryTable, ScanFindsWhatIsPlugged) {
    const Case &c = GetParam();
    UsbTree tree(root.at("/sysroot"));
    for (const auto &driver : c.loadedDrivers) tree.loadDriver(driver);
    for (const auto &device : c.devices) tree.plug(device);

    int result = HandleDeviceHotPlugin();

    EXPECT_TRUE(c.results.count(result)) << "result " << result;
    if (c.family == kUnchanged) {
        EXPECT_EQ(RIL_FAMILY_NONE, s_cardtype);
        EXPECT_EQ(kOldFamily, s_detected_cardtype);
    } else {
        EXPECT_EQ(c.family, s_cardtype);
        EXPECT_EQ(c.family, s_detected_cardtype);
    }
    EXPECT_EQ(c.model, g_moduletype);
    EXPECT_EQ(c.layout, s_port_layout);
    EXPECT_EQ(c.deviceExist, g_deviceexist);
    EXPECT_EQ(c.rndis, g_use_rndis);
    EXPECT_STREQ(c.modem.c_str(), g_data_device_path);
    EXPECT_STREQ(c.pcui.c_str(), g_pcuidevice_path);
    EXPECT_STREQ(c.diag.c_str(), g_diagdevice_path);
    EXPECT_STREQ(c.gps.c_str(), g_gpsdevice_path);
    EXPECT_EQ(c.propModem, property("ril.modem"));
    EXPECT_EQ(c.propPcui, property("ril.pcui"));
    EXPECT_EQ(c.propGps, property("ril.gps"));
    EXPECT_EQ(c.propPhoneType, property("ril.phonetype"));
}

INSTANTIATE_TEST_SUITE_P(Modules, DiscoveryTable, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

// The scan takes interfaces in directory order: the last port of a layout
// replaces the result by 5, and a port read after it adds its bit again.
TEST_F(DiscoveryTable, LastPortOfLayoutReplacesEarlierBits) {
    UsbTree tree(root.at("/sysroot"));
    tree.plug(option("05C6", "9125", {{"02", "01", "ttyUSB0"}, {"03", "01", "ttyUSB1"}, {"04", "01", "ttyUSB2"}}));
    std::vector<std::string> order;
    DIR *d = opendir(tree.driverDir("option").c_str());
    ASSERT_NE(nullptr, d);
    while (struct dirent *e = readdir(d))
        if (strchr(e->d_name, ':') != nullptr) order.push_back(e->d_name);
    closedir(d);
    auto pos = [&](const char *name) { return std::find(order.begin(), order.end(), name) - order.begin(); };
    bool modemAfterAt = pos("1-1:1.2") > pos("1-1:1.4");

    EXPECT_EQ(modemAfterAt ? 7 : 5, HandleDeviceHotPlugin());
}

// Ports of a later scan overwrite, ports not found keep their old values.
TEST_F(DiscoveryTable, RescanAfterUnplugKeepsOldPaths) {
    UsbTree tree(root.at("/sysroot"));
    tree.plug(UsbTree::model("lte"));
    ASSERT_EQ(7, HandleDeviceHotPlugin());
    tree.unplug();

    EXPECT_EQ(0, HandleDeviceHotPlugin());
    EXPECT_EQ(0, g_deviceexist);
    EXPECT_STREQ("/dev/ttyUSB2", g_pcuidevice_path);
    EXPECT_STREQ("ttyUSB0", g_data_device_path);
    EXPECT_EQ(RIL_FAMILY_LTE, s_detected_cardtype);
}

TEST(DiscoveryStubs, FixedAnswers) {
    EXPECT_EQ(1, TestDeviceExists());
    EXPECT_EQ(0, HandleDeviceHotPlug());
}

}  // namespace
