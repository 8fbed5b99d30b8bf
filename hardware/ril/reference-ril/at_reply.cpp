// Reply tokenizer and hex helpers (not built yet: every parse fails).
#include "at_reply.h"

#include <string.h>

extern "C" {

int strStartsWith(const char *line, const char *prefix) {
    if (line == nullptr || prefix == nullptr) return 0;
    return strncmp(line, prefix, strlen(prefix)) == 0 ? 1 : 0;
}
int at_tok_start(char **p_cur) {
    if (p_cur != nullptr) *p_cur = nullptr;
    return -1;
}
int at_tok_nextint(char **, int *) { return -1; }
int at_tok_nexthexint(char **, int *) { return -1; }
int at_tok_nextbool(char **, char *) { return -1; }
int at_tok_nextstr(char **, char **) { return -1; }
int at_tok_hasmore(char **) { return 0; }
int gv_hex2b(unsigned char *, char *, int) { return -1; }
int gv_b2hex(char *out, const unsigned char *, int) {
    if (out != nullptr) out[0] = '\0';
    return 0;
}
int gv_remove_quotes(const char *, char *, int) { return 0; }

}  // extern "C"
