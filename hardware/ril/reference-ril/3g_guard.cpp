// Connection guard preparation and the event plug-in.
// (The guard itself, the PPP dialer and the link checks are not built yet.)
#include <dlfcn.h>
#include <stdlib.h>

#include "ril_families.h"
#include "ril_log.h"

extern "C" {
void *g_lib = nullptr;
kv_eventfunc g_peventfun = nullptr;
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
    return 0;
}
