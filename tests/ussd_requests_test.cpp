// USSD and SIM toolkit requests of the three families against the scripted
// module on a real pseudo-terminal: the exact commands, hostile framework
// strings refused with nothing sent, the 8-second answer time-out (run by
// hand from its recorded callback, so that the test decides when it fires),
// the decoding of every coding scheme (gammu packs the default-alphabet
// texts; hand-checked vectors where the system's rules are its own) and the
// "+CUSD:" collection over several lines with its bounds.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "at_link.h"
#include "daemon_harness.h"
#include "gammu_oracle.h"
#include "ril_families.h"
#include "ril_handlers.h"
#include "ril_log.h"
#include "ril_unsolicited.h"
#include "scripted_peer.h"
#include "ussd.h"

using riltest::Reply;
using namespace std::chrono_literals;

namespace {

const Reply kOk{"OK"};
const Reply kError{"ERROR"};

struct Done {
    long token;
    int error;
    std::optional<std::string> text;  // a string answer (CDMA cancel)
    size_t len;
};

// A 1006 report: its strings copied while the library's buffers live.
struct Ussd {
    size_t len = 0;
    std::optional<std::string> type, text;
};

struct Timed {
    RIL_TimedCallback cb;
    void *param;
    long long delayUs;
};

// An environment that copies what the library hands over and records timed
// callbacks without running them.
struct Recorder {
    static Recorder *self;
    std::mutex lock;
    std::vector<Done> done;
    std::vector<Ussd> ussd;
    std::vector<int> codes;
    std::vector<Timed> timed;

    static void complete(RIL_Token t, RIL_Errno e, void *response, size_t len) {
        std::lock_guard<std::mutex> l(self->lock);
        Done d{(long)(intptr_t)t, (int)e, std::nullopt, len};
        if (response != nullptr && len == sizeof(char *)) d.text = std::string((const char *)response);
        self->done.push_back(d);
    }
    static void unsolicited(int code, const void *data, size_t len) {
        std::lock_guard<std::mutex> l(self->lock);
        self->codes.push_back(code);
        if (code != RIL_UNSOL_ON_USSD) return;
        Ussd u;
        u.len = len;
        const char *const *v = (const char *const *)data;
        if (v != nullptr && len >= sizeof(char *) && v[0] != nullptr) u.type = v[0];
        if (v != nullptr && len >= 2 * sizeof(char *) && v[1] != nullptr) u.text = v[1];
        self->ussd.push_back(u);
    }
    static void *schedule(RIL_TimedCallback cb, void *param, const struct timeval *tv) {
        std::lock_guard<std::mutex> l(self->lock);
        self->timed.push_back({cb, param, tv ? (long long)tv->tv_sec * 1000000LL + tv->tv_usec : 0});
        return (void *)1;
    }
};
Recorder *Recorder::self = nullptr;
const struct RIL_Env kEnv = {Recorder::complete, Recorder::unsolicited, Recorder::schedule, nullptr};

class Ussd_ : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("RIL_TIME_SCALE", "100", 1);
        static const std::string log = "/tmp/ussd_test." + std::to_string(getpid()) + ".log";
        setenv("RIL_LOG", log.c_str(), 1);
        Recorder::self = &rec;
        s_rilenv = s_rilenv_wcdma = s_rilenv_lte = &kEnv;
        s_radio_state_wcdma = s_radio_state_lte = RADIO_STATE_SIM_READY;
        ussd_collect_reset(RIL_FAMILY_WCDMA);
        ussd_collect_reset(RIL_FAMILY_LTE);
    }
    void TearDown() override {
        at_close();
        for (auto &t : timedCalls()) free(t.param);  // callbacks the test did not run
    }

    void open(ATUnsolHandler h = onUnsolicited_wcdma) {
        int fd = peer.openSlave();
        ASSERT_GE(fd, 0);
        ASSERT_EQ(at_open(fd, h), 0);
    }

    // runs a handler with data and returns its one completion
    Done call(RilRequestHandler h, const void *data, size_t len = sizeof(char *)) {
        long token = ++token_;
        h(const_cast<void *>(data), len, (RIL_Token)(intptr_t)token);
        std::lock_guard<std::mutex> l(rec.lock);
        std::vector<Done> mine;
        for (const Done &d : rec.done)
            if (d.token == token) mine.push_back(d);
        EXPECT_EQ(mine.size(), 1u) << "a request completes exactly once";
        return mine.empty() ? Done{token, -1, std::nullopt, 0} : mine[0];
    }

    std::vector<Ussd> reports() {
        std::lock_guard<std::mutex> l(rec.lock);
        return rec.ussd;
    }
    std::vector<Timed> timedCalls() {
        std::lock_guard<std::mutex> l(rec.lock);
        return rec.timed;
    }
    // runs the recorded time-out callback i (it frees its token)
    void fire(size_t i) {
        Timed t;
        {
            std::lock_guard<std::mutex> l(rec.lock);
            ASSERT_LT(i, rec.timed.size());
            t = rec.timed[i];
            rec.timed[i].param = nullptr;
        }
        t.cb(t.param);
    }
    bool waitReports(size_t n) {
        return riltest::waitUntil([&] { return reports().size() >= n; }, 10s);
    }

    Recorder rec;
    riltest::ScriptedPeer peer;
    long token_ = 0;
};

