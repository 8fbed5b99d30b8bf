// Console shortcuts of the data area.
#pragma once

#include <string>
#include <vector>

#include "request_codec.h"

namespace hostril {

// "data APN [user [password]]" becomes the six set-up arguments (radio
// technology, profile, APN, user, password, authentication type; absent
// ones null); "deactivate" without arguments deactivates cid 1. Other
// commands and full argument lists are left alone.
void expandDataShortcut(const std::string &cmd, std::vector<Arg> &args);

}  // namespace hostril
