// The AT channel over a real pseudo-terminal, against the scripted peer.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "at_link.h"
#include "daemon_harness.h"
#include "ril_log.h"
#include "scripted_peer.h"

using riltest::Reply;
using namespace std::chrono_literals;

namespace {

constexpr long kScale = 50;

std::string logPath() {
    static const std::string path = "/tmp/at_channel_test." + std::to_string(getpid()) + ".log";
    return path;
}

std::string logText() {
    std::ifstream f(logPath());
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

std::vector<std::string> linesOf(const AtReply *p) {
    std::vector<std::string> v;
    if (p == nullptr) return v;
    for (ReplyLine *l = p->p_intermediates; l != nullptr; l = l->p_next) v.push_back(l->line);
    return v;
}

std::atomic<int> g_timeouts{0};
std::atomic<int> g_closed{0};
void onTimeout() { g_timeouts++; }
void onClosed() { g_closed++; }

class Channel : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("RIL_TIME_SCALE", std::to_string(kScale).c_str(), 1);
        setenv("RIL_LOG", logPath().c_str(), 1);
        riltest::clearRecordedUnsol();
        g_ntimeoutcount = 0;
        g_timeouts = 0;
        g_closed = 0;
        at_set_on_timeout(onTimeout);
        at_set_on_reader_closed(onClosed);
    }
    void TearDown() override { at_close(); }

    void open(ATUnsolHandler h = riltest::recordUnsol) {
        int fd = peer.openSlave();
        ASSERT_GE(fd, 0);
        ASSERT_EQ(at_open(fd, h), 0);
    }

    riltest::ScriptedPeer peer;
};

TEST_F(Channel, SingleLineRoundTrip) {
    peer.expect("AT+CSQ", {"+CSQ: 21,99", "OK"});
    open();
    AtReply *p = nullptr;
    ASSERT_EQ(at_send_command_singleline("AT+CSQ", "+CSQ:", &p), 0);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->success, 1);
    EXPECT_STREQ(p->finalResponse, "OK");
    EXPECT_EQ(linesOf(p), std::vector<std::string>{"+CSQ: 21,99"});
    at_response_free(p);
    peer.verify();
}

// --- time-outs: per-command defaults, on the scaled clock ---

struct TimeoutCase {
    const char *command;
    long long callerMs;
    unsigned expectedMs;
};

class ChannelTimeout : public Channel, public ::testing::WithParamInterface<TimeoutCase> {};

TEST_P(ChannelTimeout, WaitsTheCommandsTimeOut) {
    const TimeoutCase &c = GetParam();
    peer.silence(c.command);
    open();
    AtReply *p = reinterpret_cast<AtReply *>(0x1);
    unsigned start = GetTickCount();
    int rc = at_send_command_full(c.command, NO_RESULT, nullptr, nullptr, c.callerMs, &p);
    unsigned elapsed = GetTickCount() - start;
    EXPECT_EQ(rc, AT_ERROR_TIMEOUT);
    EXPECT_EQ(p, nullptr);
    // the scaled clock ticks in steps of kScale; allow 150 real ms of slack
    EXPECT_GE(elapsed + kScale, c.expectedMs) << c.command;
    EXPECT_LE(elapsed, c.expectedMs + 150 * kScale) << c.command;
    EXPECT_EQ(g_timeouts.load(), 1);
    EXPECT_EQ(g_ntimeoutcount, 1);
    EXPECT_NE(logText().find(std::string("timeount command:") + c.command), std::string::npos);
    peer.verify();
}

INSTANTIATE_TEST_SUITE_P(Classes, ChannelTimeout,
                         ::testing::Values(TimeoutCase{"AT+CLCC", 60000, 1000},
                                           TimeoutCase{"ATE0", 0, 1000},
                                           TimeoutCase{"AT+CMUT=1", 0, 1000},
                                           TimeoutCase{"AT^MODECONFIG?", 0, 1000},
                                           TimeoutCase{"AT+CSQ", 0, 30000},
                                           TimeoutCase{"AT+COPS=?", 0, 100000},
                                           TimeoutCase{"AT+CGDCONT?", 500, 500}));

