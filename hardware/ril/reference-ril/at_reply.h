/* Cursor tokenizer for module reply lines, and hex/quote helpers. */
#ifndef AT_REPLY_H
#define AT_REPLY_H

#ifdef __cplusplus
extern "C" {
#endif

int strStartsWith(const char *line, const char *prefix);
int at_tok_start(char **p_cur);
int at_tok_nextint(char **p_cur, int *p_out);
int at_tok_nexthexint(char **p_cur, int *p_out);
int at_tok_nextbool(char **p_cur, char *p_out);
int at_tok_nextstr(char **p_cur, char **p_out);
int at_tok_hasmore(char **p_cur);

int gv_hex2b(unsigned char *out, char *hex, int maxbytes);
int gv_b2hex(char *out, const unsigned char *bytes, int count);
int gv_remove_quotes(const char *text, char *out, int capacity);

#ifdef __cplusplus
}
#endif

#endif
