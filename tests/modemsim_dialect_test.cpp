// The simulated module's AT dialect, without ports: what each family's
// module answers, and how the answers follow SIM, network and settings.
#include <gtest/gtest.h>

#include "dialect.h"

using namespace modemsim;

namespace {

ModuleState fresh(const std::string &model) {
    ModuleState s;
    EXPECT_TRUE(defaultState(model, &s)) << model;
    return s;
}

std::vector<std::string> ask(ModuleState &s, const std::string &cmd, Effects *fx = nullptr) {
    Effects local;
    return answerCommand(s, cmd, {"OK"}, fx ? fx : &local);
}

using Lines = std::vector<std::string>;

struct Case {
    const char *model;
    const char *command;
    Lines reply;
};

}  // namespace

TEST(ModemSimDialect, AnswersEachFamilysQueriesInItsOwnTexts) {
    const Case cases[] = {
        {"lte", "AT", {"OK"}},
        {"lte", "ATE0", {"OK"}},
        {"lte", "AT+CFUN?", {"+CFUN: 1", "OK"}},
        {"lte", "AT+CPIN?", {"+CPIN: READY", "OK"}},
        {"cdma", "AT+CPIN?", {"+CPIN: READY", "OK"}},
        {"lte", "AT+CSQ", {"+CSQ: 21,99", "OK"}},
        {"lte", "AT+CCSQ", {"+CCSQ: 21,99", "OK"}},
        {"lte", "AT+HWINFO", {"+HWINFO: 2", "OK"}},
        {"lte", "AT+CIMI", {"460001234567890", "OK"}},
        {"lte", "AT+CIMIM", {"+CIMIM: 460001234567890", "OK"}},
        {"lte", "AT+QCIMI", {"+CME ERROR: 4"}},
        {"lte", "AT+CGSN", {"867223020012345", "OK"}},
        {"lte", "AT^MEID", {"^MEID: A1000098765432", "OK"}},
        {"lte", "AT+ICCID", {"+ICCID: 89860012345678901234", "OK"}},
        {"lte8909", "AT+ICCID", {"ICCID: 89860012345678901234", "OK"}},
        {"lte8909", "AT+ICCID?", {"+ICCID: 89860012345678901234", "OK"}},
        {"wcdma6290", "AT+CICCID", {"+ICCID: 89860012345678901234", "OK"}},
        {"wcdma6290", "AT+CNUM", {"+CNUM: \"\",\"+8618612345678\",145", "OK"}},
        {"wcdma6290", "AT^MEID", {"+CME ERROR: 4"}},
        {"wcdma6290", "AT+CPREFMODE?", {"+CPREFMODE: 2,0,1", "OK"}},
        {"wcdma6290", "AT+CNSMOD?", {"+CNSMOD: 0,7", "OK"}},
        {"wcdma6290", "AT+CPINAL", {"+CPINAL: 3,10,3,10", "OK"}},
        {"cdma", "AT^CPIN?", {"^CPIN: READY,3,10,3,10,3", "OK"}},
        {"cdma", "AT+GSN", {"+GSN: 80ABCDEF", "OK"}},
        {"cdma", "AT+UIMID", {"+UIMID: 89860012345678901234", "OK"}},
        {"cdma", "AT^HOMESNID", {"^HOMESNID: 13824,1", "OK"}},
        {"cdma", "AT+RSSI", {"+RSSI: 71,71", "OK"}},
        {"cdma", "AT^HDRCSQ", {"^HDRCSQ: 60", "OK"}},
        {"cdma", "AT^PREFMODE ?", {"^PREFMODE: 8", "OK"}},
        {"cdma", "AT^SYSINFO", {"^SYSINFO: 2,3,0,8,1,0,0", "OK"}},
        {"lte", "AT^SYSINFO", {"^SYSINFO: 2,3,0,9,1,0,0", "OK"}},
        {"wcdma6290", "AT^SYSINFO", {"^SYSINFO: 2,3,0,5,1,0,7", "OK"}},
        {"lte", "AT^MODECONFIG?", {"^MODECONFIG: 2", "OK"}},
        {"lte", "AT+CREG?", {"+CREG: 0,1", "OK"}},
        {"lte", "AT+CEREG?", {"+CEREG: 0,1", "OK"}},
        {"lte", "AT+SERVERINFO", {"+SERVERINFO: 460,00,5A3C,1D2F03,101,38950,-95,-10,12", "OK"}},
        {"lte", "AT+SCELLINFO", {"+SCELLINFO: 460,00,38950,5A3C,1D2F03,101,-95", "OK"}},
        {"lte", "AT+COPS?", {"+COPS: 0,0,\"CHINA MOBILE\",7", "OK"}},
        {"lte",
         "AT+COPS=3,0;+COPS?;+COPS=3,1;+COPS?;+COPS=3,2;+COPS?",
         {"+COPS: 0,0,\"CHINA MOBILE\",7", "+COPS: 0,1,\"CMCC\",7", "+COPS: 0,2,\"46000\",7", "OK"}},
        {"lte", "at^rptflag=0", {"OK"}},
        {"lte", "AT+CEMNLIST=2,\"911,112, 120, 119, 110\"", {"OK"}},
        {"lte", "AT+XYZZY", {"OK"}},
    };
    for (const Case &c : cases) {
        ModuleState s = fresh(c.model);
        EXPECT_EQ(ask(s, c.command), c.reply) << c.model << " " << c.command;
    }
}

