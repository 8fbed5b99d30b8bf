// SIM file access of the three families: "AT+CRSM" (WCDMA, LTE) and
// "AT^RRU" (CDMA), the USIM FCP answers turned into the SIM GET RESPONSE
// layout the framework reads, the EF_ICCID fallbacks, and the RUIM preset
// writes made after the CDMA card is ready.
#include "ril_sim_io.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "at_link.h"
#include "at_reply.h"
#include "ril_at_text.h"
#include "ril_families.h"
#include "ril_handlers.h"
#include "ril_log.h"

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

// the longest data text a command carries: one record or chunk of 255 bytes
constexpr size_t kMaxDataHex = 510;
// the longest path: MF, DF, DF, EF
constexpr size_t kMaxPathHex = 16;
// the longest card answer the conversions look at (bytes)
constexpr size_t kMaxAnswerBytes = 256;

char s_fcpbuf_wcdma[32];
char s_fcpbuf_lte[32];

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

void usimToSim(RIL_SIM_IO_Response *resp, char *buf) {
    if (resp == nullptr || resp->simResponse == nullptr) return;
    const char *text = resp->simResponse;
    size_t n = strlen(text);
    if (n == 0) {
        resp->simResponse = nullptr;
        return;
    }
    if (n < 4) return;
    unsigned char b[kMaxAnswerBytes];
    int count = decodeHex(text, n, b, sizeof(b));
    if (count < 2 || b[0] != 0x62 || (size_t)count != (size_t)b[1] + 2) return;
    unsigned char res[15];
    memset(res, 0, sizeof(res));
    if (!walkFcp(b, (size_t)count, res)) {
        RILDEBUG("usim2sim: malformed FCP passed on: %s", text);
        return;
    }
    encodeHexLower(res, sizeof(res), buf);
    resp->simResponse = buf;
    if (resp->sw1 != 0x90 && resp->sw1 != 0x91 && resp->sw1 != 0x9E && resp->sw1 != 0x9F) resp->sw1 = 0x90;
}

}  // namespace

extern "C" void usim2sim(RIL_SIM_IO_Response *resp) { usimToSim(resp, s_fcpbuf_lte); }
extern "C" void usim2sim_wcdma(RIL_SIM_IO_Response *resp) { usimToSim(resp, s_fcpbuf_wcdma); }

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

/* ------------------------------------------------------------------ */
/* WCDMA and LTE SIM_IO                                                 */
/* ------------------------------------------------------------------ */

