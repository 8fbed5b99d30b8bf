// The connection guard under injected faults, end to end: the real host
// daemon on the real library, the simulated module and the stand-ins; each
// fault is a "link" control of the module and each case names the recovery
// its family makes. The clock runs 20 times faster.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "guard_rig.h"

using nlohmann::json;
using riltest::GuardRig;
using namespace std::chrono_literals;

namespace {

constexpr long kScale = 20;

long counter(GuardRig &rig, const char *name) {
    return atol(riltest::readFile(rig.root.at(std::string("/sysroot/sys/class/net/ppp0/statistics/") + name)).c_str());
}

// a set-up that succeeded, with its one pppd
::testing::AssertionResult dataUp(GuardRig &rig) {
    if (!rig.symlinked) return ::testing::AssertionFailure() << "stand-ins not linked";
    if (!rig.ready()) return ::testing::AssertionFailure() << "the family never became ready";
    json r = rig.response(rig.d.request(rig.setupLine()));
    if (r.value("error", -1) != 0) return ::testing::AssertionFailure() << "set-up: " << r.dump();
    if (!riltest::waitUntil([&] { return rig.linkUp(); }, 10s))
        return ::testing::AssertionFailure() << "no link after the set-up";
    return ::testing::AssertionSuccess();
}

// the old pppd ended before the next one started, and one runs now
void expectOneLinkAfterOrderlyStop(GuardRig &rig, int runs) {
    ASSERT_TRUE(riltest::waitUntil([&] { return rig.pppdStarts() >= runs && rig.linkUp(); }, 20s))
        << "starts " << rig.pppdStarts() << " running " << rig.pppd().size() << " local-ip "
        << rig.d.property("net.ppp0.local-ip");
    std::string log = rig.d.logText();
    std::string exited = "pppd run " + std::to_string(runs - 1) + " exit status";
    std::string started = "ppp_thread_body: start run " + std::to_string(runs) + " ";
    ASSERT_NE(log.find(started), std::string::npos);
    ASSERT_NE(log.find(exited), std::string::npos) << "run " << runs - 1 << " never ended";
    EXPECT_LT(log.find(exited), log.find(started)) << "the old pppd still ran when the new one started";
    EXPECT_EQ(rig.pppd().size(), 1u);
}

enum class Recovery { Redial, ReportInactive };

struct FaultCase {
    const char *model;
    Recovery recovery;
    bool probes;  // the checker provokes traffic before it acts
};
void PrintTo(const FaultCase &c, std::ostream *os) { *os << c.model; }

std::string caseName(const ::testing::TestParamInfo<FaultCase> &i) { return i.param.model; }

// the LTE report: the list changed, and the call list no longer hands back
// the old record as active; a new set-up brings the link back
void expectReportedInactiveThenSetUpAgain(GuardRig &rig, int reportsBefore, int runsBefore) {
    ASSERT_TRUE(rig.waitUnsols(RIL_UNSOL_DATA_CALL_LIST_CHANGED, reportsBefore + 1, 20s));
    EXPECT_TRUE(rig.logged("resume: check pppd exist"));
    json list = rig.response(rig.d.request("datalist"));
    ASSERT_TRUE(list["data"].is_array()) << list.dump();
    for (const json &rec : list["data"]) {
        EXPECT_EQ(rec.value("active", -1), 0) << list.dump();
        EXPECT_NE(rec["addresses"].is_string() ? rec["addresses"].get<std::string>() : "", "10.64.78.9")
            << list.dump();
    }
    EXPECT_EQ(rig.dials(), 1) << "the LTE family leaves the re-dial to the framework";
    rig.module.control("link ok");
    json r = rig.response(rig.d.request(rig.setupLine()));
    ASSERT_EQ(r.value("error", -1), 0) << r.dump();
    expectOneLinkAfterOrderlyStop(rig, runsBefore + 1);
}

/* ---- pppd killed ---- */

class PppdKilled : public ::testing::TestWithParam<FaultCase> {};

TEST_P(PppdKilled, TheFamilyRecovers) {
    const FaultCase &c = GetParam();
    GuardRig rig(c.model, kScale);
    ASSERT_TRUE(dataUp(rig));
    int reports = rig.unsols(RIL_UNSOL_DATA_CALL_LIST_CHANGED);
    size_t mark = rig.d.logText().size();
    EXPECT_EQ(rig.module.control("link kill"), "killed 1\nOK");
    if (c.recovery == Recovery::ReportInactive) {
        expectReportedInactiveThenSetUpAgain(rig, reports, 1);
        return;
    }
    ASSERT_TRUE(riltest::waitUntil([&] { return rig.pppdStarts() >= 2 && rig.linkUp(); }, 20s))
        << rig.module.control("link state");
    std::string after = rig.logFrom(mark);
    if (c.probes) {
        EXPECT_NE(after.find("CheckDataStatus: datamode"), std::string::npos);
    } else {
        EXPECT_NE(after.find(" ppp exit"), std::string::npos);
        EXPECT_EQ(after.find("dns_test"), std::string::npos) << "an ended pppd is re-dialled without probing";
    }
    EXPECT_EQ(rig.dials(), 2);
    EXPECT_EQ(rig.pppd().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Families, PppdKilled,
                         ::testing::Values(FaultCase{"wcdma6290", Recovery::Redial, false},
                                           FaultCase{"cdma", Recovery::Redial, true},
                                           FaultCase{"lte", Recovery::ReportInactive, true}),
                         caseName);

/* ---- a silent link: tx moves, rx stays ---- */

class SilentLink : public ::testing::TestWithParam<FaultCase> {};

TEST_P(SilentLink, IsProbedThenRecovered) {
    const FaultCase &c = GetParam();
    GuardRig rig(c.model, kScale);
    ASSERT_TRUE(dataUp(rig));
    int reports = rig.unsols(RIL_UNSOL_DATA_CALL_LIST_CHANGED);
    size_t mark = rig.d.logText().size();
    ASSERT_EQ(rig.module.control("link silent"), "OK");
    // the link keeps sending and receives nothing
    long rx0 = counter(rig, "rx_packets"), tx0 = counter(rig, "tx_packets");
    ASSERT_TRUE(riltest::waitUntil([&] { return counter(rig, "tx_packets") >= tx0 + 3; }, 5s));
    long rx1 = counter(rig, "rx_packets");
    EXPECT_LE(rx1, rx0 + 1);
    ASSERT_TRUE(riltest::waitUntil([&] { return counter(rig, "tx_packets") >= tx0 + 6; }, 5s));
    EXPECT_EQ(counter(rig, "rx_packets"), rx1) << "rx frozen";

    if (c.recovery == Recovery::ReportInactive) {
        ASSERT_TRUE(rig.logged("LteCheckDataStatus: datamode", 20s));
        expectReportedInactiveThenSetUpAgain(rig, reports, 1);
        return;
    }
    const char *handover = rig.module.family() == modemsim::Family::Cdma ? "ResumeSem: CheckDataStatus"
                                                                         : " check pppd exist";
    ASSERT_TRUE(riltest::waitUntil([&] { return rig.logFrom(mark).find(handover) != std::string::npos; }, 20s));
    std::string probe = rig.logFrom(mark);
    if (rig.module.family() == modemsim::Family::Wcdma) {
        // both DNS tests failed, the second after the switch of the server
        EXPECT_EQ(riltest::countOf(probe, "dns result is:0"), 2u) << probe;
        EXPECT_NE(probe.find("dns_test: net.dns1 114.114.114.114"), std::string::npos);
    } else {
        EXPECT_NE(probe.find("CheckDataStatus: datamode"), std::string::npos);
    }
    rig.module.control("link ok");
    expectOneLinkAfterOrderlyStop(rig, 2);
    EXPECT_EQ(rig.dials(), 2);
}

INSTANTIATE_TEST_SUITE_P(Families, SilentLink,
                         ::testing::Values(FaultCase{"wcdma6290", Recovery::Redial, true},
                                           FaultCase{"cdma", Recovery::Redial, true},
                                           FaultCase{"lte", Recovery::ReportInactive, true}),
                         caseName);

/* ---- the ladder of a parked set-up ---- */

struct LadderCase {
    const char *name;
    const char *model;
    const char *fault;       // "link refuse N", or "noip" (pppd without an address)
    int failures;            // faults before the link comes (or the set-up gives up)
    int radioCycles;         // "AT+CFUN=0" then "AT+CFUN=1"
    bool setupSucceeds;
};
void PrintTo(const LadderCase &c, std::ostream *os) { *os << c.name; }

class Ladder : public ::testing::TestWithParam<LadderCase> {};

TEST_P(Ladder, RepeatedFailuresClimbIt) {
    const LadderCase &c = GetParam();
    bool noip = std::string(c.fault) == "noip";
    GuardRig rig(c.model, kScale, {}, noip ? "noip=1\n" : "");
    ASSERT_TRUE(rig.symlinked);
    ASSERT_TRUE(rig.ready());
    if (!noip) {
        ASSERT_EQ(rig.module.control(c.fault), "OK");
    }
    int reports = rig.unsols(RIL_UNSOL_DATA_CALL_LIST_CHANGED);
    long t = rig.d.request(rig.setupLine());
    if (noip) {
        // the fourth pppd without an address cycles the radio; the next one
        // gets its address
        ASSERT_TRUE(rig.logged("Dog >> PPPD NO IP > 3", 40s));
        rig.pppdConfig("");
    }
    json r = rig.response(t, 40s);
    if (c.setupSucceeds) {
        ASSERT_EQ(r.value("error", -1), 0) << r.dump();
        EXPECT_TRUE(riltest::waitUntil([&] { return rig.linkUp(); }, 10s));
        EXPECT_EQ(rig.dials(), c.failures + 1);
        // (a radio cycle may report the list on its own; the dials do not)
        if (c.radioCycles == 0) {
            EXPECT_EQ(rig.unsols(RIL_UNSOL_DATA_CALL_LIST_CHANGED), reports);
        }
    } else {
        EXPECT_EQ(r.value("error", -1), RIL_E_GENERIC_FAILURE) << r.dump();
        EXPECT_TRUE(rig.waitUnsols(RIL_UNSOL_DATA_CALL_LIST_CHANGED, reports + 1, 10s));
        EXPECT_EQ(rig.dials(), c.failures);
        EXPECT_TRUE(rig.logged("g_retrytimes > 5"));
    }
    EXPECT_EQ(modemsim::radioCycles(rig.module), c.radioCycles);
    EXPECT_EQ(rig.responses(t), 1);
    // a cycle is the radio off and on again, one second apart on the clock
    if (c.radioCycles > 0) {
        std::vector<std::string> at = rig.module.commands();
        auto off = std::find(at.begin(), at.end(), "AT+CFUN=0");
        ASSERT_NE(off, at.end());
        EXPECT_NE(std::find(off, at.end(), "AT+CFUN=1"), at.end());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Ladder,
    ::testing::Values(LadderCase{"four_refused_dials_cycle_the_6290_radio", "wcdma6290", "link refuse 4", 4, 1, true},
                      LadderCase{"the_lte_module_is_not_cycled_for_dials", "lte", "link refuse 4", 4, 0, true},
                      LadderCase{"six_refused_dials_fail_the_parked_setup", "lte", "link refuse 6", 6, 0, false},
                      LadderCase{"four_pppd_without_address_cycle_the_radio", "lte", "noip", 4, 1, true}),
    [](const ::testing::TestParamInfo<LadderCase> &i) { return std::string(i.param.name); });

/* ---- the module leaves USB during data and comes back ---- */

struct UnplugCase {
    const char *name;
    const char *model;
    bool userDisconnected;  // the framework ended the data call before
    Recovery recovery;
};
void PrintTo(const UnplugCase &c, std::ostream *os) { *os << c.name; }

class Unplugged : public ::testing::TestWithParam<UnplugCase> {};

TEST_P(Unplugged, TheLinkComesBackOnlyWhenTheUserWantsIt) {
    const UnplugCase &c = GetParam();
    GuardRig rig(c.model, kScale);
    ASSERT_TRUE(dataUp(rig));
    if (c.userDisconnected) {
        ASSERT_EQ(rig.response(rig.d.request("deactivate")).value("error", -1), 0);
        ASSERT_TRUE(riltest::waitUntil([&] { return rig.pppd().empty(); }, 10s));
    }
    int reports = rig.unsols(RIL_UNSOL_DATA_CALL_LIST_CHANGED);
    size_t mark = rig.d.logText().size();
    rig.module.unplug();
    ASSERT_TRUE(riltest::waitUntil([&] { return rig.pppd().empty(); }, 10s)) << "pppd ends with the port";
    rig.module.plug();
    if (c.userDisconnected) {
        // the family is back (its radio state reported again) and two LTE
        // check periods pass: nothing is dialled
        ASSERT_TRUE(riltest::waitUntil(
            [&] { return rig.logFrom(mark).find("WGod >> Will delay RIL initialization") != std::string::npos; }, 30s));
        riltest::waitUntil([] { return false; }, std::chrono::milliseconds(2 * 36000 / kScale));
        EXPECT_EQ(rig.dials(), 1);
        EXPECT_TRUE(rig.pppd().empty());
        EXPECT_EQ(rig.logFrom(mark).find("ResumeSem: "), std::string::npos);
    } else if (c.recovery == Recovery::Redial) {
        ASSERT_TRUE(riltest::waitUntil([&] { return rig.pppdStarts() >= 2 && rig.linkUp(); }, 30s))
            << rig.module.control("link state");
        EXPECT_EQ(rig.dials(), 2);
    } else {
        ASSERT_TRUE(rig.waitUnsols(RIL_UNSOL_DATA_CALL_LIST_CHANGED, reports + 1, 30s));
        EXPECT_TRUE(riltest::waitUntil(
            [&] { return rig.logFrom(mark).find("resume: check pppd exist") != std::string::npos; }, 10s));
        EXPECT_EQ(rig.dials(), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Unplugged,
    ::testing::Values(UnplugCase{"wcdma_redials", "wcdma6290", false, Recovery::Redial},
                      UnplugCase{"wcdma_user_disconnected", "wcdma6290", true, Recovery::Redial},
                      UnplugCase{"cdma_redials", "cdma", false, Recovery::Redial},
                      UnplugCase{"lte_reports_inactive", "lte", false, Recovery::ReportInactive},
                      UnplugCase{"lte_user_disconnected", "lte", true, Recovery::ReportInactive}),
    [](const ::testing::TestParamInfo<UnplugCase> &i) { return std::string(i.param.name); });

/* ---- a voice call and flight mode during data ---- */

class CallDuringData : public ::testing::TestWithParam<FaultCase> {};

TEST_P(CallDuringData, CheckersPauseAndResumeAfterTheCall) {
    const FaultCase &c = GetParam();
    GuardRig rig(c.model, kScale);
    ASSERT_TRUE(dataUp(rig));
    ASSERT_EQ(rig.response(rig.d.request("dial 10086")).value("error", -1), 0);
    ASSERT_TRUE(riltest::waitUntil([&] {
        return rig.response(rig.d.request("RIL_REQUEST_GET_CURRENT_CALLS"))["data"].size() == 1;
    }, 10s));
    size_t mark = rig.d.logText().size();
    rig.module.control("link silent");
    // several check periods pass (WCDMA 5 s, LTE 36 s) without a probe
    riltest::waitUntil([] { return false; }, std::chrono::milliseconds(40000 / kScale));
    std::string during = rig.logFrom(mark);
    EXPECT_EQ(during.find("dns_test"), std::string::npos) << during;
    EXPECT_EQ(during.find("LteCheckDataStatus: datamode"), std::string::npos) << during;
    EXPECT_EQ(rig.dials(), 1);
    // the far end hangs up; the call list is empty and the chain starts again
    rig.module.control("hangup");
    ASSERT_TRUE(riltest::waitUntil([&] {
        json l = rig.response(rig.d.request("RIL_REQUEST_GET_CURRENT_CALLS"));
        return l.value("error", -1) == 0 && (l["data"].is_null() || l["data"].empty());
    }, 10s));
    if (c.recovery == Recovery::ReportInactive) {
        ASSERT_TRUE(rig.logged("LteCheckDataStatus: datamode", 20s));
        ASSERT_TRUE(rig.logged("resume: check pppd exist", 20s));
    } else {
        ASSERT_TRUE(rig.logged(" check pppd exist", 20s));
        rig.module.control("link ok");
        expectOneLinkAfterOrderlyStop(rig, 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Families, CallDuringData,
                         ::testing::Values(FaultCase{"wcdma6290", Recovery::Redial, true},
                                           FaultCase{"lte", Recovery::ReportInactive, true}),
                         caseName);

class FlightModeDuringData : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FlightModeDuringData, TheLinkStopsForGoodUntilTheNextSetUp) {
    GuardRig rig(GetParam().model, kScale);
    ASSERT_TRUE(dataUp(rig));
    // the first radio-off after start-up is ignored; the second is flight mode
    for (int i = 0; i < 2 && rig.logCount("StopPPPD: flymode") == 0; i++)
        ASSERT_EQ(rig.response(rig.d.request("radio 0")).value("error", -1), 0);
    ASSERT_TRUE(rig.logged("StopPPPD: flymode", 10s));
    ASSERT_TRUE(riltest::waitUntil([&] { return rig.pppd().empty(); }, 10s));
    size_t mark = rig.d.logText().size();
    ASSERT_EQ(rig.response(rig.d.request("radio 1")).value("error", -1), 0);
    // two check periods pass: nothing is dialled behind the framework's back
    riltest::waitUntil([] { return false; }, std::chrono::milliseconds(40000 / kScale));
    EXPECT_EQ(rig.dials(), 1);
    EXPECT_EQ(rig.logFrom(mark).find("ResumeSem: "), std::string::npos);
    json r = rig.response(rig.d.request(rig.setupLine()));
    ASSERT_EQ(r.value("error", -1), 0) << r.dump();
    expectOneLinkAfterOrderlyStop(rig, 2);
}

INSTANTIATE_TEST_SUITE_P(Families, FlightModeDuringData,
                         ::testing::Values(FaultCase{"wcdma6290", Recovery::Redial, false},
                                           FaultCase{"lte", Recovery::Redial, false}),
                         caseName);

/* ---- another SIM during data ---- */

TEST(SimChangeDuringData, TheProcessEndsToBeRestarted) {
    for (const char *model : {"wcdma6290", "lte"}) {
        SCOPED_TRACE(model);
        GuardRig rig(model, kScale);
        ASSERT_TRUE(dataUp(rig));
        rig.module.control("sim exchange 460001234567890 89860000000000000001");
        EXPECT_EQ(rig.d.waitExit(20s), 0);
        rig.module.control("link kill");
    }
}

}  // namespace

namespace {

/* ---- the module stops answering during data ---- */

TEST(MutedDuringData, TheModuleIsResetAndTheLinkDialledAgain) {
    GuardRig rig("cdma", kScale);
    ASSERT_TRUE(dataUp(rig));
    size_t mark = rig.d.logText().size();
    rig.module.control("mute");
    // commands time out one after the other until the channel's recovery
    // resets the module; the link goes with it
    ASSERT_TRUE(riltest::waitUntil([&] { return rig.logFrom(mark).find("resetmodule:") != std::string::npos; }, 30s));
    rig.module.control("unmute");
    ASSERT_TRUE(riltest::waitUntil([&] { return rig.pppdStarts() >= 2 && rig.linkUp(); }, 40s))
        << rig.module.control("link state");
    EXPECT_EQ(rig.dials(), 2);
    EXPECT_EQ(rig.pppd().size(), 1u);
}

}  // namespace

namespace {

/* ---- the ladder without a parked set-up ---- */

TEST(LadderWithoutSetup, RefusedRedialsAfterAKilledPppdCycleThe6290Radio) {
    GuardRig rig("wcdma6290", kScale);
    ASSERT_TRUE(dataUp(rig));
    ASSERT_EQ(rig.module.control("link refuse 4"), "OK");
    ASSERT_EQ(rig.module.control("link kill"), "killed 1\nOK");
    // each check finds pppd gone and re-dials; no set-up waits, so the
    // failures come one check apart and never fail anything
    ASSERT_TRUE(riltest::waitUntil([&] { return rig.pppdStarts() >= 2 && rig.linkUp(); }, 30s))
        << rig.module.control("link state");
    EXPECT_EQ(rig.dials(), 6);
    EXPECT_EQ(modemsim::radioCycles(rig.module), 1);
    EXPECT_GE(rig.logCount("time 5 s"), 4u);
}

}  // namespace
