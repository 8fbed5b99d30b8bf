// Radio power, flight mode and screen state of the three families. Every
// family ignores the first radio-off request after start-up (the framework
// sends one as it starts).
#include <stdio.h>
#include <string.h>

#include "at_link.h"
#include "ril_families.h"
#include "ril_handlers.h"
#include "ril_log.h"
#include "ril_sim.h"

extern "C" {
int s_firstoff_cdma = 1;
int s_firstoff_wcdma = 1;
int s_firstoff_lte = 1;
int g_screenon = 1;
unsigned int G_screenon = 0;
unsigned int G_screenoff = 0;
int g_isleep_maybe = 0;
}

static const char kPowerSourceCdma[] = "hardware/ril/reference-ril/reference-ril.c";
static const char kPowerSourceWcdma[] = "hardware/ril/reference-ril/reference-ril_wcdma.c";
static const char kPowerSourceLte[] = "hardware/ril/reference-ril/reference-ril_lte.c";

// The requested power value, or false when the request carries no int.
static bool powerValue(const void *data, size_t datalen, int *value) {
    if (data == nullptr || datalen < sizeof(int)) return false;
    memcpy(value, data, sizeof(int));
    return true;
}

/* ------------------------------------------------------------------ */
/* RADIO_POWER                                                           */
/* ------------------------------------------------------------------ */

