// Parsers of card and module answers, pure routines on caller-owned
// buffers: the USIM FCP conversions into the SIM GET RESPONSE layout, the
// CDMA record-file GET RESPONSE rewrite, and the "+COPS=?" operator list.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "at_reply.h"
#include "ril_network_select.h"
#include "ril_sim_io.h"

extern "C" {
const int RESPONSE_DATA_RFU_1 = 0;
const int RESPONSE_DATA_RFU_2 = 1;
const int RESPONSE_DATA_FILE_SIZE_1 = 2;
const int RESPONSE_DATA_FILE_SIZE_2 = 3;
const int RESPONSE_DATA_FILE_ID_1 = 4;
const int RESPONSE_DATA_FILE_ID_2 = 5;
const int RESPONSE_DATA_FILE_TYPE = 6;
const int RESPONSE_DATA_RFU_3 = 7;
const int RESPONSE_DATA_ACCESS_CONDITION_1 = 8;
const int RESPONSE_DATA_ACCESS_CONDITION_2 = 9;
const int RESPONSE_DATA_ACCESS_CONDITION_3 = 10;
const int RESPONSE_DATA_FILE_STATUS = 11;
const int RESPONSE_DATA_LENGTH = 12;
const int RESPONSE_DATA_STRUCTURE = 13;
const int RESPONSE_DATA_RECORD_LENGTH = 14;
const int GET_RESPONSE_EF_SIZE_BYTES = 15;
const int GET_RESPONSE_EF_IMG_SIZE_BYTES = 10;
const int TYPE_RFU = 0;
const int TYPE_MF = 1;
const int TYPE_DF = 2;
const int TYPE_EF = 4;
const int EF_ICCID = 0x2FE2;
const int COMMAND_READ_BINARY = 176;
const int COMMAND_UPDATE_BINARY = 214;
const int COMMAND_READ_RECORD = 178;
const int COMMAND_UPDATE_RECORD = 220;
const int COMMAND_SEEK = 162;
const int COMMAND_GET_RESPONSE = 192;

const char kIccidGetResponse[] = "0000000a2fe2040000000000000000";
const char kFixedIccid[] = "98681031098310024233";
}

namespace {

// the longest card answer the conversions look at (bytes)
constexpr size_t kMaxAnswerBytes = 256;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes an even-length hex text into out (at most cap bytes); -1 when the
// text is odd, too long or not hex. The text itself is not touched.
int decodeHex(const char *hex, size_t len, unsigned char *out, size_t cap) {
    if (len % 2 != 0 || len / 2 > cap) return -1;
    for (size_t i = 0; i < len; i += 2) {
        int hi = hexValue(hex[i]), lo = hexValue(hex[i + 1]);
        if (hi < 0 || lo < 0) return -1;
        out[i / 2] = (unsigned char)(hi << 4 | lo);
    }
    return (int)(len / 2);
}

void encodeHexLower(const unsigned char *in, size_t n, char *out) {
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < n; i++) {
        out[2 * i] = digits[in[i] >> 4];
        out[2 * i + 1] = digits[in[i] & 0x0F];
    }
    out[2 * n] = '\0';
}

// The FCP walk of the WCDMA and LTE conversion: fills res (15 bytes) from the
// template; false when an element runs past the template or is too short
// for what is read from it.
bool walkFcp(const unsigned char *b, size_t total, unsigned char *res) {
    size_t end = total;  // byte count equals template length + 2
    size_t i = 2;
    bool isDf = false;
    while (i < end) {
        if (i + 2 > end) return false;
        unsigned tag = b[i];
        size_t len = b[i + 1];
        const unsigned char *v = b + i + 2;
        if (i + 2 + len > end) return false;
        if (tag == 0x80) {
            if (len < 2) return false;
            res[RESPONSE_DATA_FILE_SIZE_1] = v[0];
            res[RESPONSE_DATA_FILE_SIZE_2] = v[1];
        } else if (tag == 0x83) {
            if (len < 2) return false;
            res[RESPONSE_DATA_FILE_ID_1] = v[0];
            res[RESPONSE_DATA_FILE_ID_2] = v[1];
        } else if (tag == 0x82) {
            if (len < 1) return false;
            unsigned d = v[0];
            unsigned kind = d >> 3 & 7;
            unsigned low = d & 7;
            if (kind == 0 || kind == 1) {
                res[RESPONSE_DATA_FILE_TYPE] = (unsigned char)TYPE_EF;
            } else if (kind == 7 && low == 0) {
                res[RESPONSE_DATA_FILE_TYPE] = (unsigned char)TYPE_DF;
                isDf = true;
            }
            if (!isDf) {
                if (low == 2) res[RESPONSE_DATA_STRUCTURE] = 1;
                if (low == 3) res[RESPONSE_DATA_STRUCTURE] = 3;
            }
            if ((low == 2 || low == 3) && len == 5) res[RESPONSE_DATA_RECORD_LENGTH] = v[3];
        }
        i += 2 + len;
    }
    return true;
}

}  // namespace

