/*
 * Unsolicited lines of the SIM, network and vendor areas. Each function
 * takes the line and the PDU line that may follow it, as a row of a
 * family's unsolicited chain.
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

void onNitz_cdma(const char *line, const char *pdu);    /* "%CTZV:" */
void onNitz_wcdma(const char *line, const char *pdu);
void onNitz_lte(const char *line, const char *pdu);
void onIgnoredLine(const char *line, const char *pdu);  /* "^RSSI:", "+GCSQ", "^HRSSILVL:", LTE "+CREG:" */
void onRegLine_cdma(const char *line, const char *pdu); /* "+CREG:", "+CGREG:" */
void onSimState_cdma(const char *line, const char *pdu);   /* "^SIMST:" */
void onSimReady_wcdma(const char *line, const char *pdu);  /* "+CPIN: READY" */
void onSimReady_lte(const char *line, const char *pdu);
void onModeLine_cdma(const char *line, const char *pdu);   /* "^MODE:" */
void onModeLine_wcdma(const char *line, const char *pdu);
void onModeLine_lte(const char *line, const char *pdu);
void onGpsNetDone_cdma(const char *line, const char *pdu);      /* "^GPSNETDONE" */
void onGpsDownloadDone_cdma(const char *line, const char *pdu); /* "^GPSDOLADDONE" */

/* Runs the first of these areas' rows whose prefix starts line, in the
 * family's order; 1 when one did, 0 when the line is not theirs. */
int simnet_onUnsolicited_cdma(const char *line, const char *pdu);
int simnet_onUnsolicited_wcdma(const char *line, const char *pdu);
int simnet_onUnsolicited_lte(const char *line, const char *pdu);

#ifdef __cplusplus
}
#endif

#endif
