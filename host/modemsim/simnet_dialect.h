// The simulated module's SIM file, facility lock, network selection and
// vendor commands ("+CRSM", "+CSIM", "^RRU", "+CLCK"/"+CPWD" beyond the
// card PIN, "+COPS=?" and manual selection, "%SYSCFG", "+NETPAR", the GPS
// and volume commands), and the lines those areas send on demand.
#pragma once

#include <string>
#include <vector>

#include "dialect.h"
#include "module_state.h"

namespace modemsim {

// Answers one parsed extended command when it belongs to these areas:
// returns true with the reply lines and the final result filled in, false
// for a command the rest of the dialect answers. name is normalized
// ("+CRSM"), args have their quotes removed.
bool simnetCommand(ModuleState &s, const std::string &name, bool query, bool test, bool set,
                   const std::vector<std::string> &args, Effects *fx, std::vector<std::string> *lines,
                   std::string *final);

// The card's files as the host reads them (built from the card's identity
// on first use); exposed for tests and the "simfs" control.
const CardFile *cardFile(ModuleState &s, int id);

// "%CTZV:" NITZ line for a time text ("yy/MM/dd,hh:mm:ss+tz,dst"); an empty
// text takes the current UTC time.
std::string nitzLine(const std::string &text);

}  // namespace modemsim
