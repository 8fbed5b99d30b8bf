// Voice calls in the simulated module's dialect: dialling and answering,
// "+CHLD" hold and release, "+CLCC" in the family's shape, the family's call
// lines, the supplementary services and the network's side of a call. No
// I/O: lines go to Effects, progress to Effects::later.
#pragma once

#include <string>
#include <vector>

#include "dialect.h"
#include "module_state.h"

namespace modemsim {

// Answers a call-related command part (normalized, "AT..."); false when the
// part is none of them. lines gets the intermediate lines, final the result.
bool callCommand(ModuleState &s, const std::string &part, std::vector<std::string> *lines, std::string *final,
                 Effects *fx);

// The network side. A call from number: rings (or waits, when a call exists
// and waiting is on; refused when it is off or the table is full).
void networkCall(ModuleState &s, const std::string &number, Effects *fx);
// The far end hangs up call id (0: every call) with an end status.
void networkHangup(ModuleState &s, int id, int endStatus, Effects *fx);
// The far end answers the outgoing call id now (0: the first ringing one).
void networkAnswer(ModuleState &s, int id, Effects *fx);
// Every call is gone (power-off, reset); the settings stay.
void dropAllCalls(ModuleState &s);

// Control words beginning with "call..."; false when not a call control.
// reply gets the text lines (without the final "OK"); error a message.
bool callControl(ModuleState &s, const std::vector<std::string> &words, Effects *fx, std::string *reply,
                 std::string *error);
extern const char kCallControlHelp[];

// The family's "+CLCC:" line of a call.
std::string clccLine(const ModuleState &s, const SimCall &c);

}  // namespace modemsim
