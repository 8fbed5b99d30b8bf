// Decoding of the SIM file, operator list and NITZ data for the console and
// JSON output of host-rild.
#pragma once

#include <stddef.h>

#include <nlohmann/json.hpp>

namespace hostril {

// SIM_IO answers (status words, the text and, for a SIM GET RESPONSE, its
// fields) and the available-network list (one object per operator). false
// for any other request.
bool decodeSimnetResponse(int code, const void *data, size_t len, nlohmann::json &out);

// NITZ time text: the text and its date, time, zone and daylight-saving
// fields when it reads as "yy/MM/dd,hh:mm:ss+tz,dst". false for any other
// notification.
bool decodeSimnetUnsol(int code, const void *data, size_t len, nlohmann::json &out);

}  // namespace hostril
