// The simulated module's calls: V.250 command lines, the call table through
// "+CHLD", the family's call lines, the supplementary services and the
// network side, on the dialect engine (no I/O) and through the control
// language of a running module.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "at_client.h"
#include "call_dialect.h"
#include "dialect.h"
#include "simulated_module.h"
#include "temp_root.h"

using namespace modemsim;
using Lines = std::vector<std::string>;
using namespace std::chrono_literals;

namespace {

ModuleState fresh(const std::string &model) {
    ModuleState s;
    EXPECT_TRUE(defaultState(model, &s));
    return s;
}

// runs the command and every later step it leaves, collecting all lines sent
Lines ask(ModuleState &s, const std::string &cmd, Lines *unsolicited = nullptr) {
    Effects fx;
    Lines reply = answerCommand(s, cmd, {"OK"}, &fx);
    Lines sent = fx.unsolicited;
    for (std::vector<Later> later = fx.later; !later.empty();) {
        Effects step;
        for (auto &l : later)
            if (l.after < 1000ms) l.run(s, step);  // rings repeat for ever: not followed
        sent.insert(sent.end(), step.unsolicited.begin(), step.unsolicited.end());
        later = step.later;
    }
    if (unsolicited) *unsolicited = sent;
    return reply;
}

Lines network(ModuleState &s, const std::function<void(ModuleState &, Effects *)> &event) {
    Effects fx;
    event(s, &fx);
    return fx.unsolicited;
}

Lines clcc(ModuleState &s) { return ask(s, "AT+CLCC"); }

TEST(CallDialect, CommandLinesSplitAsV250) {
    struct {
        const char *line;
        Lines parts;
    } cases[] = {{"ATD123;+CFUN=0", {"ATD123;", "AT+CFUN=0"}},
                 {"ATD123;H", {"ATD123;", "ATH"}},
                 {"ATD123;+CLCC;+CSQ", {"ATD123;", "AT+CLCC", "AT+CSQ"}},
                 {"ATD123;", {"ATD123;"}},
                 {"ATD*99#", {"ATD*99#"}},
                 {"ATD123", {"ATD123"}},
                 {"AT+CLCC;+CHUP", {"AT+CLCC", "AT+CHUP"}}};
    for (const auto &c : cases) EXPECT_EQ(splitCompound(normalizeCommand(c.line)), c.parts) << c.line;
}

TEST(CallDialect, AnInjectedSecondCommandTakesEffect) {
    ModuleState s = fresh("wcdma6290");
    EXPECT_EQ(ask(s, "ATD10086;+CFUN=0"), Lines({"OK"}));
    EXPECT_EQ(s.cfun, 0) << "the command after the dial string ran";
    EXPECT_EQ(s.calls.calls.size(), 1u);
}

TEST(CallDialect, OutgoingCallLinesOfEachFamily) {
    struct {
        const char *model;
        const char *dial;
        Lines lines;
        const char *clcc;
    } cases[] = {{"wcdma6290", "ATD10086;", {"^ORIG:1,0", "^CONF:1", "^CONN:1,0"}, "+CLCC: 1,0,0,0,0,\"10086\",129"},
                 {"lte", "ATD10086;", {"^ORIG:1,0", "^CONF:1", "^CONN:1,0", "^LINKED:1"},
                  "+CLCC: 1,0,0,0,0,\"10086\",129,\"\""},
                 {"lte", "AT+CDV10086;", {"^ORIG:1,0", "^CONF:1", "^CONN:1,0", "^LINKED:1"},
                  "+CLCC: 1,0,0,0,0,\"10086\",129,\"\""},
                 {"cdma", "AT+CDV+8610086I", {"^ORIG:1,0", "^CONN:1,0"}, "+CLCC: 1,0,0,0,0,\"+8610086\",145"}};
    for (const auto &c : cases) {
        ModuleState s = fresh(c.model);
        Lines sent;
        EXPECT_EQ(ask(s, c.dial, &sent), Lines({"OK"})) << c.model;
        EXPECT_EQ(sent, c.lines) << c.model;
        EXPECT_EQ(clcc(s), Lines({c.clcc, "OK"})) << c.model;
    }
}

TEST(CallDialect, BusyNoAnswerAndDroppedDials) {
    ModuleState s = fresh("wcdma6290");
    Lines sent;
    s.calls.nextFate = DialFate::Busy;
    ask(s, "ATD1;", &sent);
    EXPECT_EQ(sent, Lines({"^ORIG:1,0", "^CONF:1", "^CEND:1,0,104,17"}));
    s.calls.nextFate = DialFate::NoAnswer;
    ask(s, "ATD1;", &sent);
    EXPECT_EQ(sent, Lines({"^ORIG:1,0", "^CONF:1", "^CEND:1,0,104,19"}));
    s.calls.nextFate = DialFate::Drop;
    s.calls.dropStatus = 29;
    ask(s, "ATD1;", &sent);
    EXPECT_EQ(sent, Lines({"^ORIG:1,0", "^CEND:1,0,29,16"}));
    EXPECT_EQ(clcc(s), Lines({"OK"}));
    ask(s, "ATD1;", &sent);
    EXPECT_EQ(sent.back(), "^CONN:1,0") << "the fate holds for one dial";
    s.radioOn = false;
    EXPECT_EQ(ask(s, "ATD2;"), Lines({"NO CARRIER"}));
}

TEST(CallDialect, WaitingHoldSwapConferenceAndRelease) {
    ModuleState s = fresh("wcdma6290");
    EXPECT_EQ(network(s, [](ModuleState &st, Effects *fx) { networkCall(st, "111", fx); }),
              Lines({"+CRING: VOICE", "+CLIP: \"111\",129,,,,0"}));
    Lines sent;
    EXPECT_EQ(ask(s, "ATA", &sent), Lines({"OK"}));
    EXPECT_EQ(sent, Lines({"^CONN:1,0"}));
    EXPECT_EQ(network(s, [](ModuleState &st, Effects *fx) { networkCall(st, "+222", fx); }),
              Lines({"+CCWA: \"+222\",145,1"}));
    EXPECT_EQ(clcc(s), Lines({"+CLCC: 1,1,0,0,0,\"111\",129", "+CLCC: 2,1,5,0,0,\"+222\",145", "OK"}));
    // hold the first, take the waiting one
    EXPECT_EQ(ask(s, "AT+CHLD=2", &sent), Lines({"OK"}));
    EXPECT_EQ(sent, Lines({"^CONN:2,0"}));
    EXPECT_EQ(clcc(s), Lines({"+CLCC: 1,1,1,0,0,\"111\",129", "+CLCC: 2,1,0,0,0,\"+222\",145", "OK"}));
    // swap
    EXPECT_EQ(ask(s, "AT+CHLD=2"), Lines({"OK"}));
    EXPECT_EQ(clcc(s), Lines({"+CLCC: 1,1,0,0,0,\"111\",129", "+CLCC: 2,1,1,0,0,\"+222\",145", "OK"}));
    // 2X: call 2 alone active
    EXPECT_EQ(ask(s, "AT+CHLD=22"), Lines({"OK"}));
    EXPECT_EQ(clcc(s), Lines({"+CLCC: 1,1,1,0,0,\"111\",129", "+CLCC: 2,1,0,0,0,\"+222\",145", "OK"}));
    // conference
    EXPECT_EQ(ask(s, "AT+CHLD=3"), Lines({"OK"}));
    EXPECT_EQ(clcc(s), Lines({"+CLCC: 1,1,0,0,1,\"111\",129", "+CLCC: 2,1,0,0,1,\"+222\",145", "OK"}));
    // 1X releases one; the other leaves the conference
    EXPECT_EQ(ask(s, "AT+CHLD=12", &sent), Lines({"OK"}));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].compare(0, 11, "^CEND:2,0,2"), 0) << sent[0];
    EXPECT_EQ(clcc(s), Lines({"+CLCC: 1,1,0,0,0,\"111\",129", "OK"}));
    EXPECT_EQ(ask(s, "AT+CHLD=17"), Lines({"+CME ERROR: 3"})) << "no call 7";
    // a waiting call rejected with CHLD=0
    network(s, [](ModuleState &st, Effects *fx) { networkCall(st, "333", fx); });
    EXPECT_EQ(ask(s, "AT+CHLD=0", &sent), Lines({"OK"}));
    EXPECT_EQ(sent, Lines({"^CEND:2,0,29,21"}));
    // CHLD=1 with a held call resumes it
    network(s, [](ModuleState &st, Effects *fx) { networkCall(st, "444", fx); });
    ask(s, "AT+CHLD=2");
    ask(s, "AT+CHLD=1", &sent);
    EXPECT_EQ(clcc(s), Lines({"+CLCC: 1,1,0,0,0,\"111\",129", "OK"})) << "444 ended, 111 resumed";
    // far end
    EXPECT_EQ(network(s, [](ModuleState &st, Effects *fx) { networkHangup(st, 0, 104, fx); }).size(), 1u);
    EXPECT_EQ(clcc(s), Lines({"OK"}));
}

