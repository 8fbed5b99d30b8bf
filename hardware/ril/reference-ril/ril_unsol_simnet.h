/*
 * Unsolicited lines of the SIM, network and vendor areas: the state their
 * row handlers (declared with the tables in ril_unsolicited.h) keep.
 */
#ifndef RIL_UNSOL_SIMNET_H
#define RIL_UNSOL_SIMNET_H

#ifdef __cplusplus
extern "C" {
#endif

extern unsigned int G_Callendtime;
extern int s_lastmode;          /* CDMA: mode last reported (initially -1) */
extern int s_offlinewatch;      /* CDMA: initially 2 */
extern int s_canreport_network; /* CDMA: the last "^MODE:" changed the mode */
extern unsigned int s_oflinetime, s_onlinetime;

#ifdef __cplusplus
}
#endif

#endif