TEST(ModemSimDialect, RegistrationQueriesFollowTheReportingModeAndTheNetwork) {
    ModuleState s = fresh("wcdma6290");
    EXPECT_EQ(ask(s, "AT+CREG=2"), Lines({"OK"}));
    EXPECT_EQ(ask(s, "AT+CREG?"), Lines({"+CREG: 2,1,\"5A3C\",\"001D2F03\",6", "OK"}));
    s.net.roaming = true;
    EXPECT_EQ(ask(s, "AT+CREG?"), Lines({"+CREG: 2,5,\"5A3C\",\"001D2F03\",6", "OK"}));
    s.net.tech = Tech::None;
    EXPECT_EQ(ask(s, "AT+CREG?"), Lines({"+CREG: 2,0", "OK"}));
    EXPECT_EQ(ask(s, "AT+CSQ"), Lines({"+CSQ: 99,99", "OK"}));
    EXPECT_EQ(ask(s, "AT+COPS?"), Lines({"+COPS: 0", "OK"}));
    EXPECT_EQ(ask(s, "AT^SYSINFO"), Lines({"^SYSINFO: 0,0,0,0,1,0,0", "OK"}));

    // radio off: no service whatever the network
    ModuleState l = fresh("lte");
    EXPECT_EQ(ask(l, "AT+CFUN=0"), Lines({"OK"}));
    EXPECT_EQ(ask(l, "AT+CFUN?"), Lines({"+CFUN: 0", "OK"}));
    EXPECT_EQ(ask(l, "AT+CGREG?"), Lines({"+CGREG: 0,0", "OK"}));
    // EPS registration exists only on LTE
    ModuleState g = fresh("lte");
    g.net.tech = Tech::Umts;
    EXPECT_EQ(ask(g, "AT+CEREG?"), Lines({"+CEREG: 0,0", "OK"}));
    EXPECT_EQ(ask(g, "AT+CGREG?"), Lines({"+CGREG: 0,1", "OK"}));
}

TEST(ModemSimDialect, RegistrationChangesProduceTheLinesTheHostEnabled) {
    ModuleState s = fresh("lte");
    ask(s, "AT+CREG=2");
    ask(s, "AT+CGREG=1");
    RegView before = regView(s);
    s.net.tech = Tech::None;
    EXPECT_EQ(registrationLines(s, before, regView(s)), Lines({"+CREG: 0", "+CGREG: 0", "^MODE: 0,0"}));
    RegView none = regView(s);
    s.net.tech = Tech::Hsdpa;
    EXPECT_EQ(registrationLines(s, none, regView(s)),
              Lines({"+CREG: 1,\"5A3C\",\"001D2F03\",4", "+CGREG: 1", "^MODE: 5,5"}));
    // nothing enabled, same technology: silence
    ModuleState q = fresh("lte");
    EXPECT_TRUE(registrationLines(q, regView(q), regView(q)).empty());
}

