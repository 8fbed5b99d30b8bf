// Library entry (RIL_Init, family selection) and the CDMA family's request
// dispatch and radio state.
#include <errno.h>
#include <pthread.h>
#include <unistd.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "at_link.h"
#include "at_query.h"
#include "at_reply.h"
#include "ril_families.h"
#include "ril_log.h"
#include "usb_discovery.h"

extern "C" {

int s_cardtype = RIL_FAMILY_NONE;
pthread_t s_tid_mainloop;
const struct RIL_Env *s_rilenv = nullptr;
const struct RIL_Env *s_rilenv_wcdma = nullptr;
const struct RIL_Env *s_rilenv_lte = nullptr;
const struct RIL_Env **s_arrenv[3] = {&s_rilenv, &s_rilenv_wcdma, &s_rilenv_lte};
const RIL_RadioFunctions *s_arrRadioFunctions[3] = {&s_callbacks_cdma, &s_callbacks_wcdma,
                                                    &s_callbacks_lte};
void *(*s_arrMainLoopFunction[3])(void *) = {mainLoop, mainLoop_wcdma, mainLoop_lte};
unsigned char PDU_SUPPORT = 0;
unsigned char G_USERORIGN_DATA = 1;
int s_hasinit = 0;

RIL_RadioState s_radio_state_cdma = RADIO_STATE_UNAVAILABLE;
int s_channel_closed_cdma = 0;
pthread_mutex_t s_radio_state_mutex_cdma = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t s_radio_state_cond_cdma = PTHREAD_COND_INITIALIZER;
int s_wait_timeouts = 0;

}  // extern "C"

/* ------------------------------------------------------------------ */
/* Library entry                                                        */
/* ------------------------------------------------------------------ */

extern "C" int getcardtype(const char * /*path*/) {
    RILDEBUG("%s, line:%d", "getcardtype", __LINE__);
    if (s_detected_cardtype == RIL_FAMILY_CDMA) {
        PDU_SUPPORT = 0;
        G_USERORIGN_DATA = 1;
        RILDEBUG("AT CDMA MODULE");
    } else {
        PDU_SUPPORT = 1;
        G_USERORIGN_DATA = 0;
        RILDEBUG("AT GSM MODULE");
    }
    return s_detected_cardtype;
}

extern "C" const RIL_RadioFunctions *RIL_Init(const struct RIL_Env *env, int argc, char ** /*argv*/) {
    RILDEBUG("%s, line:%d, argc:%d", "RIL_Init", __LINE__, argc);
    for (int i = 0; i < 3; i++) *s_arrenv[i] = env;

    RILDEBUG("wait for devices!");
    for (int attempt = 0; attempt < 15; attempt++) {
        int r = HandleDeviceHotPlugin();
        if ((r & 5) != 0) {
            s_cardtype = getcardtype(g_pcuidevice_path);
            break;
        }
        s_cardtype = RIL_FAMILY_CDMA;
        sleepMsec(3000);
        RILDEBUG("--------refind-------");
    }
    // discovery reports families 0..2; anything else would index past the tables
    if (s_cardtype < 0 || s_cardtype > 2) s_cardtype = RIL_FAMILY_CDMA;

    PrepareSem();

    RILDEBUG("God >> before mainloop card type %d\n", s_cardtype);
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_create(&s_tid_mainloop, &attr, s_arrMainLoopFunction[s_cardtype], nullptr);
    pthread_attr_destroy(&attr);

    const RIL_RadioFunctions *funcs = s_arrRadioFunctions[s_cardtype];
    RILDEBUG("--------------god >> rtl version %d-------------\n", funcs->version);
    return funcs;
}

#if RIL_VERSION >= 15
// Before RIL_Init has chosen a family (s_cardtype is still 4) there is no
// record to return, so the caller gets null instead of a read past the table.
extern "C" const RIL_RadioFunctions *RIL_SAP_Init(const struct RIL_Env * /*env*/, int /*argc*/,
                                                  char ** /*argv*/) {
    RILDEBUG("%s, line:%d", "RIL_SAP_Init", __LINE__);
    if (s_cardtype < 0 || s_cardtype > 2) return nullptr;
    return s_arrRadioFunctions[s_cardtype];
}
#endif

