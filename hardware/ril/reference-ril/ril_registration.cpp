// Registration state, operator and radio technology of the three families,
// and the small network-state queries the packet-data code shares.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "at_link.h"
#include "at_query.h"
#include "ril_at_text.h"
#include "ril_parsers.h"
#include "ril_profile.h"
#include "at_reply.h"
#include "ril_families.h"
#include "ril_handlers.h"
#include "ril_log.h"
#include "ril_network.h"
#include "usb_discovery.h"

extern "C" {
int s_registered = 0;
int s_is3g = 1;
int s_lastreg6290 = 0;
int s_copsmode = 0;
int s_cdmaservice = 0;
int s_cdmadatatech = 6;
int s_gpsnwzero = 0;
char s_regbuf[RIL_REGBUF_COUNT][RIL_REGBUF_SIZE];
char s_opername_cdma[RIL_OPERNAME_CDMA_SIZE];
char s_opername_wcdma[RIL_OPERNAME_WCDMA_SIZE];
char s_opernumeric_cdma[RIL_OPERNUMERIC_SIZE];
char s_opernumeric_wcdma[RIL_OPERNUMERIC_SIZE];
char s_cimicache[RIL_CIMICACHE_SIZE];
int s_lte_lac = 0;
int s_lte_cid = 0;
RIL_VoiceRegistrationStateResponse s_voicereg_lte;
RIL_DataRegistrationStateResponse s_datareg_lte;
int is_srlte = 0;
int is_mode_g = 0;

// Flags owned by the call, flight-mode and packet-data areas (s_simcard is
// the identity area's). They
// are defined weak here so this area links on its own; the owning area's
// definition takes precedence.
__attribute__((weak)) int g_use_hasdataservice = 1;
__attribute__((weak)) int G_incall = 0;
__attribute__((weak)) int g_flying = 0;
__attribute__((weak)) int g_fly_datareg = 0;
}

static const char kNoError[] = "requestRegistrationState must never return an error when radio is on";
static const char kOperatorError[] = "requestOperator must not return error when radio is on";



// A "+CREG:"-style line: the field layout follows from the number of commas
// (state | mode,state | state,lac,cid | mode,state,lac,cid | ...,act).
// lacNoCell is the LAC/CID given for the two short forms with one comma.
// Roaming (5) reads as registered home (1). Writes the outputs only on success.
static int parseCregLine(char *line, int lacOneComma, int *state, int *lac, int *cid) {
    char *p = line;
    if (at_tok_start(&p) < 0 || p == nullptr) return -1;
    int commas = 0;
    for (const char *c = p; *c != '\0'; c++)
        if (*c == ',') commas++;
    int mode = 0, st = 0, l = -1, c = -1, act = 0;
    int err = 0;
    switch (commas) {
        case 0:
            err = at_tok_nextint(&p, &st);
            break;
        case 1:
            err = at_tok_nextint(&p, &mode);
            if (err >= 0) err = at_tok_nextint(&p, &st);
            l = c = lacOneComma;
            break;
        case 2:
            err = at_tok_nextint(&p, &st);
            if (err >= 0) err = at_tok_nexthexint(&p, &l);
            if (err >= 0) err = at_tok_nexthexint(&p, &c);
            break;
        case 3:
        case 4:
            err = at_tok_nextint(&p, &mode);
            if (err >= 0) err = at_tok_nextint(&p, &st);
            if (err >= 0) err = at_tok_nexthexint(&p, &l);
            if (err >= 0) err = at_tok_nexthexint(&p, &c);
            if (err >= 0 && commas == 4) err = at_tok_nexthexint(&p, &act);
            break;
        default:
            return -1;
    }
    if (err < 0) return -1;
    if (st == 5) st = 1;
    *state = st;
    *lac = l;
    *cid = c;
    return 0;
}

/* ------------------------------------------------------------------ */
/* WCDMA                                                                */
/* ------------------------------------------------------------------ */

static int s_prefmode_pending = 0;

static void sendPrefMode2(void * /*param*/) {
    s_prefmode_pending = 0;
    at_send_command("AT+CPREFMODE=2", nullptr);
}