// a report through Unsolicited_USD, with the strings it carried
Ussd decode(Ussd_ &, const std::string &text);

struct FamilyCase {
    const char *name;
    int family;
    RilRequestHandler send, cancel;
    RIL_TimedCallback timeout;
    ATUnsolHandler unsol;
};
void PrintTo(const FamilyCase &c, std::ostream *os) { *os << c.name; }

const FamilyCase kGsmFamilies[] = {
    {"wcdma", RIL_FAMILY_WCDMA, OnWCDMA_RIL_REQUEST_SEND_USSD, OnWCDMA_RIL_REQUEST_CANCEL_USSD,
     onUssdTimeout_wcdma, onUnsolicited_wcdma},
    {"lte", RIL_FAMILY_LTE, OnLTE_RIL_REQUEST_SEND_USSD, OnLTE_RIL_REQUEST_CANCEL_USSD, onUssdTimeout_lte,
     onUnsolicited_lte},
};

class GsmUssd : public Ussd_, public ::testing::WithParamInterface<FamilyCase> {};

}  // namespace

/* ---------------- sending and cancelling ---------------- */

TEST_P(GsmUssd, SendsTheStringWithCodingSchemeFifteenAndArmsTheEightSecondTimeout) {
    const FamilyCase &c = GetParam();
    peer.expect("AT+CUSD=1,\"*100#\",15", kOk)
        .expect("AT+CUSD=1,\"*101*1#\",15", kError)
        .expect("AT+CUSD=2", kOk)
        .expect("AT+CUSD=2", kError);
    open(c.unsol);
    EXPECT_EQ(call(c.send, "*100#").error, RIL_E_SUCCESS);
    EXPECT_EQ(call(c.send, "*101*1#").error, RIL_E_GENERIC_FAILURE);
    EXPECT_EQ(call(c.cancel, nullptr, 0).error, RIL_E_SUCCESS);
    EXPECT_EQ(call(c.cancel, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
    peer.verify();
    auto t = timedCalls();
    ASSERT_EQ(t.size(), 2u) << "one time-out per SEND_USSD, a failed one included";
    for (const Timed &x : t) {
        EXPECT_EQ(x.cb, c.timeout);
        EXPECT_EQ(x.delayUs, 8000000LL);
    }
    EXPECT_TRUE(reports().empty());
}

TEST_P(GsmUssd, NoAnswerWithinTheTimeoutReportsTypeFourWithAnEmptyText) {
    const FamilyCase &c = GetParam();
    peer.expect("AT+CUSD=1,\"*100#\",15", kOk);
    open(c.unsol);
    EXPECT_EQ(call(c.send, "*100#").error, RIL_E_SUCCESS);
    peer.verify();
    fire(0);
    auto r = reports();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].type, "4");
    EXPECT_EQ(r[0].text, "");
    EXPECT_EQ(r[0].len, 2 * sizeof(char *));
}