/* ------------------------------------------------------------------ */
/* CDMA family                                                          */
/* ------------------------------------------------------------------ */

static const char *radioStateName(RIL_RadioState s, bool knowsOn) {
    switch (s) {
        case RADIO_STATE_OFF: return "RADIO_STATE_OFF";
        case RADIO_STATE_UNAVAILABLE: return "RADIO_STATE_UNAVAILABLE";
        case RADIO_STATE_SIM_NOT_READY: return "RADIO_STATE_SIM_NOT_READY";
        case RADIO_STATE_SIM_LOCKED_OR_ABSENT: return "RADIO_STATE_SIM_LOCKED_OR_ABSENT";
        case RADIO_STATE_SIM_READY: return "RADIO_STATE_SIM_READY";
        case RADIO_STATE_RUIM_NOT_READY: return "RADIO_STATE_RUIM_NOT_READY";
        case RADIO_STATE_RUIM_READY: return "RADIO_STATE_RUIM_READY";
        case RADIO_STATE_RUIM_LOCKED_OR_ABSENT: return "RADIO_STATE_RUIM_LOCKED_OR_ABSENT";
        case RADIO_STATE_NV_NOT_READY: return "RADIO_STATE_NV_NOT_READY";
        case RADIO_STATE_NV_READY: return "RADIO_STATE_NV_READY";
        case RADIO_STATE_ON:
            if (knowsOn) return "RADIO_STATE_ON";
            break;
    }
    return "unknown radio state.";
}

// Only the WCDMA copy knows the name of RADIO_STATE_ON.
extern "C" const char *radioStateToString_cdma(RIL_RadioState s) { return radioStateName(s, false); }
extern "C" const char *radioStateToString_wcdma(RIL_RadioState s) { return radioStateName(s, true); }
extern "C" const char *radioStateToString_lte(RIL_RadioState s) { return radioStateName(s, false); }

static const char kCdmaSource[] = "hardware/ril/reference-ril/reference-ril.c";

// A changed CDMA radio state: a RUIM that just became ready runs its steps
// first; the change is reported whether or not initialization has run.
static void reportStateChange_cdma(RIL_RadioState now) {
    if (now == RADIO_STATE_RUIM_READY) onSIMReady_cdma();
    RIL_LOGD("onUnsolicited func:%s, line:%d", "setRadioState", __LINE__);
    RIL_onUnsolicitedResponse_cdma(RIL_UNSOL_RESPONSE_RADIO_STATE_CHANGED, nullptr, 0);
}

static void markUnavailable_cdma(void) { setRadioState_cdma(RADIO_STATE_UNAVAILABLE); }

extern "C" const RilFamily g_family_cdma = {
    RIL_FAMILY_CDMA, kCdmaSource, &s_rilenv, &s_radio_state_cdma, &s_channel_closed_cdma,
    &s_radio_state_mutex_cdma, &s_radio_state_cond_cdma, radioStateToString_cdma,
    // admission: by radio state; a closed channel waits for the main loop,
    // then is "not available"; an empty slot "not supported"; nothing logged
    ril_request_table_cdma, RIL_CDMA_TABLE_SIZE, 1, 1, 0, RIL_E_RADIO_NOT_AVAILABLE, RIL_E_GENERIC_FAILURE,
    RIL_E_REQUEST_NOT_SUPPORTED, nullptr, reportStateChange_cdma, markUnavailable_cdma,
    // a lost channel: 60 scans first, then close
    {1, 60, 60, 1, 0, 1, 0, nullptr},
};

