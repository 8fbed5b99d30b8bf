// SMS end to end: the real host daemon loads the real library, which drives
// the simulated module (its SM store, notification settings and sends) over
// its pseudo-terminal. Sent PDUs and delivered messages are checked with
// gammu, the independent codec.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "daemon_harness.h"
#include "gammu_oracle.h"
#include "ril_interface.h"
#include "ril_sms.h"
#include "simulated_module.h"
#include "temp_root.h"

using modemsim::ModuleConfig;
using modemsim::SimulatedModule;
using nlohmann::json;
using riltest::DaemonHarness;
using riltest::DaemonOptions;
using riltest::TempRoot;
using namespace std::chrono_literals;

namespace {

constexpr long kScale = 20;

// DELIVER PDUs from +8613800138000 at 2026-11-10 12:34:56 (empty SMSC octet)
const std::string kHello = "00040D91683108108300F0000062110121436500" "05E8329BFD06";
const std::string kHi = "00040D91683108108300F0000062110121436500" "02E834";

bool isType(const json &m, const char *type) { return m.is_object() && m.value("type", "") == type; }
bool isUnsol(const json &m, int code) { return isType(m, "unsol") && m.value("code", 0) == code; }

json gammuDecode(const std::string &pdu) {
    auto lines = riltest::gammuOracle({"decode", pdu});
    return lines.empty() ? json() : json::parse(lines[0]);
}

struct Rig {
    explicit Rig(const std::string &model, bool supervise = false,
                 const std::function<void(SimulatedModule &)> &before = nullptr)
        : module(config(model)), d(root) {
        if (before) before(module);
        DaemonOptions opt;
        opt.timeScale = kScale;
        opt.supervise = supervise;
        d.start(opt);
    }
    ModuleConfig config(const std::string &model) {
        ModuleConfig cfg = ModuleConfig::forModel(model, root.path() + "/sysroot");
        cfg.resetGap = 200ms;
        return cfg;
    }
    bool ready() {
        if (module.family() == modemsim::Family::Cdma)
            return module.waitForCommand("AT+CMGF=3", 30s) || module.waitForCommand("AT+CMGF=2", 1s);
        return riltest::waitUntil([this] { return d.property("gsm.sim.state") == "READY"; }, 30s);
    }
    std::string control(const std::string &line) {
        std::string r = module.control(line);
        EXPECT_EQ(r.substr(r.size() >= 2 ? r.size() - 2 : 0), "OK") << line << ": " << r;
        return r;
    }
    std::vector<std::string> store() {
        std::string r = module.control("sms list");
        std::vector<std::string> out;
        size_t p = 0;
        while (p < r.size()) {
            size_t e = r.find('\n', p);
            std::string l = r.substr(p, e == std::string::npos ? std::string::npos : e - p);
            if (!l.empty() && l != "OK") out.push_back(l);
            if (e == std::string::npos) break;
            p = e + 1;
        }
        return out;
    }
    std::vector<json> news(int code = RIL_UNSOL_RESPONSE_NEW_SMS) {
        std::vector<json> out;
        for (const json &m : d.messages())
            if (isUnsol(m, code)) out.push_back(m["data"]);
        return out;
    }
    std::vector<json> waitNews(size_t n, int code = RIL_UNSOL_RESPONSE_NEW_SMS, std::chrono::milliseconds t = 30s) {
        riltest::waitUntil([&] { return news(code).size() >= n; }, t);
        auto r = news(code);
        EXPECT_GE(r.size(), n) << d.logText().substr(0, 0);
        return r;
    }
    json ask(const std::string &request, int error = RIL_E_SUCCESS) {
        json r = d.waitResponse(d.request(request), 30s);
        EXPECT_EQ(r.value("error", -1), error) << request << ": " << r.dump();
        return r;
    }
    // a module exchange through the library: every line the module sent
    // before its answer has been through the library once this returns
    void barrier() { ask("RIL_REQUEST_GET_SMSC_ADDRESS"); }

