// Event plug-in for tests: appends one line per event to $KVPLUGIN_RECORD,
// "EVENT <code> <argument>", where the argument is the operator text for
// event 4 and "-" otherwise.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

typedef int (*kv_atfunc)(const char *cmd);

extern "C" __attribute__((visibility("default"))) void kv_eventfun(kv_atfunc sender, int event, void *arg);

extern "C" __attribute__((visibility("default"))) void kv_eventfun(kv_atfunc /*sender*/, int event,
                                                                   void *arg) {
    const char *path = getenv("KVPLUGIN_RECORD");
    if (path == nullptr || *path == '\0') return;
    char line[256];
    const char *text = (event == 4 && arg != nullptr) ? (const char *)arg : "-";
    int n = snprintf(line, sizeof(line), "EVENT %d %.200s\n", event, text);
    if (n <= 0) return;
    if ((size_t)n >= sizeof(line)) n = sizeof(line) - 1;
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    ssize_t w = write(fd, line, (size_t)n);
    (void)w;
    close(fd);
}
