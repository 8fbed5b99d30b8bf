// The AT service "ril.at" end to end: the real host daemon starts it after
// RIL_Init (host-rild --at-service), callers speak the socket protocol
// (a client written from the wire description, and the ril-at program), and
// the commands reach the simulated module over the real AT channel.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <stdlib.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "atservice_wire.h"
#include "daemon_harness.h"
#include "ril_interface.h"
#include "simulated_module.h"
#include "temp_root.h"

using modemsim::ModuleConfig;
using modemsim::SimulatedModule;
using nlohmann::json;
using riltest::DaemonHarness;
using riltest::DaemonOptions;
using riltest::TempRoot;
using namespace std::chrono_literals;

namespace {

constexpr uid_t kNobody = 65534;

// A services directory that callers of any uid can reach.
struct BinderDir {
    BinderDir() {
        char tmpl[] = "/tmp/ril-at-test-XXXXXX";
        path = mkdtemp(tmpl) != nullptr ? tmpl : "";
        chmod(path.c_str(), 0755);
    }
    ~BinderDir() { riltest::removeTree(path); }
    std::string path;
};

struct ToolResult {
    int status = -1;  // exit status, -1 when it did not end in time
    std::string out;  // standard output and error
};

// Runs build/bin/ril-at, as uid when it is not -1 (a forked child that
// drops its groups and user before exec).
ToolResult runTool(const std::vector<std::string> &args, const std::string &dir, uid_t uid = (uid_t)-1) {
    ToolResult r;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return r;
    std::string bin = riltest::buildPath("/bin/ril-at");
    std::vector<const char *> argv = {bin.c_str()};
    for (const auto &a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(out[1], STDERR_FILENO);
        if (uid != (uid_t)-1) {
            if (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0) _exit(120);
        }
        if (!dir.empty()) setenv("RIL_BINDER_DIR", dir.c_str(), 1);
        else unsetenv("RIL_BINDER_DIR");
        execv(bin.c_str(), (char *const *)argv.data());
        _exit(127);
    }
    close(out[1]);
    auto deadline = std::chrono::steady_clock::now() + 60s;
    char buf[4096];
    for (;;) {
        struct pollfd pfd = {out[0], POLLIN, 0};
        if (poll(&pfd, 1, 200) > 0) {
            ssize_t n = read(out[0], buf, sizeof(buf));
            if (n <= 0) break;
            r.out.append(buf, (size_t)n);
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            break;
        }
    }
    close(out[0]);
    int st = 0;
    if (waitpid(pid, &st, 0) == pid && WIFEXITED(st)) r.status = WEXITSTATUS(st);
    return r;
}

struct Rig {
    explicit Rig(const std::string &model = "lte", long scale = 20, bool supervise = false, bool plugin = false,
                 bool mute = false)
        : module(config(model)), d(root) {
        if (mute) module.setMute(true);
        DaemonOptions opt;
        opt.timeScale = scale;
        opt.supervise = supervise;
        opt.withPlugin = plugin;
        opt.args = {"--at-service"};
        opt.env["RIL_BINDER_DIR"] = dir.path;
        d.start(opt);
    }
    ModuleConfig config(const std::string &model) {
        ModuleConfig cfg = ModuleConfig::forModel(model, root.path() + "/sysroot");
        cfg.resetGap = 200ms;
        return cfg;
    }
    std::string socket() const { return dir.path + "/ril.at"; }

    // the service answers a ping on a fresh connection
    bool serviceUp(std::chrono::milliseconds timeout = 30s) {
        return riltest::waitUntil(
            [&] {
                wire::Client c;
                return c.open(socket()) && c.call(wire::kPing, wire::Bytes(), nullptr, 5s) == wire::kOk;
            },
            timeout);
    }
    // the main loop has installed the daemon's hooks once the module hears
    // its first command
    bool channelUp() {
        return riltest::waitUntil([&] { return !module.commands().empty(); }, 30s);
    }
    // code 5 with a callback binder and the text
    int32_t command(wire::Client &c, const std::string &text) {
        return c.call(5, wire::Bytes().binder(1).str8(text));
    }
    int32_t command(const std::string &text) {
        wire::Client c;
        if (!c.open(socket())) return INT32_MIN;
        return command(c, text);
    }
    // every command sent before this one has been handled by the event thread
    // once this one reaches the module
    bool gate(const std::string &text) {
        size_t from = module.commands().size();
        return command(text) == wire::kOk && module.waitForCommand(text, 30s, from);
    }
    bool moduleHeard(const std::string &needle) {
        for (const auto &c : module.commands()) {
            std::string up = c;
            for (char &ch : up) ch = (char)toupper((unsigned char)ch);
            if (up.find(needle) != std::string::npos) return true;
        }
        return false;
    }
    int logCount(const std::string &text) {
        std::string log = d.logText();
        int n = 0;
        for (size_t p = log.find(text); p != std::string::npos; p = log.find(text, p + 1)) n++;
        return n;
    }

