// Call control, DTMF, mute and the supplementary services of the three
// families against the scripted module: the exact commands, the results,
// and hostile request data that must never reach the module.
#include <string.h>

#include <string>
#include <vector>

#include "calls_fixture.h"
#include "daemon_harness.h"
#include "ril_handlers.h"

using calltest::Calls;
using riltest::Reply;
using Lines = std::vector<std::string>;
using namespace std::chrono_literals;

namespace {

const Reply kOk{"OK"};
const Reply kError{"ERROR"};

RIL_Dial dial(const char *address, int clir = 0) {
    RIL_Dial d{};
    d.address = const_cast<char *>(address);
    d.clir = clir;
    return d;
}

/* ---------------- dial ---------------- */

TEST_F(Calls, DialCommandsOfEachFamily) {
    struct {
        RilRequestHandler h;
        int clir, isCdma, isSrlte;
        const char *cmd;
    } cases[] = {{OnWCDMA_RIL_REQUEST_DIAL, 1, 0, 0, "ATD10086;"},
                 {OnLTE_RIL_REQUEST_DIAL, 0, 0, 0, "ATD10086;"},
                 {OnLTE_RIL_REQUEST_DIAL, 0, 1, 0, "AT+CDV10086;"},
                 {OnLTE_RIL_REQUEST_DIAL, 0, 0, 1, "AT+CDV10086;"},
                 {OnCDMA_RIL_REQUEST_DIAL, 0, 0, 0, "AT+CDV10086"},
                 {OnCDMA_RIL_REQUEST_DIAL, 1, 0, 0, "AT+CDV10086I"},
                 {OnCDMA_RIL_REQUEST_DIAL, 2, 0, 0, "AT+CDV10086i"}};
    for (const auto &c : cases) peer.expect(c.cmd, kOk);
    open(calltest::noUnsol);
    for (const auto &c : cases) {
        is_cdma = c.isCdma;
        is_srlte = c.isSrlte;
        G_incall = 0;
        RIL_Dial d = dial("10086", c.clir);
        EXPECT_EQ(run(c.h, &d, sizeof(d)).error, RIL_E_SUCCESS) << c.cmd;
        EXPECT_EQ(G_incall, 1) << c.cmd;
    }
    EXPECT_EQ(s_needdoublecheck, 1);
    peer.verify();
}

TEST_F(Calls, FailedDialQueriesRegistrationForTheLog) {
    struct {
        RilRequestHandler h;
        int fdd, type, is9x07, isCdma;
        const char *query;
    } cases[] = {{OnWCDMA_RIL_REQUEST_DIAL, 0, 1, 0, 0, "AT+CREG?"},
                 {OnLTE_RIL_REQUEST_DIAL, 1, 3, 0, 0, "AT+CCREG?"},
                 {OnLTE_RIL_REQUEST_DIAL, 1, 4, 0, 1, "AT^SYSINFO"},
                 {OnLTE_RIL_REQUEST_DIAL, 0, 3, 1, 0, "AT+CREG?"}};
    for (const auto &c : cases)
        peer.expect(c.isCdma ? "AT+CDV112;" : "ATD112;", {"+CME ERROR: 30"}).expect(c.query, kOk);
    open(calltest::noUnsol);
    for (const auto &c : cases) {
        is_fddandevdo = c.fdd;
        g_moduletype = c.type;
        s_is9X07 = c.is9x07;
        is_cdma = c.isCdma;
        RIL_Dial d = dial("112");
        EXPECT_EQ(run(c.h, &d, sizeof(d)).error, RIL_E_GENERIC_FAILURE) << c.query;
    }
    peer.verify();
}

TEST_F(Calls, CdmaDialSucceedsOnOrigAfterAnError) {
    // ERROR, then ^ORIG: within the 3 s window
    peer.expect("AT+CDV10086", {"ERROR", "^ORIG:1,0"});
    open(onUnsolicited_cdma);
    RIL_Dial d = dial("10086");
    EXPECT_EQ(run(OnCDMA_RIL_REQUEST_DIAL, &d, sizeof(d)).error, RIL_E_SUCCESS);
    EXPECT_EQ(G_incall, 1);
    peer.verify();
}

TEST_F(Calls, CdmaDialGivesUpAfterThreeAttemptsEachEndedWithChv) {
    for (int i = 0; i < 3; i++) peer.expect("AT+CDV10086", kError).expect("AT+CHV", kOk);
    open(onUnsolicited_cdma);
    RIL_Dial d = dial("10086");
    EXPECT_EQ(run(OnCDMA_RIL_REQUEST_DIAL, &d, sizeof(d)).error, RIL_E_GENERIC_FAILURE);
    peer.verify();
}

TEST_F(Calls, HostileDialStringsCompleteOnceAndSendNothing) {
    const std::string oversize(RIL_DIAL_MAX + 1, '1');
    const char *bad[] = {"", "10086;+CFUN=0", "10086\r", "10086\nAT+CFUN=0", "\"10086\"", "1008\x1a",
                         "ABCD", "10086 ", "1,2", oversize.c_str()};
    open(onUnsolicited_wcdma);
    RilRequestHandler handlers[] = {OnCDMA_RIL_REQUEST_DIAL, OnWCDMA_RIL_REQUEST_DIAL, OnLTE_RIL_REQUEST_DIAL};
    for (RilRequestHandler h : handlers) {
        for (const char *b : bad) {
            RIL_Dial d = dial(b);
            EXPECT_EQ(run(h, &d, sizeof(d)).error, RIL_E_GENERIC_FAILURE) << b;
        }
        RIL_Dial d = dial(nullptr);
        EXPECT_EQ(run(h, &d, sizeof(d)).error, RIL_E_GENERIC_FAILURE);
        EXPECT_EQ(run(h, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
        d = dial("10086");
        EXPECT_EQ(run(h, &d, sizeof(d) - 1).error, RIL_E_GENERIC_FAILURE) << "short data";
    }
    peer.verify();
    EXPECT_TRUE(peer.commands().empty());
}

TEST_F(Calls, DialStringOfTheFullLengthIsSent) {
    const std::string longest(RIL_DIAL_MAX, '9');
    peer.expect("ATD" + longest + ";", kOk);
    open(calltest::noUnsol);
    RIL_Dial d = dial(longest.c_str());
    EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_DIAL, &d, sizeof(d)).error, RIL_E_SUCCESS);
    peer.verify();
}

TEST_F(Calls, NetworkEndWithStatus29RedialsWhileTheSignalHolds) {
    peer.expect("ATD10086;", {"OK", "^CEND:1,0,29,16"})
        .expect("AT+CSQ", {"+CSQ: 20,99", "OK"})
        .expect("ATD10086;", kOk);
    open(onUnsolicited_wcdma);
    RIL_Dial d = dial("10086");
    EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_DIAL, &d, sizeof(d)).error, RIL_E_SUCCESS);
    EXPECT_EQ(count1001(), 0) << "the hidden end is not reported";
    EXPECT_EQ(s_needredial, 0);
    peer.verify();
}

