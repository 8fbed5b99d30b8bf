// SMS sending and storage of the three families: GSM PDUs with "AT+CMGS"
// (or "AT$QCMGS"), CDMA bearer data with "AT^HCMGS", writing to and deleting
// from the card's storage, and the service centre address. Every framework
// text that reaches the module is checked first: hex of even length within
// the 27.005 limits, an SMSC address of "+" and digits, CDMA digit codes.
#include <stdio.h>
#include <string.h>

#include "at_link.h"
#include "at_reply.h"
#include "ril_at_text.h"
#include "ril_families.h"
#include "ril_profile.h"
#include "ril_handlers.h"
#include "ril_log.h"
#include "ril_sms.h"
#include "sms_codec.h"
#include "usb_discovery.h"

namespace {

using Complete = void (*)(RIL_Token, RIL_Errno, void *, size_t);

// family differences of the GSM-format requests
struct GsmFamily {
    Complete complete;
    bool lte;
};
const GsmFamily kWcdma = {RIL_onRequestComplete_wcdma, false};
const GsmFamily kLte = {RIL_onRequestComplete_lte, true};

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// LTE modules in Qualcomm command mode use the "$QC" forms
bool lteQcForms(void) { return ril_profile_lte_qc_forms() != 0; }

void fail(Complete complete, RIL_Token t) { complete(t, RIL_E_GENERIC_FAILURE, nullptr, 0); }

bool sentOk(int err, const AtReply *p) { return err >= 0 && p != nullptr && p->success; }

// The registration state at the time of a failed send, for the log.
void logRegistration(const GsmFamily &f) {
    const char *cmd = "AT+CREG?";
    if (f.lte) {
        if (lteQcForms())
            cmd = "AT+CCREG?";
        else if (ril_profile_cdma_card_commands())
            cmd = "AT^SYSINFO";
    }
    at_send_command(cmd, nullptr);
}

// "00" (the module's own service centre) or the given SMSC hex, then the
// TPDU; false when either is not acceptable hex.
bool buildPduText(const char *smsc, const char *tpdu, char *out, size_t cap) {
    if (!ril_sms_is_hex_pdu(tpdu, RIL_SMS_TPDU_MAX_OCTETS)) return false;
    if (smsc != nullptr && smsc[0] != '\0' && !ril_sms_is_hex_pdu(smsc, RIL_SMS_SMSC_MAX_OCTETS))
        return false;
    int n = snprintf(out, cap, "%s%s", (smsc != nullptr && smsc[0] != '\0') ? smsc : "00", tpdu);
    return n > 0 && static_cast<size_t>(n) < cap;
}

// room for the SMSC octets and the TPDU as hex, and the terminator
constexpr size_t kPduTextMax = 2 * (RIL_SMS_SMSC_MAX_OCTETS + RIL_SMS_TPDU_MAX_OCTETS) + 1;

void sendGsm(const GsmFamily &f, void *data, size_t datalen, RIL_Token t) {
    const char *smsc = ril_request_string(data, datalen, 0);
    const char *tpdu = ril_request_string(data, datalen, 1);
    char text[kPduTextMax];
    if (!buildPduText(smsc, tpdu, text, sizeof(text))) {
        RILDEBUG("SEND_SMS: PDU refused");
        fail(f.complete, t);
        return;
    }
    at_send_command("ATE0", nullptr);
    char cmd[64];
    snprintf(cmd, sizeof(cmd), (f.lte && is_fddandevdo == 1) ? "AT$QCMGS=%d" : "AT+CMGS=%d",
             static_cast<int>(strlen(tpdu) / 2));
    AtReply *p = nullptr;
    int err = at_send_command_sms(cmd, text, nullptr, &p);
    if (!sentOk(err, p)) {
        at_response_free(p);
        logRegistration(f);
        fail(f.complete, t);
        return;
    }
    at_response_free(p);
    // the module's message reference is not read: the framework gets 0
    RIL_SMS_Response response = {0, nullptr, 0};
    f.complete(t, RIL_E_SUCCESS, &response, sizeof(response));
}

void writeToSim(Complete complete, void *data, size_t datalen, RIL_Token t) {
    if (data == nullptr || datalen < sizeof(RIL_SMS_WriteArgs)) {
        fail(complete, t);
        return;
    }
    const RIL_SMS_WriteArgs *args = static_cast<const RIL_SMS_WriteArgs *>(data);
    char text[kPduTextMax];
    // "+CMGW" in PDU mode takes the SMSC octets before the TPDU, as a send does
    if (args->status < 0 || args->status > 3 || !buildPduText(args->smsc, args->pdu, text, sizeof(text))) {
        RILDEBUG("WRITE_SMS_TO_SIM: PDU refused");
        fail(complete, t);
        return;
    }
    char cmd[64];
    snprintf(cmd, sizeof(cmd), "AT+CMGW=%d,%d", static_cast<int>(strlen(args->pdu) / 2), args->status);
    AtReply *p = nullptr;
    int err = at_send_command_sms(cmd, text, "+CMGW:", &p);
    // OK without the "+CMGW:" index line still means written
    bool ok = sentOk(err, p) || err == AT_ERROR_INVALID_RESPONSE;
    at_response_free(p);
    if (ok)
        complete(t, RIL_E_SUCCESS, nullptr, 0);
    else
        fail(complete, t);
}

// OK completes with success and no data, anything else with a failure
void sendAndComplete(Complete complete, const char *cmd, RIL_Token t) {
    AtReply *p = nullptr;
    int err = at_send_command(cmd, &p);
    bool ok = sentOk(err, p);
    at_response_free(p);
    if (ok)
        complete(t, RIL_E_SUCCESS, nullptr, 0);
    else
        fail(complete, t);
}

bool readIndex(void *data, size_t datalen, int *index) {
    if (data == nullptr || datalen < sizeof(int)) return false;
    memcpy(index, data, sizeof(int));
    return *index >= 0;
}

void deleteIndex(Complete complete, const char *format, void *data, size_t datalen, RIL_Token t) {
    int index = -1;
    if (!readIndex(data, datalen, &index)) {
        fail(complete, t);
        return;
    }
    char cmd[64];
    snprintf(cmd, sizeof(cmd), format, index);
    sendAndComplete(complete, cmd, t);
}

void getSmsc(Complete complete, RIL_Token t) {
    AtReply *p = nullptr;
    int err = at_send_command_singleline("AT+CSCA?", "+CSCA:", &p);
    char *addr = nullptr;
    if (err >= 0 && p != nullptr && p->success && p->p_intermediates != nullptr) {
        char *line = p->p_intermediates->line;
        if (at_tok_start(&line) < 0 || at_tok_nextstr(&line, &addr) < 0) addr = nullptr;
    }
    if (addr == nullptr)
        fail(complete, t);
    else
        complete(t, RIL_E_SUCCESS, addr, strlen(addr));
    at_response_free(p);
}

void setSmsc(Complete complete, void *data, size_t datalen, RIL_Token t) {
    // one string, terminated within the data
    const char *addr = static_cast<const char *>(data);
    if (addr == nullptr || datalen == 0 || memchr(addr, '\0', datalen) == nullptr || strlen(addr) <= 5 ||
        !ril_sms_is_smsc_address(addr)) {
        fail(complete, t);
        return;
    }
    char cmd[64];
    snprintf(cmd, sizeof(cmd), "AT+CSCA=\"%s\", 145", addr);
    sendAndComplete(complete, cmd, t);
}

// CDMA message settings after every CDMA-format send
void restoreCdmaSettings(void) {
    at_send_command("AT+CNMI=1,2,2,1,1", nullptr);
    at_send_command("AT+CMGF=3", nullptr);
    at_send_command("ATE0", nullptr);
}

// The CDMA storage selection: "SM", "SM", "ME"; a channel error on the first
// attempt fails at once, otherwise up to four more attempts.
bool selectCdmaStorage(void) {
    char cmd[64];
    snprintf(cmd, sizeof(cmd), "AT+CPMS=\"%s\",\"%s\", \"%s\"", "SM", "SM", "ME");
    for (int attempt = 0; attempt < 5; attempt++) {
        AtReply *p = nullptr;
        int err = at_send_command_multiline(cmd, "+CPMS", &p);
        bool ok = sentOk(err, p);
        at_response_free(p);
        if (ok) return true;
        if (err < 0 && attempt == 0) return false;
    }
    return false;
}

}  // namespace

