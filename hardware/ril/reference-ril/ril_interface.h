/*
 * The part of the platform's public RIL interface that this library uses,
 * declared here so the library builds without the platform tree. Every record
 * is layout-compatible with the platform's own declaration; sizes differ
 * between the 32-bit device ABI and a 64-bit host, so code uses sizeof.
 */
#ifndef RIL_INTERFACE_H
#define RIL_INTERFACE_H

#include <stddef.h>
#include <stdint.h>
#include <sys/time.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifndef RIL_VERSION
#define RIL_VERSION 15
#endif

#define RIL_CARD_MAX_APPS 8

typedef void *RIL_Token;

typedef enum {
    RIL_E_SUCCESS = 0,
    RIL_E_RADIO_NOT_AVAILABLE = 1,
    RIL_E_GENERIC_FAILURE = 2,
    RIL_E_PASSWORD_INCORRECT = 3,
    RIL_E_SIM_PIN2 = 4,
    RIL_E_SIM_PUK2 = 5,
    RIL_E_REQUEST_NOT_SUPPORTED = 6,
    RIL_E_CANCELLED = 7,
    RIL_E_OP_NOT_ALLOWED_DURING_VOICE_CALL = 8,
    RIL_E_OP_NOT_ALLOWED_BEFORE_REG_TO_NW = 9,
    RIL_E_SMS_SEND_FAIL_RETRY = 10,
    RIL_E_SIM_ABSENT = 11,
    RIL_E_SUBSCRIPTION_NOT_AVAILABLE = 12,
    RIL_E_MODE_NOT_SUPPORTED = 13,
    RIL_E_FDN_CHECK_FAILURE = 14,
    RIL_E_ILLEGAL_SIM_OR_ME = 15,
    RIL_E_MISSING_RESOURCE = 16,
    RIL_E_NO_SUCH_ELEMENT = 17,
} RIL_Errno;

typedef enum {
    RADIO_STATE_OFF = 0,
    RADIO_STATE_UNAVAILABLE = 1,
    RADIO_STATE_SIM_NOT_READY = 2,
    RADIO_STATE_SIM_LOCKED_OR_ABSENT = 3,
    RADIO_STATE_SIM_READY = 4,
    RADIO_STATE_RUIM_NOT_READY = 5,
    RADIO_STATE_RUIM_READY = 6,
    RADIO_STATE_RUIM_LOCKED_OR_ABSENT = 7,
    RADIO_STATE_NV_NOT_READY = 8,
    RADIO_STATE_NV_READY = 9,
    RADIO_STATE_ON = 10,
} RIL_RadioState;

typedef enum {
    RADIO_TECH_UNKNOWN = 0,
    RADIO_TECH_GPRS = 1,
    RADIO_TECH_EDGE = 2,
    RADIO_TECH_UMTS = 3,
    RADIO_TECH_IS95A = 4,
    RADIO_TECH_IS95B = 5,
    RADIO_TECH_1xRTT = 6,
    RADIO_TECH_EVDO_0 = 7,
    RADIO_TECH_EVDO_A = 8,
    RADIO_TECH_HSDPA = 9,
    RADIO_TECH_HSUPA = 10,
    RADIO_TECH_HSPA = 11,
    RADIO_TECH_EVDO_B = 12,
    RADIO_TECH_EHRPD = 13,
    RADIO_TECH_LTE = 14,
    RADIO_TECH_HSPAP = 15,
    RADIO_TECH_GSM = 16,
    RADIO_TECH_TD_SCDMA = 17,
    RADIO_TECH_IWLAN = 18,
    RADIO_TECH_LTE_CA = 19,
} RIL_RadioTechnology;

