// RADIO_POWER and SCREEN_STATE of the three families, the first-off rule and
// the flight-mode data report.
#include "sim_rig.h"

using simtest::CDMA;
using simtest::LTE;
using simtest::Rig;
using simtest::Step;
using simtest::WCDMA;

namespace {

using namespace std::chrono_literals;

void power(Rig &rig, int family, int value, long token) {
    rig.dispatch(family, RIL_REQUEST_RADIO_POWER, &value, sizeof(value), token);
}

TEST(FirstOff, OnlyClearsTheFlag) {
    for (int family : {CDMA, WCDMA, LTE}) {
        SCOPED_TRACE(simtest::familyName(family));
        Rig rig;
        s_radio_state_cdma = RADIO_STATE_RUIM_READY;
        s_radio_state_wcdma = s_radio_state_lte = RADIO_STATE_SIM_READY;
        s_firstoff_cdma = s_firstoff_wcdma = s_firstoff_lte = 1;
        rig.open();
        power(rig, family, 0, 1);
        EXPECT_EQ(rig.completion(1).error, RIL_E_SUCCESS);
        EXPECT_TRUE(rig.peer.commands().empty());
        if (family == CDMA) {
            EXPECT_EQ(s_firstoff_cdma, 0);
            EXPECT_EQ(s_radio_state_cdma, RADIO_STATE_RUIM_READY);
            // two seconds later the radio state is reported again
            EXPECT_TRUE(rig.rec.waitNotification(RIL_UNSOL_RESPONSE_RADIO_STATE_CHANGED, 5s));
            EXPECT_EQ(rig.property("ril.kivo.value"), "<unset>");
        } else {
            EXPECT_EQ(family == WCDMA ? s_firstoff_wcdma : s_firstoff_lte, 0);
            EXPECT_EQ(family == WCDMA ? s_radio_state_wcdma : s_radio_state_lte, RADIO_STATE_SIM_READY);
            EXPECT_EQ(rig.property("ril.kivo.value"), "1");
        }
    }
}

TEST(SecondOff, CdmaTurnsTheRadioOff) {
    Rig rig;
    s_firstoff_cdma = 0;
    s_radio_state_cdma = RADIO_STATE_RUIM_READY;
    property_set("ril.priority", "3");
    rig.script({{"AT+CFUN=0", {"OK"}}});
    rig.open();
    power(rig, CDMA, 0, 1);
    EXPECT_EQ(rig.completion(1).error, RIL_E_SUCCESS);
    EXPECT_EQ(s_radio_state_cdma, RADIO_STATE_OFF);
    EXPECT_EQ(rig.property("ril.priority"), "<unset>");  // emptied: reads as unset
    EXPECT_EQ(rig.rec.notificationCodes(), std::vector<int>{RIL_UNSOL_RESPONSE_RADIO_STATE_CHANGED});
    rig.peer.verify();
}

TEST(SecondOff, WcdmaCompletesBeforeItsSixSecondPause) {
    Rig rig;
    s_firstoff_wcdma = 0;
    s_pinentered = 1;
    G_userdisconnect = 0;
    s_radio_state_wcdma = RADIO_STATE_SIM_READY;
    s_datacall_wcdma.status = 0;
    rig.script({{"AT+CFUN=0", {"OK"}}});
    rig.open();
    auto start = std::chrono::steady_clock::now();
    power(rig, WCDMA, 0, 1);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(rig.completion(1).error, RIL_E_SUCCESS);
    EXPECT_GE(took, std::chrono::milliseconds(6000 / simtest::kScale));
    EXPECT_EQ(s_radio_state_wcdma, RADIO_STATE_OFF);
    EXPECT_EQ(s_pinentered, 0);
    EXPECT_EQ(G_userdisconnect, 1);
    EXPECT_EQ(s_datacall_wcdma.status, 0xFFFF);
    rig.peer.verify();
}

TEST(SecondOff, LteReportsTheDataCallListOnceInitialized) {
    Rig rig;
    s_firstoff_lte = 0;
    s_hasinit = 1;
    g_use_hasdataservice = 1;
    s_radio_state_lte = RADIO_STATE_SIM_READY;
    rig.script({{"AT+CFUN=0", {"OK"}}});
    rig.open();
    power(rig, LTE, 0, 1);
    EXPECT_EQ(rig.completion(1).error, RIL_E_SUCCESS);
    EXPECT_EQ(s_radio_state_lte, RADIO_STATE_OFF);
    EXPECT_EQ(g_use_hasdataservice, 0);
    auto codes = rig.rec.notificationCodes();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.back(), RIL_UNSOL_DATA_CALL_LIST_CHANGED);
    rig.peer.verify();
}

