// The simulated module on real pseudo-terminals under a temporary sysroot:
// the port link, the PIN dialogue over the wire, hang-up on unplug, resets,
// faults and the command log.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "at_client.h"
#include "daemon_harness.h"
#include "simulated_module.h"
#include "temp_root.h"

using namespace modemsim;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

namespace {

// a device of the LTE kind written out here, so that these tests do not
// depend on the model table of the USB tree
UsbDevice lteDevice() {
    UsbDevice d;
    d.vendor = "05C6";
    d.product = "9025";
    d.ports = {{"00", "ff", "ttyUSB0"}, {"01", "ff", "ttyUSB1"}, {"02", "ff", "ttyUSB2"}};
    d.atTty = "ttyUSB2";
    d.modemTty = "ttyUSB0";
    return d;
}

ModuleConfig config(const riltest::TempRoot &root, const std::string &model = "lte") {
    ModuleConfig cfg = ModuleConfig::forModel(model, root.path());
    cfg.device = lteDevice();
    cfg.resetGap = 200ms;
    return cfg;
}

bool isSymlink(const std::string &path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

TEST(ModemSimModule, PortLinkLeadsToAWorkingTerminal) {
    riltest::TempRoot root;
    SimulatedModule m(config(root));
    ASSERT_TRUE(isSymlink(root.at("/dev/ttyUSB2")));
    ASSERT_TRUE(isSymlink(root.at("/dev/ttyUSB0")));
    AtClient at(root.at("/dev/ttyUSB2"));
    ASSERT_TRUE(at.isOpen());
    EXPECT_EQ(at.command("AT+CSQ"), Lines({"+CSQ: 21,99", "OK"}));
    EXPECT_EQ(at.command("AT+CPIN?"), Lines({"+CPIN: READY", "OK"}));
    // the modem port dials
    AtClient modem(root.at("/dev/ttyUSB0"));
    EXPECT_EQ(modem.command("ATD*99#"), Lines({"CONNECT"}));
    EXPECT_EQ(m.commands(), Lines({"AT+CSQ", "AT+CPIN?"}));
    ASSERT_EQ(m.received().size(), 3u);
    EXPECT_EQ(m.received()[2].port, Port::Modem);
}

TEST(ModemSimModule, LockedSimTakesTheRightPinOnlyAndCountsWrongOnes) {
    riltest::TempRoot root;
    ModuleConfig cfg = config(root);
    cfg.state.sim.pinEnabled = true;
    cfg.state.sim.pin = "2468";
    SimulatedModule m(cfg);
    AtClient at(m.atLink());
    EXPECT_EQ(at.command("AT+CPIN?"), Lines({"+CPIN: SIM PIN", "OK"}));
    EXPECT_EQ(at.command("AT+CPIN=\"1234\""), Lines({"+CME ERROR: 16"}));
    EXPECT_EQ(at.command("AT+CPINAL"), Lines({"+CPINAL: 2,10,3,10", "OK"}));
    EXPECT_EQ(at.command("AT+CPIN=\"2468\""), Lines({"OK"}));
    // the unlocked card lets the module attach: it tells its new system mode
    std::string line;
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "^MODE: 9,0");
    EXPECT_EQ(at.command("AT+CPIN?"), Lines({"+CPIN: READY", "OK"}));
    EXPECT_EQ(at.command("AT+CPINAL"), Lines({"+CPINAL: 3,10,3,10", "OK"}));
    // a power cycle asks for the PIN again
    at.close();
    m.unplug();
    m.plug();
    ASSERT_TRUE(at.open(m.atLink()));
    EXPECT_EQ(at.command("AT+CPIN?"), Lines({"+CPIN: SIM PIN", "OK"}));
}

TEST(ModemSimModule, UnplugHangsUpTheReaderAndPlugServesAFreshTerminal) {
    riltest::TempRoot root;
    SimulatedModule m(config(root));
    AtClient at(m.atLink());
    ASSERT_EQ(at.command("AT"), Lines({"OK"}));
    std::string firstPty = m.atPty();
    m.unplug();
    EXPECT_TRUE(at.waitHangup(2s));
    EXPECT_FALSE(isSymlink(m.atLink()));
    EXPECT_FALSE(m.plugged());
    m.plug();
    ASSERT_TRUE(isSymlink(m.atLink()));
    AtClient again(m.atLink());
    EXPECT_EQ(again.command("AT+CFUN?"), Lines({"+CFUN: 1", "OK"}));
    EXPECT_EQ(m.plugCount(), 2);
}

TEST(ModemSimModule, ResetCommandDropsTheModuleAndBringsItBack) {
    riltest::TempRoot root;
    SimulatedModule m(config(root));
    AtClient at(m.atLink());
    EXPECT_EQ(at.command("AT+CREG=2"), Lines({"OK"}));
    EXPECT_EQ(at.command("AT^RESET"), Lines({"OK"}));
    EXPECT_TRUE(at.waitHangup(2s));
    ASSERT_TRUE(riltest::waitUntil([&] { return m.plugCount() == 2 && isSymlink(m.atLink()); }, 3s));
    AtClient again(m.atLink());
    // settings made before the reset are gone
    EXPECT_EQ(again.command("AT+CREG?"), Lines({"+CREG: 0,1", "OK"}));
    EXPECT_EQ(m.commandsSincePlug(), Lines({"AT+CREG?"}));
    EXPECT_EQ(m.commands(), Lines({"AT+CREG=2", "AT^RESET", "AT+CREG?"}));
    // and powerReset() does the same from outside
    m.powerReset(100ms);
    EXPECT_TRUE(again.waitHangup(2s));
    EXPECT_TRUE(riltest::waitUntil([&] { return m.plugCount() == 3 && m.plugged(); }, 3s));
}

TEST(ModemSimModule, ControlOperationsShowOnTheWire) {
    riltest::TempRoot root;
    SimulatedModule m(config(root));
    AtClient at(m.atLink());
    std::string line;
    EXPECT_EQ(at.command("AT+CREG=1"), Lines({"OK"}));
    EXPECT_EQ(at.command("AT+CEREG=2"), Lines({"OK"}));

    m.deregister();
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "+CREG: 0");
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "+CEREG: 0");
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "^MODE: 0,0");
    EXPECT_EQ(at.command("AT+CSQ"), Lines({"+CSQ: 99,99", "OK"}));

    m.registerNetwork(Tech::Lte, "46001", "CHINA UNICOM", "UNICOM");
    m.setSignal(9);
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "+CREG: 1");
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "+CEREG: 1,\"5A3C\",\"001D2F03\",7");
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "^MODE: 9,0");
    EXPECT_EQ(at.command("AT+CSQ"), Lines({"+CSQ: 9,99", "OK"}));
    EXPECT_EQ(at.command("AT+COPS=3,2;+COPS?"), Lines({"+COPS: 0,2,\"46001\",7", "OK"}));

    m.simRemove();
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "+CREG: 0");
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "+CEREG: 0");
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "^MODE: 0,0");
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "+SIMCARD: NOT AVAILABLE");
    EXPECT_EQ(at.command("AT+CPIN?"), Lines({"+CME ERROR: 10"}));

    m.inject("+CMTI: \"SM\",3");
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "+CMTI: \"SM\",3");
}

