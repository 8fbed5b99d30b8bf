// GET_SIM_STATUS of the three families: each "+CPIN" answer to its card
// status record, the family shortcuts and what follows the answer.
#include <stddef.h>

#include "sim_rig.h"

using simtest::CDMA;
using simtest::LTE;
using simtest::Rig;
using simtest::Step;
using simtest::WCDMA;

namespace {

constexpr size_t kApp0 = offsetof(RIL_CardStatus_v6, applications);
constexpr size_t kApp1 = kApp0 + sizeof(RIL_AppStatus);

struct CardCase {
    const char *name;
    int family;
    std::vector<Step> script;
    int cardState;
    int numApps;
    int gsmIndex, cdmaIndex, imsIndex;
    int universalPin;
    // application 0: type, state, perso, pin1; application 1 type and state
    int type0, state0, perso0, pin10;
    int type1, state1;
};

std::ostream &operator<<(std::ostream &o, const CardCase &c) { return o << c.name; }

const Step kReady{"AT+CPIN?", {"+CPIN: READY", "OK"}};
const Step kCfunOn{"AT+CFUN?", {"+CFUN: 1", "OK"}};
const Step kCfunOff{"AT+CFUN?", {"+CFUN: 0", "OK"}};
const Step kNoCard{"AT+CPIN?", {"+CME ERROR: 10"}};

Step cpin(const std::string &text) { return {"AT+CPIN?", {"+CPIN: " + text, "OK"}}; }

const CardCase kCases[] = {
    // CDMA: two applications (SIM + RUIM), cdma index 1, ims 8
    {"cdma_ready", CDMA, {kReady}, 1, 2, 0, 1, 8, 0, 1, 5, 2, 0, 3, 5},
    {"cdma_uim_pin", CDMA, {cpin("UIM PIN")}, 1, 2, 0, 1, 8, 2, 1, 2, 0, 1, 3, 2},
    {"cdma_uim_puk", CDMA, {cpin("UIM PUK")}, 1, 2, 0, 1, 8, 0, 1, 3, 0, 4, 3, 3},
    {"cdma_ph_net", CDMA, {cpin("PH-NET PIN")}, 1, 2, 0, 1, 8, 0, 1, 4, 3, 1, 3, 4},
    {"cdma_sim_pin_text_unknown", CDMA, {cpin("SIM PIN")}, 0, 0, 8, 8, 8, 0, 0, 0, 0, 0, 0, 0},
    {"cdma_no_card_radio_on", CDMA, {kNoCard, kCfunOn}, 0, 0, 8, 8, 8, 0, 0, 0, 0, 0, 0, 0},
    {"cdma_no_card_radio_off", CDMA, {kNoCard, kCfunOff}, 1, 2, 0, 1, 8, 0, 1, 1, 0, 0, 3, 1},
    {"cdma_error", CDMA, {{"AT+CPIN?", {"ERROR"}}}, 1, 2, 0, 1, 8, 0, 1, 1, 0, 0, 3, 1},
    // WCDMA: one application counted, the RUIM row still fills entry 1
    {"wcdma_ready", WCDMA, {kReady}, 1, 1, 0, -1, -1, 0, 1, 5, 2, 0, 3, 5},
    {"wcdma_sim_pin", WCDMA, {cpin("SIM PIN")}, 1, 1, 0, -1, -1, 0, 1, 2, 0, 1, 3, 2},
    {"wcdma_sim_puk", WCDMA, {cpin("SIM PUK")}, 1, 1, 0, -1, -1, 0, 1, 3, 0, 4, 3, 3},
    {"wcdma_ph_net", WCDMA, {cpin("PH-NET PIN")}, 1, 1, 0, -1, -1, 0, 1, 4, 3, 1, 3, 4},
    {"wcdma_pin2_unknown", WCDMA, {cpin("SIM PIN2")}, 0, 0, 8, -1, -1, 0, 0, 0, 0, 0, 0, 0},
    {"wcdma_no_card_radio_on", WCDMA, {kNoCard, kCfunOn}, 0, 0, 8, -1, -1, 0, 0, 0, 0, 0, 0, 0},
    {"wcdma_no_card_radio_off", WCDMA, {kNoCard, kCfunOff}, 1, 1, 0, -1, -1, 0, 1, 1, 0, 0, 3, 1},
    {"wcdma_other_cme", WCDMA, {{"AT+CPIN?", {"+CME ERROR: 13"}}}, 1, 1, 0, -1, -1, 0, 1, 1, 0, 0, 3, 1},
    {"wcdma_timeout", WCDMA, {{"AT+CPIN?", {"<silence>"}}}, 1, 1, 0, -1, -1, 0, 1, 1, 0, 0, 3, 1},
    // LTE: SIM rows only
    {"lte_ready", LTE, {kReady}, 1, 1, 0, -1, -1, 0, 1, 5, 2, 0, 0, 0},
    {"lte_sim_pin", LTE, {cpin("SIM PIN")}, 1, 1, 0, -1, -1, 0, 1, 2, 0, 1, 0, 0},
    {"lte_ph_net", LTE, {cpin("PH-NET PIN")}, 1, 1, 0, -1, -1, 0, 1, 4, 3, 1, 0, 0},
    {"lte_pin2_not_ready", LTE, {cpin("SIM PIN2")}, 1, 1, 0, -1, -1, 0, 1, 1, 0, 0, 0, 0},
    {"lte_no_card", LTE, {kNoCard}, 0, 0, 8, -1, -1, 0, 0, 0, 0, 0, 0, 0},
    {"lte_timeout_is_ready", LTE, {{"AT+CPIN?", {"<silence>"}}}, 1, 1, 0, -1, -1, 0, 1, 5, 2, 0, 0, 0},
    {"lte_error", LTE, {{"AT+CPIN?", {"ERROR"}}}, 1, 1, 0, -1, -1, 0, 1, 1, 0, 0, 0, 0},
};

// The state each family is put in before the request, chosen so that the
// answer changes no radio state (the follow-ups have their own tests).
void prepare(int family, int cardState, int state0) {
    s_radio_state_wcdma = RADIO_STATE_SIM_READY;
    s_radio_state_lte = RADIO_STATE_ON;
    if (family == CDMA) {
        if (cardState == 1 && state0 == 5)
            s_radio_state_cdma = RADIO_STATE_RUIM_READY;
        else if (cardState == 1 && (state0 == 2 || state0 == 3))
            s_radio_state_cdma = RADIO_STATE_RUIM_LOCKED_OR_ABSENT;
        else
            s_radio_state_cdma = RADIO_STATE_RUIM_NOT_READY;
    }
}

class CardStatus : public ::testing::TestWithParam<CardCase> {};

TEST_P(CardStatus, AnswerBecomesTheFamilyRecord) {
    const CardCase &c = GetParam();
    Rig rig;
    prepare(c.family, c.cardState, c.state0);
    rig.script(c.script);
    rig.open();
    rig.dispatch(c.family, RIL_REQUEST_GET_SIM_STATUS, nullptr, 0, 1);
    riltest::Completion done = rig.completion(1);
    ASSERT_EQ(done.error, RIL_E_SUCCESS);
    ASSERT_EQ(done.data.size(), sizeof(RIL_CardStatus_v6));
    EXPECT_EQ(simtest::cardField(done, offsetof(RIL_CardStatus_v6, card_state)), c.cardState);
    EXPECT_EQ(simtest::cardField(done, offsetof(RIL_CardStatus_v6, num_applications)), c.numApps);
    EXPECT_EQ(simtest::cardField(done, offsetof(RIL_CardStatus_v6, gsm_umts_subscription_app_index)),
              c.gsmIndex);
    EXPECT_EQ(simtest::cardField(done, offsetof(RIL_CardStatus_v6, cdma_subscription_app_index)),
              c.cdmaIndex);
    EXPECT_EQ(simtest::cardField(done, offsetof(RIL_CardStatus_v6, ims_subscription_app_index)),
              c.imsIndex);
    EXPECT_EQ(simtest::cardField(done, offsetof(RIL_CardStatus_v6, universal_pin_state)), c.universalPin);
    EXPECT_EQ(simtest::cardField(done, kApp0 + offsetof(RIL_AppStatus, app_type)), c.type0);
    EXPECT_EQ(simtest::cardField(done, kApp0 + offsetof(RIL_AppStatus, app_state)), c.state0);
    EXPECT_EQ(simtest::cardField(done, kApp0 + offsetof(RIL_AppStatus, perso_substate)), c.perso0);
    EXPECT_EQ(simtest::cardField(done, kApp0 + offsetof(RIL_AppStatus, pin1)), c.pin10);
    EXPECT_EQ(simtest::cardField(done, kApp0 + offsetof(RIL_AppStatus, pin2)), 0);
    EXPECT_EQ(simtest::cardField(done, kApp1 + offsetof(RIL_AppStatus, app_type)), c.type1);
    EXPECT_EQ(simtest::cardField(done, kApp1 + offsetof(RIL_AppStatus, app_state)), c.state1);
    rig.peer.verify();
}

INSTANTIATE_TEST_SUITE_P(Families, CardStatus, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<CardCase> &i) { return std::string(i.param.name); });

