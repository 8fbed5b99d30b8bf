// USSD and SIM toolkit end to end: the real host daemon loads the real
// library, which drives the simulated module; the module's network answers in
// every coding it knows and the console decodes the 1006 report. The
// module's own encoders are first checked against gammu and hand-checked
// vectors, so that the end-to-end texts rest on an independent packing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "daemon_harness.h"
#include "dialect.h"
#include "gammu_oracle.h"
#include "ril_interface.h"
#include "simulated_module.h"
#include "temp_root.h"
#include "ussd_dialect.h"

using modemsim::ModuleConfig;
using modemsim::SimulatedModule;
using nlohmann::json;
using riltest::DaemonHarness;
using riltest::DaemonOptions;
using riltest::TempRoot;
using namespace std::chrono_literals;

namespace {

// the 8-second answer time-out takes 8 s / 20 = 0.4 s
constexpr long kScale = 20;

bool isType(const json &m, const char *type) { return m.is_object() && m.value("type", "") == type; }
bool isUssd(const json &m) { return isType(m, "unsol") && m.value("code", 0) == RIL_UNSOL_ON_USSD; }

/* ---------------- the simulated module's side ---------------- */

modemsim::ModuleState fresh(const std::string &model) {
    modemsim::ModuleState s;
    EXPECT_TRUE(modemsim::defaultState(model, &s));
    return s;
}

std::vector<std::string> ask(modemsim::ModuleState &s, const std::string &cmd, modemsim::Effects *fx) {
    return modemsim::answerCommand(s, cmd, {"OK"}, fx);
}

}  // namespace

TEST(UssdModemSim, PacksTheDefaultAlphabetAsGammuDoesAndFillsWithCr) {
    // hand-checked: "Hello" packs to C8 32 9B FD 06; seven characters leave
    // seven free bits, which the network fills with CR (0x0D << 1)
    EXPECT_EQ(modemsim::packGsm7Hex("Hello"), "C8329BFD06");
    EXPECT_EQ(modemsim::packGsm7Hex("1234567"), "31D98C56B3DD1A");
    EXPECT_EQ(modemsim::packGsm7Hex("12345678"), "31D98C56B3DD70");
    EXPECT_EQ(modemsim::ucs2Hex("\xe4\xbd\xa0\xe5\xa5\xbd A"), "4F60597D00200041");
    const std::vector<std::string> texts = {"Your balance is 10.00 EUR", "@$_ ok", "Menu:\r\n1 Balance",
                                            std::string(100, 'x')};
    std::vector<std::string> args = {"encode7"};
    for (const auto &t : texts) args.push_back(riltest::utf8Hex(t));
    auto lines = riltest::gammuOracle(args);
    ASSERT_EQ(lines.size(), texts.size());
    for (size_t i = 0; i < texts.size(); i++) {
        auto j = json::parse(lines[i]);
        ASSERT_NE(j["udl"].get<int>() % 8, 7) << "gammu fills with zero bits there";
        EXPECT_EQ(modemsim::packGsm7Hex(texts[i]), j["ud"].get<std::string>()) << texts[i];
    }
}

