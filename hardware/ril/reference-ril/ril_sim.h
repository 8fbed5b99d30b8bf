/*
 * SIM status and PIN handling, subscriber and device identity, radio power
 * and screen state of the three families: what other areas may call or read.
 */
#ifndef RIL_SIM_H
#define RIL_SIM_H

#include <stddef.h>

#include "ril_interface.h"

#ifdef __cplusplus
extern "C" {
#endif

/* SIM status code answered by each family's getSIMStatus */
typedef enum {
    SIM_ABSENT = 0,
    SIM_NOT_READY = 1,
    SIM_READY = 2,
    SIM_PIN = 3,
    SIM_PUK = 4,
    SIM_NETWORK_PERSONALIZATION = 5,
} SimStatus;

/* ---- SIM status and PIN ---- */
int getSIMStatus_cdma(void);
int getSIMStatus_wcdma(void);
int getSIMStatus_lte(void);
void pollSIMState_cdma(void *param);
void pollSIMState_wcdma(void *param);
void pollSIMState_lte(void *param);
/* remaining PIN attempts into *count (0 when unreadable); nothing when count is NULL */
void RequestPinTimes_cdma(int *count);
void RequestPinTimes_wcdma(int *count);
void RequestPinTimes_lte(int *count);
void setRadioAfterGetCardStatus(void *param); /* CDMA; param: malloc'd int SimStatus, freed */
void RefreshCardStatus(void *param);          /* CDMA: reports the radio state again */
/* card removed ("+SIMCARD: NOT AVAILABLE") or exchanged ("^SIMC..."): both end the process */
void OnSimCardRemove_wcdma(void *param);
void OnSimCardRemove_lte(void *param);
void onSimCardChange_wcdma(void *param);
void onSimCardChange_lte(void *param);

extern int s_pinentered;        /* WCDMA: a PIN was accepted since the last radio-off */
extern int s_pollbusy_wcdma;
extern int s_pollbusy_lte;
extern int s_firstpoll_wcdma;
extern int s_firstpoll_lte;

/* ---- identity ---- */
void SetCimiIccidProp(void);    /* WCDMA: IMSI, ICCID, own number, SIM kind */
void GetMeid(void);             /* "AT^MEID" into "ril.imei" */
extern char s_imsicache[128];   /* WCDMA: IMSI last read */
extern int s_simcard;           /* WCDMA: third field of "+CPREFMODE:" */
extern int is_chinamobile;      /* LTE: the IMSI belongs to China Mobile */
extern const char kLteDefaultImsi[];     /* fixed IMSI of operator 46001 */
extern const char kLteReplacementImsi[]; /* fixed IMSI of operator 46003 */

/* Single-line query helper shared by the identity and SIM code: sends cmd
 * with prefix and copies the first text field of the reply into out (cut to
 * outlen - 1). Returns 1 when copied, 0 when the command was answered OK but
 * its line could not be parsed, -1 when the command failed, was not answered
 * OK or had no reply line. */
int ril_query_text(const char *cmd, const char *prefix, char *out, size_t outlen);

/* ---- radio power, flight mode and screen state ---- */
extern int s_firstoff_cdma;     /* the first radio-off after start is ignored */
extern int s_firstoff_wcdma;
extern int s_firstoff_lte;
extern int g_screenon;          /* 1 while the screen is on */
extern unsigned int G_screenon; /* clock of the last screen-on */
extern unsigned int G_screenoff;/* clock of the last screen-off */
extern int g_isleep_maybe;      /* the screen went off: the system may sleep */
void activeflydata_wcdma(void *param);
void activeflydata_lte(void *param);

/* ---- packet data and guard (other areas) ---- */
int StopPPPD(const char *caller, int needresume);
extern int g_inprocess;
extern int g_use_hasdataservice;

#ifdef __cplusplus
}
#endif

#endif
