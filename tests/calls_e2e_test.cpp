// Voice calls end to end: the real host daemon loads the real library, which
// drives the simulated module over its pseudo-terminal; calls are made,
// answered, held, swapped and ended from both sides, with a compressed clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "daemon_harness.h"
#include "temp_root.h"
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

// mild: the call list has a 1 s deadline that must hold on a busy machine
constexpr long kScale = 5;

bool isType(const json &m, const char *type) { return m.is_object() && m.value("type", "") == type; }

struct Family {
    const char *model;
    int readyState;
    bool gsm;  // WCDMA or LTE
};
void PrintTo(const Family &f, std::ostream *os) { *os << f.model; }

const Family kCdma{"cdma", RADIO_STATE_RUIM_READY, false};
const Family kWcdma{"wcdma6290", RADIO_STATE_SIM_READY, true};
const Family kLte{"lte", RADIO_STATE_ON, true};

struct Rig {
    explicit Rig(const Family &f, long scale = kScale) : module(config(f.model)), d(root) {
        DaemonOptions opt;
        opt.timeScale = scale;
        opt.withPlugin = true;
        d.start(opt);
        ready = waitState(f.readyState) &&
                (!f.gsm || riltest::waitUntil([this] { return d.property("gsm.sim.state") == "READY"; }, 30s));
    }
    ModuleConfig config(const std::string &model) {
        ModuleConfig cfg = ModuleConfig::forModel(model, root.path() + "/sysroot");
        cfg.resetGap = 200ms;
        return cfg;
    }
    bool waitState(int want) {
        auto deadline = std::chrono::steady_clock::now() + 30s;
        while (std::chrono::steady_clock::now() < deadline) {
            auto states = [this] { return d.count([](const json &m) { return isType(m, "state"); }); };
            int before = states();
            d.send("state");
            if (!riltest::waitUntil([&] { return states() > before; }, 5s)) return false;
            int last = -1;
            for (const json &m : d.messages())
                if (isType(m, "state")) last = m.value("radio_state", -1);
            if (last == want) return true;
            std::this_thread::sleep_for(20ms);  // polling interval, bounded by the deadline
        }
        return false;
    }
    json response(const std::string &line) { return d.waitResponse(d.request(line), 30s); }
    int error(const std::string &line) { return response(line).value("error", -1); }
    json calls() {
        json r = response("calls");
        EXPECT_EQ(r.value("error", -1), RIL_E_SUCCESS) << r.dump();
        return r.contains("data") ? r["data"] : json();
    }
    static std::vector<std::string> states(const json &list) {
        std::vector<std::string> out;
        if (list.is_array())
            for (const json &c : list) out.push_back(c.value("state", std::string("?")));
        return out;
    }
    // asks for the call list until its states are want (deadline 20 s)
    bool waitCalls(const std::vector<std::string> &want) {
        return riltest::waitUntil([&] { return states(calls()) == want; }, 20s);
    }
    size_t mark() { return d.messages().size(); }
    bool waitCallState(size_t from) {
        return riltest::waitUntil(
            [&] {
                auto msgs = d.messages();
                for (size_t i = from; i < msgs.size(); i++)
                    if (isType(msgs[i], "unsol") && msgs[i].value("code", 0) == RIL_UNSOL_RESPONSE_CALL_STATE_CHANGED)
                        return true;
                return false;
            },
            20s);
    }
    int commandsLike(const std::string &prefix) {
        auto cmds = module.commands();
        return (int)std::count_if(cmds.begin(), cmds.end(),
                                  [&](const std::string &c) { return c.compare(0, prefix.size(), prefix) == 0; });
    }

    TempRoot root;
    SimulatedModule module;
    DaemonHarness d;  // declared last: the daemon ends before the module leaves
    bool ready = false;
};

class Calls : public ::testing::TestWithParam<Family> {};