/* ---- request codes: X(name, code) ---- */
#define RIL_REQUEST_LIST(X)                                  \
    X(RIL_REQUEST_GET_SIM_STATUS, 1)                         \
    X(RIL_REQUEST_ENTER_SIM_PIN, 2)                          \
    X(RIL_REQUEST_ENTER_SIM_PUK, 3)                          \
    X(RIL_REQUEST_ENTER_SIM_PIN2, 4)                         \
    X(RIL_REQUEST_ENTER_SIM_PUK2, 5)                         \
    X(RIL_REQUEST_CHANGE_SIM_PIN, 6)                         \
    X(RIL_REQUEST_CHANGE_SIM_PIN2, 7)                        \
    X(RIL_REQUEST_ENTER_NETWORK_DEPERSONALIZATION, 8)        \
    X(RIL_REQUEST_GET_CURRENT_CALLS, 9)                      \
    X(RIL_REQUEST_DIAL, 10)                                  \
    X(RIL_REQUEST_GET_IMSI, 11)                              \
    X(RIL_REQUEST_HANGUP, 12)                                \
    X(RIL_REQUEST_HANGUP_WAITING_OR_BACKGROUND, 13)          \
    X(RIL_REQUEST_HANGUP_FOREGROUND_RESUME_BACKGROUND, 14)   \
    X(RIL_REQUEST_SWITCH_WAITING_OR_HOLDING_AND_ACTIVE, 15)  \
    X(RIL_REQUEST_CONFERENCE, 16)                            \
    X(RIL_REQUEST_UDUB, 17)                                  \
    X(RIL_REQUEST_LAST_CALL_FAIL_CAUSE, 18)                  \
    X(RIL_REQUEST_SIGNAL_STRENGTH, 19)                       \
    X(RIL_REQUEST_VOICE_REGISTRATION_STATE, 20)              \
    X(RIL_REQUEST_DATA_REGISTRATION_STATE, 21)               \
    X(RIL_REQUEST_OPERATOR, 22)                              \
    X(RIL_REQUEST_RADIO_POWER, 23)                           \
    X(RIL_REQUEST_DTMF, 24)                                  \
    X(RIL_REQUEST_SEND_SMS, 25)                              \
    X(RIL_REQUEST_SEND_SMS_EXPECT_MORE, 26)                  \
    X(RIL_REQUEST_SETUP_DATA_CALL, 27)                       \
    X(RIL_REQUEST_SIM_IO, 28)                                \
    X(RIL_REQUEST_SEND_USSD, 29)                             \
    X(RIL_REQUEST_CANCEL_USSD, 30)                           \
    X(RIL_REQUEST_GET_CLIR, 31)                              \
    X(RIL_REQUEST_SET_CLIR, 32)                              \
    X(RIL_REQUEST_QUERY_CALL_FORWARD_STATUS, 33)             \
    X(RIL_REQUEST_SET_CALL_FORWARD, 34)                      \
    X(RIL_REQUEST_QUERY_CALL_WAITING, 35)                    \
    X(RIL_REQUEST_SET_CALL_WAITING, 36)                      \
    X(RIL_REQUEST_SMS_ACKNOWLEDGE, 37)                       \
    X(RIL_REQUEST_GET_IMEI, 38)                              \
    X(RIL_REQUEST_GET_IMEISV, 39)                            \
    X(RIL_REQUEST_ANSWER, 40)                                \
    X(RIL_REQUEST_DEACTIVATE_DATA_CALL, 41)                  \
    X(RIL_REQUEST_QUERY_FACILITY_LOCK, 42)                   \
    X(RIL_REQUEST_SET_FACILITY_LOCK, 43)                     \
    X(RIL_REQUEST_CHANGE_BARRING_PASSWORD, 44)               \
    X(RIL_REQUEST_QUERY_NETWORK_SELECTION_MODE, 45)          \
    X(RIL_REQUEST_SET_NETWORK_SELECTION_AUTOMATIC, 46)       \
    X(RIL_REQUEST_SET_NETWORK_SELECTION_MANUAL, 47)          \
    X(RIL_REQUEST_QUERY_AVAILABLE_NETWORKS, 48)              \
    X(RIL_REQUEST_DTMF_START, 49)                            \
    X(RIL_REQUEST_DTMF_STOP, 50)                             \
    X(RIL_REQUEST_BASEBAND_VERSION, 51)                      \
    X(RIL_REQUEST_SEPARATE_CONNECTION, 52)                   \
    X(RIL_REQUEST_SET_MUTE, 53)                              \
    X(RIL_REQUEST_GET_MUTE, 54)                              \
    X(RIL_REQUEST_QUERY_CLIP, 55)                            \
    X(RIL_REQUEST_LAST_DATA_CALL_FAIL_CAUSE, 56)             \
    X(RIL_REQUEST_DATA_CALL_LIST, 57)                        \
    X(RIL_REQUEST_RESET_RADIO, 58)                           \
    X(RIL_REQUEST_OEM_HOOK_RAW, 59)                          \
    X(RIL_REQUEST_OEM_HOOK_STRINGS, 60)                      \
    X(RIL_REQUEST_SCREEN_STATE, 61)                          \
    X(RIL_REQUEST_SET_SUPP_SVC_NOTIFICATION, 62)             \
    X(RIL_REQUEST_WRITE_SMS_TO_SIM, 63)                      \
    X(RIL_REQUEST_DELETE_SMS_ON_SIM, 64)                     \
    X(RIL_REQUEST_SET_BAND_MODE, 65)                         \
    X(RIL_REQUEST_QUERY_AVAILABLE_BAND_MODE, 66)             \
    X(RIL_REQUEST_STK_GET_PROFILE, 67)                       \
    X(RIL_REQUEST_STK_SET_PROFILE, 68)                       \
    X(RIL_REQUEST_STK_SEND_ENVELOPE_COMMAND, 69)             \
    X(RIL_REQUEST_STK_SEND_TERMINAL_RESPONSE, 70)            \
    X(RIL_REQUEST_STK_HANDLE_CALL_SETUP_REQUESTED_FROM_SIM, 71) \
    X(RIL_REQUEST_EXPLICIT_CALL_TRANSFER, 72)                \
    X(RIL_REQUEST_SET_PREFERRED_NETWORK_TYPE, 73)            \
    X(RIL_REQUEST_GET_PREFERRED_NETWORK_TYPE, 74)            \
    X(RIL_REQUEST_GET_NEIGHBORING_CELL_IDS, 75)              \
    X(RIL_REQUEST_SET_LOCATION_UPDATES, 76)                  \
    X(RIL_REQUEST_CDMA_SET_SUBSCRIPTION, 77)                 \
    X(RIL_REQUEST_CDMA_SET_ROAMING_PREFERENCE, 78)           \
    X(RIL_REQUEST_CDMA_QUERY_ROAMING_PREFERENCE, 79)         \
    X(RIL_REQUEST_SET_TTY_MODE, 80)                          \
    X(RIL_REQUEST_QUERY_TTY_MODE, 81)                        \
    X(RIL_REQUEST_CDMA_SET_PREFERRED_VOICE_PRIVACY_MODE, 82) \
    X(RIL_REQUEST_CDMA_QUERY_PREFERRED_VOICE_PRIVACY_MODE, 83) \
    X(RIL_REQUEST_CDMA_FLASH, 84)                            \
    X(RIL_REQUEST_CDMA_BURST_DTMF, 85)                       \
    X(RIL_REQUEST_CDMA_VALIDATE_AND_WRITE_AKEY, 86)          \
    X(RIL_REQUEST_CDMA_SEND_SMS, 87)                         \
    X(RIL_REQUEST_CDMA_SMS_ACKNOWLEDGE, 88)                  \
    X(RIL_REQUEST_GSM_GET_BROADCAST_SMS_CONFIG, 89)          \
    X(RIL_REQUEST_GSM_SET_BROADCAST_SMS_CONFIG, 90)          \
    X(RIL_REQUEST_GSM_SMS_BROADCAST_ACTIVATION, 91)          \
    X(RIL_REQUEST_CDMA_GET_BROADCAST_SMS_CONFIG, 92)         \
    X(RIL_REQUEST_CDMA_SET_BROADCAST_SMS_CONFIG, 93)         \
    X(RIL_REQUEST_CDMA_SMS_BROADCAST_ACTIVATION, 94)         \
    X(RIL_REQUEST_CDMA_SUBSCRIPTION, 95)                     \
    X(RIL_REQUEST_CDMA_WRITE_SMS_TO_RUIM, 96)                \
    X(RIL_REQUEST_CDMA_DELETE_SMS_ON_RUIM, 97)               \
    X(RIL_REQUEST_DEVICE_IDENTITY, 98)                       \
    X(RIL_REQUEST_EXIT_EMERGENCY_CALLBACK_MODE, 99)          \
    X(RIL_REQUEST_GET_SMSC_ADDRESS, 100)                     \
    X(RIL_REQUEST_SET_SMSC_ADDRESS, 101)                     \
    X(RIL_REQUEST_REPORT_SMS_MEMORY_STATUS, 102)             \
    X(RIL_REQUEST_REPORT_STK_SERVICE_IS_RUNNING, 103)        \
    X(RIL_REQUEST_CDMA_GET_SUBSCRIPTION_SOURCE, 104)         \
    X(RIL_REQUEST_ISIM_AUTHENTICATION, 105)                  \
    X(RIL_REQUEST_ACKNOWLEDGE_INCOMING_GSM_SMS_WITH_PDU, 106) \
    X(RIL_REQUEST_STK_SEND_ENVELOPE_WITH_STATUS, 107)        \
    X(RIL_REQUEST_VOICE_RADIO_TECH, 108)                     \
    X(RIL_REQUEST_GET_CELL_INFO_LIST, 109)                   \
    X(RIL_REQUEST_SET_UNSOL_CELL_INFO_LIST_RATE, 110)        \
    X(RIL_REQUEST_SET_INITIAL_ATTACH_APN, 111)               \
    X(RIL_REQUEST_IMS_REGISTRATION_STATE, 112)               \
    X(RIL_REQUEST_IMS_SEND_SMS, 113)                         \
    X(RIL_REQUEST_SIM_TRANSMIT_APDU_BASIC, 114)              \
    X(RIL_REQUEST_SIM_OPEN_CHANNEL, 115)                     \
    X(RIL_REQUEST_SIM_CLOSE_CHANNEL, 116)                    \
    X(RIL_REQUEST_SIM_TRANSMIT_APDU_CHANNEL, 117)            \
    X(RIL_REQUEST_NV_READ_ITEM, 118)                         \
    X(RIL_REQUEST_NV_WRITE_ITEM, 119)                        \
    X(RIL_REQUEST_NV_WRITE_CDMA_PRL, 120)                    \
    X(RIL_REQUEST_NV_RESET_CONFIG, 121)                      \
    X(RIL_REQUEST_SET_UICC_SUBSCRIPTION, 122)                \
    X(RIL_REQUEST_ALLOW_DATA, 123)                           \
    X(RIL_REQUEST_GET_HARDWARE_CONFIG, 124)                  \
    X(RIL_REQUEST_SIM_AUTHENTICATION, 125)                   \
    X(RIL_REQUEST_GET_DC_RT_INFO, 126)                       \
    X(RIL_REQUEST_SET_DC_RT_INFO_RATE, 127)                  \
    X(RIL_REQUEST_SET_DATA_PROFILE, 128)                     \
    X(RIL_REQUEST_SHUTDOWN, 129)                             \
    X(RIL_REQUEST_GET_RADIO_CAPABILITY, 130)                 \
    X(RIL_REQUEST_SET_RADIO_CAPABILITY, 131)                 \
    X(RIL_REQUEST_START_LCE, 132)

