// Decoding of the USSD and SIM toolkit answers for the console and the JSON
// lines, as the platform daemon would pass them on.
#pragma once

#include <stddef.h>

#include <nlohmann/json.hpp>

namespace hostril {

// RIL_UNSOL_ON_USSD: the platform reads len / sizeof(char *) strings, so a
// report of any other length than two pointers loses its text; "strings"
// then says how many came. {"type": "0", "meaning": "...", "text": ...}
nlohmann::json decodeUssdUnsol(const void *data, size_t len);

// SEND_USSD, CANCEL_USSD and the toolkit requests answer nothing the
// platform reads: null.
nlohmann::json decodeUssdResponse(int code, const void *data, size_t len);

}  // namespace hostril
