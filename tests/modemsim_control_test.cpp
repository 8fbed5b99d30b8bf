// The control language over the Unix socket and through the modemsim
// program's client mode: the same operations as the C++ interface.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "at_client.h"
#include "control.h"
#include "daemon_harness.h"
#include "simulated_module.h"
#include "temp_root.h"

using namespace modemsim;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

namespace {

UsbDevice cdmaDevice() {
    UsbDevice d;
    d.vendor = "05C6";
    d.product = "1601";
    d.ports = {{"00", "ff", "ttyUSB0"}, {"01", "ff", "ttyUSB1"}, {"02", "ff", "ttyUSB2"}};
    d.atTty = "ttyUSB2";
    d.modemTty = "ttyUSB0";
    return d;
}

std::string ctl(const std::string &sock, const std::string &line) {
    std::string reply;
    bool ok = sendControl(sock, line, &reply);
    return ok ? reply + "OK" : reply;
}

}  // namespace

TEST(ModemSimControl, SocketDrivesSimNetworkFaultsAndLog) {
    riltest::TempRoot root;
    ModuleConfig cfg = ModuleConfig::forModel("cdma", root.path());
    cfg.device = cdmaDevice();
    cfg.resetGap = 100ms;
    SimulatedModule m(cfg);
    ControlServer server(m, root.at("/ctl"));
    const std::string sock = server.path();
    AtClient at(m.atLink());
    std::string line;

    EXPECT_EQ(ctl(sock, "sim lock"), "OK");
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "^MODE: 0,0");  // a locked card: no service
    EXPECT_EQ(at.command("AT+CPIN?"), Lines({"+CPIN: UIM PIN", "OK"}));
    EXPECT_EQ(ctl(sock, "sim attempts 1 10"), "OK");
    EXPECT_EQ(at.command("AT+CPIN=\"0000\""), Lines({"+CME ERROR: 16"}));
    EXPECT_EQ(at.command("AT^CPIN?"), Lines({"^CPIN: UIM PUK,10,10,0,10,3", "OK"}));
    EXPECT_EQ(ctl(sock, "sim remove"), "OK");
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "^SIMST: 255");

    EXPECT_EQ(ctl(sock, "register evdo 46003 \"CHINA TELECOM\""), "OK");
    EXPECT_EQ(ctl(sock, "sim insert quiet"), "OK");
    EXPECT_EQ(ctl(sock, "signal 15"), "OK");
    // the card still waits for its PUK: no service yet
    EXPECT_EQ(at.command("AT+RSSI"), Lines({"+RSSI: 125,125", "OK"}));
    EXPECT_EQ(at.command("AT+CPIN=\"12345678\",\"1357\""), Lines({"OK"}));
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "^MODE: 4,0");
    EXPECT_EQ(at.command("AT+RSSI"), Lines({"+RSSI: 125,83", "OK"}));

    EXPECT_EQ(ctl(sock, "reply AT+CSQ +CSQ: 7,99|OK"), "OK");
    EXPECT_EQ(at.command("AT+CSQ"), Lines({"+CSQ: 7,99", "OK"}));
    EXPECT_EQ(ctl(sock, "inject ^HRSSILVL: 60"), "OK");
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "^HRSSILVL: 60");
    EXPECT_EQ(ctl(sock, "mute"), "OK");
    EXPECT_TRUE(at.command("AT", 200ms).empty());
    EXPECT_EQ(ctl(sock, "unmute"), "OK");

    std::string log = ctl(sock, "log");
    EXPECT_EQ(log.find("AT+CPIN?\nAT+CPIN=\"0000\"\nAT^CPIN?\n"), 0u) << log;
    EXPECT_NE(log.find("\nAT\nOK"), std::string::npos) << log;
    EXPECT_EQ(ctl(sock, "bogus"), "ERROR unknown command (try help)");
    EXPECT_EQ(ctl(sock, "register warp 1"), "ERROR register TECH MCCMNC [NAME [SHORT]] [roaming]");

    EXPECT_EQ(ctl(sock, "unplug"), "OK");
    EXPECT_TRUE(at.waitHangup(2s));
    EXPECT_EQ(ctl(sock, "plug"), "OK");
    AtClient again(m.atLink());
    // a power cycle: the card asks for its (new) PIN again
    EXPECT_EQ(again.command("AT+CPIN?"), Lines({"+CPIN: UIM PIN", "OK"}));
    EXPECT_EQ(ctl(sock, "reset 50"), "OK");
    EXPECT_TRUE(again.waitHangup(2s));
    EXPECT_TRUE(riltest::waitUntil([&] { return m.plugCount() == 3; }, 3s));
}

TEST(ModemSimControl, CallsSmsAndUssdFromTheNetwork) {
    riltest::TempRoot root;
    ModuleConfig cfg = ModuleConfig::forModel("wcdma6290", root.path());
    cfg.device = cdmaDevice();
    SimulatedModule m(cfg);
    AtClient at(m.atLink());
    std::string line;
    EXPECT_EQ(m.control("call 13800138000"), "OK");
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "+CRING: VOICE");
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "+CLIP: \"13800138000\",129,,,,0");
    EXPECT_EQ(at.command("AT+CLCC"), Lines({"+CLCC: 1,1,4,0,0,\"13800138000\",129", "OK"}));
    EXPECT_EQ(at.command("ATA"), Lines({"OK"}));
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "^CONN:1,0");
    EXPECT_EQ(m.control("hangup"), "OK");
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line.compare(0, 7, "^CEND:1"), 0) << line;
    EXPECT_EQ(at.command("AT+CLCC"), Lines({"OK"}));

    EXPECT_EQ(m.control("sms 0891683108200105F0040D91683188902848F4000812"), "OK");
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "+CMT: ,13");
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "0891683108200105F0040D91683188902848F4000812");
    EXPECT_EQ(m.control("ussd Your balance is 10"), "OK");
    ASSERT_TRUE(at.readLine(&line));
    EXPECT_EQ(line, "+CUSD: 1,\"Your balance is 10\",15");
}

// Runs the program as a process; needs the model table of the USB tree
// (usb_tree.cpp).
TEST(ModemSimControl, ProgramServesAndItsClientModeControlsIt) {
    riltest::TempRoot root;
    const std::string prog = riltest::buildPath("/bin/modemsim");
    const std::string sock = root.at("/ctl");
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execl(prog.c_str(), prog.c_str(), "--sysroot", root.path().c_str(), "--model", "wcdma6290",
              "--control", sock.c_str(), "--locked", "--pin", "8642", "--quiet", static_cast<char *>(nullptr));
        _exit(127);
    }
    auto run = [&](const std::vector<std::string> &args) {
        std::string cmd = prog + " --control " + sock + " send";
        for (const auto &a : args) cmd += " '" + a + "'";
        return system((cmd + " >/dev/null 2>&1").c_str());
    };
    bool up = riltest::waitUntil([&] { return run({"state"}) == 0; }, 5s);
    if (up) {
        ModuleState s;
        defaultState("wcdma6290", &s);
        UsbDevice d = UsbTree::model("wcdma6290");
        AtClient at(root.at("/dev/" + d.atTty));
        EXPECT_EQ(at.command("AT+CPIN?"), Lines({"+CPIN: SIM PIN", "OK"}));
        EXPECT_EQ(at.command("AT+CPIN=\"8642\""), Lines({"OK"}));
        EXPECT_EQ(run({"unplug"}), 0);
        EXPECT_TRUE(at.waitHangup(2s));
        EXPECT_NE(run({"no-such-command"}), 0);
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(up) << "the program did not come up";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
