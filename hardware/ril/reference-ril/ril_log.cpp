// Debug log switch, raw-line dump and the millisecond clock.
#include "ril_log.h"

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/time.h>
#include <time.h>

extern "C" {

int g_debugmode = 1;

int RILDEBUG(const char *fmt, ...) {
    if (g_debugmode == 0) return 0;
    char buf[4096];
    memset(buf, 0, sizeof(buf));
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof(buf), fmt, ap);
    va_end(ap);
    return AT_LOGD("%s", buf);
}

void AT_DUMP(const char * /*prefix*/, const char *buf, int len) {
    if (buf == nullptr) return;
    if (len < 0) len = (int)strlen(buf);
    RILDEBUG("%.*s", len, buf);
}

unsigned int GetTickCount(void) {
    struct timeval tv;
    if (gettimeofday(&tv, nullptr) != 0) return 0;
    // the host clock may run faster (RIL_TIME_SCALE); the product is taken
    // modulo 2^32 so unsigned differences of readings stay exact
    uint64_t ms = (uint64_t)tv.tv_sec * 1000u + (uint64_t)tv.tv_usec / 1000u;
    return (unsigned int)(ms * (uint64_t)ril_time_scale());
}

void sleepMsec(long long msec) {
    if (msec <= 0) return;
    long long ns = msec * 1000000LL / ril_time_scale();
    struct timespec ts;
    ts.tv_sec = (time_t)(ns / 1000000000LL);
    ts.tv_nsec = (long)(ns % 1000000000LL);
    struct timespec rem;
    while (nanosleep(&ts, &rem) != 0) {
        if (errno != EINTR) break;
        ts = rem;
    }
}

int IsLittleEndian(void) { return 1; }

}  // extern "C"