    TempRoot root;
    SimulatedModule module;
    DaemonHarness d;  // declared last: the daemon ends before the module leaves
};

class SmsEndToEnd : public ::testing::TestWithParam<const char *> {};

TEST_P(SmsEndToEnd, ConsoleTextIsSentAsAPduTheIndependentDecoderReads) {
    Rig rig(GetParam());
    ASSERT_TRUE(rig.ready());
    json r = rig.ask("sms +8613800138000 \"hello there\"");
    EXPECT_EQ(r["data"]["messageRef"], 0);
    std::string sent = rig.control("sms sent");
    std::string pdu = sent.substr(0, sent.find('\n'));
    ASSERT_EQ(pdu.substr(0, 2), "00");
    json g = gammuDecode(pdu);
    EXPECT_EQ(g["number"], "+8613800138000");
    EXPECT_EQ(g["text"], "hello there");
    bool found = false;
    for (const std::string &c : rig.module.commands())
        found = found || c == "AT+CMGS=" + std::to_string((pdu.size() - 2) / 2);
    EXPECT_TRUE(found);
    // a send error is a failure; the raw PDU form stays
    rig.control("sms senderror 500");
    rig.ask("sms null " + pdu.substr(2), RIL_E_GENERIC_FAILURE);
}

TEST_P(SmsEndToEnd, StoredMessagesOneAtATimeDeletedOnAcceptanceKeptOnRejection) {
    Rig rig(GetParam());
    ASSERT_TRUE(rig.ready());
    rig.control("sms deliver " + kHello);
    rig.control("sms deliver " + kHi);
    auto first = rig.waitNews(1);
    // a read the module did not answer in time is tried again later, so the
    // two may come in either order
    const std::string firstPdu = first[0].value("pdu", "");
    const std::string secondPdu = firstPdu == kHello ? kHi : kHello;
    json g = gammuDecode(firstPdu);
    EXPECT_EQ(first[0]["from"], g["number"]);
    EXPECT_EQ(first[0]["text"], g["text"]);
    EXPECT_EQ(first[0]["time"], g["time"]);
    EXPECT_TRUE(firstPdu == kHello || firstPdu == kHi) << firstPdu;
    rig.barrier();
    EXPECT_EQ(rig.news().size(), 1u);  // the second waits for the acknowledgement
    EXPECT_EQ(rig.store().size(), 2u);
    rig.ask("RIL_REQUEST_SMS_ACKNOWLEDGE 1 0");
    auto both = rig.waitNews(2);
    EXPECT_EQ(both[1]["pdu"], secondPdu);
    EXPECT_EQ(rig.store().size(), 1u);
    // rejected: stays on the module (read now)
    rig.ask("RIL_REQUEST_SMS_ACKNOWLEDGE 0 211");
    auto left = rig.store();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].substr(1), " 1 " + secondPdu);
}

TEST_P(SmsEndToEnd, DirectMessagesAreAcknowledgedAsTheFamilyDoes) {
    Rig rig(GetParam());
    ASSERT_TRUE(rig.ready());
    bool wcdma = std::string(GetParam()) == "wcdma6290";
    rig.control("sms direct " + kHello);
    rig.control("sms direct " + kHi);
    auto r = rig.waitNews(1);
    EXPECT_EQ(r[0]["text"], "hello");
    rig.ask("RIL_REQUEST_SMS_ACKNOWLEDGE 1 0");
    r = rig.waitNews(2);
    EXPECT_EQ(r[1]["text"], "hi");
    rig.ask("RIL_REQUEST_SMS_ACKNOWLEDGE 0 211");
    rig.barrier();
    std::vector<std::string> acks;
    for (const std::string &c : rig.module.commands())
        if (c.rfind("AT+CNMA", 0) == 0) acks.push_back(c);
    // WCDMA acknowledges each by its flag; the LTE modules (type 3) send nothing
    const std::vector<std::string> expected =
        wcdma ? std::vector<std::string>{"AT+CNMA=1", "AT+CNMA=2"} : std::vector<std::string>();
    EXPECT_EQ(acks, expected);
    EXPECT_TRUE(rig.store().empty());
}

TEST_P(SmsEndToEnd, SameIndexAnnouncedTwiceIsReportedOnce) {
    Rig rig(GetParam());
    ASSERT_TRUE(rig.ready());
    rig.control("sms store " + kHello);
    rig.module.inject("+CMTI: \"SM\",0");
    rig.module.inject("+CMTI: \"SM\",0");
    rig.waitNews(1);
    rig.ask("RIL_REQUEST_SMS_ACKNOWLEDGE 1 0");
    EXPECT_TRUE(riltest::waitUntil([&] { return rig.store().empty(); }, 10s));
    // both announcements were read from the module (the second before or
    // after the acknowledgement; the SIM-ready reader may read the index
    // once more): still one report
    auto reads = [&] {
        int n = 0;
        for (const std::string &c : rig.module.commands()) n += c == "AT+CMGR=0";
        return n;
    };
    EXPECT_TRUE(riltest::waitUntil([&] { return reads() >= 2; }, 10s));
    rig.barrier();
    EXPECT_EQ(rig.news().size(), 1u);
}

