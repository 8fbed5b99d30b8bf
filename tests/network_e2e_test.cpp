// Registration and signal end to end: the real host daemon loads the real
// library, which drives the simulated module over its pseudo-terminal. The
// 10-second signal polls run with a compressed clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "daemon_harness.h"
#include "ril_interface.h"
#include "simulated_module.h"
#include "temp_root.h"

using modemsim::ModuleConfig;
using modemsim::SimulatedModule;
using modemsim::Tech;
using nlohmann::json;
using riltest::DaemonHarness;
using riltest::DaemonOptions;
using riltest::TempRoot;
using namespace std::chrono_literals;

namespace {

// the polls run every 10 s / kScale = 0.5 s
constexpr long kScale = 20;
constexpr auto kPollPeriod = std::chrono::milliseconds(10000 / kScale);

bool isType(const json &m, const char *type) { return m.is_object() && m.value("type", "") == type; }
bool isUnsol(const json &m, int code) { return isType(m, "unsol") && m.value("code", 0) == code; }

struct Rig {
    explicit Rig(const std::string &model, long scale = kScale) : module(config(model)), d(root) {
        DaemonOptions opt;
        opt.timeScale = scale;
        d.start(opt);
    }
    ModuleConfig config(const std::string &model) {
        ModuleConfig cfg = ModuleConfig::forModel(model, root.path() + "/sysroot");
        cfg.resetGap = 200ms;
        return cfg;
    }

    // asks the daemon for the radio state until it is want (or the deadline)
    bool waitState(int want, std::chrono::milliseconds timeout = 30s) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
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

    // the family's SIM-ready steps have run to their end (they start the
    // signal polls): the radio capability (1042) is reported only by them, and
    // they end with the SIM status (1019): WCDMA twice after it, LTE once
    bool waitReady(int state) {
        if (!waitState(state)) return false;
        if (module.family() == modemsim::Family::Cdma) return true;
        const int last = module.family() == modemsim::Family::Wcdma ? 2 : 1;
        return riltest::waitUntil(
            [&] {
                int seen = -1;  // 1019s after the first 1042
                for (const json &m : d.messages()) {
                    if (seen < 0 && isUnsol(m, RIL_UNSOL_RADIO_CAPABILITY)) seen = 0;
                    else if (seen >= 0 && isUnsol(m, RIL_UNSOL_RESPONSE_SIM_STATUS_CHANGED)) seen++;
                }
                return seen >= last && d.property("gsm.sim.state") == "READY";
            },
            30s);
    }

    size_t mark() { return d.messages().size(); }

    // index of the first message at or after from matching pred; -1 on deadline
    long find(size_t from, const std::function<bool(const json &)> &pred,
              std::chrono::milliseconds timeout = 10s) {
        long at = -1;
        riltest::waitUntil(
            [&] {
                auto msgs = d.messages();
                for (size_t i = from; i < msgs.size(); i++)
                    if (pred(msgs[i])) {
                        at = (long)i;
                        return true;
                    }
                return false;
            },
            timeout);
        return at;
    }
    // index of the n-th signal report (1-based) at or after from; -1 on deadline
    long nthSignal(size_t from, int n, std::chrono::milliseconds timeout = 10s) {
        long at = (long)from - 1;
        for (int i = 0; i < n && (at >= 0 || i == 0); i++)
            at = find((size_t)(at + 1), [](const json &m) { return isUnsol(m, RIL_UNSOL_SIGNAL_STRENGTH); },
                      timeout);
        return at;
    }
    int countBetween(long from, long to, int code) {
        auto msgs = d.messages();
        int n = 0;
        for (long i = std::max(0L, from); i < to && i < (long)msgs.size(); i++)
            if (isUnsol(msgs[(size_t)i], code)) n++;
        return n;
    }
    json at(long index) { return d.messages().at((size_t)index); }
    json ask(const std::string &request) {
        json r = d.waitResponse(d.request(request), 20s);
        EXPECT_EQ(r.value("error", -1), RIL_E_SUCCESS) << request << ": " << r.dump();
        return r["data"];
    }