TEST_F(Calls, RedialStopsOnAWeakSignal) {
    peer.expect("ATD10086;", {"OK", "^CEND:1,0,29,16"}).expect("AT+CSQ", {"+CSQ: 99,99", "OK"});
    open(onUnsolicited_lte);
    RIL_Dial d = dial("10086");
    EXPECT_EQ(run(OnLTE_RIL_REQUEST_DIAL, &d, sizeof(d)).error, RIL_E_SUCCESS);
    peer.verify();
}

TEST_F(Calls, RedialLoopIsBounded) {
    for (int i = 0; i < RIL_REDIAL_MAX; i++)
        peer.expect("ATD10086;", {"OK", "^CEND:1,0,29,16"}).expect("AT+CSQ", {"+CSQ: 20,99", "OK"});
    peer.expect("ATD10086;", {"OK", "^CEND:1,0,29,16"});
    open(onUnsolicited_wcdma);
    RIL_Dial d = dial("10086");
    EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_DIAL, &d, sizeof(d)).error, RIL_E_SUCCESS);
    peer.verify();
}

TEST_F(Calls, AnIdleStatus29EndDoesNotMakeTheNextDialDialTwice) {
    peer.inject("^CEND:1,5,29,16").expect("ATD10086;", kOk);
    open(onUnsolicited_wcdma);
    ASSERT_TRUE(riltest::waitUntil([] { return s_needredial == 1; }, 5s));
    RIL_Dial d = dial("10086");
    EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_DIAL, &d, sizeof(d)).error, RIL_E_SUCCESS);
    peer.verify();
    EXPECT_EQ(peer.commands(), Lines{"ATD10086;"});
}

