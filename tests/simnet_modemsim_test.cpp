// The simulated module's SIM file, facility lock, network selection and
// vendor commands, without ports: the card's answers and status words by
// card type, the locks and their attempts, the scan list and manual
// selection, and the controls that send NITZ and GPS lines.
#include <gtest/gtest.h>

#include <chrono>

#include "dialect.h"
#include "simnet_dialect.h"
#include "simulated_module.h"
#include "temp_root.h"

using namespace modemsim;
using Lines = std::vector<std::string>;

namespace {

ModuleState fresh(const std::string &model) {
    ModuleState s;
    EXPECT_TRUE(defaultState(model, &s)) << model;
    return s;
}

Lines ask(ModuleState &s, const std::string &cmd, Effects *fx = nullptr) {
    Effects local;
    return answerCommand(s, cmd, {"OK"}, fx ? fx : &local);
}

}  // namespace

TEST(SimnetCard, UsimAnswersFileControlParameters) {
    ModuleState s = fresh("lte");
    // ADN: linear fixed, 10 records of 28 bytes (size 0x118)
    Lines r = ask(s, "AT+CRSM=192,28474,0,0,0");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].substr(0, 15), "+CRSM: 144,0,\"6");
    EXPECT_NE(r[0].find("82054221001C0A"), std::string::npos) << r[0];
    EXPECT_NE(r[0].find("83026F3A"), std::string::npos);
    EXPECT_NE(r[0].find("80020118"), std::string::npos);
    // a DF
    r = ask(s, "AT+CRSM=192,32528,0,0,0");
    EXPECT_NE(r[0].find("82027821"), std::string::npos) << r[0];
    // no such file
    EXPECT_EQ(ask(s, "AT+CRSM=192,28599,0,0,0"), (Lines{"+CRSM: 106,130", "OK"}));
}

TEST(SimnetCard, SimCardAnswersTheGetResponseLayout) {
    ModuleState s = fresh("wcdma6290");
    s.simnet.usim = false;
    // size 0118, id 6F3A, EF, linear fixed, record length 1C
    EXPECT_EQ(ask(s, "AT+CRSM=192,28474,0,0,0"),
              (Lines{"+CRSM: 144,0,\"000001186F3A040011FF550102011C\"", "OK"}));
    EXPECT_EQ(ask(s, "AT+CRSM=192,28599,0,0,0"), (Lines{"+CRSM: 148,4", "OK"}));
    EXPECT_EQ(ask(s, "AT+CRSM=178,28474,11,4,28"), (Lines{"+CRSM: 148,2", "OK"}));
}

TEST(SimnetCard, ReadsUpdatesAndStatusWords) {
    ModuleState s = fresh("lte");
    // ICCID 89860012345678901234 with each digit pair swapped
    EXPECT_EQ(ask(s, "AT+CRSM=176,12258,0,0,10"), (Lines{"+CRSM: 144,0,\"98680021436587092143\"", "OK"}));
    // IMSI 460001234567890: length 8, parity nibble 9, digits swapped
    EXPECT_EQ(ask(s, "AT+CRSM=176,28423,0,0,9"), (Lines{"+CRSM: 144,0,\"084906002143658709\"", "OK"}));
    EXPECT_EQ(ask(s, "AT+CRSM=176,28589,0,0,4"), (Lines{"+CRSM: 144,0,\"00000002\"", "OK"}));
    EXPECT_EQ(ask(s, "AT+CRSM=176,28589,0,8,4"), (Lines{"+CRSM: 107,0", "OK"}));
    EXPECT_EQ(ask(s, "AT+CRSM=176,28474,0,0,4"), (Lines{"+CRSM: 105,129", "OK"}));
    EXPECT_EQ(ask(s, "AT+CRSM=178,28474,11,4,28"), (Lines{"+CRSM: 106,131", "OK"}));
    EXPECT_EQ(ask(s, "AT+CRSM=178,28474,1,4,20"), (Lines{"+CRSM: 103,28", "OK"}));
    std::string rec(56, 'A');
    EXPECT_EQ(ask(s, "AT+CRSM=220,28475,2,4,28,\"" + rec + "\""), (Lines{"+CRSM: 144,0", "OK"}));
    EXPECT_EQ(ask(s, "AT+CRSM=178,28475,2,4,28"), (Lines{"+CRSM: 144,0,\"" + rec + "\"", "OK"}));
    EXPECT_EQ(ask(s, "AT+CRSM=220,28475,2,4,28,\"AA\""), (Lines{"+CRSM: 103,28", "OK"}));
    EXPECT_EQ(ask(s, "AT+CRSM=162,28474,0,0,0"), (Lines{"+CRSM: 109,0", "OK"}));
    // a card without EF_ICCID
    s.simnet.iccidFile = false;
    EXPECT_EQ(ask(s, "AT+CRSM=176,12258,0,0,10"), (Lines{"+CRSM: 106,130", "OK"}));
    s.sim.present = false;
    EXPECT_EQ(ask(s, "AT+CRSM=176,12258,0,0,10"), (Lines{"+CME ERROR: 10"}));
}

