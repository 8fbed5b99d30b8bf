// SMS sending, storage and service-centre requests of the three families
// against the scripted module on a real pseudo-terminal: the commands and
// texts written, the completions, and hostile framework data that must
// complete with an error and reach the module not at all.
#include "sim_rig.h"

#include "gammu_oracle.h"
#include "ril_sms.h"
#include "usb_discovery.h"

using simtest::CDMA;
using simtest::LTE;
using simtest::Rig;
using simtest::WCDMA;

namespace {

// SUBMIT of "hello" to +8613800138000, from the independent encoder
std::string submitHello() {
    static std::string pdu;
    if (pdu.empty()) {
        auto lines = riltest::gammuOracle({"submit", "+8613800138000", riltest::utf8Hex("hello")});
        if (!lines.empty()) pdu = lines[0];
    }
    return pdu;
}

struct SendArgs {
    const char *smsc;
    const char *pdu;
};

void setStates() {
    s_radio_state_cdma = RADIO_STATE_RUIM_READY;
    s_radio_state_wcdma = RADIO_STATE_SIM_READY;
    s_radio_state_lte = RADIO_STATE_SIM_READY;
}

RIL_SMS_Response smsResponse(const riltest::Completion &c) {
    RIL_SMS_Response r = {-100, nullptr, -100};
    EXPECT_EQ(c.data.size(), sizeof(RIL_SMS_Response));
    if (c.data.size() == sizeof(r)) memcpy(&r, c.data.data(), sizeof(r));
    return r;
}

void send(Rig &rig, int family, int code, const char *smsc, const char *pdu, long token) {
    const char *args[2] = {smsc, pdu};
    rig.dispatch(family, code, args, sizeof(args), token);
}

TEST(SmsSend, WcdmaWithoutSmscSendsZeroOctetThenTheTpdu) {
    Rig rig;
    setStates();
    std::string tpdu = submitHello();
    ASSERT_FALSE(tpdu.empty());
    std::string len = std::to_string(tpdu.size() / 2);
    rig.peer.expect("ATE0", {"OK"});
    rig.peer.expect("AT+CMGS=" + len,
                    riltest::Reply::smsPrompt().thenExpectPdu("00" + tpdu).thenLines({"+CMGS: 17", "OK"}));
    rig.open();
    send(rig, WCDMA, RIL_REQUEST_SEND_SMS, nullptr, tpdu.c_str(), 1);
    riltest::Completion c = rig.completion(1);
    EXPECT_EQ(c.error, RIL_E_SUCCESS);
    RIL_SMS_Response r = smsResponse(c);
    EXPECT_EQ(r.messageRef, 0);  // the module's reference is not passed on
    EXPECT_EQ(r.errorCode, 0);
    EXPECT_EQ(r.ackPDU, nullptr);
    rig.peer.verify();
}

TEST(SmsSend, LteQualcommFormWithSmscAndTheFailureQuery) {
    Rig rig;
    setStates();
    is_fddandevdo = 1;
    g_moduletype = 3;
    s_is9X07 = 0;
    std::string tpdu = submitHello();
    const std::string smsc = "0891683108200105F0";
    std::string len = std::to_string(tpdu.size() / 2);
    rig.peer.expect("ATE0", {"OK"});
    rig.peer.expect("AT$QCMGS=" + len, riltest::Reply::smsPrompt().thenExpectPdu(smsc + tpdu).thenLines({"OK"}));
    rig.peer.expect("ATE0", {"OK"});
    rig.peer.expect("AT$QCMGS=" + len,
                    riltest::Reply::smsPrompt().thenExpectPdu(smsc + tpdu).thenLines({"+CMS ERROR: 500"}));
    rig.peer.expect("AT+CCREG?", {"+CCREG: 2,1", "OK"});
    rig.open();
    send(rig, LTE, RIL_REQUEST_SEND_SMS, smsc.c_str(), tpdu.c_str(), 1);
    EXPECT_EQ(rig.completion(1).error, RIL_E_SUCCESS);
    send(rig, LTE, RIL_REQUEST_SEND_SMS, smsc.c_str(), tpdu.c_str(), 2);
    EXPECT_EQ(rig.completion(2).error, RIL_E_GENERIC_FAILURE);
    rig.peer.verify();
}

TEST(SmsSend, WcdmaFailureAsksRegistrationForTheLog) {
    Rig rig;
    setStates();
    std::string tpdu = submitHello();
    rig.peer.expect("ATE0", {"OK"});
    rig.peer.expect("AT+CMGS=" + std::to_string(tpdu.size() / 2), {"ERROR"});
    rig.peer.expect("AT+CREG?", {"+CREG: 2,1", "OK"});
    rig.open();
    send(rig, WCDMA, RIL_REQUEST_SEND_SMS, "", tpdu.c_str(), 1);
    EXPECT_EQ(rig.completion(1).error, RIL_E_GENERIC_FAILURE);
    rig.peer.verify();
}

TEST(SmsSend, PromptThatNeverComesIsCancelledWithEsc) {
    Rig rig;
    setStates();
    std::string tpdu = submitHello();
    rig.peer.expect("ATE0", {"OK"});
    rig.peer.silence("AT+CMGS=" + std::to_string(tpdu.size() / 2));
    // ESC (0x1B) reaches the module before the next command line, so the
    // module leaves PDU entry instead of taking that line as message text
    rig.peer.expect("\x1b" "AT+CREG?", {"+CREG: 2,1", "OK"});
    rig.open();
    send(rig, WCDMA, RIL_REQUEST_SEND_SMS, nullptr, tpdu.c_str(), 1);
    EXPECT_EQ(rig.completion(1, std::chrono::seconds(20)).error, RIL_E_GENERIC_FAILURE);
    rig.peer.verify();
}

TEST(SmsSend, HostileTextsCompleteWithAnErrorAndReachNothing) {
    std::string tpdu = submitHello();
    std::string big(2 * (RIL_SMS_TPDU_MAX_OCTETS + 1), '0');
    std::string maxOk(2 * RIL_SMS_TPDU_MAX_OCTETS, '0');
    struct {
        const char *smsc;
        std::string pdu;
        bool nullPdu;
    } cases[] = {
        {nullptr, tpdu + "\x1a" "AT+CFUN=0", false},  // Ctrl-Z ends the message, the rest would run
        {nullptr, "0011\r\nAT+CFUN=0", false},
        {nullptr, tpdu.substr(1), false},  // odd length
        {nullptr, "00GG", false},
        {nullptr, big, false},
        {nullptr, "", false},
        {nullptr, "", true},
        {"00\x1a", tpdu, false},
        {"0891683108200105F0AABBCCDDEE", tpdu, false},  // SMSC over 12 octets
        {"089", tpdu, false},
    };
    for (int family : {CDMA, WCDMA, LTE}) {
        for (auto &c : cases) {
            SCOPED_TRACE(simtest::familyName(family) + std::string(" ") + c.pdu.substr(0, 30));
            Rig rig;
            setStates();
            rig.open();
            send(rig, family, RIL_REQUEST_SEND_SMS, c.smsc, c.nullPdu ? nullptr : c.pdu.c_str(), 1);
            EXPECT_EQ(rig.completion(1).error, RIL_E_GENERIC_FAILURE);
            EXPECT_TRUE(rig.peer.commands().empty());
        }
        Rig rig;
        setStates();
        rig.open();
        rig.dispatch(family, RIL_REQUEST_SEND_SMS, nullptr, 0, 2);
        EXPECT_EQ(rig.completion(2).error, RIL_E_GENERIC_FAILURE);
        EXPECT_TRUE(rig.peer.commands().empty());
    }
    // the largest TPDU allowed still goes out
    Rig rig;
    setStates();
    rig.peer.expect("ATE0", {"OK"});
    rig.peer.expect("AT+CMGS=164", riltest::Reply::smsPrompt().thenExpectPdu("00" + maxOk).thenLines({"OK"}));
    rig.open();
    send(rig, WCDMA, RIL_REQUEST_SEND_SMS, nullptr, maxOk.c_str(), 3);
    EXPECT_EQ(rig.completion(3).error, RIL_E_SUCCESS);
    rig.peer.verify();
}

TEST(SmsChannel, TextWithCtrlZEscOrLineEndIsRefusedBeforeAnythingIsWritten) {
    Rig rig;
    rig.open();
    for (const char *text : {"0011\x1a" "AT+CFUN=0", "00\x1b", "0011\rAT", "0011\nAT"}) {
        AtReply *p = reinterpret_cast<AtReply *>(1);
        EXPECT_EQ(at_send_command_sms("AT+CMGS=2", text, nullptr, &p), AT_ERROR_GENERIC);
        EXPECT_EQ(p, nullptr);
    }
    rig.peer.expect("AT+CMGS=2", riltest::Reply::smsPrompt().thenExpectPdu("0011").thenLines({"OK"}));
    EXPECT_EQ(at_send_command_sms("AT+CMGS=2", "0011", nullptr, nullptr), 0);
    rig.peer.verify();
    EXPECT_EQ(rig.peer.commands(), std::vector<std::string>{"AT+CMGS=2"});
}

TEST(SmsSend, RequestsThatFailAtOnce) {
    for (int family : {WCDMA, LTE}) {
        for (int code : {RIL_REQUEST_SEND_SMS_EXPECT_MORE, RIL_REQUEST_IMS_SEND_SMS}) {
            Rig rig;
            setStates();
            rig.open();
            std::string tpdu = submitHello();
            send(rig, family, code, nullptr, tpdu.c_str(), 1);
            EXPECT_EQ(rig.completion(1).error, RIL_E_GENERIC_FAILURE);
            EXPECT_TRUE(rig.peer.commands().empty());
        }
    }
}

TEST(SmsSend, CdmaGsmFormatTakesOkWithoutItsLineAsSent) {
    Rig rig;
    setStates();
    std::string tpdu = submitHello();
    std::string len = std::to_string(tpdu.size() / 2);
    rig.peer.expect("AT+CMGS=" + len, riltest::Reply::smsPrompt().thenExpectPdu("00" + tpdu).thenLines({"OK"}));
    rig.peer.expect("AT+CMGS=" + len, riltest::Reply::smsPrompt().thenExpectPdu("00" + tpdu).thenLines({"ERROR"}));
    rig.open();
    send(rig, CDMA, RIL_REQUEST_SEND_SMS, nullptr, tpdu.c_str(), 1);
    EXPECT_EQ(rig.completion(1).error, RIL_E_SUCCESS);
    send(rig, CDMA, RIL_REQUEST_SEND_SMS, nullptr, tpdu.c_str(), 2);
    EXPECT_EQ(rig.completion(2).error, RIL_E_GENERIC_FAILURE);
    rig.peer.verify();
}

RIL_CDMA_SMS_Message cdmaMessage(std::vector<unsigned char> digits, std::vector<unsigned char> bearer) {
    RIL_CDMA_SMS_Message m;
    memset(&m, 0, sizeof(m));
    m.uTeleserviceID = 4098;
    m.sAddress.number_of_digits = static_cast<unsigned char>(digits.size());
    memcpy(m.sAddress.digits, digits.data(), std::min(digits.size(), sizeof(m.sAddress.digits)));
    m.uBearerDataLen = static_cast<int>(bearer.size());
    memcpy(m.aBearerData, bearer.data(), std::min(bearer.size(), sizeof(m.aBearerData)));
    return m;
}

void expectCdmaRestore(Rig &rig) {
    rig.peer.expect("AT+CNMI=1,2,2,1,1", {"OK"});
    rig.peer.expect("AT+CMGF=3", {"OK"});
    rig.peer.expect("ATE0", {"OK"});
}

TEST(SmsSend, CdmaFormatAddressBearerAndReference) {
    struct {
        const char *name;
        std::vector<std::string> reply;
        int error;
        int ref;
    } cases[] = {
        {"reference", {"^HCMGS: 42", "OK"}, RIL_E_SUCCESS, 42},
        {"ok_without_line_is_sent", {"OK"}, RIL_E_SUCCESS, -1},
        {"unreadable_line_is_sent", {"^HCMGS", "OK"}, RIL_E_SUCCESS, -1},
        {"error_restores_too", {"ERROR"}, RIL_E_GENERIC_FAILURE, 0},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        setStates();
        rig.peer.expect("ATE0", {"OK"});
        rig.peer.expect("AT^HCMGS=\"100\"",
                        riltest::Reply::smsPrompt().thenExpectPdu("0010FFA0").thenLines(c.reply));
        expectCdmaRestore(rig);
        rig.open();
        RIL_CDMA_SMS_Message m = cdmaMessage({1, 0, 10}, {0x00, 0x10, 0xFF, 0xA0});
        rig.dispatch(CDMA, RIL_REQUEST_CDMA_SEND_SMS, &m, sizeof(m), 1);
        riltest::Completion done = rig.completion(1);
        EXPECT_EQ(done.error, c.error);
        if (c.error == RIL_E_SUCCESS) {
            RIL_SMS_Response r = smsResponse(done);
            EXPECT_EQ(r.messageRef, c.ref);
            EXPECT_EQ(r.errorCode, -1);
        }
        rig.peer.verify();
    }
}

TEST(SmsSend, CdmaFormatOutOfRangeRecordsReachNothing) {
    std::vector<RIL_CDMA_SMS_Message> bad;
    RIL_CDMA_SMS_Message m = cdmaMessage({1, 2, 3}, {1, 2});
    m.sAddress.number_of_digits = 37;  // more than the record holds
    bad.push_back(m);
    m = cdmaMessage({1, 2, 3}, {1, 2});
    m.uBearerDataLen = 256;
    bad.push_back(m);
    m.uBearerDataLen = -1;
    bad.push_back(m);
    m = cdmaMessage({1, 13, 3}, {1, 2});  // 13 is no digit code
    bad.push_back(m);
    for (auto &b : bad) {
        Rig rig;
        setStates();
        rig.open();
        rig.dispatch(CDMA, RIL_REQUEST_CDMA_SEND_SMS, &b, sizeof(b), 1);
        EXPECT_EQ(rig.completion(1).error, RIL_E_GENERIC_FAILURE);
        EXPECT_TRUE(rig.peer.commands().empty());
    }
    Rig rig;
    setStates();
    rig.open();
    rig.dispatch(CDMA, RIL_REQUEST_CDMA_SEND_SMS, nullptr, 0, 2);
    EXPECT_EQ(rig.completion(2).error, RIL_E_GENERIC_FAILURE);
    // all 36 digits and 255 bearer bytes are the most that goes out
    Rig full;
    setStates();
    std::vector<unsigned char> digits(36, 9), bearer(255, 0xAB);
    full.peer.expect("ATE0", {"OK"});
    std::string hex;
    for (int i = 0; i < 255; i++) hex += "AB";
    full.peer.expect("AT^HCMGS=\"" + std::string(36, '9') + "\"",
                     riltest::Reply::smsPrompt().thenExpectPdu(hex).thenLines({"^HCMGS: 1", "OK"}));
    expectCdmaRestore(full);
    full.open();
    RIL_CDMA_SMS_Message most = cdmaMessage(digits, bearer);
    full.dispatch(CDMA, RIL_REQUEST_CDMA_SEND_SMS, &most, sizeof(most), 3);
    EXPECT_EQ(full.completion(3).error, RIL_E_SUCCESS);
    full.peer.verify();
}

TEST(SmsStorage, WriteCarriesTheSmscOctetAndStatus) {
    std::string tpdu = submitHello();
    std::string len = std::to_string(tpdu.size() / 2);
    struct {
        int family;
        const char *smsc;
        std::string expectText;
        std::vector<std::string> reply;
        int error;
    } cases[] = {
        {WCDMA, nullptr, "00" + tpdu, {"+CMGW: 3", "OK"}, RIL_E_SUCCESS},
        {LTE, "0891683108200105F0", "0891683108200105F0" + tpdu, {"+CMGW: 4", "OK"}, RIL_E_SUCCESS},
        {CDMA, "", "00" + tpdu, {"OK"}, RIL_E_SUCCESS},
        {WCDMA, nullptr, "00" + tpdu, {"+CMS ERROR: 322"}, RIL_E_GENERIC_FAILURE},  // storage full
    };
    for (auto &c : cases) {
        Rig rig;
        setStates();
        rig.peer.expect("AT+CMGW=" + len + ",1", riltest::Reply::smsPrompt().thenExpectPdu(c.expectText).thenLines(c.reply));
        rig.open();
        RIL_SMS_WriteArgs args = {1, const_cast<char *>(tpdu.c_str()), const_cast<char *>(c.smsc)};
        rig.dispatch(c.family, RIL_REQUEST_WRITE_SMS_TO_SIM, &args, sizeof(args), 1);
        riltest::Completion done = rig.completion(1);
        EXPECT_EQ(done.error, c.error);
        EXPECT_TRUE(done.data.empty());
        rig.peer.verify();
    }
    // hostile: bad status, injected PDU, absent record
    std::string injected = tpdu + "\x1a" "AT+CFUN=0";
    RIL_SMS_WriteArgs bad[] = {{4, const_cast<char *>(tpdu.c_str()), nullptr},
                               {-1, const_cast<char *>(tpdu.c_str()), nullptr},
                               {1, const_cast<char *>(injected.c_str()), nullptr},
                               {1, nullptr, nullptr},
                               {1, const_cast<char *>(tpdu.c_str()), const_cast<char *>("00;")}};
    for (auto &b : bad) {
        Rig rig;
        setStates();
        rig.open();
        rig.dispatch(WCDMA, RIL_REQUEST_WRITE_SMS_TO_SIM, &b, sizeof(b), 1);
        EXPECT_EQ(rig.completion(1).error, RIL_E_GENERIC_FAILURE);
        rig.dispatch(WCDMA, RIL_REQUEST_WRITE_SMS_TO_SIM, &b, sizeof(b) - 1, 2);
        EXPECT_EQ(rig.completion(2).error, RIL_E_GENERIC_FAILURE);
        EXPECT_TRUE(rig.peer.commands().empty());
    }
}

TEST(SmsStorage, DeleteAndRuimRequests) {
    struct {
        int family;
        int code;
        int fdd;
        int type;
        std::vector<simtest::Step> script;
        int error;
    } cases[] = {
        {WCDMA, RIL_REQUEST_DELETE_SMS_ON_SIM, 0, 1, {{"AT+CMGD=3", {"OK"}}}, RIL_E_SUCCESS},
        {WCDMA, RIL_REQUEST_DELETE_SMS_ON_SIM, 0, 1, {{"AT+CMGD=3", {"+CMS ERROR: 321"}}}, RIL_E_GENERIC_FAILURE},
        {LTE, RIL_REQUEST_DELETE_SMS_ON_SIM, 1, 3, {{"AT$QCMGD=3", {"OK"}}}, RIL_E_SUCCESS},
        {LTE, RIL_REQUEST_DELETE_SMS_ON_SIM, 1, 4, {{"AT+CMGD=3", {"OK"}}}, RIL_E_SUCCESS},
        {CDMA, RIL_REQUEST_DELETE_SMS_ON_SIM, 0, 2, {{"AT+CMGD=3", {"OK"}}}, RIL_E_SUCCESS},
        {CDMA, RIL_REQUEST_CDMA_DELETE_SMS_ON_RUIM, 0, 2,
         {{"AT+CPMS=\"SM\",\"SM\", \"ME\"", {"+CPMS: 1,50,1,50,1,50", "OK"}}, {"AT+CMGD=3", {"OK"}}}, RIL_E_SUCCESS},
        {CDMA, RIL_REQUEST_CDMA_DELETE_SMS_ON_RUIM, 0, 2,
         {{"AT+CPMS=\"SM\",\"SM\", \"ME\"", {"ERROR"}},
          {"AT+CPMS=\"SM\",\"SM\", \"ME\"", {"+CPMS: 1,50,1,50,1,50", "OK"}},
          {"AT+CMGD=3", {"OK"}}},
         RIL_E_SUCCESS},
    };
    for (auto &c : cases) {
        Rig rig;
        setStates();
        is_fddandevdo = c.fdd;
        g_moduletype = c.type;
        rig.script(c.script);
        rig.open();
        int index = 3;
        rig.dispatch(c.family, c.code, &index, sizeof(index), 1);
        EXPECT_EQ(rig.completion(1).error, c.error);
        rig.peer.verify();
    }
    // negative or missing indexes send nothing
    for (int family : {CDMA, WCDMA, LTE}) {
        Rig rig;
        setStates();
        rig.open();
        int index = -5;
        rig.dispatch(family, RIL_REQUEST_DELETE_SMS_ON_SIM, &index, sizeof(index), 1);
        EXPECT_EQ(rig.completion(1).error, RIL_E_GENERIC_FAILURE);
        rig.dispatch(family, RIL_REQUEST_DELETE_SMS_ON_SIM, nullptr, 0, 2);
        EXPECT_EQ(rig.completion(2).error, RIL_E_GENERIC_FAILURE);
        EXPECT_TRUE(rig.peer.commands().empty());
    }
    // writing to the RUIM stores nothing and answers index -1
    Rig rig;
    setStates();
    rig.open();
    RIL_CDMA_SMS_WriteArgs w;
    memset(&w, 0, sizeof(w));
    rig.dispatch(CDMA, RIL_REQUEST_CDMA_WRITE_SMS_TO_RUIM, &w, sizeof(w), 1);
    riltest::Completion done = rig.completion(1);
    EXPECT_EQ(done.error, RIL_E_SUCCESS);
    ASSERT_EQ(done.data.size(), sizeof(int));
    EXPECT_EQ(simtest::cardField(done, 0), -1);
    EXPECT_TRUE(rig.peer.commands().empty());
}

TEST(SmsServiceCentre, GetAndSet) {
    for (int family : {WCDMA, LTE}) {
        Rig rig;
        setStates();
        rig.peer.expect("AT+CSCA?", {"+CSCA: \"+8613800100500\",145", "OK"});
        rig.peer.expect("AT+CSCA?", {"ERROR"});
        rig.peer.expect("AT+CSCA=\"+8613800100500\", 145", {"OK"});
        rig.peer.expect("AT+CSCA=\"+861380\", 145", {"OK"});
        rig.peer.expect("AT+CSCA=\"13800100500\", 145", {"ERROR"});
        rig.open();
        rig.textAnswer(1);
        rig.dispatch(family, RIL_REQUEST_GET_SMSC_ADDRESS, nullptr, 0, 1);
        EXPECT_EQ(rig.completion(1).error, RIL_E_SUCCESS);
        EXPECT_EQ(rig.text(1), "+8613800100500");
        rig.dispatch(family, RIL_REQUEST_GET_SMSC_ADDRESS, nullptr, 0, 2);
        EXPECT_EQ(rig.completion(2).error, RIL_E_GENERIC_FAILURE);
        const char *good = "+8613800100500";
        rig.dispatch(family, RIL_REQUEST_SET_SMSC_ADDRESS, const_cast<char *>(good), strlen(good) + 1, 3);
        EXPECT_EQ(rig.completion(3).error, RIL_E_SUCCESS);
        // seven characters and the NUL are as long as a pointer: still one string
        const char *seven = "+861380";
        rig.dispatch(family, RIL_REQUEST_SET_SMSC_ADDRESS, const_cast<char *>(seven), strlen(seven) + 1, 5);
        EXPECT_EQ(rig.completion(5).error, RIL_E_SUCCESS);
        // no terminator within the data
        rig.dispatch(family, RIL_REQUEST_SET_SMSC_ADDRESS, const_cast<char *>(good), strlen(good), 6);
        EXPECT_EQ(rig.completion(6).error, RIL_E_GENERIC_FAILURE);
        const char *plain = "13800100500";
        rig.dispatch(family, RIL_REQUEST_SET_SMSC_ADDRESS, const_cast<char *>(plain), strlen(plain) + 1, 4);
        EXPECT_EQ(rig.completion(4).error, RIL_E_GENERIC_FAILURE);
        // five characters, quotes, command separators, letters, line ends, Ctrl-Z, oversize
        const char *hostile[] = {"+8613",          "+86138\",145;+CFUN=0", "+861380;AT",
                                 "+86138001005x0", "+8613800\r\nAT+CFUN=0", "+861380\x1a",
                                 "+123456789012345678901", "++86138001005"};
        long tok = 10;
        for (const char *h : hostile) {
            rig.dispatch(family, RIL_REQUEST_SET_SMSC_ADDRESS, const_cast<char *>(h), strlen(h) + 1, tok);
            EXPECT_EQ(rig.completion(tok).error, RIL_E_GENERIC_FAILURE) << h;
            tok++;
        }
        rig.dispatch(family, RIL_REQUEST_SET_SMSC_ADDRESS, nullptr, 0, tok);
        EXPECT_EQ(rig.completion(tok).error, RIL_E_GENERIC_FAILURE);
        rig.peer.verify();
        EXPECT_EQ(rig.peer.commands().size(), 5u);
    }
}

}  // namespace
