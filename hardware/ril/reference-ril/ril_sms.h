/*
 * SMS of the three families: sending and storage (ril_sms.cpp), reception
 * and acknowledgement (ril_sms_receive.cpp), and the SMS lines of the
 * unsolicited chains.
 */
#ifndef RIL_SMS_H
#define RIL_SMS_H

#include <stddef.h>

#include "ril_interface.h"

#ifdef __cplusplus
extern "C" {
#endif

/* 27.005 limits of what the framework hands over */
#define RIL_SMS_TPDU_MAX_OCTETS 164
#define RIL_SMS_SMSC_MAX_OCTETS 12
#define RIL_SMS_SMSC_MAX_DIGITS 20

/* 1 when hex is a non-empty string of hex digits of even length encoding at
 * most maxOctets octets; 0 otherwise. */
int ril_sms_is_hex_pdu(const char *hex, size_t maxOctets);
/* 1 for an SMSC address of an optional "+" and 6..20 characters in all of
 * decimal digits; 0 otherwise. */
int ril_sms_is_smsc_address(const char *s);

/* ---- reception: queues and readers ---- */
/* CDMA: five waiting messages beside the one at the framework */
#define RIL_CDMA_SMS_QUEUE_SLOTS 5
/* GSM PDU text kept per message (WCDMA 512, LTE 1024 characters) */
#define RIL_WCDMA_SMS_PDU_MAX 512
#define RIL_LTE_SMS_PDU_MAX 1024

void onCDMANewSMS(const char *line, const char *pdu, int isMms);
void GetSMS_cdma(void);
/* kind of a queued GSM report */
#define RIL_SMS_KIND_NEW 0           /* a message: 1003 */
#define RIL_SMS_KIND_STATUS_REPORT 1 /* a status report: 1004 */
void PushSMS_wcdma(const char *pdu, int index);
void PushSMS_lte(const char *pdu, int index);
void PushSMSReport_wcdma(const char *pdu, int kind, int index);
void PushSMSReport_lte(const char *pdu, int kind, int index);
void GetSMS_wcdma(void);
void GetSMS_lte(void);
void readStoredSms_wcdma(void *param); /* param: the storage index */
void readStoredSms_lte(void *param);

/* The pending-index property: stored messages taken from the module's
 * storage (and so marked read there) whose acknowledgement has not come.
 * The unread-message readers read them again after a restart. */
#define RIL_SMS_PENDING_PROPERTY "persist.ril.sms.pending"

/* The SMS rows of the unsolicited tables (onUnsolNewSms_<family> and the
 * others, ril_unsolicited.h) are defined in ril_sms_receive.cpp. */

/* test hook: forget every queued and outstanding message of all families */
void ril_sms_reset_for_test(void);

#ifdef __cplusplus
}
#endif

#endif