TEST(UssdModemSim, AnswersEachScriptedKindAndEndsTheSessionOnCancel) {
    using modemsim::UssdAnswer;
    struct {
        UssdAnswer answer;
        const char *text;
        std::vector<std::string> lines;
        bool session;
    } cases[] = {
        {UssdAnswer::Gsm7, "Hello", {"+CUSD: 0,\"C8329BFD06\",15"}, false},
        {UssdAnswer::Gsm7Dcs0, "Hello", {"+CUSD: 0,\"C8329BFD06\",0"}, false},
        {UssdAnswer::Ucs2, "\xe4\xbd\xa0\xe5\xa5\xbd", {"+CUSD: 0,\"4F60597D\",72"}, false},
        {UssdAnswer::Plain, "Your balance", {"+CUSD: 0,\"Your balance\",15"}, false},
        {UssdAnswer::Lines, "Choose:|1 A|2 B", {"+CUSD: 1,\"Choose:\r\n1 A\r\n2 B\",15"}, true},
        {UssdAnswer::Type2, "x", {"+CUSD: 2"}, false},
        {UssdAnswer::Type4, "x", {"+CUSD: 4"}, false},
        {UssdAnswer::None, "x", {}, false},
    };
    for (const auto &c : cases) {
        auto s = fresh("lte");
        s.ussd.answer = c.answer;
        s.ussd.text = c.text;
        modemsim::Effects fx;
        EXPECT_EQ(ask(s, "AT+CUSD=1,\"*100#\",15", &fx), std::vector<std::string>{"OK"});
        EXPECT_EQ(fx.unsolicited, c.lines) << c.text;
        EXPECT_EQ(s.ussd.session, c.session);
        EXPECT_EQ(s.ussd.requests, std::vector<std::string>{"*100#"});
        modemsim::Effects fx2;
        EXPECT_EQ(ask(s, "AT+CUSD=2", &fx2), std::vector<std::string>{"OK"});
        EXPECT_FALSE(s.ussd.session);
        EXPECT_EQ(s.ussd.cancels, 1);
        EXPECT_TRUE(fx2.unsolicited.empty());
    }
    // without service the network is not reached
    auto s = fresh("wcdma6290");
    s.radioOn = false;
    modemsim::Effects fx;
    EXPECT_EQ(ask(s, "AT+CUSD=1,\"*100#\",15", &fx), std::vector<std::string>{"+CME ERROR: 30"});
    EXPECT_TRUE(fx.unsolicited.empty());
}

TEST(UssdModemSim, ToolkitCommandsAreLoggedAndAnsweredOkOrErrorOnDemand) {
    TempRoot root;
    SimulatedModule m(ModuleConfig::forModel("lte", root.path() + "/sysroot"));
    modemsim::ModuleState s = m.state();
    modemsim::Effects fx;
    EXPECT_EQ(ask(s, "AT^STGR=0,\"D3\"", &fx), std::vector<std::string>{"OK"});
    s.ussd.stkError = true;
    EXPECT_EQ(ask(s, "AT^CSTC=1", &fx), std::vector<std::string>{"ERROR"});
    EXPECT_EQ(s.ussd.stkLog, (std::vector<std::string>{"AT^STGR=0,\"D3\" -> OK", "AT^CSTC=1 -> ERROR"}));
    // the same through the control words
    EXPECT_EQ(m.control("stk error"), "OK");
    EXPECT_TRUE(m.state().ussd.stkError);
    EXPECT_EQ(m.control("stk ok"), "OK");
    EXPECT_EQ(m.control("ussd answer lines \"A|B\""), "OK");
    EXPECT_EQ(m.state().ussd.text, "A|B");
    EXPECT_EQ(m.state().ussd.answer, modemsim::UssdAnswer::Lines);
    EXPECT_EQ(m.control("ussd answer bogus").rfind("ERROR", 0), 0u);
    EXPECT_EQ(m.control("stk log"), "OK");
    EXPECT_EQ(m.control("ussd state").rfind("answer lines text \"A|B\" session closed", 0), 0u);
    EXPECT_NE(m.control("help").find("ussd answer"), std::string::npos);
}

/* ---------------- through the daemon ---------------- */

namespace {

struct Rig {
    explicit Rig(const std::string &model) : module(config(model)), d(root) {
        DaemonOptions opt;
        opt.timeScale = kScale;
        d.start(opt);
    }
    ModuleConfig config(const std::string &model) {
        ModuleConfig cfg = ModuleConfig::forModel(model, root.path() + "/sysroot");
        cfg.resetGap = 200ms;
        return cfg;
    }
    // the family's SIM-ready steps have run: requests reach their handlers
    bool waitReady() {
        if (d.waitFor([](const json &m) { return isType(m, "init"); }, 20s).is_null()) return false;
        return riltest::waitUntil(
            [&] {
                return d.property("gsm.sim.state") == "READY" ||
                       d.logText().find("setRadioState(RADIO_STATE_RUIM_READY)") != std::string::npos;
            },
            30s);
    }
    size_t mark() { return d.messages().size(); }
    // the messages at or after from that match pred, once there are n of them
    std::vector<json> after(size_t from, const std::function<bool(const json &)> &pred, size_t n = 1,
                            std::chrono::milliseconds timeout = 15s) {
        std::vector<json> out;
        riltest::waitUntil(
            [&] {
                out.clear();
                auto msgs = d.messages();
                for (size_t i = from; i < msgs.size(); i++)
                    if (pred(msgs[i])) out.push_back(msgs[i]);
                return out.size() >= n;
            },
            timeout);
        return out;
    }
    json ask(const std::string &request, int wantError = RIL_E_SUCCESS) {
        json r = d.waitResponse(d.request(request), 20s);
        EXPECT_EQ(r.value("error", -1), wantError) << request << ": " << r.dump();
        return r;
    }
    size_t logCount(const std::string &needle) {
        std::string log = d.logText();
        size_t n = 0;
        for (size_t at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1)) n++;
        return n;
    }
    size_t commandsLike(const std::string &needle) {
        size_t n = 0;
        for (const std::string &c : module.commands()) n += c.find(needle) != std::string::npos;
        return n;
    }

