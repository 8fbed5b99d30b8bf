/*
 * The AT filter shared by the AT service, the event plug-in and the call
 * lines: a "+VTYPE" command that arrives outside a call is held back in
 * g_vtypecache and replayed when a call connects ("^CONN"). Beside it, the
 * checks every command from outside the library passes (one line, bounded)
 * and the masking of PINs and passwords in the log lines that print them.
 */
#ifndef RIL_AT_FILTER_H
#define RIL_AT_FILTER_H

#include <pthread.h>
#include <stddef.h>

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

/* 1 = send the command now, 0 = do not send it. Outside a call a "+VTYPE"
 * command (any case) is held in g_vtypecache in upper case and not sent;
 * during a call every text with "AT" is sent (a "+VTYPE" one also held) and
 * any other is not. A "+VTYPE" command that does not fit the cache is
 * neither held nor, outside a call, sent. */
int filtercommand(const char *command);

/* The longest command text accepted from outside the library. */
#define RIL_OUTSIDE_COMMAND_MAX 512

/* 1 when len bytes of text are one command line the module may get: 1 to
 * RIL_OUTSIDE_COMMAND_MAX bytes and no control byte (a CR or LF would end
 * the line and start a second command, a Ctrl-Z would complete a pending SMS
 * prompt, a NUL would cut it). 0 otherwise. */
int ril_outside_command_ok(const char *text, size_t len);

/* Copies command into out (bounded, always terminated) with the arguments of
 * "+CPIN", "+CPWD" and "+CLCK" (any case) replaced by "***", for log lines.
 * Returns out. */
const char *ril_mask_command(const char *command, char *out, size_t outlen);

#ifdef __cplusplus
}
#endif

#endif
