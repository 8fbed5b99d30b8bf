// One "+CLCC:" line of the module's call list into a call record.
#include <string.h>

#include "at_reply.h"
#include "ril_calls.h"

namespace {

int clccStateToRILState(int stat, RIL_CallState *out) {
    if (stat < 0 || stat > 5) return -1;
    *out = (RIL_CallState)stat;
    return 0;
}

}  // namespace

extern "C" int ril_parse_clcc_line(char *line, int cdmaNumber, RIL_Call *call) {
    if (line == nullptr || call == nullptr) return 0;
    int v = 0;
    char *p = line;
    if (at_tok_start(&p) < 0 || at_tok_nextint(&p, &call->index) < 0) return 0;
    if (at_tok_nextint(&p, &v) < 0) return 0;
    call->isMT = v != 0;
    if (at_tok_nextint(&p, &v) < 0 || clccStateToRILState(v, &call->state) < 0) return 0;
    if (at_tok_nextint(&p, &v) < 0 || v != 0) return 0;
    call->isVoice = 1;
    if (at_tok_nextint(&p, &v) < 0) return 0;
    call->isMpty = v != 0;
    call->number = nullptr;
    call->toa = 0;
    if (at_tok_hasmore(&p)) {
        char *number = nullptr;
        if (at_tok_nextstr(&p, &number) >= 0) {
            if (number != nullptr && strspn(number, "+0123456789") > 0)
                call->number = number;
            else
                call->number = cdmaNumber ? (char *)"0" : nullptr;
            if (at_tok_nextint(&p, &call->toa) < 0) return 0;
        }
    }
    return 1;
}