TEST(CallDialect, WaitingOffRefusesASecondCallAndTheTableHoldsSeven) {
    ModuleState s = fresh("lte");
    EXPECT_EQ(ask(s, "AT+CCWA=,0,1"), Lines({"OK"}));
    network(s, [](ModuleState &st, Effects *fx) { networkCall(st, "111", fx); });
    ask(s, "ATA");
    EXPECT_TRUE(network(s, [](ModuleState &st, Effects *fx) { networkCall(st, "222", fx); }).empty());
    EXPECT_EQ(s.calls.calls.size(), 1u);
    EXPECT_EQ(ask(s, "AT+CCWA=,2, 1"), Lines({"+CCWA: 0,1", "OK"}));
    ask(s, "AT+CCWA=,1,1");
    for (int i = 0; i < 10; i++) {
        network(s, [i](ModuleState &st, Effects *fx) { networkCall(st, std::to_string(500 + i), fx); });
        ask(s, "AT+CHLD=2");
    }
    EXPECT_EQ((int)s.calls.calls.size(), CallTable::kMaxCalls);
    EXPECT_EQ(ask(s, "ATD1;"), Lines({"+CME ERROR: 3"}));
    EXPECT_EQ(ask(s, "ATH"), Lines({"OK"}));
    EXPECT_TRUE(s.calls.calls.empty());
}

