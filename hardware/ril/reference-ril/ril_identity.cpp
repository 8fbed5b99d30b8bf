// Subscriber and device identity of the three families: IMSI, IMEI, MEID,
// ESN, ICCID, own number, firmware version and the CDMA subscription, and
// their publication as system properties.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "at_link.h"
#include "at_reply.h"
#include "ril_at_text.h"
#include "ril_families.h"
#include "ril_handlers.h"
#include "ril_log.h"
#include "ril_network.h"
#include "ril_sim.h"

extern "C" {
char s_imsicache[128] = "";
int s_simcard = 1;
int is_chinamobile = 0;
const char kLteDefaultImsi[] = "460010123456789";
const char kLteReplacementImsi[] = "460030123456789";
}

/* ------------------------------------------------------------------ */
/* Query helpers                                                        */
/* ------------------------------------------------------------------ */

// Sends a single-line command; -1 failed or not OK or no line, else 1 with
// *out holding the reply (the caller frees it).
static int queryReply(const char *cmd, const char *prefix, AtReply **out) {
    AtReply *p_response = nullptr;
    *out = nullptr;
    int err = at_send_command_singleline(cmd, prefix, &p_response);
    if (err != 0 || p_response == nullptr || !p_response->success ||
        p_response->p_intermediates == nullptr) {
        at_response_free(p_response);
        return -1;
    }
    *out = p_response;
    return 1;
}

extern "C" int ril_query_text(const char *cmd, const char *prefix, char *out, size_t outlen) {
    if (out != nullptr && outlen > 0) out[0] = '\0';
    AtReply *p_response = nullptr;
    if (queryReply(cmd, prefix, &p_response) < 0) return -1;
    char *line = p_response->p_intermediates->line;
    char *text = nullptr;
    int ret = 0;
    if (at_tok_start(&line) >= 0 && at_tok_nextstr(&line, &text) >= 0 && text != nullptr) {
        if (out != nullptr && outlen > 0) ril_copy_text(out, outlen, text);
        ret = 1;
    }
    at_response_free(p_response);
    return ret;
}

// Property values are cut to what a property can hold.
static void setIdentityProperty(const char *name, const char *value) {
    char v[PROPERTY_VALUE_MAX];
    ril_copy_text(v, sizeof(v), value != nullptr ? value : "");
    property_set(name, v);
}

/* ------------------------------------------------------------------ */
/* Identity publication                                                 */
/* ------------------------------------------------------------------ */

extern "C" void SetCimiIccidProp(void) {
    for (int attempt = 0; attempt < 10; attempt++) {
        char imsi[128];
        int r = ril_query_text("AT+CIMI", "+CIMI:", imsi, sizeof(imsi));
        if (r < 0) {
            sleepMsec(1000);
            break;
        }
        if (r == 0) break;
        setIdentityProperty("ril.kivo.cimi", imsi);
        ril_copy_text(s_imsicache, sizeof(s_imsicache), imsi);
        if (strlen(imsi) >= 10) {
            sleepMsec(1000);
            break;
        }
    }

    char iccid[PROPERTY_VALUE_MAX];
    if (ril_query_text("AT+CICCID", "+ICCID:", iccid, sizeof(iccid)) > 0)
        setIdentityProperty("ril.kivo.iccid", iccid);

    AtReply *p_response = nullptr;
    if (queryReply("AT+CNUM", "+CNUM:", &p_response) > 0) {
        char *line = p_response->p_intermediates->line;
        char *name = nullptr;
        char *number = nullptr;
        if (at_tok_start(&line) >= 0 && at_tok_nextstr(&line, &name) >= 0 &&
            at_tok_nextstr(&line, &number) >= 0 && number != nullptr)
            setIdentityProperty("ril.kivo.phonenumber", number);
        at_response_free(p_response);
    }

    if (queryReply("AT+CPREFMODE?", "+CPREFMODE:", &p_response) > 0) {
        char *line = p_response->p_intermediates->line;
        int a = 0, b = 0, c = 0;
        if (at_tok_start(&line) >= 0 && at_tok_nextint(&line, &a) >= 0 &&
            at_tok_nextint(&line, &b) >= 0 && at_tok_nextint(&line, &c) >= 0)
            s_simcard = c;
        at_response_free(p_response);
    }
}