TEST_P(GsmUssd, AnAnswerBeforeTheTimeoutDisarmsIt) {
    const FamilyCase &c = GetParam();
    // the network answers right after the module's OK
    peer.expect("AT+CUSD=1,\"*100#\",15", Reply{"OK", "+CUSD: 0,\"C8329BFD06\",0"});
    open(c.unsol);
    EXPECT_EQ(call(c.send, "*100#").error, RIL_E_SUCCESS);
    ASSERT_TRUE(waitReports(1));
    fire(0);
    auto r = reports();
    ASSERT_EQ(r.size(), 1u) << "the time-out found the answer and reported nothing";
    EXPECT_EQ(r[0].type, "0");
    EXPECT_EQ(r[0].text, "Hello");
    peer.verify();
}

TEST_P(GsmUssd, ASecondRequestDisarmsTheFirstTimeoutAndArmsItsOwn) {
    const FamilyCase &c = GetParam();
    peer.expect("AT+CUSD=1,\"*100#\",15", kOk).expect("AT+CUSD=1,\"1\",15", kOk);
    open(c.unsol);
    call(c.send, "*100#");
    call(c.send, "1");
    peer.verify();
    ASSERT_EQ(timedCalls().size(), 2u);
    fire(0);
    EXPECT_TRUE(reports().empty());
    fire(1);
    ASSERT_EQ(reports().size(), 1u);
    EXPECT_EQ(reports()[0].type, "4");
}

