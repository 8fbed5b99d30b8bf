// Every request code, with hostile values in the request's own shape, sent
// through the host daemon to the library driving the simulated module: each
// request completes exactly once and nothing crashes.
#include <gtest/gtest.h>

#include <set>

#include "daemon_harness.h"
#include "simulated_module.h"

using nlohmann::json;
using riltest::DaemonHarness;
using riltest::DaemonOptions;
using riltest::TempRoot;
using riltest::waitUntil;

namespace {

bool isType(const json &m, const char *type) { return m.value("type", "") == type; }

// values a framework bug or a hostile caller could hand over; the console
// turns each into the request's own data shape (ints, strings, records)
const char *const kValues[] = {
    "null",
    "\"\"",
    "-1",
    "2147483647",
    "\"1234\\\"\\r\\nATD112;\"",
    "\"\\x01\\x7f,;\"",
};

std::string longText() { return "\"" + std::string(600, '9') + "\""; }

class EveryRequest : public ::testing::TestWithParam<const char *> {};

TEST_P(EveryRequest, CompletesExactlyOnceWithHostileValues) {
    TempRoot root;
    DaemonHarness d(root);
    modemsim::ModuleConfig cfg = modemsim::ModuleConfig::forModel(GetParam(), d.sysroot());
    cfg.resetGap = std::chrono::milliseconds(100);
    modemsim::SimulatedModule module(cfg);
    DaemonOptions opt;
    opt.timeScale = 50;
    // the LTE family's first initial-attach request ends the process (to be
    // restarted) while this property is unset; here the daemon must stay
    opt.properties["ril.rild.connected"] = "true";
    d.start(opt);
    ASSERT_FALSE(d.waitFor([](const json &m) { return isType(m, "init"); }).is_null());
    // the SIM ready first, so that the requests reach their handlers
    ASSERT_TRUE(waitUntil(
        [&] {
            return d.property("gsm.sim.state") == "READY" ||
                   d.logText().find("setRadioState(RADIO_STATE_RUIM_READY)") != std::string::npos;
        },
        std::chrono::seconds(20)))
        << d.logText();

    std::vector<std::string> values(std::begin(kValues), std::end(kValues));
    values.push_back(longText());
    size_t sent = 0;
    for (int code = 0; code <= 140; code++) {
        // the console refuses the wrong argument counts and malformed numbers;
        // every count it accepts becomes a request
        for (int count = 0; count <= 9; count++) {
            for (const std::string &v : values) {
                std::string line = std::to_string(code);
                for (int i = 0; i < count; i++) line += " " + v;
                d.send(line);
                sent++;
                if (count == 0) break;  // one line without arguments is enough
            }
        }
    }
    d.send("idle");
    ASSERT_FALSE(d.waitFor([](const json &m) { return isType(m, "idle"); }, std::chrono::seconds(120)).is_null())
        << "requests left uncompleted; log tail:\n"
        << d.logText().substr(d.logText().size() > 4000 ? d.logText().size() - 4000 : 0);
    EXPECT_TRUE(d.running());

    std::set<long> queued, completed;
    int doubles = 0;
    for (const json &m : d.messages()) {
        if (isType(m, "queued")) queued.insert(m["token"].get<long>());
        if (isType(m, "response") && !completed.insert(m["token"].get<long>()).second) doubles++;
        if (isType(m, "error") && m["message"].get<std::string>().find("completion for unknown") != std::string::npos)
            doubles++;
    }
    EXPECT_GT(queued.size(), 300u) << "of " << sent << " lines";
    EXPECT_EQ(queued, completed);
    EXPECT_EQ(doubles, 0);
    int rejectedUnavailable = 0;
    for (const json &m : d.messages())
        if (isType(m, "response") && m["error"] == 1) rejectedUnavailable++;
    EXPECT_LT(rejectedUnavailable, (int)queued.size() / 2) << "most requests never reached a handler";
    // no injected command ever reached the module
    for (const std::string &c : module.commands()) {
        EXPECT_EQ(c.find("ATD112"), std::string::npos) << c;
        EXPECT_EQ(c.find('\x01'), std::string::npos) << c;
    }
}

INSTANTIATE_TEST_SUITE_P(Families, EveryRequest, ::testing::Values("cdma", "wcdma6290", "lte"),
                         [](const ::testing::TestParamInfo<const char *> &i) { return std::string(i.param); });

}  // namespace
