// The dialer's pieces in-process: the pppd command-line forms and their
// argument vectors, the checks of outside text, the dial on a real
// pseudo-terminal, the program runner, the ICMP checksum and time helpers.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <dirent.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <cutils/properties.h>

#include "ril_data.h"
#include "ril_families.h"
#include "daemon_harness.h"
#include "temp_root.h"
#include "usb_discovery.h"

using namespace std::chrono_literals;

namespace {

std::vector<std::string> argvNow() {
    std::vector<std::string> v;
    for (int i = 0; i < g_ppp_argc; i++) v.push_back(g_ppp_argv[i]);
    EXPECT_EQ(g_ppp_argv[g_ppp_argc], nullptr);
    return v;
}

std::vector<std::string> words(const std::string &s) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && s[i] == ' ') i++;
        size_t j = i;
        while (j < s.size() && s[j] != ' ') j++;
        if (j > i) out.push_back(s.substr(i, j - i));
        i = j;
    }
    return out;
}

void setCredentials(const char *user, const char *pass) {
    if (user)
        snprintf(g_pppduser, sizeof(g_pppduser), "user %s", user);
    else
        snprintf(g_pppduser, sizeof(g_pppduser), " ");
    if (pass)
        snprintf(g_pppdwd, sizeof(g_pppdwd), "password %s", pass);
    else
        snprintf(g_pppdwd, sizeof(g_pppdwd), " ");
}

class Dialer : public ::testing::Test {
protected:
    void SetUp() override {
        snprintf(g_data_device_path, sizeof(g_data_device_path), "ttyUSB0");
        is_pap = 0;
        g_auth_option = "";
    }
};

/* ---- the four command-line forms ---- */

struct FormCase {
    const char *name;
    int selector;  // -1: the CDMA form
    int pap;
    const char *auth;
    const char *user;
    const char *pass;
    const char *text;  // the line as it is specified, password as logged
};
void PrintTo(const FormCase &c, std::ostream *os) { *os << c.name; }

const FormCase kForms[] = {
    {"form3_blank", 0, 0, "", nullptr, nullptr,
     "/system/bin/pppd  /dev/ttyUSB0 115200      nodetach debug dump defaultroute usepeerdns  "
     "ipcp-accept-local ipcp-accept-remote  noipdefault "},
    {"form3_credentials", 0, 0, "", "bob", "s3cret",
     "/system/bin/pppd  /dev/ttyUSB0 115200  user bob password ****** nodetach debug dump defaultroute "
     "usepeerdns  ipcp-accept-local ipcp-accept-remote  noipdefault "},
    {"form1", 1, 0, "refuse-pap", "bob", "s3cret",
     "/system/bin/pppd  /dev/ttyUSB0 115200  user bob password ****** refuse-pap nodetach debug dump "
     "defaultroute usepeerdns  ipcp-accept-local ipcp-accept-remote  noipdefault "},
    {"form2", 0, 1, "", "bob", "s3cret",
     "/system/bin/pppd  /dev/ttyUSB0 115200  defaultroute usepeerdns novj  -mschap -mschap-v2 refuse-eap "
     "refuse-chap   novjccomp noipdefault ipcp-accept-local ipcp-accept-remote connect-delay 5000 "
     "ipcp-max-failure 60 ipcp-max-configure 60  user bob password ****** -am "},
    {"form4", -1, 0, "", "ctnet@mycdma.cn", "vnet.mobi",
     "/system/bin/pppd  /dev/ttyUSB0 115200 crtscts debug  dump  nodetach modem noipdefault  defaultroute "
     "usepeerdns user ctnet@mycdma.cn password ****** linkname ppp0 "},
};

class Forms : public Dialer, public ::testing::WithParamInterface<FormCase> {};

TEST_P(Forms, LineAsSpecifiedAndTheSameOptionsAsArguments) {
    const FormCase &c = GetParam();
    is_pap = c.pap;
    g_auth_option = c.auth;
    setCredentials(c.user, c.pass);
    if (c.selector < 0)
        WriteConfigScript();
    else
        BuildPppdCommand(c.selector);
    EXPECT_EQ(std::string(g_shellcommand), c.text);
    // the vector carries the same words in the same order, with the real
    // password in place of the stars
    std::vector<std::string> want = words(c.text);
    for (auto &w : want)
        if (w == "******") w = c.pass;
    EXPECT_EQ(argvNow(), want);
}

