// The query cursor over AtReply.
#include "at_query.h"

#include <stdio.h>

#include "at_reply.h"

extern "C" {

int at_query_send(AtQuery *q, const char *command, AtCommandKind kind, const char *prefix) {
    at_query_free(q);
    switch (kind) {
        case SINGLELINE: q->err = at_send_command_singleline(command, prefix, &q->reply); break;
        case NUMERIC: q->err = at_send_command_numeric(command, &q->reply); break;
        case MULTILINE: q->err = at_send_command_multiline(command, prefix, &q->reply); break;
        default: q->err = at_send_command(command, &q->reply); break;
    }
    q->line = q->reply != nullptr ? q->reply->p_intermediates : nullptr;
    q->cur = q->line != nullptr ? q->line->line : nullptr;
    return q->err;
}

int at_query_ok(const AtQuery *q) { return q->err >= 0 && q->reply != nullptr && q->reply->success ? 1 : 0; }

int at_query_answered(const AtQuery *q) { return q->err >= 0 && q->reply != nullptr ? 1 : 0; }

int at_query_cme_error(const AtQuery *q) { return at_get_cme_error(q->reply); }

const char *at_query_line(const AtQuery *q) { return q->line != nullptr ? q->line->line : nullptr; }

int at_query_start(AtQuery *q) {
    if (q->cur == nullptr) return -1;
    return at_tok_start(&q->cur);
}

int at_query_next_line(AtQuery *q) {
    if (q->line == nullptr) return -1;
    q->line = q->line->p_next;
    q->cur = q->line != nullptr ? q->line->line : nullptr;
    return q->line != nullptr ? 0 : -1;
}

int at_query_next_int(AtQuery *q, int *out) { return q->cur != nullptr ? at_tok_nextint(&q->cur, out) : -1; }

int at_query_next_hexint(AtQuery *q, int *out) { return q->cur != nullptr ? at_tok_nexthexint(&q->cur, out) : -1; }

int at_query_next_bool(AtQuery *q, char *out) { return q->cur != nullptr ? at_tok_nextbool(&q->cur, out) : -1; }

int at_query_next_str(AtQuery *q, char **out) { return q->cur != nullptr ? at_tok_nextstr(&q->cur, out) : -1; }

int at_query_next_text(AtQuery *q, char *buf, size_t len) {
    char *s = nullptr;
    if (buf == nullptr || len == 0 || at_query_next_str(q, &s) < 0 || s == nullptr) return -1;
    snprintf(buf, len, "%s", s);
    return 0;
}

AtReply *at_query_take(AtQuery *q) {
    AtReply *r = q->reply;
    q->reply = nullptr;
    q->line = nullptr;
    q->cur = nullptr;
    return r;
}

void at_query_free(AtQuery *q) {
    at_response_free(q->reply);
    q->reply = nullptr;
    q->line = nullptr;
    q->cur = nullptr;
    q->err = 0;
}

char *at_query_single(AtQuery *q, const char *command, const char *prefix) {
    if (at_query_send(q, command, SINGLELINE, prefix) < 0 || !at_query_ok(q) || q->line == nullptr) return nullptr;
    return q->line->line;
}

int at_send_ok(const char *command) {
    AtQuery q = AT_QUERY_INIT;
    at_query_send(&q, command, NO_RESULT, nullptr);
    int ok = at_query_ok(&q);
    at_query_free(&q);
    return ok;
}

}  // extern "C"