TEST(CallDialect, SupplementaryServicesAndAUssdInTheMiddle) {
    ModuleState s = fresh("wcdma6290");
    EXPECT_EQ(ask(s, "AT+CLIR=1"), Lines({"OK"}));
    EXPECT_EQ(ask(s, "AT+CLIR?"), Lines({"+CLIR: 1,4", "OK"}));
    EXPECT_EQ(ask(s, "AT+CLIR=7"), Lines({"+CME ERROR: 3"}));
    EXPECT_EQ(ask(s, "AT+CCFC=0, 2"), Lines({"+CCFC: 0,7", "OK"}));
    EXPECT_EQ(ask(s, "AT+CCFC=0,3,+8613800000000,145,1,,,30"), Lines({"OK"}));
    EXPECT_EQ(ask(s, "AT+CCFC=0, 2"), Lines({"+CCFC: 1,1,\"+8613800000000\",145", "OK"}));
    EXPECT_EQ(ask(s, "AT+CCFC=0,0,,129,1,,,30"), Lines({"OK"}));
    EXPECT_EQ(ask(s, "AT+CCFC=0, 2"), Lines({"+CCFC: 0,7", "OK"}));
    EXPECT_EQ(ask(s, "AT+CCFC=0,1,,129,1,,,30"), Lines({"OK"})) << "the registered number comes back";
    EXPECT_EQ(ask(s, "AT+CCFC=9, 2"), Lines({"+CME ERROR: 3"}));
    s.calls.cusdDuring = "Balance 5";
    EXPECT_EQ(ask(s, "AT+CCWA=,2, 1"), Lines({"+CCWA: 1,1", "+CUSD: 0,\"Balance 5\",15", "OK"}));
    EXPECT_EQ(ask(s, "AT+CCWA=,2, 1"), Lines({"+CCWA: 1,1", "OK"})) << "once";
}

