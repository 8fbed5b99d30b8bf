/*
 * State and entry points shared between the library entry, the three radio
 * families (0 CDMA, 1 WCDMA, 2 LTE) and their request areas.
 */
#ifndef RIL_FAMILIES_H
#define RIL_FAMILIES_H

#include <pthread.h>
#include <stddef.h>

#include "ril_interface.h"
#include "ril_thread_annotations.h"

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

/* ---- the family record: what the three families share, as data ---- */
/* How onATReaderClosed looks for the module again. */
typedef struct {
    int searchBeforeClose;     /* search first, then close the channel (CDMA) */
    int attempts;              /* discovery scans, 1 s apart */
    int flyAttempts;           /* ... while flight mode is in progress */
    int logResume;             /* "*******Hot Resume*******" when found */
    int logMissed;             /* "*******missed device*******" when not */
    int unavailableWhenMissed; /* the radio becomes unavailable when not found */
    int flyWaitMs;             /* found during flight mode: wait this long */
    unsigned int *lastOpen;    /* tick stored on close, or NULL */
} RilReaderClosedRule;

typedef struct RilFamily {
    int id;                     /* RIL_FAMILY_CDMA, _WCDMA, _LTE */
    const char *source;         /* the file name the guard token carries */
    const struct RIL_Env **env; /* the family's RIL_Env slot */
    RIL_RadioState *state RIL_PT_GUARDED_BY(*stateMutex);
    int *channelClosed RIL_PT_GUARDED_BY(*stateMutex);
    ril_mutex_t *stateMutex; /* guards state and channelClosed */
    pthread_cond_t *stateCond;   /* broadcast on a state change or a close */
    const char *(*stateName)(RIL_RadioState s);
    /* admission rule of onRequest */
    const RilRequestHandler *(*table)(void);
    size_t tableSize;
    int admitByRadioState;   /* unavailable: only GET_SIM_STATUS; off: also RADIO_POWER */
    int waitForReopen;       /* a closed channel: wait up to 6 s for the main loop (CDMA) */
    int logRejects;          /* log the closed channel and the unsupported request */
    RIL_Errno closedError;
    RIL_Errno outOfRangeError;
    RIL_Errno unsupportedError;
    pthread_mutex_t *requestMutex; /* one handler at a time (LTE), or NULL */
    /* what a changed radio state reports, after the state lock is released */
    void (*reportStateChange)(RIL_RadioState now);
    void (*markUnavailable)(void); /* setRadioState(RADIO_STATE_UNAVAILABLE) */
    RilReaderClosedRule readerClosed;
} RilFamily;

/* the request tables, built once from the families' handler lists */
const RilRequestHandler *ril_request_table_cdma(void);
const RilRequestHandler *ril_request_table_wcdma(void);
const RilRequestHandler *ril_request_table_lte(void);

extern const RilFamily g_family_cdma;
extern const RilFamily g_family_wcdma;
extern const RilFamily g_family_lte;
/* the record of a family id, NULL for any other */
const RilFamily *ril_family(int id);

void ril_family_complete(const RilFamily *f, RIL_Token t, RIL_Errno e, void *response, size_t len);
void ril_family_unsolicited(const RilFamily *f, int code, const void *data, size_t len);
void ril_family_timed(const RilFamily *f, RIL_TimedCallback cb, void *param, const struct timeval *tv);
/* onRequest: the family's admission rule, then its handler */
void ril_family_on_request(const RilFamily *f, int request, void *data, size_t datalen, RIL_Token t);
/* setRadioState without its log line: stores the state under the lock
 * (unavailable while the channel is closed) and reports a change */