INSTANTIATE_TEST_SUITE_P(All, Forms, ::testing::ValuesIn(kForms),
                         [](const ::testing::TestParamInfo<FormCase> &i) { return std::string(i.param.name); });

TEST_F(Dialer, HostileCredentialsStayOneArgumentEach) {
    const char *user = "bob plugin /data/x.so";
    const char *pass = "a;touch X $(touch Y) `touch Z`";
    setCredentials(user, pass);
    BuildPppdCommand(0);
    std::vector<std::string> v = argvNow();
    ASSERT_GE(v.size(), 7u);
    EXPECT_EQ(v[3], "user");
    EXPECT_EQ(v[4], user);
    EXPECT_EQ(v[5], "password");
    EXPECT_EQ(v[6], pass);
    EXPECT_EQ(std::string(g_shellcommand).find("touch"), std::string::npos) << "the password is masked in the log line";
    for (const auto &w : v) EXPECT_NE(w, "plugin");
}

TEST_F(Dialer, SelectorNormalisesAndPrefersTheLastGoodForm) {
    s_lastgoodvariant = -1;
    s_dialvariant = -1;
    EXPECT_EQ(ril_dial_selector(), 0);
    s_dialvariant = 7;
    EXPECT_EQ(ril_dial_selector(), 1);
    s_lastgoodvariant = 0;
    EXPECT_EQ(ril_dial_selector(), 0);
}

/* ---- checks of outside text ---- */

TEST(DataTextChecks, ApnCredentialsAndAddresses) {
    struct {
        const char *apn;
        int ok;
    } apns[] = {{"3gnet", 1},         {"cmnet.mnc000.mcc460.gprs", 1}, {"a-b.c", 1}, {"", 0},
                {"cmnet\";+CFUN=0", 0}, {"a\rAT", 0},                     {"a..b", 0}, {".a", 0},
                {"a.", 0},            {"a b", 0},                       {"a\x1a", 0}, {"a;b", 0}};
    for (auto &c : apns) EXPECT_EQ(ril_apn_ok(c.apn), c.ok) << c.apn;
    EXPECT_EQ(ril_apn_ok(std::string(100, 'a').c_str()), 1);
    EXPECT_EQ(ril_apn_ok(std::string(101, 'a').c_str()), 0);
    EXPECT_EQ(ril_apn_ok(nullptr), 1) << "absent: the default is used";

    struct {
        const char *text;
        int ok;
    } creds[] = {{"bob", 1},   {"bob plugin /x.so", 1}, {"a;touch X", 1}, {"$(x)`y`", 1},
                 {"a\"b", 0},  {"a\\b", 0},             {"a\rb", 0},      {"a\nb", 0},
                 {"a\x1a", 0}, {"a\x7f", 0},            {"", 1}};
    for (auto &c : creds) {
        EXPECT_EQ(ril_ppp_credential_ok(c.text, "user"), c.ok) << c.text;
        EXPECT_EQ(ril_ppp_credential_ok(c.text, "password"), c.ok) << c.text;
    }
    // "user <name>" and "password <secret>" fit their 128-byte buffers whole
    EXPECT_EQ(ril_ppp_credential_ok(std::string(122, 'u').c_str(), "user"), 1);
    EXPECT_EQ(ril_ppp_credential_ok(std::string(123, 'u').c_str(), "user"), 0);
    EXPECT_EQ(ril_ppp_credential_ok(std::string(118, 'p').c_str(), "password"), 1);
    EXPECT_EQ(ril_ppp_credential_ok(std::string(119, 'p').c_str(), "password"), 0);
    EXPECT_EQ(ril_ppp_credential_ok(std::string(5000, 'p').c_str(), "password"), 0);

    struct {
        const char *text;
        int ok;
    } ips[] = {{"127.0.0.1", 1}, {"114.114.114.114", 1}, {"0.0.0.0", 1},       {"255.255.255.255", 1},
               {"256.1.1.1", 0}, {"1.2.3", 0},           {"1.2.3.4.5", 0},     {"1.2.3.4;touch x", 0},
               {"1.2.3.4 ", 0},  {"", 0},                {"$(touch x)", 0},    {"0001.2.3.4", 0},
               {"a.b.c.d", 0},   {"1..2.3", 0},          {"-1.2.3.4", 0}};
    for (auto &c : ips) EXPECT_EQ(ril_is_dotted_ipv4(c.text), c.ok) << c.text;
    EXPECT_EQ(ril_is_dotted_ipv4(nullptr), 0);
}

