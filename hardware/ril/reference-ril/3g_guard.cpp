// The connection guard: its flags, semaphores and resume thread, the module
// preparation before a dial, the PPP and USB-interface resumes, the parked
// set-up token; and the event plug-in.
#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>
#include <semaphore.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "at_link.h"
#include "at_reply.h"
#include "ril_data.h"
#include "ril_families.h"
#include "ril_profile.h"
#include "ril_log.h"
#include "ril_network.h"
#include "usb_discovery.h"

extern "C" {
void *g_lib = nullptr;
kv_eventfunc g_peventfun = nullptr;
int g_inhotstatus = 0;
int g_inflymode = 0;
// no data call until the framework sets one up
int G_userdisconnect = 1;
int g_inprocess = 0;
int g_pppd_usersetup = 0;
int g_nnedresume = 0;
int g_insleep = 0;
int g_retrytimes = 0;
int g_datafailcount_6290 = 0;
int g_datafailcount_4g = 0;
int g_pppexitcode = 0;
unsigned int G_resumetickcount = 0;
int flag = 1;
RIL_Token g_data_token = nullptr;
int g_lte_netstatus = 0;
unsigned int g_lte_connectbegin = 0;
sem_t smt;
int g_total_rxpackets = 0;
int g_totlal_txpackets = 0;
int g_hasdatacard = 0;
unsigned int g_inittickcount = 0;
unsigned int g_new_netguard = 0;
unsigned int s_guardslot = 0;
RIL_OnRequestCompleteHook g_OnResponseComplete = nullptr;
RIL_OnUnsolicitedHook g_unsresponse = nullptr;
RIL_TimedCallbackHook g_timecallback = nullptr;
RIL_TimedCallback g_checkdatamode = nullptr;
int (*g_pgetsimstatus)(void) = nullptr;
RIL_DataCallRecord g_datacall_response;
}

static pthread_mutex_t s_checkstart_lock = PTHREAD_MUTEX_INITIALIZER;

// The guard token is a counter: each renewal makes every checker chain
// started before it stale. A chain carries its token by value, so at most
// one chain per family is ever live. 0 is never a token.
static unsigned int renewGuardToken(void) {
    unsigned int t = __atomic_add_fetch(&g_new_netguard, 1u, __ATOMIC_SEQ_CST);
    if (t == 0) t = __atomic_add_fetch(&g_new_netguard, 1u, __ATOMIC_SEQ_CST);
    return t;
}

extern "C" int SetGuradFlag(const char *caller, int line) {
    renewGuardToken();
    RILDEBUG("SetGuradFlag: %s, %d", caller ? caller : "", line);
    return 0;
}

extern "C" int StartCheckDataCheck(RIL_TimedCallback checker, const struct timeval *delay) {
    pthread_mutex_lock(&s_checkstart_lock);
    unsigned int token = renewGuardToken();
    s_guardslot = token;
    RIL_TimedCallbackHook schedule = g_timecallback;
    if (schedule != nullptr && checker != nullptr) schedule(checker, (void *)(uintptr_t)token, delay);
    pthread_mutex_unlock(&s_checkstart_lock);
    return 0;
}

static void loadEventPlugin(void) {
    static bool s_tried = false;
    if (s_tried) return;
    s_tried = true;
    char path[256];
    if (RIL_SYSPATH("/system/lib/libkvplugin.so", path) == nullptr) return;
    g_lib = dlopen(path, RTLD_NOW);
    if (g_lib == nullptr) return;  // no plug-in: silent
    RILDEBUG("EVT: load plutin succ");
    g_peventfun = (kv_eventfunc)dlsym(g_lib, "kv_eventfun");
    if (g_peventfun == nullptr) {
        RILDEBUG("EVT: find event function fail");
        dlclose(g_lib);
        g_lib = nullptr;
    }
}

extern "C" void kv_raise_event(int event, void *arg) {
    kv_eventfunc fn = g_peventfun;
    if (fn != nullptr) fn(event_atfunc, event, arg);
}

