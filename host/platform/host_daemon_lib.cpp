// What the platform's RIL daemon library exports to vendor libraries:
// requestToString and, for the legacy interface, the two direct callbacks.
#include <ril_host.h>

#include "ril_interface.h"

namespace {
const struct RIL_Env *g_legacy_env = nullptr;
thread_local int t_in_export = 0;

// marks the thread while a call through the exports runs
struct InExport {
    InExport() { t_in_export++; }
    ~InExport() { t_in_export--; }
};
}  // namespace

extern "C" int ril_host_in_daemon_export(void) { return t_in_export > 0 ? 1 : 0; }

extern "C" const char *requestToString(int request) {
    switch (request) {
#define RIL_NAME_CASE_(name, code) \
    case code:                     \
        return &#name[12];  // without "RIL_REQUEST_"
        RIL_REQUEST_LIST(RIL_NAME_CASE_)
#undef RIL_NAME_CASE_
        default:
            return "<unknown request>";
    }
}

extern "C" const char *ril_host_unsol_name(int code) {
    switch (code) {
#define RIL_NAME_CASE_(name, value) \
    case value:                     \
        return #name;
        RIL_UNSOL_LIST(RIL_NAME_CASE_)
#undef RIL_NAME_CASE_
        default:
            return "<unknown>";
    }
}

extern "C" void ril_host_set_legacy_env(const struct RIL_Env *env) { g_legacy_env = env; }

extern "C" void RIL_onRequestComplete(RIL_Token t, RIL_Errno e, void *response, size_t responselen) {
    InExport mark;
    if (g_legacy_env != nullptr && g_legacy_env->OnRequestComplete != nullptr)
        g_legacy_env->OnRequestComplete(t, e, response, responselen);
}

extern "C" void RIL_onUnsolicitedResponse(int unsolResponse, const void *data, size_t datalen) {
    InExport mark;
    if (g_legacy_env != nullptr && g_legacy_env->OnUnsolicitedResponse != nullptr)
        g_legacy_env->OnUnsolicitedResponse(unsolResponse, data, datalen);
}