TEST(CardStatusShortcut, LteWithRadioOffOrUnavailableAsksNothing) {
    for (RIL_RadioState state : {RADIO_STATE_OFF, RADIO_STATE_UNAVAILABLE}) {
        Rig rig;
        s_radio_state_lte = state;
        rig.open();
        rig.dispatch(LTE, RIL_REQUEST_GET_SIM_STATUS, nullptr, 0, 2);
        riltest::Completion done = rig.completion(2);
        EXPECT_EQ(simtest::cardField(done, offsetof(RIL_CardStatus_v6, card_state)), 1);
        EXPECT_EQ(simtest::cardField(done, kApp0 + offsetof(RIL_AppStatus, app_state)), RIL_APPSTATE_DETECTED);
        EXPECT_TRUE(rig.peer.commands().empty());
    }
}

TEST(CardStatusShortcut, WcdmaAfterAnAcceptedPinAnswersReadyWithoutAsking) {
    Rig rig;
    s_radio_state_wcdma = RADIO_STATE_SIM_LOCKED_OR_ABSENT;
    s_pinentered = 1;
    rig.open();
    rig.dispatch(WCDMA, RIL_REQUEST_GET_SIM_STATUS, nullptr, 0, 3);
    riltest::Completion done = rig.completion(3);
    EXPECT_EQ(simtest::cardField(done, kApp0 + offsetof(RIL_AppStatus, app_state)), RIL_APPSTATE_READY);
    EXPECT_TRUE(rig.peer.commands().empty());
}

