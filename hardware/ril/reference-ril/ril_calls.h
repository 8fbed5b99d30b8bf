/*
 * Voice calls of the three families: the call list and the call bookkeeping
 * the guard reads, call control and DTMF, the supplementary services, and the
 * call lines of the unsolicited chains.
 */
#ifndef RIL_CALLS_H
#define RIL_CALLS_H

#include <stddef.h>

#include "ril_interface.h"

/* dial strings and tone strings are cut at this length (the command buffer
 * holds 1024 bytes with the command around them) */
#define RIL_DIAL_MAX 256
/* a bounded redial: at most this many redials inside one DIAL request */
#define RIL_REDIAL_MAX 3

#ifdef __cplusplus
extern "C" {
#endif

/* ---- process-wide call bookkeeping ---- */
extern int G_incall;              /* a voice call exists */
extern unsigned int G_Callendtime; /* tick of the last call line other than a call end */
extern int g_callcount;           /* calls in the last WCDMA/LTE answer */
extern int s_needdoublecheck;     /* CDMA: the call list re-queries an empty answer */
extern int s_callend;             /* CDMA: the last call line was a call end or ^LINKED */
extern int s_call_succ;           /* CDMA: ^ORIG: seen since the dial was sent */
extern int is_callconnected;      /* LTE: 0 linked, 4 ringing, 3 ended */
extern int s_userhangup;          /* WCDMA/LTE: a hang-up request is under way */
extern int s_needredial;          /* WCDMA/LTE: the network ended the dial with status 29 */
extern int s_voiceon;             /* WCDMA/LTE: a non-empty list was answered */
extern int s_callactive;          /* LTE: a call is up (SET_MUTE sends only then) */
extern int is_pcm_on;             /* LTE: "AT^PCMCFG=1" was sent */
extern int s_callconnectedmark;   /* set 3 s after a connect; nothing reads it */

/* Per-family call indexes (WCDMA and LTE use every field, CDMA the last
 * voice index, the active index and the ring count). */
typedef struct {
    int lastVoiceIndex;   /* index of the last voice call parsed */
    int activeIndex;      /* first ACTIVE call of the last answer, -1 none (CDMA: id of stat 0) */
    int rememberedActive; /* set by SWITCH, -1 after an empty list */
    int waitIndex;        /* last INCOMING/WAITING/HOLDING call, -1 none */
    int ringCount;        /* RING lines since the last call end */
} RilCallIndexes;
extern RilCallIndexes s_calls_cdma;
extern RilCallIndexes s_calls_wcdma;
extern RilCallIndexes s_calls_lte;

int SetCllState(int state);
int GetCallCount(void);
void checkclcc(void *param);
int GetCCWAStatus(void);

/* Parses one "+CLCC:" line (modified in place; the number points into it)
 * into call. cdmaNumber: a number that fails the dialable test becomes "0"
 * (else it is dropped). Returns 1 for a valid voice call line, 0 for a line
 * that must be dropped (unreadable field, state outside 0-5, non-voice). */
int ril_parse_clcc_line(char *line, int cdmaNumber, RIL_Call *call);

/* 1 when s is a dial string (0-9 * # +) of 1..RIL_DIAL_MAX characters */
int ril_is_dial_string(const char *s);
/* 1 when s is a tone string (0-9 * # A-D) of 1..RIL_DIAL_MAX characters */
int ril_is_tone_string(const char *s);

/* The call lines are the rows of the call group in each family's chain
 * (onUnsolCallLine_<family>, and CDMA's onUnsolLinked_cdma, declared in
 * ril_unsolicited.h). */

#ifdef __cplusplus
}
#endif

#endif
