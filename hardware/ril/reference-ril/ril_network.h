/*
 * Network service shared between the three families: registration state,
 * operator, radio technology, signal strength and the signal polls.
 */
#ifndef RIL_NETWORK_H
#define RIL_NETWORK_H

#include "ril_interface.h"

#define RIL_OPERNAME_CDMA_SIZE 32
#define RIL_OPERNAME_WCDMA_SIZE 16
#define RIL_OPERNUMERIC_SIZE 6
#define RIL_CIMICACHE_SIZE 20
#define RIL_REGBUF_COUNT 14
#define RIL_REGBUF_SIZE 24

#ifdef __cplusplus
extern "C" {
#endif

/* ---- registration state and operator ---- */

/* WCDMA: 1 while the last registration or technology query saw service */
extern int s_registered;
/* WCDMA: the last Get3GMode saw a technology code above 3 */
extern int s_is3g;
/* WCDMA: s_registered after the previous "+CNSMOD" pass */
extern int s_lastreg6290;
/* WCDMA: selection mode of the last "+COPS:" answer */
extern int s_copsmode;
/* CDMA: 1 when the last "^SYSINFO:" service status was 2 */
extern int s_cdmaservice;
/* CDMA: radio technology found by the last voice registration query */
extern int s_cdmadatatech;
/* CDMA: the first "^GPSNWINFO:" field was exactly "0" */
extern int s_gpsnwzero;
/* CDMA: the voice registration answer, kept until the next one is built */
extern char s_regbuf[RIL_REGBUF_COUNT][RIL_REGBUF_SIZE];
extern char s_opername_cdma[RIL_OPERNAME_CDMA_SIZE];
extern char s_opername_wcdma[RIL_OPERNAME_WCDMA_SIZE];
extern char s_opernumeric_cdma[RIL_OPERNUMERIC_SIZE];
extern char s_opernumeric_wcdma[RIL_OPERNUMERIC_SIZE];
extern char s_cimicache[RIL_CIMICACHE_SIZE];
/* LTE: last location area / tracking code and cell id */
extern int s_lte_lac;
extern int s_lte_cid;
extern RIL_VoiceRegistrationStateResponse s_voicereg_lte;
extern RIL_DataRegistrationStateResponse s_datareg_lte;

/* LTE network class: 1 on a CDMA/EVDO network, 0 not, -1 no service */
/* (is_cdma itself lives with the LTE initialization) */
extern int is_srlte;   /* the module reports SRLTE (mode 9) */
extern int is_mode_g;  /* system mode of the last "^SYSINFO:" */
extern int g_use_hasdataservice; /* packet service available */

/* WCDMA radio technology as constant decimal text */
const char *Get3GMode(void);
/* LTE radio technology as constant decimal text; classifies the network */
const char *GetLteRadioTech(void);
/* LTE: refreshes s_lte_lac / s_lte_cid when the module answers */
void getlac(void);
/* packet registration state into g_use_hasdataservice */
void getservicestatus(void);
/* LTE timed callback: voice network state changed */
void onRegChanged(void *param);
/* WCDMA: the operator-name step of OPERATOR ("+COPS?") */
void GetOperName(void);

/* ---- signal strength ---- */

extern RIL_SignalStrength_v10 s_signal_cdma;
extern RIL_SignalStrength_v10 s_signal_wcdma;
extern RIL_SignalStrength_v10 s_signal_lte;
extern int s_nosignal_count;          /* CDMA: consecutive no-service polls */
extern int s_sysmode;                 /* CDMA: last system mode (initially 2) */
extern unsigned int s_nosignal_since; /* WCDMA: tick of the first no-signal poll, 0 with signal */

/* the 10-second polls; started once by startSignalPoll_cdma / _wcdma */
void SignalChange_cdma(void *param);
void SignalChange_wcdma(void *param);
/* CDMA mode check run at the end of every CDMA poll */
void CheckModeState(void);
/* "AT+CSQ" rssi (0 when 99 or unreadable); returns 0, or -1 without pointer */
int GetGsmSignal(int *rssi);
/* "AT+CSQ" rssi and bit error rate; nothing when a pointer is absent or in a
 * call. Returns 0 when it queried, -1 otherwise. */
int GetWSignal(int *rssi, int *ber);

/* ---- flags of other areas read here ---- */
extern int g_screenon;        /* screen on (CDMA screen state) */
extern int G_incall;          /* a voice call exists */
extern int g_inprocess;       /* a data resume is running */
extern int g_pppd_usersetup;  /* the user's data call was set up */
extern int g_flying;          /* flight mode: OPERATOR answers "null" once */
extern int g_fly_datareg;     /* flight mode: DATA_REGISTRATION answers the fly form once */
extern int s_simcard;         /* WCDMA SIM-card indicator from "+CPREFMODE:" */

#ifdef __cplusplus
}
#endif

#endif
