// The data-call requests of the three families: set-up, deactivation, the
// data call list, the last failure cause, the initial attach APN and
// allow-data.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "at_link.h"
#include "at_reply.h"
#include "ril_at_text.h"
#include "ril_data.h"
#include "ril_data_list.h"
#include "ril_families.h"
#include "ril_handlers.h"
#include "ril_log.h"
#include "ril_network.h"
#include "usb_discovery.h"

namespace {

// the operator's default data-service account of the CDMA family
const struct {
    const char *user;
    const char *pass;
} dflt = {RIL_CDMA_DEFAULT_USER, RIL_CDMA_DEFAULT_PASSWORD};

// records of the last list answer, and their texts
constexpr size_t kMaxListRecords = 16;

struct Family {
    int index;
    void (*complete)(RIL_Token, RIL_Errno, void *, size_t);
    void (*unsol)(int, const void *, size_t);
};

const Family kCdma = {RIL_FAMILY_CDMA, RIL_onRequestComplete_cdma, RIL_onUnsolicitedResponse_cdma};
const Family kWcdma = {RIL_FAMILY_WCDMA, RIL_onRequestComplete_wcdma, RIL_onUnsolicitedResponse_wcdma};
const Family kLte = {RIL_FAMILY_LTE, RIL_onRequestComplete_lte, RIL_onUnsolicitedResponse_lte};

const char *nonEmpty(const char *s) { return (s != nullptr && s[0] != '\0') ? s : nullptr; }

struct SetupArgs {
    const char *apn;
    const char *user;
    const char *pass;
};

// The set-up's outside texts: the APN goes into "AT+CGDCONT", the user and
// password into "at^gpspsword" and onto pppd's command line. Anything that
// could leave its quotes, or would not fit whole, is refused: the request
// completes with a generic failure and nothing is sent.
bool setupArgs(const Family &f, void *data, size_t datalen, RIL_Token t, SetupArgs *a) {
    a->apn = nonEmpty(ril_request_string(data, datalen, 2));
    a->user = nonEmpty(ril_request_string(data, datalen, 3));
    a->pass = nonEmpty(ril_request_string(data, datalen, 4));
    bool ok = (f.index == RIL_FAMILY_CDMA || a->apn == nullptr || ril_apn_ok(a->apn)) &&
              ril_ppp_credential_ok(a->user, "user") && ril_ppp_credential_ok(a->pass, "password");
    if (!ok) {
        RILDEBUG("%s", "setup data call: refused APN, user name or password");
        f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
    }
    return ok;
}

// One pppd credential: "<keyword> <value>" (a blank when there is none), and
// when asked the bare value beside it.
template <size_t N, size_t M>
void setCredential(char (&line)[N], char (&bare)[M], const char *keyword, const char *value, bool alsoBare) {
    if (value != nullptr) {
        if (alsoBare) {
            memset(bare, 0, sizeof(bare));
            snprintf(bare, sizeof(bare), "%s", value);
        }
        snprintf(line, sizeof(line), "%s %s", keyword, value);
    } else {
        snprintf(line, sizeof(line), "%s", " ");
    }
}

void setUser(const char *user, bool alsoBare) { setCredential(g_pppduser, g_pppduser_only, "user", user, alsoBare); }

void setPassword(const char *pass, bool alsoBare) {
    setCredential(g_pppdwd, g_pppdwd_only, "password", pass, alsoBare);
}

void setApn(const char *apn) { snprintf(g_apn, sizeof(g_apn), "%s", apn != nullptr ? apn : "3gnet"); }

#if RIL_VERSION >= 15
// the first number of a single-line reply; false when the command failed or
// the line did not parse
bool firstNumber(const char *cmd, const char *prefix, int *out, bool *sent) {
    AtReply *r = nullptr;
    int err = at_send_command_singleline(cmd, prefix, &r);
    bool ok = false;
    *sent = err >= 0 && r != nullptr && r->success;
    if (*sent && r->p_intermediates != nullptr) {
        char *p = r->p_intermediates->line;
        ok = at_tok_start(&p) >= 0 && at_tok_nextint(&p, out) >= 0;
    }
    at_response_free(r);
    return ok;
}

// The LTE set-up's signal and service gates: true when the module reports
// no signal (99) or, after a signal that parsed, a service other than 2.
// Failed or unparsed replies let the set-up go on.
bool lteSignalGates(void) {
    int value = 0;
    bool sent = false;
    bool parsed = is_cdma == 1 ? firstNumber("AT+CCSQ", "+CCSQ:", &value, &sent)
                               : firstNumber("AT+CSQ", "+CSQ:", &value, &sent);
    bool refuse = parsed && value == 99;
    if (parsed && !refuse) {
        int service = 0;
        if (firstNumber("AT^SYSINFO", "^SYSINFO:", &service, &sent) && service != 2) refuse = true;
    }
    return refuse;
}
#else
// pppd's authentication option from the set-up's authentication type: only
// the fixed texts below ever reach the command line
void setAuthOption(const char *type) {
    if (type != nullptr && strcmp(type, "0") == 0) {
        g_auth_option = "-pap -chap";
    } else if (type != nullptr && strcmp(type, "1") == 0) {
        g_auth_option = "-chap";
        is_pap = 1;
    } else if (type != nullptr && strcmp(type, "2") == 0) {
        g_auth_option = "-pap";
        is_pap = 0;
    } else {
        g_auth_option = "";
    }
    RILDEBUG("setup data call: authentication option \"%s\", is_pap %d", g_auth_option, is_pap);
}
#endif

void stopBeforeSetup(void) {
    StopPPPD("Stop PPPD before setup data call", 0);
    G_userdisconnect = 0;
    if (g_inprocess) {
        SetGuradFlag("setup data call", __LINE__);
        g_inprocess = 0;
        StopPPPD("Stop PPPD before setup data call", 0);
        RILDEBUG("%s", " God >> now in Inprocess now, force 0 now\n");
    }
}

void failDuringCall(const Family &f, RIL_Token t) {
    G_userdisconnect = 1;
    SetGuradFlag("PPPD Fail", __LINE__);
    f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
}

/* ---- the data call list ---- */

RilPdpEntry s_entries[kMaxListRecords];
RIL_DataCallRecord s_listout[kMaxListRecords];

// Builds the list from "+CGACT:" and "+CGDCONT:"; false when the module
// failed or a line did not parse. lteSingle: one record, which becomes the
// current data call record.
bool buildList(bool lteSingle, size_t *count) {
    AtReply *r = nullptr;
    int err = at_send_command_multiline("AT+CGACT?", "+CGACT:", &r);
    if (err < 0 || r == nullptr || !r->success || r->p_intermediates == nullptr) {
        at_response_free(r);
        return false;
    }
    int n = ril_parse_cgact(r, s_entries, (int)kMaxListRecords, lteSingle ? 1 : 0);
    at_response_free(r);
    if (n < 0) return false;
    r = nullptr;
    err = at_send_command_multiline("AT+CGDCONT?", "+CGDCONT:", &r);
    bool ok = err >= 0 && r != nullptr && r->success && ril_parse_cgdcont(r, s_entries, n) == 0;
    at_response_free(r);
    if (!ok) return false;
    for (int i = 0; i < n; i++) {
        RIL_DataCallRecord &o = s_listout[i];
        memset(&o, 0, sizeof(o));
        o.status = 0;
        o.suggestedRetryTime = 10;
        o.cid = s_entries[i].cid;
        o.active = s_entries[i].active;
        o.type = s_entries[i].type;
        o.ifname = (char *)"ppp0";
        o.addresses = (char *)"";
        o.dnses = (char *)"208.67.222.222";
        o.gateways = (char *)"";
#if RIL_VERSION >= 15
        o.pcscf = (char *)"";
        o.mtu = 0;
#endif
    }
    if (lteSingle && n > 0) s_listout[0] = g_datacall_response;
    *count = (size_t)n;
    return true;
}

void dataCallList(const Family &f, bool lteSingle, RIL_Token t) {
    size_t n = 0;
    bool ok = buildList(lteSingle, &n);
    bool report = f.index == RIL_FAMILY_CDMA || s_hasinit;
    if (t != nullptr) {
        if (!ok)
            f.complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        else
            f.complete(t, RIL_E_SUCCESS, n ? s_listout : nullptr, n * sizeof(s_listout[0]));
        return;
    }
    if (!report) return;
    if (!ok || n == 0)
        f.unsol(RIL_UNSOL_DATA_CALL_LIST_CHANGED, nullptr, 0);
    else
        f.unsol(RIL_UNSOL_DATA_CALL_LIST_CHANGED, s_listout, n * sizeof(s_listout[0]));
}

// a deactivation answers a parked set-up at once
void endParkedSetup(void) {
    RIL_DataCallRecord rec = g_datacall_response;
    rec.status = 0;
    rec.suggestedRetryTime = 99;
    rec.addresses = nullptr;
    rec.dnses = nullptr;
    static RIL_DataCallRecord s_rec;
    s_rec = rec;
    ril_complete_data_token(RIL_E_GENERIC_FAILURE, &s_rec);
}

void deactivateDone(const Family &f, RIL_Token t) {
    f.complete(t, RIL_E_SUCCESS, nullptr, 0);
    if (f.index == RIL_FAMILY_CDMA || s_hasinit) f.unsol(RIL_UNSOL_DATA_CALL_LIST_CHANGED, nullptr, 0);
}

}  // namespace

