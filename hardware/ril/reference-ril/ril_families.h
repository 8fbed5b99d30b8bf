/*
 * State and entry points shared between the library entry, the three radio
 * families (0 CDMA, 1 WCDMA, 2 LTE) and their request areas.
 */
#ifndef RIL_FAMILIES_H
#define RIL_FAMILIES_H

#include <pthread.h>
#include <stddef.h>

#include "ril_interface.h"

#define RIL_FAMILY_CDMA 0
#define RIL_FAMILY_WCDMA 1
#define RIL_FAMILY_LTE 2
#define RIL_FAMILY_NONE 4

/* request table sizes */
#define RIL_CDMA_TABLE_SIZE 124
#define RIL_WCDMA_TABLE_SIZE 136
#define RIL_LTE_TABLE_SIZE 136

typedef void (*RilRequestHandler)(void *data, size_t datalen, RIL_Token t);

#ifdef __cplusplus
extern "C" {
#endif

/* ---- library entry ---- */
extern int s_cardtype;
extern pthread_t s_tid_mainloop;
extern const struct RIL_Env *s_rilenv;
extern const struct RIL_Env *s_rilenv_wcdma;
extern const struct RIL_Env *s_rilenv_lte;
extern const struct RIL_Env **s_arrenv[3];
extern const RIL_RadioFunctions *s_arrRadioFunctions[3];
extern void *(*s_arrMainLoopFunction[3])(void *);
extern unsigned char PDU_SUPPORT;
extern unsigned char G_USERORIGN_DATA;
extern int s_hasinit;

int getcardtype(const char *path);

/* ---- per-family radio state and dispatch ---- */
extern RIL_RadioState s_radio_state_cdma;
extern RIL_RadioState s_radio_state_wcdma;
extern RIL_RadioState s_radio_state_lte;
extern int s_channel_closed_cdma;
extern int s_channel_closed_wcdma;
extern int s_channel_closed_lte;
extern pthread_mutex_t s_radio_state_mutex_cdma;
extern pthread_mutex_t s_radio_state_mutex_wcdma;
extern pthread_mutex_t s_radio_state_mutex_lte;
extern pthread_cond_t s_radio_state_cond_cdma;
extern pthread_cond_t s_radio_state_cond_wcdma;
extern pthread_cond_t s_radio_state_cond_lte;
extern pthread_mutex_t s_request_mutex_lte;
extern int s_wait_timeouts;

extern const RIL_RadioFunctions s_callbacks_cdma;
extern const RIL_RadioFunctions s_callbacks_wcdma;
extern const RIL_RadioFunctions s_callbacks_lte;
extern const RilRequestHandler s_requests_cdma[RIL_CDMA_TABLE_SIZE];
extern const RilRequestHandler s_requests_wcdma[RIL_WCDMA_TABLE_SIZE];
extern const RilRequestHandler s_requests_lte[RIL_LTE_TABLE_SIZE];

void onRequest_cdma(int request, void *data, size_t datalen, RIL_Token t);
void onRequest_wcdma(int request, void *data, size_t datalen, RIL_Token t);
void onRequest_lte(int request, void *data, size_t datalen, RIL_Token t);

void setRadioState_cdma(RIL_RadioState newState);
void setRadioState_wcdma(RIL_RadioState newState, int line);
void setRadioState_lte(RIL_RadioState newState, int line);
int isRadioOn_cdma(void);
int isRadioOn_wcdma(void);
int isRadioOn_lte(void);
const char *radioStateToString_cdma(RIL_RadioState s);
const char *radioStateToString_wcdma(RIL_RadioState s);
const char *radioStateToString_lte(RIL_RadioState s);
void sendCallStateChanged_cdma(void *param);
void sendCallStateChanged_wcdma(void *param);
void sendCallStateChanged_lte(void *param);
void onDataCallListChanged_cdma(void *param);
void onDataCallListChanged_wcdma(void *param);
void onDataCallListChanged_lte(void *param);

/* ---- main loops ---- */
void *mainLoop(void *param);
void *mainLoop_wcdma(void *param);
void *mainLoop_lte(void *param);

/* ---- steps owned by the SIM and initialization areas ---- */
void onSIMReady_cdma(void);           /* CDMA SIM-ready steps, inside setRadioState */
void pollSIMState_wcdma(void *param);
void pollSIMState_lte(void *param);
void setRadioAfterGetCardStatus(void *param);

/* ---- guard preparation and event plug-in ---- */
int PrepareSem(void);
extern void *g_lib;
typedef int (*kv_atfunc)(const char *cmd);
typedef void (*kv_eventfunc)(kv_atfunc sender, int event, void *arg);
extern kv_eventfunc g_peventfun;
int event_atfunc(const char *cmd);
/* raise a plug-in event if a plug-in is loaded */
void kv_raise_event(int event, void *arg);

/* ---- completion helpers: each family completes through its own pointer ---- */
void RIL_onRequestComplete_cdma(RIL_Token t, RIL_Errno e, void *response, size_t len);
void RIL_onRequestComplete_wcdma(RIL_Token t, RIL_Errno e, void *response, size_t len);
void RIL_onRequestComplete_lte(RIL_Token t, RIL_Errno e, void *response, size_t len);
void RIL_onUnsolicitedResponse_cdma(int code, const void *data, size_t len);
void RIL_onUnsolicitedResponse_wcdma(int code, const void *data, size_t len);
void RIL_onUnsolicitedResponse_lte(int code, const void *data, size_t len);
void RIL_requestTimedCallback_cdma(RIL_TimedCallback cb, void *param, const struct timeval *tv);
void RIL_requestTimedCallback_wcdma(RIL_TimedCallback cb, void *param, const struct timeval *tv);
void RIL_requestTimedCallback_lte(RIL_TimedCallback cb, void *param, const struct timeval *tv);

#ifdef __cplusplus
}
#endif

#endif