TEST(CallDialect, TonesMuteAndVolume) {
    ModuleState s = fresh("wcdma6290");
    EXPECT_EQ(ask(s, "AT^DTMF=1, 5, 0, 0"), Lines({"OK"}));
    EXPECT_EQ(ask(s, "AT+VTS=#"), Lines({"OK"}));
    EXPECT_EQ(s.calls.tones, Lines({"AT^DTMF=1,5,0,0", "AT+VTS=#"}));
    EXPECT_EQ(ask(s, "AT+CMUT=1"), Lines({"OK"}));
    EXPECT_EQ(ask(s, "AT+CMUT?"), Lines({"+CMUT: 1", "OK"}));
    EXPECT_EQ(ask(s, "AT+CLVL=6"), Lines({"OK"}));
    EXPECT_EQ(ask(s, "AT+CLVL?"), Lines({"+CLVL: 6", "OK"}));
    EXPECT_EQ(ask(s, "AT+CMUT=2"), Lines({"+CME ERROR: 3"}));
}

TEST(CallDialect, CdmaAnswersWithCavAndRingsWithRing) {
    ModuleState s = fresh("cdma");
    EXPECT_EQ(network(s, [](ModuleState &st, Effects *fx) { networkCall(st, "10086", fx); }),
              Lines({"RING", "+CLIP:10086,129,,,,0"}));
    Lines sent;
    EXPECT_EQ(ask(s, "AT^CAV", &sent), Lines({"OK"}));
    EXPECT_EQ(sent, Lines({"^CONN:1,0"}));
    EXPECT_EQ(ask(s, "AT+CHV", &sent), Lines({"OK"}));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].compare(0, 9, "^CEND:1,0"), 0);
}

/* ---- a running module: rings repeat, controls ---- */

TEST(CallModule, IncomingCallRingsUntilAnsweredAndControlsDriveIt) {
    riltest::TempRoot root;
    ModuleConfig cfg = ModuleConfig::forModel("lte", root.path());
    SimulatedModule m(cfg);
    AtClient at(m.atLink());
    EXPECT_EQ(m.control("call timing 5 5 5 50"), "OK");
    EXPECT_EQ(m.control("call 10010"), "OK");
    std::string line;
    int rings = 0;
    for (int i = 0; i < 6 && at.readLine(&line); i++) rings += line == "+CRING: VOICE";
    EXPECT_EQ(rings, 3) << "three rings, each with its +CLIP";
    Lines answered = at.command("ATA");
    ASSERT_FALSE(answered.empty());
    EXPECT_EQ(answered.back(), "OK") << "rings may come before the result";
    EXPECT_EQ(m.control("calls").compare(0, 30, "+CLCC: 1,1,0,0,0,\"10010\",129,\""), 0) << m.control("calls");
    EXPECT_EQ(m.control("hangup 1 104"), "OK");
    EXPECT_EQ(m.control("call next busy"), "OK");
    EXPECT_EQ(m.control("call next sideways").compare(0, 5, "ERROR"), 0);
    EXPECT_EQ(m.control("call timing 1").compare(0, 5, "ERROR"), 0);
    EXPECT_EQ(m.control("call waiting off"), "OK");
    EXPECT_EQ(m.state().calls.waiting, false);
    EXPECT_NE(m.control("help").find("call timing"), std::string::npos);
}

}  // namespace
