// The AT pass-through service "ril.at": another process registers a
// callback binder and hands in AT command lines, which are moved to the
// daemon's event thread and sent on the AT channel through the AT filter.
// Only root, system and radio (and, on a host build, the daemon's own user)
// may use its transactions.
#include "at_service.h"

#include <stdlib.h>
#include <string.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

#include <binder/Binder.h>
#include <binder/IPCThreadState.h>
#include <binder/IServiceManager.h>
#include <binder/Parcel.h>
#include <binder/ProcessState.h>
#include <utils/String16.h>
#include <utils/String8.h>

#include "at_filter.h"
#include "at_link.h"
#include "ril_families.h"
#include "ril_log.h"

using android::BBinder;
using android::IBinder;
using android::IPCThreadState;
using android::Parcel;
using android::ProcessState;
using android::sp;
using android::status_t;
using android::String16;
using android::String8;

extern "C" {
int (*g_pexecuteat)(const char *command) = nullptr;
}

namespace {

// commands queued by ExecuteATTimer that ExecuteAT has not finished
std::atomic<int> s_pending{0};

// a command text as the log lines show it
struct Shown {
    explicit Shown(const char *command) { ril_mask_command(command, text, sizeof(text)); }
    char text[RIL_OUTSIDE_COMMAND_MAX + 8];
};

bool callerAllowed(uint32_t code) {
    IPCThreadState *ipc = IPCThreadState::self();
    uid_t uid = ipc->getCallingUid();
    pid_t pid = ipc->getCallingPid();
    // root, system and radio
    if (uid == 0 || uid == 1000 || uid == 1001) return true;
#ifdef RIL_HOST_BUILD
    // a host daemon runs under a person's own account
    if (uid == geteuid()) return true;
#endif
    RIL_LOGE("MyService: permission denied for transaction %u from uid %d pid %d", code, (int)uid, (int)pid);
    return false;
}

class MyService : public BBinder {
public:
    MyService() : mName("ril.at"), mCount(0) {}

    const String16 &getInterfaceDescriptor() const override {
        AT_LOGE("this is enter ==========getInterfaceDescriptor");
        return mName;
    }

protected:
    ~MyService() override {}

    status_t onTransact(uint32_t code, const Parcel &data, Parcel *reply, uint32_t flags) override {
        if (code >= 1 && code <= 5 && !callerAllowed(code)) return android::PERMISSION_DENIED;
        switch (code) {
            case 1:
                RILDEBUG("MyService interface 1");
                return android::NO_ERROR;
            case 2: {
                sp<IBinder> callback;
                if (data.readStrongBinder(&callback) != android::NO_ERROR) return android::BAD_VALUE;
                RILDEBUG("MyService interface 2");
                setCallback(callback);
                return android::NO_ERROR;
            }
            case 3:
                RILDEBUG("MyService interface 3, exit");
                exit(0);
            case 4: {
                sp<IBinder> callback;
                if (data.readStrongBinder(&callback) != android::NO_ERROR) return android::BAD_VALUE;
                setCallback(callback);
                if (callback != nullptr) sendTestCallback(callback);
                return android::NO_ERROR;
            }
            case 5:
                return receiveCommand(data);
            default:
                return BBinder::onTransact(code, data, reply, flags);
        }
    }

private:
    void setCallback(const sp<IBinder> &callback) {
        std::lock_guard<std::mutex> l(mLock);
        mCallback = callback;
    }

    // one-way: a client that does not read cannot hold the pool thread
    void sendTestCallback(const sp<IBinder> &callback) {
        int32_t count;
        {
            std::lock_guard<std::mutex> l(mLock);
            count = mCount++;
        }
        Parcel data;
        data.writeInterfaceToken(String16("nrt.callback"));
        data.writeInt32(count);
        data.writeString8(String8("This is a string."));
        status_t st = callback->transact(1, data, nullptr, IBinder::FLAG_ONEWAY);
        if (st != android::NO_ERROR) RILDEBUG("MyService: test callback not delivered (%d)", (int)st);
        for (int i = 0; i < 5; i++) AT_LOGE("this is for test show!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!");
    }