extern "C" void RIL_onRequestComplete_cdma(RIL_Token t, RIL_Errno e, void *response, size_t len) {
    ril_family_complete(&g_family_cdma, t, e, response, len);
}
extern "C" void RIL_onUnsolicitedResponse_cdma(int code, const void *data, size_t len) {
    ril_family_unsolicited(&g_family_cdma, code, data, len);
}
extern "C" void RIL_requestTimedCallback_cdma(RIL_TimedCallback cb, void *param, const struct timeval *tv) {
    ril_family_timed(&g_family_cdma, cb, param, tv);
}
extern "C" void onRequest_cdma(int request, void *data, size_t datalen, RIL_Token t) {
    ril_family_on_request(&g_family_cdma, request, data, datalen, t);
}
extern "C" void setRadioState_cdma(RIL_RadioState newState) {
    RILDEBUG("setRadioState(%s) from %s", radioStateToString_cdma(newState),
             radioStateToString_cdma(ril_family_state(&g_family_cdma)));
    ril_family_set_radio_state(&g_family_cdma, newState);
}
extern "C" void onATReaderClosed_cdma(void) { ril_family_reader_closed(&g_family_cdma); }

// the module must answer eventually: retry once a second without limit
extern "C" int isRadioOn_cdma(void) { return ril_query_radio_on(1, 0); }

extern "C" void sendCallStateChanged_cdma(void * /*param*/) {
    RIL_onUnsolicitedResponse_cdma(RIL_UNSOL_RESPONSE_CALL_STATE_CHANGED, nullptr, 0);
}

extern "C" void onDataCallListChanged_cdma(void * /*param*/) {
    RILDEBUG("%s", "onDataCallListChanged");
}

/* ------------------------------------------------------------------ */
/* CDMA main loop, channel recovery and initialization                  */
/* ------------------------------------------------------------------ */

extern "C" void onATTimeout_cdma(void) {
    RILDEBUG("God>> onATTimeout%d\n", g_ntimeoutcount);
    if (g_ntimeoutcount >= 4) {
        ResetModule(kCdmaSource, __LINE__, 1);
        onATReaderClosed_cdma();
        g_ntimeoutcount = 0;
    }
}

extern "C" void *mainLoop(void * /*param*/) {
    static bool s_smsStoreReady = false;
    if (!s_smsStoreReady) {
        initSmsStore_cdma();
        s_smsStoreReady = true;
    }
    for (;;) {
        SetGuradFlag(kCdmaSource, __LINE__);
        ril_install_guard_hooks(s_rilenv, CheckDataStatus, nullptr);
        property_set("ril.priority", "");
        at_set_on_reader_closed(onATReaderClosed_cdma);
        at_set_on_timeout(onATTimeout_cdma);

        int fd = -1;
        for (;;) {
            int r = HandleDeviceHotPlugin();
            if ((r & 5) != 0) {
                // discovery rewrites s_cardtype with whatever it classified, so
                // the family that runs here is the one to compare with
                if (getcardtype(g_pcuidevice_path) != RIL_FAMILY_CDMA) exit(0);
                fd = ril_open_at_port();
                if (fd >= 0) break;
            }
            RILDEBUG("opening AT interface. retrying...%s", strerror(errno));
            g_inhotstatus = 0;
            ResetModule(kCdmaSource, __LINE__, 1);
            sleepMsec(2000);
        }

        if (strncmp(g_pcuidevice_path, "/dev/ttyUSB", 11) == 0) {
            if (ril_set_serial_line(fd, 1) != 0) {
                close(fd);
                return nullptr;
            }
        } else {
            RILDEBUG("God >> Open device error %s", g_pcuidevice_path);
            if (ril_set_serial_line(fd, 0) != 0) {
                close(fd);
                return nullptr;
            }
        }

        PrepareSem();
        ril_family_set_channel_closed(&g_family_cdma, 0);
        int ret = at_open(fd, onUnsolicited_cdma);
        if (ret < 0) {
            RIL_LOGE("God >> AT error %d on at_open\n", ret);
            return nullptr;
        }

        if (g_inhotstatus == 0) {
            struct timeval now = {0, 0};
            RIL_requestTimedCallback_cdma(initializeCallback_cdma, nullptr, &now);
        } else {
            AtReply *p_response = nullptr;
            int err = at_send_command_full("AT", NO_RESULT, nullptr, nullptr, 500, &p_response);
            bool ok = err >= 0 && p_response != nullptr && p_response->success;
            at_response_free(p_response);
            if (!ok) {
                at_close();
                continue;
            }
            if (s_radio_state_cdma == RADIO_STATE_RUIM_READY) {
                struct timeval delay = {3, 0};
                StartCheckDataCheck(CheckDataStatus, &delay);
            } else {
                struct timeval delay = {6, 0};
                RIL_requestTimedCallback_cdma(initializeCallback_cdma, nullptr, &delay);
            }
        }
        sleepMsec(1000);
        ril_family_wait_for_close(&g_family_cdma);
    }
}

