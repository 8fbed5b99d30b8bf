/*
 * The AT pass-through service "ril.at" on the platform's binder, the
 * AT-sender given to the event plug-in, and the queue between them and the
 * AT channel.
 */
#ifndef RIL_AT_SERVICE_H
#define RIL_AT_SERVICE_H

#ifdef __cplusplus
extern "C" {
#endif

struct RIL_Env;

/* Registers "ril.at", starts the binder thread pool and joins it on the
 * calling thread: does not return while the pool runs. */
int ListenATCommand(void);
int execatthrad(const struct RIL_Env *env, int (*queue)(const char *command));

/* the routine that queues a received command (ExecuteATTimer once the
 * service listens) */
extern int (*g_pexecuteat)(const char *command);

/* Queues a copy of command for ExecuteAT on the daemon's event thread.
 * 0 queued; RIL_EXECUTE_REFUSED for a text that is not one bounded command
 * line, RIL_EXECUTE_NO_HOOK while the daemon's timed-callback hook is
 * missing, RIL_EXECUTE_FULL when RIL_EXECUTE_PENDING_MAX commands already
 * wait (each of these is dropped with a log line). */
int ExecuteATTimer(const char *command);
#define RIL_EXECUTE_REFUSED (-1)
#define RIL_EXECUTE_NO_HOOK (-2)
#define RIL_EXECUTE_FULL (-3)
#define RIL_EXECUTE_PENDING_MAX 16
/* A timed callback: sends the owned command text when filtercommand allows
 * it, with no reply expected, and frees it. */
void ExecuteAT(void *command);

/* The AT-sender passed to the event plug-in: sends at once on the caller's
 * thread when filtercommand allows it. 0, or -1 for a refused text. */
int event_atfunc(const char *command);

/* The number in property "ril.kivo.value" (default 0). */
int HasInit(void);

#ifdef __cplusplus
}
#endif

#endif