extern "C" const char *Get3GMode(void) {
    const bool cnsmod = ril_module_profile()->reportsCnsmod != 0;
    AtQuery reply = AT_QUERY_INIT;
    char *line = cnsmod ? at_query_single(&reply, "AT+CNSMOD?", "+CNSMOD:")
                        : at_query_single(&reply, "AT^SYSINFO", "^SYSINFO:");
    const char *answer = "0";
    int c = 0;
    if (line != nullptr) {
        char *p = line;
        if (at_tok_start(&p) >= 0) {
            int v = 0;
            if (cnsmod) {
                if (at_tok_nextint(&p, &v) >= 0 && at_tok_nextint(&p, &v) >= 0) c = v;
            } else {
                // up to seven fields; the last one read is the (sub-)mode
                for (int i = 0; i < 7 && at_tok_nextint(&p, &v) >= 0; i++) c = v;
            }
        }
        s_is3g = c > 3;
        if (c == 0) {
            s_registered = 0;
            g_use_hasdataservice = 0;
        } else {
            s_registered = 1;
            g_use_hasdataservice = 1;
            switch (c) {
                case 1:
                case 2: answer = cnsmod ? "2" : "1"; break;
                case 3: answer = "2"; break;
                case 4: answer = "3"; break;
                case 5: answer = "9"; break;
                case 6: answer = "10"; break;
                case 7: answer = "11"; break;
                default: answer = "0"; break;
            }
        }
    }
    at_query_free(&reply);
    RILDEBUG("Get3GMode: mode %d, answer %s, registered %d", c, answer, s_registered);

    if (cnsmod) {
        if (c == 0 && s_lastreg6290 == 1) {
            // service just lost
            SetGuradFlag("Get3GMode", __LINE__);
            if (s_hasinit) RIL_onUnsolicitedResponse_wcdma(RIL_UNSOL_DATA_CALL_LIST_CHANGED, nullptr, 0);
            at_send_command("AT+CPREFMODE=14", nullptr);
            at_send_command("AT+CPREFMODE=2", nullptr);
        }
        s_lastreg6290 = s_registered;
    } else if (s_simcard != 0 && s_is3g == 0 && !s_prefmode_pending) {
        // one pending at a time: every query would otherwise add another
        s_prefmode_pending = 1;
        struct timeval delay = {150000, 0};
        RIL_requestTimedCallback_wcdma(sendPrefMode2, nullptr, &delay);
    }
    return answer;
}

extern "C" void OnWCDMA_RIL_REQUEST_VOICE_REGISTRATION_STATE(void * /*data*/, size_t /*datalen*/,
                                                             RIL_Token t) {
    at_send_command("AT+CREG=2", nullptr);
    AtQuery reply = AT_QUERY_INIT;
    char *line = at_query_single(&reply, "AT+CREG?", "+CREG:");
    int state = 0, lac = -1, cid = -1;
    if (line == nullptr || parseCregLine(line, -1, &state, &lac, &cid) < 0) {
        at_query_free(&reply);
        static const char *const kDefault[4] = {"10", "0", "0", "1"};
        RIL_onRequestComplete_wcdma(t, RIL_E_SUCCESS, (void *)kDefault, sizeof(kDefault));
        return;
    }
    at_query_free(&reply);

    s_registered = state != 0;
    char lacText[16], cidText[16], stateText[16];
    snprintf(lacText, sizeof(lacText), "%x", (unsigned int)lac);
    snprintf(cidText, sizeof(cidText), "%x", (unsigned int)cid);
    const char *tech = Get3GMode();
    if (s_radio_state_wcdma != RADIO_STATE_SIM_READY) s_registered = 0;
    snprintf(stateText, sizeof(stateText), "%d", state);
    char *response[4] = {stateText, lac != 0 ? lacText : nullptr, cid != 0 ? cidText : nullptr,
                         (char *)tech};
    RIL_onRequestComplete_wcdma(t, RIL_E_SUCCESS, response, sizeof(response));
}