    TempRoot root;
    SimulatedModule module;
    // declared last: the daemon ends before the module leaves
    DaemonHarness d;
};

/* ---- the periodic signal reports ---- */

struct PollCase {
    const char *model;
    int readyState;
    json before;  // the record's fields the module's signal 21 gives
    json after;   // ... and signal 5, bit error rate 2
};
// readable, stable test names: the case by its model
void PrintTo(const PollCase &c, std::ostream *os) { *os << c.model; }

class SignalPoll : public ::testing::TestWithParam<PollCase> {};

// every field of want is in got with the same value
::testing::AssertionResult contains(const json &got, const json &want) {
    for (auto it = want.begin(); it != want.end(); ++it) {
        if (!got.contains(it.key())) return ::testing::AssertionFailure() << "no " << it.key() << " in " << got.dump();
        if (it->is_object()) {
            auto r = contains(got[it.key()], *it);
            if (!r) return r;
        } else if (got[it.key()] != *it) {
            return ::testing::AssertionFailure() << it.key() << " is " << got[it.key()].dump() << ", want "
                                                 << it->dump() << " in " << got.dump();
        }
    }
    return ::testing::AssertionSuccess();
}

TEST_P(SignalPoll, ReportsTheModulesSignalEveryTenSeconds) {
    const PollCase &c = GetParam();
    Rig r(c.model);
    ASSERT_TRUE(r.waitReady(c.readyState)) << r.d.logText();
    long first = r.find(0, [&](const json &m) { return isUnsol(m, RIL_UNSOL_SIGNAL_STRENGTH) && contains(m["data"], c.before); });
    ASSERT_GE(first, 0) << r.d.logText();

    size_t mark = r.mark();
    r.module.setSignal(5, 2);
    long changed = r.find(mark, [&](const json &m) {
        return isUnsol(m, RIL_UNSOL_SIGNAL_STRENGTH) && contains(m["data"], c.after);
    });
    ASSERT_GE(changed, 0) << r.d.logText();

    // the poll keeps going at its period: two more reports take two periods
    auto t0 = std::chrono::steady_clock::now();
    long second = r.nthSignal((size_t)changed + 1, 2);
    auto took = std::chrono::steady_clock::now() - t0;
    ASSERT_GE(second, 0);
    EXPECT_GE(took, 2 * kPollPeriod - 100ms);
    EXPECT_TRUE(contains(r.at(second)["data"], c.after));
}

INSTANTIATE_TEST_SUITE_P(
    Families, SignalPoll,
    ::testing::Values(
        // "+RSSI:" 71,71 (signal 21): the CDMA value keeps 71 (Ec/Io 89), the
        // EVDO one too (signal-to-noise 5); signal 5 gives 103,103: CDMA 87
        // (Ec/Io 129), EVDO 94 (signal-to-noise 1)
        PollCase{"cdma", RADIO_STATE_RUIM_READY,
                 {{"cdma", {{"dbm", 71}, {"ecio", 89}}}, {"evdo", {{"dbm", 71}, {"signalNoiseRatio", 5}}}},
                 {{"cdma", {{"dbm", 87}, {"ecio", 129}}}, {"evdo", {{"dbm", 94}, {"signalNoiseRatio", 1}}}}},
        PollCase{"wcdma6290", RADIO_STATE_SIM_READY,
                 {{"gw", {{"signalStrength", 21}, {"bitErrorRate", 99}}},
                  {"lte", {{"signalStrength", -1}, {"rsrp", -1}, {"rsrq", -1}, {"cqi", -1}, {"rssnr", INT_MAX}}}},
                 {{"gw", {{"signalStrength", 5}, {"bitErrorRate", 2}}}}}),
    [](const ::testing::TestParamInfo<PollCase> &i) {
        return std::string(i.param.model[0] == 'c' ? "cdma" : "wcdma");
    });

/* ---- WCDMA: no signal for 30 s resets the module ---- */

TEST(WcdmaNoSignal, ThirtySecondsWithoutSignalResetTheModuleAndShorterGapsDoNot) {
    Rig r("wcdma6290");
    ASSERT_TRUE(r.waitReady(RADIO_STATE_SIM_READY)) << r.d.logText();
    auto signalIs = [](int v) {
        return [v](const json &m) {
            return isUnsol(m, RIL_UNSOL_SIGNAL_STRENGTH) && m["data"]["gw"]["signalStrength"] == v;
        };
    };
    ASSERT_GE(r.find(0, signalIs(21)), 0) << r.d.logText();
    size_t commands = r.module.commands().size();
    int plugs = r.module.plugCount();

    // a short gap: one report without signal, then the signal is back
    size_t mark = r.mark();
    r.module.setSignal(99, 99);
    long lost = r.find(mark, signalIs(0));
    ASSERT_GE(lost, 0) << r.d.logText();
    r.module.setSignal(21, 99);
    long back = r.find((size_t)lost + 1, signalIs(21));
    ASSERT_GE(back, 0);
    // well beyond 30 s after the first zero reading: no reset
    ASSERT_GE(r.nthSignal((size_t)back + 1, 3), 0);
    std::vector<std::string> sent = r.module.commands();
    EXPECT_EQ(std::count(sent.begin() + (long)commands, sent.end(), "AT^RESET"), 0);
    EXPECT_EQ(std::count(sent.begin() + (long)commands, sent.end(), "AT+CFUN=0"), 0);
    EXPECT_EQ(r.module.plugCount(), plugs);

    // the signal stays away: the first poll more than 30 s after the first
    // zero reading resets the module, which drops off USB and comes back
    commands = r.module.commands().size();
    mark = r.mark();
    auto t0 = std::chrono::steady_clock::now();
    r.module.setSignal(99, 99);
    ASSERT_GE(r.find(mark, signalIs(0)), 0);
    if (riltest::testingLegacy()) {
        // the legacy build restarts the radio instead: the module stays on USB
        ASSERT_TRUE(r.module.waitForCommand("AT+CFUN=0", 10s, commands)) << r.d.logText();
        EXPECT_GE(std::chrono::steady_clock::now() - t0, 3 * kPollPeriod - 100ms);
        EXPECT_TRUE(r.module.waitForCommand("AT+CFUN=1", 10s, commands));
        sent = r.module.commands();
        EXPECT_EQ(std::count(sent.begin() + (long)commands, sent.end(), "AT^RESET"), 0);
        EXPECT_EQ(r.module.plugCount(), plugs);
        return;
    }
    ASSERT_TRUE(r.module.waitForCommand("AT^RESET", 10s, commands)) << r.d.logText();
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 3 * kPollPeriod - 100ms);
    EXPECT_TRUE(riltest::waitUntil([&] { return r.module.plugCount() > plugs; }, 10s));
}

