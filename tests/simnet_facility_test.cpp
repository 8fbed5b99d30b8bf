// Facility locks and the barring password of the three families against
// the scripted module: the commands, the answers and failure codes of each
// family, and framework texts that are refused with nothing sent.
#include <string>
#include <vector>

#include "ril_facility.h"
#include "simnet_rig.h"

using simnettest::CDMA;
using simnettest::intAnswer;
using simnettest::LTE;
using simnettest::Rig;
using simnettest::WCDMA;

struct LockCase {
    const char *name;
    int family;
    int code;
    std::vector<const char *> args;
    std::string command;
    std::vector<std::string> reply;
    int error;
    int answer;  // -1000: no payload
};
void PrintTo(const LockCase &c, std::ostream *os) { *os << c.name; }

class Locks : public ::testing::TestWithParam<LockCase> {};

TEST_P(Locks, SendsTheCommandAndCompletesOnce) {
    const auto &c = GetParam();
    Rig rig;
    rig.peer.expect(c.command, c.reply);
    rig.open();
    auto done = rig.strings(c.family, c.code, c.args);
    EXPECT_EQ(done.error, c.error);
    if (c.answer == -1000) {
        EXPECT_TRUE(done.data.empty());
    } else {
        EXPECT_EQ(intAnswer(done), c.answer);
    }
    rig.peer.verify();
}