TEST(SimnetCard, RuimPathsAndCsim) {
    ModuleState s = fresh("cdma");
    EXPECT_EQ(ask(s, "AT^RRU=176,28472,0,0,8,,\"3F007F25\""), (Lines{"^RRU: 144,0,\"0000000000000000\"", "OK"}));
    EXPECT_EQ(ask(s, "at^rru=176,28472,0,0,8,\"\",\"7F256F38\""), (Lines{"^RRU: 144,0,\"0000000000000000\"", "OK"}));
    EXPECT_EQ(ask(s, "AT^RRU=176,28472,0,0,8,,\"3F007F99\""), (Lines{"^RRU: 106,130", "OK"}));
    EXPECT_EQ(ask(s, "AT^RRU=176,28472,0,0,8,,\"3F007\""), (Lines{"^RRU: 106,130", "OK"}));
    Lines r = ask(s, "AT^RRU=192,28474,0,0,15,,\"3F007F10\"");
    EXPECT_EQ(r[0].rfind("^RRU: 144,0,\"62", 0), 0u) << r[0];
    // select EF_ICCID, then read it
    r = ask(s, "AT+CSIM=14,\"00A40004022FE2\"");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].rfind("+CSIM: 4,\"61", 0), 0u) << r[0];
    EXPECT_EQ(ask(s, "AT+CSIM=10,\"00B000000A\""), (Lines{"+CSIM: 24,\"986800214365870921439000\"", "OK"}));
    EXPECT_EQ(ask(s, "AT+CSIM=14,\"00A40004026F99\""), (Lines{"+CSIM: 4,\"6A82\"", "OK"}));
}

TEST(SimnetLocks, BarringWithPasswordAndAttempts) {
    ModuleState s = fresh("wcdma6290");
    EXPECT_EQ(ask(s, "AT+CLCK=\"AO\",2, 0000, 1"), (Lines{"+CLCK: 0", "OK"}));
    EXPECT_EQ(ask(s, "AT+CLCK=\"AO\",1, \"1111\", 1"), (Lines{"+CME ERROR: 16"}));
    EXPECT_EQ(s.simnet.barringAttempts, 2);
    EXPECT_EQ(ask(s, "AT+CLCK=\"AO\",1, \"0000\", 1"), (Lines{"OK"}));
    EXPECT_EQ(s.simnet.barringAttempts, 3);
    EXPECT_EQ(ask(s, "AT+CLCK=\"AO\",2, , 1"), (Lines{"+CLCK: 1,1", "OK"}));
    EXPECT_EQ(ask(s, "AT+CLCK=\"AB\",2, , 7"), (Lines{"+CLCK: 1,7", "OK"}));
    // the group facilities only unlock
    EXPECT_EQ(ask(s, "AT+CLCK=\"AB\",1, \"0000\", 7"), (Lines{"+CME ERROR: 3"}));
    EXPECT_EQ(ask(s, "AT+CLCK=\"AB\",0, \"0000\", 7"), (Lines{"OK"}));
    EXPECT_EQ(ask(s, "AT+CLCK=\"AO\",2, , 1"), (Lines{"+CLCK: 0", "OK"}));
    // the barring password changes with a bare OK
    EXPECT_EQ(ask(s, "AT+CPWD=\"AB\", \"0000\", \"4321\""), (Lines{"OK"}));
    EXPECT_EQ(ask(s, "AT+CPWD=\"AB\", \"0000\", \"1111\""), (Lines{"+CME ERROR: 16"}));
    for (int i = 0; i < 2; i++) ask(s, "AT+CLCK=\"OI\",1, \"9999\", 1");
    EXPECT_EQ(ask(s, "AT+CLCK=\"OI\",1, \"4321\", 1"), (Lines{"+CME ERROR: 3"})) << "no attempts left";
    EXPECT_EQ(ask(s, "AT+CLCK=\"XX\",2"), (Lines{"+CME ERROR: 4"}));
    // fixed dialling takes PIN2
    EXPECT_EQ(ask(s, "AT+CLCK=\"FD\",1, \"5678\", 7"), (Lines{"OK"}));
    EXPECT_EQ(ask(s, "AT+CLCK=\"FD\",2"), (Lines{"+CLCK: 1,7", "OK"}));
}