TEST_P(Calls, OutgoingIncomingAndFarEnd) {
    const Family &f = GetParam();
    Rig r(f);
    ASSERT_TRUE(r.ready) << r.d.logText();
    EXPECT_TRUE(r.calls().is_null()) << "an idle module lists no call";

    // outgoing: dialled, then ACTIVE once the far end answers
    size_t m = r.mark();
    EXPECT_EQ(r.error("dial 10086"), RIL_E_SUCCESS);
    EXPECT_TRUE(r.waitCallState(m));
    ASSERT_TRUE(r.waitCalls({"ACTIVE"})) << r.d.logText();
    json call = r.calls()[0];
    EXPECT_EQ(call.value("number", ""), "10086");
    EXPECT_EQ(call.value("isMT", -1), 0);
    EXPECT_EQ(call.value("index", -1), 1);
    // CDMA completes a hang-up with an error whatever the module says
    EXPECT_EQ(r.error("hangup 1"), f.gsm ? RIL_E_SUCCESS : RIL_E_GENERIC_FAILURE);
    EXPECT_TRUE(r.waitCalls({}));

    // incoming, answered, ended by the far end
    m = r.mark();
    EXPECT_EQ(r.module.control("call 10010"), "OK");
    EXPECT_TRUE(r.waitCallState(m));
    ASSERT_TRUE(r.waitCalls({"INCOMING"}));
    EXPECT_EQ(r.calls()[0].value("isMT", -1), 1);
    EXPECT_EQ(r.error("answer"), RIL_E_SUCCESS);
    ASSERT_TRUE(r.waitCalls({"ACTIVE"}));
    m = r.mark();
    EXPECT_EQ(r.module.control("hangup"), "OK");
    EXPECT_TRUE(r.waitCallState(m));
    EXPECT_TRUE(r.waitCalls({}));

    // incoming, rejected
    EXPECT_EQ(r.module.control("call 10011"), "OK");
    ASSERT_TRUE(r.waitCalls({"INCOMING"}));
    EXPECT_EQ(r.error(f.gsm ? "UDUB" : "HANGUP_WAITING_OR_BACKGROUND"), RIL_E_SUCCESS);
    EXPECT_TRUE(r.waitCalls({}));
    EXPECT_EQ(r.commandsLike(f.gsm ? "ATH" : "AT+CHV"), f.gsm ? 1 : 2);

    // the plug-in heard the call start, connects and (WCDMA/LTE) rings and ends
    std::string events = riltest::readFile(r.d.pluginRecord());
    EXPECT_NE(events.find("EVENT 0 -"), std::string::npos) << events;
    EXPECT_NE(events.find("EVENT 1 -"), std::string::npos) << events;
    if (f.gsm) {
        EXPECT_NE(events.find("EVENT 3 -"), std::string::npos) << events;
        EXPECT_NE(events.find("EVENT 5 -"), std::string::npos) << events;
    }
}

TEST_P(Calls, HostileStringsCompleteOnceAndReachNothing) {
    const Family &f = GetParam();
    Rig r(f);
    ASSERT_TRUE(r.ready) << r.d.logText();
    const char *dials[] = {"\"10086;+CFUN=0\"", "\"10086\\r+CFUN=0\"", "\"10086\\nATH\"", "\"1\\x1a\"",
                           "\"\"", "null", "\"10086\\\"\""};
    for (const char *dial : dials) EXPECT_EQ(r.error(std::string("dial ") + dial), RIL_E_GENERIC_FAILURE) << dial;
    for (const char *tone : {"\"1;+CFUN=0\"", "\"1\\r\"", "null", "\"\""}) {
        EXPECT_EQ(r.error(std::string(f.gsm ? "DTMF_START " : "DTMF ") + tone), RIL_E_GENERIC_FAILURE) << tone;
        EXPECT_EQ(r.error(std::string("CDMA_BURST_DTMF ") + tone + " 100 100"), RIL_E_GENERIC_FAILURE) << tone;
    }
    if (f.gsm) {
        EXPECT_EQ(r.error("SET_CALL_FORWARD 3 0 1 129 \"123,,,0;+CFUN=0\""), RIL_E_GENERIC_FAILURE);
        EXPECT_EQ(r.error("SET_CALL_FORWARD 3 0 1 129 \"123\\r\""), RIL_E_GENERIC_FAILURE);
        // disabling without a number: an empty field, never "(null)"
        EXPECT_EQ(r.error("SET_CALL_FORWARD 0 0 1 129"), RIL_E_SUCCESS);
        EXPECT_TRUE(r.module.waitForCommand("AT+CCFC=0,0,,129,1,,,30", 5s));
    }
    // every request completed exactly once
    EXPECT_EQ(r.d.count([](const json &m) { return isType(m, "error"); }), 0);
    for (const std::string &c : r.module.commands()) {
        EXPECT_EQ(c.find("CFUN=0"), std::string::npos) << c;
        EXPECT_EQ(c.find("(null)"), std::string::npos) << c;
        EXPECT_EQ(c.find("ATD"), std::string::npos) << c;
        EXPECT_EQ(c.find("+CDV"), std::string::npos) << c;
    }
    EXPECT_EQ(r.module.state().cfun, 1);
}