INSTANTIATE_TEST_SUITE_P(
    Families, Locks,
    ::testing::Values(
        // query: password and class unquoted, each after a comma and a blank
        LockCase{"wcdma_query_sc_empty_password", WCDMA, 42, {"SC", "", "7", ""}, "AT+CLCK=\"SC\",2, , 7",
                 {"+CLCK: 1", "OK"}, 0, 1},
        LockCase{"lte_query_barring", LTE, 42, {"AO", "1234", "1"}, "AT+CLCK=\"AO\",2, 1234, 1",
                 {"+CLCK: 0,1", "OK"}, 0, 0},
        LockCase{"cdma_query_always_sc", CDMA, 42, {"AO", "1234", "1", ""}, "AT+CLCK=\"SC\",2", {"+CLCK: 1", "OK"},
                 0, 1},
        LockCase{"wcdma_query_error", WCDMA, 42, {"SC", "", "7"}, "AT+CLCK=\"SC\",2, , 7", {"+CME ERROR: 10"}, 6,
                 -1000},
        LockCase{"lte_query_ok_without_line", LTE, 42, {"SC", "", "7"}, "AT+CLCK=\"SC\",2, , 7", {"OK"}, 6, -1000},
        LockCase{"cdma_query_garbage", CDMA, 42, {"SC", "", "7"}, "AT+CLCK=\"SC\",2", {"+CLCK: x", "OK"}, 6, -1000},
        // set: password quoted; CDMA without class
        LockCase{"wcdma_set", WCDMA, 43, {"SC", "1", "1234", "7", ""}, "AT+CLCK=\"SC\",1, \"1234\", 7", {"OK"}, 0,
                 -1000},
        LockCase{"lte_set_error", LTE, 43, {"SC", "0", "0000", "7"}, "AT+CLCK=\"SC\",0, \"0000\", 7",
                 {"+CME ERROR: 16"}, 6, -1000},
        LockCase{"wcdma_set_error", WCDMA, 43, {"SC", "0", "0000", "7"}, "AT+CLCK=\"SC\",0, \"0000\", 7", {"ERROR"}, 6,
                 -1000},
        LockCase{"cdma_set", CDMA, 43, {"SC", "1", "1234", "7"}, "AT+CLCK=\"SC\",1, \"1234\"", {"OK"}, 0, -1000},
        LockCase{"cdma_set_error", CDMA, 43, {"SC", "1", "9999", "7"}, "AT+CLCK=\"SC\",1, \"9999\"",
                 {"+CME ERROR: 16"}, 2, -1000},
        // barring password: a bare OK is the module's success answer
        LockCase{"wcdma_barring_bare_ok", WCDMA, 44, {"AB", "1234", "4321"}, "AT+CPWD=\"AB\", \"1234\", \"4321\"",
                 {"OK"}, 0, -1000},
        LockCase{"lte_barring_with_line", LTE, 44, {"AB", "1234", "4321"}, "AT+CPWD=\"AB\", \"1234\", \"4321\"",
                 {"+CPWD: 0", "OK"}, 0, -1000},
        LockCase{"cdma_barring_bare_ok", CDMA, 44, {"SC", "1234", "4321"}, "AT+CPWD=\"SC\", \"1234\", \"4321\"",
                 {"OK"}, 0, -1000},
        LockCase{"lte_barring_wrong", LTE, 44, {"AB", "0000", "4321"}, "AT+CPWD=\"AB\", \"0000\", \"4321\"",
                 {"+CME ERROR: 16"}, 6, -1000}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Locks, SilentModuleCompletesOnce) {
    Rig rig;
    rig.peer.silence("AT+CLCK=\"SC\",1, \"1234\", 7");
    rig.open();
    auto done = rig.strings(WCDMA, 43, {"SC", "1", "1234", "7"});
    EXPECT_EQ(done.error, RIL_E_REQUEST_NOT_SUPPORTED);
}

/* ---- framework texts that must not reach the module ---- */

struct RefusedLock {
    const char *name;
    int family;
    int code;
    std::vector<const char *> args;  // "<null>" stands for a null entry
    int error;
};
void PrintTo(const RefusedLock &c, std::ostream *os) { *os << c.name; }

class RefusedLocks : public ::testing::TestWithParam<RefusedLock> {};

TEST_P(RefusedLocks, CompletesTheFailureCodeWithNothingSent) {
    const auto &c = GetParam();
    Rig rig;
    rig.open();
    std::vector<const char *> args;
    for (const char *a : c.args) args.push_back(std::string(a) == "<null>" ? nullptr : a);
    auto done = rig.strings(c.family, c.code, args);
    EXPECT_EQ(done.error, c.error);
    rig.peer.verify();
    EXPECT_TRUE(rig.peer.commands().empty());
}

const std::string kLongPassword(17, '1');

INSTANTIATE_TEST_SUITE_P(
    Texts, RefusedLocks,
    ::testing::Values(
        RefusedLock{"query_no_data", WCDMA, 42, {}, 2},
        RefusedLock{"cdma_query_no_data", CDMA, 42, {}, 2},
        RefusedLock{"query_short_array", LTE, 42, {"SC", "1234"}, 6},
        RefusedLock{"query_null_class", WCDMA, 42, {"SC", "", "<null>"}, 6},
        RefusedLock{"query_facility_quote", WCDMA, 42, {"S\"", "", "7"}, 6},
        RefusedLock{"query_facility_lower", LTE, 42, {"sc", "", "7"}, 6},
        RefusedLock{"query_facility_three", LTE, 42, {"SCX", "", "7"}, 6},
        RefusedLock{"query_password_semicolon", WCDMA, 42, {"SC", "1;+CFUN=0", "7"}, 6},
        RefusedLock{"query_class_text", LTE, 42, {"SC", "", "7;+CFUN=0"}, 6},
        RefusedLock{"query_class_above_255", LTE, 42, {"SC", "", "256"}, 6},
        RefusedLock{"query_class_negative", LTE, 42, {"SC", "", "-1"}, 6},
        RefusedLock{"set_no_data", LTE, 43, {}, 2},
        RefusedLock{"set_state_two", WCDMA, 43, {"SC", "2", "1234", "7"}, 6},
        RefusedLock{"set_state_injection", WCDMA, 43, {"SC", "1,\"x\";+CFUN=0;", "1234", "7"}, 6},
        RefusedLock{"set_password_quote", LTE, 43, {"SC", "1", "12\"34", "7"}, 6},
        RefusedLock{"set_password_cr", LTE, 43, {"SC", "1", "1234\rAT+CFUN=0", "7"}, 6},
        RefusedLock{"set_password_ctrl_z", WCDMA, 43, {"SC", "1", "1234\x1a", "7"}, 6},
        RefusedLock{"set_password_oversize", WCDMA, 43, {"SC", "1", kLongPassword.c_str(), "7"}, 6},
        RefusedLock{"set_null_password", WCDMA, 43, {"SC", "1", "<null>", "7"}, 6},
        RefusedLock{"set_short_array", WCDMA, 43, {"SC", "1", "1234"}, 6},
        RefusedLock{"cdma_set_short_array", CDMA, 43, {"SC", "1"}, 2},
        RefusedLock{"cdma_set_password_lf", CDMA, 43, {"SC", "1", "12\n34"}, 2},
        RefusedLock{"cdma_set_null_facility", CDMA, 43, {"<null>", "1", "1234"}, 2},
        RefusedLock{"barring_no_data", CDMA, 44, {}, 2},
        RefusedLock{"barring_short_array", WCDMA, 44, {"AB", "1234"}, 6},
        RefusedLock{"barring_new_quote", LTE, 44, {"AB", "1234", "43\"21"}, 6},
        RefusedLock{"barring_old_semicolon", CDMA, 44, {"AB", "12;34", "4321"}, 6},
        RefusedLock{"barring_facility_injection", WCDMA, 44, {"A\";+CFUN=0;\"", "1234", "4321"}, 6}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(LockTexts, Checks) {
    EXPECT_TRUE(ril_is_facility("SC"));
    EXPECT_TRUE(ril_is_facility("P2"));
    EXPECT_FALSE(ril_is_facility("S"));
    EXPECT_FALSE(ril_is_facility(nullptr));
    EXPECT_TRUE(ril_is_lock_state("0"));
    EXPECT_FALSE(ril_is_lock_state("01"));
    EXPECT_TRUE(ril_is_service_class("0"));
    EXPECT_TRUE(ril_is_service_class("255"));
    EXPECT_FALSE(ril_is_service_class(""));
    EXPECT_FALSE(ril_is_service_class("1000"));
    EXPECT_TRUE(ril_is_password(""));
    EXPECT_TRUE(ril_is_password("1234567890123456"));
    EXPECT_FALSE(ril_is_password("12345678901234567"));
    EXPECT_FALSE(ril_is_password("12a4"));
}
