// SMS reception and acknowledgement of the three families.
//
// Every incoming message (delivered directly, announced as stored, found
// unread in storage, or a status report) joins its family's queue. The
// framework has at most one report of a family at a time: the next is
// handed over only when the acknowledgement of the previous one came, and
// each acknowledgement acts on the message it acknowledges (the one at the
// framework), never on a later one. The queues exist from load; messages
// that arrive before the family is up wait and are reported once it is.
//
// No loss across a restart: a stored message that was read from the
// module's storage (which marks it read there) stays listed in the property
// "persist.ril.sms.pending" until its acknowledgement deletes it. The
// unread-message readers read the listed indexes again first, so a message
// at the framework or queued when the process ended is reported once more
// after the restart; messages a user had read before are not listed and are
// not reported again. A rejected message stays on the module and listed.
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <initializer_list>

#include "at_link.h"
#include "at_reply.h"
#include "ril_data.h"
#include "ril_families.h"
#include "ril_profile.h"
#include "ril_handlers.h"
#include "ril_log.h"
#include "ril_sim.h"
#include "ril_sms.h"
#include "ril_unsolicited.h"
#include "sms_codec.h"
#include "usb_discovery.h"

namespace {

/* ------------------------------------------------------------------ */
/* WCDMA and LTE: the message list                                     */
/* ------------------------------------------------------------------ */

constexpr int kMaxQueued = 64;  // beyond this a flooding module's lines are dropped

struct GsmSms {
    char pdu[RIL_LTE_SMS_PDU_MAX + 4];
    int index;  // storage index, -1 for a message delivered directly
    int kind;   // RIL_SMS_KIND_*
    GsmSms *next;
};

struct GsmFamily {
    const char *name;
    size_t pduMax;
    void (*unsol)(int, const void *, size_t);
    void (*timed)(RIL_TimedCallback, void *, const struct timeval *);
    pthread_mutex_t lock;
    GsmSms head;  // dummy head of s_smslist
    GsmSms *tail;
    int queued;
    bool outstanding;     // a report is at the framework
    GsmSms cur;           // s_cur_gsmsms: the report at the framework
    // the last stored messages deleted after their acknowledgement, so that a
    // read that began before a deletion cannot report the message again
    unsigned long deleteSeq;
    struct {
        int index;
        unsigned long seq;
    } deleted[8];
    unsigned int deletedNext;
};

GsmFamily s_smslist_wcdma = {"WCDMA", RIL_WCDMA_SMS_PDU_MAX, RIL_onUnsolicitedResponse_wcdma,
                             RIL_requestTimedCallback_wcdma, PTHREAD_MUTEX_INITIALIZER, {}, nullptr,
                             0, false, {}, 0, {}, 0};
GsmFamily s_smslist_lte = {"LTE", RIL_LTE_SMS_PDU_MAX, RIL_onUnsolicitedResponse_lte,
                           RIL_requestTimedCallback_lte, PTHREAD_MUTEX_INITIALIZER, {}, nullptr,
                           0, false, {}, 0, {}, 0};

bool isHexText(const char *s, size_t maxLen) {
    if (s == nullptr) return false;
    size_t n = strnlen(s, maxLen + 1);
    if (n == 0 || n > maxLen || n % 2 != 0) return false;
    for (size_t i = 0; i < n; i++) {
        char c = s[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

/* ---- the pending-index property ---- */

pthread_mutex_t s_pendingLock = PTHREAD_MUTEX_INITIALIZER;

// Parses the property into idx (at most cap entries); returns the count.
int pendingRead(int *idx, int cap) {
    char v[PROPERTY_VALUE_MAX];
    property_get(RIL_SMS_PENDING_PROPERTY, v, "");
    int n = 0;
    char *p = v;
    while (*p != '\0' && n < cap) {
        char *end = nullptr;
        long x = strtol(p, &end, 10);
        if (end == p) break;
        if (x >= 0 && x < 100000) idx[n++] = static_cast<int>(x);
        p = (*end == ',') ? end + 1 : end;
        if (*end != ',' && *end != '\0') break;
    }
    return n;
}

void pendingWrite(const int *idx, int n) {
    char v[PROPERTY_VALUE_MAX] = "";
    size_t len = 0;
    for (int i = 0; i < n; i++) {
        char one[16];
        int w = snprintf(one, sizeof(one), "%s%d", len ? "," : "", idx[i]);
        if (w <= 0 || len + static_cast<size_t>(w) >= sizeof(v)) {
            RIL_LOGE("sms pending list full, index %d not kept across a restart", idx[i]);
            break;
        }
        memcpy(v + len, one, static_cast<size_t>(w) + 1);
        len += static_cast<size_t>(w);
    }
    property_set(RIL_SMS_PENDING_PROPERTY, v);
}

constexpr int kPendingMax = 48;

void pendingAdd(int index) {
    pthread_mutex_lock(&s_pendingLock);
    int idx[kPendingMax];
    int n = pendingRead(idx, kPendingMax);
    bool known = false;
    for (int i = 0; i < n; i++) known = known || idx[i] == index;
    if (!known && n < kPendingMax) {
        idx[n++] = index;
        pendingWrite(idx, n);
    }
    pthread_mutex_unlock(&s_pendingLock);
}

void pendingRemove(int index) {
    pthread_mutex_lock(&s_pendingLock);
    int idx[kPendingMax];
    int n = pendingRead(idx, kPendingMax);
    int m = 0;
    for (int i = 0; i < n; i++)
        if (idx[i] != index) idx[m++] = idx[i];
    if (m != n) pendingWrite(idx, m);
    pthread_mutex_unlock(&s_pendingLock);
}

/* ---- queue ---- */

// Hands the framework the head of the list when nothing is at the framework
// and the family reports. The report is sent after the lock is released.
void deliverNext(GsmFamily &f) {
    char text[sizeof(f.cur.pdu)];
    int kind = RIL_SMS_KIND_NEW;
    pthread_mutex_lock(&f.lock);
    GsmSms *n = f.head.next;
    if (f.outstanding || s_hasinit == 0 || n == nullptr) {
        pthread_mutex_unlock(&f.lock);
        return;
    }
    f.head.next = n->next;
    if (f.tail == n) f.tail = &f.head;
    f.queued--;
    f.cur = *n;
    f.cur.next = nullptr;
    f.outstanding = true;
    free(n);
    memcpy(text, f.cur.pdu, sizeof(text));
    kind = f.cur.kind;
    pthread_mutex_unlock(&f.lock);
    RILDEBUG("sms to the framework (%s): index %d", f.name, f.cur.index);
    int code = kind == RIL_SMS_KIND_STATUS_REPORT ? RIL_UNSOL_RESPONSE_NEW_SMS_STATUS_REPORT
                                                  : RIL_UNSOL_RESPONSE_NEW_SMS;
    f.unsol(code, text, strlen(text));
}

// A read of a stored message that began at deletion count readSeq: was the
// message at index deleted since? (under the family's lock)
bool deletedSinceLocked(const GsmFamily &f, int index, unsigned long readSeq) {
    for (const auto &d : f.deleted)
        if (d.seq > readSeq && d.index == index) return true;
    return false;
}

unsigned long deleteSeqNow(GsmFamily &f) {
    pthread_mutex_lock(&f.lock);
    unsigned long seq = f.deleteSeq;
    pthread_mutex_unlock(&f.lock);
    return seq;
}

constexpr unsigned long kNoReadSeq = ~0UL;

void push(GsmFamily &f, const char *pdu, int kind, int index, unsigned long readSeq = kNoReadSeq) {
    if (!isHexText(pdu, f.pduMax)) {
        RIL_LOGE("sms (%s): PDU line refused: %.40s", f.name, pdu ? pdu : "(none)");
        return;
    }
    pthread_mutex_lock(&f.lock);
    if (f.tail == nullptr) f.tail = &f.head;
    bool known = false;
    if (index >= 0) {
        // the same stored message announced twice is reported once
        known = f.outstanding && f.cur.index == index;
        if (readSeq != kNoReadSeq && deletedSinceLocked(f, index, readSeq)) known = true;
        for (GsmSms *p = f.head.next; p != nullptr && !known; p = p->next) known = p->index == index;
    }
    bool added = false;
    if (!known && f.queued < kMaxQueued) {
        GsmSms *n = static_cast<GsmSms *>(calloc(1, sizeof(GsmSms)));
        if (n != nullptr) {
            snprintf(n->pdu, sizeof(n->pdu), "%s", pdu);
            n->index = index;
            n->kind = kind;
            f.tail->next = n;
            f.tail = n;
            f.queued++;
            added = true;
        }
    } else if (!known) {
        RIL_LOGE("sms (%s): %d messages waiting, one dropped", f.name, f.queued);
    }
    pthread_mutex_unlock(&f.lock);
    if (added && index >= 0) pendingAdd(index);
    deliverNext(f);
}

// The acknowledgement's side: the message at the framework is done with.
// Returns a copy of it (index -2 when nothing was at the framework).
GsmSms release(GsmFamily &f) {
    GsmSms done{};
    done.index = -2;
    pthread_mutex_lock(&f.lock);
    if (f.outstanding) done = f.cur;
    f.outstanding = false;
    pthread_mutex_unlock(&f.lock);
    return done;
}

// The message at the framework, left there (index -2 when none).
GsmSms outstandingCopy(GsmFamily &f) {
    GsmSms cur{};
    cur.index = -2;
    pthread_mutex_lock(&f.lock);
    if (f.outstanding) cur = f.cur;
    pthread_mutex_unlock(&f.lock);
    return cur;
}

void noteDeleted(GsmFamily &f, int index) {
    pthread_mutex_lock(&f.lock);
    f.deleteSeq++;
    f.deleted[f.deletedNext % (sizeof(f.deleted) / sizeof(f.deleted[0]))] = {index, f.deleteSeq};
    f.deletedNext++;
    pthread_mutex_unlock(&f.lock);
}

/* ---- storage readers ---- */

struct StoreForms {
    const char *read;
    const char *readPrefix;
    const char *del;
    const char *list;
    const char *listPrefix;
    int listIndexField;  // which integer of the list header is the index (0-based)
};
const StoreForms kPlainForms = {"AT+CMGR=%d", "+CMGR:", "AT+CMGD=%d", "AT+CMGL=0", "+CMGL:", 0};
const StoreForms kQcForms = {"AT$QCMGR=%d", "^HCMGR:", "AT$QCMGD=%d", "AT$QCMGL=\"REC UNREAD\"",
                             "^HCMGL:", 1};

const StoreForms &lteStoreForms(void) {
    return ril_profile_lte_qc_forms() ? kQcForms : kPlainForms;
}

void deleteStored(const char *format, int index) {
    char cmd[48];
    snprintf(cmd, sizeof(cmd), format, index);
    at_send_command(cmd, nullptr);
}

// Reads one stored message and queues it. Returns 1 when queued, 0 when the
// slot holds no message, -1 when the module refused the read, -2 when it did
// not answer (time-out, closed or busy channel).
int readStored(GsmFamily &f, const StoreForms &forms, int index) {
    char cmd[48];
    snprintf(cmd, sizeof(cmd), forms.read, index);
    const unsigned long readSeq = deleteSeqNow(f);
    AtReply *p = nullptr;
    int err = at_send_command_multiline(cmd, forms.readPrefix, &p);
    if (err < 0 || p == nullptr || !p->success) {
        at_response_free(p);
        return err < 0 ? -2 : -1;
    }
    int ret = 0;
    ReplyLine *first = p->p_intermediates;
    if (first != nullptr && first->p_next != nullptr) {
        push(f, first->p_next->line, RIL_SMS_KIND_NEW, index, readSeq);
        ret = 1;
    } else if (first == nullptr) {
        deleteStored(forms.del, index);
    }
    at_response_free(p);
    return ret;
}

// The stored-message reader's argument: the index, and in the high bits the
// attempts already made. A read the module did not answer is tried again.
constexpr int kReadAttempts = 3;
constexpr intptr_t kAttemptShift = 24;

void *readerParam(int index, int attempt) {
    return reinterpret_cast<void *>(static_cast<intptr_t>(index) | (static_cast<intptr_t>(attempt) << kAttemptShift));
}

void readStoredSms(GsmFamily &f, const StoreForms &forms, void *param, RIL_TimedCallback self) {
    intptr_t v = reinterpret_cast<intptr_t>(param);
    int index = static_cast<int>(v & ((static_cast<intptr_t>(1) << kAttemptShift) - 1));
    int attempt = static_cast<int>(v >> kAttemptShift);
    int r = readStored(f, forms, index);
    if (r == 0) {
        pendingRemove(index);
    } else if (r == -2 && attempt + 1 < kReadAttempts) {
        // the message stays unread on the module: read it again shortly
        static const struct timeval kRetry = {2, 0};
        f.timed(self, readerParam(index, attempt + 1), &kRetry);
    }
}

// The n-th integer field (0-based) of a list header; false when unreadable.
bool headerIndex(const char *header, int field, int *index) {
    char buf[256];
    snprintf(buf, sizeof(buf), "%s", header);
    char *line = buf;
    if (at_tok_start(&line) < 0) return false;
    for (int i = 0; i <= field; i++)
        if (at_tok_nextint(&line, index) < 0) return false;
    return true;
}

void readUnread(GsmFamily &f, const StoreForms &forms) {
    // what was taken from storage before a restart and never acknowledged first
    int idx[kPendingMax];
    pthread_mutex_lock(&s_pendingLock);
    int n = pendingRead(idx, kPendingMax);
    pthread_mutex_unlock(&s_pendingLock);
    for (int i = 0; i < n; i++)
        if (readStored(f, forms, idx[i]) == 0) pendingRemove(idx[i]);

    const unsigned long readSeq = deleteSeqNow(f);
    AtReply *p = nullptr;
    int err = at_send_command_multiline(forms.list, forms.listPrefix, &p);
    if (err < 0 || p == nullptr || !p->success) {
        RILDEBUG("unread sms list failed: %d", err);
        at_response_free(p);
        return;
    }
    for (ReplyLine *h = p->p_intermediates; h != nullptr; h = h->p_next->p_next) {
        int index = -1;
        if (!headerIndex(h->line, forms.listIndexField, &index) || h->p_next == nullptr) break;
        push(f, h->p_next->line, RIL_SMS_KIND_NEW, index, readSeq);
    }
    at_response_free(p);
}

// SMS_ACKNOWLEDGE: "AT+CNMA" for a message delivered directly, the deletion
// of a stored one that was accepted; a rejected stored message is kept.
void acknowledge(GsmFamily &f, bool cnmaForDirect, const char *deleteFormat, void *data, size_t datalen,
                 void (*complete)(RIL_Token, RIL_Errno, void *, size_t), RIL_Token t) {
    int ok = -1;
    if (data != nullptr && datalen >= sizeof(int)) memcpy(&ok, data, sizeof(int));
    // an accepted stored message stays at the framework until its deletion is
    // done, so that a second announcement of its index read meanwhile is not
    // taken for a new message
    GsmSms done = outstandingCopy(f);
    if (done.index >= 0 && ok == 1) {
        deleteStored(deleteFormat, done.index);
        noteDeleted(f, done.index);
        release(f);
        pendingRemove(done.index);
    } else {
        done = release(f);
        if (done.index == -1) {
            if (cnmaForDirect) {
                if (ok == 1)
                    at_send_command("AT+CNMA=1", nullptr);
                else if (ok == 0)
                    at_send_command("AT+CNMA=2", nullptr);
                else
                    RILDEBUG("sms acknowledge: flag %d, nothing sent", ok);
            }
        } else if (done.index >= 0) {
            RILDEBUG("sms %d rejected by the framework: kept", done.index);
        }
    }
    if (&f == &s_smslist_wcdma) GetSMS_wcdma(); else GetSMS_lte();
    complete(t, RIL_E_SUCCESS, nullptr, 0);
}

void deliverPending_wcdma(void *) { deliverNext(s_smslist_wcdma); }
void deliverPending_lte(void *) { deliverNext(s_smslist_lte); }

/* ------------------------------------------------------------------ */
/* CDMA: the five-slot queue                                           */
/* ------------------------------------------------------------------ */

struct CdmaSlot {
    RIL_CDMA_SMS_Message msg;
    unsigned char used;
    unsigned char spare[3];
};

CdmaSlot s_cdmasmsqueue[RIL_CDMA_SMS_QUEUE_SLOTS];
// arrival order of the occupied slots: the oldest message goes first
unsigned long s_cdmaSeq[RIL_CDMA_SMS_QUEUE_SLOTS];
unsigned long s_cdmaNextSeq = 1;
pthread_mutex_t s_cdmaLock = PTHREAD_MUTEX_INITIALIZER;
bool s_cdmaOutstanding = false;  // a message is at the framework
bool s_cdmaReady = false;        // the family has started: reports may go out

// Under the lock: takes the first waiting message when nothing is at the
// framework (or when releasing); true with *out filled when one was taken.
bool takeCdmaLocked(RIL_CDMA_SMS_Message *out) {
    int oldest = -1;
    for (int i = 0; i < RIL_CDMA_SMS_QUEUE_SLOTS; i++)
        if (s_cdmasmsqueue[i].used && (oldest < 0 || s_cdmaSeq[i] < s_cdmaSeq[oldest])) oldest = i;
    if (oldest < 0) {
        s_cdmaOutstanding = false;
        return false;
    }
    *out = s_cdmasmsqueue[oldest].msg;
    memset(&s_cdmasmsqueue[oldest], 0, sizeof(CdmaSlot));
    s_cdmaOutstanding = true;
    return true;
}

void reportCdma(const RIL_CDMA_SMS_Message &m) {
    RIL_onUnsolicitedResponse_cdma(RIL_UNSOL_RESPONSE_CDMA_NEW_SMS, &m, sizeof(m));
}

unsigned char cdmaDigitCode(char c) {
    if (c >= '1' && c <= '9') return static_cast<unsigned char>(c - '0');
    switch (c) {
    case '0': return 10;
    case '*': return 11;
    case '#': return 12;
    case 'A': return 13;
    case 'B': return 14;
    case 'C': return 15;
    case 'D': return 0;
    default: return 32;
    }
}

bool lineIs(const char *line, const char *prefix) { return strStartsWith(line, prefix) != 0; }

}  // namespace

extern "C" {

/* ---- list creation and release ---- */

void initSmsStore_cdma(void) {
    // the queue exists from load: what arrived before the start is kept
    RIL_CDMA_SMS_Message m;
    bool have = false;
    pthread_mutex_lock(&s_cdmaLock);
    s_cdmaReady = true;
    if (!s_cdmaOutstanding) have = takeCdmaLocked(&m);
    pthread_mutex_unlock(&s_cdmaLock);
    if (have) reportCdma(m);
}

void initSmsList_wcdma(void) {
    // the family reports once its initialization has finished
    RIL_requestTimedCallback_wcdma(deliverPending_wcdma, nullptr, nullptr);
}

void initSmsList_lte(void) { RIL_requestTimedCallback_lte(deliverPending_lte, nullptr, nullptr); }

/* ---- CDMA ---- */

void onCDMANewSMS(const char *line, const char *pdu, int isMms) {
    if (PDU_SUPPORT) return;
    if (line == nullptr || pdu == nullptr) return;
    char buf[512];
    if (strlen(line) >= sizeof(buf)) {
        RIL_LOGE("^HCMT line too long, dropped");
        return;
    }
    memcpy(buf, line, strlen(line) + 1);
    char *cur = buf;
    char *address = nullptr;
    if (at_tok_start(&cur) < 0 || at_tok_nextstr(&cur, &address) < 0 || address == nullptr) {
        RIL_LOGE("^HCMT line unreadable, dropped");
        return;
    }
    for (int i = 0; i < 12; i++) {
        int v = 0;
        if (at_tok_nextint(&cur, &v) < 0) {
            RIL_LOGE("^HCMT line without its fields, dropped");
            return;
        }
    }
    RIL_CDMA_SMS_Message m;
    memset(&m, 0, sizeof(m));
    // the bearer data in hex and one terminating character
    size_t len = strlen(pdu);
    size_t hexLen = len > 0 ? len - 1 : 0;
    size_t bytes = hexLen / 2;
    if (bytes > sizeof(m.aBearerData)) bytes = sizeof(m.aBearerData);
    for (size_t i = 0; i < bytes; i++)
        m.aBearerData[i] = static_cast<unsigned char>(hexCharToInt(pdu[2 * i]) * 16 + hexCharToInt(pdu[2 * i + 1]));
    m.uBearerDataLen = static_cast<int>(bytes);
    size_t digits = strnlen(address, sizeof(m.sAddress.digits) + 1);
    if (digits > sizeof(m.sAddress.digits)) {
        RILDEBUG("^HCMT address of more than %zu digits cut", sizeof(m.sAddress.digits));
        digits = sizeof(m.sAddress.digits);
    }
    for (size_t i = 0; i < digits; i++) m.sAddress.digits[i] = cdmaDigitCode(address[i]);
    m.sAddress.number_of_digits = static_cast<unsigned char>(digits);
    m.uTeleserviceID = isMms ? 4100 : 4098;

    RIL_CDMA_SMS_Message next;
    bool have = false;
    pthread_mutex_lock(&s_cdmaLock);
    bool stored = false;
    for (int i = 0; i < RIL_CDMA_SMS_QUEUE_SLOTS && !stored; i++) {
        if (!s_cdmasmsqueue[i].used) {
            s_cdmasmsqueue[i].msg = m;
            s_cdmasmsqueue[i].used = 1;
            s_cdmaSeq[i] = s_cdmaNextSeq++;
            stored = true;
        }
    }
    if (!stored) RIL_LOGE("cdma sms queue full, message dropped");
    // taking the next one and marking it at the framework is one step under
    // the lock, so an acknowledgement in between cannot leave it waiting
    if (s_cdmaReady && !s_cdmaOutstanding) have = takeCdmaLocked(&next);
    pthread_mutex_unlock(&s_cdmaLock);
    if (have) reportCdma(next);
}

void GetSMS_cdma(void) {
    RIL_CDMA_SMS_Message m;
    pthread_mutex_lock(&s_cdmaLock);
    bool have = takeCdmaLocked(&m);
    pthread_mutex_unlock(&s_cdmaLock);
    if (have) reportCdma(m);
}

void OnCDMA_RIL_REQUEST_SMS_ACKNOWLEDGE(void *, size_t, RIL_Token t) {
    GetSMS_cdma();
    RIL_onRequestComplete_cdma(t, RIL_E_SUCCESS, nullptr, 0);
}

void OnCDMA_RIL_REQUEST_CDMA_SMS_ACKNOWLEDGE(void *data, size_t datalen, RIL_Token t) {
    bool ok = data != nullptr && datalen >= sizeof(RIL_CDMA_SMS_Ack);
    RIL_onRequestComplete_cdma(t, ok ? RIL_E_SUCCESS : RIL_E_GENERIC_FAILURE, nullptr, 0);
    // the framework is done with the message either way: the next may go
    GetSMS_cdma();
}

/* ---- WCDMA and LTE ---- */

void PushSMS_wcdma(const char *pdu, int index) { push(s_smslist_wcdma, pdu, RIL_SMS_KIND_NEW, index); }
void PushSMS_lte(const char *pdu, int index) { push(s_smslist_lte, pdu, RIL_SMS_KIND_NEW, index); }
void PushSMSReport_wcdma(const char *pdu, int kind, int index) { push(s_smslist_wcdma, pdu, kind, index); }
void PushSMSReport_lte(const char *pdu, int kind, int index) { push(s_smslist_lte, pdu, kind, index); }
void GetSMS_wcdma(void) { deliverNext(s_smslist_wcdma); }
void GetSMS_lte(void) { deliverNext(s_smslist_lte); }

void readStoredSms_wcdma(void *param) { readStoredSms(s_smslist_wcdma, kPlainForms, param, readStoredSms_wcdma); }
void readStoredSms_lte(void *param) { readStoredSms(s_smslist_lte, lteStoreForms(), param, readStoredSms_lte); }

void GetUnReadSMS(void *) { readUnread(s_smslist_wcdma, kPlainForms); }
void loop_lte_callback(void *) { readUnread(s_smslist_lte, lteStoreForms()); }

void OnWCDMA_RIL_REQUEST_SMS_ACKNOWLEDGE(void *data, size_t datalen, RIL_Token t) {
    acknowledge(s_smslist_wcdma, true, "AT+CMGD=%d", data, datalen, RIL_onRequestComplete_wcdma, t);
}

void OnLTE_RIL_REQUEST_SMS_ACKNOWLEDGE(void *data, size_t datalen, RIL_Token t) {
    // module type 0 acknowledges a direct message with "AT+CNMA"; the others
    // do not, and delete stored ones with their own command
    bool qc = ril_profile_lte_qc_delete();
    acknowledge(s_smslist_lte, ril_module_profile()->acksDirectSmsWithCnma != 0, qc ? "AT$QCMGD=%d" : "AT+CMGD=%d", data, datalen,
                RIL_onRequestComplete_lte, t);
}

void OnWCDMA_RIL_REQUEST_ACKNOWLEDGE_INCOMING_GSM_SMS_WITH_PDU(void *, size_t, RIL_Token t) {
    RIL_onRequestComplete_wcdma(t, RIL_E_SUCCESS, nullptr, 0);
}
void OnLTE_RIL_REQUEST_ACKNOWLEDGE_INCOMING_GSM_SMS_WITH_PDU(void *, size_t, RIL_Token t) {
    RIL_onRequestComplete_lte(t, RIL_E_SUCCESS, nullptr, 0);
}

/* ---- the SMS lines of the unsolicited chains ---- */

void onUnsolNewSms_cdma(const char *, const char *sms_pdu) {
    if (sms_pdu != nullptr) RIL_onUnsolicitedResponse_cdma(RIL_UNSOL_RESPONSE_NEW_SMS, sms_pdu, strlen(sms_pdu));
}
void onUnsolSmsStatusReport_cdma(const char *, const char *sms_pdu) {
    if (sms_pdu != nullptr)
        RIL_onUnsolicitedResponse_cdma(RIL_UNSOL_RESPONSE_NEW_SMS_STATUS_REPORT, sms_pdu, strlen(sms_pdu));
}
void onUnsolSmsMemoryFull_cdma(const char *, const char *) {
    RIL_onUnsolicitedResponse_cdma(RIL_UNSOL_CDMA_RUIM_SMS_STORAGE_FULL, nullptr, 0);
}
void onUnsolCdmaNewSms_cdma(const char *line, const char *sms_pdu) {
    if (sms_pdu == nullptr) {
        RILDEBUG("sms line without its PDU line dropped: %s", line);
        return;
    }
    onCDMANewSMS(line, sms_pdu, lineIs(line, "^MMS:") ? 1 : 0);
}

void onUnsolNewSms_wcdma(const char *, const char *sms_pdu) { PushSMS_wcdma(sms_pdu, -1); }
void onUnsolNewSms_lte(const char *, const char *sms_pdu) { PushSMS_lte(sms_pdu, -1); }
void onUnsolMms_wcdma(const char *, const char *sms_pdu) {
    ril_stop_link_later(RIL_FAMILY_WCDMA);
    PushSMS_wcdma(sms_pdu, -1);
}
void onUnsolMms_lte(const char *, const char *sms_pdu) {
    ril_stop_link_later(RIL_FAMILY_LTE);
    PushSMS_lte(sms_pdu, -1);
}

static int cmtiIndex(const char *line, int *index) {
    char buf[128];
    snprintf(buf, sizeof(buf), "%s", line);
    char *cur = buf;
    char *mem = nullptr;
    if (at_tok_start(&cur) < 0 || at_tok_nextstr(&cur, &mem) < 0 || at_tok_nextint(&cur, index) < 0 ||
        *index < 0 || *index >= (1 << 24))
        return -1;
    return 0;
}

void onUnsolNewSmsStored_wcdma(const char *line, const char *) {
    int index = -1;
    if (cmtiIndex(line, &index) < 0) return;
    RIL_requestTimedCallback_wcdma(readStoredSms_wcdma, readerParam(index, 0), nullptr);
}
void onUnsolNewSmsStored_lte(const char *line, const char *) {
    int index = -1;
    if (cmtiIndex(line, &index) < 0) return;
    static const struct timeval kOneSecond = {1, 0};
    RIL_requestTimedCallback_lte(readStoredSms_lte, readerParam(index, 0), &kOneSecond);
}

// a status report waits its turn like a message and is acknowledged the same way
void onUnsolSmsStatusReport_wcdma(const char *, const char *sms_pdu) {
    PushSMSReport_wcdma(sms_pdu, RIL_SMS_KIND_STATUS_REPORT, -1);
}
void onUnsolSmsStatusReport_lte(const char *, const char *sms_pdu) {
    PushSMSReport_lte(sms_pdu, RIL_SMS_KIND_STATUS_REPORT, -1);
}

void ril_sms_reset_for_test(void) {
    for (GsmFamily *f : {&s_smslist_wcdma, &s_smslist_lte}) {
        pthread_mutex_lock(&f->lock);
        GsmSms *p = f->head.next;
        while (p != nullptr) {
            GsmSms *n = p->next;
            free(p);
            p = n;
        }
        f->head.next = nullptr;
        f->tail = &f->head;
        f->queued = 0;
        f->outstanding = false;
        pthread_mutex_unlock(&f->lock);
    }
    pthread_mutex_lock(&s_cdmaLock);
    memset(s_cdmasmsqueue, 0, sizeof(s_cdmasmsqueue));
    s_cdmaOutstanding = false;
    s_cdmaReady = false;
    pthread_mutex_unlock(&s_cdmaLock);
}

}  // extern "C"