extern "C" void OnWCDMA_RIL_REQUEST_DATA_REGISTRATION_STATE(void * /*data*/, size_t /*datalen*/,
                                                            RIL_Token t) {
    at_send_command("AT+CREG=2", nullptr);
    AtQuery reply = AT_QUERY_INIT;
    char *line = at_query_single(&reply, "AT+CREG?", "+CREG:");
    char *p = line;
    int first = 0;
    if (line == nullptr || at_tok_start(&p) < 0 || at_tok_nextint(&p, &first) < 0) {
        at_query_free(&reply);
        static const char *const kDefault[4] = {"0", nullptr, nullptr, "0"};
        RIL_onRequestComplete_wcdma(t, RIL_E_SUCCESS, (void *)kDefault, sizeof(kDefault));
        return;
    }
    int second = 0;
    bool haveSecond = at_tok_nextint(&p, &second) >= 0;
    int state = haveSecond ? second : first;
    if (state == 5) state = 1;
    int lac = 0, cid = 0;
    bool haveLac = haveSecond && at_tok_nexthexint(&p, &lac) >= 0;
    bool haveCid = haveLac && at_tok_nexthexint(&p, &cid) >= 0;
    at_query_free(&reply);

    const char *tech = Get3GMode();
    char text[4][100];
    snprintf(text[0], sizeof(text[0]), "%d", ril_module_profile()->wcdmaRegFromCreg ? state : s_registered);
    // cell fields the module did not give read as 0
    if (haveLac)
        snprintf(text[1], sizeof(text[1]), "%X", (unsigned int)lac);
    else
        snprintf(text[1], sizeof(text[1]), "0");
    if (haveCid)
        snprintf(text[2], sizeof(text[2]), "%X", (unsigned int)cid);
    else
        snprintf(text[2], sizeof(text[2]), "0");
    snprintf(text[3], sizeof(text[3]), "%s", tech);
    if (g_fly_datareg) {
        g_fly_datareg = 0;
        snprintf(text[0], sizeof(text[0]), "2");
        snprintf(text[1], sizeof(text[1]), "fffffff");
        snprintf(text[2], sizeof(text[2]), "fffffff");
        snprintf(text[3], sizeof(text[3]), "0");
    }
    char *response[4] = {text[0], text[1], text[2], text[3]};
    RIL_onRequestComplete_wcdma(t, RIL_E_SUCCESS, response, sizeof(response));
}

extern "C" void GetOperName(void) {
    AtQuery reply = AT_QUERY_INIT;
    char *line = at_query_single(&reply, "AT+COPS?", "+COPS:");
    int mode = 0, format = 0;
    char name[sizeof(s_opername_wcdma)];
    int fields = parseCops(line, &mode, &format, name, sizeof(name));
    if (fields >= 1) s_copsmode = mode;
    if (fields == 3) {
        ril_copy_text(s_opername_wcdma, sizeof(s_opername_wcdma), name);
    } else {
        ril_copy_text(s_opername_wcdma, sizeof(s_opername_wcdma), " ");
        RILDEBUG("request GetOperName must never return error when radio is on");
    }
    at_query_free(&reply);
}

// "AT+CIMI": 1 with the IMSI copied into out, 0 when the command failed,
// -1 when it answered a line that cannot be parsed.
static int readImsi(char *out, size_t size) {
    AtQuery reply = AT_QUERY_INIT;
    char *line = at_query_single(&reply, "AT+CIMI", "+CIMI:");
    if (line == nullptr) {
        at_query_free(&reply);
        return 0;
    }
    char *p = line;
    char *imsi = nullptr;
    int result = -1;
    if (at_tok_start(&p) >= 0 && at_tok_nextstr(&p, &imsi) >= 0 && imsi != nullptr) {
        ril_copy_text(out, size, imsi);
        result = 1;
    }
    at_query_free(&reply);
    return result;
}

