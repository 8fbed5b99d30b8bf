// Line cutting and line sorting of the AT reader, run on the test thread
// over byte streams (at_test_feed: the reader's own code with the port
// replaced by a buffer handed out in reads of a chosen size).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "at_link.h"
#include "scripted_peer.h"

namespace {

struct Outcome {
    bool pending = false;
    int success = -1;
    std::string final;
    std::vector<std::string> lines;
    std::vector<riltest::UnsolCall> unsol;
};

Outcome feed(const std::string &bytes, size_t chunk, int kind, const char *command = "AT",
             const char *prefix = nullptr, const char *pdu = nullptr) {
    riltest::clearRecordedUnsol();
    AtReply *p = at_test_feed(bytes.data(), bytes.size(), chunk, kind, command, prefix, pdu,
                              riltest::recordUnsol);
    Outcome o;
    o.unsol = riltest::recordedUnsol();
    if (p != nullptr) {
        o.pending = true;
        o.success = p->success;
        o.final = p->finalResponse != nullptr ? p->finalResponse : "(none)";
        for (ReplyLine *l = p->p_intermediates; l != nullptr; l = l->p_next) o.lines.push_back(l->line);
        at_response_free(p);
    }
    return o;
}

std::vector<std::string> unsolLines(const Outcome &o) {
    std::vector<std::string> v;
    for (const auto &u : o.unsol) v.push_back(u.line);
    return v;
}

std::string frame(const std::vector<std::string> &lines, const std::string &before,
                  const std::string &after) {
    std::string s;
    for (const auto &l : lines) s += before + l + after;
    return s;
}

// A reply with unsolicited lines before, between and after its own lines,
// cut at every possible read size and framed with every line ending real
// modules use, gives the same lines as the plain reply.
TEST(LineCutting, SplitReadsAndLineEndingsGiveTheSameLines) {
    const std::vector<std::string> stream = {"RING",   "+CPBR: 1,\"10086\",129,\"A\"", "^RSSI: 20",
                                             "+CPBR: 2,\"10010\",129,\"B\"", "OK"};
    const std::vector<std::pair<std::string, std::string>> framings = {
        {"\r\n", "\r\n"}, {"", "\r"}, {"", "\n"}, {"", "\n\r"}, {"\r\n\r\n", "\r\n"}};
    for (const auto &f : framings) {
        std::string bytes = frame(stream, f.first, f.second);
        for (size_t chunk = 0; chunk <= bytes.size(); chunk++) {
            Outcome o = feed(bytes, chunk, MULTILINE, "AT+CPBR=1,2", "+CPBR:");
            SCOPED_TRACE("framing " + std::to_string(&f - &framings[0]) + " chunk " +
                         std::to_string(chunk));
            ASSERT_EQ(o.final, "OK");
            EXPECT_EQ(o.success, 1);
            EXPECT_EQ(o.lines, (std::vector<std::string>{stream[1], stream[3]}));
            EXPECT_EQ(unsolLines(o), (std::vector<std::string>{"RING", "^RSSI: 20"}));
        }
    }
}

// The same stream under each kind of command: which lines become the
// reply's lines, which reach the unsolicited handler.
TEST(LineSorting, KindsTable) {
    struct Case {
        int kind;
        const char *command;
        const char *prefix;
        std::vector<std::string> in;
        std::vector<std::string> lines;
        std::vector<std::string> unsol;
        std::string final;
    };
    const std::vector<Case> cases = {
        // no result: first non-final line stored and also passed on
        {NO_RESULT, "AT+CGMI", nullptr, {"RING", "Quectel", "OK"}, {"RING"}, {"RING", "Quectel"}, "OK"},
        // numeric: first line beginning with a digit
        {NUMERIC, "AT+CGSN", nullptr, {"+X: 1", "8675309", "123", "OK"}, {"8675309"}, {"+X: 1", "123"}, "OK"},
        // single line without prefix drops every non-final line
        {SINGLELINE, "AT+X", nullptr, {"+X: 1", "RING", "OK"}, {}, {}, "OK"},
        {SINGLELINE, "AT+CREG?", "+CREG:", {"RING", "+CREG: 0,1", "+CREG: 0,5", "OK"}, {"+CREG: 0,1"}, {"RING", "+CREG: 0,5"}, "OK"},
        // multi line keeps every prefixed line
        {MULTILINE, "AT+COPS=?", "+COPS:", {"+COPS: 1", "x", "+COPS: 2", "OK"}, {"+COPS: 1", "+COPS: 2"}, {"x"}, "OK"},
        // "NO CARRIER" is not a final line
        {NO_RESULT, "ATD10086;", nullptr, {"NO CARRIER", "OK"}, {"NO CARRIER"}, {"NO CARRIER"}, "OK"},
        // error finals
        {SINGLELINE, "AT+CPIN?", "+CPIN:", {"+CME ERROR: 10"}, {}, {}, "+CME ERROR: 10"},
        {NO_RESULT, "AT+CMGS", nullptr, {"+CMS ERROR: 500"}, {}, {}, "+CMS ERROR: 500"},
        {NO_RESULT, "ATD1;", nullptr, {"NO ANSWER"}, {}, {}, "NO ANSWER"},
        {NO_RESULT, "ATD1;", nullptr, {"NO DIALTONE"}, {}, {}, "NO DIALTONE"},
        {NO_RESULT, "ATD*99#", nullptr, {"CONNECT 150000000"}, {}, {}, "CONNECT 150000000"},
        // "+CUSD" ends a call-waiting or forwarding command as an error
        {MULTILINE, "AT+CCWA=1,2", "+CCWA:", {"+CUSD: 4"}, {}, {}, "+CUSD: 4"},
        {MULTILINE, "AT+CCFC=0,2", "+CCFC:", {"+CUSD: 4"}, {}, {}, "+CUSD: 4"},
        {MULTILINE, "AT+CLCK=\"SC\",2", "+CLCK:", {"+CUSD: 4", "OK"}, {}, {"+CUSD: 4"}, "OK"},
        // the first final line is the result: what follows it is unsolicited
        {MULTILINE, "AT+CCWA=1,2", "+CCWA:", {"+CUSD: 4", "OK"}, {}, {"OK"}, "+CUSD: 4"},
        {NO_RESULT, "AT", nullptr, {"OK", "ERROR"}, {}, {"ERROR"}, "OK"},
        {SINGLELINE, "AT+CSQ", "+CSQ:", {"+CME ERROR: 30", "+CSQ: 20,99", "OK"}, {}, {"+CSQ: 20,99", "OK"}, "+CME ERROR: 30"},
        {MULTILINE, "AT+COPS=?", "+COPS:", {"+COPS: 1", "OK", "+COPS: 2"}, {"+COPS: 1"}, {"+COPS: 2"}, "OK"},
        // an SMS read reply takes the next line as body, unless that line is a
        // final result (an empty slot): then it ends the command
        {SINGLELINE, "AT+CMGR=1", "+CMGR:", {"+CMGR: 0,,23", "0891683108200105F0", "OK"}, {"+CMGR: 0,,23", "0891683108200105F0"}, {}, "OK"},
        {SINGLELINE, "AT+CMGR=2", "+CMGR:", {"+CMGR: 0,,0", "OK"}, {"+CMGR: 0,,0"}, {}, "OK"},
        {MULTILINE, "AT+CMGR=3", "+CMGR:", {"+CMGR: 0,,0", "+CMS ERROR: 321"}, {"+CMGR: 0,,0"}, {}, "+CMS ERROR: 321"},
        {MULTILINE, "AT+CMGL=4", "+CMGL:", {"+CMGL: 1,0,,3", "0011", "+CMGL: 2,0,,3", "0022", "OK"}, {"+CMGL: 1,0,,3", "0011", "+CMGL: 2,0,,3", "0022"}, {}, "OK"},
        // "SMS DONE" never becomes the single line
        {SINGLELINE, "AT+CSQ", "+CSQ:", {"^SMS DONE", "+CSQ: 20,99", "OK"}, {"+CSQ: 20,99"}, {"^SMS DONE"}, "OK"},
        // the prompt without a PDU to write is an ordinary line
        {NO_RESULT, "AT", nullptr, {"> ", "OK"}, {"> "}, {"> "}, "OK"},
    };
    for (const auto &c : cases) {
        Outcome o = feed(frame(c.in, "\r\n", "\r\n"), 0, c.kind, c.command, c.prefix);
        SCOPED_TRACE(c.command);
        EXPECT_EQ(o.final, c.final);
        EXPECT_EQ(o.success, c.final == "OK" || c.final.rfind("CONNECT", 0) == 0 ? 1 : 0);
        EXPECT_EQ(o.lines, c.lines);
        EXPECT_EQ(unsolLines(o), c.unsol);
    }
}

// Single-line replies of modules that leave out the prefix.
TEST(LineSorting, PrefixRepairTable) {
    const std::string longBare(200, '7');
    struct Case {
        const char *prefix;
        std::string line;
        std::string stored;  // empty: not stored, passed on instead
    } cases[] = {
        {"+CGSN:", "867530912345678", "+CGSN:867530912345678"},
        {"+CIMI:", "460001234567890", "+CIMI:460001234567890"},
        {"+QCIMI:", "460001234567890", "+QCIMI:460001234567890"},
        {"+CGMR:", "V1.0.2", "+CGMR:V1.0.2"},
        {"^MEID:", "A1000012345678", "^MEID:A1000012345678"},
        {"+CIMIM:", "4600", "+CIMIM:4600"},
        {"+CSQ:", "+csq: 21,99", "+CSQ: 21,99"},
        {"+CSQ:", "+CSQ: 21,99", "+CSQ: 21,99"},
        // a line that carries some other prefix is stored as it is
        {"+CGSN:", "^HWVER:1", "^HWVER:1"},
        {"+CGSN:", "+GSN: 1", "+GSN: 1"},
        // a notification that comes before the answer is passed on: it is no
        // answer, and the answer after it still is one
        {"+CSQ:", "+CMTI: \"SM\",0", ""},
        {"+CIMI:", "^MODE: 5,4", ""},
        {"+CGSN:", "+CREG: 1", ""},
        // the repair entry is found by the command's prefix beginning
        {"+CGSN: ", "1234", "+CGSN:1234"},
        // no repair entry: only prefixed lines count
        {"+CREG:", "1234", ""},
        // the repaired line is cut to the 128-byte buffer
        {"+CGSN:", longBare, "+CGSN:" + longBare.substr(0, 127 - 6)},
    };
    for (const auto &c : cases) {
        Outcome o = feed("\r\n" + c.line + "\r\n\r\nOK\r\n", 0, SINGLELINE, "AT+X", c.prefix);
        SCOPED_TRACE(std::string(c.prefix) + " / " + c.line.substr(0, 20));
        ASSERT_EQ(o.final, "OK");
        if (c.stored.empty()) {
            EXPECT_TRUE(o.lines.empty());
            EXPECT_EQ(unsolLines(o), std::vector<std::string>{c.line});
        } else {
            EXPECT_EQ(o.lines, std::vector<std::string>{c.stored});
            EXPECT_TRUE(o.unsol.empty());
        }
    }
}

TEST(LineCutting, OverflowDiscardsAndTheNextLineIsGood) {
    for (size_t junk : {size_t(8192), size_t(3 * 8192)}) {
        std::string bytes = std::string(junk, 'x') + "\r\n+CREG: 0,1\r\n\r\nOK\r\n";
        for (size_t chunk : {size_t(0), size_t(1000), size_t(4096)}) {
            Outcome o = feed(bytes, chunk, NO_RESULT, "AT+CREG?");
            EXPECT_EQ(o.final, "OK");
            EXPECT_EQ(o.lines, std::vector<std::string>{"+CREG: 0,1"}) << junk << "/" << chunk;
        }
    }
    // a line of 8191 characters still fits
    std::string longLine = "+X:" + std::string(8188, 'y');
    Outcome o = feed(longLine + "\r\nOK\r\n", 512, MULTILINE, "AT+X", "+X:");
    EXPECT_EQ(o.lines, std::vector<std::string>{longLine});
}

TEST(LineCutting, ZeroBytesFromTheModuleAreDropped) {
    static const char raw[] = "\r\n+CS\0Q: 1\r\n\0\r\nOK\r\n";
    std::string bytes(raw, sizeof(raw) - 1);
    Outcome o = feed(bytes, 0, SINGLELINE, "AT+CSQ", "+CSQ:");
    EXPECT_EQ(o.lines, std::vector<std::string>{"+CSQ: 1"});
    EXPECT_EQ(o.final, "OK");
}

TEST(LineSorting, SmsNotificationCarriesItsBody) {
    Outcome o = feed("\r\n+CMT: ,23\r\n0891683108\r\n\r\n^HCMT: 1\r\nbody2\r\n\r\nRING\r\n", 3, -1);
    ASSERT_EQ(o.unsol.size(), 3u);
    EXPECT_EQ(o.unsol[0].line, "+CMT: ,23");
    EXPECT_EQ(o.unsol[0].body, "0891683108");
    EXPECT_EQ(o.unsol[1].line, "^HCMT: 1");
    EXPECT_EQ(o.unsol[1].body, "body2");
    EXPECT_EQ(o.unsol[2].line, "RING");
    EXPECT_FALSE(o.unsol[2].hasBody);
}

TEST(LineSorting, SmsReadBodyWithoutPendingCommandIsDropped) {
    Outcome o = feed("\r\n+CMGR: 0,,23\r\n0011AABB\r\n\r\nRING\r\n", 0, -1);
    EXPECT_EQ(unsolLines(o), (std::vector<std::string>{"+CMGR: 0,,23", "RING"}));
}

TEST(LineSorting, PromptWritesNothingWithoutPort) {
    // with a PDU pending the prompt is consumed, not stored
    Outcome o = feed("\r\n> \r\n+CMGS: 5\r\n\r\nOK\r\n", 1, SINGLELINE, "AT+CMGS=12", "+CMGS:", "0011");
    EXPECT_EQ(o.lines, std::vector<std::string>{"+CMGS: 5"});
    EXPECT_TRUE(o.unsol.empty());
}

}  // namespace