TEST(ModemSimDialect, PinEntryCountsAttemptsAndFallsBackToPuk) {
    ModuleState s = fresh("lte");
    s.sim.pinEnabled = true;
    s.sim.lock = SimLock::Pin;
    EXPECT_EQ(ask(s, "AT+CPIN?"), Lines({"+CPIN: SIM PIN", "OK"}));
    EXPECT_EQ(ask(s, "AT+CIMI"), Lines({"+CME ERROR: 11"}));
    EXPECT_EQ(ask(s, "AT+CPIN=\"0000\""), Lines({"+CME ERROR: 16"}));
    EXPECT_EQ(ask(s, "AT+CPINAL"), Lines({"+CPINAL: 2,10,3,10", "OK"}));
    EXPECT_EQ(ask(s, "AT+CPIN=\"1111\""), Lines({"+CME ERROR: 16"}));
    EXPECT_EQ(ask(s, "AT+CPIN=\"2222\""), Lines({"+CME ERROR: 16"}));
    EXPECT_EQ(ask(s, "AT+CPIN?"), Lines({"+CPIN: SIM PUK", "OK"}));
    EXPECT_EQ(ask(s, "AT+CPINAL"), Lines({"+CPINAL: 0,10,3,10", "OK"}));
    // PIN alone is no longer enough; a wrong PUK costs one PUK attempt
    EXPECT_EQ(ask(s, "AT+CPIN=\"1234\""), Lines({"+CME ERROR: 12"}));
    EXPECT_EQ(ask(s, "AT+CPIN=\"00000000\",\"4321\""), Lines({"+CME ERROR: 16"}));
    EXPECT_EQ(ask(s, "AT+CPINAL"), Lines({"+CPINAL: 0,9,3,10", "OK"}));
    EXPECT_EQ(ask(s, "AT+CPIN=\"12345678\",\"4321\""), Lines({"OK"}));
    EXPECT_EQ(ask(s, "AT+CPIN?"), Lines({"+CPIN: READY", "OK"}));
    EXPECT_EQ(s.sim.pin, "4321");
    EXPECT_EQ(ask(s, "AT+CPINAL"), Lines({"+CPINAL: 3,10,3,10", "OK"}));

    // the last PUK attempt blocks the card for good
    ModuleState b = fresh("cdma");
    b.sim.lock = SimLock::Puk;
    b.sim.pukAttempts = 1;
    EXPECT_EQ(ask(b, "AT^CPIN?"), Lines({"^CPIN: UIM PUK,1,1,3,10,3", "OK"}));
    EXPECT_EQ(ask(b, "AT+CPIN=\"11111111\",\"1234\""), Lines({"+CME ERROR: 16"}));
    EXPECT_EQ(ask(b, "AT+CPIN?"), Lines({"+CME ERROR: 13"}));

    // network personalisation lock
    ModuleState n = fresh("wcdma6290");
    n.sim.lock = SimLock::PhNet;
    EXPECT_EQ(ask(n, "AT+CPIN?"), Lines({"+CPIN: PH-NET PIN", "OK"}));
    EXPECT_EQ(ask(n, "AT+CIMI"), Lines({"+CME ERROR: 40"}));
    EXPECT_EQ(ask(n, "AT+CPIN=\"12341234\""), Lines({"OK"}));
    EXPECT_EQ(ask(n, "AT+CPIN?"), Lines({"+CPIN: READY", "OK"}));
}

