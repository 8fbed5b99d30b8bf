// The three families' unsolicited chains as tables, the common start and the
// walk. A row goes where its line is tested in the chain: keep the order of
// the comments (NITZ first, "^RSSI:" before the call group in WCDMA and LTE,
// the call group, then the rest, the catch-all last).
#include "ril_unsolicited.h"

#include "at_reply.h"
#include "ril_families.h"
#include "ril_log.h"
#include "ril_sim.h"

namespace {

const RilUnsolRow kRowsCdma[] = {
    // -- NITZ
    {"%CTZV:", onUnsolNitz_cdma},
    // -- the call group
    {"+CLIP:", onUnsolCallLine_cdma},
    {"RING", onUnsolCallLine_cdma},
    {"NO CARRIER", onUnsolCallLine_cdma},
    {"+CCWA", onUnsolCallLine_cdma},
    {"^CEND", onUnsolCallLine_cdma},
    {"^CONN", onUnsolCallLine_cdma},
    {"^ONLINE", onUnsolCallLine_cdma},
    {"^ORIG:", onUnsolCallLine_cdma},
    // -- the rest of the chain
    {"+CREG:", onUnsolNetworkChanged_cdma},
    {"+CGREG:", onUnsolNetworkChanged_cdma},
    {"+CMT:", onUnsolNewSms_cdma},
    {"+CDS:", onUnsolSmsStatusReport_cdma},
    {"+CGEV:", onUnsolPacketEvent_cdma},
    {"^HRSSILVL:", ril_unsol_ignore},
    {"^LINKED", onUnsolLinked_cdma},
    {"+GCSQ", ril_unsol_ignore},
    {"^SIMST:", onUnsolSimState_cdma},
    {"+CMTI", ril_unsol_ignore},
    {"^SMMEMFULL", onUnsolSmsMemoryFull_cdma},
    {"^HCMGSS", ril_unsol_ignore},
    {"^HCMT", onUnsolCdmaNewSms_cdma},
    {"^MMS:", onUnsolCdmaNewSms_cdma},
    {"^HCDS", ril_unsol_ignore},
    {"^MODE:", onUnsolMode_cdma},
    {"^GPSNETDONE", onUnsolGpsNetDone_cdma},
    {"^GPSDOLADDONE", onUnsolGpsDownloadDone_cdma},
    // -- catch-all (last)
    {"", onUnsolOther_cdma},
};

const RilUnsolRow kRowsWcdma[] = {
    // -- NITZ
    {"%CTZV:", onUnsolNitz_wcdma},
    // -- before the call group
    {"^RSSI:", ril_unsol_ignore},
    // -- the call group
    {"+CRING:", onUnsolCallLine_wcdma},
    {"RING", onUnsolCallLine_wcdma},
    {"NO CARRIER", onUnsolCallLine_wcdma},
    {"+CCWA", onUnsolCallLine_wcdma},
    {"^CEND", onUnsolCallLine_wcdma},
    {"^CONN", onUnsolCallLine_wcdma},
    {"^CONF", onUnsolCallLine_wcdma},
    {"MISSED_CALL:", onUnsolCallLine_wcdma},
    // -- the rest of the chain
    {"+CMT:", onUnsolNewSms_wcdma},
    {"^MMS:", onUnsolMms_wcdma},
    {"+CMTI:", onUnsolNewSmsStored_wcdma},
    {"+CDS:", onUnsolSmsStatusReport_wcdma},
    {"+CGEV:", onUnsolPacketEvent_wcdma},
    {"+CUSD:", onUnsolUssd_wcdma},
    {"^SIMC", onUnsolSimCardChange_wcdma},
    {"+CPIN: READY", onUnsolSimReady_wcdma},
    {"^MODE:", onUnsolMode_wcdma},
    {"+SIMCARD: NOT AVAILABLE", onUnsolSimCardRemove_wcdma},
    // -- catch-all (last): the USSD continuation
    {"", onUnsolOther_wcdma},
};

const RilUnsolRow kRowsLte[] = {
    // -- NITZ
    {"%CTZV:", onUnsolNitz_lte},
    // -- before the call group
    {"^RSSI:", ril_unsol_ignore},
    // -- the call group
    {"+CRING:", onUnsolCallLine_lte},
    {"RING", onUnsolCallLine_lte},
    {"NO CARRIER", onUnsolCallLine_lte},
    {"+CCWA", onUnsolCallLine_lte},
    {"^CEND", onUnsolCallLine_lte},
    {"^CONN", onUnsolCallLine_lte},
    {"^CONF", onUnsolCallLine_lte},
    {"MISSED_CALL:", onUnsolCallLine_lte},
    {"^LINKED:", onUnsolCallLine_lte},
    // -- the rest of the chain
    {"+CREG:", ril_unsol_ignore},
    {"+CGREG:", ril_unsol_ignore},
    {"+CMT:", onUnsolNewSms_lte},
    {"$QCMT:", onUnsolNewSms_lte},
    {"^MMS:", onUnsolMms_lte},
    {"+CMTI:", onUnsolNewSmsStored_lte},
    {"$QCMTI:", onUnsolNewSmsStored_lte},
    {"+CDS:", onUnsolSmsStatusReport_lte},
    {"+CGEV:", onUnsolPacketEvent_lte},
    {"+CUSD:", onUnsolUssd_lte},
    {"^SIMC", onUnsolSimCardChange_lte},
    {"+CPIN: READY", onUnsolSimReady_lte},
    {"^MODE:", onUnsolMode_lte},
    {"+SIMCARD: NOT AVAILABLE", onUnsolSimCardRemove_lte},
    // -- catch-all (last): the USSD continuation
    {"", onUnsolOther_lte},
};

template <size_t N>
const RilUnsolRow *rowsOf(const RilUnsolRow (&rows)[N], size_t *count) {
    if (count != nullptr) *count = N;
    return rows;
}

RIL_RadioState radioStateOf(int family) {
    switch (family) {
        case RIL_FAMILY_CDMA: return s_radio_state_cdma;
        case RIL_FAMILY_WCDMA: return s_radio_state_wcdma;
        default: return s_radio_state_lte;
    }
}

}  // namespace