/* ---- ICMP and time helpers ---- */

TEST(IcmpProbe, ChecksumMatchesTheInternetChecksumOracle) {
    // the worked example of the Internet checksum (RFC 1071, section 3):
    // bytes 00 01 f2 03 f4 f5 f6 f7 sum to ddf2 (in that byte order), so the
    // checksum field holds the bytes 22 0d
    const unsigned char rfc[] = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
    unsigned short sum = calcIcmpChkSum(rfc, sizeof rfc);
    const unsigned char *b = (const unsigned char *)&sum;
    EXPECT_EQ(b[0], 0x22);
    EXPECT_EQ(b[1], 0x0d);
    // an odd trailing byte is the low-order byte: 01 counts as the word 01 00
    // in memory order
    const unsigned char odd[] = {0x01};
    unsigned short s1 = calcIcmpChkSum(odd, 1);
    const unsigned char even[] = {0x01, 0x00};
    EXPECT_EQ(s1, calcIcmpChkSum(even, 2));
    // all zero bytes: ffff
    const unsigned char zero[4] = {0, 0, 0, 0};
    EXPECT_EQ(calcIcmpChkSum(zero, 4), 0xffff);
}

TEST(IcmpProbe, EchoRequestLayout) {
    ASSERT_EQ(newIcmpEcho(0, 20), 28);
    const unsigned char *p = ril_icmp_request();
    EXPECT_EQ(p[0], 8);
    EXPECT_EQ(p[1], 0);
    unsigned id = (unsigned)getpid() & 0xffff;
    EXPECT_EQ(p[4], (id >> 8) & 0xff) << "identifier: most significant byte first";
    EXPECT_EQ(p[5], id & 0xff);
    EXPECT_EQ(p[6], 0);
    EXPECT_EQ(p[7], 0);
    for (int i = 8; i < 28; i++) EXPECT_EQ(p[i], 0);
    // a packet with its checksum in place sums to zero (checksum ffff's complement)
    EXPECT_EQ(calcIcmpChkSum(p, 28), 0);
    // with a zero payload and sequence the checksum covers the type word and
    // the identifier only
    unsigned char head[4] = {8, 0, p[4], p[5]};
    unsigned short want = calcIcmpChkSum(head, 4);
    unsigned short got;
    memcpy(&got, p + 2, 2);
    EXPECT_EQ(got, want);
}

TEST(IcmpProbe, TimeSubBorrowsFromTheSeconds) {
    struct timeval a = {12, 0}, b = {10, 500000};
    EXPECT_EQ(timeSub(&a, &b), 1500);
    struct timeval c = {10, 750999}, d = {10, 500000};
    EXPECT_EQ(timeSub(&c, &d), 250);
}

TEST(IcmpProbe, NonLoopbackProbesSendNothingOnTheHost) {
    // a documentation address, never reached: counted as no traffic at once
    unsetenv("RIL_PRIVATE_NETNS");
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(pingtest("192.0.2.1"), 0);
    EXPECT_EQ(g_pingsucc, 0);
    EXPECT_EQ(g_stPktStatic.sent, 0u);
    EXPECT_EQ(pingtest("www.example.com"), 0) << "no name is looked up";
    EXPECT_EQ(g_stPktStatic.sent, 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 3s);
}

/* ---- the program runner ---- */

class Runner : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("RIL_SYSROOT", root.at("/sysroot").c_str(), 1);
        setenv("RIL_PROPERTY_DIR", root.at("/props").c_str(), 1);
        riltest::makeDirs(root.at("/sysroot/system/bin"));
        riltest::makeDirs(root.at("/props"));
    }
    void link(const std::string &tool) {
        std::string src = std::string(RIL_BUILD_DIR) + "/sysroot-tools/" + tool;
        ASSERT_EQ(symlink(src.c_str(), root.at("/sysroot/system/bin/" + tool).c_str()), 0);
    }
    riltest::TempRoot root;
};