/* ---- unsolicited notification codes ---- */
#define RIL_UNSOL_LIST(X)                                    \
    X(RIL_UNSOL_RESPONSE_RADIO_STATE_CHANGED, 1000)          \
    X(RIL_UNSOL_RESPONSE_CALL_STATE_CHANGED, 1001)           \
    X(RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED, 1002)  \
    X(RIL_UNSOL_RESPONSE_NEW_SMS, 1003)                      \
    X(RIL_UNSOL_RESPONSE_NEW_SMS_STATUS_REPORT, 1004)        \
    X(RIL_UNSOL_RESPONSE_NEW_SMS_ON_SIM, 1005)               \
    X(RIL_UNSOL_ON_USSD, 1006)                               \
    X(RIL_UNSOL_ON_USSD_REQUEST, 1007)                       \
    X(RIL_UNSOL_NITZ_TIME_RECEIVED, 1008)                    \
    X(RIL_UNSOL_SIGNAL_STRENGTH, 1009)                       \
    X(RIL_UNSOL_DATA_CALL_LIST_CHANGED, 1010)                \
    X(RIL_UNSOL_SUPP_SVC_NOTIFICATION, 1011)                 \
    X(RIL_UNSOL_STK_SESSION_END, 1012)                       \
    X(RIL_UNSOL_STK_PROACTIVE_COMMAND, 1013)                 \
    X(RIL_UNSOL_STK_EVENT_NOTIFY, 1014)                      \
    X(RIL_UNSOL_STK_CALL_SETUP, 1015)                        \
    X(RIL_UNSOL_SIM_SMS_STORAGE_FULL, 1016)                  \
    X(RIL_UNSOL_SIM_REFRESH, 1017)                           \
    X(RIL_UNSOL_CALL_RING, 1018)                             \
    X(RIL_UNSOL_RESPONSE_SIM_STATUS_CHANGED, 1019)           \
    X(RIL_UNSOL_RESPONSE_CDMA_NEW_SMS, 1020)                 \
    X(RIL_UNSOL_RESPONSE_NEW_BROADCAST_SMS, 1021)            \
    X(RIL_UNSOL_CDMA_RUIM_SMS_STORAGE_FULL, 1022)            \
    X(RIL_UNSOL_RESTRICTED_STATE_CHANGED, 1023)              \
    X(RIL_UNSOL_ENTER_EMERGENCY_CALLBACK_MODE, 1024)         \
    X(RIL_UNSOL_CDMA_CALL_WAITING, 1025)                     \
    X(RIL_UNSOL_CDMA_OTA_PROVISION_STATUS, 1026)             \
    X(RIL_UNSOL_CDMA_INFO_REC, 1027)                         \
    X(RIL_UNSOL_OEM_HOOK_RAW, 1028)                          \
    X(RIL_UNSOL_RINGBACK_TONE, 1029)                         \
    X(RIL_UNSOL_RESEND_INCALL_MUTE, 1030)                    \
    X(RIL_UNSOL_CDMA_SUBSCRIPTION_SOURCE_CHANGED, 1031)      \
    X(RIL_UNSOL_CDMA_PRL_CHANGED, 1032)                      \
    X(RIL_UNSOL_EXIT_EMERGENCY_CALLBACK_MODE, 1033)          \
    X(RIL_UNSOL_RIL_CONNECTED, 1034)                         \
    X(RIL_UNSOL_VOICE_RADIO_TECH_CHANGED, 1035)              \
    X(RIL_UNSOL_CELL_INFO_LIST, 1036)                        \
    X(RIL_UNSOL_RESPONSE_IMS_NETWORK_STATE_CHANGED, 1037)    \
    X(RIL_UNSOL_UICC_SUBSCRIPTION_STATUS_CHANGED, 1038)      \
    X(RIL_UNSOL_SRVCC_STATE_NOTIFY, 1039)                    \
    X(RIL_UNSOL_HARDWARE_CONFIG_CHANGED, 1040)               \
    X(RIL_UNSOL_DC_RT_INFO_CHANGED, 1041)                    \
    X(RIL_UNSOL_RADIO_CAPABILITY, 1042)                      \
    X(RIL_UNSOL_ON_SS, 1043)                                 \
    X(RIL_UNSOL_STK_CC_ALPHA_NOTIFY, 1044)                   \
    X(RIL_UNSOL_LCEDATA_RECV, 1045)                          \
    X(RIL_UNSOL_PCO_DATA, 1046)                              \
    X(RIL_UNSOL_MODEM_RESTART, 1047)