static void *pthread_func(void *) { return nullptr; }

extern "C" void *ResumeNetWorkThread(void *);

extern "C" int PrepareSem(void) {
    static pthread_once_t once = PTHREAD_ONCE_INIT;
    pthread_once(&once, [] {
        sem_init(&smt, 0, 0);
        if (sem_init(&g_smt_pppexit, 0, 0) != 0) RILDEBUG("%s", "Dog >> semaphore initialization failed");
        ril_start_detached(ResumeNetWorkThread, nullptr);
        ril_start_detached(pthread_func, nullptr);
    });
    char value[PROPERTY_VALUE_MAX];
    property_get("ril.debug", value, "1");
    g_debugmode = atoi(value);
    loadEventPlugin();
    g_datacall_response.cid = 1;
    g_datacall_response.type = (char *)"IP";
    g_datacall_response.active = 2;
    return 0;
}

/* ---- the parked set-up token ---- */

namespace {

pthread_mutex_t s_token_lock = PTHREAD_MUTEX_INITIALIZER;
unsigned long s_park_seq = 0;  // one number per parking, for the deadline
RIL_DataCallRecord s_failrecord;

void completeToken(RIL_Token t, RIL_Errno e, RIL_DataCallRecord *record) {
    RIL_OnRequestCompleteHook done = g_OnResponseComplete;
    if (t == nullptr || done == nullptr) return;
    if (record != nullptr)
        done(t, e, record, sizeof(*record));
    else
        done(t, e, nullptr, 0);
}

// a parked set-up that waited too long completes with an error
void dataTokenDeadline(void *param) {
    unsigned long seq = (unsigned long)(uintptr_t)param;
    RIL_Token t = nullptr;
    pthread_mutex_lock(&s_token_lock);
    if (seq == s_park_seq && g_data_token != nullptr) {
        t = g_data_token;
        g_data_token = nullptr;
    }
    pthread_mutex_unlock(&s_token_lock);
    if (t == nullptr) return;
    RILDEBUG("%s", "parked data call set-up timed out");
    s_failrecord = g_datacall_response;
    s_failrecord.status = 0;
    s_failrecord.suggestedRetryTime = 99;
    completeToken(t, RIL_E_GENERIC_FAILURE, &s_failrecord);
}

}  // namespace

extern "C" void ril_park_data_token(RIL_Token t) {
    pthread_mutex_lock(&s_token_lock);
    RIL_Token old = g_data_token;
    g_data_token = t;
    unsigned long seq = ++s_park_seq;
    g_retrytimes = 0;
    pthread_mutex_unlock(&s_token_lock);
    if (old != nullptr) {
        RILDEBUG("%s", "a new data call set-up replaces the parked one");
        completeToken(old, RIL_E_GENERIC_FAILURE, nullptr);
    }
    RIL_TimedCallbackHook schedule = g_timecallback;
    if (t != nullptr && schedule != nullptr) {
        struct timeval tv = {(time_t)(RIL_DATA_TOKEN_LIMIT_MS / 1000), 0};
        schedule(dataTokenDeadline, (void *)(uintptr_t)seq, &tv);
    }
}

extern "C" RIL_Token ril_take_data_token(void) {
    pthread_mutex_lock(&s_token_lock);
    RIL_Token t = g_data_token;
    g_data_token = nullptr;
    pthread_mutex_unlock(&s_token_lock);
    return t;
}

extern "C" int ril_complete_data_token(RIL_Errno e, RIL_DataCallRecord *record) {
    if (g_OnResponseComplete == nullptr) return 0;
    RIL_Token t = ril_take_data_token();
    if (t == nullptr) return 0;
    completeToken(t, e, record);
    return 1;
}

static int parkedToken(void) {
    pthread_mutex_lock(&s_token_lock);
    int parked = g_data_token != nullptr;
    pthread_mutex_unlock(&s_token_lock);
    return parked;
}

