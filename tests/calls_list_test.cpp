// The call list of the three families against the scripted module: captured
// and hostile "+CLCC:" replies to the calls reported, the bookkeeping left
// behind and the prompts scheduled.
#include <string>
#include <vector>

#include "calls_fixture.h"
#include "ril_handlers.h"

using calltest::Calls;
using calltest::CallCopy;
using riltest::Reply;
using Lines = std::vector<std::string>;

namespace {

// expected call: state, index, number ("" none), toa, isMT, isMpty
struct Want {
    int state, index;
    const char *number;
    int toa, isMT, isMpty;
};

void expectCalls(const std::vector<CallCopy> &got, const std::vector<Want> &want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); i++) {
        EXPECT_EQ(got[i].state, want[i].state) << i;
        EXPECT_EQ(got[i].index, want[i].index) << i;
        EXPECT_EQ(got[i].hasNumber, want[i].number[0] != '\0') << i;
        EXPECT_EQ(got[i].number, want[i].number) << i;
        EXPECT_EQ(got[i].toa, want[i].toa) << i;
        EXPECT_EQ(got[i].isMT, want[i].isMT) << i;
        EXPECT_EQ(got[i].isMpty, want[i].isMpty) << i;
        EXPECT_EQ(got[i].isVoice, 1) << i;
    }
}

struct ListCase {
    const char *name;
    Lines reply;
    std::vector<Want> gsm;   // WCDMA and LTE
    long long prompt;        // delay of the next prompt in µs, -1 none
};
void PrintTo(const ListCase &c, std::ostream *os) { *os << c.name; }

const std::string kLong(8000, '5');