TEST_F(Channel, TimeOutCountIsConsecutiveAndOneCombinedQueryIsExempt) {
    peer.silence("AT+A").silence("AT+B").expect("AT+C", {"OK"});
    peer.silence("AT+CLCC;^HOMESNID?;+COPS?");
    open();
    EXPECT_EQ(at_send_command_full("AT+A", NO_RESULT, nullptr, nullptr, 100, nullptr), -4);
    EXPECT_EQ(at_send_command_full("AT+B", NO_RESULT, nullptr, nullptr, 100, nullptr), -4);
    EXPECT_EQ(g_ntimeoutcount, 2);
    EXPECT_EQ(g_timeouts.load(), 2);
    EXPECT_EQ(at_send_command("AT+C", nullptr), 0);
    EXPECT_EQ(g_ntimeoutcount, 0);
    // all three of CLCC, HOMESNID and COPS: no count, no callback
    EXPECT_EQ(at_send_command("AT+CLCC;^HOMESNID?;+COPS?", nullptr), -4);
    EXPECT_EQ(g_ntimeoutcount, 0);
    EXPECT_EQ(g_timeouts.load(), 2);
    peer.verify();
}

TEST_F(Channel, TimeOutWithoutCallbackIsNotCounted) {
    at_set_on_timeout(nullptr);
    peer.silence("AT+A");
    open();
    EXPECT_EQ(at_send_command_full("AT+A", NO_RESULT, nullptr, nullptr, 100, nullptr), -4);
    EXPECT_EQ(g_ntimeoutcount, 0);
    peer.verify();
}

// --- refusals ---

TEST_F(Channel, SenderWhoseDeadlinePassesWhileTheChannelIsBusyGetsMinus2AndWritesNothing) {
    std::atomic<bool> firstDone{false};
    peer.expect("AT+SLOW", Reply().thenWaitUntil([&] { return firstDone.load(); }).line("OK"));
    open();
    int firstRc = 99;
    std::thread first([&] { firstRc = at_send_command("AT+SLOW", nullptr); });
    ASSERT_TRUE(peer.waitCommands(1));
    AtReply *p = reinterpret_cast<AtReply *>(0x1);
    // 5 s on the module's clock, 100 ms here
    EXPECT_EQ(at_send_command_full("AT+FAST", SINGLELINE, "+FAST:", nullptr, 5000, &p), AT_ERROR_COMMAND_PENDING);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(g_ntimeoutcount, 0);  // not a time-out of the module
    EXPECT_EQ(g_timeouts.load(), 0);
    firstDone = true;
    first.join();
    EXPECT_EQ(firstRc, 0);
    peer.verify();  // "AT+FAST" never reached the port
    EXPECT_EQ(peer.commands(), std::vector<std::string>{"AT+SLOW"});
}

TEST_F(Channel, SendersThatFindTheChannelBusyWaitAndGoInArrivalOrder) {
    std::atomic<bool> release{false};
    peer.expect("AT+SLOW", Reply().thenWaitUntil([&] { return release.load(); }).line("OK"));
    const int kWaiting = 4;
    for (int i = 0; i < kWaiting; i++) {
        std::string n = std::to_string(i);
        peer.expect("AT+Q" + n, {"+Q: " + n, "OK"});
    }
    open();
    int slowRc = 99;
    std::thread slow([&] { slowRc = at_send_command("AT+SLOW", nullptr); });
    ASSERT_TRUE(peer.waitCommands(1));
    std::vector<std::thread> senders;
    std::vector<int> rcs(kWaiting, 99);
    std::vector<std::string> answers(kWaiting);
    std::atomic<int> started{0};
    for (int i = 0; i < kWaiting; i++) {
        // each sender holds its place in the line before the next starts
        senders.emplace_back([&, i] {
            AtReply *p = nullptr;
            std::string cmd = "AT+Q" + std::to_string(i);
            started++;
            rcs[i] = at_send_command_singleline(cmd.c_str(), "+Q:", &p);
            if (p != nullptr && p->p_intermediates != nullptr) answers[i] = p->p_intermediates->line;
            at_response_free(p);
        });
        ASSERT_TRUE(riltest::waitUntil([&] { return started.load() == i + 1; }, 5s));
        ASSERT_TRUE(riltest::waitUntil([&] { return at_test_waiting_senders() == i + 1; }, 10s));
    }
    release = true;
    slow.join();
    for (auto &t : senders) t.join();
    EXPECT_EQ(slowRc, 0);
    for (int i = 0; i < kWaiting; i++) {
        EXPECT_EQ(rcs[i], 0) << i;
        EXPECT_EQ(answers[i], "+Q: " + std::to_string(i));
    }
    peer.verify();
    EXPECT_EQ(peer.commands(), (std::vector<std::string>{"AT+SLOW", "AT+Q0", "AT+Q1", "AT+Q2", "AT+Q3"}));
    EXPECT_EQ(at_test_waiting_senders(), 0);
}

