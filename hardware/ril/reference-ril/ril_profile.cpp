// The module profiles and the LTE kinds found at initialization.
#include "ril_profile.h"

#include "at_query.h"
#include "ril_families.h"
#include "ril_log.h"
#include "usb_discovery.h"

namespace {

// moduleType, name, cnsmod, regFromCreg, hwinfo, sysinfoSrlte, cellFromCereg,
// readsLac, ceregQuery, sysinfoWhenCdma, avoidsMode38, portsByProtocol,
// dataRegReport, iccidPrefix, cdmaCardCommands, switchPicksWaitingCall,
// shortDtmfCommand, voiceTypeOffAtCallEnd, radioCycleOnDialFailures,
// dialPrepOnce, acksDirectSmsWithCnma, lteQcCommands
const RilModuleProfile kProfiles[] = {
    {0, "unclassified", 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, "AT+CGREG=2", "+ICCID:", 0, 1, 0, 0, 0, 0, 1, 1},
    {1, "6290 WCDMA", 1, 1, 1, 0, 0, 1, 0, 0, 0, 0, "AT+CGREG=2", "+ICCID:", 0, 0, 1, 1, 1, 0, 0, 1},
    {2, "CDMA", 1, 0, 1, 0, 0, 1, 0, 0, 0, 0, "AT+CGREG=2", "+ICCID:", 0, 0, 0, 0, 0, 0, 0, 1},
    {3, "LTE", 1, 0, 1, 0, 0, 1, 0, 0, 0, 1, "AT+CGREG=2", "+ICCID:", 0, 0, 0, 0, 0, 1, 0, 1},
    {4, "8909 LTE", 1, 0, 0, 1, 0, 1, 0, 1, 1, 0, "AT+CGREG=2", "ICCID:", 1, 0, 0, 0, 0, 0, 0, 0},
    {5, "ASR LTE", 1, 0, 0, 0, 1, 0, 1, 0, 0, 0, "AT+CEREG=2", "+ICCID:", 0, 0, 0, 0, 0, 0, 0, 1},
};

}  // namespace

extern "C" {

const RilModuleProfile *ril_module_profile_of(int moduleType) {
    for (const RilModuleProfile &p : kProfiles)
        if (p.moduleType == moduleType) return &p;
    return &kProfiles[0];
}

const RilModuleProfile *ril_module_profile(void) { return ril_module_profile_of(g_moduletype); }

int ril_profile_cdma_card_commands(void) { return ril_module_profile()->cdmaCardCommands && is_cdma == 1 ? 1 : 0; }

int ril_profile_sysinfo_has_srlte(void) { return ril_module_profile()->lteSysinfoHasSrlte || s_is9X07 ? 1 : 0; }

void ril_profile_lte_voice_reg_query(const char **command, const char **prefix) {
    const RilModuleProfile *p = ril_module_profile();
    if (is_fddandevdo && !p->lteSysinfoWhenCdma && !s_is9X07) {
        *command = "AT+CCREG?";
        *prefix = "+CCREG:";
    } else if (p->lteSysinfoWhenCdma && is_cdma == 1) {
        *command = "AT^SYSINFO";
        *prefix = "^SYSINFO:";
    } else {
        *command = "AT+CREG?";
        *prefix = "+CREG:";
    }
}

void ril_profile_lte_data_reg_query(int modeG, const char **command, const char **prefix) {
    if (ril_module_profile()->lteCanCeregQuery && modeG == 9) {
        *command = "AT+CEREG?";
        *prefix = "+CEREG:";
    } else {
        *command = "AT+CGREG?";
        *prefix = "+CGREG:";
    }
}

int ril_profile_lte_qc_delete(void) { return is_fddandevdo == 1 && ril_module_profile()->lteQcCommands ? 1 : 0; }

int ril_profile_lte_qc_forms(void) { return ril_profile_lte_qc_delete() && s_is9X07 == 0 ? 1 : 0; }

int ril_profile_lte_forces_mode38(void) {
    return !ril_module_profile()->lteAvoidsMode38 && s_is9X07 != 1 && s_is9615 == 0 && is_fddandevdo ? 1 : 0;
}

void ril_profile_find_lte_kind(void) {
    RILDEBUG("WDog before>> s_is9615 is %d, s_is9X07 is %d", s_is9615, s_is9X07);
    if (!ril_module_profile()->lteQueriesHwinfo) {
        s_is9615 = 0;
        s_is9X07 = 0;
    } else {
        AtQuery q = AT_QUERY_INIT;
        at_query_send(&q, "AT+HWINFO", SINGLELINE, "+HWINFO:");
        int kind = 0;
        if (!at_query_ok(&q) || at_query_line(&q) == nullptr) {
            // a module that rejects the query is taken for a 9X07
            s_is9615 = 0;
            RILDEBUG("WDog >> hwinfo break 1");
        } else if (at_query_start(&q) < 0 || at_query_next_int(&q, &kind) < 0) {
            s_is9615 = 0;
        } else if (kind == 104) {
            s_is9615 = 1;
            s_is9X07 = 0;
        } else {
            s_is9615 = 0;
            s_is9X07 = 0;
        }
        at_query_free(&q);
    }
    RILDEBUG("WDog after>> s_is9615 is %d, s_is9X07 is %d", s_is9615, s_is9X07);
}

}  // extern "C"
