// What the simulated module keeps for messaging: the SM and ME stores with
// their capacity and the 27.005 status of each message, the storage and
// notification settings the host chose, and the faults a test can switch on.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace modemsim {

// 27.005 message status (PDU mode numbers)
enum SmsStatus { kRecUnread = 0, kRecRead = 1, kStoUnsent = 2, kStoSent = 3 };

struct StoredSms {
    int status = kRecUnread;
    std::string pdu;  // SMSC octets and TPDU, hex
};

struct SmsStore {
    int capacity = 20;
    std::map<int, StoredSms> slots;  // index 0 .. capacity - 1
};

struct SmsState {
    SmsStore sm{20, {}};
    SmsStore me{50, {}};
    std::string readMem = "SM";   // "+CPMS" mem1: read, list, delete
    std::string writeMem = "SM";  // mem2: write
    std::string recvMem = "SM";   // mem3: where received messages are stored
    int csms = 0;                 // "+CSMS": 1 asks for "+CNMA" after each "+CMT:"
    int cnmiMt = 1;               // "+CNMI" mt: 1 store and "+CMTI:", 2 deliver "+CMT:"
    std::vector<std::string> unacked;  // "+CMT:" PDUs still waiting for "+CNMA"
    int writeStatus = kStoUnsent;      // status of the "+CMGW" being entered
    int sendError = 0;                 // "+CMS ERROR: n" for every send; 0: none
    bool noPrompt = false;             // sends get no "> " (the entry still starts)
    bool emptySlotHeader = false;      // an empty slot reads as "+CMGR: 0,,0" and OK
    std::vector<std::string> sent;     // texts received after the prompt, in order
    std::string smsc = "+8613800100500";  // "+CSCA"
};

}  // namespace modemsim