TEST_F(Calls, DialTellsThePluginFirst) {
    static std::vector<int> events;
    g_peventfun = [](kv_atfunc, int e, void *) { events.push_back(e); };
    peer.expect("ATD10086;", kOk);
    open(calltest::noUnsol);
    RIL_Dial bad = dial("1;2");
    run(OnWCDMA_RIL_REQUEST_DIAL, &bad, sizeof(bad));
    RIL_Dial d = dial("10086");
    run(OnWCDMA_RIL_REQUEST_DIAL, &d, sizeof(d));
    EXPECT_EQ(events, std::vector<int>{0}) << "a refused dial string starts no call";
    g_peventfun = nullptr;
    peer.verify();
}

/* ---------------- hang-up, hold, switch ---------------- */

struct HangCase {
    const char *name;
    RilRequestHandler h;
    int callcount, isCdma, type, is9x07, isSrlte, index;
    const char *cmd;
    Reply reply;
    int error;
};
void PrintTo(const HangCase &c, std::ostream *os) { *os << c.name; }
class HangUp : public Calls, public ::testing::WithParamInterface<HangCase> {};

TEST_P(HangUp, SendsTheFamilysCommand) {
    const auto &c = GetParam();
    g_callcount = c.callcount;
    is_cdma = c.isCdma;
    g_moduletype = c.type;
    s_is9X07 = c.is9x07;
    is_srlte = c.isSrlte;
    peer.expect(c.cmd, c.reply);
    open(calltest::noUnsol);
    EXPECT_EQ(run(c.h, &c.index, sizeof(int)).error, c.error);
    peer.verify();
}

