// USB modem discovery (not built yet: nothing is ever found).
#include "usb_discovery.h"

extern "C" {

char g_data_device_path[RIL_PORT_PATH_MAX];
char g_pcuidevice_path[RIL_PORT_PATH_MAX];
char g_diagdevice_path[RIL_PORT_PATH_MAX];
char g_gpsdevice_path[RIL_PORT_PATH_MAX];
int g_deviceexist = 0;
int g_moduletype = 0;
int s_port_layout = 0;
int g_use_rndis = 0;
int s_detected_cardtype = 0;

int HandleDeviceHotPlugin(void) { return 0; }
int HandleDeviceHotPlug(void) { return 0; }
int TestDeviceExists(void) { return 1; }
int IsATPort(const char *) { return 0; }

}  // extern "C"