extern "C" int ril_usim_to_sim(RIL_SIM_IO_Response *resp, char *buf, size_t cap) {
    if (resp == nullptr || resp->simResponse == nullptr) return 0;
    const char *text = resp->simResponse;
    size_t n = strnlen(text, 2 * kMaxAnswerBytes + 1);
    if (n == 0) {
        resp->simResponse = nullptr;
        return 0;
    }
    if (n < 4 || buf == nullptr || cap < 31) return 0;
    unsigned char b[kMaxAnswerBytes];
    int count = decodeHex(text, n, b, sizeof(b));
    if (count < 2 || b[0] != 0x62 || (size_t)count != (size_t)b[1] + 2) return 0;
    unsigned char res[15];
    memset(res, 0, sizeof(res));
    if (!walkFcp(b, (size_t)count, res)) return 0;
    encodeHexLower(res, sizeof(res), buf);
    resp->simResponse = buf;
    if (resp->sw1 != 0x90 && resp->sw1 != 0x91 && resp->sw1 != 0x9E && resp->sw1 != 0x9F) resp->sw1 = 0x90;
    return 1;
}

extern "C" int ril_is_hex_text(const char *s, size_t maxlen) {
    if (s == nullptr) return 0;
    size_t n = strnlen(s, maxlen + 1);
    if (n > maxlen || n % 2 != 0) return 0;
    for (size_t i = 0; i < n; i++)
        if (hexValue(s[i]) < 0) return 0;
    return 1;
}

/* ------------------------------------------------------------------ */
/* fcp_to_res                                                           */
/* ------------------------------------------------------------------ */

extern "C" int fcp_to_res(const char *fcp, char *out, int outsize) {
    if (fcp == nullptr) return -1;
    size_t n = strnlen(fcp, 61);
    unsigned char b[30];
    if (n > 60) return -1;
    int count = decodeHex(fcp, n, b, sizeof(b));
    if (count < 2 || b[0] != 0x62) return -1;
    size_t end = (size_t)count;
    bool haveId = false, haveDesc = false, haveSize = false;
    int fileId = 0, fileSize = 0, structure = 0, recLen = 0;
    size_t i = 2;
    while (i < end) {
        if (i + 2 > end) return -1;
        unsigned tag = b[i];
        size_t len = b[i + 1];
        const unsigned char *v = b + i + 2;
        if (i + 2 + len > end) return -1;
        switch (tag) {
            case 0x80:
                if (len < 2) return -1;
                fileSize = len == 2 ? (v[0] << 8 | v[1]) : 0;
                haveSize = true;
                break;
            case 0x81:
                if (len < 2) return -1;
                break;
            case 0x82: {
                if ((len != 2 && len != 5) || end - i < 7) return -1;
                recLen = len == 5 ? v[3] : 0xFF;
                unsigned d = v[0] & 0x87;
                structure = d == 2 ? 1 : d == 6 ? 3 : d == 1 ? 0 : -1;
                haveDesc = true;
                break;
            }
            case 0x83:
                if (len != 2) return -1;
                fileId = v[0] << 8 | v[1];
                haveId = true;
                break;
            case 0x84:
                if (len == 0 || len > 16) return -1;
                break;
            case 0x88:
                if (len > 1) return -1;
                break;
            case 0x8A:
                if (len != 1) return -1;
                break;
            case 0x8B:
            case 0x8C:
            case 0xA5:
            case 0xAB:
            case 0xC6:
                break;
            default:
                return -1;
        }
        i += 2 + len;
    }
    if (!haveId || !haveDesc || structure < 0) return -1;
    unsigned char res[15];
    memset(res, 0, sizeof(res));
    if (!haveSize && fileId == EF_ICCID) fileSize = 10;
    res[RESPONSE_DATA_FILE_SIZE_1] = (unsigned char)(fileSize >> 8);
    res[RESPONSE_DATA_FILE_SIZE_2] = (unsigned char)fileSize;
    res[RESPONSE_DATA_FILE_ID_1] = (unsigned char)(fileId >> 8);
    res[RESPONSE_DATA_FILE_ID_2] = (unsigned char)fileId;
    res[RESPONSE_DATA_FILE_TYPE] = (unsigned char)TYPE_EF;
    res[RESPONSE_DATA_LENGTH] = 2;
    if (structure != 0) {
        res[RESPONSE_DATA_STRUCTURE] = (unsigned char)structure;
        if (structure == 3) res[RESPONSE_DATA_RFU_3] = 1;
        res[RESPONSE_DATA_RECORD_LENGTH] = (unsigned char)recLen;
    }
    // a buffer that cannot take the answer is a failure, not a silent success
    if (out == nullptr || outsize <= 30) return -1;
    gv_b2hex(out, res, (int)sizeof(res));
    return 0;
}