/* ---- the resume ---- */

static pthread_mutex_t s_resume_lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_mutex_t s_mutex_guard = PTHREAD_MUTEX_INITIALIZER;

// calls in progress: the call lines own the count; without them, G_incall
extern "C" __attribute__((weak)) int GetCallCount(void) { return G_incall ? 1 : 0; }

extern "C" int StopGurad(void) {
    pthread_mutex_lock(&s_mutex_guard);
    flag = 0;
    pthread_mutex_unlock(&s_mutex_guard);
    return 0;
}

static void scheduleResume(time_t sec, suseconds_t usec) {
    RIL_TimedCallbackHook schedule = g_timecallback;
    if (schedule == nullptr) return;
    struct timeval tv = {sec, usec};
    schedule(ExecuteResume, nullptr, &tv);
}

// A module busy with a voice call: the resume waits for the call to end
// (checked every 6.5 s, by the call flag first and then by the module's
// call list), so a parked set-up is never left waiting for ever.
static void resumeAfterCall(void *) {
    if (G_userdisconnect && !parkedToken()) return;
    if (G_incall || GetCallCount() > 0) {
        RIL_TimedCallbackHook schedule = g_timecallback;
        struct timeval tv = {6, 500};
        if (schedule != nullptr) schedule(resumeAfterCall, nullptr, &tv);
        return;
    }
    ExecuteResume(nullptr);
}

static void scheduleAfterCall(void) {
    RIL_TimedCallbackHook schedule = g_timecallback;
    if (schedule == nullptr) return;
    struct timeval tv = {6, 500};
    schedule(resumeAfterCall, nullptr, &tv);
}

extern "C" void ExecuteResume(void *) {
    ResumeSem("ExecuteResume", __LINE__);
    g_insleep = 0;
}

extern "C" void ResumeSem(const char *caller, int line) {
    if (g_inprocess == 1) {
        RILDEBUG("%s", "==============>> Resume Busy now <<===========");
        return;
    }
    RILDEBUG("ResumeSem: %s, %d", caller ? caller : "", line);
    if (G_userdisconnect) {
        // nothing to resume for: a parked set-up ends here
        ril_complete_data_token(RIL_E_GENERIC_FAILURE, nullptr);
        return;
    }
#if RIL_VERSION >= 15
    getservicestatus();
    if (g_use_hasdataservice) {
        PrepareDial();
        return;
    }
    scheduleResume(3, 0);
#else
    // the legacy build prepares at once, registered or not
    PrepareDial();
#endif
}

static int sendOk(const char *cmd) {
    AtReply *r = nullptr;
    int err = at_send_command(cmd, &r);
    int ok = err >= 0 && r != nullptr && r->success;
    at_response_free(r);
    return ok;
}

// "at^gpspsword=..." with the bare user name and password (checked by the
// set-up handlers: no quotes or control characters)
static void sendGpsPassword(void) {
    char cmd[2 * RIL_PPP_TEXT_MAX + 32];
    snprintf(cmd, sizeof(cmd), "at^gpspsword=\"%s\", \"%s\"", g_pppduser_only, g_pppdwd_only);
    sendOk(cmd);
}

// the context for cid 1; the legacy build defines cid 3 the same way first
static void sendContext(const char *apn) {
    char cmd[RIL_PPP_TEXT_MAX + 48];
#if RIL_VERSION < 15
    snprintf(cmd, sizeof(cmd), "AT+CGDCONT=3,\"%s\",\"%s\",,0,0", "IP", apn);
    sendOk(cmd);
#endif
    snprintf(cmd, sizeof(cmd), "AT+CGDCONT=1,\"%s\",\"%s\",,0,0", "IP", apn);
    sendOk(cmd);
}