namespace {

struct IoFamily {
    const char *name;
    void (*complete)(RIL_Token, RIL_Errno, void *, size_t);
    void (*convert)(RIL_SIM_IO_Response *);
};

const IoFamily kIoWcdma = {"OnWCDMA_RIL_REQUEST_SIM_IO", RIL_onRequestComplete_wcdma, usim2sim_wcdma};
const IoFamily kIoLte = {"OnLTE_RIL_REQUEST_SIM_IO", RIL_onRequestComplete_lte, usim2sim};

// reads "sw1,sw2[,response]" of a reply line; false when sw1/sw2 cannot be read
bool readSimAnswer(char *line, RIL_SIM_IO_Response *sr) {
    if (at_tok_start(&line) < 0 || at_tok_nextint(&line, &sr->sw1) < 0 || at_tok_nextint(&line, &sr->sw2) < 0)
        return false;
    if (at_tok_hasmore(&line)) {
        char *text = nullptr;
        if (at_tok_nextstr(&line, &text) < 0) return false;
        sr->simResponse = text;
    }
    return true;
}

// The "+QCCID:" retry: the ICCID digits in EF layout (pairs swapped) into
// out, or the fixed ICCID.
void iccidFromQccid(const char *cmd, char *out, size_t cap) {
    ril_copy_text(out, cap, kFixedIccid);
    AtReply *p = nullptr;
    int err = at_send_command_singleline(cmd, "+QCCID:", &p);
    if (err == 0 && p != nullptr && p->success && p->p_intermediates != nullptr) {
        char *line = p->p_intermediates->line;
        char *text = nullptr;
        if (at_tok_start(&line) >= 0 && at_tok_nextstr(&line, &text) >= 0 && text != nullptr) {
            size_t n = strlen(text);
            if (n % 2 == 0 && n < cap && ril_is_hex_text(text, cap - 1)) {
                for (size_t i = 0; i < n; i += 2) {
                    out[i] = text[i + 1];
                    out[i + 1] = text[i];
                }
                out[n] = '\0';
            }
        }
    }
    at_response_free(p);
}

void simIo3gpp(const IoFamily &f, void *data, size_t datalen, RIL_Token t) {
    if (data == nullptr || datalen < sizeof(RIL_SIM_IO_v6)) {
        f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    RIL_SIM_IO_v6 io = *(const RIL_SIM_IO_v6 *)data;
    if (io.data != nullptr && !ril_is_hex_text(io.data, kMaxDataHex)) {
        RILDEBUG("%s: data is not a hex text", f.name);
        f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    if (io.command == COMMAND_GET_RESPONSE) io.p3 = 0;
    if (io.command == COMMAND_READ_BINARY && io.fileid == EF_ICCID && io.p3 == 15) io.p3 = 10;
    char cmd[640];
    if (io.data != nullptr) {
        snprintf(cmd, sizeof(cmd), "AT+CRSM=%d,%d,%d,%d,%d,\"%s\"", io.command, io.fileid, io.p1, io.p2, io.p3,
                 io.data);
    } else {
        RILDEBUG("%s: no data", f.name);
        snprintf(cmd, sizeof(cmd), "AT+CRSM=%d,%d,%d,%d,%d", io.command, io.fileid, io.p1, io.p2, io.p3);
    }
    RIL_SIM_IO_Response sr;
    memset(&sr, 0, sizeof(sr));
    AtReply *p = nullptr;
    int err = at_send_command_singleline(cmd, "+CRSM:", &p);
    bool ok = err == 0 && p != nullptr && p->success && p->p_intermediates != nullptr &&
              readSimAnswer(p->p_intermediates->line, &sr);
    if (ok) {
        if (io.command == COMMAND_GET_RESPONSE) f.convert(&sr);
        if (!(io.fileid == EF_ICCID && sr.simResponse == nullptr)) {
            f.complete(t, RIL_E_SUCCESS, &sr, sizeof(sr));
            at_response_free(p);
            return;
        }
    }
    at_response_free(p);
    if (io.fileid == EF_ICCID &&
        (io.command == COMMAND_GET_RESPONSE || io.command == COMMAND_READ_BINARY)) {
        char iccid[64];
        RIL_SIM_IO_Response fixed;
        memset(&fixed, 0, sizeof(fixed));
        fixed.sw1 = 0x90;
        fixed.sw2 = 0;
        if (io.command == COMMAND_GET_RESPONSE) {
            ril_copy_text(iccid, sizeof(iccid), kIccidGetResponse);
        } else {
            iccidFromQccid(cmd, iccid, sizeof(iccid));
        }
        fixed.simResponse = iccid;
        f.complete(t, RIL_E_SUCCESS, &fixed, sizeof(fixed));
        return;
    }
    RILDEBUG("%s error\n", f.name);
    f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
}

}  // namespace

extern "C" void OnWCDMA_RIL_REQUEST_SIM_IO(void *data, size_t datalen, RIL_Token t) {
    simIo3gpp(kIoWcdma, data, datalen, t);
}
extern "C" void OnLTE_RIL_REQUEST_SIM_IO(void *data, size_t datalen, RIL_Token t) {
    simIo3gpp(kIoLte, data, datalen, t);
}

/* ------------------------------------------------------------------ */
/* CDMA SIM_IO                                                          */
/* ------------------------------------------------------------------ */

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

struct RruKind {
    const char *withData;
    const char *withoutData;
    const char *prefix;
};

const RruKind kRru = {"AT^RRU=%d,%d,%d,%d,%d,\"%s\",\"%s\"", "AT^RRU=%d,%d,%d,%d,%d,,\"%s\"", "^RRU:"};
const RruKind kCrshWithPath = {"AT+CRSM=%d,%d,%d,%d,%d,\"%s\",\"%s\"", "AT+CRSM=%d,%d,%d,%d,%d,,\"%s\"",
                               "+CRSM:"};

void simIoWithPath(const RruKind &k, void *data, size_t datalen, RIL_Token t) {
    if (data == nullptr || datalen < sizeof(RIL_SIM_IO_v6)) {
        RIL_onRequestComplete_cdma(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    const RIL_SIM_IO_v6 *io = (const RIL_SIM_IO_v6 *)data;
    // the path goes inside quotes: hex digits only, whole file ids
    if (io->path == nullptr || strnlen(io->path, kMaxPathHex + 1) % 4 != 0 ||
        !ril_is_hex_text(io->path, kMaxPathHex) ||
        (io->data != nullptr && !ril_is_hex_text(io->data, kMaxDataHex))) {
        RIL_onRequestComplete_cdma(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    char upper[kMaxDataHex + 1];
    upper[0] = '\0';
    if (io->data != nullptr) {
        size_t n = strlen(io->data);
        for (size_t i = 0; i < n; i++) upper[i] = (char)toupper((unsigned char)io->data[i]);
        upper[n] = '\0';
    }
    char cmd[640];
    if (io->data != nullptr)
        snprintf(cmd, sizeof(cmd), k.withData, io->command, io->fileid, io->p1, io->p2, io->p3, upper, io->path);
    else
        snprintf(cmd, sizeof(cmd), k.withoutData, io->command, io->fileid, io->p1, io->p2, io->p3, io->path);
    AtReply *p = nullptr;
    int err = at_send_command_singleline(cmd, k.prefix, &p);
    RIL_SIM_IO_Response sr;
    memset(&sr, 0, sizeof(sr));
    if (err != 0 || p == nullptr || !p->success || p->p_intermediates == nullptr ||
        !readSimAnswer(p->p_intermediates->line, &sr)) {
        at_response_free(p);
        RIL_onRequestComplete_cdma(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    if (io->command == COMMAND_GET_RESPONSE && sr.simResponse != nullptr) ril_rru_record_fix(sr.simResponse);
    RIL_onRequestComplete_cdma(t, RIL_E_SUCCESS, &sr, sizeof(sr));
    at_response_free(p);
}

}  // namespace

extern "C" void ERequestSimIo(int, void *data, size_t datalen, RIL_Token t) {
    simIoWithPath(kRru, data, datalen, t);
}

extern "C" void RequestSimIo(int, void *data, size_t datalen, RIL_Token t) {
    if (data == nullptr) RILDEBUG("Dog >> RequestSimIo DATA NULL.");
    simIoWithPath(kCrshWithPath, data, datalen, t);
}

extern "C" void OnCDMA_RIL_REQUEST_SIM_IO(void *data, size_t datalen, RIL_Token t) {
    ERequestSimIo(RIL_REQUEST_SIM_IO, data, datalen, t);
}

/* ------------------------------------------------------------------ */
/* RUIM preset writes                                                   */
/* ------------------------------------------------------------------ */

extern "C" void PresetRuimFiles(void *) {
    at_send_command("at^rru=176,28472,0,0,8,\"\",\"7F256F38\"", nullptr);
    at_send_command("at^rru=176,28560,0,0,126,\"\",\"7F256F90\"", nullptr);
    unsigned char bytes[126];
    bytes[0] = 0x09;
    bytes[1] = 0x01;
    memset(bytes + 2, 0x88, 5);
    memset(bytes + 7, 0x11, 119);
    char hex[2 * sizeof(bytes) + 1];
    gv_b2hex(hex, bytes, (int)sizeof(bytes));
    char cmd[320];
    snprintf(cmd, sizeof(cmd), "at^rru=214,28560,0,0,126,\"%s\",\"7F256F90\"", hex);
    at_send_command(cmd, nullptr);
}

// the name the CDMA SIM-ready step schedules
extern "C" void writeRuimFiles(void *param) { PresetRuimFiles(param); }