extern "C" int ril_rru_record_fix(char *r) {
    if (r == nullptr) return 0;
    size_t n = strnlen(r, 2 * kMaxAnswerBytes + 1);
    if (n < 30 || n > 2 * kMaxAnswerBytes) return 0;
    if (strncmp(r, "62", 2) != 0 || strncmp(r + 6, "05", 2) != 0) return 0;
    unsigned char b[15];
    if (decodeHex(r, 30, b, sizeof(b)) != 15) return 0;
    // the template must hold the descriptor (82 05 ...) and the file id
    // element (83 02 ...) where the rewrite reads them
    if (b[2] != 0x82 || b[9] != 0x83 || b[10] != 0x02 || (size_t)b[1] + 2 < 13) return 0;
    char tpl[31];
    memcpy(tpl, r, 30);
    tpl[30] = '\0';
    unsigned size = ((unsigned)b[6] * 256u + b[7]) * b[8] & 0xFFFFu;
    char sizeText[5];
    snprintf(sizeText, sizeof(sizeText), "%04x", size);
    memcpy(r + 0, "0000", 4);
    memcpy(r + 4, sizeText, 4);
    memcpy(r + 8, tpl + 22, 4);
    r[13] = '4';
    memcpy(r + 26, "01", 2);
    memcpy(r + 28, tpl + 14, 2);
    r[30] = '\0';
    return 1;
}


namespace {

// Copies a name field without its quotes, cut to the slot's 19 characters
// first (the quote remover refuses a text that does not fit).
void copyName(const char *field, size_t len, char *slot) {
    char cut[RIL_COPS_TEXT_SIZE * 2];
    size_t kept = 0, n = 0;
    for (size_t i = 0; i < len && n + 1 < sizeof(cut); i++) {
        if (field[i] != '"') {
            if (kept == RIL_COPS_TEXT_SIZE - 1) break;
            kept++;
        }
        cut[n++] = field[i];
    }
    cut[n] = '\0';
    if (!gv_remove_quotes(cut, slot, RIL_COPS_TEXT_SIZE)) slot[0] = '\0';
}

const char *statusText(int v) {
    switch (v) {
        case 0: return "unknown";
        case 1: return "available";
        case 2: return "current";
        case 3: return "forbidden";
        default: return "";
    }
}

// the next comma outside double quotes at or after p, before end; end when none
const char *nextComma(const char *p, const char *end) {
    bool quoted = false;
    for (; p < end; p++) {
        if (*p == '"') quoted = !quoted;
        if (*p == ',' && !quoted) return p;
    }
    return end;
}

// the first ",," outside quotes; NULL when none
const char *findModeLists(const char *s) {
    bool quoted = false;
    for (const char *p = s; *p != '\0'; p++) {
        if (*p == '"') quoted = !quoted;
        if (!quoted && p[0] == ',' && p[1] == ',') return p;
    }
    return nullptr;
}

}  // namespace

extern "C" int ril_parse_cops_list(const char *line, RilCopsEntry *out, int max) {
    if (line == nullptr || out == nullptr) return -1;
    const char *end = findModeLists(line);
    if (end == nullptr) return -1;
    const char *p = line;
    if (strncmp(p, "+COPS:", 6) == 0) p += 6;
    int count = 0;
    while (count < max && count < RIL_COPS_MAX_ENTRIES) {
        const char *open = (const char *)memchr(p, '(', (size_t)(end - p));
        if (open == nullptr) break;
        // the entry ends at the first ')' outside quotes
        const char *close = nullptr;
        bool quoted = false;
        for (const char *q = open + 1; q < end; q++) {
            if (*q == '"') quoted = !quoted;
            if (*q == ')' && !quoted) {
                close = q;
                break;
            }
        }
        if (close == nullptr) break;
        const char *f[5];
        const char *fe[5];
        const char *cur = open + 1;
        int nf = 0;
        while (nf < 5 && cur <= close) {
            const char *c = nextComma(cur, close);
            f[nf] = cur;
            fe[nf] = c;
            nf++;
            if (c >= close) break;
            cur = c + 1;
        }
        if (nf < 4) break;
        RilCopsEntry *e = &out[count];
        memset(e, 0, sizeof(*e));
        char num[8];
        size_t sl = (size_t)(fe[0] - f[0]);
        if (sl >= sizeof(num)) sl = sizeof(num) - 1;
        memcpy(num, f[0], sl);
        num[sl] = '\0';
        char *np = num;
        int st = -1;
        if (at_tok_nextint(&np, &st) < 0) st = -1;
        snprintf(e->status, sizeof(e->status), "%s", statusText(st));
        copyName(f[1], (size_t)(fe[1] - f[1]), e->longName);
        copyName(f[2], (size_t)(fe[2] - f[2]), e->shortName);
        copyName(f[3], (size_t)(fe[3] - f[3]), e->numeric);
        count++;
        p = close + 1;
    }
    return count;
}

