// What the simulated module knows about itself: radio, SIM card, network,
// identities and the settings the host changed with AT commands. Plain data;
// the dialect engine answers from it and changes it.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "sms_state.h"
#include "call_state.h"
#include "simnet_state.h"
#include "data_state.h"
#include "ussd_state.h"

namespace modemsim {

enum class Family { Cdma = 0, Wcdma = 1, Lte = 2 };

const char *familyName(Family f);  // "cdma", "wcdma", "lte"

// Where the card stands in its PIN dialogue.
// PhNet: the module is locked to another network ("PH-NET PIN")
enum class SimLock { Ready, Pin, Puk, Blocked, PhNet };

struct SimCard {
    bool present = true;
    bool pinEnabled = false;   // the card asks for the PIN at each power-on
    SimLock lock = SimLock::Ready;
    std::string pin = "1234";
    std::string puk = "12345678";
    std::string netKey = "12341234";  // unlocks PhNet
    int pinAttempts = 3;       // remaining
    int pukAttempts = 10;
    int pin2Attempts = 3;
    int puk2Attempts = 10;
    std::string imsi;          // 3GPP IMSI; empty: the card has none
    std::string cdmaImsi;      // CDMA subscription ("AT+QCIMI"); empty: none
    std::string iccid;
    std::string number;        // own number ("AT+CNUM"); empty: none
    int readyDelayMs = 0;      // after power-on the card answers "busy" this long
};

// Radio access technologies the control interface can attach with.
enum class Tech { None, Gsm, Gprs, Edge, Umts, Hsdpa, Hsupa, Hspa, Cdma1x, Evdo, Hybrid, Lte, Srlte };

const char *techName(Tech t);
bool parseTech(const std::string &name, Tech *out);
bool isCdmaTech(Tech t);  // Cdma1x, Evdo, Hybrid

struct Network {
    Tech tech = Tech::None;  // None: no service
    std::string numeric;     // "46000"
    std::string longName;    // "CHINA MOBILE"
    std::string shortName;   // "CMCC"
    bool roaming = false;
    int lac = 0x5A3C;        // location / tracking area code
    int cid = 0x1D2F03;      // cell id
    int sid = 13824;         // CDMA system / network id
    int nid = 1;
    int rssi = 21;           // 0..31 ("+CSQ:" scale)
    int ber = 99;
    int rsrp = -95;          // dBm (LTE)
    int rsrq = -10;
    int sinr = 12;
};

struct Identity {
    std::string imei;
    std::string meid;      // empty: "AT^MEID" answers an error
    std::string esn;
    std::string firmware;
    int hwinfo = 2;        // "+HWINFO:" first field; -1: the command is refused
};

struct ModuleState {
    Family family = Family::Lte;
    std::string model = "lte";

    bool radioOn = true;   // "AT+CFUN"
    int cfun = 1;
    bool echo = false;     // "ATE"
    int cmee = 1;          // "AT+CMEE": 0 plain ERROR, 1 numeric, 2 verbose
    int cregMode = 0, cgregMode = 0, ceregMode = 0, ccregMode = 0;
    int copsMode = 0;      // 0 automatic, 1 manual, 4 manual/automatic
    int copsFormat = 0;    // 0 long, 1 short, 2 numeric
    int modeConfig = 2;    // "^MODECONFIG"
    int prefMode = 8;      // "^PREFMODE" (CDMA)
    int cprefMode = 2;     // "+CPREFMODE" (WCDMA)
    int cnsmodReport = 0;
    int smsFormat = 0;     // "AT+CMGF"
    int nextSmsRef = 1;

    SimCard sim;
    UssdNetwork ussd;      // USSD network answers and toolkit log (ussd_state.h)
    Network net;           // the network the module is attached to (when it can be)
    Identity id;
    CallTable calls;       // the voice calls (call_dialect.h)
    SimnetState simnet;    // card files, facility locks, visible networks, GPS
    SmsState sms;          // stores and settings of messaging (sms_state.h)
    DataState data;        // packet data (data_dialect.cpp)

    // time of the last power-on (plug or reset), for SIM readiness
    std::chrono::steady_clock::time_point poweredOn = std::chrono::steady_clock::now();
};

// A fresh module of the given model ("wcdma6290", "cdma", "lte", "lte8909",
// "asr"): family, identities, a ready SIM and a network of the family's kind.
// Returns false for an unknown model.
bool defaultState(const std::string &model, ModuleState *out);

// What registration looks like from outside; compared before and after each
// change to send the registration lines the host asked for.
struct RegView {
    int stat = 0;          // 27.007 registration state: 0 none, 1 home, 5 roaming
    Tech tech = Tech::None;
    int lac = 0, cid = 0;
    bool operator==(const RegView &o) const {
        return stat == o.stat && tech == o.tech && lac == o.lac && cid == o.cid;
    }
    bool operator!=(const RegView &o) const { return !(*this == o); }
};

// the SIM can be used (present, unlocked, past its busy time)
bool simUsable(const ModuleState &s);
RegView regView(const ModuleState &s);

}  // namespace modemsim
