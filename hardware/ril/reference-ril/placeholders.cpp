// Steps that later areas of the library will provide. Each keeps its final
// name and signature and does the least it can; the README's status table
// lists them.
#include "at_link.h"
#include "at_reply.h"
#include "ril_families.h"
#include "ril_log.h"
#include "ril_sim.h"

extern "C" {

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

// link checks
void CheckDataStatus(void *) {}
void WCheckDataStatus(void *) {}
void LteCheckDataStatus(void *) {}

// unsolicited lines: logged only
void onUnsolicited_cdma(const char *s, const char *) { RILDEBUG("onUnsolicited: %s", s ? s : ""); }
// (WCDMA and LTE: the SIM card lines already lead to their handlers)
void onUnsolicited_wcdma(const char *s, const char *) {
    RILDEBUG("onUnsolicited: %s", s ? s : "");
    if (strStartsWith(s, "^SIMC"))
        RIL_requestTimedCallback_wcdma(onSimCardChange_wcdma, nullptr, nullptr);
    else if (strStartsWith(s, "+SIMCARD: NOT AVAILABLE"))
        RIL_requestTimedCallback_wcdma(OnSimCardRemove_wcdma, nullptr, nullptr);
}
void onUnsolicited_lte(const char *s, const char *) {
    RILDEBUG("onUnsolicited: %s", s ? s : "");
    if (strStartsWith(s, "^SIMC"))
        RIL_requestTimedCallback_lte(onSimCardChange_lte, nullptr, nullptr);
    else if (strStartsWith(s, "+SIMCARD: NOT AVAILABLE") && !s_is9X07)
        RIL_requestTimedCallback_lte(OnSimCardRemove_lte, nullptr, nullptr);
}

// AT commands from the event plug-in go through the AT service's filter
int event_atfunc(const char *cmd) { return at_send_single_command(cmd); }

}  // extern "C"