extern "C" {

/* ---- SETUP_DATA_CALL ---- */

void OnCDMA_RIL_REQUEST_SETUP_DATA_CALL(void *data, size_t datalen, RIL_Token t) {
    SetupArgs a;
    if (!setupArgs(kCdma, data, datalen, t, &a)) return;
    const char *user = a.user, *pass = a.pass;
    SetGuradFlag("OnCDMA_RIL_REQUEST_SETUP_DATA_CALL", __LINE__);
    RILDEBUG("%s", "Stop existing PPPd before activating PDP");
    G_userdisconnect = 0;
    property_set("net.gprs.ppp-exit", "");
    property_set("net.ppp0.local-ip", "");
    setUser(user != nullptr ? user : dflt.user, true);
    setPassword(pass != nullptr ? pass : dflt.pass, true);
    ril_park_data_token(t);
    ResumeSem("OnCDMA_RIL_REQUEST_SETUP_DATA_CALL", __LINE__);
    RILDEBUG("%s", "PPPd started");
}

void OnWCDMA_RIL_REQUEST_SETUP_DATA_CALL(void *data, size_t datalen, RIL_Token t) {
    SetupArgs a;
    if (!setupArgs(kWcdma, data, datalen, t, &a)) return;
    const char *apn = a.apn, *user = a.user, *pass = a.pass;
    SetGuradFlag("OnWCDMA_RIL_REQUEST_SETUP_DATA_CALL", __LINE__);
    Get3GMode();
    stopBeforeSetup();
    property_set("net.gprs.ppp-exit", "");
    setUser(user, false);
    setPassword(pass, false);
    setApn(apn);
    if (G_incall) {
        failDuringCall(kWcdma, t);
        return;
    }
    ril_park_data_token(t);
    ResumeSem("OnWCDMA_RIL_REQUEST_SETUP_DATA_CALL", __LINE__);
    if (s_hasinit) RIL_onUnsolicitedResponse_wcdma(RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED, nullptr, 0);
}

void OnLTE_RIL_REQUEST_SETUP_DATA_CALL(void *data, size_t datalen, RIL_Token t) {
    SetupArgs a;
    if (!setupArgs(kLte, data, datalen, t, &a)) return;
    const char *apn = a.apn, *user = a.user, *pass = a.pass;
    SetGuradFlag("OnLTE_RIL_REQUEST_SETUP_DATA_CALL", __LINE__);
#if RIL_VERSION >= 15
    if (lteSignalGates()) {
        RILDEBUG("%s", " current_csq_value is 99 abort the data call\n");
        sleepMsec(1000);
        RIL_onRequestComplete_lte(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
#else
    // the legacy set-up has no gates; it takes pppd's authentication option
    setAuthOption(ril_request_string(data, datalen, 5));
#endif
    stopBeforeSetup();
    property_set("net.gprs.ppp-exit", "");
    GetLteRadioTech();
    setUser(user, true);
    setPassword(pass, true);
    setApn(apn);
    if (G_incall) {
        failDuringCall(kLte, t);
        return;
    }
    ril_park_data_token(t);
    ResumeSem("OnLTE_RIL_REQUEST_SETUP_DATA_CALL", __LINE__);
}

/* ---- DEACTIVATE_DATA_CALL ---- */

void OnCDMA_RIL_REQUEST_DEACTIVATE_DATA_CALL(void *data, size_t datalen, RIL_Token t) {
    G_userdisconnect = 1;
    SetGuradFlag("OnCDMA_RIL_REQUEST_DEACTIVATE_DATA_CALL", __LINE__);
    endParkedSetup();
    property_set("net.ppp0.local-ip", "");
    const char *cid = ril_request_string(data, datalen, 0);
    if (cid != nullptr) RILDEBUG("deactivate cid %.8s", cid);
    StopPPPD("RIL_REQUEST_DEACTIVATE_DATA_CALL", 0);
    g_pppd_usersetup = 0;
    deactivateDone(kCdma, t);
}

void OnWCDMA_RIL_REQUEST_DEACTIVATE_DATA_CALL(void *, size_t, RIL_Token t) {
    G_userdisconnect = 1;
    SetGuradFlag("OnWCDMA_RIL_REQUEST_DEACTIVATE_DATA_CALL", __LINE__);
    endParkedSetup();
    StopPPPD("RIL_REQUEST_DEACTIVATE_DATA_CALL", 0);
    deactivateDone(kWcdma, t);
}

void OnLTE_RIL_REQUEST_DEACTIVATE_DATA_CALL(void *, size_t, RIL_Token t) {
    G_userdisconnect = 1;
    SetGuradFlag("OnLTE_RIL_REQUEST_DEACTIVATE_DATA_CALL", __LINE__);
    endParkedSetup();
    AtReply *r = nullptr;
    if (g_use_rndis) {
        at_send_command("AT+CONN=0, 0", &r);
        at_response_free(r);
        const char *argv[] = {"netcfg", "eth0", "down", nullptr};
        ril_run_program(argv);
    } else {
        // the legacy build drops the context instead of the module's data down
        at_send_command(RIL_VERSION >= 15 ? "AT^DATADOWN" : "AT+CGACT=0, 1", &r);
        at_response_free(r);
        StopPPPD("RIL_REQUEST_DEACTIVATE_DATA_CALL", 0);
    }
    deactivateDone(kLte, t);
}

/* ---- DATA_CALL_LIST ---- */

void OnCDMA_RIL_REQUEST_DATA_CALL_LIST(void *, size_t, RIL_Token t) { dataCallList(kCdma, false, t); }
void OnWCDMA_RIL_REQUEST_DATA_CALL_LIST(void *, size_t, RIL_Token t) { dataCallList(kWcdma, false, t); }
void OnLTE_RIL_REQUEST_DATA_CALL_LIST(void *, size_t, RIL_Token t) { dataCallList(kLte, true, t); }

/* ---- the rest ---- */

void OnCDMA_RIL_REQUEST_LAST_DATA_CALL_FAIL_CAUSE(void *, size_t, RIL_Token t) {
    int cause = 0xffff;
    RIL_onRequestComplete_cdma(t, RIL_E_SUCCESS, &cause, sizeof(cause));
}

void OnWCDMA_RIL_REQUEST_SET_INITIAL_ATTACH_APN(void *, size_t, RIL_Token t) {
    RIL_onRequestComplete_wcdma(t, RIL_E_SUCCESS, nullptr, 0);
}

void OnLTE_RIL_REQUEST_SET_INITIAL_ATTACH_APN(void *, size_t, RIL_Token t) {
    char value[PROPERTY_VALUE_MAX];
    property_get("ril.rild.connected", value, "0");
    if (strcmp(value, "0") == 0) {
        property_set("ril.rild.connected", "true");
        RILDEBUG("WGod>> %s reconnect  ", "OnLTE_RIL_REQUEST_SET_INITIAL_ATTACH_APN");
        exit(0);
    }
    RIL_onRequestComplete_lte(t, RIL_E_SUCCESS, nullptr, 0);
}

static void allowData(void *data, size_t datalen) {
    if (data != nullptr && datalen >= sizeof(int)) RILDEBUG("allow data %d", *(const int *)data);
}

void OnWCDMA_RIL_REQUEST_ALLOW_DATA(void *data, size_t datalen, RIL_Token t) {
    allowData(data, datalen);
    RIL_onRequestComplete_wcdma(t, RIL_E_SUCCESS, nullptr, 0);
}

void OnLTE_RIL_REQUEST_ALLOW_DATA(void *data, size_t datalen, RIL_Token t) {
    allowData(data, datalen);
    RIL_onRequestComplete_lte(t, RIL_E_SUCCESS, nullptr, 0);
}

}  // extern "C"