#define RIL_DEFINE_CODE_(name, code) name = code,
enum { RIL_REQUEST_LIST(RIL_DEFINE_CODE_) RIL_REQUEST_LAST_ = 132 };
enum { RIL_UNSOL_LIST(RIL_DEFINE_CODE_) RIL_UNSOL_LAST_ = 1047 };
#undef RIL_DEFINE_CODE_

/* the older name of the same code, used by the network Parts */
#define RIL_UNSOL_RESPONSE_NETWORK_STATE_CHANGED RIL_UNSOL_RESPONSE_VOICE_NETWORK_STATE_CHANGED
#define RIL_REQUEST_REGISTRATION_STATE RIL_REQUEST_VOICE_REGISTRATION_STATE
#define RIL_REQUEST_GPRS_REGISTRATION_STATE RIL_REQUEST_DATA_REGISTRATION_STATE

/* ---- the daemon's callback record and ours ---- */
typedef void (*RIL_RequestFunc)(int request, void *data, size_t datalen, RIL_Token t);
typedef RIL_RadioState (*RIL_RadioStateRequest)(void);
typedef int (*RIL_Supports)(int requestCode);
typedef void (*RIL_Cancel)(RIL_Token t);
typedef void (*RIL_TimedCallback)(void *param);
typedef const char *(*RIL_GetVersion)(void);