    TempRoot root;
    SimulatedModule module;
    DaemonHarness d;  // declared last: the daemon ends before the module leaves
};

struct AnswerCase {
    const char *kind;
    const char *text;
    const char *type;
    json want;  // the decoded text (null: none)
};

class UssdEndToEnd : public ::testing::TestWithParam<const char *> {};

}  // namespace

TEST_P(UssdEndToEnd, EachNetworkAnswerArrivesDecodedAndTheTimeoutOnlyWhenNoneCame) {
    Rig r(GetParam());
    ASSERT_TRUE(r.waitReady()) << r.d.logText();
    const std::string balance = "Your balance is 10.00 EUR";
    const AnswerCase cases[] = {
        {"gsm7dcs0", balance.c_str(), "0", balance},
        // coding scheme 15 is passed on as the network's hex
        {"gsm7", "Hello", "0", "C8329BFD06"},
        {"ucs2", "\xe4\xbd\xa0\xe5\xa5\xbd", "0", "4F60597D"},
        {"plain", "Bundle activated", "0", "Bundle activated"},
        {"lines", "Choose:|1 Balance|2 Bundles", "1", "Choose:\r\n1 Balance\r\n2 Bundles"},
        {"type2", "x", "2", ""},
        {"type4", "x", "4", ""},
    };
    for (const AnswerCase &c : cases) {
        ASSERT_EQ(r.module.control(std::string("ussd answer ") + c.kind + " \"" + c.text + "\""), "OK");
        size_t mark = r.mark();
        size_t answered = r.logCount("USSD time-out: answered");
        r.ask("ussd *100#");
        auto got = r.after(mark, isUssd);
        ASSERT_EQ(got.size(), 1u) << c.kind << "\n" << r.d.logText();
        EXPECT_EQ(got[0]["data"]["type"], c.type) << c.kind;
        EXPECT_EQ(got[0]["data"]["text"], c.want) << c.kind;
        // the answer disarmed the time-out: it ran and reported nothing
        ASSERT_TRUE(riltest::waitUntil([&] { return r.logCount("USSD time-out: answered") > answered; }, 15s))
            << c.kind;
        EXPECT_EQ(r.after(mark, isUssd, 2, 0ms).size(), 1u) << c.kind;
    }
    EXPECT_EQ(r.commandsLike("AT+CUSD=1,\"*100#\",15"), sizeof(cases) / sizeof(cases[0]));

    // no answer: the time-out reports type 4 with an empty text
    ASSERT_EQ(r.module.control("ussd answer none"), "OK");
    size_t mark = r.mark();
    r.ask("ussd *101#");
    auto got = r.after(mark, isUssd);
    ASSERT_EQ(got.size(), 1u) << r.d.logText();
    EXPECT_EQ(got[0]["data"], (json{{"type", "4"}, {"meaning", "operation not supported"}, {"text", ""}}));
    EXPECT_EQ(r.logCount("USSD time-out: no answer"), 1u);

    // a menu leaves the dialogue open; CANCEL_USSD ends it on the module
    ASSERT_EQ(r.module.control("ussd answer lines \"Menu|1 More\""), "OK");
    r.ask("ussd *102#");
    ASSERT_TRUE(riltest::waitUntil([&] { return r.module.state().ussd.session; }, 10s));
    r.ask("RIL_REQUEST_CANCEL_USSD");
    EXPECT_FALSE(r.module.state().ussd.session);
    EXPECT_EQ(r.module.state().ussd.cancels, 1);
}

