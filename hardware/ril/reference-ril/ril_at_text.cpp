// Framework texts inside AT commands, the framework's string arrays and
// bounded copies.
#include "ril_at_text.h"

#include <string.h>

extern "C" int ril_is_safe_at_text(const char *s) {
    if (s == nullptr) return 0;
    for (const unsigned char *p = (const unsigned char *)s; *p != '\0'; p++) {
        if (*p == '"' || *p < 0x20 || *p == 0x7f) return 0;
    }
    return 1;
}

extern "C" const char *ril_request_string(const void *data, size_t datalen, size_t index) {
    if (data == nullptr || datalen / sizeof(char *) <= index) return nullptr;
    return ((const char *const *)data)[index];
}

extern "C" size_t ril_copy_text(char *dst, size_t cap, const char *src) {
    if (dst == nullptr || cap == 0) return 0;
    size_t n = src != nullptr ? strnlen(src, cap - 1) : 0;
    if (n > 0) memcpy(dst, src, n);
    dst[n] = '\0';
    return n;
}