extern "C" const RilUnsolRow *ril_unsol_rows(int family, size_t *count) {
    switch (family) {
        case RIL_FAMILY_CDMA: return rowsOf(kRowsCdma, count);
        case RIL_FAMILY_WCDMA: return rowsOf(kRowsWcdma, count);
        case RIL_FAMILY_LTE: return rowsOf(kRowsLte, count);
        default:
            if (count != nullptr) *count = 0;
            return nullptr;
    }
}

extern "C" void ril_unsol_ignore(const char *, const char *) {}

extern "C" int ril_unsol_dispatch(int family, const char *line, const char *sms_pdu) {
    size_t count = 0;
    const RilUnsolRow *rows = ril_unsol_rows(family, &count);
    if (rows == nullptr) return -1;
    // nothing the module says counts while the radio is unavailable
    if (radioStateOf(family) == RADIO_STATE_UNAVAILABLE) return -1;
    if (line == nullptr) return -1;
    RILDEBUG("onUnsolicited: %s", line);
    if (sms_pdu != nullptr) RILDEBUG("onUnsolicited: sms_pdu %s", sms_pdu);
    for (size_t i = 0; i < count; i++) {
        if (!strStartsWith(line, rows[i].prefix)) continue;
        if (rows[i].handler != nullptr) rows[i].handler(line, sms_pdu);
        return (int)i;
    }
    return -1;
}

extern "C" {

void onUnsolicited_cdma(const char *s, const char *sms_pdu) { ril_unsol_dispatch(RIL_FAMILY_CDMA, s, sms_pdu); }
void onUnsolicited_wcdma(const char *s, const char *sms_pdu) { ril_unsol_dispatch(RIL_FAMILY_WCDMA, s, sms_pdu); }
void onUnsolicited_lte(const char *s, const char *sms_pdu) { ril_unsol_dispatch(RIL_FAMILY_LTE, s, sms_pdu); }

// ---- the SIM card rows ----
// A card exchange or removal ends the process; the SIM area does it on the
// event thread.
void onUnsolSimCardChange_wcdma(const char *, const char *) {
    RIL_requestTimedCallback_wcdma(onSimCardChange_wcdma, nullptr, nullptr);
}
void onUnsolSimCardRemove_wcdma(const char *, const char *) {
    RIL_requestTimedCallback_wcdma(OnSimCardRemove_wcdma, nullptr, nullptr);
}
void onUnsolSimCardChange_lte(const char *, const char *) {
    RIL_requestTimedCallback_lte(onSimCardChange_lte, nullptr, nullptr);
}
// the 9X07 modules report a removal they recover from: ignored there
void onUnsolSimCardRemove_lte(const char *, const char *) {
    if (!s_is9X07) RIL_requestTimedCallback_lte(OnSimCardRemove_lte, nullptr, nullptr);
}

}  // extern "C"
