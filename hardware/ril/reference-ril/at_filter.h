/*
 * The AT filter shared by the AT service, the event plug-in and the call
 * lines: a "+VTYPE" command that arrives outside a call is held back in
 * g_vtypecache and replayed when a call connects ("^CONN").
 */
#ifndef RIL_AT_FILTER_H
#define RIL_AT_FILTER_H

#include <pthread.h>

#ifdef __cplusplus
extern "C" {
#endif

/* the last "+VTYPE" command held back; empty initially; guarded by resumefilter_mtx */
extern char g_vtypecache[128];
extern pthread_mutex_t resumefilter_mtx;

/* What the replay on "^CONN" does with the held command, per family. */
enum VoiceTypeReplay {
    VTYPE_REPLAY_SEND_AND_CLEAR = 0, /* CDMA */
    VTYPE_REPLAY_SEND_AND_KEEP = 1,  /* WCDMA */
    VTYPE_REPLAY_NOTHING = 2,        /* LTE: the lock is taken and released */
};

/* Runs the replay under resumefilter_mtx (on the event thread: it may send
 * on the AT channel), then tells the plug-in event 1 (call connected). */
void ReplayHeldVoiceType(enum VoiceTypeReplay how);

#ifdef __cplusplus
}
#endif

#endif