extern "C" void OnCDMA_RIL_REQUEST_RADIO_POWER(void *data, size_t datalen, RIL_Token t) {
    int onOff = -1;
    if (!powerValue(data, datalen, &onOff)) {
        RIL_onRequestComplete_cdma(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    RILDEBUG("RADIO_POWER %d", onOff);
    if (onOff == 0) {
        if (s_firstoff_cdma) {
            s_firstoff_cdma = 0;
            struct timeval later = {2, 0};
            RIL_requestTimedCallback_cdma(RefreshCardStatus, nullptr, &later);
        } else {
            SetGuradFlag(kPowerSourceCdma, __LINE__);
            StopPPPD("RIL_REQUEST_RADIO_POWER", 0);
            g_inprocess = 0;
            at_send_command("AT+CFUN=0", nullptr);
            property_set("ril.priority", "");
            setRadioState_cdma(RADIO_STATE_OFF);
        }
    } else if (onOff > 0) {
        g_inprocess = 0;
        SetGuradFlag(kPowerSourceCdma, __LINE__);
        StopPPPD("RIL_REQUEST_RADIO_POWER", 0);
        at_send_command("AT+CFUN=1", nullptr);
        at_send_command("AT^PREFMODE=8", nullptr);
        pollSIMState_cdma(nullptr);
        RIL_onUnsolicitedResponse_cdma(RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED, nullptr, 0);
    }
    RIL_onRequestComplete_cdma(t, RIL_E_SUCCESS, nullptr, 0);
}

// What differs in RADIO_POWER between the WCDMA and LTE families.
struct PowerRow {
    const RilFamily *family;
    int *firstOff;
    const char *source; // the guard token's file name
    void (*setState)(RIL_RadioState s, int line);
    int (*isRadioOn)(void);
    void (*pollSim)(void *param);
    void (*beforeOff)(void);  // after the guard, before "AT+CFUN=0"
    void (*afterOff)(void);   // after "AT+CFUN=0", before the state goes off
    void (*offDone)(void);    // after the off request is completed
    bool onAfterPoll;         // the state goes on when the radio was already on
    void (*powerOn)(void);    // the radio was off: switch it on
};

static void wcdmaBeforeOff() { s_datacall_wcdma.status = 0xFFFF; }
static void wcdmaAfterOff() { s_pinentered = 0; }
// the module drops off the bus for a while after CFUN=0
static void wcdmaOffDone() { sleepMsec(6000); }
static void wcdmaPowerOn() {
    StopPPPD(" fly", 0);
    SetGuradFlag(kPowerSourceWcdma, __LINE__);
    G_userdisconnect = 1;
    g_inhotstatus = 0;
    at_send_command("AT+CFUN=1", nullptr);
    setRadioState_wcdma(RADIO_STATE_ON, __LINE__);
}

static void lteAfterOff() { g_use_hasdataservice = 0; }
static void lteOffDone() {
    if (s_hasinit) RIL_onUnsolicitedResponse_lte(RIL_UNSOL_DATA_CALL_LIST_CHANGED, nullptr, 0);
}
static void ltePowerOn() {
    SetGuradFlag(kPowerSourceLte, __LINE__);
    G_userdisconnect = 1;
    g_inhotstatus = 0;
    g_hasdatacard = 0;
    at_send_command("AT+CFUN=1", nullptr);
    sleepMsec(2000);
    setRadioState_lte(RADIO_STATE_ON, __LINE__);
    if (s_hasinit) {
        RIL_onUnsolicitedResponse_lte(RIL_UNSOL_DATA_CALL_LIST_CHANGED, nullptr, 0);
        RIL_onUnsolicitedResponse_lte(RIL_UNSOL_RESPONSE_SIM_STATUS_CHANGED, nullptr, 0);
    }
    g_inhotstatus = 1;
    SetGuradFlag(kPowerSourceLte, __LINE__);
    G_userdisconnect = 1;
}

static const PowerRow kPowerWcdma = {&g_family_wcdma, &s_firstoff_wcdma, kPowerSourceWcdma, setRadioState_wcdma,
                                     isRadioOn_wcdma, pollSIMState_wcdma, wcdmaBeforeOff, wcdmaAfterOff,
                                     wcdmaOffDone, true, wcdmaPowerOn};
static const PowerRow kPowerLte = {&g_family_lte, &s_firstoff_lte, kPowerSourceLte, setRadioState_lte,
                                   isRadioOn_lte, pollSIMState_lte, nullptr, lteAfterOff,
                                   lteOffDone, false, ltePowerOn};

static void radioPower(const PowerRow &r, void *data, size_t datalen, RIL_Token t) {
    int onOff = -1;
    if (!powerValue(data, datalen, &onOff) || onOff < 0) {
        ril_family_complete(r.family, t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    RILDEBUG("RADIO_POWER %d", onOff);
    if (onOff == 0) {
        if (*r.firstOff) {
            *r.firstOff = 0;
            ril_family_complete(r.family, t, RIL_E_SUCCESS, nullptr, 0);
            property_set("ril.kivo.value", "1");
            return;
        }
        G_userdisconnect = 1;
        StopPPPD("flymode", 0);
        SetGuradFlag(r.source, __LINE__);
        if (r.beforeOff != nullptr) r.beforeOff();
        g_inprocess = 0;
        at_send_command("AT+CFUN=0", nullptr);
        r.afterOff();
        r.setState(RADIO_STATE_OFF, __LINE__);
        ril_family_complete(r.family, t, RIL_E_SUCCESS, nullptr, 0);
        r.offDone();
        return;
    }
    if (r.isRadioOn() == 1) {
        r.pollSim(nullptr);
        if (r.onAfterPoll) r.setState(RADIO_STATE_ON, __LINE__);
    } else {
        r.powerOn();
    }
    ril_family_complete(r.family, t, RIL_E_SUCCESS, nullptr, 0);
}

extern "C" void OnWCDMA_RIL_REQUEST_RADIO_POWER(void *data, size_t datalen, RIL_Token t) {
    radioPower(kPowerWcdma, data, datalen, t);
}

extern "C" void OnLTE_RIL_REQUEST_RADIO_POWER(void *data, size_t datalen, RIL_Token t) {
    radioPower(kPowerLte, data, datalen, t);
}

/* ------------------------------------------------------------------ */
/* SCREEN_STATE                                                          */
/* ------------------------------------------------------------------ */

extern "C" void OnCDMA_RIL_REQUEST_SCREEN_STATE(void *data, size_t datalen, RIL_Token t) {
    int on = 0;
    if (data == nullptr || datalen < sizeof(int)) {
        RIL_onRequestComplete_cdma(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    memcpy(&on, data, sizeof(int));
    if (on == 1) {
        G_screenon = GetTickCount();
        g_screenon = 1;
    } else {
        G_screenoff = GetTickCount();
        g_screenon = 0;
        g_isleep_maybe = 1;
    }
    RIL_onRequestComplete_cdma(t, RIL_E_SUCCESS, nullptr, 0);
}

static void logScreenState(const void *data, size_t datalen) {
    int on = -1;
    if (data != nullptr && datalen >= sizeof(int)) memcpy(&on, data, sizeof(int));
    RILDEBUG("SCREEN_STATE %d", on);
}

extern "C" void OnWCDMA_RIL_REQUEST_SCREEN_STATE(void *data, size_t datalen, RIL_Token t) {
    logScreenState(data, datalen);
    RIL_onRequestComplete_wcdma(t, RIL_E_SUCCESS, nullptr, 0);
}

extern "C" void OnLTE_RIL_REQUEST_SCREEN_STATE(void *data, size_t datalen, RIL_Token t) {
    logScreenState(data, datalen);
    RIL_onRequestComplete_lte(t, RIL_E_SUCCESS, nullptr, 0);
}

/* ------------------------------------------------------------------ */
/* Back from flight mode                                                 */
/* ------------------------------------------------------------------ */

extern "C" void activeflydata_wcdma(void *) {
    if (!s_hasinit) return;
    RIL_onUnsolicitedResponse_wcdma(RIL_UNSOL_DATA_CALL_LIST_CHANGED, nullptr, 0);
    RIL_onUnsolicitedResponse_wcdma(RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED, nullptr, 0);
}

extern "C" void activeflydata_lte(void *) {
    if (!s_hasinit) return;
    static RIL_DataCallRecord s_record;
    memset(&s_record, 0, sizeof(s_record));
    s_record.cid = 1;
    s_record.active = 0;
    s_record.type = (char *)"IP";
    s_record.ifname = (char *)"ppp0";
    RIL_onUnsolicitedResponse_lte(RIL_UNSOL_DATA_CALL_LIST_CHANGED, &s_record, sizeof(s_record));
}
