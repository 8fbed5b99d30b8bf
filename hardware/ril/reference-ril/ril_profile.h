/*
 * The module profile: what the module classes found by discovery
 * (g_moduletype) and by the LTE initialization (9615, 9X07, the SIM kinds
 * is_cdma / is_fddandevdo) change in the handlers. A handler asks the
 * profile a question ("which ICCID prefix", "which registration query")
 * instead of testing the globals itself; the globals keep their names and
 * values for whoever reads them.
 */
#ifndef RIL_PROFILE_H
#define RIL_PROFILE_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
    int moduleType;          /* the g_moduletype it was chosen for */
    const char *name;
    int reportsCnsmod;       /* the 3G mode comes from "AT+CNSMOD?", else "AT^SYSINFO" */
    int wcdmaRegFromCreg;    /* WCDMA registration state: the "+CREG:" state (6290 kind) */
    int lteQueriesHwinfo;    /* the LTE initialization asks "AT+HWINFO" for the 9615 / 9X07 kind */
    int lteSysinfoHasSrlte;  /* "^SYSINFO:" carries the SIM and SRLTE fields (8909 kind) */
    int lteCellFromCereg;    /* the data registration answer carries the cell (ASR) */
    int lteReadsLac;         /* LAC and cell come from a query of their own (all but ASR) */
    int lteCanCeregQuery;    /* "AT+CEREG?" in LTE mode 9 (ASR) */
    int lteSysinfoWhenCdma;  /* voice registration of a CDMA card by "^SYSINFO" (8909 kind) */
    int lteAvoidsMode38;     /* never forces "AT^MODECONFIG=38" by module class (8909 kind) */
    int unknownPortsByProtocol; /* discovery: an unknown interface number is told by its protocol (LTE) */
    const char *dataRegReport;  /* LTE SIM-ready: "AT+CEREG=2" or "AT+CGREG=2" */
    const char *iccidPrefix;    /* the "AT+ICCID" answer's prefix */
    int cdmaCardCommands;       /* with a CDMA card: "AT^SYSINFO" for the registration log, "AT+CHV" to hang up (8909 kind) */
    int switchPicksWaitingCall; /* SWITCH with two calls names the waiting one: "AT+CHLD=2x" (unclassified) */
    int shortDtmfCommand;       /* "AT^DTMF= tone, 5" without the call index (6290 kind) */
    int voiceTypeOffAtCallEnd;  /* "AT+VTYPE=0" after every call end (6290 kind) */
    int radioCycleOnDialFailures; /* more than 3 failed dials cycle the radio (6290 kind) */
    int dialPrepOnce;           /* the dial preparation sends "AT^DATADOWN" once (LTE kind) */
    int acksDirectSmsWithCnma;  /* an accepted direct SMS is acknowledged with "AT+CNMA" (unclassified) */
    int lteQcCommands;          /* the Qualcomm "$QC..." command forms exist (all but the 8909 kind) */
} RilModuleProfile;

/* The profile of the module discovery classified (g_moduletype). */
const RilModuleProfile *ril_module_profile(void);
/* The profile of a module type (1 6290-kind WCDMA, 2 CDMA, 3 LTE, 4 8909,
 * 5 ASR; anything else: the profile of type 0). */
const RilModuleProfile *ril_module_profile_of(int moduleType);

/* ---- questions that also depend on what the LTE initialization found ---- */
/* "^SYSINFO:" carries the SIM and SRLTE fields (8909 kind or a 9X07) */
int ril_profile_sysinfo_has_srlte(void);
/* the LTE voice registration query and its prefix */
void ril_profile_lte_voice_reg_query(const char **command, const char **prefix);
/* the LTE data registration query and its prefix, for LTE mode is_mode_g */
void ril_profile_lte_data_reg_query(int modeG, const char **command, const char **prefix);
/* an LTE module of the 8909 kind carrying a CDMA card (is_cdma) */
int ril_profile_cdma_card_commands(void);
/* an FDD-and-EVDO card (is_fddandevdo 1) on a module with the "$QC..." forms:
 * stored messages are deleted with "AT$QCMGD" */
int ril_profile_lte_qc_delete(void);
/* ... and not a 9X07: messages are read and listed with the "$QC..." forms,
 * the registration is "AT+CCREG?" */
int ril_profile_lte_qc_forms(void);
/* the LTE SIM-ready steps force "AT^MODECONFIG=38" for this module */
int ril_profile_lte_forces_mode38(void);

/* The LTE initialization's module kind: asks "AT+HWINFO" where the profile
 * says so and sets s_is9615 / s_is9X07. */
void ril_profile_find_lte_kind(void);

#ifdef __cplusplus
}
#endif

#endif