extern "C" void OnWCDMA_RIL_REQUEST_OPERATOR(void * /*data*/, size_t /*datalen*/, RIL_Token t) {
    if (g_flying) {
        static const char *const kNull[3] = {"null", "null", "null"};
        RIL_onRequestComplete_wcdma(t, RIL_E_SUCCESS, (void *)kNull, sizeof(kNull));
        g_flying = 0;
        struct timeval delay = {1, 0};
        RIL_requestTimedCallback_wcdma(activeflydata_wcdma, nullptr, &delay);
        return;
    }
    GetOperName();
    char imsi[RIL_CIMICACHE_SIZE];
    int r = readImsi(imsi, sizeof(imsi));
    if (r < 0) {
        RILDEBUG("%s", kOperatorError);
        char *absent[3] = {nullptr, nullptr, nullptr};
        RIL_onRequestComplete_wcdma(t, RIL_E_SUCCESS, absent, sizeof(absent));
        return;
    }
    ril_copy_text(s_opernumeric_wcdma, sizeof(s_opernumeric_wcdma), r > 0 ? imsi : "");
    char *response[3] = {s_opername_wcdma, s_opername_wcdma, s_opernumeric_wcdma};
    RIL_onRequestComplete_wcdma(t, RIL_E_SUCCESS, response, sizeof(response));
    kv_raise_event(4, s_opernumeric_wcdma);
}

/* ------------------------------------------------------------------ */
/* LTE                                                                  */
/* ------------------------------------------------------------------ */

extern "C" const char *GetLteRadioTech(void) {
    is_cdma = 0;
    AtQuery reply = AT_QUERY_INIT;
    char *line = at_query_single(&reply, "AT^SYSINFO", "^SYSINFO:");
    if (line == nullptr) {
        at_query_free(&reply);
        return "0";
    }
    char *p = line;
    int status = -1;
    if (at_tok_start(&p) < 0 || at_tok_nextint(&p, &status) < 0) status = -1;
    if (status != 2) {
        at_query_free(&reply);
        is_cdma = -1;
        return "0";
    }
    int m = 0, v = 0;
    for (int i = 0; i < 3 && at_tok_nextint(&p, &v) >= 0; i++) m = v;
    is_mode_g = m;
    if (ril_profile_sysinfo_has_srlte()) {
        int sim = 0, f = 0;
        if (at_tok_nextint(&p, &sim) < 0 || at_tok_nextint(&p, &f) < 0) {
            is_srlte = 0;
        } else if (f == 9) {
            m = 9;
            is_srlte = 1;
        } else if (f == 4) {
            m = 8;
        }
    }
    at_query_free(&reply);

    if (m == 0) {
        g_use_hasdataservice = 0;
        is_cdma = is_fddandevdo ? 0 : -1;
        return "0";
    }
    g_use_hasdataservice = 1;
    switch (m) {
        case 2: is_cdma = 1; return "2";
        case 3: return "2";
        case 4: {
            AtReply *q = nullptr;
            int err = at_send_command("AT+QCIMI", &q);
            is_cdma = (err >= 0 && q != nullptr && q->success) ? 1 : 0;
            at_response_free(q);
            return "3";
        }
        case 5: return "3";
        case 7:
        case 8: is_cdma = 1; return "3";
        case 9:
        case 10: return "14";
        default: return "0";  // 1, 6 and unknown modes
    }
}

extern "C" void getlac(void) {
    AtQuery reply = AT_QUERY_INIT;
    int skip = s_is9X07 ? 2 : 3;
    char *line = s_is9X07 ? at_query_single(&reply, "AT+SERVERINFO", "+SERVERINFO:")
                          : at_query_single(&reply, "AT+SCELLINFO", "+SCELLINFO:");
    char *p = line;
    if (line != nullptr && at_tok_start(&p) >= 0) {
        int v = 0;
        bool ok = true;
        for (int i = 0; i < skip && ok; i++) ok = at_tok_nextint(&p, &v) >= 0;
        if (ok && at_tok_nexthexint(&p, &v) >= 0) {
            s_lte_lac = v;
            if (at_tok_nexthexint(&p, &v) >= 0) s_lte_cid = v;
        }
    }
    at_query_free(&reply);
}

extern "C" void OnLTE_RIL_REQUEST_VOICE_REGISTRATION_STATE(void * /*data*/, size_t /*datalen*/,
                                                           RIL_Token t) {
    AtQuery reply = AT_QUERY_INIT;
    char *line;
    const char *cmd = nullptr, *prefix = nullptr;
    ril_profile_lte_voice_reg_query(&cmd, &prefix);
    line = at_query_single(&reply, cmd, prefix);
    int state = 0, lac = 0, cid = 0;
    bool ok = line != nullptr && parseCregLine(line, 0, &state, &lac, &cid) >= 0;
    at_query_free(&reply);
    if (ok) {
        if (ril_module_profile()->lteReadsLac) getlac();
        GetLteRadioTech();
        s_voicereg_lte.regState = 1;
        s_voicereg_lte.rat = 14;
        s_voicereg_lte.cssSupported = 0;
        s_voicereg_lte.roamingIndicator = -1;
        s_voicereg_lte.systemIsInPrl = 0;
        s_voicereg_lte.defaultRoamingIndicator = -1;
        s_voicereg_lte.reasonForDenial = 0;
    }
    RIL_onRequestComplete_lte(t, RIL_E_SUCCESS, &s_voicereg_lte, sizeof(s_voicereg_lte));
}