// A module that answers every command "AT+X" with "+ECHO: X" and "OK", in
// whatever order the commands come.
class EchoModule {
public:
    EchoModule() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
            slave_ = ::open(ptsname(master_), O_RDWR | O_NOCTTY);
            struct termios ios;
            if (slave_ >= 0 && tcgetattr(slave_, &ios) == 0) {
                cfmakeraw(&ios);
                tcsetattr(slave_, TCSANOW, &ios);
            }
        }
        thread_ = std::thread([this] { run(); });
    }
    ~EchoModule() {
        stop_ = true;
        thread_.join();
        if (slave_ >= 0) ::close(slave_);
        if (master_ >= 0) ::close(master_);
    }
    int slave() const { return slave_; }
    int answered() const { return answered_.load(); }

private:
    void run() {
        std::string in;
        while (!stop_) {
            struct pollfd p = {master_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            char buf[256];
            ssize_t n = read(master_, buf, sizeof(buf));
            if (n <= 0) continue;
            in.append(buf, (size_t)n);
            size_t cr;
            while ((cr = in.find('\r')) != std::string::npos) {
                std::string cmd = in.substr(0, cr);
                in.erase(0, cr + 1);
                std::string out = "\r\n+ECHO: " + (cmd.size() > 3 ? cmd.substr(3) : "") + "\r\n\r\nOK\r\n";
                if (write(master_, out.data(), out.size()) != (ssize_t)out.size()) return;
                answered_++;
            }
        }
    }
    int master_ = -1, slave_ = -1;
    std::atomic<bool> stop_{false};
    std::atomic<int> answered_{0};
    std::thread thread_;
};

TEST(ChannelLoad, ManyConcurrentSendersEachGetTheirOwnAnswer) {
    setenv("RIL_TIME_SCALE", "1", 1);
    EchoModule module;
    ASSERT_GE(module.slave(), 0);
    ASSERT_EQ(at_open(module.slave(), riltest::recordUnsol), 0);
    const int kThreads = 6, kEach = 25;
    std::atomic<int> wrong{0}, failed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; i++) {
                std::string tag = std::to_string(t) + "_" + std::to_string(i);
                std::string cmd = "AT+" + tag;
                AtReply *p = nullptr;
                int rc = at_send_command_singleline(cmd.c_str(), "+ECHO:", &p);
                if (rc != 0)
                    failed++;
                else if (p->p_intermediates == nullptr || std::string(p->p_intermediates->line) != "+ECHO: " + tag)
                    wrong++;
                at_response_free(p);
            }
        });
    }
    for (auto &t : threads) t.join();
    at_close();
    EXPECT_EQ(failed.load(), 0);
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(module.answered(), kThreads * kEach);
    EXPECT_EQ(at_test_waiting_senders(), 0);
}

TEST_F(Channel, ClosingEndsTheWaitOfQueuedSenders) {
    peer.silence("AT+SLOW");
    open();
    int slowRc = 99, queuedRc = 99;
    std::thread slow([&] { slowRc = at_send_command("AT+SLOW", nullptr); });
    ASSERT_TRUE(peer.waitCommands(1));
    std::thread queued([&] { queuedRc = at_send_command("AT+NEXT", nullptr); });
    ASSERT_TRUE(riltest::waitUntil([] { return at_test_waiting_senders() == 1; }, 10s));
    at_close();
    slow.join();
    queued.join();
    EXPECT_EQ(slowRc, AT_ERROR_CHANNEL_CLOSED);
    EXPECT_EQ(queuedRc, AT_ERROR_CHANNEL_CLOSED);
    EXPECT_EQ(peer.commands(), std::vector<std::string>{"AT+SLOW"});
}

std::atomic<int> g_sendWhileBusy{99};
void sendingWhileBusyHandler(const char *line, const char *body) {
    if (std::string(line) == "RING") g_sendWhileBusy = at_send_command("ATA", nullptr);
    riltest::recordUnsol(line, body);
}

