// The CDMA vendor requests (GPS on and off, network parameters, volume), the
// GPS restart, and the OEM hook strings of all three families, against the
// scripted module.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <cutils/properties.h>

#include "ril_vendor.h"
#include "simnet_rig.h"

using simnettest::CDMA;
using simnettest::LTE;
using simnettest::Rig;
using simnettest::WCDMA;

namespace {

const char *const kFormats[] = {"AT^GPSFMT=\"GGA\", 1", "AT^GPSFMT=\"GLL\", 1", "AT^GPSFMT=\"GSA\", 1",
                                "AT^GPSFMT=\"GSV\", 1", "AT^GPSFMT=\"RMC\", 1", "AT^GPSFMT=\"VTG\", 1"};

// the GPS-on commands up to the location mode
void expectGpsStart(Rig &rig, int mode) {
    rig.peer.expect("AT^GPSLOC=0", {"OK"})
        .expect("at^gpspsword=\"ctwap@mycdma.cn\",\"dflt.pass\"", {"OK"})
        .expect("at^gpsmpcip=\"10.199.22.165\",6066", {"ERROR"})
        .expect("at^gpsmode=" + std::to_string(mode), {"OK"});
    for (const char *f : kFormats) rig.peer.expect(f, {"OK"});
}

bool logHas(Rig &rig, const std::string &text) {
    return riltest::readFile(rig.root.at("/ril.log")).find(text) != std::string::npos;
}

}  // namespace

TEST(Gps, DefaultsStopTheDataLinkAndLocateWithDefaultIntervalAndTimes) {
    g_companyid = 0;
    Rig rig;
    expectGpsStart(rig, 3);
    rig.peer.expect("AT^GPSLOC=1, 3, 900000", {"ERROR"});
    rig.open();
    EXPECT_EQ(rig.request(CDMA, 104, nullptr, 0).error, RIL_E_SUCCESS);
    rig.peer.verify();
    EXPECT_TRUE(logHas(rig, "StopPPPD: RIL_ENABLE_GPS"));
    EXPECT_EQ(s_gpsmode, 3);
}

TEST(Gps, ModeTwoEndsWithTheLocationUpdate) {
    g_companyid = 0;
    Rig rig;
    property_set("service.gps.mode.config", "2");
    expectGpsStart(rig, 2);
    rig.peer.expect("AT^GPSLUPD=0", {"OK"});
    rig.open();
    EXPECT_EQ(rig.request(CDMA, 104, nullptr, 0).error, RIL_E_SUCCESS);
    rig.peer.verify();
    EXPECT_TRUE(logHas(rig, "StopPPPD: RIL_ENABLE_GPS"));
}

TEST(Gps, ModeOneKeepsTheDataLinkAndUsesTheProperties) {
    g_companyid = 99;  // this company's mode comes from the persistent property
    Rig rig;
    property_set("service.gps.mode.config", "2");
    property_set("persist.service.gps.mode.config", "1");
    property_set("service.gps.mode.interval", "10");
    property_set("service.gps.mode.times", "25");
    expectGpsStart(rig, 1);
    rig.peer.expect("AT^GPSLOC=1, 10, 25", {"OK"});
    rig.open();
    EXPECT_EQ(rig.request(CDMA, 104, nullptr, 0).error, RIL_E_SUCCESS);
    rig.peer.verify();
    EXPECT_FALSE(logHas(rig, "StopPPPD: RIL_ENABLE_GPS"));
    g_companyid = 0;
}

TEST(Gps, PropertyValuesOtherThanDigitsFallBackToTheDefaults) {
    g_companyid = 0;
    Rig rig;
    property_set("service.gps.mode.config", "1;+CFUN=0");
    property_set("service.gps.mode.interval", "3\r\nAT+CFUN=0");
    property_set("service.gps.mode.times", "-5");
    expectGpsStart(rig, 3);
    rig.peer.expect("AT^GPSLOC=1, 3, 900000", {"OK"});
    rig.open();
    EXPECT_EQ(rig.request(CDMA, 104, nullptr, 0).error, RIL_E_SUCCESS);
    rig.peer.verify();
}

TEST(Gps, OffAndRestart) {
    Rig rig;
    rig.peer.expect("AT^GPSLOC=0", {"OK"}).expect("AT^GPSLOC=0", {"OK"}).expect("at^gpsmode=1", {"OK"});
    for (const char *f : kFormats) rig.peer.expect(f, {"OK"});
    rig.peer.expect("AT^GPSLOC=1, 3, 900000", {"OK"}).expect("AT^GPSLOC=0", {"OK"});
    rig.open();
    EXPECT_EQ(rig.request(CDMA, 105, nullptr, 0).error, RIL_E_SUCCESS);
    // after a mode-2 start the restart switches to mode 1 and locates again
    s_gpsmode = 2;
    unsigned int before = g_new_netguard;
    RestartGps_cdma(nullptr);
    // any other mode only stops the receiver
    s_gpsmode = 3;
    RestartGps_cdma(nullptr);
    rig.peer.verify();
    EXPECT_NE(g_new_netguard, before) << "the data check starts again";
}

