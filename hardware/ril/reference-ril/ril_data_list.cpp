// Parsing of the module's context lines for the data call list.
#include "ril_data_list.h"

#include <stdio.h>
#include <string.h>

#include "at_reply.h"

extern "C" int ril_parse_cgact(const AtReply *reply, RilPdpEntry *out, int cap, int firstOnly) {
    if (reply == nullptr || out == nullptr || cap <= 0) return -1;
    int n = 0;
    for (ReplyLine *l = reply->p_intermediates; l != nullptr; l = l->p_next) {
        char *p = l->line;
        int cid = 0, state = 0;
        if (p == nullptr || at_tok_start(&p) < 0 || at_tok_nextint(&p, &cid) < 0 || at_tok_nextint(&p, &state) < 0)
            return -1;
        if (n >= cap || (firstOnly && n > 0)) continue;
        out[n].cid = cid;
        out[n].active = state;
        out[n].type[0] = '\0';
        n++;
    }
    return n;
}

extern "C" int ril_parse_cgdcont(const AtReply *reply, RilPdpEntry *entries, int n) {
    if (reply == nullptr || (entries == nullptr && n > 0)) return -1;
    for (ReplyLine *l = reply->p_intermediates; l != nullptr; l = l->p_next) {
        char *p = l->line;
        int cid = 0;
        if (p == nullptr || at_tok_start(&p) < 0 || at_tok_nextint(&p, &cid) < 0) return -1;
        for (int i = 0; i < n; i++) {
            if (entries[i].cid != cid) continue;
            char *type = nullptr, *apn = nullptr, *addr = nullptr;
            if (at_tok_nextstr(&p, &type) < 0 || at_tok_nextstr(&p, &apn) < 0 || at_tok_nextstr(&p, &addr) < 0)
                return -1;
            snprintf(entries[i].type, sizeof(entries[i].type), "%s", type);
            break;
        }
    }
    return 0;
}
