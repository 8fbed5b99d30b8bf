/*
 * USSD and SIM toolkit: sending USSD strings and cancelling a dialogue, the
 * module's "+CUSD:" reports turned into RIL_UNSOL_ON_USSD (1006) with
 * [type, text], the collection of a report that spans several lines, and the
 * toolkit envelopes, terminal responses and call set-up answers.
 *
 * Every framework text is checked before it goes into a quoted AT argument:
 * a refused text completes with RIL_E_GENERIC_FAILURE and nothing is sent.
 */
#ifndef RIL_USSD_H
#define RIL_USSD_H

#include <stddef.h>

#include "ril_interface.h"

#ifdef __cplusplus
extern "C" {
#endif

/* the longest USSD string sent (a request of up to 183 bytes with its NUL) */
#define RIL_USSD_MAX_TEXT 182
/* the longest toolkit envelope or terminal response: 255 bytes in hex */
#define RIL_STK_MAX_HEX 510
/* the "+CUSD:" collection buffer of each GSM family */
#define RIL_USSD_BUF_SIZE 2048
/* a report collected over more lines than this, or for longer than
 * RIL_USSD_COLLECT_MS, is closed */
#define RIL_USSD_MAX_LINES 32
#define RIL_USSD_COLLECT_MS 3000
/* SEND_USSD without a "+CUSD:" report within this time reports type 4 */
#define RIL_USSD_ANSWER_TIMEOUT_S 8

/* Per GSM family (WCDMA, LTE): a report being collected, its text, the
 * number of reports delivered plus SEND_USSD requests (read and written
 * with atomic operations: reader, request and event threads share it). */
extern int s_inussd_wcdma;
extern int s_inussd_lte;
extern char s_ussdbuf_wcdma[RIL_USSD_BUF_SIZE];
extern char s_ussdbuf_lte[RIL_USSD_BUF_SIZE];
extern int s_ussdcount_wcdma;
extern int s_ussdcount_lte;

/* 1 when s may be sent as a USSD string: 1 to RIL_USSD_MAX_TEXT printable
 * ASCII characters without a double quote or a backslash. */
int ril_ussd_text_ok(const char *s);
/* 1 when s is 2 to RIL_STK_MAX_HEX hex digits, an even number of them. */
int ril_stk_hex_ok(const char *s);

/* Commas outside double-quoted text; counting stops at 2. */
int GetQuoCount(const char *text);

/* Decodes a complete "+CUSD:" report and reports 1006 (anything that does
 * not begin with "+CUSD:" is ignored). Safe on any bytes. */
void Unsolicited_USD(const char *text);

/* Requests 29 (send) and 30 (cancel); anything else completes with
 * RIL_E_REQUEST_NOT_SUPPORTED. */
void Request_USSD(int request, void *data, size_t datalen, RIL_Token t);
/* Requests 69, 70 and 71; anything else completes with
 * RIL_E_REQUEST_NOT_SUPPORTED. */
void Request_STK(int request, void *data, size_t datalen, RIL_Token t);

/* The "+CUSD:" collection of a family (RIL_FAMILY_WCDMA or _LTE): a
 * "+CUSD:" line starts a report; ussd_collect_continue takes a line that no
 * other row took and returns 1 when it belonged to the report. */
void ussd_collect_start(int family, const char *line);
int ussd_collect_continue(int family, const char *line);
/* Clears a family's collection (tests, and a re-opened channel). */
void ussd_collect_reset(int family);

/* The SEND_USSD answer time-outs (param: heap int, freed here). */
void onUssdTimeout_wcdma(void *param);
void onUssdTimeout_lte(void *param);

#ifdef __cplusplus
}
#endif

#endif
