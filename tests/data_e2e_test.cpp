// A data call end to end: the real host daemon loads the real library, which
// prepares the simulated module on its AT port, dials its modem port, starts
// the pppd stand-in from the sysroot's system folder and reports the link
// the stand-in plays. Delays run on a compressed clock.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "daemon_harness.h"
#include "ril_interface.h"
#include "simulated_module.h"
#include "temp_root.h"

using modemsim::ModuleConfig;
using modemsim::Port;
using modemsim::SimulatedModule;
using nlohmann::json;
using riltest::DaemonHarness;
using riltest::DaemonOptions;
using riltest::TempRoot;
using namespace std::chrono_literals;

namespace {

constexpr long kScale = 20;

bool isType(const json &m, const char *type) { return m.is_object() && m.value("type", "") == type; }

struct PppdRun {
    int pid;
    std::vector<std::string> argv;
};

bool alive(int pid) {
    std::string stat = riltest::readFile("/proc/" + std::to_string(pid) + "/stat");
    if (stat.empty()) return false;
    size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

int countEntries(const std::string &dir) {
    int n = 0;
    DIR *d = opendir(dir.c_str());
    if (d == nullptr) return -1;
    while (struct dirent *e = readdir(d))
        if (e->d_name[0] != '.') n++;
    closedir(d);
    return n;
}

struct Rig {
    explicit Rig(const std::string &model, const std::map<std::string, std::string> &props = {})
        : module(config(model)), d(root) {
        riltest::makeDirs(root.at("/sysroot/system/bin"));
        for (const char *tool : {"pppd", "ping", "netcfg", "ps"}) {
            std::string src = std::string(RIL_BUILD_DIR) + "/sysroot-tools/" + tool;
            EXPECT_EQ(symlink(src.c_str(), root.at(std::string("/sysroot/system/bin/") + tool).c_str()), 0);
        }
        DaemonOptions opt;
        opt.timeScale = kScale;
        opt.properties = props;
        d.start(opt);
    }
    ~Rig() {
        for (int pid : decoys) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    ModuleConfig config(const std::string &model) {
        ModuleConfig cfg = ModuleConfig::forModel(model, root.path() + "/sysroot");
        cfg.resetGap = 200ms;
        return cfg;
    }

    // the family's start-up has run far enough to take a data call: its
    // ready radio state, and for the SIM families the SIM-ready steps
    bool ready() {
        int want = module.family() == modemsim::Family::Lte     ? RADIO_STATE_ON
                   : module.family() == modemsim::Family::Wcdma ? RADIO_STATE_SIM_READY
                                                                : RADIO_STATE_RUIM_READY;
        bool state = riltest::waitUntil(
            [this, want] {
                for (const json &m : d.messages())
                    if (isType(m, "unsol") && m.value("code", 0) == RIL_UNSOL_RESPONSE_RADIO_STATE_CHANGED &&
                        m.value("radio_state", -1) == want)
                        return true;
                return false;
            },
            60s);
        if (!state || module.family() == modemsim::Family::Cdma) return state;
        return riltest::waitUntil([this] { return d.property("gsm.sim.state") == "READY"; }, 30s);
    }

    json response(long token, std::chrono::milliseconds timeout = 30s) { return d.waitResponse(token, timeout); }
    int responses(long token) {
        return d.count([token](const json &m) { return isType(m, "response") && m.value("token", -1L) == token; });
    }

    std::vector<PppdRun> pppdRuns() {
        std::vector<PppdRun> runs;
        std::string dir = root.at("/sysroot/run/pppd");
        DIR *dd = opendir(dir.c_str());
        if (dd == nullptr) return runs;
        while (struct dirent *e = readdir(dd)) {
            if (e->d_name[0] == '.' || strchr(e->d_name, '.') != nullptr) continue;
            PppdRun r{atoi(e->d_name), {}};
            std::string all = riltest::readFile(dir + "/" + e->d_name);
            size_t i = 0;
            while (i < all.size()) {
                size_t z = all.find('\0', i);
                if (z == std::string::npos) z = all.size();
                r.argv.push_back(all.substr(i, z - i));
                i = z + 1;
            }
            runs.push_back(r);
        }
        closedir(dd);
        return runs;
    }
    bool anyPppdAlive() {
        for (const auto &r : pppdRuns())
            if (alive(r.pid)) return true;
        return false;
    }
    std::vector<std::string> modemCommands() {
        std::vector<std::string> out;
        for (const auto &r : module.received())
            if (r.port == Port::Modem) out.push_back(r.text);
        return out;
    }
    bool linkFolder() { return riltest::fileExists(root.at("/sysroot/sys/class/net/ppp0")); }

    // a process named pppd that the library did not start
    int decoy() {
        std::string path = root.at("/pppd");
        if (!riltest::fileExists(path)) symlink("/bin/sleep", path.c_str());
        pid_t pid = fork();
        if (pid == 0) {
            execl(path.c_str(), "pppd", "600", (char *)nullptr);
            _exit(127);
        }
        decoys.push_back(pid);
        return pid;
    }

    // the library's log has the text (waiting for it)
    bool logged(const std::string &text, std::chrono::milliseconds timeout = 20s) {
        return riltest::waitUntil([&] { return d.logText().find(text) != std::string::npos; }, timeout);
    }

    void pppdConfig(const std::string &text) { root.writeFile("/sysroot/etc/pppd-standin.conf", text); }

    TempRoot root;
    SimulatedModule module;
    DaemonHarness d;  // declared after the module: the daemon ends first
    std::vector<int> decoys;
};

std::vector<std::string> since(const std::vector<std::string> &all, size_t from) {
    return std::vector<std::string>(all.begin() + (long)std::min(from, all.size()), all.end());
}

// the AT port commands from "from" on, in order, that the preparation sent
size_t indexOf(const std::vector<std::string> &v, const std::string &s, size_t from = 0) {
    for (size_t i = from; i < v.size(); i++)
        if (v[i] == s) return i;
    return std::string::npos;
}

/* ---- set-up and deactivation per family ---- */

struct FamilyCase {
    const char *model;
    const char *dial;              // on the modem port
    const char *setup;             // console line
    std::vector<std::string> at;   // AT port commands of the preparation, in order
    std::vector<std::string> argv; // pppd's argument vector
};
void PrintTo(const FamilyCase &c, std::ostream *os) { *os << c.model; }

const std::vector<std::string> kForm3 = {"/system/bin/pppd", "/dev/ttyUSB0", "115200", "nodetach", "debug",
                                         "dump", "defaultroute", "usepeerdns", "ipcp-accept-local",
                                         "ipcp-accept-remote", "noipdefault"};

std::vector<std::string> withCredentials(std::vector<std::string> v, size_t at, const std::string &u,
                                         const std::string &p) {
    v.insert(v.begin() + (long)at, {"user", u, "password", p});
    return v;
}

const std::vector<std::string> kForm4Head = {"/system/bin/pppd", "/dev/ttyUSB0", "115200", "crtscts", "debug",
                                             "dump", "nodetach", "modem", "noipdefault", "defaultroute",
                                             "usepeerdns"};

std::vector<std::string> form4(const std::string &u, const std::string &p) {
    std::vector<std::string> v = kForm4Head;
    v.insert(v.end(), {"user", u, "password", p, "linkname", "ppp0"});
    return v;
}

// The same case on the legacy library: "ATD" for WCDMA, the context drop
// in place of "AT^DATADOWN", no "AT+CRM=0" before the password, and cid 3
// defined before cid 1.
FamilyCase legacyCase(FamilyCase c) {
    if (std::string(c.dial) == "ATDT*99***1#") c.dial = "ATD*99***1#";
    std::vector<std::string> at;
    for (const std::string &cmd : c.at) {
        if (cmd == "AT+CRM=0") continue;
        if (cmd == "AT^DATADOWN") {
            at.push_back("AT+CGACT=0, 1");
            continue;
        }
        if (cmd.rfind("AT+CGDCONT=1,", 0) == 0) at.push_back("AT+CGDCONT=3," + cmd.substr(13));
        at.push_back(cmd);
    }
    c.at = at;
    return c;
}

std::vector<FamilyCase> currentCases();

std::vector<FamilyCase> familyCases() {
    std::vector<FamilyCase> cases = currentCases();
    if (riltest::testingLegacy())
        for (FamilyCase &c : cases) c = legacyCase(c);
    return cases;
}

std::vector<FamilyCase> currentCases() {
    return {
        {"lte", "ATD*99***1#", "data cmnet",
         {"AT^KVISBUSY=?", "AT^DATADOWN", "AT+CRM=0", "at^gpspsword=\"\", \"\"", "AT+CGDCONT=1,\"IP\",\"cmnet\",,0,0"},
         kForm3},
        {"lte", "ATD*99***1#", "data cmnet bob s3cret",
         {"AT^KVISBUSY=?", "AT^DATADOWN", "AT+CRM=0", "at^gpspsword=\"bob\", \"s3cret\"",
          "AT+CGDCONT=1,\"IP\",\"cmnet\",,0,0"},
         withCredentials(kForm3, 3, "bob", "s3cret")},
        {"wcdma6290", "ATDT*99***1#", "data 3gnet",
         {"AT^KVISBUSY=?", "AT^DATADOWN", "AT+CRM=0", "at^gpspsword=\"\", \"\"", "AT+CGDCONT=1,\"IP\",\"3gnet\",,0,0"},
         kForm3},
        // the WCDMA family keeps the bare names for the module untouched
        {"wcdma6290", "ATDT*99***1#", "data uninet bob s3cret",
         {"AT^KVISBUSY=?", "AT^DATADOWN", "AT+CRM=0", "at^gpspsword=\"\", \"\"",
          "AT+CGDCONT=1,\"IP\",\"uninet\",,0,0"},
         withCredentials(kForm3, 3, "bob", "s3cret")},
        // the CDMA family dials with the operator's default account
        {"cdma", "ATDT#777", "data ctnet", {"ATH", "at^gpspsword=\"ctnet@mycdma.cn\", \"vnet.mobi\""},
         form4("ctnet@mycdma.cn", "vnet.mobi")},
        {"cdma", "ATDT#777", "data ctnet bob s3cret", {"ATH", "at^gpspsword=\"bob\", \"s3cret\""},
         form4("bob", "s3cret")},
    };
}

class DataCall : public ::testing::TestWithParam<FamilyCase> {};

TEST_P(DataCall, SetUpReportsTheLinkAndDeactivationEndsOnlyOurPppd) {
    const FamilyCase &c = GetParam();
    Rig rig(c.model);
    ASSERT_TRUE(rig.ready());
    size_t atFrom = rig.module.commands().size();
    long t = rig.d.request(c.setup);
    json r = rig.response(t);
    ASSERT_EQ(r.value("error", -1), 0) << r.dump();
    ASSERT_TRUE(r["data"].is_array() && r["data"].size() == 1) << r.dump();
    json rec = r["data"][0];
    EXPECT_EQ(rec["status"], 0);
    EXPECT_EQ(rec["suggestedRetryTime"], -1);
    EXPECT_EQ(rec["cid"], 1);
    EXPECT_EQ(rec["active"], 2);
    EXPECT_EQ(rec["type"], "IP");
    EXPECT_EQ(rec["ifname"], "ppp0");
    EXPECT_EQ(rec["addresses"], "10.64.78.9");
    EXPECT_EQ(rec["gateways"], "10.64.64.64");
    EXPECT_EQ(rec["dnses"], "127.0.0.53 127.0.0.54");
    EXPECT_EQ(rig.d.property("net.ppp0.local-ip"), "10.64.78.9");

    // the preparation's commands, in this order, then the dial on the modem port
    std::vector<std::string> at = since(rig.module.commands(), atFrom);
    size_t pos = 0;
    for (const std::string &cmd : c.at) {
        size_t i = indexOf(at, cmd, pos);
        ASSERT_NE(i, std::string::npos) << "missing " << cmd << " after position " << pos;
        pos = i + 1;
    }
    std::vector<std::string> dials = rig.modemCommands();
    ASSERT_EQ(dials.size(), 1u);
    EXPECT_EQ(dials[0], c.dial);

    auto runs = rig.pppdRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].argv, c.argv);
    EXPECT_TRUE(alive(runs[0].pid));
    EXPECT_TRUE(rig.linkFolder());
    // the one response for the token
    EXPECT_EQ(rig.responses(t), 1);

    int decoy = rig.decoy();
    long off = rig.d.request("deactivate");
    json dr = rig.response(off);
    EXPECT_EQ(dr.value("error", -1), 0) << dr.dump();
    EXPECT_TRUE(riltest::waitUntil([&] { return !alive(runs[0].pid); }, 10s)) << "our pppd ends";
    EXPECT_TRUE(riltest::waitUntil([&] { return !rig.linkFolder(); }, 10s)) << "the link goes away";
    EXPECT_TRUE(rig.d.waitUnsol(RIL_UNSOL_DATA_CALL_LIST_CHANGED, 10s).is_object());
    // the runner saw its pppd end and stopped there: nothing is dialled
    // again and no pppd starts
    EXPECT_TRUE(rig.logged("pppd run 1 exit status"));
    std::string before = rig.d.property("net.ppp0.local-ip");
    EXPECT_EQ(rig.modemCommands().size(), 1u);
    EXPECT_EQ(rig.pppdRuns().size(), 1u);
    EXPECT_EQ(before, "");
    EXPECT_TRUE(alive(decoy)) << "a pppd the library did not start is left alone";
}

INSTANTIATE_TEST_SUITE_P(Families, DataCall, ::testing::ValuesIn(familyCases()),
                         [](const ::testing::TestParamInfo<FamilyCase> &i) {
                             std::string n = std::string(i.param.model) + "_" + std::to_string(i.index);
                             for (auto &ch : n)
                                 if (!isalnum((unsigned char)ch)) ch = '_';
                             return n;
                         });

/* ---- the parked set-up ---- */

TEST(ParkedSetup, DeactivationDuringTheDialCompletesItOnceWithAnError) {
    Rig rig("lte");
    ASSERT_TRUE(rig.ready());
    rig.module.control("data dial silence");
    long t = rig.d.request("data cmnet");
    ASSERT_TRUE(riltest::waitUntil([&] { return !rig.modemCommands().empty(); }, 20s)) << "the dial went out";
    long off = rig.d.request("deactivate");
    json r = rig.response(t, 20s);
    EXPECT_EQ(r.value("error", -1), RIL_E_GENERIC_FAILURE) << r.dump();
    ASSERT_TRUE(r["data"].is_array() && r["data"].size() == 1) << r.dump();
    EXPECT_EQ(r["data"][0]["suggestedRetryTime"], 99);
    EXPECT_EQ(rig.response(off).value("error", -1), 0);
    // the silent dial runs out (30 s on this clock), the resume ends, and
    // nothing answers the token again
    EXPECT_TRUE(rig.logged("goto error:-4!"));
    EXPECT_TRUE(rig.logged("G_userdisconnect:1"));
    EXPECT_EQ(rig.responses(t), 1);
    EXPECT_FALSE(rig.anyPppdAlive());
    EXPECT_EQ(rig.modemCommands().size(), 1u);
}

TEST(ParkedSetup, ASecondSetUpAnswersTheFirstWithAnErrorAndCompletesItself) {
    Rig rig("lte");
    ASSERT_TRUE(rig.ready());
    rig.module.control("data dial silence");
    long first = rig.d.request("data cmnet");
    ASSERT_TRUE(riltest::waitUntil([&] { return !rig.modemCommands().empty(); }, 20s));
    rig.module.control("data dial connect");
    long second = rig.d.request("data cmnet");
    json r1 = rig.response(first, 20s);
    EXPECT_EQ(r1.value("error", -1), RIL_E_GENERIC_FAILURE) << r1.dump();
    json r2 = rig.response(second, 60s);
    EXPECT_EQ(r2.value("error", -1), 0) << r2.dump();
    ASSERT_TRUE(r2["data"].is_array() && r2["data"].size() == 1);
    EXPECT_EQ(r2["data"][0]["addresses"], "10.64.78.9");
    // the resume the second set-up asked for has ended too
    EXPECT_TRUE(rig.logged("3G_GUARD: start check data resume"));
    EXPECT_EQ(rig.responses(first), 1);
    EXPECT_EQ(rig.responses(second), 1);
    json off = rig.response(rig.d.request("deactivate"));
    EXPECT_EQ(off.value("error", -1), 0);
    EXPECT_TRUE(riltest::waitUntil([&] { return !rig.anyPppdAlive(); }, 10s));
}

TEST(ParkedSetup, WithoutPacketServiceTheWaitIsBounded) {
    Rig rig("lte");
    ASSERT_TRUE(rig.ready());
    rig.module.control("data service off");
    long t = rig.d.request("data cmnet");
    if (riltest::testingLegacy()) {
        // the legacy build prepares and dials at once, without the check;
        // a deactivation ends the parked set-up
        ASSERT_TRUE(riltest::waitUntil([&] { return !rig.modemCommands().empty(); }, 20s)) << rig.d.logText();
        EXPECT_EQ(rig.response(rig.d.request("deactivate")).value("error", -1), 0);
        EXPECT_EQ(rig.response(t).value("error", -1), RIL_E_GENERIC_FAILURE);
        EXPECT_EQ(rig.responses(t), 1);
        return;
    }
    // the resume is retried every 3 s while the module has no packet
    // service; the parked set-up ends with an error after its 400 s
    json r = rig.response(t, std::chrono::milliseconds(460000 / kScale));
    EXPECT_EQ(r.value("error", -1), RIL_E_GENERIC_FAILURE) << r.dump();
    EXPECT_TRUE(rig.modemCommands().empty()) << "nothing was dialled";
    EXPECT_EQ(rig.responses(t), 1);
}

TEST(ParkedSetup, SixResumesWithoutAnAddressFailTheSetUpAndReportTheListChanged) {
    Rig rig("lte");
    ASSERT_TRUE(rig.ready());
    // pppd runs but ip-up never comes: each resume waits 30 clock seconds,
    // kills pppd and tries again 3 s later
    rig.pppdConfig("noip=1\n");
    long t = rig.d.request("data cmnet");
    json r = rig.response(t, std::chrono::milliseconds(6 * 45000 / kScale + 20000));
    EXPECT_EQ(r.value("error", -1), RIL_E_GENERIC_FAILURE) << r.dump();
    // the legacy build fails the fourth
    const size_t dials = riltest::testingLegacy() ? 4u : 6u;
    EXPECT_EQ(rig.modemCommands().size(), dials);
    EXPECT_LE(rig.pppdRuns().size(), dials);
    EXPECT_TRUE(rig.d.waitUnsol(RIL_UNSOL_DATA_CALL_LIST_CHANGED, 10s).is_object());
    if (riltest::testingLegacy()) {
        // the fourth attempt without an address is also the fourth in a row:
        // it cycles the radio instead of stopping pppd
        EXPECT_TRUE(rig.logged("Dog >> PPPD NO IP > 3"));
    } else {
        EXPECT_TRUE(riltest::waitUntil([&] { return !rig.anyPppdAlive(); }, 10s));
    }
    EXPECT_EQ(rig.responses(t), 1);
}

TEST(DataRequests, InitialAttachListFailCauseAndAllowData) {
    // LTE: the first initial-attach request with "ril.rild.connected" unset
    // marks it and ends the process to be restarted; the next one succeeds
    {
        Rig rig("lte");
        ASSERT_TRUE(rig.ready());
        rig.d.request("RIL_REQUEST_SET_INITIAL_ATTACH_APN");
        EXPECT_EQ(rig.d.waitExit(20s), 0);
        EXPECT_EQ(rig.d.property("ril.rild.connected"), "true");
    }
    Rig lte("lte", {{"ril.rild.connected", "true"}});
    ASSERT_TRUE(lte.ready()) << lte.d.logText();
    EXPECT_EQ(lte.response(lte.d.request("RIL_REQUEST_SET_INITIAL_ATTACH_APN")).value("error", -1), 0);
    // the legacy tables have no ALLOW_DATA: the family's empty-entry answer
    EXPECT_EQ(lte.response(lte.d.request("RIL_REQUEST_ALLOW_DATA 1")).value("error", -1),
              riltest::testingLegacy() ? RIL_E_GENERIC_FAILURE : RIL_E_SUCCESS);
    // the LTE list with a context listed is the current record
    json list = lte.response(lte.d.request("datalist"));
    EXPECT_EQ(list.value("error", -1), 0) << list.dump();
    ASSERT_TRUE(list["data"].is_array() && list["data"].size() == 1) << list.dump();
    EXPECT_EQ(list["data"][0]["cid"], 1);
    EXPECT_EQ(list["data"][0]["type"], "IP");

    Rig cdma("cdma");
    ASSERT_TRUE(cdma.ready());
    json cause = cdma.response(cdma.d.request("RIL_REQUEST_LAST_DATA_CALL_FAIL_CAUSE"));
    EXPECT_EQ(cause.value("error", -1), 0);
    EXPECT_EQ(cause["data"], json::array({65535}));
    // the CDMA list: one record per "+CGACT:" line, the type from "+CGDCONT:"
    cdma.module.setReply("AT+CGACT?", {"+CGACT: 1,1", "OK"});
    cdma.module.setReply("AT+CGDCONT?", {"+CGDCONT: 1,\"IP\",\"3gnet\",\"10.0.0.1\",0,0", "OK"});
    json cl = cdma.response(cdma.d.request("datalist"));
    ASSERT_TRUE(cl["data"].is_array() && cl["data"].size() == 1) << cl.dump();
    json rec = cl["data"][0];
    EXPECT_EQ(rec["cid"], 1);
    EXPECT_EQ(rec["active"], 1);
    EXPECT_EQ(rec["type"], "IP");
    EXPECT_EQ(rec["ifname"], "ppp0");
    EXPECT_EQ(rec["addresses"], "");
    EXPECT_EQ(rec["dnses"], "208.67.222.222");
    EXPECT_EQ(rec["suggestedRetryTime"], 10);
    // a line that does not parse fails the list
    cdma.module.setReply("AT+CGACT?", {"+CGACT: 1", "OK"});
    EXPECT_EQ(cdma.response(cdma.d.request("datalist")).value("error", -1), RIL_E_GENERIC_FAILURE);
}

TEST(DataRequests, LteSetUpWithoutSignalOrServiceDialsNothing) {
    Rig rig("lte");
    ASSERT_TRUE(rig.ready());
    struct {
        const char *command;
        std::vector<std::string> reply;
    } gates[] = {{"AT+CSQ", {"+CSQ: 99,99", "OK"}}, {"AT^SYSINFO", {"^SYSINFO: 1,3,0,9,1,0,0", "OK"}}};
    if (riltest::testingLegacy()) {
        // the legacy set-up has no gates: without signal the dial still goes out
        rig.module.setReply(gates[0].command, gates[0].reply);
        rig.response(rig.d.request("data cmnet"), 60s);
        EXPECT_FALSE(rig.modemCommands().empty());
        EXPECT_EQ(rig.d.logText().find("current_csq_value is 99 abort the data call"), std::string::npos);
        return;
    }
    for (const auto &g : gates) {
        SCOPED_TRACE(g.command);
        rig.module.setReply(g.command, g.reply);
        size_t atFrom = rig.module.commands().size();
        json r = rig.response(rig.d.request("data cmnet"));
        EXPECT_EQ(r.value("error", -1), RIL_E_GENERIC_FAILURE) << r.dump();
        for (const auto &cmd : since(rig.module.commands(), atFrom)) EXPECT_EQ(cmd.find("CGDCONT"), std::string::npos);
        EXPECT_TRUE(rig.modemCommands().empty());
        rig.module.clearReply(g.command);
    }
    // with signal and service back the same request goes through
    EXPECT_EQ(rig.response(rig.d.request("data cmnet")).value("error", -1), 0);
}

TEST(PppdRuns, APppdThatEndsByItselfLeavesTheNextLinkAlone) {
    Rig rig("lte");
    ASSERT_TRUE(rig.ready());
    ASSERT_EQ(rig.response(rig.d.request("data cmnet")).value("error", -1), 0);
    auto first = rig.pppdRuns();
    ASSERT_EQ(first.size(), 1u);
    // the network drops the call: the modem port says NO CARRIER and pppd ends
    rig.module.control("data drop");
    ASSERT_TRUE(riltest::waitUntil([&] { return !alive(first[0].pid); }, 10s));
    ASSERT_TRUE(rig.logged("pppd run 1 exit status"));
    EXPECT_TRUE(riltest::waitUntil([&] { return rig.d.property("net.ppp0.local-ip").empty(); }, 10s));
    // a new set-up: its stop finds no run and returns at once, and nothing
    // of the ended run touches the new link
    json r = rig.response(rig.d.request("data cmnet"));
    ASSERT_EQ(r.value("error", -1), 0) << r.dump();
    auto runs = rig.pppdRuns();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(rig.d.logText().find("pppd run 2 exit status"), std::string::npos);
    EXPECT_EQ(rig.d.property("net.ppp0.local-ip"), "10.64.78.9");
    EXPECT_TRUE(rig.linkFolder());
    EXPECT_EQ(rig.response(rig.d.request("deactivate")).value("error", -1), 0);
    EXPECT_TRUE(riltest::waitUntil([&] { return !rig.anyPppdAlive() && !rig.linkFolder(); }, 10s));
    EXPECT_TRUE(rig.logged("pppd run 2 exit status"));
}

/* ---- hostile set-up values ---- */

struct HostileCase {
    const char *name;
    std::vector<std::string> args;  // APN, user, password (console words)
    bool accepted;
};

TEST(HostileSetup, RefusedValuesSendNothingAndAcceptedOnesStayOneArgument) {
    Rig rig("lte");
    ASSERT_TRUE(rig.ready());
    std::string sentinel = rig.root.at("/sentinel");
    const std::string longApn(101, 'a');
    const std::string longUser(123, 'u');
    const std::string longPass(119, 'p');
    std::vector<HostileCase> cases = {
        {"apn_quote", {"cmnet\\\";+CFUN=0"}, false},
        {"apn_cr", {"cmnet\\rAT+CFUN=0"}, false},
        {"apn_semicolon", {"cmnet;+CFUN=0"}, false},
        {"apn_ctrlz", {"cmnet\\x1a"}, false},
        {"apn_long", {longApn}, false},
        {"user_quote", {"cmnet", "bob\\\"x", "pw"}, false},
        {"user_lf", {"cmnet", "bob\\nAT+CFUN=0", "pw"}, false},
        {"user_long", {"cmnet", longUser, "pw"}, false},
        {"pass_backslash", {"cmnet", "bob", "a\\\\b"}, false},
        {"pass_long", {"cmnet", "bob", longPass}, false},
        {"pass_shell", {"cmnet", "bob", "a;touch " + sentinel}, true},
        {"pass_subst", {"cmnet", "bob", "$(touch " + sentinel + ")"}, true},
        {"pass_backquote", {"cmnet", "bob", "`touch " + sentinel + "`"}, true},
        {"user_options", {"cmnet", "bob plugin /data/x.so", "pw"}, true},
    };
    for (const HostileCase &c : cases) {
        SCOPED_TRACE(c.name);
        size_t atFrom = rig.module.commands().size();
        size_t dialsBefore = rig.modemCommands().size();
        size_t runsBefore = rig.pppdRuns().size();
        std::string line = "data";
        for (const auto &a : c.args) line += " \"" + a + "\"";
        long t = rig.d.request(line);
        json r = rig.response(t);
        if (!c.accepted) {
            EXPECT_EQ(r.value("error", -1), RIL_E_GENERIC_FAILURE) << r.dump();
            std::vector<std::string> at = since(rig.module.commands(), atFrom);
            for (const auto &cmd : at) {
                EXPECT_EQ(cmd.find("CGDCONT"), std::string::npos) << cmd;
                EXPECT_EQ(cmd.find("gpspsword"), std::string::npos) << cmd;
                EXPECT_EQ(cmd.find("CFUN"), std::string::npos) << cmd;
            }
            EXPECT_EQ(rig.modemCommands().size(), dialsBefore);
            EXPECT_EQ(rig.pppdRuns().size(), runsBefore);
        } else {
            EXPECT_EQ(r.value("error", -1), 0) << r.dump();
            auto runs = rig.pppdRuns();
            ASSERT_EQ(runs.size(), runsBefore + 1);
            std::vector<std::string> argv;
            for (const auto &run : runs)
                if (alive(run.pid)) argv = run.argv;
            EXPECT_EQ(argv, withCredentials(kForm3, 3, c.args[1], c.args[2]));
            EXPECT_EQ(rig.response(rig.d.request("deactivate")).value("error", -1), 0);
            EXPECT_TRUE(riltest::waitUntil([&] { return !rig.anyPppdAlive(); }, 10s));
        }
        EXPECT_FALSE(riltest::fileExists(sentinel));
        EXPECT_EQ(rig.responses(t), 1);
    }
}

/* ---- many cycles ---- */

TEST(Cycles, TwentySetUpsAndDeactivationsLeaveThreadsAndDescriptorsFlat) {
    Rig rig("lte");
    ASSERT_TRUE(rig.ready());
    std::string proc = "/proc/" + std::to_string(rig.d.pid());
    int threads0 = -1, fds0 = -1;
    for (int i = 0; i < 20; i++) {
        SCOPED_TRACE(i);
        json r = rig.response(rig.d.request("data cmnet"));
        ASSERT_EQ(r.value("error", -1), 0) << r.dump();
        ASSERT_EQ(rig.response(rig.d.request("deactivate")).value("error", -1), 0);
        ASSERT_TRUE(riltest::waitUntil([&] { return !rig.anyPppdAlive() && !rig.linkFolder(); }, 10s))
            << "pppd alive " << rig.anyPppdAlive() << ", ppp0 " << rig.linkFolder();
        if (i == 1) {
            // the one-shot ping thread and the runner end shortly after: the
            // baseline is the least seen within a second
            threads0 = countEntries(proc + "/task");
            fds0 = countEntries(proc + "/fd");
            riltest::waitUntil(
                [&] {
                    threads0 = std::min(threads0, countEntries(proc + "/task"));
                    fds0 = std::min(fds0, countEntries(proc + "/fd"));
                    return false;
                },
                1s);
        }
    }
    ASSERT_GT(threads0, 0);
    EXPECT_TRUE(riltest::waitUntil([&] { return countEntries(proc + "/task") <= threads0; }, 5s))
        << countEntries(proc + "/task") << " threads, " << threads0 << " after the second cycle";
    EXPECT_TRUE(riltest::waitUntil([&] { return countEntries(proc + "/fd") <= fds0; }, 5s))
        << countEntries(proc + "/fd") << " descriptors, " << fds0 << " after the second cycle";
    EXPECT_EQ(rig.pppdRuns().size(), 20u);
    std::string all;
    for (const auto &c : rig.modemCommands()) all += c + "|";
    EXPECT_EQ(rig.modemCommands().size(), 20u) << all;
}

}  // namespace