    BinderDir dir;
    TempRoot root;
    SimulatedModule module;
    DaemonHarness d;  // last: the daemon ends before the module leaves
};

TEST(AtServiceE2E, RootCallersCommandReachesTheModule) {
    Rig r;
    ASSERT_TRUE(r.serviceUp()) << r.d.logText();
    ASSERT_TRUE(r.channelUp());
    size_t from = r.module.commands().size();
    EXPECT_EQ(r.command("AT+CLVL=5"), wire::kOk);
    EXPECT_TRUE(r.module.waitForCommand("AT+CLVL=5", 30s, from)) << r.d.logText();
    EXPECT_GE(r.logCount("Receive AT:AT+CLVL=5"), 1);
    EXPECT_GE(r.logCount("execute at command AT+CLVL=5"), 1);

    // the platform's own transactions: the descriptor, and any other code unknown
    wire::Client c;
    ASSERT_TRUE(c.open(r.socket()));
    ASSERT_EQ(c.call(wire::kInterface, wire::Bytes()), wire::kOk);
    EXPECT_EQ(c.lastReply.data, wire::Bytes().str16("ril.at").b);
    EXPECT_EQ(c.call(6, wire::Bytes()), wire::kUnknown);
    EXPECT_EQ(c.call(1, wire::Bytes()), wire::kOk);
    EXPECT_GE(r.logCount("MyService interface 1"), 1);
}

TEST(AtServiceE2E, UnprivilegedCallerIsRefusedAndNothingReachesTheModule) {
    Rig r;
    ASSERT_TRUE(r.serviceUp()) << r.d.logText();
    ASSERT_TRUE(r.channelUp());
    // a forked child that drops to nobody: every code of the service refused
    ToolResult send = runTool({"send", "ATD10086;"}, r.dir.path, kNobody);
    EXPECT_EQ(send.status, 3) << send.out;
    EXPECT_NE(send.out.find("permission denied"), std::string::npos) << send.out;
    ToolResult test = runTool({"test", "1"}, r.dir.path, kNobody);
    EXPECT_EQ(test.status, 3) << test.out;
    EXPECT_EQ(test.out.find("callback 1"), std::string::npos) << "no callback for a refused caller";
    ToolResult exit = runTool({"exit"}, r.dir.path, kNobody);
    EXPECT_EQ(exit.status, 3) << exit.out;
    // the platform ping is no service transaction: anyone may see it is there
    EXPECT_EQ(runTool({"ping"}, r.dir.path, kNobody).status, 0);

    EXPECT_TRUE(r.d.running()) << "code 3 from nobody must not end the daemon";
    EXPECT_GE(r.logCount("permission denied for transaction 5 from uid 65534 pid "), 1) << r.d.logText();
    EXPECT_GE(r.logCount("permission denied for transaction 3 from uid 65534 pid "), 1);
    EXPECT_EQ(r.logCount("Receive AT:ATD10086;"), 0);
    // a later root command reaches the module; the refused one never did
    ASSERT_TRUE(r.gate("AT+CLVL=3"));
    EXPECT_FALSE(r.moduleHeard("ATD10086")) << "a refused caller's command reached the module";
}

TEST(AtServiceE2E, RefusedCallerLogLineNamesItsPid) {
    Rig r;
    ASSERT_TRUE(r.serviceUp()) << r.d.logText();
    wire::Client probe;  // the pid the log must name is the child's own
    pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(120);
        std::string bin = riltest::buildPath("/bin/ril-at");
        setenv("RIL_BINDER_DIR", r.dir.path.c_str(), 1);
        execl(bin.c_str(), bin.c_str(), "send", "AT+CLVL=1", (char *)nullptr);
        _exit(127);
    }
    int st = 0;
    ASSERT_TRUE(riltest::waitUntil([&] { return waitpid(pid, &st, WNOHANG) == pid; }, 60s));
    EXPECT_EQ(WEXITSTATUS(st), 3);
    std::string line = "permission denied for transaction 5 from uid 65534 pid " + std::to_string(pid);
    EXPECT_GE(r.logCount(line), 1) << r.d.logText();
}

