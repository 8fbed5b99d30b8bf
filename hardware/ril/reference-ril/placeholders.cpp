// Steps that later areas of the library will provide. Each keeps its final
// name and signature and does nothing yet; the README's status table lists
// them.
#include "at_link.h"
#include "ril_families.h"
#include "ril_log.h"

extern "C" {

// main loops: no module handling yet
void *mainLoop(void *) { return nullptr; }
void *mainLoop_wcdma(void *) { return nullptr; }
void *mainLoop_lte(void *) { return nullptr; }

// SIM polling and the SIM-ready sequences
void onSIMReady_cdma(void) {}
void pollSIMState_wcdma(void *) {}
void pollSIMState_lte(void *) {}
void setRadioAfterGetCardStatus(void *) {}

// AT commands from the event plug-in go through the AT service's filter
int event_atfunc(const char *cmd) { return at_send_single_command(cmd); }

}  // extern "C"
