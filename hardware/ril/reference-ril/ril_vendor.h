/*
 * Vendor and OEM requests: the CDMA GPS, network-parameter and volume
 * requests, the GPS restart, and the OEM hook strings pass-through.
 */
#ifndef RIL_VENDOR_H
#define RIL_VENDOR_H

#ifdef __cplusplus
extern "C" {
#endif

extern int g_companyid;
extern int s_gpsmode;      /* GPS location mode of the last GPS-on request */
extern int s_gpsdownload;  /* set by "^GPSDOLADDONE" */
extern int s_gpstracking;  /* GPS tracking state */

/* the GPS location mode from its property (decimal digits, else default) */
int ril_gps_mode(void);
/* CDMA timed callback: restarts the GPS after its data download */
void RestartGps_cdma(void *param);
/* writes text into the network-parameter file; bytes written or -1 */
int ril_write_netpar(const char *text);
/* 1 when s may be sent as one AT command line (no control bytes, bounded) */
int ril_is_oem_command(const char *s);

#ifdef __cplusplus
}
#endif

#endif