TEST_F(Runner, ProgramsComeFromTheSystemFolderOnlyWithNoShell) {
    // a missing program fails as a command that cannot be found
    const char *missing[] = {"ping", "127.0.0.1", nullptr};
    int st = ril_run_program(missing);
    ASSERT_TRUE(WIFEXITED(st));
    EXPECT_EQ(WEXITSTATUS(st), 127);
    link("ping");
    std::string sentinel = root.at("/sentinel");
    // shell text in a command line is only words for the program
    std::string cmd = "ping -c 2 127.0.0.1;touch " + sentinel + " $(touch " + sentinel + ")";
    EXPECT_EQ(kv_execcommand(cmd.c_str()), 0);
    EXPECT_FALSE(riltest::fileExists(sentinel));
    // the stand-in recorded the words it got
    bool found = false;
    std::string dir = root.at("/sysroot/run/ping");
    for (int i = 0; i < 2 && !found; i++) {
        std::string all;
        DIR *d = opendir(dir.c_str());
        ASSERT_NE(d, nullptr);
        while (struct dirent *e = readdir(d))
            if (e->d_name[0] != '.') all = riltest::readFile(dir + "/" + e->d_name);
        closedir(d);
        found = all.find(std::string("127.0.0.1;touch") + '\0') != std::string::npos;
    }
    EXPECT_TRUE(found);
}

TEST_F(Runner, ChildrenInheritNoDescriptors) {
    int fd = open("/dev/null", O_RDONLY);  // deliberately without close-on-exec
    ASSERT_GE(fd, 3);
    // /bin/sh is not used: a tiny program of ours lists its descriptors
    std::string lister = root.at("/sysroot/system/bin/fdlist");
    riltest::TempRoot dummy;
    ASSERT_EQ(symlink("/bin/ls", lister.c_str()), 0);
    std::string out = root.at("/fds");
    int saved = dup(1);
    int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(o, 1);
    close(o);
    const char *argv[] = {"fdlist", "/proc/self/fd", nullptr};
    int st = ril_run_program(argv);
    dup2(saved, 1);
    close(saved);
    close(fd);
    ASSERT_TRUE(WIFEXITED(st));
    std::string listing = riltest::readFile(out);
    // 0, 1, 2 and the one ls opens itself to read the folder
    int count = 0;
    for (char c : listing)
        if (c == '\n') count++;
    EXPECT_LE(count, 4) << listing;
}

/* ---- the dial on a real pseudo-terminal ---- */

class Dial : public Runner {
protected:
    void SetUp() override {
        Runner::SetUp();
        setenv("RIL_TIME_SCALE", "50", 1);
        ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        riltest::makeDirs(root.at("/sysroot/dev"));
        ASSERT_EQ(symlink(ttyname(slave), root.at("/sysroot/dev/ttyUSB0").c_str()), 0);
        snprintf(g_data_device_path, sizeof(g_data_device_path), "ttyUSB0");
    }
    void TearDown() override {
        if (peer.joinable()) peer.join();
        close(master);
        close(slave);
    }
    // the module reads the dial and answers with the chunks, gap ms apart
    void answer(std::vector<std::string> chunks, int gapMs = 5) {
        peer = std::thread([this, chunks, gapMs] {
            std::string got;
            auto deadline = std::chrono::steady_clock::now() + 5s;
            while (got.find('\r') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
                struct pollfd p = {master, POLLIN, 0};
                if (poll(&p, 1, 50) > 0) {
                    char buf[64];
                    ssize_t n = read(master, buf, sizeof buf);
                    if (n > 0) got.append(buf, (size_t)n);
                }
            }
            received = got;
            for (const auto &c : chunks) {
                std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
                ssize_t w = write(master, c.data(), c.size());
                (void)w;
            }
        });
    }
    int master = -1, slave = -1;
    std::thread peer;
    std::string received;
};

TEST_F(Dial, ConnectAnswersZero) {
    answer({"\r\nCONNECT\r\n"});
    EXPECT_EQ(dial_ppp_modem("ATD*99***1#"), 0);
    peer.join();
    EXPECT_EQ(received, "ATD*99***1#\r");
}

TEST_F(Dial, ConnectSplitOverTwoReadsIsStillFound) {
    answer({"\r\nCONN", "ECT 150000000\r\n"}, 50);
    EXPECT_EQ(dial_ppp_modem("ATDT*99***1#"), 0);
}

TEST_F(Dial, NoCarrierAnswersMinusOne) {
    answer({"\r\nNO CARRIER\r\n"});
    EXPECT_EQ(dial_ppp_modem("ATDT#777"), -1);
}

