// Fuzz target: card and module answers through the parsers of the SIM file
// and network selection areas: the FCP conversions (fcp_to_res and the
// usim2sim walk), the CDMA record-file rewrite and the "+COPS=?" list.
//
// Input layout: byte 0 picks the output buffer size of fcp_to_res; the rest
// is the text handed to every parser.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "ril_network_select.h"
#include "ril_sim_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    int outsize = data[0] % 40;
    size_t n = size - 1;
    char *text = (char *)malloc(n + 1);
    if (text == nullptr) return 0;
    memcpy(text, data + 1, n);
    text[n] = '\0';

    char *out = (char *)malloc((size_t)outsize + 1);
    if (out != nullptr) {
        memset(out, 'X', (size_t)outsize + 1);
        if (fcp_to_res(text, out, outsize) == 0 && strlen(out) != 30) abort();
        free(out);
    }

    char buf[32];
    RIL_SIM_IO_Response r = {0x61, 0, text};
    if (ril_usim_to_sim(&r, buf, sizeof(buf)) && (r.simResponse != buf || strlen(buf) != 30)) abort();

    char *rru = strdup(text);
    if (rru != nullptr) {
        size_t before = strlen(rru);
        if (ril_rru_record_fix(rru) && strlen(rru) != 30) abort();
        if (strlen(rru) > before) abort();
        free(rru);
    }

    RilCopsEntry entries[RIL_COPS_MAX_ENTRIES];
    int count = ril_parse_cops_list(text, entries, RIL_COPS_MAX_ENTRIES);
    if (count > RIL_COPS_MAX_ENTRIES) abort();
    for (int i = 0; i < count; i++) {
        if (strnlen(entries[i].longName, RIL_COPS_TEXT_SIZE) >= RIL_COPS_TEXT_SIZE) abort();
        if (strnlen(entries[i].numeric, RIL_COPS_TEXT_SIZE) >= RIL_COPS_TEXT_SIZE) abort();
    }
    free(text);
    return 0;
}