/* ---- registration changes reach the framework ---- */

TEST(RegistrationChange, WcdmaSignalAndRegistrationDisagreeingIsReported) {
    Rig r("wcdma6290");
    ASSERT_TRUE(r.waitReady(RADIO_STATE_SIM_READY)) << r.d.logText();
    ASSERT_GE(r.nthSignal(0, 1), 0) << r.d.logText();
    // the framework reads the registration: registered, as the signal says
    EXPECT_EQ(r.ask("reg").at(0), "1");
    size_t mark = r.mark();
    long from = r.nthSignal(mark, 1), to = r.nthSignal(mark, 3);
    ASSERT_GE(to, 0);
    EXPECT_EQ(r.countBetween(from, to, RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED), 0);

    // service lost: the poll sees no signal while registered
    mark = r.mark();
    r.module.deregister();
    long changed = r.find(mark, [](const json &m) { return isUnsol(m, RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED); });
    ASSERT_GE(changed, 0) << r.d.logText();
    EXPECT_GE(r.find((size_t)changed, [](const json &m) { return isUnsol(m, RIL_UNSOL_DATA_CALL_LIST_CHANGED); }), 0);
    // the framework asks again and learns it
    json reg = r.ask("reg");
    EXPECT_EQ(reg.at(0), "0") << reg.dump();
}

