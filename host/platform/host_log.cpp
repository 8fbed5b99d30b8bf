// Host stand-in for the platform log: logcat-style lines to $RIL_LOG
// (a file, appended) or standard error when unset or "-".
#include <android/log.h>

#include <fcntl.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

namespace {

pthread_mutex_t g_log_lock = PTHREAD_MUTEX_INITIALIZER;
int g_log_fd = -2;  // -2: not opened yet

int log_fd() {
    if (g_log_fd != -2) return g_log_fd;
    const char *dest = getenv("RIL_LOG");
    if (dest == nullptr || dest[0] == '\0' || strcmp(dest, "-") == 0) {
        g_log_fd = STDERR_FILENO;
    } else {
        g_log_fd = open(dest, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (g_log_fd < 0) g_log_fd = STDERR_FILENO;
    }
    return g_log_fd;
}

char priority_letter(int prio) {
    switch (prio) {
        case ANDROID_LOG_VERBOSE: return 'V';
        case ANDROID_LOG_DEBUG: return 'D';
        case ANDROID_LOG_INFO: return 'I';
        case ANDROID_LOG_WARN: return 'W';
        case ANDROID_LOG_ERROR: return 'E';
        case ANDROID_LOG_FATAL: return 'F';
        default: return 'D';
    }
}

// $RIL_LOG_BUFFERS, when set, names a file that gets "<buffer id> <tag>" for
// every record, so a test can tell which log a library writes to.
void note_buffer(int bufID, const char *tag) {
    const char *dest = getenv("RIL_LOG_BUFFERS");
    if (dest == nullptr || dest[0] == '\0') return;
    int fd = open(dest, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    char line[96];
    int n = snprintf(line, sizeof(line), "%d %.64s\n", bufID, tag);
    if (n > 0 && write(fd, line, (size_t)n) < 0) n = -1;
    close(fd);
}

}  // namespace

extern "C" int __android_log_buf_write(int bufID, int prio, const char *tag, const char *text) {
    if (tag == nullptr) tag = "";
    if (text == nullptr) text = "";
    note_buffer(bufID, tag);
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    struct tm tmv;
    localtime_r(&tv.tv_sec, &tmv);
    // One record is one line: embedded line ends in the message are kept as
    // they are, but the record always ends with exactly one newline.
    size_t textlen = strlen(text);
    while (textlen > 0 && (text[textlen - 1] == '\n' || text[textlen - 1] == '\r')) textlen--;
    char head[128];
    int n = snprintf(head, sizeof(head), "%02d-%02d %02d:%02d:%02d.%03d %5d %5d %c %s: ",
                     tmv.tm_mon + 1, tmv.tm_mday, tmv.tm_hour, tmv.tm_min, tmv.tm_sec,
                     (int)(tv.tv_usec / 1000), (int)getpid(), (int)syscall(SYS_gettid),
                     priority_letter(prio), tag);
    if (n < 0) return -1;
    if ((size_t)n >= sizeof(head)) n = sizeof(head) - 1;
    size_t total = (size_t)n + textlen + 1;
    char stackbuf[8192];
    char *line = total <= sizeof(stackbuf) ? stackbuf : (char *)malloc(total);
    if (line == nullptr) return -1;
    memcpy(line, head, (size_t)n);
    memcpy(line + n, text, textlen);
    line[total - 1] = '\n';
    pthread_mutex_lock(&g_log_lock);
    int fd = log_fd();
    size_t off = 0;
    while (off < total) {
        ssize_t w = write(fd, line + off, total - off);
        if (w <= 0) break;
        off += (size_t)w;
    }
    pthread_mutex_unlock(&g_log_lock);
    if (line != stackbuf) free(line);
    return (int)total;
}

extern "C" int __android_log_write(int prio, const char *tag, const char *text) {
    return __android_log_buf_write(LOG_ID_MAIN, prio, tag, text);
}

static int vlog(int bufID, int prio, const char *tag, const char *fmt, va_list ap) {
    char buf[4096];
    vsnprintf(buf, sizeof(buf), fmt, ap);
    return __android_log_buf_write(bufID, prio, tag, buf);
}

extern "C" int __android_log_print(int prio, const char *tag, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    int r = vlog(LOG_ID_MAIN, prio, tag, fmt, ap);
    va_end(ap);
    return r;
}

extern "C" int __android_log_buf_print(int bufID, int prio, const char *tag, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    int r = vlog(bufID, prio, tag, fmt, ap);
    va_end(ap);
    return r;
}
