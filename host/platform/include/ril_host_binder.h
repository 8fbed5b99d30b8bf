/* Host-only helpers of the binder stand-in. */
#ifndef RIL_HOST_BINDER_H
#define RIL_HOST_BINDER_H

#ifdef __cplusplus
extern "C" {
#endif

/* The services directory: $RIL_BINDER_DIR, or a fresh /tmp/ril-binder-XXXXXX
 * (mode 0755, so that callers of any uid reach the sockets) made on first use
 * and exported as RIL_BINDER_DIR to child processes. */
const char *ril_host_binder_dir(void);
/* How long a thread waits for the reply to its transaction, in ms (0: for
 * ever, the default); a late reply is dropped. Process-wide. */
void ril_host_binder_set_reply_timeout(long ms);

#ifdef __cplusplus
}
#endif

#endif
