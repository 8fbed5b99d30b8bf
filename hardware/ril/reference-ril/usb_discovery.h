/* USB modem discovery and module power control. */
#ifndef USB_DISCOVERY_H
#define USB_DISCOVERY_H

#ifdef __cplusplus
extern "C" {
#endif

#define RIL_PORT_PATH_MAX 128

extern char g_data_device_path[RIL_PORT_PATH_MAX]; /* modem (PPP) port, bare name: ttyUSB0 */
extern char g_pcuidevice_path[RIL_PORT_PATH_MAX];  /* AT port: /dev/ttyUSB2 */
extern char g_diagdevice_path[RIL_PORT_PATH_MAX];
extern char g_gpsdevice_path[RIL_PORT_PATH_MAX];
extern int g_deviceexist;
extern int g_moduletype; /* 1 6290-kind WCDMA, 2 CDMA, 3 LTE, 4 8909-kind LTE, 5 ASR LTE */
extern int s_port_layout; /* 0 generic, 1 two-port, 2 with GPS, 3 ASR */
extern int g_use_rndis;
extern int s_detected_cardtype;
/* 4 for the LTE modules only the legacy build knows (products 1404 and
 * 1C25), else 0; never reset */
extern int s_lte_subtype;

/* One scan of the option (then cdc_acm) driver directories. Returns the bit
 * set of the roles found, 0 for nothing; RIL_Init and the main loops treat
 * (r & 5) != 0 as "a usable module was found". Writes the port paths, the
 * family (s_cardtype, s_detected_cardtype), the model and the properties
 * "ril.modem", "ril.pcui", "ril.gps", "ril.phonetype". */
int HandleDeviceHotPlugin(void);
int HandleDeviceHotPlug(void);  /* does nothing, returns 0 */
int TestDeviceExists(void);     /* 1; legacy: 0 when the modem port is gone */
/* 1 when the port answers "AT" with OK within a second */
int IsATPort(const char *path);

/* ---- module power and reset ---- */

/* The board's module power-control device and its reset request. */
#define RIL_POWER_DEVICE "/dev/pa_dev"
#define RIL_POWER_RESET_REQUEST 203

/* Resets the module through the power-control device and waits for it to
 * come back on USB; with force 0 a module that discovery finds is left
 * alone. file and line name the caller in the log. Blocks 11 s or more;
 * returns 0. */
int ResetModule(const char *file, int line, int force);
/* Kills the process (signal 9) and waits up to 5 s for it to go; returns 1. */
int killapp(int pid);
/* Waits for the named process to end, killing it once limit_ms have passed;
 * returns the milliseconds waited, or 1 when it had to kill the process. */
int sleepappexit(const char *name, unsigned int limit_ms);
/* Opens a serial port raw at 115200 bit/s, 8 data bits, modem lines ignored;
 * returns the descriptor or a negative value. */
int gethandle(const char *path);
/* One write of the text's bytes (no terminator); returns write's result. */
int writecommand(int fd, const char *text);

#ifdef __cplusplus
}
#endif

#endif
