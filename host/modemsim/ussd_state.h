// What the simulated module's network side does with USSD and what it keeps
// of the SIM toolkit commands: plain data, answered from by ussd_dialect.cpp.
#pragma once

#include <string>
#include <vector>

namespace modemsim {

// How the network answers "AT+CUSD=1,...":
//   Gsm7     "+CUSD: 0,"<packed 7-bit hex>",15"
//   Gsm7Dcs0 "+CUSD: 0,"<packed 7-bit hex>",0"
//   Ucs2     "+CUSD: 0,"<UCS-2 hex>",72"
//   Plain    "+CUSD: 0,"<text>",15"
//   Lines    "+CUSD: 1,"<line>\r\n<line>...",15" (a menu: '|' in the text
//            breaks the lines; the dialogue stays open)
//   Type2    "+CUSD: 2" (the network ended the dialogue)
//   Type4    "+CUSD: 4" (operation not supported)
//   None     no answer at all
enum class UssdAnswer { Gsm7, Gsm7Dcs0, Ucs2, Plain, Lines, Type2, Type4, None };

struct UssdNetwork {
    UssdAnswer answer = UssdAnswer::Gsm7Dcs0;
    std::string text = "Your balance is 10.00 EUR";
    bool session = false;               // a dialogue waits for the user's next string
    std::vector<std::string> requests;  // the USSD strings received, in order
    int cancels = 0;                    // "AT+CUSD=2" received
    bool stkError = false;              // toolkit commands answer ERROR
    std::vector<std::string> stkLog;    // toolkit commands and their answers
};

}  // namespace modemsim
