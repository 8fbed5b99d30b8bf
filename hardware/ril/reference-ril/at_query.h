/*
 * Queries to the module in the style of a parser cursor: send a command,
 * ask whether it ended in OK (or which CME error it got), then read the
 * reply's fields one after the other. Every read checks what is there; a
 * missing line or field is -1, never a read past the reply.
 *
 *   AtQuery q = AT_QUERY_INIT;
 *   int rssi = 0;
 *   if (at_query_send(&q, "AT+CSQ", SINGLELINE, "+CSQ:") >= 0 && at_query_ok(&q) &&
 *       at_query_start(&q) >= 0 && at_query_next_int(&q, &rssi) >= 0) { ... }
 *   at_query_free(&q);
 */
#ifndef AT_QUERY_H
#define AT_QUERY_H

#include <stddef.h>

#include "at_link.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
    AtReply *reply;  /* owned by the query */
    int err;         /* the sending function's result */
    ReplyLine *line; /* the line being read, NULL past the last */
    char *cur;       /* position in it */
} AtQuery;

#define AT_QUERY_INIT {NULL, 0, NULL, NULL}

/* Sends command with the sending function of its kind (NO_RESULT:
 * at_send_command, SINGLELINE: at_send_command_singleline, NUMERIC:
 * at_send_command_numeric, MULTILINE: at_send_command_multiline); a reply
 * held from an earlier send is freed first. The cursor stands at the
 * beginning of the first line. Returns the sending function's result. */
int at_query_send(AtQuery *q, const char *command, AtCommandKind kind, const char *prefix);
/* 1 when the command was sent and ended in OK (or CONNECT) */
int at_query_ok(const AtQuery *q);
/* 1 when the command was sent and got a final line, whatever it was */
int at_query_answered(const AtQuery *q);
/* the reply's CME error code (0 on OK, -1 when there is none) */
int at_query_cme_error(const AtQuery *q);
/* the current line as it came (NULL when there is none) */
const char *at_query_line(const AtQuery *q);
/* skips the current line's prefix up to its colon; -1 without a line */
int at_query_start(AtQuery *q);
/* moves to the next line of the reply (the cursor at its beginning); -1 at the end */
int at_query_next_line(AtQuery *q);
int at_query_next_int(AtQuery *q, int *out);
int at_query_next_hexint(AtQuery *q, int *out);
int at_query_next_bool(AtQuery *q, char *out);
/* the string points into the reply: use it before at_query_free */
int at_query_next_str(AtQuery *q, char **out);
/* copies the next string field into buf (cut to len - 1 characters) */
int at_query_next_text(AtQuery *q, char *buf, size_t len);
/* hands the reply over to the caller (the query forgets it) */
AtReply *at_query_take(AtQuery *q);
void at_query_free(AtQuery *q);

/* A single-line query: the reply's line when the command ended in OK with
 * it, else NULL. The line belongs to the query: use it before at_query_free. */
char *at_query_single(AtQuery *q, const char *command, const char *prefix);

/* Sends a command and tells whether it ended in OK. */
int at_send_ok(const char *command);

#ifdef __cplusplus
}
#endif

#endif
