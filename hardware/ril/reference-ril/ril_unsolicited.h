/*
 * Unsolicited lines: each family walks an ordered table of {prefix, handler}
 * rows; the first row whose prefix begins the line takes it and nothing after
 * it is tested. The last row has the empty prefix and takes whatever no
 * other row took.
 *
 * Every row handler of the three chains is declared here, weak: the area that
 * owns a line defines the handler in its own unit and the row starts working.
 * A row whose handler is not built still takes its lines (they are logged by
 * the common start and dropped), so what later rows see never depends on
 * which areas are built. docs/structure.md says how to add a row.
 */
#ifndef RIL_UNSOLICITED_H
#define RIL_UNSOLICITED_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* line: the unsolicited line without its line end; sms_pdu: the line that
 * followed a two-line SMS notification, otherwise NULL. Both are owned by the
 * caller. Runs on the AT reader thread: never sends an AT command (schedule a
 * timed callback for that). */
typedef void (*RilUnsolHandler)(const char *line, const char *sms_pdu);

typedef struct {
    const char *prefix;      /* "" on the catch-all row only */
    RilUnsolHandler handler; /* NULL while the owning area is not built */
} RilUnsolRow;

/* The rows of a family (RIL_FAMILY_CDMA, _WCDMA, _LTE) and their count;
 * NULL and 0 for any other family. */
const RilUnsolRow *ril_unsol_rows(int family, size_t *count);

/* The common start and the walk: returns the index of the row that took the
 * line, or -1 when the line was ignored before the walk (radio unavailable,
 * no line, unknown family). */
int ril_unsol_dispatch(int family, const char *line, const char *sms_pdu);

/* The handler of the rows whose lines are ignored on purpose. */
void ril_unsol_ignore(const char *line, const char *sms_pdu);

/* ---- row handlers, defined by the areas that own the lines ---- */
#define RIL_UNSOL_DECL_(name) __attribute__((weak)) void name(const char *line, const char *sms_pdu);

/* CDMA */
RIL_UNSOL_DECL_(onUnsolNitz_cdma)             /* "%CTZV:" */
RIL_UNSOL_DECL_(onUnsolCallLine_cdma)         /* the call group */
RIL_UNSOL_DECL_(onUnsolNetworkChanged_cdma)   /* "+CREG:", "+CGREG:" */
RIL_UNSOL_DECL_(onUnsolNewSms_cdma)           /* "+CMT:" */
RIL_UNSOL_DECL_(onUnsolSmsStatusReport_cdma)  /* "+CDS:" */
RIL_UNSOL_DECL_(onUnsolPacketEvent_cdma)      /* "+CGEV:" */
RIL_UNSOL_DECL_(onUnsolLinked_cdma)           /* "^LINKED" */
RIL_UNSOL_DECL_(onUnsolSimState_cdma)         /* "^SIMST:" */
RIL_UNSOL_DECL_(onUnsolSmsMemoryFull_cdma)    /* "^SMMEMFULL" */
RIL_UNSOL_DECL_(onUnsolCdmaNewSms_cdma)       /* "^HCMT", "^MMS:" */
RIL_UNSOL_DECL_(onUnsolMode_cdma)             /* "^MODE:" */
RIL_UNSOL_DECL_(onUnsolGpsNetDone_cdma)       /* "^GPSNETDONE" */
RIL_UNSOL_DECL_(onUnsolGpsDownloadDone_cdma)  /* "^GPSDOLADDONE" */
RIL_UNSOL_DECL_(onUnsolOther_cdma)            /* anything else */

/* WCDMA */
RIL_UNSOL_DECL_(onUnsolNitz_wcdma)            /* "%CTZV:" */
RIL_UNSOL_DECL_(onUnsolCallLine_wcdma)        /* the call group */
RIL_UNSOL_DECL_(onUnsolNewSms_wcdma)          /* "+CMT:" */
RIL_UNSOL_DECL_(onUnsolMms_wcdma)             /* "^MMS:" */
RIL_UNSOL_DECL_(onUnsolNewSmsStored_wcdma)    /* "+CMTI:" */
RIL_UNSOL_DECL_(onUnsolSmsStatusReport_wcdma) /* "+CDS:" */
RIL_UNSOL_DECL_(onUnsolPacketEvent_wcdma)     /* "+CGEV:" */
RIL_UNSOL_DECL_(onUnsolUssd_wcdma)            /* "+CUSD:" */
RIL_UNSOL_DECL_(onUnsolSimCardChange_wcdma)   /* "^SIMC" */
RIL_UNSOL_DECL_(onUnsolSimReady_wcdma)        /* "+CPIN: READY" */
RIL_UNSOL_DECL_(onUnsolMode_wcdma)            /* "^MODE:" */
RIL_UNSOL_DECL_(onUnsolSimCardRemove_wcdma)   /* "+SIMCARD: NOT AVAILABLE" */
RIL_UNSOL_DECL_(onUnsolOther_wcdma)           /* anything else: USSD continuation */

/* LTE */
RIL_UNSOL_DECL_(onUnsolNitz_lte)              /* "%CTZV:" */
RIL_UNSOL_DECL_(onUnsolCallLine_lte)          /* the call group */
RIL_UNSOL_DECL_(onUnsolNewSms_lte)            /* "+CMT:", "$QCMT:" */
RIL_UNSOL_DECL_(onUnsolMms_lte)               /* "^MMS:" */
RIL_UNSOL_DECL_(onUnsolNewSmsStored_lte)      /* "+CMTI:", "$QCMTI:" */
RIL_UNSOL_DECL_(onUnsolSmsStatusReport_lte)   /* "+CDS:" */
RIL_UNSOL_DECL_(onUnsolPacketEvent_lte)       /* "+CGEV:" */
RIL_UNSOL_DECL_(onUnsolUssd_lte)              /* "+CUSD:" */
RIL_UNSOL_DECL_(onUnsolSimCardChange_lte)     /* "^SIMC" */
RIL_UNSOL_DECL_(onUnsolSimReady_lte)          /* "+CPIN: READY" */
RIL_UNSOL_DECL_(onUnsolMode_lte)              /* "^MODE:" */
RIL_UNSOL_DECL_(onUnsolSimCardRemove_lte)     /* "+SIMCARD: NOT AVAILABLE" */
RIL_UNSOL_DECL_(onUnsolOther_lte)             /* anything else: USSD continuation */

#undef RIL_UNSOL_DECL_

#ifdef __cplusplus
}
#endif

#endif