extern "C" void initializeCallback_cdma(void * /*param*/) {
    setRadioState_cdma(RADIO_STATE_RUIM_NOT_READY);
    at_handshake();
    if (isRadioOn_cdma() <= 0) {
        at_send_command("AT+CFUN=1", nullptr);
        sleepMsec(2000);
    }
    at_send_command("AT+RFSET=1002", nullptr);
    at_send_command("ATE0", nullptr);
    GetMeid();
    AtReply *p_response = nullptr;
    at_send_command("AT^PREFMODE=8", &p_response);
    at_response_free(p_response);
    static const char *const kAudio[] = {
        "AT+CLIP=0",
        "AT+GPIOSLP=1",
        "AT+CLVL=7",
        "AT+VOCVAL=2, FFFF,  FFFF, FFFF",
        "AT+VOCVAL=1, 3000,  3000, 5000",
        "AT+VOCVAL=0, 3000,  3000, 5000",
        "AT+MICG = 6",
    };
    for (const char *cmd : kAudio) at_send_command(cmd, nullptr);
    GetPPPServiceName();
    pollSIMState_cdma(nullptr);
    at_send_command("ATE0", nullptr);
    at_send_command("AT+INITHOST=10", nullptr);
    at_send_command("AT+VOCBK=0", nullptr);
    kv_raise_event(2, nullptr);
}

// Runs inside setRadioState when the RUIM has just become ready, before the
// radio-state notification.
extern "C" void onSIMReady_cdma(void) {
    RILDEBUG("%s", "onSIMReady");
    G_userdisconnect = 1;
    if (!at_send_ok("AT+CNMI=1,2,2,1,1")) return;
    AtReply *p_response = nullptr;
    at_send_command_multiline("AT+CPMS=\"ME\",\"ME\",\"ME\"", "+CPMS", &p_response);
    at_response_free(p_response);
    static bool s_pollStarted = false;
    if (!s_pollStarted) {
        s_pollStarted = true;
        startSignalPoll_cdma();
    }
    const char *format = G_USERORIGN_DATA ? "AT+CMGF=3" : (PDU_SUPPORT ? "AT+CMGF=1" : "AT+CMGF=2");
    if (!at_send_ok(format)) return;
    at_send_command("ATE0", nullptr);
    p_response = nullptr;
    int err = at_send_command_singleline("AT+CIMI", "+CIMI:", &p_response);
    if (err >= 0 && p_response != nullptr && p_response->success && p_response->p_intermediates != nullptr) {
        char *line = p_response->p_intermediates->line;
        char *cimi = nullptr;
        // modules answer with or without the prefix; the channel restores it
        if (at_tok_start(&line) >= 0 && at_tok_nextstr(&line, &cimi) >= 0 && cimi != nullptr)
            property_set("ril.cimi", cimi);
    }
    at_response_free(p_response);
    struct timeval delay = {30, 0};
    RIL_requestTimedCallback_cdma(writeRuimFiles, nullptr, &delay);
}

static RIL_RadioState currentState_cdma(void) { return ril_family_current_state(&g_family_cdma, 0); }
static int onSupports(int /*requestCode*/) { return 1; }
static void onCancel(RIL_Token /*t*/) {}
static const char *getVersion_cdma(void) {
    static char s_version[512];
    return ril_family_version(s_version, sizeof(s_version), ":getVersion(vox)");
}

extern "C" const RIL_RadioFunctions s_callbacks_cdma = {
    RIL_VERSION, onRequest_cdma, currentState_cdma, onSupports, onCancel, getVersion_cdma,
};
