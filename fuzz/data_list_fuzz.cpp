// Fuzz target: arbitrary module bytes as the answers to "AT+CGACT?" and
// "AT+CGDCONT?" through the AT reader and the data call list parsers.
//
// Input layout: byte 0 picks the read size and whether only the first
// "+CGACT:" line is kept; the rest is split at the first NUL byte into the
// two answers.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "at_link.h"
#include "ril_data_list.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    setenv("RIL_LOG", "/dev/null", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    size_t chunk = (data[0] & 0x7f) % 33;
    int firstOnly = (data[0] & 0x80) ? 1 : 0;
    const char *rest = (const char *)data + 1;
    size_t len = size - 1;
    const char *nul = (const char *)memchr(rest, '\0', len);
    size_t first = nul != nullptr ? (size_t)(nul - rest) : len;
    const char *second = nul != nullptr ? nul + 1 : rest + len;
    size_t secondLen = nul != nullptr ? len - first - 1 : 0;

    AtReply *act = at_test_feed(rest, first, chunk, MULTILINE, "AT+CGACT?", "+CGACT:", nullptr, nullptr);
    AtReply *ctx = at_test_feed(second, secondLen, chunk, MULTILINE, "AT+CGDCONT?", "+CGDCONT:", nullptr, nullptr);
    RilPdpEntry entries[16];
    int n = act != nullptr ? ril_parse_cgact(act, entries, 16, firstOnly) : -1;
    if (n >= 0 && ctx != nullptr) {
        ril_parse_cgdcont(ctx, entries, n);
        for (int i = 0; i < n; i++) {
            // every type stays terminated within its buffer
            if (strnlen(entries[i].type, sizeof(entries[i].type)) >= sizeof(entries[i].type)) __builtin_trap();
        }
    }
    at_response_free(act);
    at_response_free(ctx);
    return 0;
}
