/* Host-only helpers with no platform counterpart: the path prefix and the
 * clock scale described in the README's host conventions. */
#ifndef RIL_HOST_H
#define RIL_HOST_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* "$RIL_SYSROOT" + path into buf (bounded); returns buf, or NULL when the
 * result would not fit. Relative paths are returned unchanged (copied). */
const char *ril_host_path(const char *path, char *buf, size_t len);
/* The value of $RIL_SYSROOT ("" when unset). */
const char *ril_host_sysroot(void);
/* N of RIL_TIME_SCALE (>= 1). */
long ril_host_time_scale(void);
/* The property directory in use (made on first use when unset). */
const char *ril_host_property_dir(void);
/* The legacy interface calls the daemon library directly; the host daemon
 * registers its callback record here so those calls reach it. */
struct RIL_Env;
void ril_host_set_legacy_env(const struct RIL_Env *env);
/* 1 while the calling thread is inside the daemon library's own
 * RIL_onRequestComplete / RIL_onUnsolicitedResponse, so the host daemon can
 * tell which completion path the library took. */
int ril_host_in_daemon_export(void);
/* Printable name of a notification code ("<unknown>" when unknown). */
const char *ril_host_unsol_name(int code);

#ifdef __cplusplus
}
#endif

#endif