TEST(AtServiceE2E, TestCallbackTwiceCarriesTokenCounterAndText) {
    Rig r;
    ASSERT_TRUE(r.serviceUp()) << r.d.logText();
    wire::Client c;
    ASSERT_TRUE(c.open(r.socket()));
    for (int counter = 0; counter < 2; counter++) {
        std::vector<wire::Packet> before;
        ASSERT_EQ(c.call(4, wire::Bytes().binder(7), &before), wire::kOk);
        // the callback arrived while the caller waited, ahead of the reply
        ASSERT_EQ(before.size(), 1u);
        const wire::Packet &cb = before[0];
        EXPECT_EQ(cb.kind, 1u);
        EXPECT_EQ(cb.code, 1);
        EXPECT_EQ(cb.flags, 1u) << "the test callback is one-way";
        EXPECT_EQ(cb.target, 7u) << "it calls the object the caller sent";
        EXPECT_EQ(cb.size, cb.data.size());
        EXPECT_EQ(cb.data, wire::Bytes().token("nrt.callback").i32(counter).str8("This is a string.").b);
    }
    EXPECT_EQ(r.logCount("this is for test show!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!"), 10);
    // a null binder stores nothing to call: no callback, status 0
    std::vector<wire::Packet> before;
    EXPECT_EQ(c.call(4, wire::Bytes().nullBinder(), &before), wire::kOk);
    EXPECT_TRUE(before.empty());
}

TEST(AtServiceE2E, CallerThatNeverReadsCannotHoldTheService) {
    Rig r;
    ASSERT_TRUE(r.serviceUp()) << r.d.logText();
    // a client asks for callbacks one-way and never reads anything
    wire::Client stuck;
    ASSERT_TRUE(stuck.open(r.socket()));
    for (uint32_t i = 0; i < 2000; i++)
        if (!stuck.transaction(1000 + i, 4, wire::Bytes().binder(9), 1)) break;
    // its socket filled up and the later callbacks were dropped, not waited for
    EXPECT_TRUE(riltest::waitUntil([&] { return r.logCount("test callback not delivered (-11)") > 0; }, 30s));
    // others are still served
    ASSERT_TRUE(r.channelUp());
    EXPECT_TRUE(r.gate("AT+CLVL=6")) << r.d.logText();
}

TEST(AtServiceE2E, ExitTransactionEndsTheDaemonWithStatusZero) {
    Rig r;
    ASSERT_TRUE(r.serviceUp()) << r.d.logText();
    wire::Client c;
    ASSERT_TRUE(c.open(r.socket()));
    EXPECT_EQ(c.call(3, wire::Bytes()), INT32_MIN);
    EXPECT_TRUE(c.eof) << "the process ends without a reply";
    EXPECT_EQ(r.d.waitExit(30s), 0);
    EXPECT_GE(r.logCount("MyService interface 3, exit"), 1);
}

TEST(AtServiceE2E, SupervisorRestartsTheDaemonAfterExitAndTheServiceComesBack) {
    Rig r("lte", 20, /*supervise=*/true);
    ASSERT_TRUE(r.serviceUp()) << r.d.logText();
    EXPECT_EQ(runTool({"exit"}, r.dir.path).status, 0);
    // the library runs again ...
    ASSERT_TRUE(riltest::waitUntil(
        [&] { return r.d.count([](const json &x) { return x.value("type", "") == "init"; }) >= 2; }, 60s))
        << r.d.logText();
    EXPECT_TRUE(r.d.running());
    // ... and its service replaces the stale socket of the ended process
    ASSERT_TRUE(r.serviceUp(60s)) << r.d.logText();
    ASSERT_TRUE(r.channelUp());
    EXPECT_TRUE(r.gate("AT+CLVL=2"));
}

