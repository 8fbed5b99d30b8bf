// The AT dialect of the simulated module: answers one command line from the
// module state (and changes it), in the reply texts of the module's family.
// No I/O here; SimulatedModule frames the lines and writes them.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "module_state.h"

namespace modemsim {

struct Effects;
// Work a command or an event leaves for later (a call that progresses): run
// after the delay with the module's lock held; its lines are sent.
struct Later {
    std::chrono::milliseconds after;
    std::function<void(ModuleState &, Effects &)> run;
};

// Things a command does beyond its reply lines.
struct Effects {
    bool resetModule = false;         // the module drops off USB and comes back
    bool pduPrompt = false;           // send "> " and collect a PDU up to Ctrl-Z
    std::string pduCommand;           // the command that asked for the PDU
    bool silentPrompt = false;        // the PDU entry starts without the "> "
    bool dataMode = false;            // "CONNECT" sent: the port now carries data
    int delayMs = 0;                  // lines sent on the same port this much later
    std::vector<std::string> delayed;
    std::vector<std::string> unsolicited;  // lines sent after the reply
    std::vector<Later> later;              // scheduled after the reply
    int replyDelayMs = 0;             // the reply comes this much later (a network scan)
};

// A command text prepared for matching: upper case and without blanks
// outside double quotes ("at+micg = 6" -> "AT+MICG=6").
std::string normalizeCommand(const std::string &raw);

// Splits "AT+COPS=3,0;+COPS?" into "AT+COPS=3,0" and "AT+COPS?" (on
// semicolons outside quotes; every part gets the "AT" back). A dial string
// runs to its first semicolon, as V.250 has it: "ATD10086;+CFUN=0" is the
// dial "ATD10086;" followed by "AT+CFUN=0"; "ATD*99#" stays whole.
std::vector<std::string> splitCompound(const std::string &normalized);

// Answers a whole command line (raw text without its CR). Returns the reply
// lines, the final result ("OK", "ERROR", "+CME ERROR: n", "CONNECT") last.
// unknownReply is what a command the module does not know gets (its last
// line is the final result).
std::vector<std::string> answerCommand(ModuleState &s, const std::string &raw,
                                       const std::vector<std::string> &unknownReply, Effects *fx);

// Completes a PDU entry ("AT+CMGS=n" and its siblings) once Ctrl-Z arrived.
std::vector<std::string> answerPdu(ModuleState &s, const std::string &pduCommand,
                                   const std::string &pdu);

// The "+CME ERROR:" final line for a code as the module prints it
// ("AT+CMEE" mode 0 gives a plain "ERROR").
std::string cmeError(const ModuleState &s, int code);

// The unsolicited lines that tell the host about a registration change
// ("+CREG:", "+CGREG:", "+CEREG:", "+CCREG:" as the host enabled them, and
// "^MODE:"); empty when nothing visible changed.
std::vector<std::string> registrationLines(const ModuleState &s, const RegView &before,
                                           const RegView &after);

// Lines of the family for SIM events.
std::vector<std::string> simRemovedLines(const ModuleState &s);
std::vector<std::string> simInsertedLines(const ModuleState &s);
std::vector<std::string> simExchangedLines(const ModuleState &s);

// Lines of the family for SMS and USSD events from the network (calls:
// call_dialect.h).
std::vector<std::string> incomingSmsLines(const ModuleState &s, const std::string &pdu);
std::vector<std::string> networkUssdLines(const ModuleState &s, const std::string &text);

// "^SYSINFO:" system mode and sub-mode of a technology
int sysMode(Tech t);
int sysSubMode(Tech t);

}  // namespace modemsim