TEST(RegistrationChange, CdmaServiceChangeIsReportedByTheModeCheck) {
    Rig r("cdma");
    ASSERT_TRUE(r.waitReady(RADIO_STATE_RUIM_READY)) << r.d.logText();
    ASSERT_GE(r.nthSignal(0, 1), 0) << r.d.logText();
    // the service the framework last read and the module's mode agree: quiet
    EXPECT_EQ(r.ask("reg").at(0), "1");
    size_t mark = r.mark();
    long from = r.nthSignal(mark, 1), to = r.nthSignal(mark, 3);
    ASSERT_GE(to, 0);
    EXPECT_EQ(r.countBetween(from, to, RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED), 0);

    // service lost: the poll reports no signal, and once the framework has
    // read the registration without service the mode check reports it
    mark = r.mark();
    r.module.deregister();
    long none = r.find(mark, [](const json &m) {
        return isUnsol(m, RIL_UNSOL_SIGNAL_STRENGTH) && m["data"]["cdma"]["dbm"] == 125 &&
               m["data"]["evdo"]["dbm"] == 125;
    });
    ASSERT_GE(none, 0) << r.d.logText();
    EXPECT_EQ(r.at(none)["data"]["cdma"]["ecio"], 0);
    EXPECT_EQ(r.at(none)["data"]["evdo"]["signalNoiseRatio"], 0);
    EXPECT_EQ(r.ask("reg").at(0), "0");
    mark = r.mark();
    EXPECT_GE(r.find(mark, [](const json &m) { return isUnsol(m, RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED); }),
              0)
        << r.d.logText();
}

/* ---- the framework's registration, operator and signal requests ---- */

struct RequestCase {
    const char *model;
    int readyState;
    json reg, datareg, op, signal;  // signal: the fields to compare
};
void PrintTo(const RequestCase &c, std::ostream *os) { *os << c.model; }

class NetworkRequests : public ::testing::TestWithParam<RequestCase> {};

TEST_P(NetworkRequests, AnswerWithTheModulesNetwork) {
    const RequestCase &c = GetParam();
    Rig r(c.model);
    ASSERT_TRUE(r.waitReady(c.readyState)) << r.d.logText();
    // CDMA answers the signal from the poll: wait for its first report
    if (r.module.family() == modemsim::Family::Cdma) {
        ASSERT_GE(r.nthSignal(0, 1), 0);
    }
    EXPECT_EQ(r.ask("reg"), c.reg);
    EXPECT_EQ(r.ask("datareg"), c.datareg);
    EXPECT_EQ(r.ask("op"), c.op);
    EXPECT_TRUE(contains(r.ask("signal"), c.signal));
}

// The signal poll and the framework's requests share the channel: requests
// that arrive while a poll command is pending wait for it and still answer
// with the module's network, never with a handler's defaults or an error.
// the families with a signal poll (CDMA, WCDMA)
// The burst runs on a slower clock: the CDMA OPERATOR's "ATE0" has 1 s, and
// at the suites' usual scale that is 50 ms, less than a loaded machine may
// take to schedule the simulated module; a late answer would then be taken
// as the next command's.
class NetworkRequestsUnderPoll : public NetworkRequests {};
constexpr long kBurstScale = 5;
constexpr auto kBurstPollPeriod = std::chrono::milliseconds(10000 / kBurstScale);

