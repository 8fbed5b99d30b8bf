// Reply tokenizer, prefix test, hex and quote helpers, CME error numbers.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "at_link.h"
#include "at_reply.h"

namespace {

// One parse step on a line: 'i' int, 'h' hex int, 'b' bool, 's' string.
struct Tok {
    char op;
    int rc;
    std::string value;  // expected text of the value when rc == 0
};

struct TokCase {
    const char *line;
    std::vector<Tok> steps;
    int hasMoreAfter;
};
// readable, stable test names: the line itself
void PrintTo(const TokCase &c, std::ostream *os) { *os << "\"" << c.line << "\""; }

class TokenizerTable : public ::testing::TestWithParam<TokCase> {};

TEST_P(TokenizerTable, ParsesFields) {
    const TokCase &c = GetParam();
    std::string copy = c.line;
    char *cur = &copy[0];
    int rc = at_tok_start(&cur);
    ASSERT_EQ(rc, 0) << c.line;
    for (size_t i = 0; i < c.steps.size(); i++) {
        const Tok &t = c.steps[i];
        std::string got;
        int r = -1;
        if (t.op == 'i' || t.op == 'h') {
            int v = 0;
            r = t.op == 'i' ? at_tok_nextint(&cur, &v) : at_tok_nexthexint(&cur, &v);
            got = std::to_string(v);
        } else if (t.op == 'b') {
            char v = 'u';  // untouched marker
            r = at_tok_nextbool(&cur, &v);
            got = v == 'u' ? "untouched" : std::to_string((int)v);
        } else {
            char *s = nullptr;
            r = at_tok_nextstr(&cur, &s);
            got = s != nullptr ? s : "(null)";
        }
        EXPECT_EQ(r, t.rc) << c.line << " step " << i;
        if (t.rc == 0 || t.op == 'b') {
            EXPECT_EQ(got, t.value) << c.line << " step " << i;
        }
    }
    EXPECT_EQ(at_tok_hasmore(&cur), c.hasMoreAfter) << c.line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, TokenizerTable,
    ::testing::Values(
        TokCase{"+CSQ: 21,99", {{'i', 0, "21"}, {'i', 0, "99"}}, 0},
        TokCase{"+COPS: 0,0,\"China, Mobile  \",7",
                {{'i', 0, "0"}, {'i', 0, "0"}, {'s', 0, "China, Mobile  "}, {'i', 0, "7"}},
                0},
        TokCase{"+X: \"ab\"xy,5", {{'s', 0, "ab"}, {'i', 0, "5"}}, 0},
        TokCase{"+X: 2,1", {{'b', -1, "untouched"}, {'b', 0, "1"}}, 0},
        TokCase{"+X: abc", {{'b', -1, "untouched"}}, 0},
        // an empty field fails and moves past its comma
        TokCase{"+X: 1,,3", {{'i', 0, "1"}, {'i', -1, ""}, {'i', 0, "3"}}, 0},
        TokCase{"+X: -5, +6", {{'i', 0, "-5"}, {'i', 0, "6"}}, 0},
        TokCase{"+X: 1A,ff,zz", {{'h', 0, "26"}, {'h', 0, "255"}, {'h', -1, ""}}, 0},
        // fields are not trimmed at their end
        TokCase{"+X: a b ,c", {{'s', 0, "a b "}, {'s', 0, "c"}}, 0},
        // an unterminated quote runs to the end of the line
        TokCase{"+X: \"abc,def", {{'s', 0, "abc,def"}, {'s', -1, ""}}, 0},
        TokCase{"+X: 1,2", {{'i', 0, "1"}}, 1},
        // nothing after the colon: one empty field, then nothing
        TokCase{"+X:", {{'s', 0, ""}, {'s', -1, ""}, {'i', -1, ""}}, 0}));

TEST(Tokenizer, LineWithoutColon) {
    std::string copy = "OK";
    char *cur = &copy[0];
    EXPECT_EQ(at_tok_start(&cur), -1);
    EXPECT_EQ(cur, nullptr);
    int v = 0;
    EXPECT_EQ(at_tok_nextint(&cur, &v), -1);
    EXPECT_EQ(at_tok_hasmore(&cur), 0);
    EXPECT_EQ(at_tok_start(nullptr), -1);
    EXPECT_EQ(at_tok_nextstr(nullptr, nullptr), -1);
}

TEST(Tokenizer, NullOutPointersAreAllowed) {
    std::string copy = "+X: 1,0,\"s\"";
    char *cur = &copy[0];
    ASSERT_EQ(at_tok_start(&cur), 0);
    EXPECT_EQ(at_tok_nextint(&cur, nullptr), 0);
    EXPECT_EQ(at_tok_nextbool(&cur, nullptr), 0);
    EXPECT_EQ(at_tok_nextstr(&cur, nullptr), 0);
}

TEST(StrStartsWith, Table) {
    struct {
        const char *line;
        const char *prefix;
        int want;
    } cases[] = {{"+CSQ: 1", "+CSQ:", 1}, {"+CSQ", "+CSQ:", 0}, {"OK", "", 1},
                 {"", "", 1},            {"", "O", 0},         {nullptr, "O", 0},
                 {"OK", nullptr, 0}};
    for (const auto &c : cases) {
        EXPECT_EQ(strStartsWith(c.line, c.prefix), c.want)
            << (c.line ? c.line : "(null)") << " / " << (c.prefix ? c.prefix : "(null)");
    }
}

TEST(Hex, ToBytesTable) {
    struct {
        const char *hex;
        int max;
        int rc;
        std::vector<unsigned char> bytes;
    } cases[] = {
        {"0A1", 8, 0, {0x0A, 0x10}},
        {"0A1B", 1, 1, {0x0A}},
        {"0A1B2", 1, 2, {0x0A}},
        {"0G", 8, -1, {}},
        {"G", 8, -1, {}},
        {"ff00", 2, 0, {0xFF, 0x00}},
        {"", 4, 0, {}},
        {"AB", 0, 1, {}},
    };
    for (const auto &c : cases) {
        std::string text = c.hex;
        unsigned char out[16];
        memset(out, 0xEE, sizeof(out));
        int rc = gv_hex2b(out, &text[0], c.max);
        EXPECT_EQ(rc, c.rc) << c.hex;
        if (rc >= 0) {
            for (size_t i = 0; i < c.bytes.size(); i++) EXPECT_EQ(out[i], c.bytes[i]) << c.hex;
            EXPECT_EQ(out[c.bytes.size()], 0xEE) << c.hex << ": wrote past the converted bytes";
        }
    }
}

TEST(Hex, ConvertedDigitsAreOverwrittenWithTheirValue) {
    char text[] = "0A1";
    unsigned char out[4];
    ASSERT_EQ(gv_hex2b(out, text, 4), 0);
    EXPECT_EQ(text[0], 0);
    EXPECT_EQ(text[1], 10);
    EXPECT_EQ(text[2], 1);
    EXPECT_EQ(gv_hex2b(nullptr, text, 4), -1);
}

TEST(Hex, FromBytes) {
    const unsigned char bytes[] = {0x00, 0xAB, 0x7f};
    char out[7];
    memset(out, 'x', sizeof(out));
    EXPECT_EQ(gv_b2hex(out, bytes, 2), 4);
    EXPECT_STREQ(out, "00AB");
    EXPECT_EQ(gv_b2hex(out, bytes, 3), 6);
    EXPECT_STREQ(out, "00AB7F");
    EXPECT_EQ(gv_b2hex(out, bytes, 0), 0);
    EXPECT_STREQ(out, "");
}

TEST(RemoveQuotes, Table) {
    struct {
        const char *text;
        int capacity;
        int rc;
        const char *out;
    } cases[] = {
        {"\"abc\"", 4, 1, "abc"},
        // the terminator needs room too: three characters do not fit in 3
        {"\"abc\"", 3, 0, nullptr},
        {"\"abc\"", 2, 0, nullptr},
        {"a\"b\"c", 4, 1, "abc"},
        // an unbalanced quote still counts every character that is copied
        {"\"abcd", 4, 0, nullptr},
        {"\"abcd", 5, 1, "abcd"},
        {"", 1, 1, ""},
        {"x", 0, 0, nullptr},
    };
    for (const auto &c : cases) {
        char out[16];
        memset(out, 'Z', sizeof(out));
        EXPECT_EQ(gv_remove_quotes(c.text, out, c.capacity), c.rc) << c.text << " / " << c.capacity;
        if (c.rc == 1) {
            EXPECT_STREQ(out, c.out);
        } else {
            EXPECT_EQ(out[0], 'Z') << "wrote although it did not fit";
        }
        // nothing is ever written past the capacity
        EXPECT_EQ(out[c.capacity], 'Z') << c.text;
    }
    char out[4];
    EXPECT_EQ(gv_remove_quotes(nullptr, out, 4), 0);
    EXPECT_EQ(gv_remove_quotes("a", nullptr, 4), 0);
}

AtReply *makeReply(int success, const char *final) {
    AtReply *p = (AtReply *)calloc(1, sizeof(AtReply));
    p->success = success;
    p->finalResponse = final != nullptr ? strdup(final) : nullptr;
    return p;
}

TEST(CmeError, Table) {
    struct {
        int success;
        const char *final;
        int want;
    } cases[] = {
        {1, "OK", 0},
        {0, "+CME ERROR: 10", 10},
        {0, "+CME ERROR:3", 3},
        {0, "+CME ERROR: SIM busy", -1},
        {0, "+CMS ERROR: 500", -1},
        {0, "ERROR", -1},
        {0, nullptr, -1},
    };
    for (const auto &c : cases) {
        AtReply *p = makeReply(c.success, c.final);
        EXPECT_EQ(at_get_cme_error(p), c.want) << (c.final ? c.final : "(null)");
        at_response_free(p);
    }
    EXPECT_EQ(at_get_cme_error(nullptr), -1);
    at_response_free(nullptr);
}

}  // namespace
