// ril-at: talks to the RIL's AT service "ril.at" from the command line.
//
//   ril-at [--dir DIR] [--timeout MS] send "AT+CSQ"   hand a command to the module
//   ril-at [...] ping                                 is the service there?
//   ril-at [...] test [N]                             N test callbacks (default 1)
//   ril-at [...] exit                                 ask the service's process to end
//
// Exit status: 0 done, 1 usage, 2 no service, 3 permission denied,
// 4 command refused, 5 service busy (too many commands pending), 6 any
// other failure.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <mutex>
#include <string>
#include <vector>

#include <binder/Binder.h>
#include <binder/IServiceManager.h>
#include <binder/Parcel.h>
#include <ril_host_binder.h>
#include <utils/String16.h>
#include <utils/String8.h>

using namespace android;

namespace {

enum Exit { kOk = 0, kUsage = 1, kNoService = 2, kDenied = 3, kRefused = 4, kBusy = 5, kFailed = 6 };

const char *statusName(status_t st) {
    switch (st) {
        case NO_ERROR: return "ok";
        case PERMISSION_DENIED: return "permission denied";
        case BAD_VALUE: return "bad value";
        case DEAD_OBJECT: return "dead object";
        case UNKNOWN_TRANSACTION: return "unknown transaction";
        case WOULD_BLOCK: return "busy";
        case NO_INIT: return "not ready";
        case TIMED_OUT: return "timed out";
        default: return "error";
    }
}

int exitFor(status_t st) {
    switch (st) {
        case NO_ERROR: return kOk;
        case PERMISSION_DENIED: return kDenied;
        case BAD_VALUE: return kRefused;
        case WOULD_BLOCK: return kBusy;
        default: return kFailed;
    }
}

// The client's callback object: records the test callbacks it receives.
class Callback : public BBinder {
public:
    struct Call {
        bool tokenOk;
        int32_t counter;
        std::string text;
    };
    std::vector<Call> calls() {
        std::lock_guard<std::mutex> l(mLock);
        return mCalls;
    }

protected:
    status_t onTransact(uint32_t code, const Parcel &data, Parcel *reply, uint32_t flags) override {
        if (code != 1) return BBinder::onTransact(code, data, reply, flags);
        Call c;
        c.tokenOk = data.enforceInterface(String16("nrt.callback"));
        c.counter = data.readInt32();
        c.text = data.readString8().string();
        std::lock_guard<std::mutex> l(mLock);
        mCalls.push_back(c);
        return NO_ERROR;
    }

private:
    std::mutex mLock;
    std::vector<Call> mCalls;
};

void usage() {
    fprintf(stderr,
            "usage: ril-at [--dir DIR] [--timeout MS] COMMAND\n"
            "  send TEXT   hand the AT command TEXT to the module (one line, no control bytes)\n"
            "  ping        check that the service answers\n"
            "  test [N]    run the service's test callback N times (default 1)\n"
            "  exit        ask the service's process to end (the platform restarts it)\n"
            "  --dir DIR   services directory (default $RIL_BINDER_DIR)\n"
            "  --timeout MS  give up waiting for an answer after MS ms (default 30000)\n"
            "exit status: 0 done, 1 usage, 2 no service, 3 permission denied, 4 command refused,\n"
            "             5 service busy, 6 other failure\n");
}

int report(const char *what, status_t st) {
    if (st == NO_ERROR)
        printf("ril.at: %s: ok\n", what);
    else
        fprintf(stderr, "ril-at: %s: %s (%d)\n", what, statusName(st), (int)st);
    return exitFor(st);
}

}  // namespace

int main(int argc, char **argv) {
    long timeoutMs = 30000;
    int i = 1;
    for (; i < argc && strncmp(argv[i], "--", 2) == 0; i++) {
        std::string a = argv[i];
        if (a == "--dir" && i + 1 < argc) {
            setenv("RIL_BINDER_DIR", argv[++i], 1);
        } else if (a == "--timeout" && i + 1 < argc) {
            char *end = nullptr;
            timeoutMs = strtol(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0' || timeoutMs < 1) {
                usage();
                return kUsage;
            }
        } else {
            usage();
            return kUsage;
        }
    }
    if (i >= argc) {
        usage();
        return kUsage;
    }
    std::string cmd = argv[i++];
    std::vector<std::string> args(argv + i, argv + argc);
    const char *dir = getenv("RIL_BINDER_DIR");
    if (dir == nullptr || *dir == '\0') {
        fprintf(stderr, "ril-at: no services directory: set RIL_BINDER_DIR or give --dir\n");
        return kUsage;
    }
    ril_host_binder_set_reply_timeout(timeoutMs);

    bool known = (cmd == "send" && args.size() == 1) || (cmd == "ping" && args.empty()) ||
                 (cmd == "test" && args.size() <= 1) || (cmd == "exit" && args.empty());
    if (!known) {
        usage();
        return kUsage;
    }
    sp<IBinder> service = defaultServiceManager()->checkService(String16("ril.at"));
    if (service == nullptr) {
        fprintf(stderr, "ril-at: no service \"ril.at\" in %s\n", dir);
        return kNoService;
    }

    if (cmd == "ping") {
        status_t st = service->pingBinder();
        if (st != NO_ERROR) return report("ping", st);
        printf("ril.at: alive, interface \"%s\"\n", String8(service->getInterfaceDescriptor()).string());
        return kOk;
    }
    if (cmd == "exit") {
        Parcel data, reply;
        status_t st = service->transact(3, data, &reply);
        // the service's process ends without answering
        if (st == DEAD_OBJECT) {
            printf("ril.at: the service's process ended\n");
            return kOk;
        }
        if (st == NO_ERROR) {
            fprintf(stderr, "ril-at: exit: the service answered and goes on\n");
            return kFailed;
        }
        return report("exit", st);
    }
    sp<Callback> callback = new Callback();
    if (cmd == "send") {
        Parcel data, reply;
        data.writeStrongBinder(callback);
        data.writeString8(String8(args[0].c_str(), args[0].size()));
        return report("send", service->transact(5, data, &reply));
    }
    // test [N]
    long n = 1;
    if (!args.empty()) {
        char *end = nullptr;
        n = strtol(args[0].c_str(), &end, 10);
        if (end == args[0].c_str() || *end != '\0' || n < 1 || n > 1000) {
            usage();
            return kUsage;
        }
    }
    for (long k = 0; k < n; k++) {
        Parcel data, reply;
        data.writeStrongBinder(callback);
        status_t st = service->transact(4, data, &reply);
        if (st != NO_ERROR) return report("test", st);
        // the one-way callback travels ahead of the reply on the connection
        std::vector<Callback::Call> calls = callback->calls();
        if (calls.size() != (size_t)k + 1) {
            fprintf(stderr, "ril-at: test: no callback arrived\n");
            return kFailed;
        }
        const Callback::Call &c = calls.back();
        printf("callback %ld: token %s, counter %d, text \"%s\"\n", k + 1,
               c.tokenOk ? "\"nrt.callback\"" : "wrong", (int)c.counter, c.text.c_str());
        if (!c.tokenOk) return kFailed;
    }
    return kOk;
}
