// The three unsolicited chains as tables: the order in which the prefixes are
// tested, the common start, first match wins, the SIM card rows, and hostile
// lines, in-process and through a real AT channel on a pseudo-terminal.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "at_link.h"
#include "daemon_harness.h"
#include "ril_families.h"
#include "ril_sim.h"
#include "ril_unsolicited.h"
#include "scripted_peer.h"

namespace {

using namespace std::chrono_literals;

// The chains of the three families, prefix by prefix in test order; "" is
// the catch-all.
const std::vector<std::string> kChainCdma = {
    "%CTZV:", "+CLIP:", "RING", "NO CARRIER", "+CCWA", "^CEND", "^CONN", "^ONLINE", "^ORIG:",
    "+CREG:", "+CGREG:", "+CMT:", "+CDS:", "+CGEV:", "^HRSSILVL:", "^LINKED", "+GCSQ", "^SIMST:",
    "+CMTI", "^SMMEMFULL", "^HCMGSS", "^HCMT", "^MMS:", "^HCDS", "^MODE:", "^GPSNETDONE",
    "^GPSDOLADDONE", ""};
const std::vector<std::string> kChainWcdma = {
    "%CTZV:", "^RSSI:", "+CRING:", "RING", "NO CARRIER", "+CCWA", "^CEND", "^CONN", "^CONF",
    "MISSED_CALL:", "+CMT:", "^MMS:", "+CMTI:", "+CDS:", "+CGEV:", "+CUSD:", "^SIMC", "+CPIN: READY",
    "^MODE:", "+SIMCARD: NOT AVAILABLE", ""};
const std::vector<std::string> kChainLte = {
    "%CTZV:", "^RSSI:", "+CRING:", "RING", "NO CARRIER", "+CCWA", "^CEND", "^CONN", "^CONF",
    "MISSED_CALL:", "^LINKED:", "+CREG:", "+CGREG:", "+CMT:", "$QCMT:", "^MMS:", "+CMTI:", "$QCMTI:",
    "+CDS:", "+CGEV:", "+CUSD:", "^SIMC", "+CPIN: READY", "^MODE:", "+SIMCARD: NOT AVAILABLE", ""};

std::vector<std::string> prefixes(int family) {
    size_t n = 0;
    const RilUnsolRow *rows = ril_unsol_rows(family, &n);
    std::vector<std::string> out;
    for (size_t i = 0; i < n; i++) out.push_back(rows[i].prefix);
    return out;
}

int rowOf(int family, const std::string &prefix) {
    auto p = prefixes(family);
    for (size_t i = 0; i < p.size(); i++)
        if (p[i] == prefix) return (int)i;
    return -2;
}

TEST(UnsolicitedTable, EachFamilyTestsThePrefixesOfItsChainInOrder) {
    EXPECT_EQ(prefixes(RIL_FAMILY_CDMA), kChainCdma);
    EXPECT_EQ(prefixes(RIL_FAMILY_WCDMA), kChainWcdma);
    EXPECT_EQ(prefixes(RIL_FAMILY_LTE), kChainLte);
    size_t n = 7;
    EXPECT_EQ(ril_unsol_rows(RIL_FAMILY_NONE, &n), nullptr);
    EXPECT_EQ(n, 0u);
}

TEST(UnsolicitedTable, NoRowIsShadowedByAnEarlierOne) {
    // a row whose prefix begins with an earlier row's prefix could never match
    for (int family : {RIL_FAMILY_CDMA, RIL_FAMILY_WCDMA, RIL_FAMILY_LTE}) {
        auto p = prefixes(family);
        for (size_t i = 0; i + 1 < p.size(); i++)
            for (size_t j = i + 1; j + 1 < p.size(); j++)
                EXPECT_NE(p[j].rfind(p[i], 0), 0u) << "family " << family << ": " << p[j] << " after " << p[i];
    }
}

// A RIL_Env that records the timed callbacks without running them (the SIM
// card routines end the process).
struct Recorder {
    static std::mutex lock;
    static std::vector<RIL_TimedCallback> timed;
    static std::vector<int> unsol;
    static void complete(RIL_Token, RIL_Errno, void *, size_t) {}
    static void unsolicited(int code, const void *, size_t) {
        std::lock_guard<std::mutex> g(lock);
        unsol.push_back(code);
    }
    static void *schedule(RIL_TimedCallback cb, void *, const struct timeval *) {
        std::lock_guard<std::mutex> g(lock);
        timed.push_back(cb);
        return nullptr;
    }
    static std::vector<RIL_TimedCallback> taken() {
        std::lock_guard<std::mutex> g(lock);
        return timed;
    }
    static void reset() {
        std::lock_guard<std::mutex> g(lock);
        timed.clear();
        unsol.clear();
    }
};
std::mutex Recorder::lock;
std::vector<RIL_TimedCallback> Recorder::timed;
std::vector<int> Recorder::unsol;

const struct RIL_Env kRecorderEnv = {Recorder::complete, Recorder::unsolicited, Recorder::schedule, nullptr};

class Dispatch : public ::testing::Test {
protected:
    void SetUp() override {
        Recorder::reset();
        s_rilenv = s_rilenv_wcdma = s_rilenv_lte = &kRecorderEnv;
        s_radio_state_cdma = s_radio_state_wcdma = s_radio_state_lte = RADIO_STATE_ON;
        s_is9X07 = 0;
    }
    void TearDown() override { s_rilenv = s_rilenv_wcdma = s_rilenv_lte = nullptr; }
};

TEST_F(Dispatch, SimCardLinesScheduleTheirRoutines) {
    struct Case {
        int family;
        const char *line;
        const char *row;
        RIL_TimedCallback routine;
    } cases[] = {
        {RIL_FAMILY_WCDMA, "^SIMCHG: 1", "^SIMC", onSimCardChange_wcdma},
        {RIL_FAMILY_WCDMA, "+SIMCARD: NOT AVAILABLE", "+SIMCARD: NOT AVAILABLE", OnSimCardRemove_wcdma},
        {RIL_FAMILY_LTE, "^SIMCHG: 1", "^SIMC", onSimCardChange_lte},
        {RIL_FAMILY_LTE, "+SIMCARD: NOT AVAILABLE", "+SIMCARD: NOT AVAILABLE", OnSimCardRemove_lte},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        Recorder::reset();
        EXPECT_EQ(ril_unsol_dispatch(c.family, c.line, nullptr), rowOf(c.family, c.row));
        EXPECT_EQ(Recorder::taken(), std::vector<RIL_TimedCallback>{c.routine});
    }
}

TEST_F(Dispatch, LteRemovalOfA9X07IsTakenAndIgnored) {
    s_is9X07 = 1;
    EXPECT_EQ(ril_unsol_dispatch(RIL_FAMILY_LTE, "+SIMCARD: NOT AVAILABLE", nullptr),
              rowOf(RIL_FAMILY_LTE, "+SIMCARD: NOT AVAILABLE"));
    EXPECT_TRUE(Recorder::taken().empty());
}

TEST_F(Dispatch, NothingCountsWhileTheRadioIsUnavailable) {
    s_radio_state_cdma = s_radio_state_wcdma = s_radio_state_lte = RADIO_STATE_UNAVAILABLE;
    for (int family : {RIL_FAMILY_CDMA, RIL_FAMILY_WCDMA, RIL_FAMILY_LTE})
        for (const char *line : {"^SIMCHG: 1", "+SIMCARD: NOT AVAILABLE", "+CPIN: READY", "RING"})
            EXPECT_EQ(ril_unsol_dispatch(family, line, nullptr), -1) << family << " " << line;
    EXPECT_TRUE(Recorder::taken().empty());
    EXPECT_TRUE(Recorder::unsol.empty());
}

TEST_F(Dispatch, AnAbsentLineOrAnUnknownFamilyIsIgnored) {
    EXPECT_EQ(ril_unsol_dispatch(RIL_FAMILY_WCDMA, nullptr, "0011"), -1);
    EXPECT_EQ(ril_unsol_dispatch(RIL_FAMILY_NONE, "^SIMCHG: 1", nullptr), -1);
    EXPECT_EQ(ril_unsol_dispatch(-1, "^SIMCHG: 1", nullptr), -1);
    EXPECT_TRUE(Recorder::taken().empty());
}

TEST_F(Dispatch, FirstMatchingRowTakesTheLine) {
    struct Case {
        int family;
        const char *line;
        const char *row;
    } cases[] = {
        // "+CMTI:" is not "+CMT:" but CDMA's "+CMTI" row (no colon) takes it
        {RIL_FAMILY_CDMA, "+CMTI: \"SM\",3", "+CMTI"},
        {RIL_FAMILY_WCDMA, "+CMTI: \"SM\",3", "+CMTI:"},
        {RIL_FAMILY_WCDMA, "+CMT: ,23", "+CMT:"},
        // the call group comes before the rest of the chain
        {RIL_FAMILY_CDMA, "^CONN:1,0", "^CONN"},
        {RIL_FAMILY_LTE, "^LINKED: 1", "^LINKED:"},
        {RIL_FAMILY_CDMA, "^LINKED", "^LINKED"},
        {RIL_FAMILY_LTE, "$QCMTI: \"SM\",1", "$QCMTI:"},
        // "^SIMST:" is a CDMA row only; in WCDMA it is not "^SIMC"
        {RIL_FAMILY_CDMA, "^SIMST: 255", "^SIMST:"},
        {RIL_FAMILY_WCDMA, "^SIMST: 255", ""},
        // WCDMA has no registration rows: the catch-all takes them
        {RIL_FAMILY_WCDMA, "+CREG: 1", ""},
        {RIL_FAMILY_LTE, "+CREG: 1", "+CREG:"},
        {RIL_FAMILY_LTE, "RINGING", "RING"},
        {RIL_FAMILY_CDMA, "+CPIN: READY", ""},
        {RIL_FAMILY_WCDMA, "+CPIN: READY", "+CPIN: READY"},
        {RIL_FAMILY_WCDMA, "+CPIN: READ", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ril_unsol_dispatch(c.family, c.line, nullptr), rowOf(c.family, c.row))
            << c.family << " " << c.line;
}

TEST_F(Dispatch, HostileLinesEndOnTheCatchAllOrTheirRow) {
    std::string oversize(8 * 1024, 'A');
    std::string withControls = std::string("^SIMC\r\nAT+CFUN=0;\x1a") + std::string(1, '\0') + "tail";
    for (int family : {RIL_FAMILY_CDMA, RIL_FAMILY_WCDMA, RIL_FAMILY_LTE}) {
        size_t n = 0;
        ril_unsol_rows(family, &n);
        EXPECT_EQ(ril_unsol_dispatch(family, "", nullptr), (int)n - 1);
        EXPECT_EQ(ril_unsol_dispatch(family, oversize.c_str(), oversize.c_str()), (int)n - 1);
        EXPECT_EQ(ril_unsol_dispatch(family, "\xff\xfe\x80", "\x01"), (int)n - 1);
        EXPECT_EQ(ril_unsol_dispatch(family, "%CTZ", nullptr), (int)n - 1);
    }
    // a line that begins with a row's prefix is that row's, whatever follows
    EXPECT_EQ(ril_unsol_dispatch(RIL_FAMILY_WCDMA, withControls.c_str(), nullptr),
              rowOf(RIL_FAMILY_WCDMA, "^SIMC"));
}

// Through the AT channel: lines the module sends on its own reach the
// family's handler on the reader thread.
TEST_F(Dispatch, TheChannelDeliversModuleLinesToTheTable) {
    riltest::ScriptedPeer peer;
    peer.inject("+CREG: 1");
    peer.inject("^SIMCHG: 1");
    peer.inject("+SIMCARD: NOT AVAILABLE");
    int fd = peer.openSlave();
    ASSERT_GE(fd, 0);
    ASSERT_EQ(at_open(fd, onUnsolicited_lte), 0);
    EXPECT_TRUE(riltest::waitUntil([] { return Recorder::taken().size() >= 2; }, 20s));
    at_close();
    EXPECT_EQ(Recorder::taken(), (std::vector<RIL_TimedCallback>{onSimCardChange_lte, OnSimCardRemove_lte}));
    peer.verify();
}

}  // namespace