TEST_F(Channel, ReaderThreadIsRefusedAtOnceEvenWhileACommandIsPending) {
    std::atomic<bool> release{false};
    peer.expect("AT+SLOW", Reply{"RING"}.thenWaitUntil([&] { return release.load(); }).line("OK"));
    open(sendingWhileBusyHandler);
    int rc = 99;
    std::thread slow([&] { rc = at_send_command("AT+SLOW", nullptr); });
    ASSERT_TRUE(riltest::waitRecordedUnsol(1));
    EXPECT_EQ(g_sendWhileBusy.load(), AT_ERROR_INVALID_THREAD);
    release = true;
    slow.join();
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(peer.commands(), std::vector<std::string>{"AT+SLOW"});
}

// A "+CUSD" line ends a call-waiting command; the "OK" that follows before
// the sender wakes is an unsolicited line and never replaces the result.
TEST_F(Channel, FirstFinalLineIsTheResultAndALaterOneIsUnsolicited) {
    peer.expect("AT+CCWA=1,2", {"+CUSD: 0,\"x\",15", "OK"});
    peer.expect("AT+CSQ", {"+CSQ: 20,99", "OK", "ERROR"});
    open();
    AtReply *p = nullptr;
    ASSERT_EQ(at_send_command("AT+CCWA=1,2", &p), 0);
    EXPECT_STREQ(p->finalResponse, "+CUSD: 0,\"x\",15");
    EXPECT_EQ(p->success, 0);
    at_response_free(p);
    p = nullptr;
    // the module's "OK" is out before the next command goes
    ASSERT_TRUE(riltest::waitRecordedUnsol(1));
    ASSERT_EQ(at_send_command_singleline("AT+CSQ", "+CSQ:", &p), 0);
    EXPECT_STREQ(p->finalResponse, "OK");
    EXPECT_EQ(p->success, 1);
    at_response_free(p);
    ASSERT_TRUE(riltest::waitRecordedUnsol(2));
    EXPECT_EQ(riltest::recordedUnsolLines(), (std::vector<std::string>{"OK", "ERROR"}));
    peer.verify();
}

std::atomic<int> g_sendFromHandler{99};
std::atomic<int> g_singleFromHandler{99};
void sendingHandler(const char *line, const char *body) {
    if (std::string(line) == "RING") {
        AtReply *p = nullptr;
        g_sendFromHandler = at_send_command("ATA", &p);
        g_singleFromHandler = at_send_command_singleline("AT+CLCC", "+CLCC:", nullptr);
    }
    // recorded last: the test reads the results once the line is recorded
    riltest::recordUnsol(line, body);
}

TEST_F(Channel, SendFromUnsolicitedHandlerIsRefused) {
    peer.inject("RING");
    open(sendingHandler);
    ASSERT_TRUE(riltest::waitRecordedUnsol(1));
    EXPECT_EQ(g_sendFromHandler.load(), AT_ERROR_INVALID_THREAD);
    EXPECT_EQ(g_singleFromHandler.load(), AT_ERROR_INVALID_THREAD);
    peer.verify();
    EXPECT_TRUE(peer.commands().empty());
}

TEST_F(Channel, MissingLineGivesMinus6AndFreesTheReply) {
    peer.script({{"AT+CSQ", {"OK"}},
                 {"AT+CGSN", {"+CGSN: x", "OK"}},
                 {"AT+CSQ", {"OK"}},
                 {"AT+CPIN?", {"+CME ERROR: 10"}},
                 {"AT+CGSN", {"867530912345678", "OK"}}});
    open();
    AtReply *p = reinterpret_cast<AtReply *>(0x1);
    EXPECT_EQ(at_send_command_singleline("AT+CSQ", "+CSQ:", &p), AT_ERROR_INVALID_RESPONSE);
    EXPECT_EQ(p, nullptr);
    p = reinterpret_cast<AtReply *>(0x1);
    EXPECT_EQ(at_send_command_numeric("AT+CGSN", &p), AT_ERROR_INVALID_RESPONSE);
    EXPECT_EQ(p, nullptr);
    // a null out pointer is fine everywhere
    EXPECT_EQ(at_send_command_singleline("AT+CSQ", "+CSQ:", nullptr), AT_ERROR_INVALID_RESPONSE);
    // an error final line is not -6
    ASSERT_EQ(at_send_command_singleline("AT+CPIN?", "+CPIN:", &p), 0);
    EXPECT_EQ(p->success, 0);
    EXPECT_EQ(at_get_cme_error(p), 10);
    at_response_free(p);
    EXPECT_EQ(at_send_command_numeric("AT+CGSN", nullptr), 0);
    peer.verify();
}

