// USSD and SIM toolkit in the simulated module's dialect: "AT+CUSD" with the
// network's scripted answer, "AT^STGR" and "AT^CSTC" logged and answered OK
// or ERROR on demand, the encoders the network uses, and the control words
// "ussd ..." and "stk ...". No I/O: answer lines go to Effects.
#pragma once

#include <string>
#include <vector>

#include "dialect.h"
#include "module_state.h"

namespace modemsim {

class SimulatedModule;

// Answers a normalized command part ("AT+CUSD=...", "AT^STGR=...",
// "AT^CSTC=..."), given with its name ("+CUSD") and its arguments after '='
// (quotes removed); false when the part is none of them. lines gets the
// intermediate lines, final the result line.
bool ussdCommand(ModuleState &s, const std::string &part, const std::string &name,
                 const std::vector<std::string> &args, std::vector<std::string> *lines, std::string *final,
                 Effects *fx);

// The network's answer lines to a USSD string (empty for UssdAnswer::None).
std::vector<std::string> ussdAnswerLines(const UssdNetwork &n);

// GSM 7-bit default alphabet packing (CR in the free bits of a last octet
// that has seven of them) as upper-case hex; characters outside the ASCII
// part of the alphabet are sent as '?'.
std::string packGsm7Hex(const std::string &utf8);
// UTF-8 to big-endian UCS-2 hex (characters of the basic plane).
std::string ucs2Hex(const std::string &utf8);

// Control words: "ussd answer KIND [TEXT]", "ussd state", "stk ok|error",
// "stk log [clear]". True when the words are one of them (reply then holds
// the whole reply, "OK" or "ERROR ..." last).
bool ussdControl(SimulatedModule &m, const std::vector<std::string> &words, std::string *reply);
extern const char kUssdControlHelp[];

}  // namespace modemsim
