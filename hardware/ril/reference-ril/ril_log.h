/* Diagnostic logging and the millisecond clock shared by every unit. */
#ifndef RIL_LOG_H
#define RIL_LOG_H

#include <stdint.h>

#include "ril_platform.h"

#ifdef __cplusplus
extern "C" {
#endif

extern int g_debugmode;

/* Debug chatter, tag "AT", switched by "ril.debug"; cut at 4095 characters. */
int RILDEBUG(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
/* Logs len bytes of buf (negative: the whole string) through RILDEBUG. */
void AT_DUMP(const char *prefix, const char *buf, int len);
unsigned int GetTickCount(void);
void sleepMsec(long long msec);
int IsLittleEndian(void);

#ifdef __cplusplus
}
#endif

/* Lines that are always written, whatever "ril.debug" says. The legacy
   interface's daemon reads the main log, the current one the radio log. */
#if RIL_VERSION >= 15
#define RIL_LOG_(prio, tag, ...) __android_log_buf_print(LOG_ID_RADIO, prio, tag, __VA_ARGS__)
#else
#define RIL_LOG_(prio, tag, ...) __android_log_print(prio, tag, __VA_ARGS__)
#endif
#define RIL_LOGD(...) RIL_LOG_(ANDROID_LOG_DEBUG, "RIL", __VA_ARGS__)
#define RIL_LOGI(...) RIL_LOG_(ANDROID_LOG_INFO, "RIL", __VA_ARGS__)
#define RIL_LOGE(...) RIL_LOG_(ANDROID_LOG_ERROR, "RIL", __VA_ARGS__)
#define AT_LOGD(...) RIL_LOG_(ANDROID_LOG_DEBUG, "AT", __VA_ARGS__)
#define AT_LOGI(...) RIL_LOG_(ANDROID_LOG_INFO, "AT", __VA_ARGS__)
#define AT_LOGE(...) RIL_LOG_(ANDROID_LOG_ERROR, "AT", __VA_ARGS__)

#endif
