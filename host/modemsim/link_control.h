// Faults of the data link for tests and for a person: the "link" controls.
// The link itself is played by the pppd and ping stand-ins in the sysroot;
// these controls leave marks there for them (run/link-silent,
// run/link-rxfrozen), end them, or change how the module answers dials.
#pragma once

#include <string>
#include <vector>

namespace modemsim {

class SimulatedModule;

// "link ..." controls; returns the control reply.
std::string linkControl(SimulatedModule &m, const std::vector<std::string> &words);
// Radio cycles seen on the AT port: each "AT+CFUN=0" followed by an
// "AT+CFUN=1".
int radioCycles(const SimulatedModule &m);
// Process ids of the pppd stand-ins of this sysroot that still run.
std::vector<int> runningPppd(const std::string &sysroot);

}  // namespace modemsim