TEST_P(UssdEndToEnd, HostileStringsAreRefusedWithNothingSentAndToolkitCommandsReachTheModule) {
    Rig r(GetParam());
    ASSERT_TRUE(r.waitReady()) << r.d.logText();
    size_t mark = r.mark();
    const std::vector<std::string> hostile = {"ussd \"*100#\\\"\\r\\nATD112;\"", "ussd \"*100#\\x1a\"",
                                              "ussd \"*100#\\\",15;+CFUN=0\"", "ussd \"\"", "ussd null",
                                              "ussd " + std::string(183, '1')};
    for (const std::string &h : hostile) r.ask(h, RIL_E_GENERIC_FAILURE);
    const char *hostileStk[] = {"RIL_REQUEST_STK_SEND_ENVELOPE_COMMAND \"D3\\\"\\r\\nATD112;\"",
                                "RIL_REQUEST_STK_SEND_TERMINAL_RESPONSE \"810\"",
                                "RIL_REQUEST_STK_SEND_TERMINAL_RESPONSE \"81;AT\"",
                                "RIL_REQUEST_STK_SEND_ENVELOPE_COMMAND null"};
    for (const char *h : hostileStk) r.ask(h, RIL_E_GENERIC_FAILURE);
    EXPECT_EQ(r.commandsLike("CUSD=1,"), 0u);
    EXPECT_EQ(r.commandsLike("STGR"), 0u);
    EXPECT_EQ(r.commandsLike("ATD112"), 0u);

    // the toolkit: envelope upper-cased, terminal response as given, the
    // call set-up answer succeeds whatever the module says
    r.ask("RIL_REQUEST_STK_SEND_ENVELOPE_COMMAND d30782020181900101");
    r.ask("RIL_REQUEST_STK_SEND_TERMINAL_RESPONSE 810301250082028281830100");
    ASSERT_EQ(r.module.control("stk error"), "OK");
    r.ask("RIL_REQUEST_STK_SEND_TERMINAL_RESPONSE 8103012500", RIL_E_GENERIC_FAILURE);
    r.ask("RIL_REQUEST_STK_HANDLE_CALL_SETUP_REQUESTED_FROM_SIM 1");
    r.ask("RIL_REQUEST_STK_SEND_ENVELOPE_WITH_STATUS D3", RIL_E_GENERIC_FAILURE);
    EXPECT_EQ(r.module.state().ussd.stkLog,
              (std::vector<std::string>{"AT^STGR=0,\"D30782020181900101\" -> OK",
                                        "AT^STGR=1,\"810301250082028281830100\" -> OK",
                                        "AT^STGR=1,\"8103012500\" -> ERROR", "AT^CSTC=1 -> ERROR"}));
    // nothing of the refused requests produced a report either
    EXPECT_TRUE(r.after(mark, isUssd, 1, 0ms).empty());
    EXPECT_TRUE(r.d.running());
}

INSTANTIATE_TEST_SUITE_P(Families, UssdEndToEnd, ::testing::Values("wcdma6290", "lte"),
                         [](const auto &info) { return std::string(info.param[0] == 'w' ? "wcdma" : "lte"); });

TEST(UssdCdmaEndToEnd, SendIsNotSupportedAndAPlainOkCancelsSuccessfully) {
    Rig r("cdma");
    ASSERT_TRUE(r.waitReady()) << r.d.logText();
    size_t before = r.commandsLike("CUSD");
    r.ask("ussd *100#", RIL_E_REQUEST_NOT_SUPPORTED);
    EXPECT_EQ(r.commandsLike("CUSD"), before);
    json cancel = r.ask("RIL_REQUEST_CANCEL_USSD");
    EXPECT_TRUE(cancel["data"].is_null());
    EXPECT_EQ(r.commandsLike("AT+CUSD=2"), 1u);
    r.ask("RIL_REQUEST_STK_SEND_ENVELOPE_COMMAND D3", RIL_E_REQUEST_NOT_SUPPORTED);
    EXPECT_EQ(r.commandsLike("STGR"), 0u);
}