TEST_P(GsmUssd, HostileStringsAreRefusedWithNothingSentAndNothingArmed) {
    const FamilyCase &c = GetParam();
    const std::string longest(RIL_USSD_MAX_TEXT, '1');
    // only the last request reaches the module: everything before it was refused
    peer.expect("AT+CUSD=1,\"" + longest + "\",15", kOk);
    open(c.unsol);
    const std::string tooLong(RIL_USSD_MAX_TEXT + 1, '1');
    const char *hostile[] = {nullptr,
                             "",
                             "*100#\"\r\nATD112;",
                             "*100#\",15\rAT+CFUN=0",
                             "*100#\nAT",
                             "*100#\x1a",
                             "*100#\x1b",
                             "\x7f",
                             "*100\\22#",
                             "*100#\xc3\xa9",
                             tooLong.c_str()};
    for (const char *h : hostile) EXPECT_EQ(call(c.send, h).error, RIL_E_GENERIC_FAILURE) << (h ? h : "null");
    EXPECT_TRUE(timedCalls().empty()) << "a refused request arms no time-out";
    // the request's length says nothing: a pointer's size, 4000, or 0
    EXPECT_EQ(call(c.send, tooLong.c_str(), 0).error, RIL_E_GENERIC_FAILURE);
    EXPECT_EQ(call(c.send, longest.c_str(), 4000).error, RIL_E_SUCCESS);
    peer.verify();
    EXPECT_EQ(peer.commands().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Families, GsmUssd, ::testing::ValuesIn(kGsmFamilies),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(Ussd_, CdmaSendFailsAtOnceAndCancelTakesAPlainOkAsSuccess) {
    peer.expect("AT+CUSD=2", kOk)
        .expect("AT+CUSD=2", Reply{"0", "OK"})
        .expect("AT+CUSD=2", kError)
        .expect("AT+CUSD=2", Reply{"+CME ERROR: 30"});
    open(onUnsolicited_cdma);
    EXPECT_EQ(call(OnCDMA_RIL_REQUEST_SEND_USSD, "*100#").error, RIL_E_REQUEST_NOT_SUPPORTED);
    Done plain = call(OnCDMA_RIL_REQUEST_CANCEL_USSD, nullptr, 0);
    EXPECT_EQ(plain.error, RIL_E_SUCCESS);
    EXPECT_FALSE(plain.text.has_value());
    Done digits = call(OnCDMA_RIL_REQUEST_CANCEL_USSD, nullptr, 0);
    EXPECT_EQ(digits.error, RIL_E_SUCCESS);
    EXPECT_EQ(digits.text, "0");
    EXPECT_EQ(digits.len, sizeof(char *));
    EXPECT_EQ(call(OnCDMA_RIL_REQUEST_CANCEL_USSD, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
    EXPECT_EQ(call(OnCDMA_RIL_REQUEST_CANCEL_USSD, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
    peer.verify();
    EXPECT_TRUE(timedCalls().empty());
}

TEST_F(Ussd_, SharedSenderCompletesAnyOtherRequestAsNotSupported) {
    open();
    {
        long token = ++token_;
        Request_USSD(RIL_REQUEST_DIAL, nullptr, 0, (RIL_Token)(intptr_t)token);
        Request_STK(RIL_REQUEST_SEND_SMS, nullptr, 0, (RIL_Token)(intptr_t)(token + 1000));
    }
    std::lock_guard<std::mutex> l(rec.lock);
    ASSERT_EQ(rec.done.size(), 2u);
    EXPECT_EQ(rec.done[0].error, RIL_E_REQUEST_NOT_SUPPORTED);
    EXPECT_EQ(rec.done[1].error, RIL_E_REQUEST_NOT_SUPPORTED);
    EXPECT_TRUE(peer.commands().empty());
}

/* ---------------- SIM toolkit ---------------- */

struct StkCase {
    const char *name;
    RilRequestHandler envelope, terminal, setup, withStatus;
};
void PrintTo(const StkCase &c, std::ostream *os) { *os << c.name; }
class Stk : public Ussd_, public ::testing::WithParamInterface<StkCase> {};

TEST_P(Stk, EnvelopeUpperCasedOnACopyTerminalResponseAsGivenCallSetupAlwaysSucceeds) {
    const StkCase &c = GetParam();
    peer.expect("AT^STGR=0,\"D30782020181900101\"", kOk)
        .expect("AT^STGR=0,\"D3\"", kError)
        .expect("AT^STGR=1,\"810301250082028281830100\"", kOk)
        .expect("AT^STGR=1,\"81\"", Reply{"+CME ERROR: 4"})
        .expect("AT^CSTC=0", kError)
        .expect("AT^CSTC=1", kOk)
        .expect("AT^CSTC=1", kError);
    open();
    char envelope[] = "d30782020181900101";
    EXPECT_EQ(call(c.envelope, envelope).error, RIL_E_SUCCESS);
    EXPECT_STREQ(envelope, "d30782020181900101") << "the framework's buffer is not changed";
    EXPECT_EQ(call(c.envelope, "D3").error, RIL_E_GENERIC_FAILURE);
    char terminal[] = "810301250082028281830100";
    EXPECT_EQ(call(c.terminal, terminal).error, RIL_E_SUCCESS);
    EXPECT_EQ(call(c.terminal, "81").error, RIL_E_GENERIC_FAILURE);
    for (int accept : {0, 1, -7}) {
        EXPECT_EQ(call(c.setup, &accept, sizeof(int)).error, RIL_E_SUCCESS) << accept;
    }
    EXPECT_EQ(call(c.withStatus, "D30782020181900101").error, RIL_E_GENERIC_FAILURE);
    peer.verify();
}

TEST_P(Stk, HostileHexAndMissingDataAreRefusedWithNothingSent) {
    const StkCase &c = GetParam();
    // only the last two requests reach the module
    const std::string longest(RIL_STK_MAX_HEX, 'a');
    std::string upper(RIL_STK_MAX_HEX, 'A');
    peer.expect("AT^STGR=0,\"" + upper + "\"", kOk).expect("AT^STGR=1,\"" + longest + "\"", kOk);
    open();
    const std::string tooLong(RIL_STK_MAX_HEX + 2, 'A');
    const char *hostile[] = {nullptr,     "",         "D",          "D30",       "D3\"\r\nATD112;",
                             "D3\r",      "D3\n0A",   "D3\x1a",     "D3;A",      "D3 0A",
                             "0x0A",      "GG",       "D3\"",       tooLong.c_str()};
    for (const char *h : hostile) {
        EXPECT_EQ(call(c.envelope, h).error, RIL_E_GENERIC_FAILURE) << (h ? h : "null");
        EXPECT_EQ(call(c.terminal, h).error, RIL_E_GENERIC_FAILURE) << (h ? h : "null");
    }
    EXPECT_EQ(call(c.setup, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
    int one = 1;
    EXPECT_EQ(call(c.setup, &one, 2).error, RIL_E_GENERIC_FAILURE) << "shorter than an int";
    EXPECT_EQ(call(c.envelope, longest.c_str()).error, RIL_E_SUCCESS);
    EXPECT_EQ(call(c.terminal, longest.c_str()).error, RIL_E_SUCCESS);
    peer.verify();
    EXPECT_EQ(peer.commands().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Families, Stk,
    ::testing::Values(StkCase{"wcdma", OnWCDMA_RIL_REQUEST_STK_SEND_ENVELOPE_COMMAND,
                              OnWCDMA_RIL_REQUEST_STK_SEND_TERMINAL_RESPONSE,
                              OnWCDMA_RIL_REQUEST_STK_HANDLE_CALL_SETUP_REQUESTED_FROM_SIM,
                              OnWCDMA_RIL_REQUEST_STK_SEND_ENVELOPE_WITH_STATUS},
                      StkCase{"lte", OnLTE_RIL_REQUEST_STK_SEND_ENVELOPE_COMMAND,
                              OnLTE_RIL_REQUEST_STK_SEND_TERMINAL_RESPONSE,
                              OnLTE_RIL_REQUEST_STK_HANDLE_CALL_SETUP_REQUESTED_FROM_SIM,
                              OnLTE_RIL_REQUEST_STK_SEND_ENVELOPE_WITH_STATUS}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Ussd_, TheCdmaFamilyAnswersToolkitRequestsAsNotSupportedWithNothingSent) {
    open(onUnsolicited_cdma);
    s_radio_state_cdma = RADIO_STATE_RUIM_READY;
    int one = 1;
    onRequest_cdma(RIL_REQUEST_STK_SEND_ENVELOPE_COMMAND, (void *)"D3", sizeof(char *), (RIL_Token)1);
    onRequest_cdma(RIL_REQUEST_STK_SEND_TERMINAL_RESPONSE, (void *)"81", sizeof(char *), (RIL_Token)2);
    onRequest_cdma(RIL_REQUEST_STK_HANDLE_CALL_SETUP_REQUESTED_FROM_SIM, &one, sizeof(int), (RIL_Token)3);
    std::lock_guard<std::mutex> l(rec.lock);
    ASSERT_EQ(rec.done.size(), 3u);
    for (const Done &d : rec.done) EXPECT_EQ(d.error, RIL_E_REQUEST_NOT_SUPPORTED);
    EXPECT_TRUE(peer.commands().empty());
}

/* ---------------- decoding ---------------- */

namespace {
Ussd decode(Ussd_ &t, const std::string &text) {
    (void)t;
    size_t before;
    {
        std::lock_guard<std::mutex> l(Recorder::self->lock);
        before = Recorder::self->ussd.size();
    }
    Unsolicited_USD(text.c_str());
    std::lock_guard<std::mutex> l(Recorder::self->lock);
    EXPECT_EQ(Recorder::self->ussd.size(), before + 1) << text;
    return Recorder::self->ussd.empty() ? Ussd{} : Recorder::self->ussd.back();
}
}  // namespace

TEST_F(Ussd_, EachCodingSchemeDecodesAsTheSystemDoes) {
    struct {
        const char *report;
        std::optional<std::string> type, text;
    } cases[] = {
        // packed default alphabet, dcs 0: decoded ("Hello", 23.038 packing)
        {"+CUSD: 0,\"C8329BFD06\",0", "0", "Hello"},
        {"+CUSD: 1,\"c8329bfd06\",0", "1", "Hello"},
        // seven characters end with CR in the free bits: the CR is read as an eighth
        {"+CUSD: 0,\"31D98C56B3DD1A\",0", "0", "1234567\r"},
        {"+CUSD: 0,\"31D98C56B3DD70\",0", "0", "12345678"},
        // dcs 8: the same unpacking with national table 8: septet 123 is U+00E3
        {"+CUSD: 0,\"CEFD1B\",8", "0", "N\xc3\xa3o"},
        {"+CUSD: 0,\"CEFD1B\",0", "0", "N\xc3\xa4o"},
        // any other scheme: the field exactly as received
        {"+CUSD: 0,\"C8329BFD06\",15", "0", "C8329BFD06"},
        {"+CUSD: 0,\"4F60597D\",72", "0", "4F60597D"},
        {"+CUSD: 0,\"Your balance is 10\",15", "0", "Your balance is 10"},
        {"+CUSD: 1,\"Menu\r\n1 Balance\",15", "1", "Menu\r\n1 Balance"},
        // a text without its coding scheme is passed on as it came
        {"+CUSD: 1,\"Reply 1 or 2\"", "1", "Reply 1 or 2"},
        {"+CUSD: 0,\"C8329BFD06\",abc", "0", "C8329BFD06"},
        // no text field: no text
        {"+CUSD: 0", "0", std::nullopt},
        {"+CUSD: 1", "1", std::nullopt},
        // the other types carry an empty text, whatever follows
        {"+CUSD: 2", "2", ""},
        {"+CUSD: 2,\"C8329BFD06\",0", "2", ""},
        {"+CUSD:4", "4", ""},
        {"+CUSD: 5", "5", ""},
        {"+CUSD:", "-1", ""},
        {"+CUSD: x,\"41\",0", "-1", ""},
        // hex that does not convert: an empty text
        {"+CUSD: 0,\"\",0", "0", ""},
    };
    for (const auto &c : cases) {
        Ussd u = decode(*this, c.report);
        EXPECT_EQ(u.len, 2 * sizeof(char *)) << c.report;
        EXPECT_EQ(u.type, c.type) << c.report;
        EXPECT_EQ(u.text, c.text) << c.report;
    }
    size_t n = reports().size();
    Unsolicited_USD("+CUS: 0");
    Unsolicited_USD("CUSD: 0");
    Unsolicited_USD(nullptr);
    EXPECT_EQ(reports().size(), n) << "only \"+CUSD:\" reports are decoded";
}

TEST_F(Ussd_, DefaultAlphabetTextsPackedByGammuDecodeToTheSameText) {
    const std::vector<std::string> texts = {
        "Your balance is 10.00",  "Saldo: 5,20 EUR. Bonus 100 MB", "@$_!#%&'()*+-./:;<=>?",
        "Price 3\xe2\x82\xac {x} [y] ~|^\\", "\xc3\x84\xc3\x96\xc3\x9c\xc3\xa4\xc3\xb6\xc3\xbc\xc3\xa9\xc3\xa8 \xc3\x86\xc3\x98",
        std::string(150, 'a')};
    std::vector<std::string> args = {"encode7"};
    for (const auto &t : texts) args.push_back(riltest::utf8Hex(t));
    auto lines = riltest::gammuOracle(args);
    ASSERT_EQ(lines.size(), texts.size());
    for (size_t i = 0; i < texts.size(); i++) {
        auto j = nlohmann::json::parse(lines[i]);
        int septets = j["udl"];
        if (septets % 8 == 7) continue;  // gammu pads with zero bits, the network with CR
        Ussd u = decode(*this, "+CUSD: 0,\"" + j["ud"].get<std::string>() + "\",0");
        EXPECT_EQ(u.text, texts[i]) << j.dump();
    }
}

TEST_F(Ussd_, HexLongerThanTheDecodeBuffersIsCutNotOverrun) {
    // zero octets unpack to "@" septets; past the collection buffer the
    // report is cut inside its quotes and passed on as it came
    for (size_t hexLen : {370u, 372u, 2000u, 2034u, 2040u, 5000u, 20000u}) {
        for (const char *dcs : {"0", "8"}) {
            std::string report = "+CUSD: 0,\"" + std::string(hexLen, '0') + "\"," + dcs;
            Ussd u = decode(*this, report);
            ASSERT_TRUE(u.text.has_value()) << hexLen;
            EXPECT_LT(u.text->size(), (size_t)RIL_USSD_BUF_SIZE) << hexLen;
            char expected = hexLen <= 2034 ? '@' : '0';
            EXPECT_EQ(u.text->find_first_not_of(expected), std::string::npos) << hexLen;
            if (hexLen <= 2034) {
                EXPECT_EQ(u.text->size(), hexLen / 2 + hexLen / 14) << hexLen;
            }
        }
    }
    // every octet 0xFF: septets of 127, each three UTF-8 bytes at most
    Ussd u = decode(*this, "+CUSD: 0,\"" + std::string(2030, 'F') + "\",8");
    ASSERT_TRUE(u.text.has_value());
    EXPECT_GT(u.text->size(), 1000u);
}

TEST(UssdQuoteCount, CommasOutsideQuotesUpToTwo) {
    struct {
        const char *text;
        int count;
    } cases[] = {{"+CUSD: 0", 0},           {"+CUSD: 0,", 1},          {"+CUSD: 0,\"a,b,c\"", 1},
                 {"+CUSD: 0,\"a,b\",15", 2}, {"+CUSD: 0,1,2,3,4", 2},   {"+CUSD: 1,\"open, text", 1},
                 {"\"\",\"\",\"\"", 2},       {"", 0},                   {",,", 2}};
    for (const auto &c : cases) EXPECT_EQ(GetQuoCount(c.text), c.count) << c.text;
    EXPECT_EQ(GetQuoCount(nullptr), 0);
}

TEST(UssdChecks, SendableTextsAndToolkitHex) {
    EXPECT_TRUE(ril_ussd_text_ok("*100#"));
    EXPECT_TRUE(ril_ussd_text_ok("Reply; with text, 1 2 3!"));
    EXPECT_TRUE(ril_ussd_text_ok(std::string(182, '#').c_str()));
    EXPECT_FALSE(ril_ussd_text_ok(std::string(183, '#').c_str()));
    EXPECT_TRUE(ril_stk_hex_ok("00"));
    EXPECT_TRUE(ril_stk_hex_ok("abCD09"));
    EXPECT_FALSE(ril_stk_hex_ok("abC"));
    EXPECT_FALSE(ril_stk_hex_ok(std::string(512, '0').c_str()));
    EXPECT_TRUE(ril_stk_hex_ok(std::string(510, '0').c_str()));
}

/* ---------------- the "+CUSD:" collection ---------------- */

namespace {
struct Family {
    const char *name;
    int family;
    int *count;
    int *inussd;
};
void PrintTo(const Family &f, std::ostream *os) { *os << f.name; }
class Collect : public Ussd_, public ::testing::WithParamInterface<Family> {
protected:
    void feed(const std::vector<std::string> &lines) {
        for (const auto &l : lines) ril_unsol_dispatch(GetParam().family, l.c_str(), nullptr);
    }
};
}  // namespace

TEST_P(Collect, ALineBreakInsideTheQuotesJoinsTheLinesWithCrLf) {
    const Family &f = GetParam();
    int before = *f.count;
    feed({"+CUSD: 1,\"Menu", "1 Balance", "2 Top-up\",15"});
    auto r = reports();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].type, "1");
    EXPECT_EQ(r[0].text, "Menu\r\n1 Balance\r\n2 Top-up");
    EXPECT_EQ(*f.count, before + 1);
    EXPECT_EQ(*f.inussd, 0);
    // lines in between that other rows take are not part of the report
    feed({"+CUSD: 0,\"A", "RING", "B\",15"});
    ASSERT_EQ(reports().size(), 2u);
    EXPECT_EQ(reports()[1].text, "A\r\nB");
}

TEST_P(Collect, AReportWithoutCodingSchemeEndsAtItsClosingQuoteAndSwallowsNothing) {
    const Family &f = GetParam();
    feed({"+CUSD: 1,\"Reply 1 or 2\"", "SOMETHING ELSE", "+CUSD: 2"});
    auto r = reports();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].text, "Reply 1 or 2");
    EXPECT_EQ(r[1].type, "2");
    EXPECT_EQ(*f.inussd, 0);
    // and when the closing quote comes on a later line without a scheme
    feed({"+CUSD: 1,\"Two", "lines\"", "NOT USSD"});
    ASSERT_EQ(reports().size(), 3u);
    EXPECT_EQ(reports()[2].text, "Two\r\nlines");
}

TEST_P(Collect, ANewReportRestartsTheCollection) {
    feed({"+CUSD: 1,\"lost", "+CUSD: 0,\"kept\",15"});
    auto r = reports();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].text, "kept");
}

TEST_P(Collect, AReportThatNeverClosesIsDeliveredCutAfterTheLineBound) {
    const Family &f = GetParam();
    feed({"+CUSD: 1,\"never closed"});
    for (int i = 1; i < RIL_USSD_MAX_LINES - 1; i++) feed({"line " + std::to_string(i)});
    EXPECT_TRUE(reports().empty());
    EXPECT_EQ(*f.inussd, 1);
    feed({"last line"});
    ASSERT_EQ(reports().size(), 1u);
    EXPECT_EQ(reports()[0].text->rfind("never closed\r\nline 1\r\n", 0), 0u);
    EXPECT_EQ(*f.inussd, 0);
    feed({"after", "+CUSD: 2"});
    ASSERT_EQ(reports().size(), 2u) << "later lines are their own again";
    EXPECT_EQ(reports()[1].type, "2");
}

TEST_P(Collect, AReportThatFillsTheBufferIsDeliveredCut) {
    const Family &f = GetParam();
    feed({"+CUSD: 1,\"" + std::string(500, 'a')});
    for (int i = 0; i < 3; i++) feed({std::string(500, 'b')});
    EXPECT_TRUE(reports().empty());
    feed({std::string(500, 'c')});
    auto r = reports();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].text->size(), (size_t)RIL_USSD_BUF_SIZE - 1 - strlen("+CUSD: 1,\""));
    EXPECT_EQ(*f.inussd, 0);
    // one line longer than the buffer on its own
    feed({"+CUSD: 1,\"" + std::string(3000, 'x')});
    ASSERT_EQ(reports().size(), 2u);
    EXPECT_EQ(*f.inussd, 0);
}

TEST_P(Collect, AReportUnfinishedPastTheTimeBoundIsDroppedAndTheLateLineIsNotItsOwn) {
    const Family &f = GetParam();
    feed({"+CUSD: 1,\"slow"});
    unsigned start = GetTickCount();
    // the clock runs 100 times faster: the bound passes within a few real ms
    ASSERT_TRUE(riltest::waitUntil([&] { return GetTickCount() - start > RIL_USSD_COLLECT_MS + 100; }, 10s));
    feed({"late\",15"});
    EXPECT_TRUE(reports().empty());
    EXPECT_EQ(*f.inussd, 0);
    feed({"+CUSD: 0,\"next\",15"});
    ASSERT_EQ(reports().size(), 1u);
    EXPECT_EQ(reports()[0].text, "next");
}

INSTANTIATE_TEST_SUITE_P(Families, Collect,
                         ::testing::Values(Family{"wcdma", RIL_FAMILY_WCDMA, &s_ussdcount_wcdma, &s_inussd_wcdma},
                                           Family{"lte", RIL_FAMILY_LTE, &s_ussdcount_lte, &s_inussd_lte}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(Ussd_, ThroughTheChannelAReportCutByItsLineBreakArrivesWhole) {
    open(onUnsolicited_lte);
    peer.injectRaw("\r\n+CUSD: 1,\"Choose:\r\n1 Balance\r\n2 Bundles\",15\r\n");
    peer.inject("+CUSD: 0,\"C8329BFD06\",0");
    ASSERT_TRUE(waitReports(2));
    auto r = reports();
    EXPECT_EQ(r[0].type, "1");
    EXPECT_EQ(r[0].text, "Choose:\r\n1 Balance\r\n2 Bundles");
    EXPECT_EQ(r[1].text, "Hello");
    peer.verify();
}

TEST_F(Ussd_, NothingIsCollectedOrReportedWhileTheRadioIsUnavailable) {
    s_radio_state_wcdma = RADIO_STATE_UNAVAILABLE;
    ril_unsol_dispatch(RIL_FAMILY_WCDMA, "+CUSD: 0,\"C8329BFD06\",0", nullptr);
    ril_unsol_dispatch(RIL_FAMILY_WCDMA, "+CUSD: 1,\"open", nullptr);
    EXPECT_TRUE(reports().empty());
    EXPECT_EQ(s_inussd_wcdma, 0);
}
