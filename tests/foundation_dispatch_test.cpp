// Admission rules of the three families' onRequest, radio-state changes and
// what they report, and the entry points' records.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <thread>

#include "daemon_harness.h"
#include "recording_env.h"
#include "usb_discovery.h"
#include "ril_families.h"
#include "ril_log.h"

using riltest::Completion;
using riltest::RecordingEnv;

// Probe handlers: these take the slots of a few requests in this test
// program (they override the library's own handlers), so admission can be
// observed independently of what the handlers do.
static std::atomic<int> g_probeCalls{0};
static std::atomic<int> g_probeCode{-1};
#define PROBE(name, code)                                              \
    extern "C" void name(void *, size_t, RIL_Token t);                 \
    extern "C" void name(void *, size_t, RIL_Token t) {                \
        g_probeCalls++;                                                \
        g_probeCode = code;                                            \
        (void)t;                                                       \
    }
PROBE(OnCDMA_RIL_REQUEST_GET_SIM_STATUS, 1)
PROBE(OnCDMA_RIL_REQUEST_SIGNAL_STRENGTH, 19)
PROBE(OnCDMA_RIL_REQUEST_RADIO_POWER, 23)
PROBE(OnWCDMA_RIL_REQUEST_GET_SIM_STATUS, 1)
PROBE(OnWCDMA_RIL_REQUEST_SIGNAL_STRENGTH, 19)
PROBE(OnWCDMA_RIL_REQUEST_RADIO_POWER, 23)
PROBE(OnLTE_RIL_REQUEST_GET_SIM_STATUS, 1)
PROBE(OnLTE_RIL_REQUEST_SIGNAL_STRENGTH, 19)
PROBE(OnLTE_RIL_REQUEST_RADIO_POWER, 23)