// The LTE data registration query of the module's profile: the reply line
// past its first number (stored in *first), or NULL when there is none.
static char *lteDataRegFirst(AtQuery *reply, int *first) {
    const char *cmd = nullptr, *prefix = nullptr;
    ril_profile_lte_data_reg_query(is_mode_g, &cmd, &prefix);
    char *p = at_query_single(reply, cmd, prefix);
    if (p == nullptr || at_tok_start(&p) < 0 || at_tok_nextint(&p, first) < 0) return nullptr;
    return p;
}

extern "C" void OnLTE_RIL_REQUEST_DATA_REGISTRATION_STATE(void * /*data*/, size_t /*datalen*/,
                                                          RIL_Token t) {
    memset(&s_datareg_lte, 0xFF, sizeof(s_datareg_lte));
    if (is_cdma == 1) {
        const char *tech = GetLteRadioTech();
        const char *response[4] = {"1", "0", "0", tech};
        RIL_onRequestComplete_lte(t, RIL_E_SUCCESS, (void *)response, sizeof(response));
        return;
    }
    AtQuery reply = AT_QUERY_INIT;
    int first = 0;
    char *p = lteDataRegFirst(&reply, &first);
    if (p == nullptr) {
        at_query_free(&reply);
        RIL_onRequestComplete_lte(t, RIL_E_SUCCESS, &s_datareg_lte, sizeof(s_datareg_lte));
        return;
    }
    int state = 0;
    bool haveState = at_tok_nextint(&p, &state) >= 0;
    int lac = 0, cid = 0;
    bool haveCell = false;
    if (ril_module_profile()->lteCellFromCereg && haveState) {
        int l = 0, c = 0;
        if (at_tok_nexthexint(&p, &l) >= 0) {
            s_lte_lac = l;
            if (at_tok_nexthexint(&p, &c) >= 0) {
                s_lte_cid = c;
                haveCell = true;
            }
        }
    }
    at_query_free(&reply);

    const char *tech = GetLteRadioTech();
    if (ril_module_profile()->lteReadsLac) {
        getlac();
        lac = s_lte_lac;
        cid = s_lte_cid;
    } else if (haveCell) {
        lac = s_lte_lac;
        cid = s_lte_cid;
    }
    s_datareg_lte.regState = 1;
    s_datareg_lte.rat = atoi(tech);
    s_datareg_lte.reasonDataDenied = 0;
    s_datareg_lte.maxDataCalls = 1;
    s_datareg_lte.cellIdentity.cellInfoType = RIL_CELL_INFO_TYPE_LTE;
    s_datareg_lte.cellIdentity.cellIdentityLte.ci = cid;
    s_datareg_lte.cellIdentity.cellIdentityLte.tac = lac;
    RIL_onRequestComplete_lte(t, RIL_E_SUCCESS, &s_datareg_lte, sizeof(s_datareg_lte));
}

