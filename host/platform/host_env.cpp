// Host stand-ins with no platform counterpart: the RIL_SYSROOT path prefix,
// the RIL_TIME_SCALE clock factor and the property directory.
#include <cutils/properties.h>
#include <ril_host.h>

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" const char *ril_host_sysroot(void) {
    const char *root = getenv("RIL_SYSROOT");
    return root != nullptr ? root : "";
}

extern "C" const char *ril_host_path(const char *path, char *buf, size_t len) {
    if (buf == nullptr || len == 0 || path == nullptr) return nullptr;
    int n;
    if (path[0] == '/')
        n = snprintf(buf, len, "%s%s", ril_host_sysroot(), path);
    else
        n = snprintf(buf, len, "%s", path);
    if (n < 0 || (size_t)n >= len) {
        buf[0] = '\0';
        return nullptr;
    }
    return buf;
}

extern "C" long ril_host_time_scale(void) {
    const char *s = getenv("RIL_TIME_SCALE");
    if (s == nullptr || *s == '\0') return 1;
    char *end = nullptr;
    long v = strtol(s, &end, 10);
    if (end == s || *end != '\0' || v < 1) return 1;
    return v;
}

namespace {
pthread_mutex_t g_dir_lock = PTHREAD_MUTEX_INITIALIZER;
char g_dir[512];
}  // namespace

extern "C" const char *ril_host_property_dir(void) {
    pthread_mutex_lock(&g_dir_lock);
    const char *env = getenv("RIL_PROPERTY_DIR");
    if (env != nullptr && *env != '\0') {
        snprintf(g_dir, sizeof(g_dir), "%s", env);
    } else if (g_dir[0] == '\0') {
        char tmpl[] = "/tmp/ril-properties-XXXXXX";
        if (mkdtemp(tmpl) != nullptr) {
            snprintf(g_dir, sizeof(g_dir), "%s", tmpl);
            // children (pppd stand-ins, shell scripts) see the same store
            setenv("RIL_PROPERTY_DIR", g_dir, 1);
        }
    }
    pthread_mutex_unlock(&g_dir_lock);
    return g_dir;
}

static bool valid_key(const char *key) {
    if (key == nullptr || key[0] == '\0') return false;
    if (strcmp(key, ".") == 0 || strcmp(key, "..") == 0) return false;
    size_t n = strlen(key);
    if (n >= 256) return false;
    for (size_t i = 0; i < n; i++) {
        unsigned char c = (unsigned char)key[i];
        if (c == '/' || c < 0x21 || c == 0x7f) return false;
    }
    return true;
}

extern "C" int property_get(const char *key, char *value, const char *default_value) {
    if (value == nullptr) return 0;
    value[0] = '\0';
    int len = 0;
    bool found = false;
    if (valid_key(key)) {
        char path[1024];
        int n = snprintf(path, sizeof(path), "%s/%s", ril_host_property_dir(), key);
        if (n > 0 && (size_t)n < sizeof(path)) {
            int fd = open(path, O_RDONLY | O_CLOEXEC);
            if (fd >= 0) {
                ssize_t r;
                do {
                    r = read(fd, value, PROPERTY_VALUE_MAX - 1);
                } while (r < 0 && errno == EINTR);
                close(fd);
                if (r >= 0) {
                    value[r] = '\0';
                    len = (int)r;
                    // the platform never returns an empty value from the store
                    found = len > 0;
                }
            }
        }
    }
    if (!found) {
        value[0] = '\0';
        len = 0;
        if (default_value != nullptr) {
            snprintf(value, PROPERTY_VALUE_MAX, "%s", default_value);
            len = (int)strlen(value);
        }
    }
    return len;
}

extern "C" int property_set(const char *key, const char *value) {
    if (!valid_key(key)) return -1;
    if (value == nullptr) value = "";
    size_t vlen = strlen(value);
    if (vlen >= PROPERTY_VALUE_MAX) return -1;
    const char *dir = ril_host_property_dir();
    mkdir(dir, 0755);
    char path[1024], tmp[1100];
    int n = snprintf(path, sizeof(path), "%s/%s", dir, key);
    if (n < 0 || (size_t)n >= sizeof(path)) return -1;
    n = snprintf(tmp, sizeof(tmp), "%s/.%s.%d.%lx", dir, key, (int)getpid(),
                 (unsigned long)pthread_self());
    if (n < 0 || (size_t)n >= sizeof(tmp)) return -1;
    int fd = open(tmp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    size_t off = 0;
    while (off < vlen) {
        ssize_t w = write(fd, value + off, vlen - off);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) break;
        off += (size_t)w;
    }
    close(fd);
    if (off != vlen || rename(tmp, path) != 0) {
        unlink(tmp);
        return -1;
    }
    return 0;
}
