// A session with the simulated LTE module is captured from the library's
// own log and replayed: a module answering only from the capture takes the
// library through the same initialization.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "at_client.h"
#include "capture_replay.h"
#include "daemon_harness.h"
#include "dialect.h"
#include "simulated_module.h"

using modemsim::CaptureExchange;
using nlohmann::json;
using riltest::DaemonHarness;
using riltest::DaemonOptions;
using riltest::TempRoot;
using riltest::waitUntil;

namespace {

// the LTE family's cold start, in order, and the line it ends with
const std::vector<std::string> kLteInit = {"ATE0", "AT+CFUN?", "AT+CMEE=1", "at^rptflag=0", "AT+HWINFO",
                                           "AT+CFUN?"};
const char *kLteInitDone = "WDog after>> s_is9615 is 0, s_is9X07 is 0";

// How many commands of seen it takes to contain expected in order (0: not all).
size_t inOrderUpTo(const std::vector<std::string> &seen, const std::vector<std::string> &expected) {
    size_t at = 0;
    for (const auto &e : expected) {
        auto it = std::find(seen.begin() + (long)at, seen.end(), e);
        if (it == seen.end()) return 0;
        at = (size_t)(it - seen.begin()) + 1;
    }
    return at;
}

bool inOrder(const std::vector<std::string> &seen, const std::vector<std::string> &expected) {
    return inOrderUpTo(seen, expected) > 0;
}

std::vector<std::string> commandsOf(const std::vector<CaptureExchange> &c) {
    std::vector<std::string> out;
    for (const auto &e : c) out.push_back(e.command);
    return out;
}

// One session: the module (configured by prepare), the daemon at a time
// scale of 5 (the 1 s answer deadline of "ATE0" stays 200 ms, enough under
// an emulator on a busy machine), until the LTE initialization has run;
// returns the log.
std::string session(const std::function<void(modemsim::SimulatedModule &)> &prepare,
                    std::vector<std::string> *received, const char *done = kLteInitDone) {
    TempRoot root;
    DaemonHarness d{root};
    modemsim::ModuleConfig cfg = modemsim::ModuleConfig::forModel("lte", d.sysroot());
    modemsim::SimulatedModule module(cfg);
    prepare(module);
    DaemonOptions opt;
    opt.timeScale = 5;
    d.start(opt);
    EXPECT_TRUE(waitUntil([&] { return d.logText().find(done) != std::string::npos; },
                          std::chrono::seconds(60)))
        << d.logText();
    EXPECT_TRUE(waitUntil([&] { return inOrder(module.commandsSincePlug(), kLteInit); }, std::chrono::seconds(30)));
    *received = module.commandsSincePlug();
    std::string log = d.logText();
    d.kill();
    return log;
}

TEST(CaptureReplay, ASimulatedSessionReplayedFromItsLogRunsTheSameInitialization) {
    std::vector<std::string> recorded;
    std::string log = session([](modemsim::SimulatedModule &) {}, &recorded);
    std::vector<CaptureExchange> capture = modemsim::parseCapture(log);
    ASSERT_FALSE(capture.empty()) << log;
    EXPECT_TRUE(inOrder(commandsOf(capture), kLteInit));
    // each command's answer ends in the module's final result (but the
    // last command's: the log may have been taken before it arrived)
    for (size_t i = 0; i + 1 < capture.size(); i++) {
        if (capture[i].command == "ATE0") {
            ASSERT_FALSE(capture[i].lines.empty()) << log;
            EXPECT_EQ("OK", capture[i].lines.back());
        }
    }

    std::vector<std::string> replayed;
    std::string replayLog = session([&](modemsim::SimulatedModule &m) { modemsim::replayCapture(m, capture); },
                                    &replayed);
    EXPECT_TRUE(inOrder(replayed, kLteInit));
    // every command of the replayed initialization was answered from the
    // capture (what the library sends after it depends on when each session
    // was stopped)
    std::vector<std::string> captured;
    for (const auto &c : commandsOf(capture)) captured.push_back(modemsim::normalizeCommand(c));
    const size_t initEnd = inOrderUpTo(replayed, kLteInit);
    for (const auto &c : std::vector<std::string>(replayed.begin(), replayed.begin() + (long)initEnd)) {
        EXPECT_NE(captured.end(), std::find(captured.begin(), captured.end(), modemsim::normalizeCommand(c)))
            << c << " is not in the capture\n--- recorded session\n" << log << "\n--- replayed session\n" << replayLog;
    }
}

// A field report: the same session from a module that says it is of the
// 9615 kind (hardware kind 104). Edited into the capture, the replay takes
// the library down that module's path.
TEST(CaptureReplay, AnEditedCaptureDrivesTheLibraryAsTheFieldModuleDid) {
    std::vector<std::string> recorded;
    std::vector<CaptureExchange> capture = modemsim::parseCapture(session([](modemsim::SimulatedModule &) {}, &recorded));
    bool edited = false;
    for (auto &e : capture) {
        if (e.command != "AT+HWINFO") continue;
        for (auto &l : e.lines) {
            if (l.rfind("+HWINFO:", 0) == 0) {
                l = "+HWINFO: 104";
                edited = true;
            }
        }
    }
    ASSERT_TRUE(edited) << "the capture holds no +HWINFO answer";
    std::vector<std::string> replayed;
    session([&](modemsim::SimulatedModule &m) { modemsim::replayCapture(m, capture); }, &replayed,
            "WDog after>> s_is9615 is 1, s_is9X07 is 0");
}

// A log taken while the module was still answering ends with a command
// and a part of its answer: the replay answers that command as it was answered before;
// a command that got no answer in the middle of the capture stays silent.
TEST(CaptureReplay, ALogCutBeforeTheLastAnswerKeepsTheEarlierAnswer) {
    TempRoot root;
    modemsim::SimulatedModule module(modemsim::ModuleConfig::forModel("lte", root.path()));
    std::vector<CaptureExchange> capture = {{"AT+CFUN?", {"+CFUN: 1", "OK"}},
                                            {"AT+CSQ", {}},
                                            {"AT+CSQ", {"+CSQ: 17,99", "OK"}},
                                            {"AT+CGSN", {}},
                                            {"AT+CFUN?", {"+CFUN: 0"}}};
    modemsim::replayCapture(module, capture);
    modemsim::AtClient at(module.atLink());
    ASSERT_TRUE(at.isOpen());
    EXPECT_EQ((std::vector<std::string>{"+CFUN: 1", "OK"}), at.command("AT+CFUN?"));
    EXPECT_EQ((std::vector<std::string>{"+CSQ: 17,99", "OK"}), at.command("AT+CSQ"));
    std::vector<std::string> silent = at.command("AT+CGSN", std::chrono::milliseconds(300));
    EXPECT_TRUE(silent.empty()) << silent.front();
}

TEST(CaptureReplay, ReadsHostAndLogcatLinesAndSkipsTheRest) {
    std::string oversize(10000, 'x');
    std::string log =
        "12-10 11:38:05.828 26922 26972 D AT: AT< +CREG: 1\n"       // before any command: skipped
        "12-10 11:38:05.829 26922 26972 D AT: AT> AT+CSQ\n"
        "12-10 11:38:05.830 26922 26972 D AT: AT< AT+CSQ\r\n"       // the echo
        "12-10 11:38:05.831 26922 26972 D AT: AT< +CSQ: 21,99\n"
        "12-10 11:38:05.832 26922 26972 D RIL: AT< not the AT tag\n"
        "garbage \x01\x02 AT>\n"
        "D/AT      ( 1234): AT< OK\n"
        "D/AT      ( 1234): AT> AT+CGSN\n"
        "D/AT      ( 1234): AT< " + oversize + "\n"
        "12-10 11:38:05.833 26922 26972 D AT: AT< ERR";             // truncated, no newline
    auto c = modemsim::parseCapture(log, 64);
    ASSERT_EQ(2u, c.size());
    EXPECT_EQ("AT+CSQ", c[0].command);
    EXPECT_EQ((std::vector<std::string>{"+CSQ: 21,99", "OK"}), c[0].lines);
    EXPECT_EQ("AT+CGSN", c[1].command);
    ASSERT_EQ(2u, c[1].lines.size());
    EXPECT_EQ(std::string(64, 'x'), c[1].lines[0]);
    EXPECT_EQ("ERR", c[1].lines[1]);
    EXPECT_EQ(1u, modemsim::parseCapture(log, 64, 1).size());
    EXPECT_TRUE(modemsim::parseCapture("").empty());
}

}  // namespace
