// Cursor tokenizer for module reply lines, and the hex/quote helpers.
//
// The tokenizer works in place on a writable line: separators and closing
// quotes become terminators, and every field it hands out points into the
// line. It never allocates.
#include "at_reply.h"

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

namespace {

void skipWhiteSpace(char **p_cur) {
    if (*p_cur == nullptr) return;
    while (**p_cur != '\0' && isspace((unsigned char)**p_cur)) (*p_cur)++;
}

// Takes the next field; NULL when the cursor is already exhausted.
char *nextTok(char **p_cur) {
    if (p_cur == nullptr) return nullptr;
    skipWhiteSpace(p_cur);
    if (*p_cur == nullptr) return nullptr;

    char *ret;
    if (**p_cur == '"') {
        (*p_cur)++;
        ret = *p_cur;
        char *close = strchr(ret, '"');
        if (close == nullptr) {
            // unterminated quote: the field is the rest of the line
            *p_cur = nullptr;
            return ret;
        }
        *close = '\0';
        // whatever stands between the closing quote and the comma is dropped
        char *comma = strchr(close + 1, ',');
        *p_cur = comma != nullptr ? comma + 1 : nullptr;
        return ret;
    }
    ret = *p_cur;
    char *comma = strchr(ret, ',');
    if (comma != nullptr) {
        *comma = '\0';
        *p_cur = comma + 1;
    } else {
        *p_cur = nullptr;
    }
    return ret;
}

int nextIntBase(char **p_cur, int *p_out, int base, bool uns) {
    if (p_cur == nullptr || *p_cur == nullptr) return -1;
    char *tok = nextTok(p_cur);
    if (tok == nullptr) return -1;
    char *end = nullptr;
    long l;
    if (uns) {
        l = (long)strtoul(tok, &end, base);
    } else {
        l = strtol(tok, &end, base);
    }
    if (end == tok) return -1;
    if (p_out != nullptr) *p_out = (int)l;
    return 0;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

extern "C" {

int strStartsWith(const char *line, const char *prefix) {
    if (line == nullptr || prefix == nullptr) return 0;
    for (; *prefix != '\0'; line++, prefix++) {
        if (*line != *prefix) return 0;
    }
    return 1;
}

int at_tok_start(char **p_cur) {
    if (p_cur == nullptr || *p_cur == nullptr) return -1;
    char *colon = strchr(*p_cur, ':');
    if (colon == nullptr) {
        *p_cur = nullptr;
        return -1;
    }
    *p_cur = colon + 1;
    return 0;
}

int at_tok_nextint(char **p_cur, int *p_out) { return nextIntBase(p_cur, p_out, 10, false); }

int at_tok_nexthexint(char **p_cur, int *p_out) { return nextIntBase(p_cur, p_out, 16, true); }

int at_tok_nextbool(char **p_cur, char *p_out) {
    int v = 0;
    if (at_tok_nextint(p_cur, &v) < 0) return -1;
    if (v != 0 && v != 1) return -1;
    if (p_out != nullptr) *p_out = (char)v;
    return 0;
}

int at_tok_nextstr(char **p_cur, char **p_out) {
    if (p_cur == nullptr || *p_cur == nullptr) return -1;
    char *tok = nextTok(p_cur);
    if (tok == nullptr) return -1;
    if (p_out != nullptr) *p_out = tok;
    return 0;
}

int at_tok_hasmore(char **p_cur) {
    return (p_cur != nullptr && *p_cur != nullptr && **p_cur != '\0') ? 1 : 0;
}

int gv_hex2b(unsigned char *out, char *hex, int maxbytes) {
    if (out == nullptr || hex == nullptr) return -1;
    size_t remain = strlen(hex);
    if (remain == 0) return 0;
    int produced = 0;
    char *p = hex;
    while (produced < maxbytes) {
        if (remain >= 2) {
            int hi = hexDigit(p[0]);
            int lo = hexDigit(p[1]);
            if (hi < 0 || lo < 0) return -1;
            // converted digits are overwritten with their value
            p[0] = (char)hi;
            p[1] = (char)lo;
            out[produced++] = (unsigned char)((hi << 4) | lo);
            p += 2;
            remain -= 2;
            if (remain == 0) return 0;
        } else {
            int hi = hexDigit(p[0]);
            if (hi < 0) return -1;
            p[0] = (char)hi;
            out[produced++] = (unsigned char)(hi << 4);
            return 0;
        }
    }
    return (int)(remain / 2 + (remain % 2));
}

int gv_b2hex(char *out, const unsigned char *bytes, int count) {
    static const char digits[] = "0123456789ABCDEF";
    if (out == nullptr) return 0;
    if (bytes == nullptr || count <= 0) {
        out[0] = '\0';
        return 0;
    }
    for (int i = 0; i < count; i++) {
        out[2 * i] = digits[bytes[i] >> 4];
        out[2 * i + 1] = digits[bytes[i] & 0x0F];
    }
    out[2 * count] = '\0';
    return 2 * count;
}

int gv_remove_quotes(const char *text, char *out, int capacity) {
    if (text == nullptr || out == nullptr || capacity <= 0) return 0;
    // the copy needs every character but the quotes, plus its terminator
    size_t needed = 0;
    for (const char *p = text; *p != '\0'; p++) {
        if (*p != '"') needed++;
    }
    if (needed + 1 > (size_t)capacity) return 0;
    size_t n = 0;
    for (const char *p = text; *p != '\0'; p++) {
        if (*p != '"') out[n++] = *p;
    }
    out[n] = '\0';
    return 1;
}

}  // extern "C"