TEST(PowerOn, WcdmaAlreadyOnPollsWithoutCfun) {
    Rig rig;
    s_firstpoll_wcdma = 1;  // the direct poll only defers itself
    s_radio_state_wcdma = RADIO_STATE_OFF;
    // reaching RADIO_STATE_ON polls again, and that pass asks the card
    rig.script({{"AT+CFUN?", {"+CFUN: 1", "OK"}}, {"AT+CPIN?", {"+CPIN: SIM PIN", "OK"}}});
    rig.open();
    power(rig, WCDMA, 1, 1);
    EXPECT_EQ(rig.completion(1).error, RIL_E_SUCCESS);
    EXPECT_EQ(s_radio_state_wcdma, RADIO_STATE_SIM_LOCKED_OR_ABSENT);
    s_pollbusy_wcdma = 1;
    rig.peer.verify();
}

TEST(PowerOn, WcdmaOffModuleGetsCfun) {
    Rig rig;
    s_firstpoll_wcdma = 1;
    s_radio_state_wcdma = RADIO_STATE_OFF;
    g_inhotstatus = 1;
    rig.script({{"AT+CFUN?", {"+CFUN: 0", "OK"}}, {"AT+CFUN=1", {"OK"}}});
    rig.open();
    power(rig, WCDMA, 1, 1);
    EXPECT_EQ(rig.completion(1).error, RIL_E_SUCCESS);
    EXPECT_EQ(s_radio_state_wcdma, RADIO_STATE_ON);
    EXPECT_EQ(g_inhotstatus, 0);
    s_pollbusy_wcdma = 1;
    rig.peer.verify();
}

TEST(PowerOn, LteOffModuleGetsCfunAndReportsDataAndSim) {
    Rig rig;
    s_hasinit = 1;
    s_firstpoll_lte = 1;
    s_radio_state_lte = RADIO_STATE_OFF;
    g_hasdatacard = 1;
    rig.script({{"AT+CFUN?", {"+CFUN: 0", "OK"}}, {"AT+CFUN=1", {"OK"}}});
    rig.open();
    auto start = std::chrono::steady_clock::now();
    power(rig, LTE, 1, 1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000 / simtest::kScale));
    EXPECT_EQ(rig.completion(1).error, RIL_E_SUCCESS);
    EXPECT_EQ(s_radio_state_lte, RADIO_STATE_ON);
    EXPECT_EQ(g_hasdatacard, 0);
    EXPECT_EQ(g_inhotstatus, 1);
    EXPECT_EQ(G_userdisconnect, 1);
    auto codes = rig.rec.notificationCodes();
    ASSERT_GE(codes.size(), 2u);
    EXPECT_EQ(codes[codes.size() - 2], RIL_UNSOL_DATA_CALL_LIST_CHANGED);
    EXPECT_EQ(codes.back(), RIL_UNSOL_RESPONSE_SIM_STATUS_CHANGED);
    s_pollbusy_lte = 1;
    rig.peer.verify();
}

TEST(PowerOn, CdmaTurnsOnAndPollsTheCard) {
    Rig rig;
    s_radio_state_cdma = RADIO_STATE_OFF;
    rig.script({{"AT+CFUN=1", {"OK"}},
                {"AT^PREFMODE=8", {"OK"}},
                {"AT+CPIN?", {"+CPIN: UIM PUK", "OK"}}});
    rig.root.makeDirs("/sysroot/sys/class/s5p_modem");
    rig.open();
    power(rig, CDMA, 1, 1);
    EXPECT_EQ(rig.completion(1).error, RIL_E_SUCCESS);
    EXPECT_EQ(s_radio_state_cdma, RADIO_STATE_RUIM_LOCKED_OR_ABSENT);
    auto codes = rig.rec.notificationCodes();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.back(), RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED);
    rig.peer.verify();
}