TEST_F(Dial, SilenceAnswersMinusFourAfterThirtyClockSeconds) {
    answer({});
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(dial_ppp_modem("ATD*99***1#"), -4);
    // 30 s at a fiftieth of the time
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 500ms);
}

TEST_F(Dial, EscapeIsWrittenWithoutCarriageReturnOrWait) {
    EXPECT_EQ(dial_ppp_modem("+++"), -1);
    char buf[16] = {0};
    struct pollfd p = {master, POLLIN, 0};
    ASSERT_GT(poll(&p, 1, 2000), 0);
    ssize_t n = read(master, buf, sizeof buf - 1);
    EXPECT_EQ(std::string(buf, n > 0 ? (size_t)n : 0), "+++");
}

TEST_F(Dial, MissingPortOrNullDialFail) {
    EXPECT_EQ(dial_ppp_modem(nullptr), -1);
    snprintf(g_data_device_path, sizeof(g_data_device_path), "ttyUSB9");
    EXPECT_EQ(dial_ppp_modem("ATD*99***1#"), -1);
}

/* ---- stopping ---- */

TEST_F(Runner, StopWithNoRunReturnsAtOnceAndLeavesOtherPppdAlone) {
    // a process named pppd that this library did not start
    std::string decoy = root.at("/pppd");
    ASSERT_EQ(symlink("/bin/sleep", decoy.c_str()), 0);
    pid_t pid = fork();
    if (pid == 0) {
        execl(decoy.c_str(), "pppd", "30", (char *)nullptr);
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(killpppd(), 1);
    EXPECT_EQ(StopPPPD(nullptr, 0), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s);
    EXPECT_EQ(kill(pid, 0), 0) << "the decoy lives";
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

TEST_F(Runner, ProcessLookupGoesThroughTheSystemPs) {
    EXPECT_EQ(get_pid("sleep"), 0) << "no ps in the system folder: nothing found";
    link("ps");
    std::string named = root.at("/rilpslookup");
    ASSERT_EQ(symlink("/bin/sleep", named.c_str()), 0);
    pid_t pid = fork();
    if (pid == 0) {
        execl(named.c_str(), "rilpslookup", "30", (char *)nullptr);
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(riltest::waitUntil([&] { return get_pid("rilpslookup") == pid; }, 5s));
    EXPECT_EQ(get_pid("rilpslookup;touch x"), 0);
    EXPECT_EQ(get_pid(""), 0);
    EXPECT_EQ(get_pid(nullptr), 0);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    EXPECT_TRUE(riltest::waitUntil([&] { return get_pid("rilpslookup") == 0; }, 5s));
}

TEST(Addresses, DefaultGatewayAndMissingInterface) {
    riltest::TempRoot root;
    setenv("RIL_SYSROOT", root.at("/sysroot").c_str(), 1);
    setenv("RIL_PROPERTY_DIR", root.at("/props").c_str(), 1);
    riltest::makeDirs(root.at("/props"));
    char gw[128];
    GetDefGateWay(gw);
    EXPECT_STREQ(gw, "64.64.64.64");
    property_set("net.ppp0.local-ip", "1.1.1.1");
    riltest::makeDirs(root.at("/sysroot/sys/class/net"));
    // no address: null, and the property keeps its value
    EXPECT_EQ(GetLocalIP(), nullptr);
    char v[PROPERTY_VALUE_MAX];
    property_get("net.ppp0.local-ip", v, "");
    EXPECT_STREQ(v, "1.1.1.1");
    root.writeFile("/sysroot/sys/class/net/ppp0/ipv4_address", "10.1.2.3");
    ASSERT_NE(GetLocalIP(), nullptr);
    EXPECT_STREQ(GetLocalIP(), "10.1.2.3");
    property_get("net.ppp0.local-ip", v, "");
    EXPECT_STREQ(v, "10.1.2.3");
    root.writeFile("/sysroot/sys/class/net/usb0/ipv4_address", "192.168.225.23");
    EXPECT_STREQ(GetDeviceIP("usb0"), "192.168.225.23");
    property_get("usb0", v, "");
    EXPECT_STREQ(v, "192.168.225.23");
    SetInterfaceIP("ppp0");
    EXPECT_EQ(riltest::readFile(root.at("/sysroot/sys/class/net/ppp0/ipv4_address")), "0.0.0.0");
    EXPECT_EQ(GetLocalIP(), nullptr);
}

}  // namespace
