// The console's SMS help: "sms NUMBER TEXT" builds the SUBMIT PDU for the
// user, and a new message (1003) is shown decoded (sender, time, text).
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace hostrild {

// A SUBMIT TPDU in hex for number ("+" and up to 20 digits) and UTF-8 text:
// the GSM 7-bit default alphabet when every character has a code (up to 160
// septets), else UCS-2 (up to 70 units). False with error otherwise.
bool smsSubmitFromText(const std::string &number, const std::string &text, std::string *tpdu,
                       std::string *error);

// true when the two arguments of "sms" are a number and a text rather than
// an SMSC and a PDU: a "+" number, or digits followed by a text that is not hex
bool isNumberAndText(const std::string &first, const std::string &second);

// A DELIVER PDU (SMSC octets, then the TPDU) decoded:
// {"pdu", "smsc", "from", "time", "text"}; other PDUs: {"pdu"} alone.
nlohmann::json decodeSmsDeliver(const std::string &hex);

}  // namespace hostrild