TEST(PowerValue, NegativeOrMissingValue) {
    struct Case {
        int family;
        bool withValue;
        int error;
    } cases[] = {
        {CDMA, true, RIL_E_SUCCESS},          // negative: nothing done, success
        {WCDMA, true, RIL_E_GENERIC_FAILURE}, // negative: refused instead of left open
        {LTE, true, RIL_E_GENERIC_FAILURE},
        {CDMA, false, RIL_E_GENERIC_FAILURE}, // no value to read
        {WCDMA, false, RIL_E_GENERIC_FAILURE},
        {LTE, false, RIL_E_GENERIC_FAILURE},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(simtest::familyName(c.family)) + (c.withValue ? " -1" : " none"));
        Rig rig;
        s_radio_state_cdma = RADIO_STATE_RUIM_READY;
        s_radio_state_wcdma = s_radio_state_lte = RADIO_STATE_SIM_READY;
        rig.open();
        if (c.withValue)
            power(rig, c.family, -1, 1);
        else
            rig.dispatch(c.family, RIL_REQUEST_RADIO_POWER, nullptr, 0, 1);
        EXPECT_EQ(rig.completion(1).error, c.error);
        EXPECT_TRUE(rig.peer.commands().empty());
    }
}

TEST(Screen, OnlyCdmaKeepsTheScreenState) {
    Rig rig;
    s_radio_state_cdma = RADIO_STATE_RUIM_READY;
    s_radio_state_wcdma = s_radio_state_lte = RADIO_STATE_SIM_READY;
    rig.open();
    int off = 0, on = 1;
    rig.dispatch(CDMA, RIL_REQUEST_SCREEN_STATE, &off, sizeof(off), 1);
    EXPECT_EQ(rig.completion(1).error, RIL_E_SUCCESS);
    EXPECT_EQ(g_screenon, 0);
    EXPECT_EQ(g_isleep_maybe, 1);
    rig.dispatch(CDMA, RIL_REQUEST_SCREEN_STATE, &on, sizeof(on), 2);
    EXPECT_EQ(rig.completion(2).error, RIL_E_SUCCESS);
    EXPECT_EQ(g_screenon, 1);
    rig.dispatch(CDMA, RIL_REQUEST_SCREEN_STATE, nullptr, 0, 3);
    EXPECT_EQ(rig.completion(3).error, RIL_E_GENERIC_FAILURE);

    g_isleep_maybe = 0;
    rig.dispatch(WCDMA, RIL_REQUEST_SCREEN_STATE, &off, sizeof(off), 4);
    rig.dispatch(LTE, RIL_REQUEST_SCREEN_STATE, &off, sizeof(off), 5);
    EXPECT_EQ(rig.completion(4).error, RIL_E_SUCCESS);
    EXPECT_EQ(rig.completion(5).error, RIL_E_SUCCESS);
    EXPECT_EQ(g_screenon, 1);
    EXPECT_EQ(g_isleep_maybe, 0);
    EXPECT_TRUE(rig.peer.commands().empty());
}

TEST(FlightMode, ActiveFlyDataReportsOnlyOnceInitialized) {
    Rig rig;
    s_hasinit = 0;
    activeflydata_wcdma(nullptr);
    activeflydata_lte(nullptr);
    EXPECT_TRUE(rig.rec.notificationCodes().empty());
    s_hasinit = 1;
    activeflydata_wcdma(nullptr);
    activeflydata_lte(nullptr);
    auto n = rig.rec.notifications();
    ASSERT_EQ(n.size(), 3u);
    EXPECT_EQ(n[0].code, RIL_UNSOL_DATA_CALL_LIST_CHANGED);
    EXPECT_TRUE(n[0].data.empty());
    EXPECT_EQ(n[1].code, RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED);
    EXPECT_EQ(n[2].code, RIL_UNSOL_DATA_CALL_LIST_CHANGED);
    ASSERT_EQ(n[2].data.size(), sizeof(RIL_Data_Call_Response_v11));
    RIL_Data_Call_Response_v11 r;
    memcpy(&r, n[2].data.data(), sizeof(r));
    EXPECT_EQ(r.cid, 1);
    EXPECT_EQ(r.active, 0);
    EXPECT_STREQ(r.type, "IP");
    EXPECT_STREQ(r.ifname, "ppp0");
    EXPECT_EQ(r.addresses, nullptr);
}

}  // namespace
