/* USB modem discovery and module power control. */
#ifndef USB_DISCOVERY_H
#define USB_DISCOVERY_H

#ifdef __cplusplus
extern "C" {
#endif

#define RIL_PORT_PATH_MAX 128

extern char g_data_device_path[RIL_PORT_PATH_MAX]; /* modem (PPP) port */
extern char g_pcuidevice_path[RIL_PORT_PATH_MAX];  /* AT port */
extern char g_diagdevice_path[RIL_PORT_PATH_MAX];
extern char g_gpsdevice_path[RIL_PORT_PATH_MAX];
extern int g_deviceexist;
extern int g_moduletype; /* 1 6290-kind WCDMA, 2 CDMA, 3 LTE, 4 8909-kind LTE, 5 ASR LTE */
extern int s_port_layout;
extern int g_use_rndis;
extern int s_detected_cardtype;

/* Returns the discovery result bit set; RIL_Init treats (r & 5) != 0 as
 * "a usable module was found". */
int HandleDeviceHotPlugin(void);
int HandleDeviceHotPlug(void);
int TestDeviceExists(void);
int IsATPort(const char *path);

#ifdef __cplusplus
}
#endif

#endif