INSTANTIATE_TEST_SUITE_P(Families, Calls, ::testing::Values(kCdma, kWcdma, kLte),
                         [](const auto &i) { return std::string(i.param.model) == "wcdma6290" ? std::string("wcdma")
                                                                                                : std::string(i.param.model); });

class GsmCalls : public ::testing::TestWithParam<Family> {};

TEST_P(GsmCalls, WaitingCallHeldAndSwapped) {
    Rig r(GetParam());
    ASSERT_TRUE(r.ready) << r.d.logText();
    EXPECT_EQ(r.error("dial 111"), RIL_E_SUCCESS);
    ASSERT_TRUE(r.waitCalls({"ACTIVE"}));
    size_t m = r.mark();
    EXPECT_EQ(r.module.control("call 222"), "OK");
    EXPECT_TRUE(r.waitCallState(m)) << "+CCWA is a call line";
    ASSERT_TRUE(r.waitCalls({"ACTIVE", "WAITING"}));
    // take the waiting call, the first goes on hold
    EXPECT_EQ(r.error("SWITCH_WAITING_OR_HOLDING_AND_ACTIVE"), RIL_E_SUCCESS);
    ASSERT_TRUE(r.waitCalls({"HOLDING", "ACTIVE"}));
    // and back
    EXPECT_EQ(r.error("SWITCH_WAITING_OR_HOLDING_AND_ACTIVE"), RIL_E_SUCCESS);
    ASSERT_TRUE(r.waitCalls({"ACTIVE", "HOLDING"}));
    EXPECT_EQ(r.error("CONFERENCE"), RIL_E_SUCCESS);
    ASSERT_TRUE(r.waitCalls({"ACTIVE", "ACTIVE"}));
    EXPECT_EQ(r.calls()[0].value("isMpty", 0), 1);
    // hang up one of two: "AT+CHLD=1x"
    EXPECT_EQ(r.error("hangup 2"), RIL_E_SUCCESS);
    ASSERT_TRUE(r.waitCalls({"ACTIVE"}));
    EXPECT_EQ(r.commandsLike("AT+CHLD=12"), 1);
    EXPECT_EQ(r.module.control("hangup"), "OK");
    EXPECT_TRUE(r.waitCalls({}));
}

TEST_P(GsmCalls, NetworkEndWithStatus29RedialsAndAnIdleOneDoesNot) {
    // the end must arrive while the dial waits its second: a slower clock
    // and a module that drops at once leave it ample room
    Rig r(GetParam(), 2);
    ASSERT_TRUE(r.ready) << r.d.logText();
    EXPECT_EQ(r.module.control("call timing 1 1 1"), "OK");
    EXPECT_EQ(r.module.control("call next drop 29"), "OK");
    EXPECT_EQ(r.error("dial 10086"), RIL_E_SUCCESS);
    EXPECT_EQ(r.commandsLike("ATD10086;"), 2) << "one redial";
    ASSERT_TRUE(r.waitCalls({"ACTIVE"}));
    EXPECT_EQ(r.module.control("hangup"), "OK");
    EXPECT_TRUE(r.waitCalls({}));
    // a status-29 end that no dial waits for, long before the next dial
    // the plug-in's call-end event is raised after the line set the redial mark
    auto ends = [&] {
        std::string events = riltest::readFile(r.d.pluginRecord());
        size_t n = 0;
        for (size_t at = events.find("EVENT 3 "); at != std::string::npos; at = events.find("EVENT 3 ", at + 1)) n++;
        return n;
    };
    ASSERT_TRUE(riltest::waitUntil([&] { return ends() >= 2; }, 10s)) << "the drop and the far-end end";
    size_t endsBefore = ends();
    EXPECT_EQ(r.module.control("inject ^CEND:3,7,29,16"), "OK");
    EXPECT_TRUE(riltest::waitUntil([&] { return ends() > endsBefore; }, 10s));
    EXPECT_EQ(r.error("dial 10087"), RIL_E_SUCCESS);
    EXPECT_EQ(r.commandsLike("ATD10087;"), 1) << "dialled once";
    ASSERT_TRUE(r.waitCalls({"ACTIVE"}));
}

