// Fuzz target: arbitrary module bytes as the answer to "AT+CLCC", cut into
// lines by the AT reader, and every "+CLCC:" line through the call-list
// parser of both numbering rules. A line the parser accepts must describe a
// voice call in one of the six call states with a dialable number (or none,
// or the CDMA placeholder "0") that lies inside the line.
//
// Input layout: byte 0 the read size; the rest is the byte stream from the port.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "at_link.h"
#include "ril_calls.h"

namespace {

void check(const char *line) {
    size_t len = strnlen(line, 16384);
    for (int cdma = 0; cdma < 2; cdma++) {
        char *copy = (char *)malloc(len + 1);
        if (copy == nullptr) return;
        memcpy(copy, line, len);
        copy[len] = '\0';
        RIL_Call c;
        memset(&c, 0, sizeof(c));
        if (ril_parse_clcc_line(copy, cdma, &c)) {
            if ((int)c.state < 0 || (int)c.state > 5 || c.isVoice != 1) abort();
            if (c.number != nullptr) {
                bool inside = c.number >= copy && c.number <= copy + len;
                if (!inside && !(cdma && strcmp(c.number, "0") == 0)) abort();
                if (inside && strspn(c.number, "+0123456789") == 0) abort();
            }
        }
        free(copy);
    }
}

void noUnsol(const char *, const char *) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    setenv("RIL_LOG", "/dev/null", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    size_t chunk = data[0];
    AtReply *reply = at_test_feed((const char *)data + 1, size - 1, chunk, MULTILINE, "AT+CLCC", "+CLCC:",
                                  nullptr, noUnsol);
    if (reply != nullptr) {
        for (ReplyLine *l = reply->p_intermediates; l != nullptr; l = l->p_next) check(l->line);
        at_response_free(reply);
    }
    return 0;
}