typedef struct {
    int version;
    RIL_RequestFunc onRequest;
    RIL_RadioStateRequest onStateRequest;
    RIL_Supports supports;
    RIL_Cancel onCancel;
    RIL_GetVersion getVersion;
} RIL_RadioFunctions;

struct RIL_Env {
    void (*OnRequestComplete)(RIL_Token t, RIL_Errno e, void *response, size_t responselen);
    void (*OnUnsolicitedResponse)(int unsolResponse, const void *data, size_t datalen);
    void *(*RequestTimedCallback)(RIL_TimedCallback callback, void *param,
                                  const struct timeval *relativeTime);
    /* present in the current interface only; never called by this library */
    void (*OnRequestAck)(RIL_Token t);
};

/* ---- SIM card status ---- */
typedef enum {
    RIL_CARDSTATE_ABSENT = 0,
    RIL_CARDSTATE_PRESENT = 1,
    RIL_CARDSTATE_ERROR = 2,
    RIL_CARDSTATE_RESTRICTED = 3,
} RIL_CardState;

typedef enum {
    RIL_PERSOSUBSTATE_UNKNOWN = 0,
    RIL_PERSOSUBSTATE_IN_PROGRESS = 1,
    RIL_PERSOSUBSTATE_READY = 2,
    RIL_PERSOSUBSTATE_SIM_NETWORK = 3,
    RIL_PERSOSUBSTATE_SIM_NETWORK_SUBSET = 4,
    RIL_PERSOSUBSTATE_SIM_CORPORATE = 5,
    RIL_PERSOSUBSTATE_SIM_SERVICE_PROVIDER = 6,
    RIL_PERSOSUBSTATE_SIM_SIM = 7,
    RIL_PERSOSUBSTATE_SIM_NETWORK_PUK = 8,
    RIL_PERSOSUBSTATE_SIM_NETWORK_SUBSET_PUK = 9,
    RIL_PERSOSUBSTATE_SIM_CORPORATE_PUK = 10,
    RIL_PERSOSUBSTATE_SIM_SERVICE_PROVIDER_PUK = 11,
    RIL_PERSOSUBSTATE_SIM_SIM_PUK = 12,
    RIL_PERSOSUBSTATE_RUIM_NETWORK1 = 13,
    RIL_PERSOSUBSTATE_RUIM_NETWORK2 = 14,
    RIL_PERSOSUBSTATE_RUIM_HRPD = 15,
    RIL_PERSOSUBSTATE_RUIM_CORPORATE = 16,
    RIL_PERSOSUBSTATE_RUIM_SERVICE_PROVIDER = 17,
    RIL_PERSOSUBSTATE_RUIM_RUIM = 18,
    RIL_PERSOSUBSTATE_RUIM_NETWORK1_PUK = 19,
    RIL_PERSOSUBSTATE_RUIM_NETWORK2_PUK = 20,
    RIL_PERSOSUBSTATE_RUIM_HRPD_PUK = 21,
    RIL_PERSOSUBSTATE_RUIM_CORPORATE_PUK = 22,
    RIL_PERSOSUBSTATE_RUIM_SERVICE_PROVIDER_PUK = 23,
    RIL_PERSOSUBSTATE_RUIM_RUIM_PUK = 24,
} RIL_PersoSubstate;

