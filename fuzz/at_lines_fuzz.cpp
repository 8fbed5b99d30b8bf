// Fuzz target: arbitrary module bytes through the AT reader's line cutting
// and line sorting, and every line that comes out through the tokenizer and
// the hex and quote helpers.
//
// Input layout: byte 0 picks the pending command's kind (or none), byte 1
// the read size, byte 2 the expected prefix, byte 3 the command text; the
// rest is the byte stream from the port.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "at_link.h"
#include "at_reply.h"
#include "ril_log.h"

namespace {

const char *const kPrefixes[] = {nullptr,  "+CSQ:",  "+CGSN:", "+CMGR:", "+CMGL:",
                                 "+CREG:", "^MEID:", "",       "+CSQ: ", "+CIMI:"};
const char *const kCommands[] = {"AT+CSQ",      "AT+CCWA=1,2", "AT+CCFC=0,2", "AT+CMGS=12",
                                 "AT+CMGR=1",   "AT+CLCC",     "ATD10086;",   "AT+CGSN"};

void exerciseLine(const char *line) {
    size_t len = strnlen(line, 16384);
    char *copy = (char *)malloc(len + 1);
    if (copy == nullptr) return;
    memcpy(copy, line, len);
    copy[len] = '\0';

    // tokenizer: every kind of field in turn until the line is used up
    char *cur = copy;
    if (at_tok_start(&cur) == 0) {
        for (int i = 0; i < 4096 && at_tok_hasmore(&cur); i++) {
            int v;
            char b;
            char *s;
            switch (i % 4) {
                case 0: at_tok_nextint(&cur, &v); break;
                case 1: at_tok_nextstr(&cur, &s); break;
                case 2: at_tok_nexthexint(&cur, &v); break;
                default: at_tok_nextbool(&cur, &b); break;
            }
        }
    }
    strStartsWith(line, "+CSQ:");

    // hex and quotes, on fresh copies
    memcpy(copy, line, len + 1);
    unsigned char bytes[64];
    gv_hex2b(bytes, copy, (int)sizeof(bytes));
    char hex[2 * sizeof(bytes) + 1];
    gv_b2hex(hex, bytes, (int)sizeof(bytes));
    char unq[32];
    gv_remove_quotes(line, unq, (int)sizeof(unq));
    free(copy);
}

void onUnsol(const char *line, const char *body) {
    exerciseLine(line);
    if (body != nullptr) exerciseLine(body);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    setenv("RIL_LOG", "/dev/null", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 4) return 0;
    int kind = (int)(data[0] % 6) - 1;  // -1 none, 0..3 the kinds, 4 unknown
    size_t chunk = data[1];
    const char *prefix = kPrefixes[data[2] % (sizeof(kPrefixes) / sizeof(kPrefixes[0]))];
    size_t ci = data[3] % (sizeof(kCommands) / sizeof(kCommands[0]));
    const char *command = kCommands[ci];
    const char *pdu = (ci == 3) ? "0011000B915121551532F40000AA0AE8329BFD4697D9EC37" : nullptr;

    AtReply *p = at_test_feed((const char *)data + 4, size - 4, chunk, kind, command, prefix, pdu,
                              onUnsol);
    if (p != nullptr) {
        for (ReplyLine *l = p->p_intermediates; l != nullptr; l = l->p_next) exerciseLine(l->line);
        if (p->finalResponse != nullptr) exerciseLine(p->finalResponse);
        at_get_cme_error(p);
        at_response_free(p);
    }
    return 0;
}