TEST_P(SmsEndToEnd, MessageWaitingBeforeStartIsReportedOnceTheFamilyIsUp) {
    Rig rig(GetParam(), false, [](SimulatedModule &m) { m.control("sms store " + kHello); });
    ASSERT_TRUE(rig.ready());
    auto r = rig.waitNews(1);
    EXPECT_EQ(r[0]["text"], "hello");
    rig.ask("RIL_REQUEST_SMS_ACKNOWLEDGE 1 0");
    EXPECT_TRUE(riltest::waitUntil([&] { return rig.store().empty(); }, 10s));
}

TEST_P(SmsEndToEnd, MessageInFlightAtARestartIsReportedAgain) {
    Rig rig(GetParam(), true);
    ASSERT_TRUE(rig.ready());
    rig.control("sms store " + kHi + " 1");  // read by the user before: never reported again
    rig.control("sms deliver " + kHello);
    auto r = rig.waitNews(1);
    EXPECT_EQ(r[0]["text"], "hello");
    // the process ends on purpose (the card changed) before the framework acknowledged
    rig.module.control("sim exchange");
    ASSERT_TRUE(riltest::waitUntil(
        [&] { return rig.d.count([](const json &m) { return isType(m, "init"); }) == 2; }, 30s))
        << rig.d.logText();
    r = rig.waitNews(2, RIL_UNSOL_RESPONSE_NEW_SMS, 40s);
    EXPECT_EQ(r[1]["text"], "hello");
    rig.ask("RIL_REQUEST_SMS_ACKNOWLEDGE 1 0");
    EXPECT_TRUE(riltest::waitUntil([&] { return rig.store().size() == 1; }, 10s));
    rig.barrier();
    EXPECT_EQ(rig.news().size(), 2u);  // the read one was not reported
}

TEST_P(SmsEndToEnd, FullStorageRefusesWritesAndDeliveries) {
    Rig rig(GetParam());
    ASSERT_TRUE(rig.ready());
    rig.control("sms capacity SM 3");
    rig.control("sms fill");
    rig.ask("RIL_REQUEST_WRITE_SMS_TO_SIM 1 " + kHello.substr(2), RIL_E_GENERIC_FAILURE);
    rig.control("sms deliver " + kHi);  // "^SMMEMFULL": nothing to read
    rig.barrier();
    EXPECT_TRUE(rig.news().empty());
    rig.ask("RIL_REQUEST_DELETE_SMS_ON_SIM 0");
    rig.ask("RIL_REQUEST_WRITE_SMS_TO_SIM 1 " + kHello.substr(2));
    auto st = rig.store();
    ASSERT_EQ(st.size(), 3u);
    EXPECT_EQ(st[0], "0 1 " + kHello);  // written with the SMSC octet before the TPDU
}

INSTANTIATE_TEST_SUITE_P(Families, SmsEndToEnd, ::testing::Values("wcdma6290", "lte"),
                         [](const ::testing::TestParamInfo<const char *> &i) { return std::string(i.param); });

TEST(SmsEndToEndCdma, BearerDataArrivesAsARecordAndEachAcknowledgementReleasesTheNext) {
    Rig rig("cdma");
    ASSERT_TRUE(rig.ready());
    rig.control("sms cdma 10086 00031040");
    rig.control("sms cdma 10010 00031041");
    auto r = rig.waitNews(1, RIL_UNSOL_RESPONSE_CDMA_NEW_SMS);
    EXPECT_EQ(r[0]["teleservice"], 4098);
    EXPECT_EQ(r[0]["addressDigits"], "1,10,10,8,6");
    EXPECT_EQ(r[0]["bearerData"], "00031040");
    rig.ask("RIL_REQUEST_CDMA_SMS_ACKNOWLEDGE 0 0");
    r = rig.waitNews(2, RIL_UNSOL_RESPONSE_CDMA_NEW_SMS);
    EXPECT_EQ(r[1]["addressDigits"], "1,10,10,1,10");
    rig.control("sms cdma 10086 00 mms");
    rig.ask("RIL_REQUEST_SMS_ACKNOWLEDGE 1 0");
    r = rig.waitNews(3, RIL_UNSOL_RESPONSE_CDMA_NEW_SMS);
    EXPECT_EQ(r[2]["teleservice"], 4100);
    // full storage
    rig.module.inject("^SMMEMFULL");
    EXPECT_FALSE(rig.d.waitUnsol(RIL_UNSOL_CDMA_RUIM_SMS_STORAGE_FULL, 10s).is_null());
}

}  // namespace