extern "C" void OnLTE_RIL_REQUEST_OPERATOR(void * /*data*/, size_t /*datalen*/, RIL_Token t) {
    AtReply *reply = nullptr;
    int err = at_send_command_multiline("AT+COPS=3,0;+COPS?;+COPS=3,1;+COPS?;+COPS=3,2;+COPS?",
                                        "+COPS:", &reply);
    // entries point into the reply's lines: complete before freeing it
    char *response[3] = {nullptr, nullptr, nullptr};
    int lines = 0;
    bool ok = err >= 0 && reply != nullptr && reply->success;
    for (ReplyLine *l = ok ? reply->p_intermediates : nullptr; l != nullptr; l = l->p_next) {
        if (lines >= 3) {  // more lines than entries: keep the three read
            ok = false;
            break;
        }
        char *p = l->line;
        int mode = 0, format = 0;
        if (at_tok_start(&p) < 0 || at_tok_nextint(&p, &mode) < 0) {
            ok = false;
            break;
        }
        if (at_tok_hasmore(&p)) {
            if (at_tok_nextint(&p, &format) < 0) {
                ok = false;
                break;
            }
            if (at_tok_hasmore(&p) && at_tok_nextstr(&p, &response[lines]) < 0) {
                ok = false;
                break;
            }
        }
        lines++;
    }
    if (!ok || lines != 3) RILDEBUG("%s", kOperatorError);
    RIL_onRequestComplete_lte(t, RIL_E_SUCCESS, response, sizeof(response));
    at_response_free(reply);
}

extern "C" void onRegChanged(void * /*param*/) {
    RILDEBUG("%s", "onRegChanged");
    if (s_hasinit) RIL_onUnsolicitedResponse_lte(RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED, nullptr, 0);
}

extern "C" void getservicestatus(void) {
    AtQuery reply = AT_QUERY_INIT;
    int state = 0;
    char *p = lteDataRegFirst(&reply, &state);
    int v = 0;
    if (p != nullptr && at_tok_nextint(&p, &v) >= 0) state = v;
    at_query_free(&reply);
    g_use_hasdataservice = (state == 1 || state == 5) ? 1 : 0;
    RILDEBUG("getservicestatus: state %d, data service %d", state, g_use_hasdataservice);
}

/* ------------------------------------------------------------------ */
/* CDMA                                                                 */
/* ------------------------------------------------------------------ */

static void completeRegbuf(RIL_Token t) {
    char *response[RIL_REGBUF_COUNT];
    for (int i = 0; i < RIL_REGBUF_COUNT; i++) response[i] = s_regbuf[i];
    RIL_onRequestComplete_cdma(t, RIL_E_SUCCESS, response, sizeof(response));
}

