// The pure parsers of module reply lines, over replies as modules send them
// and over truncated, oversize and garbage lines.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "ril_parsers.h"

namespace {

TEST(ParseCsq, Replies) {
    struct Case {
        const char *line;
        int rc, rssi, ber;
    } cases[] = {
        {"+CSQ: 21,99", 2, 21, 99},
        {"+CSQ: 99,99", 2, 99, 99},
        {"+CSQ:5,2", 2, 5, 2},
        {"+CCSQ: 31,0", 2, 31, 0},
        {"+CSQ: 21", 1, 21, -7},         // the error rate left out
        {"+CSQ: ", 0, -7, -7},           // nothing after the prefix
        {"+CSQ: x,3", 0, -7, -7},        // not a number
        {"21,99", 0, -7, -7},            // no prefix: no colon to start after
        {"+CSQ: 21dBm,99", 2, 21, 99},   // a field counts by its leading digits
    };
    for (const auto &c : cases) {
        int rssi = -7, ber = -7;
        EXPECT_EQ(parseCsq(c.line, &rssi, &ber), c.rc) << c.line;
        EXPECT_EQ(rssi, c.rssi) << c.line;
        EXPECT_EQ(ber, c.ber) << c.line;
    }
    EXPECT_EQ(parseCsq(nullptr, nullptr, nullptr), -1);
}

TEST(ParseCpin, Replies) {
    struct Case {
        const char *line;
        int rc;
        const char *code;
    } cases[] = {
        {"+CPIN: READY", 0, "READY"},
        {"+CPIN: SIM PIN", 0, "SIM PIN"},
        {"+CPIN: SIM PUK", 0, "SIM PUK"},
        {"+CPIN: PH-NET PIN", 0, "PH-NET PIN"},
        {"+CPIN: \"READY\"", 0, "READY"},
        {"+CPIN:", 0, ""},
        {"READY", -1, "(untouched)"},
    };
    for (const auto &c : cases) {
        char code[64] = "(untouched)";
        EXPECT_EQ(parseCpin(c.line, code, sizeof(code)), c.rc) << c.line;
        EXPECT_STREQ(code, c.code) << c.line;
    }
    // the code is cut to the caller's buffer
    char small[4];
    EXPECT_EQ(parseCpin("+CPIN: SIM PIN", small, sizeof(small)), 0);
    EXPECT_STREQ(small, "SIM");
    EXPECT_EQ(parseCpin(nullptr, small, sizeof(small)), -1);
}

TEST(ParseCops, Replies) {
    struct Case {
        const char *line;
        int rc, mode, format;
        const char *oper;
    } cases[] = {
        {"+COPS: 0,0,\"CHINA MOBILE\",7", 3, 0, 0, "CHINA MOBILE"},
        {"+COPS: 0,2,\"46001\",2", 3, 0, 2, "46001"},
        {"+COPS: 1,1,\"CMCC\"", 3, 1, 1, "CMCC"},
        {"+COPS: 0", 1, 0, -7, "-"},           // not registered: the mode alone
        {"+COPS: 2,", 1, 2, -7, "-"},
        {"+COPS: 0,0,\"unterminated", 3, 0, 0, "unterminated"},
        {"+COPS: ", 0, -7, -7, "-"},
        {"COPS 0,0", 0, -7, -7, "-"},
    };
    for (const auto &c : cases) {
        int mode = -7, format = -7;
        char oper[32] = "-";
        EXPECT_EQ(parseCops(c.line, &mode, &format, oper, sizeof(oper)), c.rc) << c.line;
        EXPECT_EQ(mode, c.mode) << c.line;
        EXPECT_EQ(format, c.format) << c.line;
        EXPECT_STREQ(oper, c.oper) << c.line;
    }
    EXPECT_EQ(parseCops(nullptr, nullptr, nullptr, nullptr, 0), -1);
}

TEST(ParseSysinfo, Replies) {
    struct Case {
        const char *line;
        int rc;
        std::vector<int> fields;
    } cases[] = {
        // service, domain, roaming, system mode, SIM state[, lock, sub mode]
        {"^SYSINFO: 2,3,0,5,1,,4", 5, {2, 3, 0, 5, 1}},
        {"^SYSINFO: 2,3,0,9,1,0,9", 7, {2, 3, 0, 9, 1, 0, 9}},
        {"^SYSINFO:0,0,0,0,255", 5, {0, 0, 0, 0, 255}},
        {"^SYSINFO: 2", 1, {2}},
        {"^SYSINFO: ,3", 0, {}},
        {"no colon", -1, {}},
    };
    for (const auto &c : cases) {
        int fields[8] = {0};
        int n = parseSysinfo(c.line, fields, 8);
        EXPECT_EQ(n, c.rc) << c.line;
        EXPECT_EQ(std::vector<int>(fields, fields + (n > 0 ? n : 0)), c.fields) << c.line;
    }
    // never more than asked for
    int two[2] = {0, 0};
    EXPECT_EQ(parseSysinfo("^SYSINFO: 2,3,0,5,1", two, 2), 2);
    EXPECT_EQ(parseSysinfo(nullptr, two, 2), -1);
}

TEST(ParseServerinfo, Replies) {
    int fields[7] = {0};
    int more = -1;
    // MCC, MNC, TAC, cell, band, EARFCN, RSRP (negative dBm), SINR, ...
    EXPECT_EQ(parseServerinfo("+SERVERINFO: 460,0,23100,1912579,3,1825,-95,12,1", fields, 7, &more), 7);
    EXPECT_EQ(fields[6], -95);
    EXPECT_EQ(more, 1);
    EXPECT_EQ(parseServerinfo("+SERVERINFO: 460,0,23100,1912579,3,1825,-95", fields, 7, &more), 7);
    EXPECT_EQ(more, 0);
    EXPECT_EQ(parseServerinfo("+SERVERINFO: 460,0,,5", fields, 7, &more), 2);
    EXPECT_EQ(parseServerinfo(nullptr, fields, 7, &more), -1);
    EXPECT_EQ(more, 0);
}

TEST(Parsers, HostileLinesAreBounded) {
    // longer than any line the channel delivers: cut, still one field
    std::string huge = "+CSQ: " + std::string(100000, '9');
    int a = -7, b = -7;
    EXPECT_EQ(parseCsq(huge.c_str(), &a, &b), 1);
    std::string longName = "+COPS: 0,0,\"" + std::string(20000, 'N') + "\"";
    char oper[16];
    EXPECT_EQ(parseCops(longName.c_str(), &a, &b, oper, sizeof(oper)), 3);
    EXPECT_EQ(std::string(oper), std::string(15, 'N'));
    int fields[4];
    std::string many = "^SYSINFO: " + std::string(50000, ',');
    EXPECT_EQ(parseSysinfo(many.c_str(), fields, 4), 0);
    EXPECT_EQ(parseCpin("+CPIN: \r\n\x1a;AT", oper, sizeof(oper)), 0);
}

}  // namespace
