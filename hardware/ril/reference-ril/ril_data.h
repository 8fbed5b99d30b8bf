/*
 * Packet data: the data-call requests, the PPP dialer, the connection guard
 * and the probe and program runner they share.
 */
#ifndef RIL_DATA_H
#define RIL_DATA_H

#include <semaphore.h>
#include <stddef.h>
#include <sys/time.h>
#include <sys/types.h>

#include "ril_interface.h"

#define RIL_PPP_TEXT_MAX 128
/* the operator's default data-service account of the CDMA family */
#define RIL_CDMA_DEFAULT_USER "ctnet@mycdma.cn"
#define RIL_CDMA_DEFAULT_PASSWORD "vnet.mobi"
#define RIL_SHELLCOMMAND_MAX 4096
#define RIL_APN_MAX_LEN 100
#define RIL_PPP_ARGV_MAX 48

#ifdef __cplusplus
extern "C" {
#endif

/* ---- dialer state ---- */
extern char g_shellcommand[RIL_SHELLCOMMAND_MAX]; /* last pppd line, password masked */
extern char g_pppduser[RIL_PPP_TEXT_MAX];
extern char g_pppdwd[RIL_PPP_TEXT_MAX];
extern char g_pppduser_only[RIL_PPP_TEXT_MAX];
extern char g_pppdwd_only[RIL_PPP_TEXT_MAX];
extern char g_apn[RIL_PPP_TEXT_MAX];
extern const char *g_auth_option;
extern int is_pap;
extern char PPP_NAME[128];
extern char SERVICE_PPPD_GPRS[92];
extern int g_companyid;
extern int g_pppdhandle;
extern sem_t g_smt_pppexit;
extern char s_ipbuffer[92];
extern char g_getway_ip[128];
extern int s_dialvariant;
extern int s_lastgoodvariant;

/* The pppd argument vector of the last build: argv[0] is the program,
 * NULL-terminated; user name and password are one element each. */
extern char *g_ppp_argv[RIL_PPP_ARGV_MAX];
extern int g_ppp_argc;

void GetPPPServiceName(void);
void WriteConfigScript(void);
void BuildPppdCommand(int selector);
/* the selector for a WCDMA/LTE dial (last good one, else the normalised one) */
int ril_dial_selector(void);
int dial_ppp_modem(const char *dial);
int start_pppthread(void);
int get_pid(const char *name);
int killpppd(void);
int StopPPPD(const char *caller, int needresume);
int pppexist(void);
void pppreport(void);
int get_face_addr(const char *ifname, char *out);
char *GetLocalIP(void);
char *GetDeviceIP(const char *ifname);
void SetInterfaceIP(const char *ifname);
void GetDefGateWay(char *out);

/* Credentials checks: 1 when the text may go into a quoted AT argument and
 * a pppd argument (no quotes, backslashes or control characters, fits its
 * option buffer); NULL counts as absent and is accepted. */
int ril_ppp_credential_ok(const char *text, const char *option);
/* 1 for an APN of labels [A-Za-z0-9-] joined by dots, up to 100 characters */
int ril_apn_ok(const char *apn);
/* 1 for a dotted IPv4 address (four decimal numbers 0..255) */
int ril_is_dotted_ipv4(const char *text);

/* ---- the program runner ---- */
/* Starts $SYSROOT/system/bin/<argv[0]> (argv NULL-terminated) with no
 * descriptor but 0..2 inherited; returns the pid, or -1. */
pid_t ril_spawn_program(const char *const argv[]);
/* The same with the program's standard output on outFd (-1: inherited). */
pid_t ril_spawn_program_to(const char *const argv[], int outFd);
/* Runs a program as above and waits; returns the wait status (127 << 8
 * when the program cannot be run), -1 when it could not be started. */
int ril_run_program(const char *const argv[]);

/* Starts body(arg) on a detached thread; returns pthread_create's result. */
int ril_start_detached(void *(*body)(void *), void *arg);

/* ---- probe ---- */
typedef struct {
    unsigned int sent;
    unsigned int received;
    float min;
    float max;
    float avg;
} PktStatic;
extern PktStatic g_stPktStatic;
extern int g_pingsucc;
extern struct timeval stSendTime;
extern struct timeval stRcvTime;
int pingtest(const char *host);
unsigned short calcIcmpChkSum(const void *bytes, int len);
int newIcmpEcho(int seq, int length);
int timeSub(const struct timeval *a, const struct timeval *b);
int kv_execcommand(const char *cmd);
int start_pingthread(void);
/* 1 when a socket probe may go to this address (on the host build:
 * loopback only, unless the test runs in a private network namespace) */
struct in_addr;
int ril_probe_allowed(const struct in_addr *a);
/* the first bytes of the last echo request built by newIcmpEcho */
const unsigned char *ril_icmp_request(void);

/* ---- guard ---- */
extern int G_userdisconnect;
extern int g_nnedresume;
extern int g_insleep;
extern int g_retrytimes;
extern int g_datafailcount_6290;
extern int g_datafailcount_4g;
extern int g_pppexitcode;
extern unsigned int G_resumetickcount;
extern int flag;
extern RIL_Token g_data_token;
extern int g_lte_netstatus;
extern unsigned int g_lte_connectbegin;
extern sem_t smt;
extern int g_total_rxpackets;
extern int g_totlal_txpackets;

void ResumeSem(const char *caller, int line);
void ExecuteResume(void *param);
int PrepareDial(void);
int ResumeNetWork(void);
int ResumeLteNetWork(void);
int getsimcardstatus(void);
/* voice calls in progress (the call lines keep the count) */
int GetCallCount(void);
int StopGurad(void);
void CheckDataAT(void *param);

/* The multimedia notification's link stop: G_userdisconnect at once, the
 * pppd stop scheduled on the family's event thread. */
void ril_stop_link_later(int family);

/* ---- link checks ---- */
extern char s_localip[255];
/* a sysfs counter as a 64-bit number; -1 when it cannot be read */
long long ReadSysfsCounter(const char *path);
void GetRxTx(int *rx, int *tx);
void GetLteRxTx(int *rx, int *tx);
/* 1 when nothing was received since the last test (the new counts become
 * the baseline; differences are taken unsigned) */
int GetNetFlow(void);
int GetLteNetFlow(void);
int CheckDataFlow(void);
int dns_test(void);
int WCheckDataMode(void);
int TestNetWork(const char *dest);
int UDPTestNetWork(const char *dest);
int CheckNetLink(const char *name);
/* the tick of the last checker run that re-scheduled its chain */
unsigned int ril_last_check_tick(void);

/* The parked set-up token. Parking completes a token it replaces with a
 * generic failure; taking is an exchange, so a token completes once. */
void ril_park_data_token(RIL_Token t);
RIL_Token ril_take_data_token(void);
/* completes the parked token (if any) with e and the record (may be NULL) */
int ril_complete_data_token(RIL_Errno e, RIL_DataCallRecord *record);
/* the longest a parked set-up waits for its answer, in clock milliseconds */
#define RIL_DATA_TOKEN_LIMIT_MS 400000u

#ifdef __cplusplus
}
#endif

#endif
