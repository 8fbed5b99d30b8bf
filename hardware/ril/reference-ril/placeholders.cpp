// Steps that later areas of the library will provide. Each keeps its final
// name and signature and does the least it can; the README's status table
// lists them.
#include "at_link.h"
#include "at_reply.h"
#include "ril_families.h"
#include "ril_log.h"
#include "ril_sim.h"

extern "C" {

// SMS stores and unread-message readers
void initSmsStore_cdma(void) {}
void initSmsList_wcdma(void) {}
void initSmsList_lte(void) {}
void GetUnReadSMS(void *) {}
void loop_lte_callback(void *) {}


// link checks
void CheckDataStatus(void *) {}
void WCheckDataStatus(void *) {}
void LteCheckDataStatus(void *) {}

// AT commands from the event plug-in go through the AT service's filter
int event_atfunc(const char *cmd) { return at_send_single_command(cmd); }

}  // extern "C"