TEST(ModemSimModule, MuteGarbageAndConfiguredReplies) {
    riltest::TempRoot root;
    SimulatedModule m(config(root, "wcdma6290"));
    AtClient at(m.atLink());
    m.setMute(true);
    EXPECT_TRUE(at.command("AT+CSQ", 300ms).empty());
    EXPECT_TRUE(m.waitForCommand("AT+CSQ", 1s));
    m.setMute(false);

    m.setGarbage(true);
    ASSERT_TRUE(at.write("AT\r"));
    std::string line;
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_FALSE(AtClient::isFinal(line) && line == "OK");
    m.setGarbage(false);

    m.setReply("AT+CSQ", {"+CSQ: 5,99", "OK"});
    m.setReply("AT+CPIN=*", {"ERROR"});
    m.setReply("AT+SILENT", {});
    EXPECT_EQ(at.command("at+csq"), Lines({"+CSQ: 5,99", "OK"}));
    EXPECT_EQ(at.command("AT+CPIN=\"1234\""), Lines({"ERROR"}));
    EXPECT_TRUE(at.command("AT+SILENT", 300ms).empty());
    m.clearReply("AT+CSQ");
    EXPECT_EQ(at.command("AT+CSQ"), Lines({"+CSQ: 21,99", "OK"}));
    m.setUnknownReply({"ERROR"});
    EXPECT_EQ(at.command("AT+WHATEVER"), Lines({"ERROR"}));
}

TEST(ModemSimModule, EchoFollowsAteAndPduEntryWorks) {
    riltest::TempRoot root;
    SimulatedModule m(config(root));
    AtClient at(m.atLink());
    EXPECT_EQ(at.command("ATE1"), Lines({"OK"}));
    EXPECT_EQ(at.command("AT+CFUN?"), Lines({"AT+CFUN?", "+CFUN: 1", "OK"}));
    EXPECT_EQ(at.command("ATE0"), Lines({"ATE0", "OK"}));
    EXPECT_EQ(at.command("AT+CMGS=18"), Lines({"> "}));
    EXPECT_EQ(at.command("0011000B915121551532F40000AA0161\x1a"), Lines({"+CMGS: 1", "OK"}));
    EXPECT_EQ(m.commands().back(), "0011000B915121551532F40000AA0161<ctrl-z>");
}

// Needs the model table of the USB tree (usb_tree.cpp).
TEST(ModemSimModule, PlugPublishesTheModelsUsbTree) {
    riltest::TempRoot root;
    ModuleConfig cfg = ModuleConfig::forModel("lte", root.path());
    SimulatedModule m(cfg);
    ASSERT_FALSE(m.device().atTty.empty());
    EXPECT_TRUE(isSymlink(root.at("/dev/" + m.device().atTty)));
    EXPECT_TRUE(riltest::fileExists(root.at("/sys/bus/usb/drivers/" + m.device().driver)));
    AtClient at(m.atLink());
    EXPECT_EQ(at.command("AT+CPIN?"), Lines({"+CPIN: READY", "OK"}));
    m.unplug();
    EXPECT_FALSE(isSymlink(root.at("/dev/" + m.device().atTty)));
}
