// The SIM poll of the three families (first-pass deferral, busy flag, radio
// states while the card is not ready or locked) and the card removal and
// exchange paths, which end the process with status 0.
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "sim_rig.h"

using simtest::CDMA;
using simtest::LTE;
using simtest::Rig;
using simtest::Step;
using simtest::WCDMA;

namespace {

using namespace std::chrono_literals;

TEST(Poll, FirstPassOfWcdmaAndLteOnlyDefersItselfTenSeconds) {
    struct Case {
        int family;
        void (*poll)(void *);
        RIL_RadioState *state;
    } cases[] = {{WCDMA, pollSIMState_wcdma, &s_radio_state_wcdma}, {LTE, pollSIMState_lte, &s_radio_state_lte}};
    for (const auto &c : cases) {
        SCOPED_TRACE(simtest::familyName(c.family));
        s_firstpoll_wcdma = s_firstpoll_lte = 1;
        Rig rig;
        *c.state = RADIO_STATE_ON;
        rig.script({{"AT+CPIN?", {"+CPIN: SIM PUK", "OK"}}});
        rig.open();
        auto start = std::chrono::steady_clock::now();
        c.poll(nullptr);
        EXPECT_TRUE(rig.peer.commands().empty());
        // the deferred pass asks and finds the card locked
        ASSERT_TRUE(riltest::waitUntil([&] { return *c.state == RADIO_STATE_SIM_LOCKED_OR_ABSENT; }, 5s));
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(10000 / simtest::kScale));
        rig.peer.verify();
    }
}

TEST(Poll, ACallWhileAPollRunsReturnsAtOnce) {
    Rig rig;
    rig.open();
    s_firstpoll_wcdma = s_firstpoll_lte = 0;
    s_pollbusy_wcdma = s_pollbusy_lte = 1;
    s_radio_state_wcdma = s_radio_state_lte = RADIO_STATE_ON;
    pollSIMState_wcdma(nullptr);
    pollSIMState_lte(nullptr);
    EXPECT_TRUE(rig.peer.commands().empty());
    EXPECT_EQ(s_radio_state_wcdma, RADIO_STATE_ON);
    EXPECT_EQ(s_radio_state_lte, RADIO_STATE_ON);
}

struct NotReadyCase {
    int family;
    void (*poll)(void *);
    RIL_RadioState *state;
    RIL_RadioState notReady;
    RIL_RadioState locked;
    const char *lockedText;
};