std::vector<ListCase> listCases() {
    Lines many;
    for (int i = 0; i < 200; i++) many.push_back("+CLCC: " + std::to_string(i + 1) + ",1,0,0,0,\"1" + std::to_string(i) + "\",129");
    many.push_back("OK");
    std::vector<Want> manyWant;
    for (int i = 0; i < 200; i++) manyWant.push_back({0, i + 1, nullptr, 129, 1, 0});
    static std::vector<std::string> manyNumbers;
    manyNumbers.clear();
    for (int i = 0; i < 200; i++) manyNumbers.push_back("1" + std::to_string(i));
    for (int i = 0; i < 200; i++) manyWant[(size_t)i].number = manyNumbers[(size_t)i].c_str();
    return {
        {"idle", {"OK"}, {}, -1},
        {"error", {"ERROR"}, {}, -1},
        {"cmeError", {"+CME ERROR: 100"}, {}, -1},
        {"active", {"+CLCC: 1,0,0,0,0,\"10086\",129", "OK"}, {{0, 1, "10086", 129, 0, 0}}, 5000100},
        {"dialing", {"+CLCC: 1,0,2,0,0,\"10086\",129", "OK"}, {{2, 1, "10086", 129, 0, 0}}, 2000100},
        {"incomingInternational", {"+CLCC: 2,1,4,0,0,\"+8613800138000\",145", "OK"},
         {{4, 2, "+8613800138000", 145, 1, 0}}, 2000100},
        {"holdingAndWaiting",
         {"+CLCC: 1,0,1,0,0,\"10086\",129", "+CLCC: 2,1,5,0,0,\"10010\",129", "OK"},
         {{1, 1, "10086", 129, 0, 0}, {5, 2, "10010", 129, 1, 0}}, 2000100},
        {"conference", {"+CLCC: 1,0,0,0,1,\"111\",129", "+CLCC: 2,0,0,0,1,\"222\",129", "OK"},
         {{0, 1, "111", 129, 0, 1}, {0, 2, "222", 129, 0, 1}}, 5000100},
        {"noNumberFields", {"+CLCC: 1,1,4,0,0", "OK"}, {{4, 1, "", 0, 1, 0}}, 2000100},
        {"emptyNumber", {"+CLCC: 1,1,4,0,0,\"\",128", "OK"}, {{4, 1, "", 128, 1, 0}}, 2000100},
        {"undialableNumber", {"+CLCC: 1,1,0,0,0,\"abc\",129", "OK"}, {{0, 1, "", 129, 1, 0}}, 5000100},
        {"alphaFieldAfterType", {"+CLCC: 1,0,3,0,0,\"10086\",129,\"\"", "OK"}, {{3, 1, "10086", 129, 0, 0}}, 2000100},
        {"duplicateNumber", {"+CLCC: 1,0,0,0,0,\"10086\",129", "+CLCC: 2,0,0,0,0,\"10086\",129", "OK"},
         {{0, 1, "10086", 129, 0, 0}}, 5000100},
        {"duplicateStillPrompts", {"+CLCC: 1,0,0,0,0,\"10086\",129", "+CLCC: 2,1,4,0,0,\"10086\",129", "OK"},
         {{0, 1, "10086", 129, 0, 0}}, 2000100},
        {"dataCallDropped", {"+CLCC: 1,0,0,1,0,\"*99#\",129", "+CLCC: 2,0,0,0,0,\"10086\",129", "OK"},
         {{0, 2, "10086", 129, 0, 0}}, 5000100},
        {"stateSixDropped", {"+CLCC: 1,0,6,0,0,\"10086\",129", "OK"}, {}, -1},
        {"stateMinusOneDropped", {"+CLCC: 1,0,-1,0,0,\"10086\",129", "OK"}, {}, -1},
        {"state99Dropped", {"+CLCC: 1,0,99,0,0,\"10086\",129", "+CLCC: 2,1,4,0,0,\"10010\",129", "OK"},
         {{4, 2, "10010", 129, 1, 0}}, 2000100},
        {"unreadableIdDropped", {"+CLCC: x,0,0,0,0,\"10086\",129", "OK"}, {}, -1},
        {"emptyIdDropped", {"+CLCC: ,0,0,0,0,\"10086\",129", "OK"}, {}, -1},
        {"truncatedDropped", {"+CLCC: 1,0,0", "+CLCC: 1,0", "+CLCC:", "OK"}, {}, -1},
        {"numberWithoutTypeDropped", {"+CLCC: 1,0,0,0,0,\"10086\"", "OK"}, {}, -1},
        {"garbageTypeDropped", {"+CLCC: 1,0,0,0,0,\"10086\",zz", "OK"}, {}, -1},
        {"unterminatedQuote", {"+CLCC: 1,0,0,0,0,\"10086,129", "OK"}, {}, -1},
        {"longNumber", {"+CLCC: 1,1,0,0,0,\"" + kLong + "\",129", "OK"}, {{0, 1, kLong.c_str(), 129, 1, 0}}, 5000100},
        {"twoHundredLines", many, manyWant, 5000100},
    };
}

class GsmList : public Calls, public ::testing::WithParamInterface<ListCase> {};

TEST_P(GsmList, WcdmaAndLteDecode) {
    const auto &c = GetParam();
    for (int family : {RIL_FAMILY_WCDMA, RIL_FAMILY_LTE}) {
        SCOPED_TRACE(family);
        calltest::timedCalls().clear();
        peer.expect("AT+CLCC", Reply(c.reply));
        if (family == RIL_FAMILY_LTE && !c.gsm.empty()) peer.expect("AT^PCMCFG=1", {"OK"});
        if (family == RIL_FAMILY_WCDMA) open(calltest::noUnsol);
        g_callcount = 7;
        auto done = run(family == RIL_FAMILY_WCDMA ? OnWCDMA_RIL_REQUEST_GET_CURRENT_CALLS
                                                   : OnLTE_RIL_REQUEST_GET_CURRENT_CALLS,
                        nullptr, 0, 1);
        EXPECT_EQ(done.error, RIL_E_SUCCESS);
        expectCalls(last().calls, c.gsm);
        EXPECT_EQ(last().len, c.gsm.size() * sizeof(RIL_Call *));
        auto prompts = calltest::delaysOf(family == RIL_FAMILY_WCDMA ? sendCallStateChanged_wcdma
                                                                     : sendCallStateChanged_lte);
        if (c.prompt < 0) {
            EXPECT_TRUE(prompts.empty());
        } else {
            ASSERT_EQ(prompts.size(), 1u);
            EXPECT_EQ(prompts[0], c.prompt);
        }
        const bool failed = c.reply.back() != "OK";
        EXPECT_EQ(g_callcount, failed ? 7 : (int)c.gsm.size()) << "a failed list leaves the count alone";
        if (!failed) {
            EXPECT_EQ(G_incall, c.gsm.empty() ? 0 : 1);
        }
        ASSERT_TRUE(peer.waitScriptDone());
    }
    peer.verify();
    EXPECT_EQ(is_pcm_on, c.gsm.empty() ? 0 : 1) << "AT^PCMCFG=1 goes out once, with the first calls";
}