namespace {

constexpr int HANDLER = -1;  // expected: the handler ran, nothing completed here

struct AdmissionCase {
    int family;
    RIL_RadioState state;
    int channelClosed;
    int code;
    bool nullDataWithLength;
    int expected;  // RIL_Errno, or HANDLER
};
// readable, stable test names
void PrintTo(const AdmissionCase &c, std::ostream *os) {
    *os << "family " << c.family << ", state " << c.state << ", closed " << c.channelClosed << ", request " << c.code
        << (c.nullDataWithLength ? ", null data with a length" : "") << " -> " << c.expected;
}

void setFamily(int family, RIL_RadioState state, int closed) {
    RIL_RadioState *states[] = {&s_radio_state_cdma, &s_radio_state_wcdma, &s_radio_state_lte};
    int *flags[] = {&s_channel_closed_cdma, &s_channel_closed_wcdma, &s_channel_closed_lte};
    *states[family] = state;
    *flags[family] = closed;
}

void dispatch(int family, int code, void *data, size_t len, long token) {
    RIL_RequestFunc f[] = {onRequest_cdma, onRequest_wcdma, onRequest_lte};
    f[family](code, data, len, RecordingEnv::token(token));
}

class Admission : public ::testing::TestWithParam<AdmissionCase> {};

TEST_P(Admission, RejectsOrDispatchesAsTheFamilyTableSays) {
    const AdmissionCase &c = GetParam();
    RecordingEnv rec;
    s_rilenv = s_rilenv_wcdma = s_rilenv_lte = rec.env();
    setFamily(c.family, c.state, c.channelClosed);
    int payload = 1;
    g_probeCalls = 0;
    dispatch(c.family, c.code, c.nullDataWithLength ? nullptr : &payload,
             c.nullDataWithLength ? 4 : sizeof(payload), 7);
    auto done = rec.completions(7);
    if (c.expected == HANDLER) {
        EXPECT_EQ(g_probeCalls, 1);
        EXPECT_EQ(g_probeCode, c.code);
        EXPECT_TRUE(done.empty());
    } else {
        EXPECT_EQ(g_probeCalls, 0);
        ASSERT_EQ(done.size(), 1u);
        EXPECT_EQ(done[0].error, c.expected);
        EXPECT_TRUE(done[0].data.empty());
    }
}

const AdmissionCase kAdmission[] = {
    // CDMA
    {0, RADIO_STATE_UNAVAILABLE, 0, 23, false, RIL_E_RADIO_NOT_AVAILABLE},
    {0, RADIO_STATE_UNAVAILABLE, 0, 1, false, HANDLER},
    {0, RADIO_STATE_OFF, 0, 23, false, HANDLER},
    {0, RADIO_STATE_OFF, 0, 1, false, HANDLER},
    {0, RADIO_STATE_OFF, 0, 19, false, RIL_E_RADIO_NOT_AVAILABLE},
    {0, RADIO_STATE_RUIM_READY, 0, 19, false, HANDLER},
    {0, RADIO_STATE_RUIM_READY, 0, 8, false, RIL_E_REQUEST_NOT_SUPPORTED},
    {0, RADIO_STATE_RUIM_READY, 0, 124, false, RIL_E_GENERIC_FAILURE},
    {0, RADIO_STATE_RUIM_READY, 0, -1, false, RIL_E_GENERIC_FAILURE},
    {0, RADIO_STATE_RUIM_READY, 0, 19, true, RIL_E_GENERIC_FAILURE},
    // WCDMA
    {1, RADIO_STATE_UNAVAILABLE, 0, 23, false, RIL_E_RADIO_NOT_AVAILABLE},
    {1, RADIO_STATE_UNAVAILABLE, 0, 1, false, HANDLER},
    {1, RADIO_STATE_OFF, 0, 23, false, HANDLER},
    {1, RADIO_STATE_OFF, 0, 19, false, RIL_E_RADIO_NOT_AVAILABLE},
    {1, RADIO_STATE_SIM_READY, 0, 19, false, HANDLER},
    {1, RADIO_STATE_SIM_READY, 1, 19, false, RIL_E_GENERIC_FAILURE},
    {1, RADIO_STATE_SIM_READY, 0, 8, false, RIL_E_GENERIC_FAILURE},
    {1, RADIO_STATE_SIM_READY, 0, 136, false, RIL_E_GENERIC_FAILURE},
    {1, RADIO_STATE_SIM_READY, 0, -5, false, RIL_E_GENERIC_FAILURE},
    {1, RADIO_STATE_SIM_READY, 0, 19, true, RIL_E_GENERIC_FAILURE},
    // LTE: no radio-state rule at all
    {2, RADIO_STATE_UNAVAILABLE, 0, 19, false, HANDLER},
    {2, RADIO_STATE_OFF, 0, 19, false, HANDLER},
    {2, RADIO_STATE_ON, 1, 19, false, RIL_E_RADIO_NOT_AVAILABLE},
    {2, RADIO_STATE_ON, 0, 8, false, RIL_E_GENERIC_FAILURE},
    {2, RADIO_STATE_ON, 0, 136, false, RIL_E_REQUEST_NOT_SUPPORTED},
    {2, RADIO_STATE_ON, 0, -1, false, RIL_E_REQUEST_NOT_SUPPORTED},
    {2, RADIO_STATE_ON, 0, 19, true, RIL_E_GENERIC_FAILURE},
};

INSTANTIATE_TEST_SUITE_P(Families, Admission, ::testing::ValuesIn(kAdmission));

TEST(CdmaChannelWait, RequestWaitsForTheChannelToReopen) {
    setenv("RIL_TIME_SCALE", "10", 1);
    RecordingEnv rec;
    s_rilenv = rec.env();
    setFamily(0, RADIO_STATE_RUIM_READY, 1);
    g_probeCalls = 0;
    // the channel reopens 1 s (scaled) later
    std::thread reopen([] {
        sleepMsec(1000);
        ril_family_set_channel_closed(&g_family_cdma, 0);
    });
    dispatch(0, 19, nullptr, 0, 3);
    reopen.join();
    EXPECT_EQ(g_probeCalls, 1);
    EXPECT_TRUE(rec.completions(3).empty());
    EXPECT_EQ(s_wait_timeouts, 0);
}

TEST(CdmaChannelWait, SecondTimedOutWaitEndsTheProcess) {
    setenv("RIL_TIME_SCALE", "20", 1);
    EXPECT_EXIT(
        {
            RecordingEnv rec;
            s_rilenv = rec.env();
            setFamily(0, RADIO_STATE_RUIM_READY, 1);
            unsigned int start = GetTickCount();
            dispatch(0, 19, nullptr, 0, 1);
            Completion c;
            if (!rec.waitCompletion(1, c) || c.error != RIL_E_RADIO_NOT_AVAILABLE) exit(3);
            if (GetTickCount() - start < 6000) exit(4);
            if (s_wait_timeouts != 1) exit(5);
            dispatch(0, 19, nullptr, 0, 2);  // ends the process with status 0
            exit(6);
        },
        ::testing::ExitedWithCode(0), "");
}

struct StateCase {
    int family;
    int hasinit;
    RIL_RadioState from;
    RIL_RadioState to;
    std::vector<int> reported;
};
void PrintTo(const StateCase &c, std::ostream *os) {
    *os << "family " << c.family << ", init " << c.hasinit << ", " << c.from << " -> " << c.to;
}

class RadioStateReports : public ::testing::TestWithParam<StateCase> {};

TEST_P(RadioStateReports, ReportsOnlyChangesAndOnlyAfterInit) {
    const StateCase &c = GetParam();
    setenv("RIL_TIME_SCALE", "50", 1);
    RecordingEnv rec;
    s_rilenv = s_rilenv_wcdma = s_rilenv_lte = rec.env();
    s_hasinit = c.hasinit;
    setFamily(c.family, c.from, 0);
    unsigned int start = GetTickCount();
    switch (c.family) {
        case 0: setRadioState_cdma(c.to); break;
        case 1: setRadioState_wcdma(c.to, __LINE__); break;
        case 2: setRadioState_lte(c.to, __LINE__); break;
    }
    unsigned int elapsed = GetTickCount() - start;
    RIL_RadioState *states[] = {&s_radio_state_cdma, &s_radio_state_wcdma, &s_radio_state_lte};
    EXPECT_EQ(*states[c.family], c.to);
    EXPECT_EQ(rec.notificationCodes(), c.reported);
    if (c.family == 2 && c.from != c.to) {
        EXPECT_GE(elapsed, 1000u);  // the LTE family's fixed sleep
    }
}

const StateCase kStates[] = {
    {0, 0, RADIO_STATE_UNAVAILABLE, RADIO_STATE_RUIM_NOT_READY, {1000}},
    {0, 0, RADIO_STATE_RUIM_READY, RADIO_STATE_RUIM_READY, {}},
    {1, 0, RADIO_STATE_UNAVAILABLE, RADIO_STATE_SIM_NOT_READY, {}},
    {1, 1, RADIO_STATE_UNAVAILABLE, RADIO_STATE_SIM_NOT_READY, {1000}},
    {1, 1, RADIO_STATE_SIM_READY, RADIO_STATE_SIM_READY, {}},
    {2, 0, RADIO_STATE_UNAVAILABLE, RADIO_STATE_SIM_LOCKED_OR_ABSENT, {}},
    {2, 1, RADIO_STATE_UNAVAILABLE, RADIO_STATE_SIM_LOCKED_OR_ABSENT, {1000, 1002, 1024, 1019}},
    {2, 1, RADIO_STATE_UNAVAILABLE, RADIO_STATE_SIM_READY, {1000, 1002, 1019}},
    {2, 1, RADIO_STATE_SIM_READY, RADIO_STATE_SIM_READY, {}},
};

INSTANTIATE_TEST_SUITE_P(Families, RadioStateReports, ::testing::ValuesIn(kStates));

TEST(RadioState, ClosedChannelForcesUnavailableAndRebroadcasts) {
    RecordingEnv rec;
    s_rilenv_wcdma = rec.env();
    s_hasinit = 1;
    setFamily(1, RADIO_STATE_UNAVAILABLE, 1);
    std::atomic<bool> woke{false};
    std::thread waiter([&] {
        pthread_mutex_lock(&s_radio_state_mutex_wcdma);
        pthread_cond_wait(&s_radio_state_cond_wcdma, &s_radio_state_mutex_wcdma);
        pthread_mutex_unlock(&s_radio_state_mutex_wcdma);
        woke = true;
    });
    // the waiter may not be waiting yet: broadcast until it wakes
    ASSERT_TRUE(riltest::waitUntil(
        [&] {
            setRadioState_wcdma(RADIO_STATE_SIM_READY, __LINE__);
            return woke.load();
        },
        std::chrono::seconds(5)));
    waiter.join();
    EXPECT_EQ(s_radio_state_wcdma, RADIO_STATE_UNAVAILABLE);
    EXPECT_TRUE(rec.notificationCodes().empty());  // no change, nothing reported
}

TEST(RadioState, NamesDifferOnlyForOn) {
    EXPECT_STREQ(radioStateToString_wcdma(RADIO_STATE_ON), "RADIO_STATE_ON");
    EXPECT_STREQ(radioStateToString_cdma(RADIO_STATE_ON), "unknown radio state.");
    EXPECT_STREQ(radioStateToString_lte(RADIO_STATE_ON), "unknown radio state.");
    EXPECT_STREQ(radioStateToString_lte(RADIO_STATE_RUIM_LOCKED_OR_ABSENT), "RADIO_STATE_RUIM_LOCKED_OR_ABSENT");
    EXPECT_STREQ(radioStateToString_cdma((RIL_RadioState)42), "unknown radio state.");
}

TEST(Entry, SapInitBeforeInitReturnsNull) {
    ASSERT_EQ(s_cardtype, 4);
    EXPECT_EQ(RIL_SAP_Init(nullptr, 0, nullptr), nullptr);
}

TEST(Entry, RecordsAndVersionTexts) {
    const RIL_RadioFunctions *records[] = {&s_callbacks_cdma, &s_callbacks_wcdma, &s_callbacks_lte};
    for (const RIL_RadioFunctions *r : records) {
        EXPECT_EQ(r->version, 15);
        EXPECT_EQ(r->supports(8), 1);
        EXPECT_EQ(r->supports(400), 1);
        const char *v = r->getVersion();
        EXPECT_EQ(strncmp(v, "EVDO&WCDMA  ", 12), 0) << v;
    }
    EXPECT_NE(strstr(s_callbacks_cdma.getVersion(), ":getVersion(vox)"), nullptr);
    const char *w = s_callbacks_wcdma.getVersion();
    EXPECT_STREQ(w + strlen(w) - 5, "(vox)");
    EXPECT_EQ(strstr(w, "getVersion"), nullptr);
    s_radio_state_lte = RADIO_STATE_SIM_READY;
    EXPECT_EQ(s_callbacks_lte.onStateRequest(), RADIO_STATE_SIM_READY);
}

TEST(Entry, CardTypeChoosesTheSmsFormat) {
    s_detected_cardtype = 0;
    EXPECT_EQ(getcardtype("/dev/ttyUSB2"), 0);
    EXPECT_EQ(PDU_SUPPORT, 0);
    EXPECT_EQ(G_USERORIGN_DATA, 1);
    s_detected_cardtype = 2;
    EXPECT_EQ(getcardtype(nullptr), 2);
    EXPECT_EQ(PDU_SUPPORT, 1);
    EXPECT_EQ(G_USERORIGN_DATA, 0);
}

}  // namespace
