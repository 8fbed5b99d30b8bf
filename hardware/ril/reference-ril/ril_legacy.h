/* Routines of the legacy deliverable (lib-ril-kivo, interface version 9)
 * only: the LTE family's handling of a closed AT channel, its extra
 * initialization and SIM-ready commands, and the DNS query tool. */
#ifndef RIL_LEGACY_H
#define RIL_LEGACY_H

#include "ril_families.h"

#ifdef __cplusplus
extern "C" {
#endif

#if RIL_VERSION < 15
/* The LTE AT channel closed: report the data call list changed, then look
 * for the module up to 18 times 1 s apart. Found at the first look: resume
 * as usual. Found later: "----restart ril after 6s----", 6 s, end the
 * process. Never found: end the process at once. */
void ril_legacy_lte_reader_closed(const RilFamily *f);
/* After the LTE module kind is known: "AT+CLVL=7" on the 8909 kind and the
 * voice type of the module ("AT+VTYPE =4" for LTE sub-type 4, else 3). */
void ril_legacy_lte_init(void);
/* The LTE SIM-ready step's SIM message storage and notification mode. */
void ril_legacy_lte_sim_ready(void);
#endif

/* Sends one DNS query for a fixed host to port 53 of the dotted IPv4
 * address and counts the answers that arrive within 5 s 10 us of each
 * other. Returns the count, -1 when no socket could be made or the address
 * is no IPv4 address (or, on a build host, not a loopback one). Legacy build
 * only. */
int querydns(const char *address);

#ifdef __cplusplus
}
#endif

#endif