INSTANTIATE_TEST_SUITE_P(Replies, GsmList, ::testing::ValuesIn(listCases()),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(Calls, CallWaitingOffReportsOnlyTheFirstCall) {
    s_callwaiting_wcdma = 0;
    peer.expect("AT+CLCC", {"+CLCC: 1,0,0,0,0,\"111\",129", "+CLCC: 2,1,5,0,0,\"222\",129", "OK"});
    open(calltest::noUnsol);
    run(OnWCDMA_RIL_REQUEST_GET_CURRENT_CALLS, nullptr, 0, 1);
    expectCalls(last().calls, {{0, 1, "111", 129, 0, 0}});
    EXPECT_EQ(g_callcount, 1);
    EXPECT_EQ(s_calls_wcdma.waitIndex, 2);
    EXPECT_EQ(s_calls_wcdma.activeIndex, 1);
    peer.verify();
}

TEST_F(Calls, RememberedActiveCallIsReportedActive) {
    s_calls_wcdma.rememberedActive = 2;
    peer.expect("AT+CLCC", {"+CLCC: 1,0,1,0,0,\"111\",129", "+CLCC: 2,1,1,0,0,\"222\",129", "OK"})
        .expect("AT+CLCC", {"OK"});
    open(calltest::noUnsol);
    run(OnWCDMA_RIL_REQUEST_GET_CURRENT_CALLS, nullptr, 0, 1);
    expectCalls(last().calls, {{1, 1, "111", 129, 0, 0}, {0, 2, "222", 129, 1, 0}});
    run(OnWCDMA_RIL_REQUEST_GET_CURRENT_CALLS, nullptr, 0, 1);
    EXPECT_EQ(s_calls_wcdma.rememberedActive, -1) << "an empty list forgets the switch";
    peer.verify();
}

TEST_F(Calls, LteCdmaSubscriptionTakesTheStateFromTheCallLines) {
    is_cdma = 1;
    is_callconnected = 3;
    peer.expect("AT+CLCC", {"+CLCC: 1,0,0,0,0,\"10086\",129", "OK"}).expect("AT^PCMCFG=1", {"OK"});
    open(calltest::noUnsol);
    run(OnLTE_RIL_REQUEST_GET_CURRENT_CALLS, nullptr, 0, 1);
    expectCalls(last().calls, {{3, 1, "10086", 129, 0, 0}});
    peer.verify();
}

/* ---------------- CDMA ---------------- */

TEST_F(Calls, CdmaListRenumbersForcesOutgoingActiveAndKeepsDuplicates) {
    peer.expect("ATE0", {"OK"})
        .expect("AT+CLCC", {"+CLCC: 3,0,3,0,0,\"10086\",129", "+CLCC: 5,1,4,0,0,\"10086\",129",
                            "+CLCC: 6,1,0,0,0,\"abc\",129", "+CLCC: 7,1,9,0,0,\"1\",129", "OK"});
    open(calltest::noUnsol);
    auto done = run(OnCDMA_RIL_REQUEST_GET_CURRENT_CALLS, nullptr, 0, 1);
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    expectCalls(last().calls, {{0, 1, "10086", 129, 0, 0}, {4, 2, "10086", 129, 1, 0}, {0, 3, "0", 129, 1, 0}});
    EXPECT_EQ(s_calls_cdma.activeIndex, 6) << "the id of the call listed with stat 0";
    EXPECT_EQ(calltest::delaysOf(sendCallStateChanged_cdma), std::vector<long long>{500000});
    EXPECT_EQ(G_incall, 1);
    peer.verify();
}

TEST_F(Calls, CdmaOutgoingCallNeverPrompts) {
    peer.expect("ATE0", {"OK"}).expect("AT+CLCC", {"+CLCC: 1,0,2,0,0,\"10086\",129", "OK"});
    open(calltest::noUnsol);
    run(OnCDMA_RIL_REQUEST_GET_CURRENT_CALLS, nullptr, 0, 1);
    expectCalls(last().calls, {{0, 1, "10086", 129, 0, 0}});
    EXPECT_TRUE(calltest::delaysOf(sendCallStateChanged_cdma).empty());
    peer.verify();
}

TEST_F(Calls, CdmaThreeFailuresAnswerAnError) {
    for (int i = 0; i < 3; i++) peer.expect("ATE0", {"OK"}).expect("AT+CLCC", {"ERROR"});
    open(calltest::noUnsol);
    EXPECT_EQ(run(OnCDMA_RIL_REQUEST_GET_CURRENT_CALLS).error, RIL_E_GENERIC_FAILURE);
    peer.verify();
}

TEST_F(Calls, CdmaDoubleCheckAsksThreeTimesBeforeAnEmptyList) {
    s_needdoublecheck = 1;
    peer.expect("ATE0", {"OK"}).expect("AT+CLCC", {"ERROR"});
    for (int i = 0; i < 3; i++) peer.expect("ATE0", {"OK"}).expect("AT+CLCC", {"OK"});
    open(calltest::noUnsol);
    auto done = run(OnCDMA_RIL_REQUEST_GET_CURRENT_CALLS, nullptr, 0, 1);
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    EXPECT_TRUE(last().calls.empty());
    EXPECT_EQ(G_incall, 0);
    peer.verify();
}

/* ---------------- the shared routines ---------------- */

TEST_F(Calls, GetCallCountLeavesOutAPacketDataDial) {
    struct {
        Lines reply;
        int count;
    } cases[] = {{{"+CLCC: 1,0,0,1,0,\"*99#\",129", "OK"}, 0},
                 {{"+CLCC: 1,0,0,1,0,\"#777\",129", "OK"}, 0},
                 {{"+CLCC: 1,0,0,0,0,\"10086\",129", "OK"}, 1},
                 {{"+CLCC: 1,0,0,1,0,\"*99#\",129", "+CLCC: 2,0,0,0,0,\"1\",129", "OK"}, 2},
                 {{"ERROR"}, 0},
                 {{"OK"}, 0}};
    for (const auto &c : cases) peer.expect("AT+CLCC", Reply(c.reply));
    open(calltest::noUnsol);
    for (const auto &c : cases) EXPECT_EQ(GetCallCount(), c.count);
    peer.verify();
}

TEST(CallLineParser, HostileLinesNeverCrashAndNeverPassTheStateRange) {
    const char *lines[] = {"", "+CLCC:", "+CLCC: 1,0,0,0,0,\"", "+CLCC: 2147483648,0,0,0,0",
                           "+CLCC: 1,0,5,0,0,,", "+CLCC: 1,0,0,0,0,\"1\",", "+CLCC 1,0,0,0,0", "\x01\x02,,,"};
    for (const char *l : lines) {
        std::string copy = l;
        RIL_Call c{};
        if (ril_parse_clcc_line(&copy[0], 1, &c)) {
            EXPECT_GE((int)c.state, 0) << l;
            EXPECT_LE((int)c.state, 5) << l;
        }
    }
}

}  // namespace
