/*
 * Network selection and preferred mode: the selection-mode requests, the
 * "+COPS=?" list, the preferred network type of each family and the
 * requests answered with fixed values.
 */
#ifndef RIL_NETWORK_SELECT_H
#define RIL_NETWORK_SELECT_H

#include "ril_interface.h"

#define RIL_COPS_MAX_ENTRIES 10
#define RIL_COPS_TEXT_SIZE 20

#ifdef __cplusplus
extern "C" {
#endif

/* one operator of the available-network answer */
typedef struct {
    char longName[RIL_COPS_TEXT_SIZE];
    char shortName[RIL_COPS_TEXT_SIZE];
    char numeric[RIL_COPS_TEXT_SIZE];
    char status[RIL_COPS_TEXT_SIZE];
} RilCopsEntry;

/* Parses a "+COPS=?" reply line (with or without its prefix) into at most
 * max entries. Returns the number of entries, or -1 when the line lacks the
 * ",," before the supported-mode lists. */
int ril_parse_cops_list(const char *line, RilCopsEntry *out, int max);

extern int s_setmodecount;  /* WCDMA: SET_PREFERRED_NETWORK_TYPE requests */
extern int s_first2g;       /* WCDMA: one-shot 2G check of GetSYSCFG */

int GetSYSCFG(int *mode, int *order);
int LTE_GetSYSCFG(int *mode, int *order);
int getmodeconfig(void);
int query_ctec(void *unused, int *type1, int *type2);
/* the "^MODECONFIG:" mode mapped to a network type (the query_ctec table) */
int ril_modeconfig_to_type(int m);

#ifdef __cplusplus
}
#endif

#endif
