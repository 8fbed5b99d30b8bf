// Steps that later areas of the library will provide. Each keeps its final
// name and signature and does the least it can; the README's status table
// lists them.
#include "at_link.h"
#include "ril_families.h"
#include "ril_log.h"

extern "C" {

// SIM polling (SIM and PIN area)
void pollSIMState_cdma(void *) {}
void pollSIMState_wcdma(void *) {}
void pollSIMState_lte(void *) {}
void setRadioAfterGetCardStatus(void *) {}
int getSIMStatus_cdma(void) { return 1; }
int getSIMStatus_wcdma(void) { return 1; }
int getSIMStatus_lte(void) { return 1; }

// identity publication
void GetMeid(void) {}
void SetCimiIccidProp(void) {}

// network selection
int getmodeconfig(void) { return -1; }
RIL_RadioCapability RadioCapability;

// SMS stores and unread-message readers
void initSmsStore_cdma(void) {}
void initSmsList_wcdma(void) {}
void initSmsList_lte(void) {}
void GetUnReadSMS(void *) {}
void loop_lte_callback(void *) {}

// SIM files
void writeRuimFiles(void *) {}

// flight mode
void activeflydata_wcdma(void *) {}
void activeflydata_lte(void *) {}

// PPP service name
void GetPPPServiceName(void) {}

// link checks
void CheckDataStatus(void *) {}
void WCheckDataStatus(void *) {}
void LteCheckDataStatus(void *) {}

// unsolicited lines: logged only
void onUnsolicited_cdma(const char *s, const char *) { RILDEBUG("onUnsolicited: %s", s ? s : ""); }
void onUnsolicited_wcdma(const char *s, const char *) { RILDEBUG("onUnsolicited: %s", s ? s : ""); }
void onUnsolicited_lte(const char *s, const char *) { RILDEBUG("onUnsolicited: %s", s ? s : ""); }

// AT commands from the event plug-in go through the AT service's filter
int event_atfunc(const char *cmd) { return at_send_single_command(cmd); }

}  // extern "C"
