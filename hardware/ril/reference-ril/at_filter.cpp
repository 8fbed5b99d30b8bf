// The held voice-type command and its replay when a call connects.
#include "at_filter.h"

#include <string.h>

#include "at_link.h"
#include "ril_families.h"
#include "ril_log.h"

extern "C" {
char g_vtypecache[128] = "";
pthread_mutex_t resumefilter_mtx = PTHREAD_MUTEX_INITIALIZER;

void ReplayHeldVoiceType(enum VoiceTypeReplay how) {
    pthread_mutex_lock(&resumefilter_mtx);
    if (how == VTYPE_REPLAY_SEND_AND_CLEAR) RILDEBUG("EDOG >> after conn exec at!");
    if (how != VTYPE_REPLAY_NOTHING && strnlen(g_vtypecache, sizeof(g_vtypecache)) > 5) {
        at_send_single_command(g_vtypecache);
        if (how == VTYPE_REPLAY_SEND_AND_CLEAR) g_vtypecache[0] = '\0';
    }
    pthread_mutex_unlock(&resumefilter_mtx);
    kv_raise_event(1, nullptr);
}
}  // extern "C"