extern "C" {

int ril_sms_is_hex_pdu(const char *hex, size_t maxOctets) {
    if (hex == nullptr) return 0;
    size_t n = strnlen(hex, 2 * maxOctets + 1);
    if (n == 0 || n % 2 != 0 || n > 2 * maxOctets) return 0;
    for (size_t i = 0; i < n; i++)
        if (!isHexDigit(hex[i])) return 0;
    return 1;
}

int ril_sms_is_smsc_address(const char *s) {
    if (s == nullptr) return 0;
    const char *digits = (s[0] == '+') ? s + 1 : s;
    size_t n = strnlen(digits, RIL_SMS_SMSC_MAX_DIGITS + 1);
    if (n == 0 || n > RIL_SMS_SMSC_MAX_DIGITS || strlen(s) <= 5) return 0;
    for (size_t i = 0; i < n; i++)
        if (digits[i] < '0' || digits[i] > '9') return 0;
    return 1;
}

/* ---- WCDMA and LTE ---- */

void OnWCDMA_RIL_REQUEST_SEND_SMS(void *data, size_t datalen, RIL_Token t) { sendGsm(kWcdma, data, datalen, t); }
void OnLTE_RIL_REQUEST_SEND_SMS(void *data, size_t datalen, RIL_Token t) { sendGsm(kLte, data, datalen, t); }

void OnWCDMA_RIL_REQUEST_SEND_SMS_EXPECT_MORE(void *, size_t, RIL_Token t) { fail(kWcdma.complete, t); }
void OnLTE_RIL_REQUEST_SEND_SMS_EXPECT_MORE(void *, size_t, RIL_Token t) { fail(kLte.complete, t); }
void OnWCDMA_RIL_REQUEST_IMS_SEND_SMS(void *, size_t, RIL_Token t) { fail(kWcdma.complete, t); }
void OnLTE_RIL_REQUEST_IMS_SEND_SMS(void *, size_t, RIL_Token t) { fail(kLte.complete, t); }

void OnWCDMA_RIL_REQUEST_WRITE_SMS_TO_SIM(void *data, size_t datalen, RIL_Token t) {
    writeToSim(RIL_onRequestComplete_wcdma, data, datalen, t);
}
void OnLTE_RIL_REQUEST_WRITE_SMS_TO_SIM(void *data, size_t datalen, RIL_Token t) {
    writeToSim(RIL_onRequestComplete_lte, data, datalen, t);
}
void OnCDMA_RIL_REQUEST_WRITE_SMS_TO_SIM(void *data, size_t datalen, RIL_Token t) {
    writeToSim(RIL_onRequestComplete_cdma, data, datalen, t);
}

void OnWCDMA_RIL_REQUEST_DELETE_SMS_ON_SIM(void *data, size_t datalen, RIL_Token t) {
    deleteIndex(RIL_onRequestComplete_wcdma, "AT+CMGD=%d", data, datalen, t);
}
void OnLTE_RIL_REQUEST_DELETE_SMS_ON_SIM(void *data, size_t datalen, RIL_Token t) {
    bool qc = ril_profile_lte_qc_delete();
    deleteIndex(RIL_onRequestComplete_lte, qc ? "AT$QCMGD=%d" : "AT+CMGD=%d", data, datalen, t);
}
void OnCDMA_RIL_REQUEST_DELETE_SMS_ON_SIM(void *data, size_t datalen, RIL_Token t) {
    deleteIndex(RIL_onRequestComplete_cdma, "AT+CMGD=%d", data, datalen, t);
}

void OnWCDMA_RIL_REQUEST_GET_SMSC_ADDRESS(void *, size_t, RIL_Token t) { getSmsc(RIL_onRequestComplete_wcdma, t); }
void OnLTE_RIL_REQUEST_GET_SMSC_ADDRESS(void *, size_t, RIL_Token t) { getSmsc(RIL_onRequestComplete_lte, t); }
void OnWCDMA_RIL_REQUEST_SET_SMSC_ADDRESS(void *data, size_t datalen, RIL_Token t) {
    setSmsc(RIL_onRequestComplete_wcdma, data, datalen, t);
}
void OnLTE_RIL_REQUEST_SET_SMSC_ADDRESS(void *data, size_t datalen, RIL_Token t) {
    setSmsc(RIL_onRequestComplete_lte, data, datalen, t);
}

/* ---- CDMA ---- */

void OnCDMA_RIL_REQUEST_SEND_SMS(void *data, size_t datalen, RIL_Token t) {
    const char *smsc = ril_request_string(data, datalen, 0);
    const char *tpdu = ril_request_string(data, datalen, 1);
    char text[kPduTextMax];
    if (!buildPduText(smsc, tpdu, text, sizeof(text))) {
        fail(RIL_onRequestComplete_cdma, t);
        return;
    }
    char cmd[64];
    snprintf(cmd, sizeof(cmd), "AT+CMGS=%d", static_cast<int>(strlen(tpdu) / 2));
    AtReply *p = nullptr;
    int err = at_send_command_sms(cmd, text, "+CMGS:", &p);
    // OK without the "+CMGS:" line is a sent message all the same
    bool ok = sentOk(err, p) || err == AT_ERROR_INVALID_RESPONSE;
    at_response_free(p);
    if (!ok) {
        fail(RIL_onRequestComplete_cdma, t);
        return;
    }
    RIL_SMS_Response response = {0, nullptr, 0};
    RIL_onRequestComplete_cdma(t, RIL_E_SUCCESS, &response, sizeof(response));
}

void OnCDMA_RIL_REQUEST_CDMA_SEND_SMS(void *data, size_t datalen, RIL_Token t) {
    if (data == nullptr || datalen < sizeof(RIL_CDMA_SMS_Message)) {
        fail(RIL_onRequestComplete_cdma, t);
        return;
    }
    const RIL_CDMA_SMS_Message *m = static_cast<const RIL_CDMA_SMS_Message *>(data);
    // the record's own sizes bound what is read from it
    int nDigits = m->sAddress.number_of_digits;
    if (m->uBearerDataLen < 0 || m->uBearerDataLen > RIL_CDMA_SMS_BEARER_DATA_MAX ||
        nDigits > RIL_CDMA_SMS_ADDRESS_MAX) {
        RILDEBUG("CDMA_SEND_SMS: bearer length %d or %d digits refused", m->uBearerDataLen, nDigits);
        fail(RIL_onRequestComplete_cdma, t);
        return;
    }
    char address[RIL_CDMA_SMS_ADDRESS_MAX + 1];
    for (int i = 0; i < nDigits; i++) {
        unsigned char code = m->sAddress.digits[i];
        if (code > 12) {  // only 0..12 are digit codes
            fail(RIL_onRequestComplete_cdma, t);
            return;
        }
        address[i] = (code >= 1 && code <= 9) ? static_cast<char>('0' + code) : '0';
    }
    address[nDigits] = '\0';
    char text[2 * RIL_CDMA_SMS_BEARER_DATA_MAX + 1];
    BytesToHexstring(m->aBearerData, text, m->uBearerDataLen);

    at_send_command("ATE0", nullptr);
    char cmd[64 + RIL_CDMA_SMS_ADDRESS_MAX];
    snprintf(cmd, sizeof(cmd), "AT^HCMGS=\"%s\"", address);
    AtReply *p = nullptr;
    int err = at_send_command_sms(cmd, text, "^HCMGS", &p);
    if (err == AT_ERROR_INVALID_RESPONSE) {
        // a final OK means sent, even when no "^HCMGS" line came with it
        RIL_SMS_Response response = {-1, nullptr, -1};
        RIL_onRequestComplete_cdma(t, RIL_E_SUCCESS, &response, sizeof(response));
    } else if (sentOk(err, p)) {
        int ref = -1;
        char *line = p->p_intermediates != nullptr ? p->p_intermediates->line : nullptr;
        if (line == nullptr || at_tok_start(&line) < 0 || at_tok_nextint(&line, &ref) < 0) ref = -1;
        RIL_SMS_Response response = {ref, nullptr, -1};
        RIL_onRequestComplete_cdma(t, RIL_E_SUCCESS, &response, sizeof(response));
    } else {
        fail(RIL_onRequestComplete_cdma, t);
    }
    at_response_free(p);
    restoreCdmaSettings();
}

void OnCDMA_RIL_REQUEST_CDMA_WRITE_SMS_TO_RUIM(void *, size_t, RIL_Token t) {
    // nothing is written: the storage index is unknown
    int index = -1;
    RIL_onRequestComplete_cdma(t, RIL_E_SUCCESS, &index, sizeof(index));
}

void OnCDMA_RIL_REQUEST_CDMA_DELETE_SMS_ON_RUIM(void *data, size_t datalen, RIL_Token t) {
    int index = -1;
    if (!readIndex(data, datalen, &index) || !selectCdmaStorage()) {
        fail(RIL_onRequestComplete_cdma, t);
        return;
    }
    deleteIndex(RIL_onRequestComplete_cdma, "AT+CMGD=%d", data, datalen, t);
}

}  // extern "C"