TEST(Poll, NotReadyCardIsPolledAgainUntilItAnswersLocked) {
    NotReadyCase cases[] = {
        {CDMA, pollSIMState_cdma, &s_radio_state_cdma, RADIO_STATE_RUIM_NOT_READY,
         RADIO_STATE_RUIM_LOCKED_OR_ABSENT, "UIM PUK"},
        {WCDMA, pollSIMState_wcdma, &s_radio_state_wcdma, RADIO_STATE_SIM_NOT_READY,
         RADIO_STATE_SIM_LOCKED_OR_ABSENT, "SIM PIN"},
        {LTE, pollSIMState_lte, &s_radio_state_lte, RADIO_STATE_SIM_NOT_READY, RADIO_STATE_SIM_LOCKED_OR_ABSENT,
         "SIM PIN"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(simtest::familyName(c.family));
        s_firstpoll_wcdma = s_firstpoll_lte = 0;
        Rig rig;
        rig.root.makeDirs("/sysroot/sys/class/s5p_modem");
        *c.state = RADIO_STATE_ON;
        rig.script({{"AT+CPIN?", {"+CME ERROR: 14"}},
                    {"AT+CPIN?", {"+CPIN: " + std::string(c.lockedText), "OK"}}});
        rig.open();
        c.poll(nullptr);
        EXPECT_EQ(*c.state, c.notReady);
        ASSERT_TRUE(riltest::waitUntil([&] { return *c.state == c.locked; }, 5s))
            << riltest::readFile(rig.root.at("/ril.log"));
        rig.peer.verify();
        if (c.family == CDMA) {
            // a locked or absent RUIM marks the board's modem status
            EXPECT_TRUE(riltest::waitUntil(
                [&] { return riltest::readFile(rig.root.at("/sysroot/sys/class/s5p_modem/modem_status")) == "0\n"; },
                5s));
        }
    }
}

TEST(Poll, RadioOffRuleOfLteKeepsPollingWithoutAsking) {
    s_firstpoll_lte = 0;
    Rig rig;
    s_radio_state_lte = RADIO_STATE_OFF;
    rig.open();
    pollSIMState_lte(nullptr);
    // not ready without asking: the state moves to SIM_NOT_READY, and the
    // next pass (1 s later) does ask
    EXPECT_EQ(s_radio_state_lte, RADIO_STATE_SIM_NOT_READY);
    EXPECT_TRUE(rig.peer.commands().empty());
    s_pollbusy_lte = 1;
}

/* ---- removal and exchange: run in a child, which must end with status 0 ---- */

struct ChildResult {
    int status = -1;
    std::string record;  // commands and notification codes, one a line
};

ChildResult runInChild(const std::function<void(Rig &)> &body, const std::vector<Step> &script) {
    riltest::TempRoot out;
    std::string recordPath = out.at("/record");
    pid_t pid = fork();
    if (pid == 0) {
        {
            Rig rig;
            rig.script(script);
            rig.open();
            // notifications go straight to the record file, the child may end at any point
            static std::string s_path;
            s_path = recordPath;
            static RIL_Env env = *rig.rec.env();
            env.OnUnsolicitedResponse = [](int code, const void *data, size_t len) {
                std::ofstream f(s_path, std::ios::app);
                f << "unsol " << code;
                if (code == RIL_UNSOL_SIGNAL_STRENGTH && len >= sizeof(RIL_SignalStrength_v10)) {
                    const RIL_SignalStrength_v10 *s = (const RIL_SignalStrength_v10 *)data;
                    f << " " << s->GW_SignalStrength.signalStrength << "/" << s->GW_SignalStrength.bitErrorRate;
                }
                f << "\n";
            };
            s_rilenv = s_rilenv_wcdma = s_rilenv_lte = &env;
            body(rig);
        }
        _exit(3);  // the body returned: a fault
    }
    ChildResult r;
    int st = 0;
    if (waitpid(pid, &st, 0) == pid && WIFEXITED(st)) r.status = WEXITSTATUS(st);
    r.record = riltest::readFile(recordPath);
    return r;
}

TEST(CardRemoved, StopsTheModuleReportsNoSignalAndEndsWithStatusZero) {
    for (int family : {WCDMA, LTE}) {
        SCOPED_TRACE(simtest::familyName(family));
        ChildResult r = runInChild(
            [family](Rig &) {
                s_hasinit = 1;
                if (family == WCDMA)
                    OnSimCardRemove_wcdma(nullptr);
                else
                    OnSimCardRemove_lte(nullptr);
            },
            {{"AT+CFUN=0", {"OK"}}, {"AT^RESET", {"OK"}}});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.record, "unsol 1010\nunsol 1002\nunsol 1009 0/99\n");
    }
}

TEST(CardExchanged, MarksFlightModeReportsSimStatusAndEndsWithStatusZero) {
    for (int family : {WCDMA, LTE}) {
        SCOPED_TRACE(simtest::familyName(family));
        ChildResult r = runInChild(
            [family](Rig &) {
                s_hasinit = 1;
                s_radio_state_wcdma = s_radio_state_lte = RADIO_STATE_SIM_READY;
                if (family == WCDMA)
                    onSimCardChange_wcdma(nullptr);
                else
                    onSimCardChange_lte(nullptr);
            },
            {});
        EXPECT_EQ(r.status, 0);
        // the radio state change (1000 and, in LTE, its companions) precedes
        // the SIM status report
        EXPECT_NE(r.record.find("unsol 1000\n"), std::string::npos) << r.record;
        ASSERT_GE(r.record.size(), 11u);
        EXPECT_EQ(r.record.substr(r.record.size() - 11), "unsol 1019\n");
    }
}

}  // namespace