// --- closing ---

TEST_F(Channel, PortClosingWhileACommandWaitsReturnsTheReplySoFar) {
    peer.expect("AT+CMGL=4", Reply{"+CMGL: 1,1,,3", "0011AA", "+CMGL: 2,1,,3", "0022BB", "RING"}
                                 .thenWaitUntil([] { return riltest::waitRecordedUnsol(1, 0ms); })
                                 .thenClose());
    open();
    AtReply *p = nullptr;
    EXPECT_EQ(at_send_command_multiline("AT+CMGL=4", "+CMGL:", &p), AT_ERROR_CHANNEL_CLOSED);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(linesOf(p), (std::vector<std::string>{"+CMGL: 1,1,,3", "0011AA", "+CMGL: 2,1,,3", "0022BB"}));
    EXPECT_EQ(p->finalResponse, nullptr);
    EXPECT_EQ(p->success, 0);
    at_response_free(p);
    ASSERT_TRUE(riltest::waitUntil([] { return g_closed.load() == 1; }, 5s));
    // closed for good: every later send is refused at once
    EXPECT_EQ(at_send_command("AT", nullptr), AT_ERROR_CHANNEL_CLOSED);
    EXPECT_EQ(at_send_single_command("AT"), AT_ERROR_CHANNEL_CLOSED);
    peer.verify();
    EXPECT_EQ(g_closed.load(), 1);
}

TEST_F(Channel, ReaderEndWithoutCallbackStillClosesTheChannel) {
    at_set_on_reader_closed(nullptr);
    peer.close();
    open();
    ASSERT_TRUE(peer.waitScriptDone());
    ASSERT_TRUE(riltest::waitUntil([] { return at_send_command("AT", nullptr) == -3; }, 5s));
}

TEST_F(Channel, AtCloseWakesTheWaitingSender) {
    peer.silence("AT+COPS=?");
    open();
    int rc = 99;
    std::thread t([&] { rc = at_send_command_multiline("AT+COPS=?", "+COPS:", nullptr); });
    ASSERT_TRUE(peer.waitCommands(1));
    at_close();
    t.join();
    EXPECT_EQ(rc, AT_ERROR_CHANNEL_CLOSED);
    EXPECT_EQ(g_closed.load(), 0);  // an explicit close is not reported back
    peer.verify();
}

TEST_F(Channel, ReopenedChannelWorksAndTheOldReaderIsGone) {
    peer.expect("AT+A", {"OK"}).expect("AT+B", {"+B: 2", "OK"});
    open();
    EXPECT_EQ(at_send_command("AT+A", nullptr), 0);
    at_close();
    open();
    AtReply *p = nullptr;
    ASSERT_EQ(at_send_command_singleline("AT+B", "+B:", &p), 0);
    EXPECT_EQ(linesOf(p), std::vector<std::string>{"+B: 2"});
    at_response_free(p);
    peer.verify();
}

// --- line handling over the port ---

TEST_F(Channel, NoCarrierDoesNotEndThePendingCommand) {
    peer.expect("ATD10086;", {"NO CARRIER", "OK"});
    open();
    AtReply *p = nullptr;
    ASSERT_EQ(at_send_command("ATD10086;", &p), 0);
    EXPECT_STREQ(p->finalResponse, "OK");
    EXPECT_EQ(p->success, 1);
    at_response_free(p);
    EXPECT_EQ(riltest::recordedUnsolLines(), std::vector<std::string>{"NO CARRIER"});
    peer.verify();
}

TEST_F(Channel, SmsPromptGetsThePduAndCtrlZ) {
    const std::string pdu = "0011000B915121551532F40000AA0AE8329BFD4697D9EC37";
    peer.expect("AT+CMGS=23",
                Reply::smsPrompt().thenExpectPdu(pdu).thenLines({"+CMGS: 5", "OK"}));
    peer.expect("AT+CMGS=23", Reply::smsPrompt().thenExpectPdu(pdu).thenLines({"OK"}));
    peer.expect("AT+CMGS=23", Reply::smsPrompt().thenExpectPdu(pdu).thenLines({"OK"}));
    open();
    AtReply *p = nullptr;
    ASSERT_EQ(at_send_command_sms("AT+CMGS=23", pdu.c_str(), "+CMGS:", &p), 0);
    EXPECT_EQ(linesOf(p), std::vector<std::string>{"+CMGS: 5"});
    at_response_free(p);
    // OK without the prefixed line: -6 with a prefix, 0 without one
    EXPECT_EQ(at_send_command_sms("AT+CMGS=23", pdu.c_str(), "+CMGS:", nullptr), -6);
    EXPECT_EQ(at_send_command_sms("AT+CMGS=23", pdu.c_str(), nullptr, nullptr), 0);
    peer.verify();
}