extern "C" void OnCDMA_RIL_REQUEST_VOICE_REGISTRATION_STATE(void * /*data*/, size_t /*datalen*/,
                                                            RIL_Token t) {
    int status = 0, domain = 0, roaming = 0, sysmode = 0;
    for (int attempt = 1; attempt <= 4; attempt++) {
        AtQuery reply = AT_QUERY_INIT;
        char *line = at_query_single(&reply, "AT^SYSINFO", "^SYSINFO:");
        if (line == nullptr) {
            at_query_free(&reply);
            sleepMsec(1000);
            if (attempt <= 2) {
                sleepMsec(1000);
                continue;
            }
            if (!G_incall) RILDEBUG("%s", kNoError);
            completeRegbuf(t);
            return;
        }
        memset(s_regbuf, 0, sizeof(s_regbuf));
        char *p = line;
        bool ok = at_tok_start(&p) >= 0 && at_tok_nextint(&p, &status) >= 0 &&
                  at_tok_nextint(&p, &domain) >= 0 && at_tok_nextint(&p, &roaming) >= 0 &&
                  at_tok_nextint(&p, &sysmode) >= 0;
        at_query_free(&reply);
        if (!ok) {
            RILDEBUG("%s", kNoError);
            completeRegbuf(t);
            return;
        }
        if (status == 0 && attempt != 4) {
            sleepMsec(1000);
            continue;
        }
        break;
    }

    AtQuery reply = AT_QUERY_INIT;
    char *line = at_query_single(&reply, "AT^HOMESNID", "^HOMESNID:");
    char *p = line;
    int sid = 0, nid = 0;
    if (line == nullptr || at_tok_start(&p) < 0 || at_tok_nextint(&p, &sid) < 0 ||
        at_tok_nextint(&p, &nid) < 0) {
        at_query_free(&reply);
        RILDEBUG("%s", kNoError);
        completeRegbuf(t);
        return;
    }
    at_query_free(&reply);

    line = at_query_single(&reply, "AT^GPSNWINFO", "^GPSNWINFO:");
    if (line != nullptr) {
        // base station id, system id, network id, latitude, longitude
        static const int kSlots[5] = {4, 8, 9, 5, 6};
        p = line;
        s_gpsnwzero = 0;
        if (at_tok_start(&p) >= 0) {
            for (int i = 0; i < 5 && at_tok_hasmore(&p); i++) {
                char *field = nullptr;
                if (at_tok_nextstr(&p, &field) < 0 || field == nullptr) break;
                ril_copy_text(s_regbuf[kSlots[i]], RIL_REGBUF_SIZE, field);
                if (i == 0) s_gpsnwzero = strcmp(field, "0") == 0;
            }
        }
    } else {
        ril_copy_text(s_regbuf[4], RIL_REGBUF_SIZE, "90");
        ril_copy_text(s_regbuf[5], RIL_REGBUF_SIZE, "90");
        ril_copy_text(s_regbuf[6], RIL_REGBUF_SIZE, "100");
        snprintf(s_regbuf[8], RIL_REGBUF_SIZE, "%d", sid);
        snprintf(s_regbuf[9], RIL_REGBUF_SIZE, "%d", nid);
    }
    at_query_free(&reply);

    int regState, tech;
    if (status == 0) {
        regState = 0;
        s_cdmaservice = 0;
    } else if (status == 2) {
        regState = roaming == 0 ? 1 : 5;
        s_cdmaservice = 1;
    } else {
        regState = 4;
        s_cdmaservice = 0;
    }
    if (sysmode == 4 || sysmode == 8)
        tech = 8;
    else if (sysmode == 2)
        tech = 6;
    else
        tech = 0;
    if (s_radio_state_cdma != RADIO_STATE_RUIM_READY) regState = tech = 0;
    s_cdmadatatech = tech;

    snprintf(s_regbuf[0], RIL_REGBUF_SIZE, "%d", regState);
    ril_copy_text(s_regbuf[1], RIL_REGBUF_SIZE, "1");
    ril_copy_text(s_regbuf[2], RIL_REGBUF_SIZE, "1");
    snprintf(s_regbuf[3], RIL_REGBUF_SIZE, "%d", tech);
    ril_copy_text(s_regbuf[7], RIL_REGBUF_SIZE, "0");
    ril_copy_text(s_regbuf[10], RIL_REGBUF_SIZE, "1");
    ril_copy_text(s_regbuf[11], RIL_REGBUF_SIZE, "1");
    ril_copy_text(s_regbuf[12], RIL_REGBUF_SIZE, "1");
    ril_copy_text(s_regbuf[13], RIL_REGBUF_SIZE, "0");
    completeRegbuf(t);
}

extern "C" void OnCDMA_RIL_REQUEST_DATA_REGISTRATION_STATE(void * /*data*/, size_t /*datalen*/,
                                                           RIL_Token t) {
    char tech[16];
    snprintf(tech, sizeof(tech), "%d", s_cdmadatatech);
    const char *response[5] = {"1", "10000", "10000", tech, "50"};
    RIL_onRequestComplete_cdma(t, RIL_E_SUCCESS, (void *)response, sizeof(response));
}

extern "C" void OnCDMA_RIL_REQUEST_OPERATOR(void * /*data*/, size_t /*datalen*/, RIL_Token t) {
    if (s_radio_state_cdma == RADIO_STATE_RUIM_READY) {
        ril_copy_text(s_opername_cdma, sizeof(s_opername_cdma), "CHINA TELECOM");
        at_send_command("ATE0", nullptr);
        char imsi[RIL_CIMICACHE_SIZE];
        int r = readImsi(imsi, sizeof(imsi));
        if (r < 0) {
            RILDEBUG("%s", kOperatorError);
            RIL_onRequestComplete_cdma(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
            return;
        }
        if (r > 0) {
            ril_copy_text(s_cimicache, sizeof(s_cimicache), imsi);
            ril_copy_text(s_opernumeric_cdma, sizeof(s_opernumeric_cdma), imsi);
        } else {
            s_opernumeric_cdma[0] = '\0';
        }
    } else {
        ril_copy_text(s_opernumeric_cdma, sizeof(s_opernumeric_cdma), s_cimicache);
    }
    char *response[3] = {s_opername_cdma, s_opername_cdma, s_opernumeric_cdma};
    RIL_onRequestComplete_cdma(t, RIL_E_SUCCESS, response, sizeof(response));
}