    status_t receiveCommand(const Parcel &data) {
        sp<IBinder> callback;
        if (data.readStrongBinder(&callback) != android::NO_ERROR) return android::BAD_VALUE;
        if (callback == nullptr) {
            setCallback(callback);
            return android::NO_ERROR;
        }
        String8 text;
        if (data.readString8(&text) != android::NO_ERROR) return android::BAD_VALUE;
        // the whole text, embedded NUL bytes included, is one command line
        if (!ril_outside_command_ok(text.string(), text.length())) {
            RIL_LOGE("MyService: refused a command of %zu bytes: a control byte or longer than %d",
                     text.length(), RIL_OUTSIDE_COMMAND_MAX);
            return android::BAD_VALUE;
        }
        setCallback(callback);
        Shown shown(text.string());
        RILDEBUG("Receive AT:%s", shown.text);
        int (*queue)(const char *) = g_pexecuteat;
        int rc = queue != nullptr ? queue(text.string()) : RIL_EXECUTE_NO_HOOK;
        switch (rc) {
            case 0: return android::NO_ERROR;
            case RIL_EXECUTE_FULL: return android::WOULD_BLOCK;
            case RIL_EXECUTE_NO_HOOK: return android::NO_INIT;
            default: return android::BAD_VALUE;
        }
    }

    const String16 mName;
    std::mutex mLock;
    sp<IBinder> mCallback;
    int32_t mCount;
};

}  // namespace

extern "C" int execatthrad(const struct RIL_Env * /*env*/, int (*queue)(const char *command)) {
    if (queue != nullptr) g_pexecuteat = queue;
    sp<android::IServiceManager> sm = android::defaultServiceManager();
    sp<MyService> service = new MyService();
    // not allowed for isolated processes
    status_t st = sm->addService(String16("ril.at"), service, false);
    RILDEBUG("execatthrad: addService ril.at returned %d", (int)st);
    ProcessState::self()->startThreadPool();
    IPCThreadState::self()->joinThreadPool();
    return 0;
}

extern "C" int ListenATCommand(void) {
    g_pexecuteat = ExecuteATTimer;
    const struct RIL_Env *env = nullptr;
    if (s_cardtype >= 0 && s_cardtype < 3 && s_arrenv[s_cardtype] != nullptr) env = *s_arrenv[s_cardtype];
    return execatthrad(env, ExecuteATTimer);
}

extern "C" int ExecuteATTimer(const char *command) {
    if (command == nullptr || !ril_outside_command_ok(command, strlen(command))) {
        RIL_LOGE("ExecuteATTimer: refused a command that is not one line");
        return RIL_EXECUTE_REFUSED;
    }
    Shown shown(command);
    RIL_TimedCallbackHook schedule = g_timecallback;
    if (schedule == nullptr) {
        RIL_LOGE("ExecuteATTimer: no timed callback yet, dropped %s", shown.text);
        return RIL_EXECUTE_NO_HOOK;
    }
    int before = s_pending.fetch_add(1);
    if (before >= RIL_EXECUTE_PENDING_MAX) {
        s_pending.fetch_sub(1);
        RIL_LOGE("ExecuteATTimer: %d commands pending, dropped %s", before, shown.text);
        return RIL_EXECUTE_FULL;
    }
    char *copy = strdup(command);
    if (copy == nullptr) {
        s_pending.fetch_sub(1);
        return RIL_EXECUTE_REFUSED;
    }
    static const struct timeval kNow = {0, 0};
    schedule(ExecuteAT, copy, &kNow);
    return 0;
}

extern "C" void ExecuteAT(void *param) {
    char *command = (char *)param;
    if (command == nullptr) return;
    Shown shown(command);
    RILDEBUG("execute at command %s", shown.text);
    if (filtercommand(command)) at_send_single_command(command);
    free(command);
    int left = s_pending.load();
    while (left > 0 && !s_pending.compare_exchange_weak(left, left - 1)) {
    }
}

extern "C" int event_atfunc(const char *command) {
    if (command == nullptr) return 0;
    if (!ril_outside_command_ok(command, strlen(command))) {
        RIL_LOGE("EVT: refused a command that is not one line");
        return -1;
    }
    Shown shown(command);
    if (filtercommand(command)) {
        RILDEBUG("exec: command: %s", shown.text);
        at_send_single_command(command);
    }
    RILDEBUG("EVT: command: %s", shown.text);
    return 0;
}

extern "C" int HasInit(void) {
    char value[PROPERTY_VALUE_MAX];
    property_get("ril.kivo.value", value, "0");
    return atoi(value);
}