TEST_P(GsmCalls, SupplementaryServicesThroughTheModule) {
    Rig r(GetParam());
    ASSERT_TRUE(r.ready) << r.d.logText();
    EXPECT_EQ(r.error("SET_CLIR 1"), RIL_E_SUCCESS);
    EXPECT_EQ(r.response("GET_CLIR")["data"], json({1, 4}));
    EXPECT_EQ(r.error("SET_CALL_FORWARD 3 2 1 145 \"+8613800000000\""), RIL_E_SUCCESS);
    json fwd = r.response("QUERY_CALL_FORWARD_STATUS 2 2 1")["data"];
    ASSERT_TRUE(fwd.is_array()) << fwd.dump();
    ASSERT_EQ(fwd.size(), 1u);
    EXPECT_EQ(fwd[0].value("status", -1), 1);
    EXPECT_EQ(fwd[0].value("number", ""), "+8613800000000");
    EXPECT_EQ(fwd[0].value("toa", -1), 145);
    EXPECT_EQ(r.error("SET_CALL_FORWARD 0 2 1 129"), RIL_E_SUCCESS);
    EXPECT_EQ(r.response("QUERY_CALL_FORWARD_STATUS 2 2 1")["data"][0].value("status", -1), 0);
    // waiting off and on again: the query follows
    EXPECT_EQ(r.error("SET_CALL_WAITING 0 1"), RIL_E_SUCCESS);
    EXPECT_EQ(r.response("QUERY_CALL_WAITING 1")["data"], json({0, 1}));
    EXPECT_EQ(r.error("SET_CALL_WAITING 1 1"), RIL_E_SUCCESS);
    EXPECT_EQ(r.response("QUERY_CALL_WAITING 1")["data"], json({1, 1}));
    // a USSD report inside the answer ends the query as a failure; the "OK"
    // after it belongs to no command, and the next request gets its own answer
    EXPECT_EQ(r.module.control("call cusd Balance 5"), "OK");
    EXPECT_EQ(r.error("QUERY_CALL_WAITING 1"), RIL_E_GENERIC_FAILURE);
    // (the channel cannot tell a stray "OK" read after the next command was
    // written from that command's answer: let the reader take it first)
    EXPECT_TRUE(riltest::waitUntil(
        [&] {
            std::string log = r.d.logText();
            size_t cusd = log.find("AT< +CUSD: 0,\"Balance 5\",15");
            return cusd != std::string::npos && log.find("AT< OK", cusd) != std::string::npos;
        },
        5s));
    EXPECT_EQ(r.response("GET_CLIR")["data"], json({1, 4}));
    // the failed query left call waiting on: a waiting call is listed
    EXPECT_EQ(r.error("dial 111"), RIL_E_SUCCESS);
    ASSERT_TRUE(r.waitCalls({"ACTIVE"}));
    EXPECT_EQ(r.module.control("call 222"), "OK");
    ASSERT_TRUE(r.waitCalls({"ACTIVE", "WAITING"}));
    EXPECT_EQ(r.error("HANGUP_WAITING_OR_BACKGROUND"), RIL_E_SUCCESS);
    ASSERT_TRUE(r.waitCalls({"ACTIVE"}));
    EXPECT_EQ(r.error("hangup 1"), RIL_E_SUCCESS);
    EXPECT_TRUE(r.waitCalls({}));
}

INSTANTIATE_TEST_SUITE_P(Families, GsmCalls, ::testing::Values(kWcdma, kLte),
                         [](const auto &i) { return std::string(i.param.model) == "wcdma6290" ? std::string("wcdma")
                                                                                                : std::string(i.param.model); });

TEST(CdmaCall, ACallPausesTheSignalPollAndItsEndResumesIt) {
    Rig r(kCdma);
    ASSERT_TRUE(r.ready) << r.d.logText();
    auto signalQueries = [&] { return r.commandsLike("AT+RSSI"); };
    // the poll runs every 10 s / kScale
    const auto period = std::chrono::milliseconds(10000 / kScale);
    int before = signalQueries();
    ASSERT_TRUE(riltest::waitUntil([&] { return signalQueries() > before; }, 3 * period)) << "the poll runs";
    EXPECT_EQ(r.error("dial 10086"), RIL_E_SUCCESS);
    ASSERT_TRUE(r.waitCalls({"ACTIVE"}));
    // three periods with the call up: the poll may finish the round it was in, then stays quiet
    int inCall = signalQueries();
    auto until = std::chrono::steady_clock::now() + 3 * period;
    bool moved = false;
    // watched over the window (the quiet is what is measured)
    while (std::chrono::steady_clock::now() < until && !moved) {
        if (signalQueries() > inCall + 1) moved = true;
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_FALSE(moved) << "no signal polling during the call";
    EXPECT_EQ(r.module.control("hangup"), "OK");
    EXPECT_TRUE(r.waitCalls({}));
    int after = signalQueries();
    EXPECT_TRUE(riltest::waitUntil([&] { return signalQueries() > after; }, 3 * period)) << "the poll resumes";
}

}  // namespace