// 1 when the module says it is busy; 0 when not or the reply did not parse
static int moduleBusy(int *delivered) {
    AtReply *r = nullptr;
    int err = at_send_command_singleline("AT^KVISBUSY=?", "^KVISBUSY:", &r);
    *delivered = err >= 0 && r != nullptr && r->success;
    int busy = 0;
    if (*delivered && r->p_intermediates != nullptr) {
        char *p = r->p_intermediates->line;
        int v = 0;
        if (at_tok_start(&p) >= 0 && at_tok_nextint(&p, &v) >= 0) busy = v != 0;
    }
    at_response_free(r);
    return busy;
}

extern "C" int PrepareDial(void) {
    pthread_mutex_lock(&s_resume_lock);
    SetGuradFlag("PrepareDial", __LINE__);
    g_inprocess = 1;
    if (s_cardtype != RIL_FAMILY_CDMA && g_use_rndis) {
        sendOk("AT+CONN=0, ?");
        sendOk("AT+CONN=0, 0");
        sendContext(g_apn);
        sendOk("AT+CONN=0, 1");
        g_lte_netstatus = 1;
        g_lte_connectbegin = GetTickCount();
        if (g_timecallback != nullptr) {
            struct timeval tv = {5, 800};
            g_timecallback(CheckDataAT, nullptr, &tv);
        }
    } else if (s_cardtype != RIL_FAMILY_CDMA) {
        for (int attempt = 1; attempt <= 6; attempt++) {
            int delivered = 0;
            if (moduleBusy(&delivered)) {
                g_inprocess = 0;
                if (GetCallCount() <= 0)
                    scheduleResume(6, 500);
                else
                    scheduleAfterCall();
                pthread_mutex_unlock(&s_resume_lock);
                return 0;
            }
            if (is_cdma) break;
            // the legacy build drops the context instead of the module's data
            if (sendOk(RIL_VERSION >= 15 ? "AT^DATADOWN" : "AT+CGACT=0, 1") && delivered) break;
            if (ril_module_profile()->dialPrepOnce || attempt == 6) break;
            sleepMsec(1000);
        }
        RILDEBUG("%s", "DOG >> check if it is a 6290");
        if (RIL_VERSION >= 15) sendOk("AT+CRM=0");
        sendGpsPassword();
        if (is_cdma == 1) {
            sendContext("");
            sendOk("AT+CRM=0");
            sendOk("at^gpspsword?");
            sendGpsPassword();
        } else {
            sendContext(g_apn);
        }
    } else {
        if (g_hasdatacard && g_pgetsimstatus != nullptr && getsimcardstatus() != 2) {
            ResetModule(__FILE__, __LINE__, 1);
            exit(0);
        }
        sendOk("ATH");
        sendGpsPassword();
    }
    sem_post(&smt);
    RILDEBUG("%s", "----------->>   end resume sem <<------------");
    pthread_mutex_unlock(&s_resume_lock);
    return 0;
}

extern "C" int getsimcardstatus(void) {
    AtReply *r = nullptr;
    int err = at_send_command_singleline("AT+CPIN?", "+CPIN:", &r);
    int status = 0;
    if (err >= 0 && r != nullptr && r->success && r->p_intermediates != nullptr) {
        char *p = r->p_intermediates->line;
        char *v = nullptr;
        if (at_tok_start(&p) >= 0 && at_tok_nextstr(&p, &v) >= 0 && strcmp(v, "READY") == 0) status = 2;
    }
    at_response_free(r);
    return status;
}

extern "C" void *ResumeNetWorkThread(void *) {
    for (;;) {
        while (sem_wait(&smt) != 0 && errno == EINTR) {
        }
        RILDEBUG("%s", "ResumeNetWorkThread: resume");
        g_inprocess = 1;
        sem_trywait(&smt);  // two requests make one resume
        if (s_detected_cardtype == RIL_FAMILY_LTE || s_cardtype == RIL_FAMILY_LTE) {
            if (g_use_rndis) {
                ResumeLteNetWork();
            } else {
                sleepMsec(2000);
                ResumeNetWork();
            }
        } else {
            ResumeNetWork();
        }
        g_inprocess = 0;
    }
    return nullptr;
}