TEST_P(NetworkRequestsUnderPoll, AnswerWithTheModulesNetworkWhileTheSignalPollRuns) {
    const RequestCase &c = GetParam();
    Rig r(c.model, kBurstScale);
    ASSERT_TRUE(r.waitReady(c.readyState)) << r.d.logText();
    size_t from = r.mark();
    ASSERT_GE(r.nthSignal(0, 1), 0);
    // a burst over several poll periods: the daemon runs the requests one
    // after the other on its request thread, the polls on its event thread
    struct Asked {
        long token;
        std::string what;
    };
    std::vector<Asked> asked;
    auto until = std::chrono::steady_clock::now() + 2 * kBurstPollPeriod;
    while (std::chrono::steady_clock::now() < until) {
        for (const char *what : {"reg", "datareg", "op", "signal"}) asked.push_back({r.d.request(what), what});
        json last = r.d.waitResponse(asked.back().token, 20s);
        ASSERT_FALSE(last.is_null());
    }
    for (const Asked &a : asked) {
        json resp = r.d.waitResponse(a.token, 20s);
        ASSERT_EQ(resp.value("error", -1), RIL_E_SUCCESS) << a.what << ": " << resp.dump();
        const json &data = resp["data"];
        if (a.what == "signal") {
            EXPECT_TRUE(contains(data, c.signal));
        } else {
            EXPECT_EQ(data, a.what == "reg" ? c.reg : a.what == "datareg" ? c.datareg : c.op) << a.what;
        }
    }
    // the polls went on meanwhile
    EXPECT_GE(r.nthSignal(from, 2), 0);
    // the first "off" after start is ignored by both families; the second
    // reaches the module whatever the poll is doing
    size_t sent = r.module.commands().size();
    for (int i = 0; i < 2; i++) {
        json off = r.d.waitResponse(r.d.request("radio 0"), 30s);
        EXPECT_EQ(off.value("error", -1), RIL_E_SUCCESS) << off.dump();
    }
    EXPECT_TRUE(r.module.waitForCommand("AT+CFUN=0", 20s, sent));
}

// the default networks: LAC 5A3C, cell 1D2F03 (1912579), SID 13824, NID 1
const RequestCase kRequestCases[] = {
        RequestCase{"cdma", RADIO_STATE_RUIM_READY,
                    // registered home on hybrid 1x/EVDO (system mode 8: EVDO_A)
                    {"1", "1", "1", "8", "1912579", "2282954", "6925210", "0", "13824", "1", "1", "1", "1", "0"},
                    {"1", "10000", "10000", "8", "50"},
                    {"CHINA TELECOM", "CHINA TELECOM", "46003"},
                    {{"cdma", {{"dbm", 71}, {"ecio", 89}}}, {"evdo", {{"dbm", 71}, {"signalNoiseRatio", 5}}}}},
        RequestCase{"wcdma6290", RADIO_STATE_SIM_READY,
                    // HSPA ("+CNSMOD:" 7): radio technology 11
                    {"1", "5a3c", "1d2f03", "11"},
                    {"1", "5A3C", "1D2F03", "11"},
                    {"CHINA UNICOM", "CHINA UNICOM", "46001"},
                    {{"gw", {{"signalStrength", 21}, {"bitErrorRate", 99}}}}},
        // the LTE family stays in RADIO_STATE_ON once its SIM is ready
        RequestCase{"lte", RADIO_STATE_ON,
                    {{"regState", 1},
                     {"rat", 14},
                     {"cssSupported", 0},
                     {"roamingIndicator", -1},
                     {"systemIsInPrl", 0},
                     {"defaultRoamingIndicator", -1},
                     {"reasonForDenial", 0},
                     {"cellIdentity", {{"cellInfoType", 0}}}},
                    {{"regState", 1},
                     {"rat", 14},
                     {"reasonDataDenied", 0},
                     {"maxDataCalls", 1},
                     {"cellIdentity",
                      {{"cellInfoType", 3}, {"mcc", -1}, {"mnc", -1}, {"ci", 1912579}, {"pci", -1}, {"tac", 23100},
                       {"earfcn", -1}}}},
                    {"CHINA MOBILE", "CMCC", "46000"},
                    // RSRP from "+SERVERINFO:" (-95 dBm)
                    {{"gw", {{"signalStrength", 21}, {"bitErrorRate", 99}}},
                     {"lte", {{"signalStrength", 21}, {"rsrp", 95}}}}},
};

std::string requestCaseName(const ::testing::TestParamInfo<RequestCase> &i) {
    std::string m = i.param.model;
    return m == "wcdma6290" ? std::string("wcdma") : m;
}

INSTANTIATE_TEST_SUITE_P(Families, NetworkRequests, ::testing::ValuesIn(kRequestCases), requestCaseName);
INSTANTIATE_TEST_SUITE_P(Families, NetworkRequestsUnderPoll, ::testing::ValuesIn(kRequestCases, kRequestCases + 2),
                         requestCaseName);

}  // namespace
