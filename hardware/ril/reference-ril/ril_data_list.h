/* The data call list as the module reports it: "+CGACT:" and "+CGDCONT:"
 * lines. Pure parsing of module bytes, no I/O. */
#ifndef RIL_DATA_LIST_H
#define RIL_DATA_LIST_H

#include "at_link.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
    int cid;
    int active;
    char type[16]; /* PDP type, cut to 15 characters */
} RilPdpEntry;

/* One entry per "+CGACT: <cid>,<state>" line, at most cap (firstOnly: the
 * first line only, but every line must parse). Returns the number of
 * entries, or -1 when a line does not parse. */
int ril_parse_cgact(const AtReply *reply, RilPdpEntry *out, int cap, int firstOnly);
/* Copies the PDP type of each "+CGDCONT: <cid>,<type>,<apn>,<addr>..." line
 * into the first of the n entries with that cid (the APN and address must
 * be present); lines for unknown cids are skipped. Returns 0, or -1 when a
 * line does not parse. */
int ril_parse_cgdcont(const AtReply *reply, RilPdpEntry *entries, int n);

#ifdef __cplusplus
}
#endif

#endif