TEST(ModemSimDialect, CardlessAndChangedPinAnswers) {
    ModuleState s = fresh("wcdma6290");
    s.sim.present = false;
    for (const char *cmd : {"AT+CPIN?", "AT+CIMI", "AT+CPINAL", "AT+CICCID", "AT+CPIN=\"1234\""})
        EXPECT_EQ(ask(s, cmd), Lines({"+CME ERROR: 10"})) << cmd;
    EXPECT_EQ(ask(s, "AT+CREG?"), Lines({"+CREG: 0,0", "OK"}));
    ask(s, "AT+CMEE=0");
    EXPECT_EQ(ask(s, "AT+CPIN?"), Lines({"ERROR"}));
    ask(s, "AT+CMEE=2");
    EXPECT_EQ(ask(s, "AT+CPIN?"), Lines({"+CME ERROR: SIM not inserted"}));

    // "AT+CPWD" as the families send it (blanks after the commas)
    ModuleState p = fresh("lte");
    EXPECT_EQ(ask(p, "AT+CPWD=\"SC\", \"9999\", \"4321\""), Lines({"+CME ERROR: 16"}));
    EXPECT_EQ(p.sim.pinAttempts, 2);
    EXPECT_EQ(ask(p, "AT+CPWD=\"SC\", \"1234\", \"4321\""), Lines({"OK"}));
    EXPECT_EQ(p.sim.pin, "4321");
    EXPECT_EQ(p.sim.pinAttempts, 3);
    // facility lock on the PIN
    EXPECT_EQ(ask(p, "AT+CLCK=\"SC\",2, , 7"), Lines({"+CLCK: 0", "OK"}));
    EXPECT_EQ(ask(p, "AT+CLCK=\"SC\",1, \"4321\", 7"), Lines({"OK"}));
    EXPECT_EQ(ask(p, "AT+CLCK=\"SC\",2"), Lines({"+CLCK: 1", "OK"}));
}

TEST(ModemSimDialect, CommandsWithSideEffects) {
    ModuleState s = fresh("lte");
    Effects fx;
    EXPECT_EQ(ask(s, "AT^RESET", &fx), Lines({"OK"}));
    EXPECT_TRUE(fx.resetModule);

    Effects sms;
    EXPECT_TRUE(ask(s, "AT+CMGS=20", &sms).empty());
    EXPECT_TRUE(sms.pduPrompt);
    EXPECT_EQ(answerPdu(s, sms.pduCommand, "0011000B91"), Lines({"+CMGS: 1", "OK"}));

    Effects data;
    EXPECT_EQ(ask(s, "ATD*99***1#", &data), Lines({"CONNECT"}));
    EXPECT_TRUE(data.dataMode);

    Effects voice;
    EXPECT_EQ(ask(s, "ATD10086;", &voice), Lines({"OK"}));
    EXPECT_TRUE(voice.unsolicited.empty()) << "the call progresses later";
    EXPECT_EQ(ask(s, "AT+CLCC"), Lines({"+CLCC: 1,0,2,0,0,\"10086\",129,\"\"", "OK"}));
    // originated, alerting, answered
    Lines progress;
    for (std::vector<Later> later = voice.later; !later.empty();) {
        Effects step;
        for (auto &l : later) l.run(s, step);
        progress.insert(progress.end(), step.unsolicited.begin(), step.unsolicited.end());
        later = step.later;
    }
    EXPECT_EQ(progress, Lines({"^ORIG:1,0", "^CONF:1", "^CONN:1,0", "^LINKED:1"}));
    EXPECT_EQ(ask(s, "AT+CLCC"), Lines({"+CLCC: 1,0,0,0,0,\"10086\",129,\"\"", "OK"}));
    Effects hang;
    EXPECT_EQ(ask(s, "ATH", &hang), Lines({"OK"}));
    ASSERT_EQ(hang.unsolicited.size(), 1u);
    EXPECT_EQ(hang.unsolicited[0].compare(0, 8, "^CEND:1,"), 0);
    EXPECT_EQ(ask(s, "AT+CLCC"), Lines({"OK"}));

    // a failing part ends a compound command with its error
    EXPECT_EQ(ask(s, "AT+CSQ;+CPIN=\"1\";+CFUN?"), Lines({"+CSQ: 21,99", "+CME ERROR: 3"}));
    // unknown commands take the configured answer
    Effects u;
    EXPECT_EQ(answerCommand(s, "AT+NEWTHING", {"+CME ERROR: 4"}, &u), Lines({"+CME ERROR: 4"}));
}
