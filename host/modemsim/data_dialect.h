// The packet-data dialect of the simulated module: the dial on the modem
// port and the data-mode, context and busy queries on the AT port, and the
// "data" controls.
#pragma once

#include <string>
#include <vector>

#include "dialect.h"
#include "module_state.h"

namespace modemsim {

class SimulatedModule;

struct DataReply {
    std::vector<std::string> lines;
    std::string final = "OK";  // "" for no answer at all
};

// An extended command of the data area (name without "AT", normalized);
// false when the command is not one of them.
bool answerDataCommand(ModuleState &s, const std::string &name, bool query, bool test, bool set,
                       const std::vector<std::string> &args, DataReply *out);
// A packet-data dial ("ATD*99***1#", "ATDT#777"): the answer, now or later
// (fx->delayMs, fx->delayed).
DataReply answerDataDial(ModuleState &s, Effects *fx);
// The packet registration state as the module reports it.
int packetStat(const ModuleState &s, const std::string &prefix, int stat);
// "data ..." controls; returns the control reply.
std::string dataControl(SimulatedModule &m, const std::vector<std::string> &words);

}  // namespace modemsim
