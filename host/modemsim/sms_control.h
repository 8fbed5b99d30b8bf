// The "sms" controls of the simulated module (see README): deliver, store,
// fill, list and fault switches, from a test or from a person.
#pragma once

#include <string>
#include <vector>

namespace modemsim {

class SimulatedModule;

// true when the words are one of the "sms" subcommands below (a bare
// "sms PDU" stays the plain "+CMT:" delivery)
bool isSmsControl(const std::vector<std::string> &words);
// Runs it; the reply as executeControl gives it ("...\nOK" or "ERROR ...").
std::string smsControl(SimulatedModule &m, const std::vector<std::string> &words);

extern const char kSmsControlHelp[];

}  // namespace modemsim
