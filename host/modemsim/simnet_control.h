// Controls of the simulated module for the SIM file, facility lock, network
// selection and vendor areas (see README.md, "Control commands").
#pragma once

#include <string>
#include <vector>

namespace modemsim {

class SimulatedModule;

extern const char kSimnetControlHelp[];

// Runs a control whose first word belongs to these areas ("nitz", "gps",
// "networks", "simfs", "facility"); false for any other word.
bool simnetControl(SimulatedModule &m, const std::vector<std::string> &words, std::string *reply);

}  // namespace modemsim