typedef enum {
    RIL_APPSTATE_UNKNOWN = 0,
    RIL_APPSTATE_DETECTED = 1,
    RIL_APPSTATE_PIN = 2,
    RIL_APPSTATE_PUK = 3,
    RIL_APPSTATE_SUBSCRIPTION_PERSO = 4,
    RIL_APPSTATE_READY = 5,
} RIL_AppState;

typedef enum {
    RIL_PINSTATE_UNKNOWN = 0,
    RIL_PINSTATE_ENABLED_NOT_VERIFIED = 1,
    RIL_PINSTATE_ENABLED_VERIFIED = 2,
    RIL_PINSTATE_DISABLED = 3,
    RIL_PINSTATE_ENABLED_BLOCKED = 4,
    RIL_PINSTATE_ENABLED_PERM_BLOCKED = 5,
} RIL_PinState;

typedef enum {
    RIL_APPTYPE_UNKNOWN = 0,
    RIL_APPTYPE_SIM = 1,
    RIL_APPTYPE_USIM = 2,
    RIL_APPTYPE_RUIM = 3,
    RIL_APPTYPE_CSIM = 4,
    RIL_APPTYPE_ISIM = 5,
} RIL_AppType;

typedef struct {
    RIL_AppType app_type;
    RIL_AppState app_state;
    RIL_PersoSubstate perso_substate;
    char *aid_ptr;
    char *app_label_ptr;
    int pin1_replaced;
    RIL_PinState pin1;
    RIL_PinState pin2;
} RIL_AppStatus;

typedef struct {
    RIL_CardState card_state;
    RIL_PinState universal_pin_state;
    int gsm_umts_subscription_app_index;
    int cdma_subscription_app_index;
    int ims_subscription_app_index;
    int num_applications;
    RIL_AppStatus applications[RIL_CARD_MAX_APPS];
} RIL_CardStatus_v6;

/* ---- signal strength ---- */
typedef struct {
    int signalStrength;
    int bitErrorRate;
} RIL_GW_SignalStrength;

