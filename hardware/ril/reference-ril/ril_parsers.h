/*
 * Pure parsers of module reply lines: no I/O, no state. Each takes one line
 * as the module sent it (NUL-terminated, not modified), checks every field
 * it reads, and writes an output only for a field it could read.
 */
#ifndef RIL_PARSERS_H
#define RIL_PARSERS_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* "+CSQ: <rssi>,<ber>" (also "+CCSQ:"): the number of the two fields read
 * (0..2); -1 without a line. */
int parseCsq(const char *line, int *rssi, int *ber);

/* "+CPIN: <code>" ("READY", "SIM PIN", ...): 0 with the code copied into
 * code (cut to size - 1), -1 when there is none. */
int parseCpin(const char *line, char *code, size_t size);

/* "+COPS: <mode>[,<format>,<oper>[,<act>]]": the number of the fields
 * mode, format and operator read (0..3), the operator copied into oper
 * (cut to size - 1); -1 without a line. */
int parseCops(const char *line, int *mode, int *format, char *oper, size_t size);

/* "^SYSINFO: <srv_status>,<srv_domain>,<roam>,<sys_mode>,<sim_state>[,...]":
 * the leading integer fields, at most max of them, into fields; returns how
 * many were read, -1 without a line. */
int parseSysinfo(const char *line, int *fields, int max);

/* "+SERVERINFO: <f1>,<f2>,...": like parseSysinfo; *more is 1 when the line
 * goes on after the last field read. */
int parseServerinfo(const char *line, int *fields, int max, int *more);

#ifdef __cplusplus
}
#endif

#endif