TEST(CardStatusFollowUp, WcdmaReadyMovesTheRadioStateToSimReady) {
    Rig rig;
    s_radio_state_wcdma = RADIO_STATE_SIM_NOT_READY;
    rig.script({kReady});
    rig.open();
    rig.dispatch(WCDMA, RIL_REQUEST_GET_SIM_STATUS, nullptr, 0, 4);
    rig.completion(4);
    EXPECT_EQ(s_radio_state_wcdma, RADIO_STATE_SIM_READY);
}

TEST(CardStatusFollowUp, LteReportsVoiceNetworkStateAfterCompleting) {
    Rig rig;
    s_hasinit = 1;
    s_radio_state_lte = RADIO_STATE_ON;
    rig.script({kReady});
    rig.open();
    rig.dispatch(LTE, RIL_REQUEST_GET_SIM_STATUS, nullptr, 0, 5);
    rig.completion(5);
    EXPECT_EQ(rig.rec.notificationCodes(), std::vector<int>{RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED});
}

TEST(CardStatusFollowUp, CdmaLockedCardMovesToRuimLocked) {
    Rig rig;
    s_radio_state_cdma = RADIO_STATE_RUIM_NOT_READY;
    rig.script({cpin("UIM PIN")});
    rig.open();
    rig.dispatch(CDMA, RIL_REQUEST_GET_SIM_STATUS, nullptr, 0, 6);
    rig.completion(6);
    ASSERT_TRUE(riltest::waitUntil([] { return s_radio_state_cdma == RADIO_STATE_RUIM_LOCKED_OR_ABSENT; },
                                   std::chrono::seconds(5)));
    EXPECT_TRUE(rig.rec.waitNotification(RIL_UNSOL_RESPONSE_RADIO_STATE_CHANGED));
}

TEST(CardStatusFollowUp, CdmaReadyCardRunsTheRuimReadySteps) {
    Rig rig;
    s_radio_state_cdma = RADIO_STATE_RUIM_NOT_READY;
    // the RUIM-ready steps stop at a refused message setting
    rig.script({kReady, {"AT+CNMI=1,2,2,1,1", {"ERROR"}}});
    rig.open();
    rig.dispatch(CDMA, RIL_REQUEST_GET_SIM_STATUS, nullptr, 0, 7);
    rig.completion(7);
    ASSERT_TRUE(riltest::waitUntil([] { return s_radio_state_cdma == RADIO_STATE_RUIM_READY; },
                                   std::chrono::seconds(5)));
    EXPECT_TRUE(rig.rec.waitNotification(RIL_UNSOL_RESPONSE_RADIO_STATE_CHANGED));
    rig.peer.verify();
}

}  // namespace