namespace {

// address-less resumes retried before the parked set-up fails
constexpr int kAddresslessResumes = RIL_VERSION >= 15 ? 5 : 3;

// the text fields of the record live here between completions
char s_addr[92];
char s_dns[2 * PROPERTY_VALUE_MAX + 2];
char s_ifname[16];

void cycleRadio(long gapMs) {
    sendOk("AT+CFUN=0");
    sleepMsec(gapMs);
    sendOk("AT+CFUN=1");
}

const char *dialString(void) {
    switch (s_cardtype) {
        case RIL_FAMILY_WCDMA: return RIL_VERSION >= 15 ? "ATDT*99***1#" : "ATD*99***1#";
        case RIL_FAMILY_LTE: return "ATD*99***1#";
        default: return "ATDT#777";
    }
}

// the link is up once pppd's ip-up has published the local address and
// the interface carries one
bool linkUp(void) {
    char value[PROPERTY_VALUE_MAX];
    property_get("net.ppp0.local-ip", value, "");
    if (value[0] == '\0') return false;
    return GetLocalIP() != nullptr;
}

// the DNS servers of the link, with the replacement of known bad ones
void readDns(void) {
    char d1[PROPERTY_VALUE_MAX], d2[PROPERTY_VALUE_MAX];
    property_get("net.ppp0.dns2", d2, "");
    if (strcmp(d2, "10.11.12.13") == 0 || strcmp(d2, "10.11.12.14") == 0) {
        RILDEBUG("%s", " wrong dns handler ");
        property_set("net.ppp0.dns1", "114.114.114.114");
        property_set("net.dns1", "114.114.114.114");
        property_set("net.ppp0.dns2", "114.114.115.115");
        property_set("net.dns2", "114.114.115.115");
    }
    property_get("net.ppp0.dns1", d1, "");
    property_get("net.ppp0.dns2", d2, "");
    if (d1[0] != '\0' && d2[0] != '\0')
        snprintf(s_dns, sizeof(s_dns), "%s %s", d1, d2);
    else
        snprintf(s_dns, sizeof(s_dns), "%s", d1[0] != '\0' ? d1 : d2);
}

void fillRecord(int retry, const char *ifname, const char *addr, bool withDns) {
    snprintf(s_ifname, sizeof(s_ifname), "%s", ifname);
    g_datacall_response.status = 0;
    g_datacall_response.suggestedRetryTime = retry;
    g_datacall_response.ifname = s_ifname;
    if (addr != nullptr) {
        snprintf(s_addr, sizeof(s_addr), "%s", addr);
        g_datacall_response.addresses = s_addr;
        g_datacall_response.active = 2;  // up again after a link marked dead
    } else {
        g_datacall_response.addresses = nullptr;
    }
    g_datacall_response.dnses = withDns ? s_dns : nullptr;
    g_datacall_response.gateways = g_getway_ip;
#if RIL_VERSION >= 15
    if (g_datacall_response.pcscf == nullptr) g_datacall_response.pcscf = (char *)"";
#endif
}

void startChecker(const struct timeval *tv) {
    RILDEBUG("3G_GUARD: start check data resume:%d", (int)tv->tv_sec);
    StartCheckDataCheck(g_checkdatamode, tv);
}

}  // namespace