TEST(AtServiceE2E, CommandsThatAreNotOneBoundedLineAreRefused) {
    Rig r;
    ASSERT_TRUE(r.serviceUp()) << r.d.logText();
    ASSERT_TRUE(r.channelUp());
    const std::vector<std::string> hostile = {
        "AT+CSQ\rATD112;",                  // a second command after a CR
        "AT+CLVL=1\nATD113;",               // ... after a LF
        "AT+CMGS=5\x1a",                    // Ctrl-Z completes an SMS prompt
        std::string("AT\0ATD114;", 10),     // an embedded NUL
        "AT\x1b" "ATD115;",                 // escape
        "AT\x7f",                           // delete
        "",                                 // nothing
        "AT+" + std::string(600, 'A'),      // far too long
    };
    wire::Client c;
    ASSERT_TRUE(c.open(r.socket()));
    for (const auto &text : hostile) EXPECT_EQ(r.command(c, text), wire::kBadValue) << text.size();
    // malformed parcels: a String8 longer than the data, no text at all,
    // a binder of an unknown kind
    EXPECT_EQ(c.call(5, wire::Bytes().binder(1).i32(400).i32(0x41414141)), wire::kBadValue);
    EXPECT_EQ(c.call(5, wire::Bytes().binder(1)), wire::kBadValue);
    EXPECT_EQ(c.call(5, wire::Bytes().i32(3).i32(0).i32(1).i32(0).str8("ATD116;")), wire::kBadValue);
    // a packet whose size word disagrees with its length
    ASSERT_TRUE(c.sendRaw(wire::Client::packet(1, 9, 5, 0, 0, wire::Bytes().binder(1).str8("ATD117;").b, 4)));
    wire::Packet p;
    ASSERT_TRUE(c.next(p));
    EXPECT_EQ(p.kind, 2u);
    EXPECT_EQ(p.seq, 9u);
    EXPECT_EQ(p.code, wire::kBadValue);

    // the longest line accepted still passes
    std::string longest = "AT+CLVL=" + std::string(512 - 8, '9');
    EXPECT_EQ(r.command(c, longest), wire::kOk);
    ASSERT_TRUE(r.gate("AT+CLVL=4"));
    for (const char *n : {"ATD11", "CMGS"}) EXPECT_FALSE(r.moduleHeard(n)) << n;
    EXPECT_GE(r.logCount("MyService: refused a command"), 8);
}

TEST(AtServiceE2E, PinsAndPasswordsAreMaskedInTheServiceLogLines) {
    Rig r;
    ASSERT_TRUE(r.serviceUp()) << r.d.logText();
    ASSERT_TRUE(r.channelUp());
    for (const char *cmd : {"AT+CPIN=\"4711\"", "AT+CPWD=\"SC\",\"4711\",\"0815\"", "at+clck=\"SC\",1,\"4711\""})
        EXPECT_EQ(r.command(cmd), wire::kOk) << cmd;
    ASSERT_TRUE(r.gate("AT+CLVL=1"));
    EXPECT_TRUE(r.module.waitForCommand("at+clck=\"SC\",1,\"4711\"", 5s)) << "the module gets the real command";
    EXPECT_GE(r.logCount("Receive AT:AT+CPIN=***"), 1);
    EXPECT_GE(r.logCount("Receive AT:AT+CPWD=***"), 1);
    EXPECT_GE(r.logCount("Receive AT:at+clck=***"), 1);
    EXPECT_GE(r.logCount("execute at command AT+CPIN=***"), 1);
    for (const char *secret : {"Receive AT:AT+CPIN=\"", "execute at command AT+CPWD=\"", "filtercommand:at+clck=\""})
        EXPECT_EQ(r.logCount(secret), 0) << secret;
}

TEST(AtServiceE2E, VoiceTypeOutsideACallIsHeldNotSent) {
    Rig r;
    ASSERT_TRUE(r.serviceUp()) << r.d.logText();
    ASSERT_TRUE(r.channelUp());
    EXPECT_EQ(r.command("AT+VTYPE=1"), wire::kOk);
    ASSERT_TRUE(r.gate("AT+CLVL=7"));
    EXPECT_FALSE(r.moduleHeard("VTYPE"));
    EXPECT_GE(r.logCount("cache data "), 1);
}

