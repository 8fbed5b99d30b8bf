// SIM file access of the three families against the scripted module: the
// commands sent, the SIM GET RESPONSE conversions of USIM FCP answers, the
// EF_ICCID fallbacks, the CDMA path checks and record-file rewrite, and
// framework texts that never reach the module. Plus the converters alone.
#include <string.h>

#include <string>
#include <vector>

#include "ril_sim_io.h"
#include "simnet_rig.h"

using simnettest::CDMA;
using simnettest::LTE;
using simnettest::Rig;
using simnettest::WCDMA;

namespace {

RIL_SIM_IO_v6 io(int command, int fileid, const char *path, int p3, const char *data = nullptr) {
    RIL_SIM_IO_v6 r;
    memset(&r, 0, sizeof(r));
    r.command = command;
    r.fileid = fileid;
    r.path = const_cast<char *>(path);
    r.p3 = p3;
    r.data = const_cast<char *>(data);
    return r;
}

// ADN-like linear fixed EF 6F3A: descriptor 82 05 42 21 00 1C 0A, id 83 02
// 6F 3A, size 80 02 01 18; the SIM layout has size 0118, id 6f3a, type 04,
// structure 01 and record length 1c
const char kLinearFcp[] = "620F82054221001C0A83026F3A80020118";
const char kLinearSim[] = "000001186f3a04000000000000011c";

}  // namespace

/* ---- WCDMA and LTE GET RESPONSE ---- */

struct GetResponseCase {
    const char *name;
    int family;
    std::string reply;       // "+CRSM:" line
    int sw1;
    std::string expected;    // the answer text
};
void PrintTo(const GetResponseCase &c, std::ostream *os) { *os << c.name; }

class GetResponse : public ::testing::TestWithParam<GetResponseCase> {};

TEST_P(GetResponse, SendsP3ZeroAndAnswersTheSimLayout) {
    const auto &c = GetParam();
    Rig rig;
    // p3 of a GET RESPONSE is always 0; the path is never sent
    rig.peer.expect("AT+CRSM=192,28474,0,0,0", {c.reply, "OK"});
    rig.open();
    RIL_SIM_IO_v6 r = io(192, 0x6F3A, "3F007F10", 15);
    auto done = rig.request(c.family, RIL_REQUEST_SIM_IO, &r, sizeof(r));
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    auto a = rig.lastSimIo();
    EXPECT_EQ(a.sw1, c.sw1);
    EXPECT_EQ(a.text, c.expected);
    rig.peer.verify();
}

