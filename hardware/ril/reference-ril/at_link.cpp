// AT channel (not built yet: the channel is always closed).
#include "at_link.h"

#include <stdlib.h>

extern "C" {

int g_ntimeoutcount = 0;
const char *arr_add_header[7] = {"+CIMI:", "+QCIMI:", "+CGSN:", "+CGMR:", "^MEID:", "+CSQ:", "+CIMIM:"};

int at_open(int, ATUnsolHandler) { return -1; }
void at_close(void) {}
void at_set_on_timeout(void (*)(void)) {}
void at_set_on_reader_closed(void (*)(void)) {}
int at_send_command_full(const char *, AtCommandKind, const char *, const char *, long long,
                         AtReply **pp) {
    if (pp != nullptr) *pp = nullptr;
    return AT_ERROR_CHANNEL_CLOSED;
}
int at_send_command_full_nolock(const char *c, AtCommandKind k, const char *p, const char *s,
                                long long t, AtReply **pp) {
    return at_send_command_full(c, k, p, s, t, pp);
}
int at_send_command(const char *c, AtReply **pp) {
    return at_send_command_full(c, NO_RESULT, nullptr, nullptr, 0, pp);
}
int at_send_command_singleline(const char *c, const char *p, AtReply **pp) {
    return at_send_command_full(c, SINGLELINE, p, nullptr, 0, pp);
}
int at_send_command_numeric(const char *c, AtReply **pp) {
    return at_send_command_full(c, NUMERIC, nullptr, nullptr, 0, pp);
}
int at_send_command_multiline(const char *c, const char *p, AtReply **pp) {
    return at_send_command_full(c, MULTILINE, p, nullptr, 0, pp);
}
int at_send_command_sms(const char *c, const char *pdu, const char *p, AtReply **pp) {
    return at_send_command_full(c, SINGLELINE, p, pdu, 0, pp);
}
int at_send_single_command(const char *) { return AT_ERROR_CHANNEL_CLOSED; }
void at_response_free(AtReply *p) {
    if (p == nullptr) return;
    ReplyLine *l = p->p_intermediates;
    while (l != nullptr) {
        ReplyLine *n = l->p_next;
        free(l->line);
        free(l);
        l = n;
    }
    free(p->finalResponse);
    free(p);
}
int at_get_cme_error(const AtReply *) { return -1; }
int at_handshake(void) { return 0; }

}  // extern "C"