TEST(AtServiceE2E, PendingCommandsAreCappedWithALogLine) {
    // the module answers nothing: the initialization holds the event thread
    // for the 30 s deadline of "AT+CFUN?" while the commands pile up
    Rig r("lte", 1, false, false, /*mute=*/true);
    ASSERT_TRUE(r.serviceUp()) << r.d.logText();
    ASSERT_TRUE(r.module.waitForCommand("AT+CFUN?", 30s)) << r.d.logText();
    wire::Client c;
    ASSERT_TRUE(c.open(r.socket()));
    for (int i = 0; i < 16; i++) EXPECT_EQ(r.command(c, "AT+CLVL=" + std::to_string(i)), wire::kOk) << i;
    EXPECT_EQ(r.command(c, "AT+CLVL=99"), -11) << "the 17th pending command is dropped";
    EXPECT_GE(r.logCount("ExecuteATTimer: 16 commands pending, dropped AT+CLVL=99"), 1) << r.d.logText();
}

TEST(AtServiceE2E, ClientProgramExitStatuses) {
    Rig r;
    ASSERT_TRUE(r.serviceUp()) << r.d.logText();
    ASSERT_TRUE(r.channelUp());
    BinderDir empty;
    EXPECT_EQ(runTool({"ping"}, "").status, 1) << "no services directory";
    EXPECT_EQ(runTool({"frobnicate"}, r.dir.path).status, 1);
    EXPECT_EQ(runTool({"ping"}, empty.path).status, 2) << "no service";
    ToolResult ping = runTool({"ping"}, r.dir.path);
    EXPECT_EQ(ping.status, 0);
    EXPECT_NE(ping.out.find("interface \"ril.at\""), std::string::npos) << ping.out;
    EXPECT_EQ(runTool({"send", "AT+CSQ\rATD118;"}, r.dir.path).status, 4);
    ToolResult test = runTool({"test", "2"}, r.dir.path);
    EXPECT_EQ(test.status, 0) << test.out;
    EXPECT_NE(test.out.find("callback 1: token \"nrt.callback\", counter 0, text \"This is a string.\""),
              std::string::npos)
        << test.out;
    EXPECT_NE(test.out.find("callback 2: token \"nrt.callback\", counter 1, text \"This is a string.\""),
              std::string::npos)
        << test.out;
    size_t from = r.module.commands().size();
    EXPECT_EQ(runTool({"send", "AT+CGMR"}, r.dir.path).status, 0);
    EXPECT_TRUE(r.module.waitForCommand("AT+CGMR", 30s, from));
    EXPECT_FALSE(r.moduleHeard("ATD118"));
    EXPECT_EQ(runTool({"exit"}, r.dir.path).status, 0);
    EXPECT_EQ(r.d.waitExit(30s), 0);
}

TEST(AtServiceE2E, PluginRecordsModuleEventsInOrder) {
    // WCDMA: the SIM-ready sequence (2), the operator answer (4), a module
    // reset after five consecutive time-outs (7)
    Rig r("wcdma6290", 20, false, /*plugin=*/true);
    ASSERT_TRUE(riltest::waitUntil([&] { return r.d.property("gsm.sim.state") == "READY"; }, 60s))
        << r.d.logText();
    json op = r.d.waitResponse(r.d.request("OPERATOR"), 60s);
    ASSERT_EQ(op.value("error", -1), 0) << op.dump();
    r.module.setMute(true);
    auto events = [&] {
        std::vector<std::string> lines;
        std::string text = riltest::readFile(r.d.pluginRecord());
        size_t p = 0;
        while (p < text.size()) {
            size_t e = text.find('\n', p);
            if (e == std::string::npos) break;
            lines.push_back(text.substr(p, e - p));
            p = e + 1;
        }
        return lines;
    };
    ASSERT_TRUE(riltest::waitUntil(
        [&] {
            auto l = events();
            return std::find(l.begin(), l.end(), "EVENT 7 -") != l.end();
        },
        90s))
        << riltest::readFile(r.d.pluginRecord()) << r.d.logText();
    auto l = events();
    auto at = [&](const std::string &e) { return std::find(l.begin(), l.end(), e) - l.begin(); };
    ASSERT_LT(at("EVENT 2 -"), (long)l.size());
    ASSERT_LT(at("EVENT 4 46001"), (long)l.size());
    EXPECT_LT(at("EVENT 2 -"), at("EVENT 4 46001"));
    EXPECT_LT(at("EVENT 4 46001"), at("EVENT 7 -"));
}

}  // namespace
