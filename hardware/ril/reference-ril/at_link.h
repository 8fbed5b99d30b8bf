/* The AT channel: one serial conversation with the module's AT port. */
#ifndef AT_LINK_H
#define AT_LINK_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ReplyLine {
    struct ReplyLine *p_next;
    char *line;
} ReplyLine;

typedef struct {
    int success;            /* 1 when the final line was "OK" or "CONNECT" */
    char *finalResponse;    /* copy of the final result line, or NULL */
    ReplyLine *p_intermediates; /* in arrival order once the command is done */
} AtReply;

typedef enum {
    NO_RESULT = 0,
    NUMERIC = 1,
    SINGLELINE = 2,
    MULTILINE = 3,
} AtCommandKind;

/* result codes of the sending functions */
#define AT_ERROR_GENERIC (-1)
#define AT_ERROR_COMMAND_PENDING (-2)
#define AT_ERROR_CHANNEL_CLOSED (-3)
#define AT_ERROR_TIMEOUT (-4)
#define AT_ERROR_INVALID_THREAD (-5)
#define AT_ERROR_INVALID_RESPONSE (-6)

/* line, and for SMS notifications their body line (else NULL) */
typedef void (*ATUnsolHandler)(const char *line, const char *smsPdu);

extern int g_ntimeoutcount;
extern const char *arr_add_header[7];

int at_open(int fd, ATUnsolHandler h);
void at_close(void);
void at_set_on_timeout(void (*onTimeout)(void));
void at_set_on_reader_closed(void (*onClose)(void));

int at_send_command(const char *command, AtReply **pp_outResponse);
int at_send_command_singleline(const char *command, const char *responsePrefix,
                               AtReply **pp_outResponse);
int at_send_command_numeric(const char *command, AtReply **pp_outResponse);
int at_send_command_multiline(const char *command, const char *responsePrefix,
                              AtReply **pp_outResponse);
int at_send_command_sms(const char *command, const char *pdu, const char *responsePrefix,
                        AtReply **pp_outResponse);
int at_send_command_full(const char *command, AtCommandKind kind, const char *responsePrefix,
                         const char *smspdu, long long timeoutMsec, AtReply **pp_outResponse);
int at_send_command_full_nolock(const char *command, AtCommandKind kind,
                                const char *responsePrefix, const char *smspdu,
                                long long timeoutMsec, AtReply **pp_outResponse);
int at_send_single_command(const char *command);
void at_response_free(AtReply *p_response);
int at_get_cme_error(const AtReply *p_response);
int at_handshake(void);

/*
 * Test and fuzz hook, not for product code, never while a channel is open:
 * runs the reader's line cutting and line processing on the calling thread
 * over data (len bytes, delivered in reads of at most chunk bytes; 0 = one
 * read) as if it came from the port, then ends as at end of file. When kind
 * is 0..3 a command of that kind (command text, prefix, PDU) is pending
 * during the feed and its reply is returned (intermediates in arrival
 * order, caller frees); kind < 0 means no pending command (returns NULL).
 * Lines that belong to no command reach h.
 */
AtReply *at_test_feed(const char *data, size_t len, size_t chunk, int kind, const char *command,
                      const char *prefix, const char *pdu, ATUnsolHandler h);

/* Test hook: the number of senders waiting for the channel to become free. */
int at_test_waiting_senders(void);

#ifdef __cplusplus
}
#endif

#endif