/* ---- network parameters ---- */

TEST(Netpar, WritesTheLineAfterTheColon) {
    Rig rig;
    rig.peer.expect("AT+NETPAR=2", {"+NETPAR: 460,03,13824,1", "OK"});
    rig.open();
    EXPECT_EQ(rig.request(CDMA, 106, nullptr, 0).error, RIL_E_SUCCESS);
    EXPECT_EQ(riltest::readFile(rig.root.at("/sysroot/data/local/tmp/netpar")), " 460,03,13824,1");
    rig.peer.verify();
}

TEST(Netpar, FailuresLeaveTheFileAlone) {
    struct Case {
        std::vector<std::string> reply;
    } cases[] = {{{"ERROR"}}, {{"OK"}}, {{"+NETPAR:1", "OK"}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.reply[0]);
        Rig rig;
        rig.root.writeFile("/sysroot/data/local/tmp/netpar", "old");
        rig.peer.expect("AT+NETPAR=2", c.reply);
        rig.open();
        EXPECT_EQ(rig.request(CDMA, 106, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
        rig.peer.verify();
        if (c.reply.size() == 1) {
            EXPECT_EQ(riltest::readFile(rig.root.at("/sysroot/data/local/tmp/netpar")), "old");
        }
    }
}

TEST(Netpar, NeverWritesThroughASymbolicLink) {
    Rig rig;
    rig.root.writeFile("/victim", "precious");
    ASSERT_EQ(symlink(rig.root.at("/victim").c_str(), rig.root.at("/sysroot/data/local/tmp/netpar").c_str()), 0);
    rig.peer.expect("AT+NETPAR=2", {"+NETPAR: 460,03,13824,1", "OK"});
    rig.open();
    EXPECT_EQ(rig.request(CDMA, 106, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
    EXPECT_EQ(riltest::readFile(rig.root.at("/victim")), "precious");
    rig.peer.verify();
}

TEST(Volume, SendsTheLevelWhenGiven) {
    Rig rig;
    rig.peer.expect("AT+CLVL=5", {"ERROR"});
    rig.open();
    int level = 5;
    EXPECT_EQ(rig.request(CDMA, 107, &level, sizeof(level)).error, RIL_E_SUCCESS);
    EXPECT_EQ(rig.request(CDMA, 107, nullptr, 0).error, RIL_E_SUCCESS);
    rig.peer.verify();
    EXPECT_EQ(rig.peer.commands().size(), 1u);
}

/* ---- OEM hook strings ---- */

TEST(OemHook, SendsTheFirstStringAndNeverReturnsTheReplyLines) {
    Rig rig;
    for (int f = CDMA; f <= LTE; f++)
        rig.peer.expect("AT+CSQ", {"+CSQ: 21,99", "OK"}).expect("AT+XYZ", {"ERROR"}).silence("AT+SLOW");
    rig.open();
    for (int f : {CDMA, WCDMA, LTE}) {
        SCOPED_TRACE(f);
        auto done = rig.strings(f, 60, {"AT+CSQ", "second"});
        EXPECT_EQ(done.error, RIL_E_SUCCESS);
        EXPECT_TRUE(done.data.empty());
        EXPECT_EQ(rig.strings(f, 60, {"AT+XYZ"}).error, RIL_E_GENERIC_FAILURE);
        EXPECT_EQ(rig.strings(f, 60, {"AT+SLOW"}).error, RIL_E_GENERIC_FAILURE);
    }
    rig.peer.verify();
    EXPECT_TRUE(logHas(rig, "JET LOG CMD LINE:second"));
}

TEST(OemHook, RefusedWithNothingSent) {
    const std::vector<std::vector<const char *>> hostile = {
        {},  {nullptr}, {""}, {"AT+CSQ\r\nAT+CFUN=0"}, {"AT+CSQ\rAT+CFUN=0"}, {"AT+CMGS=1\x1a"}, {"AT\nD"}};
    Rig rig;
    rig.open();
    for (int f : {CDMA, WCDMA, LTE}) {
        for (const auto &args : hostile) {
            EXPECT_EQ(rig.strings(f, 60, args).error, RIL_E_GENERIC_FAILURE);
        }
        std::string big(2000, 'A');
        EXPECT_EQ(rig.strings(f, 60, {big.c_str()}).error, RIL_E_GENERIC_FAILURE);
    }
    rig.peer.verify();
    EXPECT_TRUE(rig.peer.commands().empty());
}
