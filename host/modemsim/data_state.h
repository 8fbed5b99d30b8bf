// Packet-data state of the simulated module: the PDP contexts the host
// defined, the data call on the modem port, and the faults a test asks for.
#pragma once

#include <map>
#include <string>

namespace modemsim {

// how the module answers a packet-data dial on the modem port
enum class DialAnswer { Connect, NoCarrier, Error, Silence };

struct PdpContext {
    std::string type = "IP";
    std::string apn;
};

struct DataState {
    DialAnswer dial = DialAnswer::Connect;
    int dialDelayMs = 0;          // the answer comes this much later
    bool packetService = true;    // "+CGREG:" / "+CEREG:" registered when attached
    int busy = 0;                 // "^KVISBUSY:" value
    bool connected = false;       // a dial answered CONNECT and was not ended
    int conn = 0;                 // "AT+CONN" state of the USB network model: 0 idle, 2 connected
    int dials = 0;                // packet-data dials received
    int refuseDials = 0;          // the next this many dials answer NO CARRIER ("link refuse N")
    std::map<int, PdpContext> contexts;
    std::string lastGpsPassword;  // arguments of the last "AT^GPSPSWORD="
};

}  // namespace modemsim