TEST(SimnetNetworks, ScanListsTheVisibleNetworksAfterADelay) {
    ModuleState s = fresh("lte");  // attached to 46000
    Effects fx;
    Lines r = ask(s, "AT+COPS=?", &fx);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].rfind("+COPS: (2,\"", 0), 0u) << r[0];
    EXPECT_NE(r[0].find("(1,\"CHN-UNICOM\",\"UNICOM\",\"46001\","), std::string::npos) << r[0];
    EXPECT_NE(r[0].find("(3,\"CHN-CT\",\"CT\",\"46011\","), std::string::npos);
    EXPECT_NE(r[0].find(",,(0,1,2,3,4),(0,1,2)"), std::string::npos);
    EXPECT_EQ(fx.replyDelayMs, 1000);
    s.radioOn = false;
    EXPECT_EQ(ask(s, "AT+COPS=?")[0], "+COPS: ,,(0,1,2,3,4),(0,1,2)");
}

TEST(SimnetNetworks, ManualSelectionAttachesOrRefuses) {
    ModuleState s = fresh("lte");
    EXPECT_EQ(ask(s, "AT+COPS=4,2,46011"), (Lines{"+CME ERROR: 30"}));
    EXPECT_EQ(ask(s, "AT+COPS=1,2,46099"), (Lines{"+CME ERROR: 30"}));
    EXPECT_EQ(ask(s, "AT+COPS=4,2,46001"), (Lines{"OK"}));
    EXPECT_EQ(s.net.numeric, "46001");
    EXPECT_EQ(s.copsMode, 4);
    EXPECT_EQ(ask(s, "AT+COPS=3,2;+COPS?")[0].rfind("+COPS: 4,2,\"46001\"", 0), 0u);
    EXPECT_EQ(ask(s, "AT+COPS=0"), (Lines{"OK"}));
    EXPECT_EQ(s.copsMode, 0);
}

TEST(SimnetVendor, SyscfgNetparAndGps) {
    ModuleState w = fresh("wcdma6290");
    EXPECT_EQ(ask(w, "AT%SYSCFG=13,3"), (Lines{"OK"}));
    EXPECT_EQ(ask(w, "AT%SYSCFG?"), (Lines{"%SYSCFG: 13,3", "OK"}));
    ModuleState c = fresh("cdma");
    EXPECT_EQ(ask(c, "AT+NETPAR=2"), (Lines{"+NETPAR: 460,03,13824,1,10,222", "OK"}));
    EXPECT_EQ(ask(c, "at^gpsmode=3"), (Lines{"OK"}));
    EXPECT_EQ(ask(c, "AT^GPSLOC=1, 3, 900000"), (Lines{"OK"}));
    EXPECT_EQ(c.simnet.gpsMode, 3);
    EXPECT_TRUE(c.simnet.gpsLocating);
    EXPECT_EQ(ask(c, "AT+CLVL=9"), (Lines{"+CME ERROR: 3"}));
}

TEST(SimnetControls, NitzGpsNetworksAndCard) {
    riltest::TempRoot root;
    auto cfg = ModuleConfig::forModel("cdma", root.at("/sysroot"));
    SimulatedModule m(cfg);
    EXPECT_EQ(m.control("nitz \"24/12/10,10:30:00+32,0\""), "OK");
    EXPECT_EQ(m.control("gps download"), "OK");
    EXPECT_EQ(m.control("networks add 46002 \"CMCC 2\" CM2 forbidden"), "OK");
    EXPECT_EQ(m.control("networks delay 5"), "OK");
    std::string list = m.control("networks");
    EXPECT_NE(list.find("46002 \"CMCC 2\" \"CM2\" forbidden"), std::string::npos) << list;
    EXPECT_NE(list.find("delay 5"), std::string::npos);
    EXPECT_EQ(m.control("simfs read 2FE2"), "98680021436587092143\nOK");
    EXPECT_EQ(m.control("simfs iccid none"), "OK");
    EXPECT_EQ(m.control("simfs read 2FE2").rfind("ERROR", 0), 0u);
    EXPECT_EQ(m.control("facility password 1234"), "OK");
    EXPECT_EQ(m.state().simnet.barringPassword, "1234");
    EXPECT_EQ(m.control("gps fly").rfind("ERROR", 0), 0u);
    EXPECT_EQ(nitzLine("").rfind("%CTZV: \"", 0), 0u);
}