INSTANTIATE_TEST_SUITE_P(
    Commands, HangUp,
    ::testing::Values(
        HangCase{"wcdmaOneCall", OnWCDMA_RIL_REQUEST_HANGUP, 1, 0, 1, 0, 0, 1, "AT+CHUP", kOk, 0},
        HangCase{"wcdmaTwoCalls", OnWCDMA_RIL_REQUEST_HANGUP, 2, 0, 1, 0, 0, 2, "AT+CHLD=12", kOk, 0},
        HangCase{"wcdmaRefused", OnWCDMA_RIL_REQUEST_HANGUP, 1, 0, 1, 0, 0, 1, "AT+CHUP", kError, 2},
        HangCase{"lteQcchv", OnLTE_RIL_REQUEST_HANGUP, 1, 1, 0, 0, 0, 1, "AT$QCCHV", kOk, 0},
        HangCase{"lte8909Chv", OnLTE_RIL_REQUEST_HANGUP, 1, 1, 4, 0, 0, 1, "AT+CHV", kOk, 0},
        HangCase{"lteSrlteChv", OnLTE_RIL_REQUEST_HANGUP, 1, 0, 3, 1, 1, 1, "AT+CHV", kOk, 0},
        HangCase{"lte9x07CdmaChup", OnLTE_RIL_REQUEST_HANGUP, 1, 1, 3, 1, 0, 1, "AT+CHUP", kOk, 0},
        HangCase{"lteTwoCalls", OnLTE_RIL_REQUEST_HANGUP, 3, 1, 0, 0, 0, 3, "AT+CHLD=13", kOk, 0},
        HangCase{"cdmaAlwaysFails", OnCDMA_RIL_REQUEST_HANGUP, 1, 0, 2, 0, 0, 1, "AT+CHV", kOk, 2},
        HangCase{"cdmaWaiting", OnCDMA_RIL_REQUEST_HANGUP_WAITING_OR_BACKGROUND, 1, 0, 2, 0, 0, 0, "AT+CHV", kOk, 0},
        HangCase{"wcdmaWaitingOne", OnWCDMA_RIL_REQUEST_HANGUP_WAITING_OR_BACKGROUND, 1, 0, 1, 0, 0, 0, "AT+CHUP", kOk, 0},
        HangCase{"wcdmaWaitingTwo", OnWCDMA_RIL_REQUEST_HANGUP_WAITING_OR_BACKGROUND, 2, 0, 1, 0, 0, 0, "AT+CHLD=0", kOk, 0},
        HangCase{"lteWaitingCdma", OnLTE_RIL_REQUEST_HANGUP_WAITING_OR_BACKGROUND, 1, 1, 3, 0, 0, 0, "AT$QCCHV", kOk, 0},
        HangCase{"lteWaitingTwo", OnLTE_RIL_REQUEST_HANGUP_WAITING_OR_BACKGROUND, 2, 1, 3, 0, 0, 0, "AT+CHLD=0", kError, 2},
        HangCase{"wcdmaForegroundOne", OnWCDMA_RIL_REQUEST_HANGUP_FOREGROUND_RESUME_BACKGROUND, 1, 0, 1, 0, 0, 0, "AT+CHUP", kOk, 0},
        HangCase{"wcdmaForegroundTwo", OnWCDMA_RIL_REQUEST_HANGUP_FOREGROUND_RESUME_BACKGROUND, 2, 0, 1, 0, 0, 0, "AT+CHLD=1", kOk, 0},
        HangCase{"lteForegroundOneFails", OnLTE_RIL_REQUEST_HANGUP_FOREGROUND_RESUME_BACKGROUND, 1, 0, 3, 0, 0, 0, "AT+CHUP", kOk, 2},
        HangCase{"lteForegroundTwo", OnLTE_RIL_REQUEST_HANGUP_FOREGROUND_RESUME_BACKGROUND, 2, 0, 3, 0, 0, 0, "AT+CHLD=1", kOk, 0},
        HangCase{"cdmaSwitch", OnCDMA_RIL_REQUEST_SWITCH_WAITING_OR_HOLDING_AND_ACTIVE, 2, 0, 2, 0, 0, 0, "AT+CHLD=2", kOk, 0},
        HangCase{"wcdmaConference", OnWCDMA_RIL_REQUEST_CONFERENCE, 2, 0, 1, 0, 0, 0, "AT+CHLD=3", kOk, 0},
        HangCase{"lteConferenceRefused", OnLTE_RIL_REQUEST_CONFERENCE, 2, 0, 3, 0, 0, 0, "AT+CHLD=3", kError, 2},
        HangCase{"separate1", OnWCDMA_RIL_REQUEST_SEPARATE_CONNECTION, 2, 0, 1, 0, 0, 1, "AT+CHLD=21", kOk, 0},
        HangCase{"separate9", OnCDMA_RIL_REQUEST_SEPARATE_CONNECTION, 2, 0, 2, 0, 0, 9, "AT+CHLD=29", kOk, 0},
        HangCase{"cdmaAnswer", OnCDMA_RIL_REQUEST_ANSWER, 1, 0, 2, 0, 0, 0, "AT^CAV", kOk, 0},
        HangCase{"cdmaAnswerRefused", OnCDMA_RIL_REQUEST_ANSWER, 1, 0, 2, 0, 0, 0, "AT^CAV", kError, 2},
        HangCase{"wcdmaAnswerIgnoresTheAnswer", OnWCDMA_RIL_REQUEST_ANSWER, 1, 0, 1, 0, 0, 0, "ATA", kError, 0},
        HangCase{"udubIsAth", OnLTE_RIL_REQUEST_UDUB, 2, 0, 3, 0, 0, 0, "ATH", kError, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Calls, HangUpArmsTheUserMarkAndItsEndIsReported) {
    g_callcount = 1;
    peer.expect("AT+CHUP", {"OK", "^CEND:1,30,29,16"});
    open(onUnsolicited_wcdma);
    int index = 1;
    EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_HANGUP, &index, sizeof(index)).error, RIL_E_SUCCESS);
    ASSERT_TRUE(env.waitNotification(RIL_UNSOL_RESPONSE_CALL_STATE_CHANGED));
    EXPECT_EQ(s_userhangup, 0);
    EXPECT_EQ(s_needredial, 0);
    peer.verify();
}