typedef struct {
    int dbm;
    int ecio;
} RIL_CDMA_SignalStrength;

typedef struct {
    int dbm;
    int ecio;
    int signalNoiseRatio;
} RIL_EVDO_SignalStrength;

typedef struct {
    int signalStrength;
    int rsrp;
    int rsrq;
    int rssnr;
    int cqi;
    int timingAdvance;
} RIL_LTE_SignalStrength_v8;

typedef struct {
    int rscp;
} RIL_TD_SCDMA_SignalStrength;

typedef struct {
    RIL_GW_SignalStrength GW_SignalStrength;
    RIL_CDMA_SignalStrength CDMA_SignalStrength;
    RIL_EVDO_SignalStrength EVDO_SignalStrength;
    RIL_LTE_SignalStrength_v8 LTE_SignalStrength;
    RIL_TD_SCDMA_SignalStrength TD_SCDMA_SignalStrength;
} RIL_SignalStrength_v10;

/* ---- calls ---- */
typedef enum {
    RIL_CALL_ACTIVE = 0,
    RIL_CALL_HOLDING = 1,
    RIL_CALL_DIALING = 2,
    RIL_CALL_ALERTING = 3,
    RIL_CALL_INCOMING = 4,
    RIL_CALL_WAITING = 5,
} RIL_CallState;

typedef enum {
    RIL_UUS_TYPE1_IMPLICIT = 0,
    RIL_UUS_TYPE1_REQUIRED = 1,
    RIL_UUS_TYPE1_NOT_REQUIRED = 2,
    RIL_UUS_TYPE2_REQUIRED = 3,
    RIL_UUS_TYPE2_NOT_REQUIRED = 4,
    RIL_UUS_TYPE3_REQUIRED = 5,
    RIL_UUS_TYPE3_NOT_REQUIRED = 6,
} RIL_UUS_Type;

typedef enum {
    RIL_UUS_DCS_USP = 0,
    RIL_UUS_DCS_OSIHLP = 1,
    RIL_UUS_DCS_X244 = 2,
    RIL_UUS_DCS_RMCF = 3,
    RIL_UUS_DCS_IA5c = 4,
} RIL_UUS_DCS;

typedef struct {
    RIL_UUS_Type uusType;
    RIL_UUS_DCS uusDcs;
    int uusLength;
    char *uusData;
} RIL_UUS_Info;

typedef struct {
    RIL_CallState state;
    int index;
    int toa;
    char isMpty;
    char isMT;
    char als;
    char isVoice;
    char isVoicePrivacy;
    char *number;
    int numberPresentation;
    char *name;
    int namePresentation;
    RIL_UUS_Info *uusInfo;
} RIL_Call;

typedef struct {
    char *address;
    int clir;
    RIL_UUS_Info *uusInfo;
} RIL_Dial;

typedef struct {
    int status;
    int reason;
    int serviceClass;
    int toa;
    char *number;
    int timeSeconds;
} RIL_CallForwardInfo;

/* ---- SIM I/O ---- */
typedef struct {
    int command;
    int fileid;
    char *path;
    int p1;
    int p2;
    int p3;
    char *data;
    char *pin2;
    char *aidPtr;
} RIL_SIM_IO_v6;

typedef struct {
    int sw1;
    int sw2;
    char *simResponse;
} RIL_SIM_IO_Response;

/* ---- SMS ---- */
typedef struct {
    int messageRef;
    char *ackPDU;
    int errorCode;
} RIL_SMS_Response;

typedef struct {
    int status;
    char *pdu;
    char *smsc;
} RIL_SMS_WriteArgs;

#define RIL_CDMA_SMS_ADDRESS_MAX 36
#define RIL_CDMA_SMS_SUBADDRESS_MAX 36
#define RIL_CDMA_SMS_BEARER_DATA_MAX 255

typedef struct {
    int digit_mode;
    int number_mode;
    int number_type;
    int number_plan;
    unsigned char number_of_digits;
    unsigned char digits[RIL_CDMA_SMS_ADDRESS_MAX];
} RIL_CDMA_SMS_Address;

typedef struct {
    int subaddressType;
    unsigned char odd;
    unsigned char number_of_digits;
    unsigned char digits[RIL_CDMA_SMS_SUBADDRESS_MAX];
} RIL_CDMA_SMS_Subaddress;