extern "C" int ResumeNetWork(void) {
    // the count of address-less resumes runs across resumes: it starts with
    // each set-up and ends with an address
    GetPPPServiceName();
    s_localip[0] = '\0';
    char *addr = nullptr;
    if (G_incall || G_userdisconnect) {
        RILDEBUG("go error%s %d", "ResumeNetWork", __LINE__);
    } else {
        StopPPPD("ResumeNetWork", 0);
        g_nnedresume = 0;
        memset(g_getway_ip, 0, sizeof(g_getway_ip));
        g_total_rxpackets = g_totlal_txpackets = 0;
        property_set("net.ppp0.local-ip", "");
        if (!g_deviceexist) {
            RILDEBUG("go error%s %d", "ResumeNetWork", __LINE__);
        } else if (!g_use_hasdataservice) {
            RILDEBUG("go error%s %d", "ResumeNetWork", __LINE__);
        } else if (G_userdisconnect == 0) {
            if (s_cardtype == RIL_FAMILY_CDMA || is_cdma == 1)
                WriteConfigScript();
            else
                BuildPppdCommand(ril_dial_selector());
            SetGuradFlag("ResumeNetWork", __LINE__);
            int r = dial_ppp_modem(dialString());
            if (r != 0) {
                RILDEBUG("goto error:%d!", r);
                if (ril_module_profile()->radioCycleOnDialFailures && ++g_datafailcount_6290 > 3 && !G_incall) {
                    g_datafailcount_6290 = 0;
                    cycleRadio(1000);
                }
            } else {
                g_datafailcount_6290 = 0;
                RILDEBUG("%s", "---------------stat pppd-------------------------");
                start_pppthread();
                G_resumetickcount = GetTickCount();
                unsigned int start = GetTickCount();
                for (;;) {
                    sleepMsec(1000);
                    if (G_userdisconnect) break;
                    if (linkUp()) {
                        addr = s_ipbuffer;
                        RILDEBUG("local ip %s", addr);
                        GetDefGateWay(g_getway_ip);
                        break;
                    }
                    unsigned int t = GetTickCount() - start;
                    if (t <= 15000u) continue;
                    if (pppexist() == 1) {
                        g_pppexitcode = 1;
                        property_set("net.gprs.ppp-exit", "");
                        RILDEBUG("%s", "Dog >> PPPD not started");
                        break;
                    }
                    if (t <= 30000u) continue;
                    if (linkUp()) {
                        addr = s_ipbuffer;
                        GetDefGateWay(g_getway_ip);
                        g_datafailcount_4g = 0;
                        break;
                    }
                    RILDEBUG("%s", "Dog >> PPPD NO IP");
                    if (++g_datafailcount_4g > 3 && !G_incall) {
                        g_datafailcount_4g = 0;
                        RILDEBUG("%s", "Dog >> PPPD NO IP > 3");
                        cycleRadio(2000);
                        break;
                    }
                    g_pppexitcode = 1;
                    property_set("net.gprs.ppp-exit", "");
                    RILDEBUG("Dog >> wait bigger%d seconds", (int)(t / 1000));
                    StopPPPD("wait bigger than 25 * 1000 now ", 0);
                }
            }
        }
    }

    RILDEBUG("G_userdisconnect:%d, try:%d", G_userdisconnect, g_retrytimes);
    if (G_userdisconnect) {
        StopPPPD("pppd disconnect after dial", 0);
        fillRecord(99, "ppp0", nullptr, false);
        ril_complete_data_token(RIL_E_GENERIC_FAILURE, &g_datacall_response);
        return 1;
    }
    if (addr != nullptr) {
        s_lastgoodvariant = s_dialvariant;
        RILDEBUG("%s", " dial successfully");
        readDns();
        fillRecord(-1, "ppp0", addr, true);
        if (g_OnResponseComplete != nullptr && parkedToken()) {
            g_pppd_usersetup = 1;
            start_pingthread();
            ril_complete_data_token(RIL_E_SUCCESS, &g_datacall_response);
        }
        g_retrytimes = 0;
    } else {
        RILDEBUG("%s", "NULL IP");
        g_retrytimes++;
        if (!parkedToken()) {
            RILDEBUG("%s", "time 5 s");
        } else if (g_OnResponseComplete != nullptr) {
            fillRecord(0, "ppp0", nullptr, false);
            if (g_retrytimes <= kAddresslessResumes) {
                scheduleResume(3, 0);
                return 0;
            }
            RILDEBUG("%s", RIL_VERSION >= 15 ? "g_retrytimes > 5" : "g_retrytimes > 3");
            ril_complete_data_token(RIL_E_GENERIC_FAILURE, &g_datacall_response);
            RILDEBUG("%s", "unresponse data list changed");
            if (g_unsresponse != nullptr) g_unsresponse(RIL_UNSOL_DATA_CALL_LIST_CHANGED, nullptr, 0);
            g_retrytimes = 0;
            return 1;
        }
    }
    struct timeval tv = {10, 0};
    startChecker(&tv);
    return 1;
}

