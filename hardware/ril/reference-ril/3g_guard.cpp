// Connection guard preparation and the event plug-in.
// (The guard itself, the PPP dialer and the link checks are not built yet.)
#include <dlfcn.h>
#include <pthread.h>
#include <stdlib.h>

#include "ril_families.h"
#include "ril_log.h"

extern "C" {
void *g_lib = nullptr;
kv_eventfunc g_peventfun = nullptr;
int g_inhotstatus = 0;
int g_inflymode = 0;
int G_userdisconnect = 0;
int g_hasdatacard = 0;
unsigned int g_inittickcount = 0;
unsigned int g_new_netguard = 0;
unsigned int s_guardslot = 0;
RIL_OnRequestCompleteHook g_OnResponseComplete = nullptr;
RIL_OnUnsolicitedHook g_unsresponse = nullptr;
RIL_TimedCallbackHook g_timecallback = nullptr;
RIL_TimedCallback g_checkdatamode = nullptr;
int (*g_pgetsimstatus)(void) = nullptr;
RIL_Data_Call_Response_v11 g_datacall_response;
}

static pthread_mutex_t s_checkstart_lock = PTHREAD_MUTEX_INITIALIZER;

// Renews the guard token: any checker chain started before becomes stale.
extern "C" int SetGuradFlag(const char *caller, int line) {
    g_new_netguard = GetTickCount();
    RILDEBUG("SetGuradFlag: %s, %d", caller ? caller : "", line);
    return 0;
}

extern "C" int StartCheckDataCheck(RIL_TimedCallback checker, const struct timeval *delay) {
    pthread_mutex_lock(&s_checkstart_lock);
    unsigned int tick = GetTickCount();
    g_new_netguard = tick;
    s_guardslot = tick;
    RIL_TimedCallbackHook schedule = g_timecallback;
    if (schedule != nullptr && checker != nullptr) schedule(checker, &s_guardslot, delay);
    pthread_mutex_unlock(&s_checkstart_lock);
    return 0;
}

static void loadEventPlugin(void) {
    static bool s_tried = false;
    if (s_tried) return;
    s_tried = true;
    char path[256];
    if (RIL_SYSPATH("/system/lib/libkvplugin.so", path) == nullptr) return;
    g_lib = dlopen(path, RTLD_NOW);
    if (g_lib == nullptr) return;  // no plug-in: silent
    RILDEBUG("EVT: load plutin succ");
    g_peventfun = (kv_eventfunc)dlsym(g_lib, "kv_eventfun");
    if (g_peventfun == nullptr) {
        RILDEBUG("EVT: find event function fail");
        dlclose(g_lib);
        g_lib = nullptr;
    }
}

extern "C" void kv_raise_event(int event, void *arg) {
    kv_eventfunc fn = g_peventfun;
    if (fn != nullptr) fn(event_atfunc, event, arg);
}

extern "C" int PrepareSem(void) {
    char value[PROPERTY_VALUE_MAX];
    property_get("ril.debug", value, "1");
    g_debugmode = atoi(value);
    loadEventPlugin();
    g_datacall_response.cid = 1;
    g_datacall_response.type = (char *)"IP";
    g_datacall_response.active = 2;
    return 0;
}