typedef struct {
    int uTeleserviceID;
    unsigned char bIsServicePresent;
    int uServicecategory;
    RIL_CDMA_SMS_Address sAddress;
    RIL_CDMA_SMS_Subaddress sSubAddress;
    int uBearerDataLen;
    unsigned char aBearerData[RIL_CDMA_SMS_BEARER_DATA_MAX];
} RIL_CDMA_SMS_Message;

typedef struct {
    int uErrorClass;
    int uSMSCauseCode;
} RIL_CDMA_SMS_Ack;

typedef struct {
    int status;
    RIL_CDMA_SMS_Message message;
} RIL_CDMA_SMS_WriteArgs;

/* ---- network ---- */
typedef struct {
    char *cid;
    int rssi;
} RIL_NeighboringCell;

typedef enum {
    RIL_CELL_INFO_TYPE_GSM = 1,
    RIL_CELL_INFO_TYPE_CDMA = 2,
    RIL_CELL_INFO_TYPE_LTE = 3,
    RIL_CELL_INFO_TYPE_WCDMA = 4,
    RIL_CELL_INFO_TYPE_TD_SCDMA = 5,
} RIL_CellInfoType;

typedef struct { int mcc; int mnc; int lac; int cid; int arfcn; uint8_t bsic; } RIL_CellIdentityGsm_v12;
typedef struct { int mcc; int mnc; int lac; int cid; int psc; int uarfcn; } RIL_CellIdentityWcdma_v12;
typedef struct { int networkId; int systemId; int basestationId; int longitude; int latitude; } RIL_CellIdentityCdma;
typedef struct { int mcc; int mnc; int ci; int pci; int tac; int earfcn; } RIL_CellIdentityLte_v12;
typedef struct { int mcc; int mnc; int lac; int cid; int cpid; } RIL_CellIdentityTdscdma;

typedef struct {
    RIL_CellInfoType cellInfoType;
    union {
        RIL_CellIdentityGsm_v12 cellIdentityGsm;
        RIL_CellIdentityWcdma_v12 cellIdentityWcdma;
        RIL_CellIdentityCdma cellIdentityCdma;
        RIL_CellIdentityLte_v12 cellIdentityLte;
        RIL_CellIdentityTdscdma cellIdentityTdscdma;
    };
} RIL_CellIdentity_v16;

typedef struct {
    int regState;
    int rat;
    int cssSupported;
    int roamingIndicator;
    int systemIsInPrl;
    int defaultRoamingIndicator;
    int reasonForDenial;
    RIL_CellIdentity_v16 cellIdentity;
} RIL_VoiceRegistrationStateResponse;

typedef struct {
    int regState;
    int rat;
    int reasonDataDenied;
    int maxDataCalls;
    RIL_CellIdentity_v16 cellIdentity;
} RIL_DataRegistrationStateResponse;

#define MAX_UUID_LENGTH 64
typedef struct {
    int version;
    int session;
    int phase;
    int rat;
    char logicalModemUuid[MAX_UUID_LENGTH];
    int status;
} RIL_RadioCapability;

/* ---- packet data ---- */
typedef struct {
    int status;
    int suggestedRetryTime;
    int cid;
    int active;
    char *type;
    char *ifname;
    char *addresses;
    char *dnses;
    char *gateways;
} RIL_Data_Call_Response_v6;

typedef struct {
    int status;
    int suggestedRetryTime;
    int cid;
    int active;
    char *type;
    char *ifname;
    char *addresses;
    char *dnses;
    char *gateways;
    char *pcscf;
    int mtu;
} RIL_Data_Call_Response_v11;

/* The data-call record the library hands the daemon: the legacy interface
   (version 9) knows no pcscf and no mtu. */
#if RIL_VERSION >= 15
typedef RIL_Data_Call_Response_v11 RIL_DataCallRecord;
#else
typedef RIL_Data_Call_Response_v6 RIL_DataCallRecord;
#endif

/*
 * Entry points of the library (the daemon looks them up by name) and the
 * daemon's own name table.
 */
const RIL_RadioFunctions *RIL_Init(const struct RIL_Env *env, int argc, char **argv);
const RIL_RadioFunctions *RIL_SAP_Init(const struct RIL_Env *env, int argc, char **argv);
const char *requestToString(int request);

/* Legacy interface: the daemon library exports these two directly. */
void RIL_onRequestComplete(RIL_Token t, RIL_Errno e, void *response, size_t responselen);
void RIL_onUnsolicitedResponse(int unsolResponse, const void *data, size_t datalen);

#ifdef __cplusplus
}
#endif

#endif /* RIL_INTERFACE_H */