void ril_family_set_radio_state(const RilFamily *f, RIL_RadioState newState);
/* onATReaderClosed */
void ril_family_reader_closed(const RilFamily *f);
/* the main loop's wait until the channel is closed */
void ril_family_wait_for_close(const RilFamily *f);
/* sets or clears the channel-closed flag under the state lock, with a broadcast */
void ril_family_set_channel_closed(const RilFamily *f, int closed);
/* wakes whoever waits on the family's state condition (under the lock) */
void ril_family_broadcast(const RilFamily *f);
/* "AT+CFUN?": 1 when the radio is on, 0 otherwise (a failure reads as off).
 * untilAnswered: ask again once a second until the module answers OK. */
int ril_query_radio_on(int untilAnswered, int logResult);
/* the family's radio state and channel-closed flag, read under the state lock */
RIL_RadioState ril_family_state(const RilFamily *f);
int ril_family_channel_closed(const RilFamily *f);
/* the radio functions' currentState (logged: "W: >> get curretn State:%d") */
RIL_RadioState ril_family_current_state(const RilFamily *f, int logged);
/* the radio functions' getVersion: "EVDO&WCDMA  <build date and time><suffix>"
 * in buf, which is returned */
const char *ril_family_version(char *buf, size_t len, const char *suffix);

/* ---- steps owned by the SIM and initialization areas ---- */
void onSIMReady_cdma(void);           /* CDMA SIM-ready steps, inside setRadioState */
void pollSIMState_cdma(void *param);
void pollSIMState_wcdma(void *param);
void pollSIMState_lte(void *param);
void setRadioAfterGetCardStatus(void *param);

/* ---- connection guard: flags and hooks shared with the families ---- */
int PrepareSem(void);
extern int g_inhotstatus;     /* 1 when the device came back after a loss */
extern int g_inflymode;       /* flight mode in progress */
extern int G_userdisconnect;  /* the user tore the data call down: no re-dial */
extern int g_hasdatacard;     /* a SIM-based data card (WCDMA and LTE SIM ready) */
extern unsigned int g_inittickcount;
extern unsigned int g_new_netguard; /* guard token: tick of the last renewal */
extern unsigned int s_guardslot;
typedef void (*RIL_OnRequestCompleteHook)(RIL_Token t, RIL_Errno e, void *response, size_t len);
typedef void (*RIL_OnUnsolicitedHook)(int code, const void *data, size_t len);
typedef void *(*RIL_TimedCallbackHook)(RIL_TimedCallback cb, void *param, const struct timeval *tv);
extern RIL_OnRequestCompleteHook g_OnResponseComplete;
extern RIL_OnUnsolicitedHook g_unsresponse;
extern RIL_TimedCallbackHook g_timecallback;
extern RIL_TimedCallback g_checkdatamode;
extern int (*g_pgetsimstatus)(void);
int SetGuradFlag(const char *caller, int line);
int StartCheckDataCheck(RIL_TimedCallback checker, const struct timeval *delay);
/* the families' data checkers (link checks) */
void CheckDataStatus(void *param);
void WCheckDataStatus(void *param);
void LteCheckDataStatus(void *param);
extern RIL_DataCallRecord g_datacall_response;

/* ---- main loops and initialization ---- */
void initializeCallback_cdma(void *param);
void initializeCallback_wcdma(void *param);
void initializeCallback_lte(void *param);
void onATReaderClosed_cdma(void);
void onATReaderClosed_wcdma(void);
void onATReaderClosed_lte(void);
void onATTimeout_cdma(void);
void onATTimeout_wcdma(void);
void onATTimeout_lte(void);
int on6270fly(void);
void AfterSimReady(void *param);
void onSIMReady_wcdma(void);  /* WCDMA SIM-ready sequence (run by pollSIMState) */
void onSIMReady_lte(void);    /* LTE SIM-ready sequence (run by pollSIMState) */
extern int is_cdma;
extern int is_fddandevdo;
extern int s_is9615;
extern int s_is9X07;
extern int s_callwaiting_wcdma;
extern int s_callwaiting_lte;
extern RIL_DataCallRecord s_datacall_wcdma; /* the WCDMA cached data-call record */
extern RIL_RadioCapability RadioCapability;
/* the WCDMA signal poll compares against the last open/close time */
extern unsigned int s_lastopen_wcdma;