extern "C" void GetMeid(void) {
    char meid[PROPERTY_VALUE_MAX];
    if (ril_query_text("AT^MEID", "^MEID:", meid, sizeof(meid)) > 0 && strlen(meid) > 9)
        setIdentityProperty("ril.imei", meid);
}

/* ------------------------------------------------------------------ */
/* GET_IMSI                                                              */
/* ------------------------------------------------------------------ */

extern "C" void OnCDMA_RIL_REQUEST_GET_IMSI(void *, size_t, RIL_Token t) {
    static char s_imsi[128];
    at_send_command("ATE0", nullptr);
    if (ril_query_text("AT+CIMI", "+CIMI:", s_imsi, sizeof(s_imsi)) > 0)
        RIL_onRequestComplete_cdma(t, RIL_E_SUCCESS, s_imsi, sizeof(char *));
    else
        RIL_onRequestComplete_cdma(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
}

extern "C" void OnWCDMA_RIL_REQUEST_GET_IMSI(void *, size_t, RIL_Token t) {
    if (strnlen(s_imsicache, sizeof(s_imsicache)) != 15) SetCimiIccidProp();
    RIL_onRequestComplete_wcdma(t, RIL_E_SUCCESS, s_imsicache, sizeof(char *));
}

extern "C" void OnLTE_RIL_REQUEST_GET_IMSI(void *, size_t, RIL_Token t) {
    static char s_imsi[128];
    if (is_cdma == -1) GetLteRadioTech();  // refreshes the network class
    at_send_command("ATE0", nullptr);
    int r;
    if (is_cdma == 1)
        r = ril_query_text("AT+QCIMI", "+QCIMI:", s_imsi, sizeof(s_imsi));
    else if (s_is9X07)
        r = ril_query_text("AT+CIMIM", "+CIMIM:", s_imsi, sizeof(s_imsi));
    else
        r = ril_query_text("AT+CIMI", "+CIMI:", s_imsi, sizeof(s_imsi));

    const char *answer = s_imsi;
    if (r < 0) {
        answer = kLteDefaultImsi;
    } else if (r == 0) {
        RILDEBUG("requestOperator must not return error when radio is on");
        answer = kLteDefaultImsi;
    } else if (strncmp(s_imsi, "46000", 5) == 0 || strncmp(s_imsi, "46002", 5) == 0 ||
               strncmp(s_imsi, "46007", 5) == 0) {
        is_chinamobile = 1;
    } else if (strncmp(s_imsi, "20404", 5) == 0) {
        answer = kLteReplacementImsi;
    }
    RIL_onRequestComplete_lte(t, RIL_E_SUCCESS, (void *)answer, strlen(answer));
}

/* ------------------------------------------------------------------ */
/* GET_IMEI, GET_IMEISV                                                  */
/* ------------------------------------------------------------------ */

static void answerImei(void (*complete)(RIL_Token, RIL_Errno, void *, size_t), RIL_Token t) {
    static char s_imei[PROPERTY_VALUE_MAX];
    if (ril_query_text("AT+CGSN", "+CGSN:", s_imei, sizeof(s_imei)) > 0) {
        setIdentityProperty("ril.imei", s_imei);
        complete(t, RIL_E_SUCCESS, s_imei, sizeof(char *));
    } else {
        complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
    }
}

extern "C" void OnWCDMA_RIL_REQUEST_GET_IMEI(void *, size_t, RIL_Token t) {
    at_send_command("ATE0", nullptr);
    answerImei(RIL_onRequestComplete_wcdma, t);
}

extern "C" void OnLTE_RIL_REQUEST_GET_IMEI(void *, size_t, RIL_Token t) {
    answerImei(RIL_onRequestComplete_lte, t);
}

// The CDMA device identity is the MEID.
static void answerMeid_cdma(RIL_Token t) {
    static char s_meid[128];
    if (ril_query_text("AT^MEID", "^MEID:", s_meid, sizeof(s_meid)) > 0 && strlen(s_meid) > 9)
        RIL_onRequestComplete_cdma(t, RIL_E_SUCCESS, s_meid, strlen(s_meid));
    else
        RIL_onRequestComplete_cdma(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
}

extern "C" void OnCDMA_RIL_REQUEST_GET_IMEI(void *, size_t, RIL_Token t) { answerMeid_cdma(t); }
extern "C" void OnCDMA_RIL_REQUEST_GET_IMEISV(void *, size_t, RIL_Token t) { answerMeid_cdma(t); }

/* ------------------------------------------------------------------ */
/* BASEBAND_VERSION                                                      */
/* ------------------------------------------------------------------ */

static void answerBaseband(void (*complete)(RIL_Token, RIL_Errno, void *, size_t), RIL_Token t) {
    static char s_version[256];
    if (ril_query_text("AT+CGMR", "+CGMR:", s_version, sizeof(s_version)) > 0)
        complete(t, RIL_E_SUCCESS, s_version, sizeof(char *));
    else
        complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
}

extern "C" void OnCDMA_RIL_REQUEST_BASEBAND_VERSION(void *, size_t, RIL_Token t) {
    answerBaseband(RIL_onRequestComplete_cdma, t);
}
extern "C" void OnWCDMA_RIL_REQUEST_BASEBAND_VERSION(void *, size_t, RIL_Token t) {
    answerBaseband(RIL_onRequestComplete_wcdma, t);
}
extern "C" void OnLTE_RIL_REQUEST_BASEBAND_VERSION(void *, size_t, RIL_Token t) {
    answerBaseband(RIL_onRequestComplete_lte, t);
}

/* ------------------------------------------------------------------ */
/* DEVICE_IDENTITY                                                       */
/* ------------------------------------------------------------------ */

// Reads the first text of a single-line reply into out when longer than
// minLen characters, and publishes it as property when one is named. False
// when the reply came but could not be parsed.
static bool readIdentityField(const char *cmd, const char *prefix, char *out, size_t outlen,
                              size_t minLen, const char *property = nullptr) {
    char text[128];
    int r = ril_query_text(cmd, prefix, text, sizeof(text));
    if (r == 0) return false;
    if (r > 0 && strlen(text) > minLen) {
        if (property != nullptr) setIdentityProperty(property, text);
        ril_copy_text(out, outlen, text);
    }
    return true;
}

// Completes DEVICE_IDENTITY with its four texts, then publishes the card's
// number read by the family's command.
static void answerIdentity(void (*complete)(RIL_Token, RIL_Errno, void *, size_t), RIL_Token t,
                           char *(&answer)[4], const char *iccidCmd, const char *iccidPrefix) {
    complete(t, RIL_E_SUCCESS, answer, sizeof(answer));
    char iccid[PROPERTY_VALUE_MAX];
    if (ril_query_text(iccidCmd, iccidPrefix, iccid, sizeof(iccid)) > 0)
        setIdentityProperty("ril.kivo.iccid", iccid);
}

static void deviceIdentity(bool lte, void (*complete)(RIL_Token, RIL_Errno, void *, size_t),
                           RIL_Token t) {
    // four 50-byte texts: IMEI, IMEISV, the "+CGSN:" copy, MEID
    static char s_area[200];
    memset(s_area, 0, sizeof(s_area));
    char *imei = s_area;
    char *imeisv = s_area + 50;
    char *esn = s_area + 100;
    char *meid = s_area + 150;
    char g[50] = "";
    char m[50] = "";
    if (!readIdentityField("AT+CGSN", "+CGSN:", g, sizeof(g), 7) ||
        !readIdentityField("AT^MEID", "^MEID:", m, sizeof(m), 14)) {
        complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    if (lte) ril_copy_text(imei, 50, g);
    ril_copy_text(imeisv, 50, g);
    ril_copy_text(esn, 50, g);
    ril_copy_text(meid, 50, m);
    char *answer[4] = {imei, imeisv, esn, meid};
    answerIdentity(complete, t, answer, "AT+ICCID?", "+ICCID:");
}

extern "C" void OnWCDMA_RIL_REQUEST_DEVICE_IDENTITY(void *, size_t, RIL_Token t) {
    deviceIdentity(false, RIL_onRequestComplete_wcdma, t);
}

extern "C" void OnLTE_RIL_REQUEST_DEVICE_IDENTITY(void *, size_t, RIL_Token t) {
    deviceIdentity(true, RIL_onRequestComplete_lte, t);
}

extern "C" void OnCDMA_RIL_REQUEST_DEVICE_IDENTITY(void *, size_t, RIL_Token t) {
    // ESN and MEID, 100 bytes each
    static char s_area[200];
    memset(s_area, 0, sizeof(s_area));
    char *esn = s_area;
    char *meid = s_area + 100;
    if (s_radio_state_cdma != RADIO_STATE_RUIM_READY) RILDEBUG("UIM car not ready!");
    if (!readIdentityField("AT+GSN", "+GSN:", esn, 100, 5) ||
        !readIdentityField("AT^MEID", "^MEID:", meid, 100, 9, "ril.imei")) {
        RIL_onRequestComplete_cdma(t, RIL_E_GENERIC_FAILURE, nullptr, 0);
        return;
    }
    static char s_empty[1] = "";
    char *answer[4] = {s_empty, s_empty, esn, meid};
    answerIdentity(RIL_onRequestComplete_cdma, t, answer, "AT+UIMID", "+UIMID:");
}

/* ------------------------------------------------------------------ */
/* CDMA_SUBSCRIPTION                                                     */
/* ------------------------------------------------------------------ */

extern "C" void OnCDMA_RIL_REQUEST_CDMA_SUBSCRIPTION(void *, size_t, RIL_Token t) {
    static char s_mdn[16];
    static char s_sid[16];
    static char s_nid[16];
    static char s_min[16];
    static char s_prl[8];
    s_mdn[0] = s_sid[0] = s_nid[0] = s_min[0] = '\0';
    ril_copy_text(s_prl, sizeof(s_prl), "00006");

    bool ok = false;
    AtReply *p_response = nullptr;
    if (queryReply("AT^HOMESNID", "^HOMESNID:", &p_response) > 0) {
        char *line = p_response->p_intermediates->line;
        char *sid = nullptr;
        char *nid = nullptr;
        if (at_tok_start(&line) >= 0 && at_tok_nextstr(&line, &sid) >= 0 &&
            at_tok_nextstr(&line, &nid) >= 0 && sid != nullptr && nid != nullptr) {
            ril_copy_text(s_sid, sizeof(s_sid), sid);
            ril_copy_text(s_nid, sizeof(s_nid), nid);
            ok = true;
        }
        at_response_free(p_response);
    }
    if (ok) {
        char imsi[128];
        ok = ril_query_text("AT+CIMI", "+CIMI:", imsi, sizeof(imsi)) > 0;
        // MIN: ten characters from the sixth of the IMSI
        if (ok && strlen(imsi) > 5)
            snprintf(s_min, sizeof(s_min), "%.10s", imsi + 5);
        else
            ok = false;
    }
    if (ok) {
        char *answer[5] = {s_mdn, s_sid, s_nid, s_min, s_prl};
        RIL_onRequestComplete_cdma(t, RIL_E_SUCCESS, answer, sizeof(answer));
    } else {
        char *answer[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};
        RIL_onRequestComplete_cdma(t, RIL_E_SUCCESS, answer, sizeof(answer));
    }
}