INSTANTIATE_TEST_SUITE_P(
    Answers, GetResponse,
    ::testing::Values(
        GetResponseCase{"wcdma_linear", WCDMA, std::string("+CRSM: 144,0,\"") + kLinearFcp + "\"", 144, kLinearSim},
        GetResponseCase{"lte_linear", LTE, std::string("+CRSM: 144,0,\"") + kLinearFcp + "\"", 144, kLinearSim},
        GetResponseCase{"lower_case_hex", LTE, "+CRSM: 144,0,\"620f82054221001c0a83026f3a80020118\"", 144,
                        kLinearSim},
        // a status word outside 90/91/9E/9F becomes 90 with a converted answer
        GetResponseCase{"odd_status_word", WCDMA, std::string("+CRSM: 97,0,\"") + kLinearFcp + "\"", 144,
                        kLinearSim},
        GetResponseCase{"status_9f_kept", WCDMA, std::string("+CRSM: 159,16,\"") + kLinearFcp + "\"", 159,
                        kLinearSim},
        // cyclic (low bits 3) with a record length
        GetResponseCase{"cyclic", LTE, "+CRSM: 144,0,\"620F82054321002010830260148002014A\"", 144,
                        "0000014a601404000000000000032" "0"},
        // a DF: file type 2, no structure
        GetResponseCase{"df", WCDMA, "+CRSM: 144,0,\"620A8202782183027F10A500\"", 144,
                        "000000007f1002000000000000000" "0"},
        // answers that are not a well-formed FCP pass through unchanged
        GetResponseCase{"count_mismatch", WCDMA, "+CRSM: 144,0,\"621082054221001C0A83026F3A80020118\"", 144,
                        "621082054221001C0A83026F3A80020118"},
        GetResponseCase{"element_past_template", LTE, "+CRSM: 144,0,\"62088205422183096F3A\"", 144,
                        "62088205422183096F3A"},
        GetResponseCase{"file_id_too_short", LTE, "+CRSM: 144,0,\"6207820142830160AA\"", 144, "6207820142830160AA"},
        GetResponseCase{"not_hex", WCDMA, "+CRSM: 144,0,\"62ZZ\"", 144, "62ZZ"},
        GetResponseCase{"sim_layout_already", WCDMA, "+CRSM: 144,0,\"000000106F3A040011FFFF01020000\"", 144,
                        "000000106F3A040011FFFF01020000"},
        GetResponseCase{"short_text", WCDMA, "+CRSM: 144,0,\"62\"", 144, "62"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SimIo, EmptyGetResponseTextBecomesNoText) {
    Rig rig;
    rig.peer.expect("AT+CRSM=192,28474,0,0,0", {"+CRSM: 106,130,\"\"", "OK"});
    rig.open();
    RIL_SIM_IO_v6 r = io(192, 0x6F3A, nullptr, 0);
    auto done = rig.request(LTE, RIL_REQUEST_SIM_IO, &r, sizeof(r));
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    auto a = rig.lastSimIo();
    EXPECT_EQ(a.sw1, 106);
    EXPECT_EQ(a.sw2, 130);
    EXPECT_FALSE(a.hasText);
    rig.peer.verify();
}

/* ---- reads, updates and failures ---- */

TEST(SimIo, ReadRecordWithAndWithoutData) {
    Rig rig;
    rig.peer.expect("AT+CRSM=178,28474,1,4,28", {"+CRSM: 144,0,\"4A6F686EFFFF\"", "OK"})
        .expect("AT+CRSM=220,28474,1,4,2,\"abCD\"", {"+CRSM: 144,0", "OK"})
        .expect("AT+CRSM=176,28589,0,0,4", {"+CME ERROR: 4"});
    rig.open();
    RIL_SIM_IO_v6 r = io(178, 0x6F3A, "3F007F10", 28);
    r.p1 = 1;
    r.p2 = 4;
    auto done = rig.request(WCDMA, RIL_REQUEST_SIM_IO, &r, sizeof(r));
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    EXPECT_EQ(rig.lastSimIo().text, "4A6F686EFFFF");
    // the 3GPP families send the data text as given
    char data[] = "abCD";
    RIL_SIM_IO_v6 u = io(220, 0x6F3A, "3F007F10", 2, data);
    u.p1 = 1;
    u.p2 = 4;
    done = rig.request(WCDMA, RIL_REQUEST_SIM_IO, &u, sizeof(u));
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    EXPECT_FALSE(rig.lastSimIo().hasText);
    EXPECT_STREQ(data, "abCD");
    RIL_SIM_IO_v6 e = io(176, 0x6FAD, nullptr, 4);
    done = rig.request(WCDMA, RIL_REQUEST_SIM_IO, &e, sizeof(e));
    EXPECT_EQ(done.error, RIL_E_GENERIC_FAILURE);
    rig.peer.verify();
}

TEST(SimIo, IccidReadSendsTenAndFallsBackToTheFixedIccid) {
    Rig rig;
    rig.peer.expect("AT+CRSM=176,12258,0,0,10", {"+CRSM: 144,0", "OK"})
        .expect("AT+CRSM=176,12258,0,0,10", {"ERROR"});
    rig.open();
    RIL_SIM_IO_v6 r = io(176, 0x2FE2, "3F00", 15);
    auto done = rig.request(WCDMA, RIL_REQUEST_SIM_IO, &r, sizeof(r));
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    auto a = rig.lastSimIo();
    EXPECT_EQ(a.sw1, 0x90);
    EXPECT_EQ(a.sw2, 0);
    ASSERT_EQ(a.text.size(), 20u);
    EXPECT_EQ(a.text.substr(0, 4), "9868");
    EXPECT_EQ(a.text.find_first_not_of("0123456789"), std::string::npos);
    rig.peer.verify();
}

TEST(SimIo, IccidRetryAnswersTheDigitPairsSwapped) {
    struct Case {
        const char *qccid;
        std::string expected;  // empty: the fixed ICCID
    } cases[] = {
        {"+QCCID: 89860012345678901234", "98680021436587092143"},
        {"+QCCID: \"8986001234567890123F\"", "986800214365870921F3"},
        {"+QCCID: 898600123456789012345", ""},  // odd length
        {"+QCCID: 8986\"+CFUN=0", ""},          // not digits
        {"+QCCID:", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.qccid);
        Rig rig;
        rig.peer.expect("AT+CRSM=176,12258,0,0,10", {"ERROR"})
            .expect("AT+CRSM=176,12258,0,0,10", {c.qccid, "OK"});
        rig.open();
        RIL_SIM_IO_v6 r = io(176, 0x2FE2, nullptr, 10);
        auto done = rig.request(LTE, RIL_REQUEST_SIM_IO, &r, sizeof(r));
        EXPECT_EQ(done.error, RIL_E_SUCCESS);
        auto a = rig.lastSimIo();
        EXPECT_EQ(a.sw1, 0x90);
        EXPECT_EQ(a.text, c.expected.empty() ? std::string(kFixedIccid) : c.expected);
        rig.peer.verify();
    }
}

TEST(SimIo, IccidGetResponseFallbackAndOtherCommandsFail) {
    Rig rig;
    rig.peer.expect("AT+CRSM=192,12258,0,0,0", {"+CME ERROR: 10"})
        .expect("AT+CRSM=214,12258,0,0,1,\"00\"", {"+CME ERROR: 10"});
    rig.open();
    RIL_SIM_IO_v6 g = io(192, 0x2FE2, nullptr, 15);
    auto done = rig.request(WCDMA, RIL_REQUEST_SIM_IO, &g, sizeof(g));
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    EXPECT_EQ(rig.lastSimIo().sw1, 0x90);
    EXPECT_EQ(rig.lastSimIo().text, "0000000a2fe2040000000000000000");
    RIL_SIM_IO_v6 u = io(214, 0x2FE2, nullptr, 1, "00");
    done = rig.request(WCDMA, RIL_REQUEST_SIM_IO, &u, sizeof(u));
    EXPECT_EQ(done.error, RIL_E_GENERIC_FAILURE);
    rig.peer.verify();
}

TEST(SimIo, HostileReplyLinesCompleteOnce) {
    const std::vector<std::vector<std::string>> replies = {
        {"+CRSM: x,0", "OK"}, {"+CRSM:", "OK"}, {"OK"}, {"+CRSM: 144,0,\"" + std::string(3000, 'A') + "\"", "OK"},
        {"+CRSM: 144", "OK"}, {"<silence>"}};
    for (const auto &rep : replies) {
        SCOPED_TRACE(rep[0].substr(0, 40));
        Rig rig;
        if (rep[0] == "<silence>")
            rig.peer.silence("AT+CRSM=192,28474,0,0,0");
        else
            rig.peer.expect("AT+CRSM=192,28474,0,0,0", rep);
        rig.open();
        RIL_SIM_IO_v6 r = io(192, 0x6F3A, nullptr, 0);
        auto done = rig.request(LTE, RIL_REQUEST_SIM_IO, &r, sizeof(r));
        if (rep[0].size() > 1000) {
            // a long answer is passed on as it is
            EXPECT_EQ(done.error, RIL_E_SUCCESS);
            EXPECT_EQ(rig.lastSimIo().text.size(), 3000u);
        } else {
            EXPECT_EQ(done.error, RIL_E_GENERIC_FAILURE);
        }
    }
}

/* ---- CDMA ---- */

TEST(CdmaSimIo, SendsRruWithPathAndUpperCaseDataCopy) {
    Rig rig;
    rig.peer.expect("AT^RRU=214,28472,0,0,2,\"AB0F\",\"3F007F25\"", {"^RRU: 144,0", "OK"})
        .expect("AT^RRU=176,28472,0,0,8,,\"3F007F25\"", {"^RRU: 144,0,\"0102030405060708\"", "OK"});
    rig.open();
    char data[] = "ab0f";
    RIL_SIM_IO_v6 u = io(214, 0x6F38, "3F007F25", 2, data);
    auto done = rig.request(CDMA, RIL_REQUEST_SIM_IO, &u, sizeof(u));
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    EXPECT_STREQ(data, "ab0f") << "the framework's buffer is never changed";
    RIL_SIM_IO_v6 r = io(176, 0x6F38, "3F007F25", 8);
    done = rig.request(CDMA, RIL_REQUEST_SIM_IO, &r, sizeof(r));
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    EXPECT_EQ(rig.lastSimIo().text, "0102030405060708");
    rig.peer.verify();
}

TEST(CdmaSimIo, RecordFileGetResponseIsRewrittenToTheSimLayout) {
    // record length 0x0020, 10 records, file id 6F3A: size 0x140
    const std::string tpl = "621C8205422100200A83026F3AA5038001718A01058B036F0608800201400000";
    Rig rig;
    rig.peer.expect("AT^RRU=192,28474,0,0,15,,\"3F007F25\"", {"^RRU: 144,0,\"" + tpl + "\"", "OK"})
        .expect("AT^RRU=192,28474,0,0,15,,\"3F007F25\"", {"^RRU: 144,0,\"621C8205422100\"", "OK"})
        .expect("AT^RRU=192,28474,0,0,15,,\"3F007F25\"", {"^RRU: 144,0,\"620F8202412183026F3A8002000A00\"", "OK"});
    rig.open();
    RIL_SIM_IO_v6 r = io(192, 0x6F3A, "3F007F25", 15);
    auto done = rig.request(CDMA, RIL_REQUEST_SIM_IO, &r, sizeof(r));
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    EXPECT_EQ(rig.lastSimIo().text, "000001406F3A04200A83026F3A0120");
    // too short for the rewrite, and a transparent file: passed on unchanged
    done = rig.request(CDMA, RIL_REQUEST_SIM_IO, &r, sizeof(r));
    EXPECT_EQ(rig.lastSimIo().text, "621C8205422100");
    done = rig.request(CDMA, RIL_REQUEST_SIM_IO, &r, sizeof(r));
    EXPECT_EQ(rig.lastSimIo().text, "620F8202412183026F3A8002000A00");
    rig.peer.verify();
}

TEST(CdmaSimIo, StatusWordsOnlyAndFailures) {
    Rig rig;
    rig.peer.expect("AT^RRU=176,28472,0,0,8,,\"3F007F25\"", {"^RRU: 106,130", "OK"})
        .expect("AT^RRU=176,28472,0,0,8,,\"3F007F25\"", {"^RRU: a,b", "OK"})
        .expect("AT^RRU=176,28472,0,0,8,,\"3F007F25\"", {"ERROR"});
    rig.open();
    RIL_SIM_IO_v6 r = io(176, 0x6F38, "3F007F25", 8);
    auto done = rig.request(CDMA, RIL_REQUEST_SIM_IO, &r, sizeof(r));
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    EXPECT_EQ(rig.lastSimIo().sw1, 106);
    EXPECT_FALSE(rig.lastSimIo().hasText);
    EXPECT_EQ(rig.request(CDMA, RIL_REQUEST_SIM_IO, &r, sizeof(r)).error, RIL_E_GENERIC_FAILURE);
    EXPECT_EQ(rig.request(CDMA, RIL_REQUEST_SIM_IO, &r, sizeof(r)).error, RIL_E_GENERIC_FAILURE);
    rig.peer.verify();
}

/* ---- framework texts that must not reach the module ---- */

struct RefusedIo {
    const char *name;
    int family;
    const char *path;
    const char *data;
};
void PrintTo(const RefusedIo &c, std::ostream *os) { *os << c.name; }

class RefusedSimIo : public ::testing::TestWithParam<RefusedIo> {};

TEST_P(RefusedSimIo, CompletesGenericFailureWithNothingSent) {
    const auto &c = GetParam();
    Rig rig;
    rig.open();
    RIL_SIM_IO_v6 r = io(214, 0x6F38, c.path, 2, c.data);
    auto done = rig.request(c.family, RIL_REQUEST_SIM_IO, &r, sizeof(r));
    EXPECT_EQ(done.error, RIL_E_GENERIC_FAILURE);
    rig.peer.verify();
    EXPECT_TRUE(rig.peer.commands().empty());
}

const std::string kLongHex(512, 'A');

INSTANTIATE_TEST_SUITE_P(
    Texts, RefusedSimIo,
    ::testing::Values(RefusedIo{"cdma_six_character_path", CDMA, "3F007F", "00"},
                      RefusedIo{"cdma_null_path", CDMA, nullptr, "00"},
                      RefusedIo{"cdma_path_quote", CDMA, "3F00\"7F2", "00"},
                      RefusedIo{"cdma_path_too_long", CDMA, "3F007F256F3A6F3A6F3A", "00"},
                      RefusedIo{"cdma_data_injection", CDMA, "3F007F25", "00\",\"3F00\";+CFUN=0;\""},
                      RefusedIo{"wcdma_data_quote", WCDMA, "3F00", "00\";+CFUN=0"},
                      RefusedIo{"wcdma_data_cr", WCDMA, "3F00", "00\r\nAT+CFUN=0\r"},
                      RefusedIo{"lte_data_ctrl_z", LTE, "3F00", "00\x1a"},
                      RefusedIo{"lte_data_odd", LTE, "3F00", "ABC"},
                      RefusedIo{"lte_data_oversize", LTE, "3F00", kLongHex.c_str()},
                      RefusedIo{"wcdma_data_not_hex", WCDMA, "3F00", "0G"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SimIo, AbsentOrShortRequestDataCompletesOnce) {
    Rig rig;
    rig.open();
    for (int f : {CDMA, WCDMA, LTE}) {
        EXPECT_EQ(rig.request(f, RIL_REQUEST_SIM_IO, nullptr, 0).error, RIL_E_GENERIC_FAILURE);
        int shortData[2] = {176, 0x6F38};
        EXPECT_EQ(rig.request(f, RIL_REQUEST_SIM_IO, shortData, sizeof(shortData)).error, RIL_E_GENERIC_FAILURE);
    }
    rig.peer.verify();
    EXPECT_TRUE(rig.peer.commands().empty());
}

/* ---- the converters alone ---- */

TEST(FcpToRes, TransparentIccidWithoutSizeAnswersTenBytes) {
    char out[31];
    memset(out, 'X', sizeof(out));
    EXPECT_EQ(fcp_to_res("62078202412183022FE2", out, sizeof(out)), 0);
    EXPECT_STREQ(out, "0000000A2FE2040000000000020000");
    // a 30-byte buffer cannot take the answer: failure, nothing written
    char small[30];
    memset(small, 'X', sizeof(small));
    EXPECT_EQ(fcp_to_res("62078202412183022FE2", small, sizeof(small)), -1);
    EXPECT_EQ(std::string(small, sizeof(small)), std::string(30, 'X'));
}

TEST(FcpToRes, Templates) {
    struct Case {
        const char *fcp;
        int ret;
        const char *out;
    } cases[] = {
        // linear fixed, record length 0x1C, size from 80 02
        {"620F82054221001C0A83026F3A80020118", 0, "000001186F3A04000000000002011C"},
        // cyclic: structure 3, byte 7 = 1
        {"620F82054621002010830260148002014A", 0, "0000014A6014040100000000020320"},
        // descriptor of length 2 on a record file: record length FF
        {"620C820242218302601480020010", 0, "0000001060140400000000000201FF"},
        // size element of length 4: size 0
        {"620C8202412183026F07800400000009", 0, "000000006F07040000000000020000"},
        // skipped elements: AID, short file id, life cycle, security, proprietary
        {"621A8202412183026F078401A088008A01058B036F0603A5020000", 0, "000000006F07040000000000020000"},
        {"62", -1, nullptr},                             // no id, no descriptor
        {"63078202412183022FE2", -1, nullptr},           // not an FCP
        {"62078202412183022FE", -1, nullptr},            // odd
        {"6207820241218302zzE2", -1, nullptr},           // not hex
        {"62068301028202412183", -1, nullptr},           // id of length 1
        {"6207820341210083022FE2", -1, nullptr},         // descriptor length 3
        {"620682024121830A2FE2", -1, nullptr},           // runs past the end
        {"620782024C2183022FE2", -1, nullptr},           // neither structure
        {"62078202412183022FE29900", -1, nullptr},       // unknown tag
        {"62098202412183022FE28400", -1, nullptr},       // AID of length 0
        {"620982024121800100", -1, nullptr},             // size of length 1
        {"62098202412183022FE28A0201", -1, nullptr},     // life cycle of length 2
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fcp);
        char out[64];
        memset(out, 0, sizeof(out));
        EXPECT_EQ(fcp_to_res(c.fcp, out, sizeof(out)), c.ret);
        if (c.out != nullptr) {
            EXPECT_STREQ(out, c.out);
        }
    }
    EXPECT_EQ(fcp_to_res(nullptr, nullptr, 0), -1);
    std::string tooLong = "62" + std::string(60, '0');
    char out[64];
    EXPECT_EQ(fcp_to_res(tooLong.c_str(), out, sizeof(out)), -1);
}

TEST(Usim2Sim, AbsentTextAndBufferStayUntouched) {
    RIL_SIM_IO_Response r = {0x61, 0, nullptr};
    usim2sim(&r);
    EXPECT_EQ(r.simResponse, nullptr);
    EXPECT_EQ(r.sw1, 0x61);
    char text[] = "620F82054221001C0A83026F3A80020118";
    r.simResponse = text;
    usim2sim_wcdma(&r);
    EXPECT_STREQ(r.simResponse, kLinearSim);
    EXPECT_STREQ(text, "620F82054221001C0A83026F3A80020118") << "decoded from a copy";
    EXPECT_EQ(r.sw1, 0x90);
}

TEST(RuimPreset, WritesTheThreeCommandsInOrder) {
    std::string update = "at^rru=214,28560,0,0,126,\"0901" + std::string(10, '8') + std::string(238, '1') +
                         "\",\"7F256F90\"";
    Rig rig;
    rig.peer.expect("at^rru=176,28472,0,0,8,\"\",\"7F256F38\"", {"ERROR"})
        .expect("at^rru=176,28560,0,0,126,\"\",\"7F256F90\"", {"^RRU: 144,0", "OK"})
        .expect(update, {"OK"});
    rig.open();
    PresetRuimFiles(nullptr);
    rig.peer.verify();
}

TEST(RequestSimIo, CrsmWithPathThroughTheCdmaEnvironment) {
    Rig rig;
    rig.peer.expect("AT+CRSM=176,28423,0,0,9,,\"3F007F20\"", {"+CRSM: 144,0,\"084906001032547698\"", "OK"})
        .expect("AT+CRSM=214,28589,0,0,1,\"0A\",\"3F007F20\"", {"+CME ERROR: 3"});
    rig.open();
    RIL_SIM_IO_v6 r = io(176, 0x6F07, "3F007F20", 9);
    RequestSimIo(RIL_REQUEST_SIM_IO, &r, sizeof(r), riltest::RecordingEnv::token(1));
    riltest::Completion c;
    ASSERT_TRUE(rig.rec.waitCompletion(1, c));
    EXPECT_EQ(c.error, RIL_E_SUCCESS);
    EXPECT_EQ(rig.simIo(1).text, "084906001032547698");
    RIL_SIM_IO_v6 u = io(214, 0x6FAD, "3F007F20", 1, "0a");
    RequestSimIo(RIL_REQUEST_SIM_IO, &u, sizeof(u), riltest::RecordingEnv::token(2));
    ASSERT_TRUE(rig.rec.waitCompletion(2, c));
    EXPECT_EQ(c.error, RIL_E_GENERIC_FAILURE);
    RequestSimIo(RIL_REQUEST_SIM_IO, nullptr, 0, riltest::RecordingEnv::token(3));
    ASSERT_TRUE(rig.rec.waitCompletion(3, c));
    EXPECT_EQ(c.error, RIL_E_GENERIC_FAILURE);
    rig.peer.verify();
}