/* ---- steps of other areas called by the lifecycle ---- */
void onUnsolicited_cdma(const char *s, const char *sms_pdu);
void onUnsolicited_wcdma(const char *s, const char *sms_pdu);
void onUnsolicited_lte(const char *s, const char *sms_pdu);
int getSIMStatus_cdma(void);
int getSIMStatus_wcdma(void);
int getSIMStatus_lte(void);
void GetMeid(void);
void SetCimiIccidProp(void);
void GetPPPServiceName(void);
int getmodeconfig(void);
void startSignalPoll_cdma(void);
void startSignalPoll_wcdma(void);
void initSmsStore_cdma(void);
void initSmsList_wcdma(void);
void initSmsList_lte(void);
void GetUnReadSMS(void *param);
void loop_lte_callback(void *param);
void writeRuimFiles(void *param);
void activeflydata_wcdma(void *param);
void activeflydata_lte(void *param);
int ResetModule(const char *file, int line, int force); /* module control */

/* ---- shared lifecycle helpers ---- */
/* Applies the AT port's serial settings; clearLocalFirst clears and applies
 * the local modes first. Returns the tcsetattr result (0 or -1). */
int ril_set_serial_line(int fd, int clearLocalFirst);
/* Installs the guard hooks from the family's environment. */
void ril_install_guard_hooks(const struct RIL_Env *env, RIL_TimedCallback checker,
                             int (*getsimstatus)(void));
/* Opens the AT port found by discovery, read-write, when its path is longer
 * than 10 characters; -1 otherwise. */
int ril_open_at_port(void);
/* The WCDMA and LTE open loop: discovery until the family's AT port opens
 * (anyResult: any result bit counts, else bit 0 or 2), then the serial
 * settings; a module of another family ends the process. Returns the port. */
int ril_open_and_configure(const RilFamily *f, int anyResult, int resetBeforeRetry);
/* Up to attempts discovery scans 1 s apart, stopping at the first that found
 * a module (bit 0 or 2); returns 1 when found. */
int ril_search_device(int attempts);

/* The WCDMA and LTE main loop, one routine driven by the family's row. */
typedef struct {
    const RilFamily *family;
    RIL_TimedCallback checker;           /* the family's data checker */
    int (*simStatus)(void);              /* getSIMStatus, for the guard */
    void (*onReaderClosed)(void);
    void (*onTimeout)(void);
    void (*onUnsolicited)(const char *s, const char *sms_pdu);
    int anyDiscoveryResult;              /* see ril_open_and_configure */
    int resetBeforeRetry;
    RIL_TimedCallback initialize;        /* initializeCallback */
    int coldDelaySec;                    /* cold open: 0 schedules at once */
    /* hot open in flight mode */
    void (*flyFirst)(void);              /* the family's first step, or NULL */
    RIL_TimedCallback flyData;           /* activeflydata */
    int flyDataDelaySec;
    int flyClearsFlag;                   /* g_inflymode is cleared (WCDMA) */
    /* hot open otherwise */
    int guardOnHotOpen;                  /* renew the guard token first (WCDMA) */
    int callStateOnEveryHotOpen;         /* 1001 before the state test (WCDMA),
                                            else only with a ready SIM (LTE) */
    RIL_TimedCallback smsFetch;          /* with a ready SIM */
    int smsDelaySec;                     /* 0: at once */
    /* before waiting for the close */
    unsigned int *openTick;              /* the open time is stored here, or NULL */
    int sleepWhenReadyMs;                /* sleep with a ready SIM */
} RilMainLoopRow;
void *ril_family_main_loop(const RilMainLoopRow *row);

/* ---- guard preparation and event plug-in ---- */
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