TEST_F(Calls, SeparateOutsideOneToNineAndMissingDataSendNothing) {
    open(calltest::noUnsol);
    for (int index : {0, 10, -1, 100}) {
        EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_SEPARATE_CONNECTION, &index, sizeof(index)).error, RIL_E_GENERIC_FAILURE);
        EXPECT_EQ(run(OnCDMA_RIL_REQUEST_SEPARATE_CONNECTION, &index, sizeof(index)).error, RIL_E_GENERIC_FAILURE);
    }
    EXPECT_EQ(run(OnLTE_RIL_REQUEST_SEPARATE_CONNECTION, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
    EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_HANGUP, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
    short half = 1;
    EXPECT_EQ(run(OnLTE_RIL_REQUEST_HANGUP, &half, sizeof(half)).error, RIL_E_GENERIC_FAILURE);
    peer.verify();
    EXPECT_TRUE(peer.commands().empty());
}

TEST_F(Calls, SwitchWithTheWaitIndexOnModuleType0AndItsFallback) {
    g_moduletype = 0;
    g_callcount = 2;
    s_calls_wcdma.waitIndex = 2;
    s_calls_wcdma.activeIndex = 1;
    peer.expect("AT+CHLD=22", kOk).expect("AT+CHLD=22", kError).expect("AT+CHLD=21", kOk);
    open(calltest::noUnsol);
    EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_SWITCH_WAITING_OR_HOLDING_AND_ACTIVE).error, RIL_E_SUCCESS);
    EXPECT_EQ(s_calls_wcdma.rememberedActive, 2);
    EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_SWITCH_WAITING_OR_HOLDING_AND_ACTIVE).error, RIL_E_GENERIC_FAILURE);
    EXPECT_EQ(count1001(), 2) << "each switch reports a call-state change";
    peer.verify();
}

TEST_F(Calls, SwitchOnOtherModulesIsPlainChld2) {
    g_moduletype = 3;
    g_callcount = 2;
    s_calls_lte.waitIndex = 2;
    peer.expect("AT+CHLD=2", kOk);
    open(calltest::noUnsol);
    EXPECT_EQ(run(OnLTE_RIL_REQUEST_SWITCH_WAITING_OR_HOLDING_AND_ACTIVE).error, RIL_E_SUCCESS);
    peer.verify();
}

TEST_F(Calls, LteAnswerMarksTheCallConnectedAndReports) {
    is_callconnected = 4;
    peer.expect("ATA", kOk);
    open(calltest::noUnsol);
    EXPECT_EQ(run(OnLTE_RIL_REQUEST_ANSWER).error, RIL_E_SUCCESS);
    EXPECT_EQ(is_callconnected, 0);
    EXPECT_EQ(count1001(), 1);
    peer.verify();
}

TEST_F(Calls, LastCallFailCauseIsNormalClearing) {
    open(calltest::noUnsol);
    for (RilRequestHandler h : {OnCDMA_RIL_REQUEST_LAST_CALL_FAIL_CAUSE, OnWCDMA_RIL_REQUEST_LAST_CALL_FAIL_CAUSE,
                                OnLTE_RIL_REQUEST_LAST_CALL_FAIL_CAUSE}) {
        auto done = run(h);
        ASSERT_EQ(done.data.size(), sizeof(int));
        int cause = 0;
        memcpy(&cause, done.data.data(), sizeof(int));
        EXPECT_EQ(cause, 16);
    }
    EXPECT_TRUE(peer.commands().empty());
}

/* ---------------- DTMF and mute ---------------- */

TEST_F(Calls, DtmfCommands) {
    s_calls_wcdma.lastVoiceIndex = 2;
    s_calls_lte.lastVoiceIndex = 3;
    s_calls_cdma.activeIndex = 1;
    peer.expect("AT+VTS=5", kOk)
        .expect("AT^DTMF= 7, 5", kOk)
        .expect("AT^DTMF=2, #, 0, 0", kError)
        .expect("AT^CDTMF=3, *", kOk)
        .expect("AT^DTMF= A", kOk)
        .expect("AT^DTMF=1,123,150,150", kOk)
        .expect("AT^DTMF=2, 9#, 0, 0", kOk)
        .expect("AT^DTMF=3, 1, 0, 0", kError);
    open(calltest::noUnsol);
    EXPECT_EQ(run(OnCDMA_RIL_REQUEST_DTMF, "5", 2).error, RIL_E_SUCCESS);
    EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_DTMF, "5", 2).error, RIL_E_SUCCESS) << "no command";
    EXPECT_EQ(run(OnLTE_RIL_REQUEST_DTMF, "5", 2).error, RIL_E_SUCCESS) << "no command";
    g_moduletype = 1;
    EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_DTMF_START, "7", 2).error, RIL_E_SUCCESS);
    g_moduletype = 0;
    EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_DTMF_START, "#", 2).error, RIL_E_GENERIC_FAILURE);
    is_cdma = 1;
    EXPECT_EQ(run(OnLTE_RIL_REQUEST_DTMF_START, "*", 2).error, RIL_E_SUCCESS);
    is_cdma = 0;
    EXPECT_EQ(run(OnLTE_RIL_REQUEST_DTMF_START, "A", 2).error, RIL_E_SUCCESS);
    EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_DTMF_STOP).error, RIL_E_SUCCESS);
    const char *cdmaBurst[] = {"123", "999", "999"};
    EXPECT_EQ(run(OnCDMA_RIL_REQUEST_CDMA_BURST_DTMF, cdmaBurst, sizeof(cdmaBurst)).error, RIL_E_SUCCESS);
    // without a reply prefix the final result decides
    const char *burst[] = {"9#", "100", "100"};
    EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_CDMA_BURST_DTMF, burst, sizeof(burst)).error, RIL_E_SUCCESS);
    const char *burst1[] = {"1", "100", "100"};
    EXPECT_EQ(run(OnLTE_RIL_REQUEST_CDMA_BURST_DTMF, burst1, sizeof(burst1)).error, RIL_E_GENERIC_FAILURE);
    peer.verify();
}

