/*
 * How the library reaches the platform: log, properties, absolute paths and
 * the clock. On the device these are the platform's own calls; the host
 * build (RIL_HOST_BUILD) links the stand-ins under host/platform, which add
 * the RIL_SYSROOT path prefix and the RIL_TIME_SCALE clock factor.
 */
#ifndef RIL_PLATFORM_H
#define RIL_PLATFORM_H

#include <stddef.h>

#include <android/log.h>
#include <cutils/properties.h>

#ifdef RIL_HOST_BUILD
#include <ril_host.h>
/* absolute path as the library must open it; NULL when it does not fit */
#define RIL_SYSPATH(path, buf) ril_host_path((path), (buf), sizeof(buf))
static inline long ril_time_scale(void) { return ril_host_time_scale(); }
#else
#include <stdio.h>
static inline const char *ril_device_path(const char *path, char *buf, size_t len) {
    int n = snprintf(buf, len, "%s", path);
    return (n < 0 || (size_t)n >= len) ? NULL : buf;
}
#define RIL_SYSPATH(path, buf) ril_device_path((path), (buf), sizeof(buf))
static inline long ril_time_scale(void) { return 1; }
#endif

#endif
