// The messaging dialect of the simulated module: storage selection and
// notification settings, reading, listing, deleting and writing stored
// messages (and the "$QC" forms), sends, acknowledgements, and the lines a
// message from the network causes ("+CMTI:" / "+CMT:", CDMA "^HCMT:",
// "^SMMEMFULL" when the store is full).
#pragma once

#include <string>
#include <vector>

#include "dialect.h"
#include "module_state.h"

namespace modemsim {

// Answers an SMS command (name without "AT", e.g. "+CMGR"); false when the
// command is not one of them. lines and final as the dialect returns them.
bool answerSmsCommand(ModuleState &s, const std::string &name, bool set, bool query, bool test,
                      const std::vector<std::string> &args, std::vector<std::string> *lines,
                      std::string *final, Effects *fx);

// The answer after the PDU entry of a send or write.
std::vector<std::string> answerSmsPdu(ModuleState &s, const std::string &command, const std::string &pdu);

// A message from the network: stored and announced, or delivered directly,
// as "+CNMI" asks (direct forces "+CMT:"). Full storage: "^SMMEMFULL".
std::vector<std::string> deliverSmsLines(ModuleState &s, const std::string &pdu, bool direct);
// A CDMA message: "^HCMT:" with the address and the bearer data line.
std::vector<std::string> deliverCdmaSmsLines(ModuleState &s, const std::string &address,
                                             const std::string &bearerHex, bool mms);
// Puts a message in the receive store without announcing it; -1 when full.
int storeSms(ModuleState &s, const std::string &pdu, int status);
// "index status pdu" per stored message of a store ("SM" or "ME").
std::vector<std::string> listStore(const ModuleState &s, const std::string &mem);
// Redelivers the "+CMT:" messages no "+CNMA" acknowledged.
std::vector<std::string> redeliverUnacked(ModuleState &s);

}  // namespace modemsim
