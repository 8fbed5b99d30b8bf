// What the simulated module keeps for the SIM file, facility lock, network
// selection and vendor commands: the card's file system, the barring and
// fixed-dialling locks, the networks a scan finds, and the GPS receiver.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace modemsim {

enum class Tech;

// one file of the card; DFs have no data
struct CardFile {
    int id = 0;
    int parent = 0;        // DF the file lives in (0 for the MF)
    bool df = false;
    int structure = 0;     // 0 transparent, 1 linear fixed, 3 cyclic
    int recordLength = 0;  // record files
    std::vector<unsigned char> data;  // transparent: the body; records: all records in a row
};

// a network the scan ("AT+COPS=?") finds besides the attached one
struct VisibleNetwork {
    std::string numeric;
    std::string longName;
    std::string shortName;
    bool forbidden = false;
};

// a facility that locks with a password ("AT+CLCK", "AT+CPWD")
struct Facility {
    bool active = false;
    int serviceClass = 7;
};

struct SimnetState {
    bool usim = true;                     // USIM answers FCP; a SIM card answers GET RESPONSE
    bool iccidFile = true;                // the card has EF_ICCID
    std::map<int, CardFile> files;        // filled on first use from the card's identity
    std::string filesFor;                 // the ICCID/IMSI the files were made from
    int csimCurrent = 0x3F00;             // file selected through "+CSIM"

    // networks a scan finds besides the attached one
    std::vector<VisibleNetwork> visible = {{"46001", "CHN-UNICOM", "UNICOM", false},
                                           {"46011", "CHN-CT", "CT", true}};
    int scanDelayMs = 1000;

    // call barring: one password for every barring facility
    std::string barringPassword = "0000";
    int barringAttempts = 3;
    std::string pin2 = "5678";
    std::map<std::string, Facility> facilities;

    int syscfgMode = 2, syscfgOrder = 0;  // "AT%SYSCFG"
    std::string netpar = "460,03,13824,1,10,222"; // "AT+NETPAR=2"

    int gpsMode = 0;
    bool gpsLocating = false;
    std::vector<std::string> gpsFormats;
};

}  // namespace modemsim
