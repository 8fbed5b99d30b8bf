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
#include "ril_direct.h"
#include "ril_families.h"
#include "ril_handlers.h"
#include "ril_log.h"


namespace {

// the longest data text a command carries: one record or chunk of 255 bytes
constexpr size_t kMaxDataHex = 510;
// the longest path: MF, DF, DF, EF
constexpr size_t kMaxPathHex = 16;

char s_fcpbuf_wcdma[32];
char s_fcpbuf_lte[32];

}  // namespace

extern "C" void usim2sim(RIL_SIM_IO_Response *resp) {
    if (!ril_usim_to_sim(resp, s_fcpbuf_lte, sizeof(s_fcpbuf_lte)) && resp != nullptr && resp->simResponse != nullptr)
        RILDEBUG("usim2sim: answer passed on: %s", resp->simResponse);
}
extern "C" void usim2sim_wcdma(RIL_SIM_IO_Response *resp) {
    if (!ril_usim_to_sim(resp, s_fcpbuf_wcdma, sizeof(s_fcpbuf_wcdma)) && resp != nullptr &&
        resp->simResponse != nullptr)
        RILDEBUG("usim2sim: answer passed on: %s", resp->simResponse);
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

// the legacy build answers through the daemon library's own export
#if RIL_VERSION >= 15
const IoFamily kIoWcdma = {"OnWCDMA_RIL_REQUEST_SIM_IO", RIL_onRequestComplete_wcdma, usim2sim_wcdma};
const IoFamily kIoLte = {"OnLTE_RIL_REQUEST_SIM_IO", RIL_onRequestComplete_lte, usim2sim};
#else
const IoFamily kIoWcdma = {"OnWCDMA_RIL_REQUEST_SIM_IO", ril_direct_complete, usim2sim_wcdma};
const IoFamily kIoLte = {"OnLTE_RIL_REQUEST_SIM_IO", ril_direct_complete, usim2sim};
#endif

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
            if (n > 0 && n % 2 == 0 && n < cap && ril_is_hex_text(text, cap - 1)) {
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
#if RIL_VERSION < 15
    // the legacy interface has no SIM file access on the 3GPP families
    f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
    return;
#endif
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
        ril_direct_complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    const RIL_SIM_IO_v6 *io = (const RIL_SIM_IO_v6 *)data;
    // the path goes inside quotes: hex digits only, whole file ids
    if (io->path == nullptr || strnlen(io->path, kMaxPathHex + 1) % 4 != 0 ||
        !ril_is_hex_text(io->path, kMaxPathHex) ||
        (io->data != nullptr && !ril_is_hex_text(io->data, kMaxDataHex))) {
        ril_direct_complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
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
        ril_direct_complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    if (io->command == COMMAND_GET_RESPONSE && sr.simResponse != nullptr) ril_rru_record_fix(sr.simResponse);
    ril_direct_complete(t, RIL_E_SUCCESS, &sr, sizeof(sr));
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