static int runNetcfg(const char *ifname, const char *op) {
    const char *argv[] = {"netcfg", ifname, op, nullptr};
    return ril_run_program(argv);
}

extern "C" int ResumeLteNetWork(void) {
    RILDEBUG("%s", "ResumeLteNetWork");
    while (g_lte_netstatus <= 1 && !G_userdisconnect) sleepMsec(200);
    RILDEBUG("connect result %d", g_lte_netstatus);
    const char *ifname = "usb0";
    if (g_lte_netstatus == 2) {
        char probe[92];
        if (get_face_addr("eth0", probe) == 0) ifname = "eth0";
        runNetcfg(ifname, "up");
        runNetcfg(ifname, "dhcp");
    } else {
        runNetcfg("eth0", "down");
        runNetcfg("usb0", "down");
    }
    if (G_userdisconnect) {
        fillRecord(99, ifname, nullptr, false);
        ril_complete_data_token(RIL_E_GENERIC_FAILURE, &g_datacall_response);
        return 0;
    }
    struct timeval tv = {15, 0};
    char *addr = GetDeviceIP(ifname);
    if (addr != nullptr) {
        RILDEBUG("%s", " dial successfully");
        readDns();
        fillRecord(-1, ifname, addr, true);
        if (g_OnResponseComplete != nullptr && parkedToken()) {
            g_pppd_usersetup = 1;
            ril_complete_data_token(RIL_E_SUCCESS, &g_datacall_response);
        }
        start_pingthread();
        g_retrytimes = 0;
    } else {
        RILDEBUG("NULL IP device:%s", ifname);
        g_retrytimes++;
        tv.tv_sec = 3;
        if (g_OnResponseComplete != nullptr && parkedToken()) {
            fillRecord(2, ifname, nullptr, false);
            if (g_retrytimes <= 3) {
                sleepMsec(2000);
                g_inprocess = 0;
                ResumeSem("fail retry", __LINE__);
            } else {
                RILDEBUG("%s", "g_retrytimes > 3");
                ril_complete_data_token(RIL_E_GENERIC_FAILURE, &g_datacall_response);
                if (g_unsresponse != nullptr) g_unsresponse(RIL_UNSOL_DATA_CALL_LIST_CHANGED, nullptr, 0);
                g_retrytimes = 0;
            }
            return 0;
        }
        RILDEBUG("%s", "time 5 s");
        tv.tv_sec = 5;
    }
    startChecker(&tv);
    return 1;
}

extern "C" void CheckDataAT(void *) {
    AtReply *r = nullptr;
    int err = at_send_command_singleline("AT+CONN=0,?", "+CONN:", &r);
    int mode = -1;
    if (err >= 0 && r != nullptr && r->success && r->p_intermediates != nullptr) {
        char *p = r->p_intermediates->line;
        if (at_tok_start(&p) >= 0 && at_tok_nextint(&p, &mode) >= 0) {
            if (mode == 2) {
                g_lte_netstatus = 2;
            } else if (GetTickCount() - g_lte_connectbegin > 30000u) {
                sendOk("AT+CONN=0, 0");
                g_lte_netstatus = 3;
            }
        }
    }
    at_response_free(r);
    RILDEBUG("Dog >> datamode:%d", mode);
    if (g_lte_netstatus <= 1 && g_timecallback != nullptr) {
        struct timeval tv = {5, 800};
        g_timecallback(CheckDataAT, nullptr, &tv);
    }
}