TEST_F(Channel, OverflowIsDiscardedAndTheNextLineIsGood) {
    peer.expect("AT+CREG?", Reply().raw(std::string(8192, 'x')).line("+CREG: 0,1").line("OK"));
    open();
    AtReply *p = nullptr;
    ASSERT_EQ(at_send_command("AT+CREG?", &p), 0);
    EXPECT_EQ(linesOf(p), std::vector<std::string>{"+CREG: 0,1"});
    at_response_free(p);
    EXPECT_EQ(riltest::recordedUnsolLines(), std::vector<std::string>{"+CREG: 0,1"});
    EXPECT_NE(logText().find("ERROR: Input line exceeded buffer"), std::string::npos);
    peer.verify();
}

TEST_F(Channel, SingleCommandIsWrittenWithoutWaiting) {
    peer.silence("AT^ZZ").expect("AT", {"OK"});
    open();
    EXPECT_EQ(at_send_single_command("AT^ZZ"), 0);
    ASSERT_TRUE(peer.waitCommands(1));
    EXPECT_EQ(at_send_command("AT", nullptr), 0);  // nothing was left pending
    peer.verify();
}

TEST_F(Channel, SmsLinesOverThePort) {
    peer.inject("+CMT: ,23").inject("0891683108200105F0").inject("+CMGR: 0,,23").inject("0011AA");
    peer.inject("RING");
    open();
    ASSERT_TRUE(riltest::waitRecordedUnsol(3));
    auto u = riltest::recordedUnsol();
    ASSERT_EQ(u.size(), 3u);
    EXPECT_EQ(u[0].line, "+CMT: ,23");
    EXPECT_EQ(u[0].body, "0891683108200105F0");
    // a read reply's body with no command pending is dropped
    EXPECT_EQ(u[1].line, "+CMGR: 0,,23");
    EXPECT_FALSE(u[1].hasBody);
    EXPECT_EQ(u[2].line, "RING");
    peer.verify();
}

// A reply written one byte at a time, with each line ending real modules
// use, and unsolicited lines before, between and after the reply's lines.
struct Framing {
    const char *name;
    const char *before;
    const char *after;
};

class ChannelFraming : public Channel, public ::testing::WithParamInterface<Framing> {};

TEST_P(ChannelFraming, SplitReplyWithUnsolicitedLines) {
    const Framing &f = GetParam();
    peer.setLineFraming(f.before, f.after);
    peer.setWriteChunk(1, 50us);
    peer.inject("+CREG: 1");
    peer.expect("AT+CPBR=1,2", {"^RSSI: 20", "+CPBR: 1,\"10086\",129,\"A\"", "RING",
                                "+CPBR: 2,\"10010\",129,\"B\"", "OK"});
    peer.inject("^MODE: 5,4");
    open();
    ASSERT_TRUE(riltest::waitRecordedUnsol(1));
    AtReply *p = nullptr;
    ASSERT_EQ(at_send_command_multiline("AT+CPBR=1,2", "+CPBR:", &p), 0);
    EXPECT_EQ(linesOf(p), (std::vector<std::string>{"+CPBR: 1,\"10086\",129,\"A\"",
                                                    "+CPBR: 2,\"10010\",129,\"B\""}));
    EXPECT_STREQ(p->finalResponse, "OK");
    at_response_free(p);
    ASSERT_TRUE(riltest::waitRecordedUnsol(4));
    peer.verify();
    EXPECT_EQ(riltest::recordedUnsolLines(),
              (std::vector<std::string>{"+CREG: 1", "^RSSI: 20", "RING", "^MODE: 5,4"}));
}

INSTANTIATE_TEST_SUITE_P(LineEnds, ChannelFraming,
                         ::testing::Values(Framing{"CRLF", "\r\n", "\r\n"}, Framing{"CR", "", "\r"},
                                           Framing{"LF", "", "\n"}, Framing{"LFCR", "", "\n\r"}),
                         [](const ::testing::TestParamInfo<Framing> &i) { return i.param.name; });

}  // namespace
