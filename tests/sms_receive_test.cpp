// SMS reception and acknowledgement of the three families against the
// scripted module: the lines arrive on a real pseudo-terminal through the
// family's unsolicited table, the readers and acknowledgements send their
// commands to the peer, and the notifications are those the framework gets.
#include <atomic>

#include "sim_rig.h"

#include "ril_sms.h"
#include "ril_unsolicited.h"
#include "usb_discovery.h"

using simtest::CDMA;
using simtest::LTE;
using simtest::Rig;
using simtest::WCDMA;

namespace {

using namespace std::chrono_literals;

// DELIVER PDUs (an empty SMSC octet, then the TPDU) from +8613800138000,
// 2026-11-10 12:34:56 +00; gammu decodes them to "hello" and "hi"
const std::string kHello = "00040D91683108108300F0000062110121436500" "05E8329BFD06";
const std::string kHi = "00040D91683108108300F0000062110121436500" "02E834";
const std::string kStatusReport = "0006050D91683108108300F062110121436500621101214365" "0000";

void setStates() {
    s_radio_state_cdma = RADIO_STATE_RUIM_READY;
    s_radio_state_wcdma = RADIO_STATE_SIM_READY;
    s_radio_state_lte = RADIO_STATE_SIM_READY;
    s_hasinit = 1;
}

void openFamily(Rig &rig, int family) {
    int fd = rig.peer.openSlave();
    ASSERT_GE(fd, 0);
    ATUnsolHandler h[] = {onUnsolicited_cdma, onUnsolicited_wcdma, onUnsolicited_lte};
    ASSERT_EQ(at_open(fd, h[family]), 0);
}

// the pending-index property; an unset one is empty
std::string pending(Rig &rig) {
    std::string v = rig.property(RIL_SMS_PENDING_PROPERTY);
    return v == "<unset>" ? std::string() : v;
}

size_t cdmaCount(Rig &rig) {
    size_t n = 0;
    for (int code : rig.rec.notificationCodes()) n += code == RIL_UNSOL_RESPONSE_CDMA_NEW_SMS;
    return n;
}

std::vector<std::string> reports(Rig &rig, int code) {
    std::vector<std::string> out;
    for (const auto &n : rig.rec.notifications())
        if (n.code == code) out.emplace_back(n.data.begin(), n.data.end());
    return out;
}

std::vector<std::string> waitReports(Rig &rig, int code, size_t n, std::chrono::milliseconds wait = 10s) {
    auto deadline = std::chrono::steady_clock::now() + wait;
    std::vector<std::string> r;
    while ((r = reports(rig, code)).size() < n && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    EXPECT_GE(r.size(), n) << "reports of " << code;
    return r;
}

// The event thread runs timed callbacks in due order: once this one has run,
// every callback scheduled before it at the same or a shorter delay has too.
std::atomic<int> s_marks{0};
void markCallback(void *) { s_marks++; }
void eventBarrier(int family, const struct timeval *delay = nullptr) {
    int before = s_marks.load();
    void (*timed[])(RIL_TimedCallback, void *, const struct timeval *) = {
        RIL_requestTimedCallback_cdma, RIL_requestTimedCallback_wcdma, RIL_requestTimedCallback_lte};
    timed[family](markCallback, nullptr, delay);
    auto deadline = std::chrono::steady_clock::now() + 10s;
    while (s_marks.load() == before && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(2ms);
    EXPECT_GT(s_marks.load(), before) << "event thread barrier";
}

// A module exchange as a reader barrier: every line the peer wrote before
// this answer has been through the unsolicited table once it completes.
void readerBarrier(Rig &rig, int family, long token) {
    rig.peer.expect("AT+CSCA?", {"+CSCA: \"+8613800100500\",145", "OK"});
    rig.dispatch(family == CDMA ? WCDMA : family, RIL_REQUEST_GET_SMSC_ADDRESS, nullptr, 0, token);
    rig.completion(token);
}

std::atomic<int> s_timeouts{0};
void countTimeout() { s_timeouts++; }

void ack(Rig &rig, int family, int ok, long token) {
    int a[2] = {ok, 0};
    rig.dispatch(family, RIL_REQUEST_SMS_ACKNOWLEDGE, a, sizeof(a), token);
    EXPECT_EQ(rig.completion(token).error, RIL_E_SUCCESS);
}

TEST(SmsReceive, WcdmaDirectMessagesOneAtATimeEachAcknowledgedByItsFlag) {
    Rig rig;
    setStates();
    openFamily(rig, WCDMA);
    rig.peer.sendNow("+CMT: ,24");
    rig.peer.sendNow(kHello);
    EXPECT_EQ(waitReports(rig, RIL_UNSOL_RESPONSE_NEW_SMS, 1)[0], kHello);
    rig.peer.sendNow("+CMT: ,23");
    rig.peer.sendNow(kHi);
    readerBarrier(rig, WCDMA, 1);
    // the second waits for the acknowledgement of the first
    EXPECT_EQ(reports(rig, RIL_UNSOL_RESPONSE_NEW_SMS).size(), 1u);
    rig.peer.expect("AT+CNMA=1", {"OK"});
    ack(rig, WCDMA, 1, 2);
    auto r = waitReports(rig, RIL_UNSOL_RESPONSE_NEW_SMS, 2);
    EXPECT_EQ(r[1], kHi);
    rig.peer.expect("AT+CNMA=2", {"OK"});
    ack(rig, WCDMA, 0, 3);
    rig.peer.verify();
    EXPECT_EQ(reports(rig, RIL_UNSOL_RESPONSE_NEW_SMS).size(), 2u);
}

TEST(SmsReceive, WcdmaStoredMessageAnnouncedTwiceIsReportedOnceAndDeletedOnAcceptance) {
    Rig rig;
    setStates();
    openFamily(rig, WCDMA);
    rig.peer.expect("AT+CMGR=3", {"+CMGR: 0,,24", kHello, "OK"});
    rig.peer.expect("AT+CMGR=3", {"+CMGR: 1,,24", kHello, "OK"});
    rig.peer.sendNow("+CMTI: \"SM\",3");
    rig.peer.sendNow("+CMTI: \"SM\",3");
    EXPECT_EQ(waitReports(rig, RIL_UNSOL_RESPONSE_NEW_SMS, 1)[0], kHello);
    rig.peer.waitScriptDone();
    eventBarrier(WCDMA);
    EXPECT_EQ(reports(rig, RIL_UNSOL_RESPONSE_NEW_SMS).size(), 1u);
    // taken from storage and not yet acknowledged: kept across a restart
    EXPECT_EQ(pending(rig), "3");
    rig.peer.expect("AT+CMGD=3", {"OK"});
    ack(rig, WCDMA, 1, 1);
    rig.peer.verify();
    EXPECT_EQ(pending(rig), "");
    EXPECT_EQ(reports(rig, RIL_UNSOL_RESPONSE_NEW_SMS).size(), 1u);
}

TEST(SmsReceive, RejectedStoredMessageIsKeptOnTheModule) {
    for (int family : {WCDMA, LTE}) {
        SCOPED_TRACE(simtest::familyName(family));
        Rig rig;
        setStates();
        g_moduletype = family == LTE ? 3 : 1;
        is_fddandevdo = 0;
        openFamily(rig, family);
        rig.peer.expect("AT+CMGR=7", {"+CMGR: 0,,24", kHello, "OK"});
        rig.peer.sendNow("+CMTI: \"SM\",7");
        waitReports(rig, RIL_UNSOL_RESPONSE_NEW_SMS, 1);
        ack(rig, family, 0, 1);  // nothing may be sent: no deletion
        readerBarrier(rig, family, 2);
        rig.peer.verify();
        EXPECT_EQ(pending(rig), "7");
    }
}

TEST(SmsReceive, EmptySlotAndMissingMessage) {
    Rig rig;
    setStates();
    openFamily(rig, WCDMA);
    // a header answered by OK at once is an empty slot: no body, no report,
    // no 30 s wait; a reply without any line deletes the index
    rig.peer.expect("AT+CMGR=4", {"+CMGR: 0,,0", "OK"});
    rig.peer.expect("AT+CMGR=5", {"OK"});
    rig.peer.expect("AT+CMGD=5", {"OK"});
    at_set_on_timeout(countTimeout);
    rig.peer.sendNow("+CMTI: \"SM\",4");
    rig.peer.sendNow("+CMTI: \"SM\",5");
    ASSERT_TRUE(rig.peer.waitScriptDone(10s));
    eventBarrier(WCDMA);
    EXPECT_EQ(s_timeouts.load(), 0);  // the read ended with its OK, not by its deadline
    rig.peer.verify();
    EXPECT_TRUE(reports(rig, RIL_UNSOL_RESPONSE_NEW_SMS).empty());
    // garbage notifications are dropped without a report
    rig.peer.sendNow("+CMTI: \"SM\"");
    rig.peer.sendNow("+CMTI: garbage,-3");
    rig.peer.sendNow("+CMT: ,5");
    rig.peer.sendNow("NOT HEX \x1a;AT+CFUN=0");
    readerBarrier(rig, WCDMA, 1);
    eventBarrier(WCDMA);
    rig.peer.verify();
    EXPECT_TRUE(reports(rig, RIL_UNSOL_RESPONSE_NEW_SMS).empty());
}

TEST(SmsReceive, StoredReadTheModuleDidNotAnswerIsTriedAgain) {
    Rig rig;
    setStates();
    openFamily(rig, WCDMA);
    rig.peer.silence("AT+CMGR=3");
    rig.peer.expect("AT+CMGR=3", {"+CMGR: 0,,24", kHello, "OK"});
    rig.peer.sendNow("+CMTI: \"SM\",3");
    EXPECT_EQ(waitReports(rig, RIL_UNSOL_RESPONSE_NEW_SMS, 1, 20s)[0], kHello);
    rig.peer.verify();
    // a refusal is final: no second read
    rig.peer.expect("AT+CMGR=4", {"+CMS ERROR: 321"});
    rig.peer.sendNow("+CMTI: \"SM\",4");
    rig.peer.waitScriptDone();
    eventBarrier(WCDMA, nullptr);
    const struct timeval later = {3, 0};  // past the retry delay
    eventBarrier(WCDMA, &later);
    rig.peer.verify();
}

TEST(SmsReceive, EarlyMessageWaitsForTheFamilyToReport) {
    Rig rig;
    setStates();
    s_hasinit = 0;
    openFamily(rig, WCDMA);
    rig.peer.sendNow("+CMT: ,24");
    rig.peer.sendNow(kHello);
    readerBarrier(rig, WCDMA, 1);
    EXPECT_TRUE(reports(rig, RIL_UNSOL_RESPONSE_NEW_SMS).empty());
    s_hasinit = 1;
    initSmsList_wcdma();
    EXPECT_EQ(waitReports(rig, RIL_UNSOL_RESPONSE_NEW_SMS, 1)[0], kHello);
}

TEST(SmsReceive, LteQcmtIsPairedWithItsPduAndAcknowledgementsFollowTheModuleType) {
    struct {
        int type;
        int fdd;
        bool direct;
        std::vector<std::string> commands;
    } cases[] = {
        {4, 0, true, {}},               // direct, not type 0: nothing sent
        {0, 0, true, {"AT+CNMA=1"}},    // type 0 acknowledges with CNMA
        {3, 0, false, {"AT+CMGD=9"}},
        {3, 1, false, {"AT$QCMGD=9"}},
        {4, 1, false, {"AT+CMGD=9"}},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.type * 10 + c.fdd);
        Rig rig;
        setStates();
        g_moduletype = c.type;
        is_fddandevdo = c.fdd;
        s_is9X07 = 0;
        openFamily(rig, LTE);
        if (c.direct) {
            rig.peer.sendNow("$QCMT: ,24");
            rig.peer.sendNow(kHello);
        } else {
            bool qc = c.fdd == 1 && c.type != 4;
            rig.peer.expect(qc ? "AT$QCMGR=9" : "AT+CMGR=9",
                            {qc ? "^HCMGR: 0,,24" : "+CMGR: 0,,24", kHello, "OK"});
            rig.peer.sendNow(qc ? "$QCMTI: \"SM\",9" : "+CMTI: \"SM\",9");
        }
        EXPECT_EQ(waitReports(rig, RIL_UNSOL_RESPONSE_NEW_SMS, 1)[0], kHello);
        for (const auto &cmd : c.commands) rig.peer.expect(cmd, {"OK"});
        ack(rig, LTE, 1, 1);
        readerBarrier(rig, LTE, 2);
        rig.peer.verify();
    }
}

TEST(SmsReceive, StatusReportWaitsItsTurnAndIsAcknowledged) {
    Rig rig;
    setStates();
    openFamily(rig, WCDMA);
    rig.peer.sendNow("+CMT: ,24");
    rig.peer.sendNow(kHello);
    rig.peer.sendNow("+CDS: 25");
    rig.peer.sendNow(kStatusReport);
    waitReports(rig, RIL_UNSOL_RESPONSE_NEW_SMS, 1);
    readerBarrier(rig, WCDMA, 1);
    EXPECT_TRUE(reports(rig, RIL_UNSOL_RESPONSE_NEW_SMS_STATUS_REPORT).empty());
    rig.peer.expect("AT+CNMA=1", {"OK"});
    ack(rig, WCDMA, 1, 2);
    EXPECT_EQ(waitReports(rig, RIL_UNSOL_RESPONSE_NEW_SMS_STATUS_REPORT, 1)[0], kStatusReport);
    rig.peer.expect("AT+CNMA=1", {"OK"});
    ack(rig, WCDMA, 1, 3);
    rig.peer.verify();
}

TEST(SmsReceive, UnreadReaderReadsPendingIndexesFirstThenTheUnreadList) {
    for (int family : {WCDMA, LTE}) {
        SCOPED_TRACE(simtest::familyName(family));
        Rig rig;
        setStates();
        g_moduletype = family == LTE ? 3 : 1;
        is_fddandevdo = family == LTE ? 1 : 0;
        s_is9X07 = 0;
        // index 5 was at the framework when the process ended
        property_set(RIL_SMS_PENDING_PROPERTY, "5");
        openFamily(rig, family);
        bool qc = family == LTE;
        rig.peer.expect(qc ? "AT$QCMGR=5" : "AT+CMGR=5", {qc ? "^HCMGR: 1,,24" : "+CMGR: 1,,24", kHello, "OK"});
        if (qc)
            rig.peer.expect("AT$QCMGL=\"REC UNREAD\"",
                            {"^HCMGL: 0,6,,23", kHi, "^HCMGL: 0,7,,24", kHello, "OK"});
        else
            rig.peer.expect("AT+CMGL=0", {"+CMGL: 6,0,,23", kHi, "+CMGL: 7,0,,24", kHello, "OK"});
        if (family == WCDMA)
            GetUnReadSMS(nullptr);
        else
            loop_lte_callback(nullptr);
        EXPECT_EQ(waitReports(rig, RIL_UNSOL_RESPONSE_NEW_SMS, 1)[0], kHello);
        EXPECT_EQ(pending(rig), "5,6,7");
        const char *del = qc ? "AT$QCMGD=" : "AT+CMGD=";
        long tok = 1;
        for (int index : {5, 6, 7}) {
            rig.peer.expect(del + std::to_string(index), {"OK"});
            ack(rig, family, 1, tok++);
        }
        auto r = waitReports(rig, RIL_UNSOL_RESPONSE_NEW_SMS, 3);
        EXPECT_EQ(r, (std::vector<std::string>{kHello, kHi, kHello}));
        rig.peer.verify();
        EXPECT_EQ(pending(rig), "");
    }
}

/* ---- CDMA ---- */

std::vector<RIL_CDMA_SMS_Message> cdmaReports(Rig &rig) {
    std::vector<RIL_CDMA_SMS_Message> out;
    for (const auto &n : rig.rec.notifications()) {
        if (n.code != RIL_UNSOL_RESPONSE_CDMA_NEW_SMS) continue;
        EXPECT_EQ(n.data.size(), sizeof(RIL_CDMA_SMS_Message));
        RIL_CDMA_SMS_Message m;
        memset(&m, 0, sizeof(m));
        memcpy(&m, n.data.data(), std::min(n.data.size(), sizeof(m)));
        out.push_back(m);
    }
    return out;
}

std::vector<RIL_CDMA_SMS_Message> waitCdma(Rig &rig, size_t n) {
    auto deadline = std::chrono::steady_clock::now() + 10s;
    std::vector<RIL_CDMA_SMS_Message> r;
    while ((r = cdmaReports(rig)).size() < n && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    EXPECT_GE(r.size(), n);
    return r;
}

std::string hcmt(const std::string &from) { return "^HCMT:" + from + ",2026,11,10,12,34,56,0,1,5,0,0,0"; }

TEST(SmsReceiveCdma, RecordFromTheLineAndItsBearerData) {
    Rig rig;
    setStates();
    initSmsStore_cdma();
    openFamily(rig, CDMA);
    rig.peer.sendNow(hcmt("10086*#ABCDx"));
    rig.peer.sendNow("0102030405F");  // 11 characters: 5 bytes, the last one ends the line
    auto r = waitCdma(rig, 1);
    EXPECT_EQ(r[0].uTeleserviceID, 4098);
    EXPECT_EQ(r[0].sAddress.number_of_digits, 12);
    std::vector<unsigned char> digits(r[0].sAddress.digits, r[0].sAddress.digits + 12);
    EXPECT_EQ(digits, (std::vector<unsigned char>{1, 10, 10, 8, 6, 11, 12, 13, 14, 15, 0, 32}));
    EXPECT_EQ(r[0].uBearerDataLen, 5);
    EXPECT_EQ(std::vector<unsigned char>(r[0].aBearerData, r[0].aBearerData + 5),
              (std::vector<unsigned char>{1, 2, 3, 4, 5}));
    // an "^MMS:" message, an address past the record's 36 digits and 600
    // hex characters: the record keeps what fits
    ack(rig, CDMA, 1, 1);
    rig.peer.sendNow("^MMS:" + std::string(50, '9') + ",2026,11,10,12,34,56,0,1,5,0,0,0");
    rig.peer.sendNow(std::string(600, 'A'));
    r = waitCdma(rig, 2);
    EXPECT_EQ(r[1].uTeleserviceID, 4100);
    EXPECT_EQ(r[1].sAddress.number_of_digits, 36);
    EXPECT_EQ(r[1].uBearerDataLen, 255);
    EXPECT_EQ(r[1].aBearerData[254], 0xAA);
    // lines without their fields are dropped
    ack(rig, CDMA, 1, 2);
    rig.peer.sendNow("^HCMT:10086,1,2");
    rig.peer.sendNow("00");
    rig.peer.sendNow("^HCMT");
    rig.peer.sendNow("00");
    readerBarrier(rig, CDMA, 3);
    EXPECT_EQ(cdmaReports(rig).size(), 2u);
}

TEST(SmsReceiveCdma, SevenBeforeAnyAcknowledgement) {
    Rig rig;
    setStates();
    initSmsStore_cdma();
    openFamily(rig, CDMA);
    for (int i = 0; i < 7; i++) {
        rig.peer.sendNow(hcmt("1380000000" + std::to_string(i)));
        rig.peer.sendNow("0" + std::to_string(i) + "Z");
    }
    readerBarrier(rig, CDMA, 100);
    ASSERT_EQ(cdmaReports(rig).size(), 1u);
    for (int i = 1; i <= 6; i++) {
        int a[2] = {0, 0};
        rig.dispatch(CDMA, i % 2 ? RIL_REQUEST_CDMA_SMS_ACKNOWLEDGE : RIL_REQUEST_SMS_ACKNOWLEDGE, a, sizeof(a), i);
        EXPECT_EQ(rig.completion(i).error, RIL_E_SUCCESS);
    }
    auto r = cdmaReports(rig);
    ASSERT_EQ(r.size(), 6u);  // the seventh found the five slots taken
    for (int i = 0; i < 6; i++) EXPECT_EQ(r[i].aBearerData[0], i) << i;
    // the sixth acknowledgement found the queue empty: the next goes at once
    rig.peer.sendNow(hcmt("10086"));
    rig.peer.sendNow("77Z");
    EXPECT_EQ(waitCdma(rig, 7)[6].aBearerData[0], 0x77);
}

TEST(SmsReceiveCdma, EarlyMessagesWaitForTheMainLoopAndGsmLinesAreReportedDirectly) {
    Rig rig;
    setStates();
    openFamily(rig, CDMA);
    rig.peer.sendNow(hcmt("10086"));
    rig.peer.sendNow("11Z");
    rig.peer.sendNow("+CMT: ,24");
    rig.peer.sendNow(kHello);
    rig.peer.sendNow("+CDS: 25");
    rig.peer.sendNow(kStatusReport);
    rig.peer.sendNow("^SMMEMFULL");
    readerBarrier(rig, CDMA, 1);
    EXPECT_TRUE(cdmaReports(rig).empty());
    EXPECT_EQ(reports(rig, RIL_UNSOL_RESPONSE_NEW_SMS), std::vector<std::string>{kHello});
    EXPECT_EQ(reports(rig, RIL_UNSOL_RESPONSE_NEW_SMS_STATUS_REPORT), std::vector<std::string>{kStatusReport});
    EXPECT_EQ(reports(rig, RIL_UNSOL_CDMA_RUIM_SMS_STORAGE_FULL).size(), 1u);
    initSmsStore_cdma();
    EXPECT_EQ(waitCdma(rig, 1)[0].aBearerData[0], 0x11);
}

// Many messages and acknowledgements racing: every message is reported,
// exactly once, none stays behind waiting for a later one.
TEST(SmsReceiveCdma, ReleaseNeverStrandsAMessage) {
    Rig rig;
    setStates();
    initSmsStore_cdma();
    std::atomic<bool> stop{false};
    std::thread acker([&] {
        size_t seen = 0;
        while (!stop) {
            size_t now = cdmaCount(rig);
            if (now > seen) {
                seen = now;
                GetSMS_cdma();
            }
            std::this_thread::yield();
        }
    });
    const int kMessages = 120;
    for (int i = 0; i < kMessages; i++) {
        char pdu[8];
        snprintf(pdu, sizeof(pdu), "%02XZ", i & 0xFF);
        onCDMANewSMS(hcmt("10086").c_str(), pdu, 0);
        // never more waiting (pushed, not yet reported) than the slots hold
        auto deadline = std::chrono::steady_clock::now() + 10s;
        while (static_cast<size_t>(i + 1) - cdmaCount(rig) >= RIL_CDMA_SMS_QUEUE_SLOTS &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
    }
    auto deadline = std::chrono::steady_clock::now() + 30s;
    while (cdmaCount(rig) < static_cast<size_t>(kMessages) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    stop = true;
    acker.join();
    auto r = cdmaReports(rig);
    EXPECT_EQ(r.size(), static_cast<size_t>(kMessages));
    // in arrival order
    for (int i = 0; i < kMessages && i < static_cast<int>(r.size()); i++) ASSERT_EQ(r[i].aBearerData[0], i) << i;
}

}  // namespace
