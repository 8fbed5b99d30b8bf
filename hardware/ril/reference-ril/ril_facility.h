/*
 * Facility locks and barring password: the checks of the framework texts
 * that reach "AT+CLCK" and "AT+CPWD", and the "AT+CPWD" sender shared with
 * the PIN change.
 */
#ifndef RIL_FACILITY_H
#define RIL_FACILITY_H

#ifdef __cplusplus
extern "C" {
#endif

/* two characters, A-Z or 0-9 */
int ril_is_facility(const char *s);
/* "0" or "1" */
int ril_is_lock_state(const char *s);
/* decimal 0-255 */
int ril_is_service_class(const char *s);
/* decimal digits only (possibly none), at most 16 */
int ril_is_password(const char *s);

/* Sends an "AT+CPWD" command; 1 when the module answered OK (with or
 * without a "+CPWD:" line), 0 otherwise. */
int ril_send_cpwd(const char *cmd);

#ifdef __cplusplus
}
#endif

#endif