TEST_F(Calls, HostileTonesCompleteOnceAndSendNothing) {
    open(calltest::noUnsol);
    const std::string oversize(RIL_DIAL_MAX + 1, '1');
    const char *bad[] = {"", "1;+CFUN=0", "1\r", "\n", "\"", "\x1a", "E", "a", oversize.c_str()};
    RilRequestHandler stringHandlers[] = {OnCDMA_RIL_REQUEST_DTMF, OnWCDMA_RIL_REQUEST_DTMF_START,
                                          OnLTE_RIL_REQUEST_DTMF_START, OnWCDMA_RIL_REQUEST_DTMF};
    RilRequestHandler burstHandlers[] = {OnCDMA_RIL_REQUEST_CDMA_BURST_DTMF, OnWCDMA_RIL_REQUEST_CDMA_BURST_DTMF,
                                         OnLTE_RIL_REQUEST_CDMA_BURST_DTMF};
    for (const char *b : bad) {
        for (RilRequestHandler h : stringHandlers)
            EXPECT_EQ(run(h, b, strlen(b) + 1).error, RIL_E_GENERIC_FAILURE) << b;
        const char *strings[] = {b, "150", "150"};
        for (RilRequestHandler h : burstHandlers)
            EXPECT_EQ(run(h, strings, sizeof(strings)).error, RIL_E_GENERIC_FAILURE) << b;
    }
    const char unterminated[2] = {'1', '2'};
    const char *nothing[] = {nullptr, nullptr, nullptr};
    for (RilRequestHandler h : stringHandlers) {
        EXPECT_EQ(run(h, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
        EXPECT_EQ(run(h, unterminated, sizeof(unterminated)).error, RIL_E_GENERIC_FAILURE);
    }
    for (RilRequestHandler h : burstHandlers) {
        EXPECT_EQ(run(h, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
        EXPECT_EQ(run(h, nothing, sizeof(nothing)).error, RIL_E_GENERIC_FAILURE);
    }
    peer.verify();
    EXPECT_TRUE(peer.commands().empty());
}

TEST_F(Calls, MuteOfEachFamily) {
    peer.expect("AT+CLVL=6", kError).expect("AT+CMUT=0", kError).expect("AT+CMUT=1", kOk).expect("AT+CMUT=1", kOk);
    open(calltest::noUnsol);
    int off = 0, on = 1;
    EXPECT_EQ(run(OnCDMA_RIL_REQUEST_SET_MUTE, &on, sizeof(on)).error, RIL_E_SUCCESS) << "built, not sent";
    EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_SET_MUTE, &off, sizeof(off)).error, RIL_E_SUCCESS);
    EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_SET_MUTE, &on, sizeof(on)).error, RIL_E_SUCCESS);
    s_callactive = 0;
    EXPECT_EQ(run(OnLTE_RIL_REQUEST_SET_MUTE, &on, sizeof(on)).error, RIL_E_SUCCESS) << "no call: nothing sent";
    s_callactive = 1;
    EXPECT_EQ(run(OnLTE_RIL_REQUEST_SET_MUTE, &on, sizeof(on)).error, RIL_E_SUCCESS);
    for (RilRequestHandler h : {OnCDMA_RIL_REQUEST_SET_MUTE, OnWCDMA_RIL_REQUEST_SET_MUTE, OnLTE_RIL_REQUEST_SET_MUTE})
        EXPECT_EQ(run(h, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
    peer.verify();
}

/* ---------------- supplementary services ---------------- */

TEST_F(Calls, ClirQueryAndSet) {
    peer.expect("AT+CLIR?", {"+CLIR: 1,4", "OK"})
        .expect("AT+CLIR?", {"+CLIR: 1", "OK"})
        .expect("AT+CLIR?", kError)
        .expect("AT+CLIR=2", kOk)
        .expect("AT+CLIR=0", kError);
    open(calltest::noUnsol);
    auto done = run(OnWCDMA_RIL_REQUEST_GET_CLIR);
    ASSERT_EQ(done.error, RIL_E_SUCCESS);
    ASSERT_EQ(done.data.size(), 2 * sizeof(int));
    int v[2];
    memcpy(v, done.data.data(), sizeof(v));
    EXPECT_EQ(v[0], 1);
    EXPECT_EQ(v[1], 4);
    EXPECT_EQ(run(OnLTE_RIL_REQUEST_GET_CLIR).error, RIL_E_GENERIC_FAILURE);
    EXPECT_EQ(run(OnLTE_RIL_REQUEST_GET_CLIR).error, RIL_E_GENERIC_FAILURE);
    int two = 2;
    EXPECT_EQ(run(OnLTE_RIL_REQUEST_SET_CLIR, &two, sizeof(two)).error, RIL_E_SUCCESS);
    EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_SET_CLIR, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
    peer.verify();
}

TEST_F(Calls, ForwardingQueryFillsOneRecord) {
    peer.expect("AT+CCFC=0, 2", {"+CCFC: 0,7", "OK"})
        .expect("AT+CCFC=1, 2", {"+CCFC: 1,1,\"+8613800000000\",145", "+CCFC: 1,4,\"222\",129", "OK"})
        .expect("AT+CCFC=2, 2", {"+CCFC: 1,1", "OK"})
        .expect("AT+CCFC=3, 2", kError);
    open(calltest::noUnsol);
    RIL_CallForwardInfo req{};
    req.reason = 0;
    ASSERT_EQ(run(OnWCDMA_RIL_REQUEST_QUERY_CALL_FORWARD_STATUS, &req, sizeof(req), 2).error, RIL_E_SUCCESS);
    auto c = last();
    EXPECT_EQ(c.len, sizeof(RIL_CallForwardInfo *));
    ASSERT_EQ(c.forwards.size(), 1u);
    EXPECT_EQ(c.forwards[0].status, 0);
    EXPECT_EQ(c.forwards[0].reason, 0);
    EXPECT_EQ(c.forwards[0].serviceClass, 1);
    EXPECT_EQ(c.forwardNumbers[0], "");
    req.reason = 1;
    ASSERT_EQ(run(OnLTE_RIL_REQUEST_QUERY_CALL_FORWARD_STATUS, &req, sizeof(req), 2).error, RIL_E_SUCCESS);
    c = last();
    ASSERT_EQ(c.forwards.size(), 1u) << "only the first line is used";
    EXPECT_EQ(c.forwards[0].status, 1);
    EXPECT_EQ(c.forwards[0].toa, 145);
    EXPECT_EQ(c.forwardNumbers[0], "+8613800000000");
    EXPECT_EQ(c.forwards[0].timeSeconds, 0);
    req.reason = 2;
    ASSERT_EQ(run(OnLTE_RIL_REQUEST_QUERY_CALL_FORWARD_STATUS, &req, sizeof(req), 2).error, RIL_E_SUCCESS);
    EXPECT_EQ(last().forwardNumbers[0], "") << "what was read before the short line ended";
    req.reason = 3;
    EXPECT_EQ(run(OnLTE_RIL_REQUEST_QUERY_CALL_FORWARD_STATUS, &req, sizeof(req), 2).error, RIL_E_GENERIC_FAILURE);
    EXPECT_EQ(run(OnLTE_RIL_REQUEST_QUERY_CALL_FORWARD_STATUS, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
    peer.verify();
}

TEST_F(Calls, ForwardingSetAlwaysSends30AndAnEmptyFieldForNoNumber) {
    peer.expect("AT+CCFC=0,3,+8613800000000,145,1,,,30", kOk).expect("AT+CCFC=0,0,,129,1,,,30", kError);
    open(calltest::noUnsol);
    RIL_CallForwardInfo req{};
    req.status = 3;
    req.reason = 0;
    req.serviceClass = 1;
    req.toa = 145;
    req.number = const_cast<char *>("+8613800000000");
    req.timeSeconds = 5;
    EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_SET_CALL_FORWARD, &req, sizeof(req)).error, RIL_E_SUCCESS);
    req.status = 0;
    req.toa = 129;
    req.number = nullptr;
    EXPECT_EQ(run(OnLTE_RIL_REQUEST_SET_CALL_FORWARD, &req, sizeof(req)).error, RIL_E_GENERIC_FAILURE);
    peer.verify();
}

TEST_F(Calls, HostileForwardingNumbersSendNothing) {
    open(calltest::noUnsol);
    const std::string oversize(RIL_DIAL_MAX + 1, '1');
    const char *bad[] = {"1,,,0;+CFUN=0", "123\r", "12\n3", "\"123\"", "1\x1a", "12 3", oversize.c_str()};
    for (const char *b : bad) {
        RIL_CallForwardInfo req{};
        req.number = const_cast<char *>(b);
        EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_SET_CALL_FORWARD, &req, sizeof(req)).error, RIL_E_GENERIC_FAILURE) << b;
        EXPECT_EQ(run(OnLTE_RIL_REQUEST_SET_CALL_FORWARD, &req, sizeof(req)).error, RIL_E_GENERIC_FAILURE) << b;
    }
    RIL_CallForwardInfo req{};
    EXPECT_EQ(run(OnLTE_RIL_REQUEST_SET_CALL_FORWARD, &req, sizeof(req) - 1).error, RIL_E_GENERIC_FAILURE);
    EXPECT_EQ(run(OnLTE_RIL_REQUEST_SET_CALL_FORWARD, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
    peer.verify();
    EXPECT_TRUE(peer.commands().empty());
}

TEST_F(Calls, CallWaitingQuerySetsTheFlagAndAFailureKeepsIt) {
    peer.expect("AT+CCWA=,2, 1", {"+CCWA: 0,1", "OK"})
        .expect("AT+CCWA=,2, 1", {"+CCWA: 1,1", "OK"})
        .expect("AT+CCWA=,2, 1", kError)
        .expect("AT+CCWA=,1, 1", kOk)
        .expect("AT+CCWA=,2, 1", {"+CCWA: 1,1", "OK"});
    open(calltest::noUnsol);
    int cls = 1;
    auto done = run(OnWCDMA_RIL_REQUEST_QUERY_CALL_WAITING, &cls, sizeof(cls));
    ASSERT_EQ(done.error, RIL_E_SUCCESS);
    int v[2];
    ASSERT_EQ(done.data.size(), sizeof(v));
    memcpy(v, done.data.data(), sizeof(v));
    EXPECT_EQ(v[0], 0);
    EXPECT_EQ(v[1], 1);
    EXPECT_EQ(s_callwaiting_wcdma, 0);
    EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_QUERY_CALL_WAITING, &cls, sizeof(cls)).error, RIL_E_SUCCESS);
    EXPECT_EQ(s_callwaiting_wcdma, 1);
    EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_QUERY_CALL_WAITING, &cls, sizeof(cls)).error, RIL_E_GENERIC_FAILURE);
    EXPECT_EQ(s_callwaiting_wcdma, 1) << "a failed query keeps the flag";
    EXPECT_EQ(run(OnWCDMA_RIL_REQUEST_QUERY_CALL_WAITING, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
    EXPECT_EQ(s_callwaiting_wcdma, 1);
    int set[2] = {1, 7};
    EXPECT_EQ(run(OnLTE_RIL_REQUEST_SET_CALL_WAITING, set, sizeof(set)).error, RIL_E_SUCCESS);
    EXPECT_EQ(run(OnLTE_RIL_REQUEST_SET_CALL_WAITING, set, sizeof(int)).error, RIL_E_GENERIC_FAILURE);
    EXPECT_EQ(GetCCWAStatus(), 1);
    peer.verify();
}

}  // namespace
