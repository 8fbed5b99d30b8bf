// host-rild: a stand-in for the platform's RIL daemon on a Linux host.
// Loads a RIL library build, calls RIL_Init with its own RIL_Env, runs one
// request thread and one event thread for timed callbacks, and shows every
// completion and notification, decoded, on a console or as JSON lines.
#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <readline/history.h>
#include <readline/readline.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <queue>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include <cutils/properties.h>
#include <ril_host.h>
#include <ril_host_binder.h>

#include "dry_run.h"
#include "data_codec.h"
#include "request_codec.h"
#include "ril_interface.h"

using nlohmann::json;
using namespace hostril;

namespace {

struct Options {
    std::string library;
    bool json = false;
    bool supervise = false;
    bool exitOnEof = false;
    bool dryRun = false;
    bool atService = false;  // start the library's "ril.at" service after RIL_Init
    std::string script;
    std::vector<std::string> libArgs;
};

// Everything lives for the life of the process and is never destroyed: the
// library may end the process with exit() from any of its threads.
struct Daemon {
    Options opt;
    const RIL_RadioFunctions *funcs = nullptr;
    int *cardtype = nullptr;  // the library's s_cardtype, when exported

    std::mutex outLock;

    // requests
    std::mutex reqLock;
    std::condition_variable reqCond;
    struct Pending {
        int code;
        long token;
        RequestData *data;
    };
    std::deque<Pending> requestQueue;
    std::map<long, int> issued;  // token -> request code, until completed
    // tokens whose completion is being printed: still pending for "idle" and
    // --exit-on-eof until their answer is out
    std::map<long, int> completing;
    // token -> when onRequest was called, for the responses' "latency_us"
    std::map<long, std::chrono::steady_clock::time_point> started;
    long nextToken = 1;

    // timed callbacks
    struct Timed {
        std::chrono::steady_clock::time_point due;
        unsigned long seq;
        RIL_TimedCallback cb;
        void *param;
        bool operator>(const Timed &o) const { return due != o.due ? due > o.due : seq > o.seq; }
    };
    std::mutex evLock;
    std::condition_variable evCond;
    std::priority_queue<Timed, std::vector<Timed>, std::greater<Timed>> events;
    unsigned long evSeq = 0;
};

Daemon *g_daemon = nullptr;
volatile int *g_quitFlag = nullptr;  // shared with the supervisor

int activeFamily() { return g_daemon->cardtype != nullptr ? *g_daemon->cardtype : -1; }

const char *radioStateName(int s) {
    static const char *names[] = {"OFF", "UNAVAILABLE", "SIM_NOT_READY", "SIM_LOCKED_OR_ABSENT", "SIM_READY",
                                  "RUIM_NOT_READY", "RUIM_READY", "RUIM_LOCKED_OR_ABSENT", "NV_NOT_READY",
                                  "NV_READY", "ON"};
    return (s >= 0 && s <= 10) ? names[s] : "?";
}

void emit(const json &j) {
    std::lock_guard<std::mutex> lock(g_daemon->outLock);
    if (g_daemon->opt.json) {
        std::cout << j.dump(-1, ' ', false, json::error_handler_t::replace) << std::endl;
        return;
    }
    const std::string type = j.value("type", "");
    if (type == "response") {
        std::cout << "< " << j["request"].get<std::string>() << " (" << j["code"] << ") token=" << j["token"]
                  << " error=" << errnoName(j["error"].get<int>()) << "(" << j["error"] << ")";
        if (j.value("via", "") == "daemon-library") std::cout << " via RIL_onRequestComplete";
        std::cout << "\n";
        std::cout << renderHuman(j["data"], 4);
    } else if (type == "unsol") {
        std::cout << "<< " << j["name"].get<std::string>() << " (" << j["code"] << ")";
        if (j.contains("radio_state")) std::cout << ": radio state now RADIO_STATE_" << radioStateName(j["radio_state"]);
        if (j.value("via", "") == "daemon-library") std::cout << " via RIL_onUnsolicitedResponse";
        std::cout << "\n";
        std::cout << renderHuman(j["data"], 4);
    } else if (type == "error") {
        std::cout << "! " << j["message"].get<std::string>() << "\n";
    } else if (type == "init") {
        std::cout << "library up: version " << j["version"] << ", family " << j["family"] << " ("
                  << j["getVersion"].get<std::string>() << ")\n";
    } else if (type == "queued") {
        std::cout << "> " << j["request"].get<std::string>() << " (" << j["code"] << ") token=" << j["token"] << "\n";
    } else if (type == "help") {
        std::cout << j["text"].get<std::string>();
    } else if (type == "list") {
        for (const json &r : j["requests"])
            std::cout << r["code"] << " " << r["name"].get<std::string>() << " " << r["arguments"].get<std::string>()
                      << "\n";
    } else if (type == "usage") {
        std::cout << j["request"].get<std::string>() << " " << j["arguments"].get<std::string>() << "\n";
    } else if (type == "state") {
        std::cout << "radio state RADIO_STATE_" << radioStateName(j["radio_state"]) << " (" << j["radio_state"]
                  << ")\n";
    } else if (type == "version") {
        std::cout << "version: " << j["text"].get<std::string>() << "\n";
    } else if (type == "idle") {
        std::cout << "idle: every request has completed\n";
    } else {
        // a message without a console form: its fields, never raw JSON
        std::cout << type << "\n" << renderHuman(j, 4);
    }
    std::cout.flush();
}

void emitError(const std::string &message) { emit({{"type", "error"}, {"message", message}}); }

/* ---- RIL_Env ---- */

// "daemon-library": the library called RIL_onRequestComplete or
// RIL_onUnsolicitedResponse of the daemon library; "env": its RIL_Env
const char *completionPath() { return ril_host_in_daemon_export() ? "daemon-library" : "env"; }

void onRequestComplete(RIL_Token t, RIL_Errno e, void *response, size_t responselen) {
    auto completedAt = std::chrono::steady_clock::now();
    long token = (long)(intptr_t)t;
    int code = -1;
    bool known = false;
    long long latencyUs = -1;
    {
        std::lock_guard<std::mutex> lock(g_daemon->reqLock);
        auto it = g_daemon->issued.find(token);
        if (it != g_daemon->issued.end()) {
            known = true;
            code = it->second;
            g_daemon->completing[token] = code;
            g_daemon->issued.erase(it);
        }
        auto st = g_daemon->started.find(token);
        if (st != g_daemon->started.end()) {
            latencyUs = std::chrono::duration_cast<std::chrono::microseconds>(completedAt - st->second).count();
            g_daemon->started.erase(st);
        }
    }
    if (!known) {
        emitError("completion for unknown or already completed token " + std::to_string(token));
        return;
    }
    // decoding copies the data before we return, as the platform does
    json data = decodeResponse(code, activeFamily(), response, responselen);
    emit({{"type", "response"},
          {"request", requestName(code)},
          {"code", code},
          {"token", token},
          {"error", (int)e},
          {"error_name", errnoName((int)e)},
          {"data", data},
          {"length", (long)responselen},
          {"via", completionPath()},
          {"latency_us", latencyUs}});
    // only now is the request no longer pending: "idle" and the end of input
    // wait for this answer to be out
    std::lock_guard<std::mutex> lock(g_daemon->reqLock);
    g_daemon->completing.erase(token);
    g_daemon->reqCond.notify_all();
}

void onUnsolicitedResponse(int code, const void *data, size_t datalen) {
    json msg = {{"type", "unsol"},
                {"code", code},
                {"name", unsolName(code)},
                {"data", decodeUnsol(code, data, datalen)},
                {"via", completionPath()}};
    // as the platform daemon does, ask for the new state on a state change
    if (code == RIL_UNSOL_RESPONSE_RADIO_STATE_CHANGED && g_daemon->funcs != nullptr)
        msg["radio_state"] = (int)g_daemon->funcs->onStateRequest();
    emit(msg);
}

void *requestTimedCallback(RIL_TimedCallback cb, void *param, const struct timeval *relativeTime) {
    auto delay = std::chrono::microseconds(0);
    if (relativeTime != nullptr) {
        long long us = (long long)relativeTime->tv_sec * 1000000LL + relativeTime->tv_usec;
        if (us < 0) us = 0;
        delay = std::chrono::microseconds(us / ril_host_time_scale());
    }
    std::lock_guard<std::mutex> lock(g_daemon->evLock);
    g_daemon->events.push({std::chrono::steady_clock::now() + delay, g_daemon->evSeq++, cb, param});
    g_daemon->evCond.notify_all();
    return (void *)(uintptr_t)g_daemon->evSeq;
}

void onRequestAck(RIL_Token) {}

const struct RIL_Env s_env = {onRequestComplete, onUnsolicitedResponse, requestTimedCallback, onRequestAck};

/* ---- threads ---- */

void eventThread() {
    std::unique_lock<std::mutex> lock(g_daemon->evLock);
    for (;;) {
        if (g_daemon->events.empty()) {
            g_daemon->evCond.wait(lock);
            continue;
        }
        auto due = g_daemon->events.top().due;
        if (std::chrono::steady_clock::now() < due) {
            g_daemon->evCond.wait_until(lock, due);
            continue;
        }
        Daemon::Timed t = g_daemon->events.top();
        g_daemon->events.pop();
        lock.unlock();
        t.cb(t.param);
        lock.lock();
    }
}

void requestThread() {
    for (;;) {
        Daemon::Pending p;
        {
            std::unique_lock<std::mutex> lock(g_daemon->reqLock);
            g_daemon->reqCond.wait(lock, [] { return !g_daemon->requestQueue.empty(); });
            p = g_daemon->requestQueue.front();
            g_daemon->requestQueue.pop_front();
        }
        {
            std::lock_guard<std::mutex> lock(g_daemon->reqLock);
            g_daemon->started[p.token] = std::chrono::steady_clock::now();
        }
        g_daemon->funcs->onRequest(p.code, p.data->data(), p.data->length(), (RIL_Token)(intptr_t)p.token);
        // the handler may still hold pointers into the data only while it runs
        delete p.data;
    }
}

/* ---- console ---- */

const char kHelp[] =
    "Requests: the platform name (RIL_REQUEST_DIAL 10086), without the prefix\n"
    "(DIAL 10086, dial 10086) or an alias: sim pin puk calls dial imsi hangup signal\n"
    "reg datareg op radio sms ussd imei answer baseband screen identity data datalist deactivate.\n"
    "data APN [user [password]] sets up a data call; deactivate tears it down.\n"
    "Strings with blanks go in double quotes; null passes a null string.\n"
    "Other commands: help, list, usage <request>, state, version, wait <ms>, quit.\n";

void printHelp() { emit({{"type", "help"}, {"text", kHelp}}); }

void waitForIdle() {
    std::unique_lock<std::mutex> lock(g_daemon->reqLock);
    g_daemon->reqCond.wait(lock, [] {
        return g_daemon->requestQueue.empty() && g_daemon->issued.empty() && g_daemon->completing.empty();
    });
}

// Returns false when the daemon should quit.
bool handleLine(const std::string &line) {
    std::vector<Arg> words;
    std::string error;
    if (!splitLine(line, words, error)) {
        emitError(error);
        return true;
    }
    if (words.empty() || words[0].text[0] == '#') return true;
    const std::string cmd = words[0].text;
    std::vector<Arg> args(words.begin() + 1, words.end());

    if (cmd == "quit" || cmd == "exit") return false;
    if (cmd == "help") {
        printHelp();
        return true;
    }
    if (cmd == "list") {
        json requests = json::array();
        for (int c = 1; c <= RIL_REQUEST_LAST_; c++)
            requests.push_back({{"code", c}, {"name", requestName(c)}, {"arguments", requestUsage(c)}});
        emit({{"type", "list"}, {"requests", requests}});
        return true;
    }
    if (cmd == "usage") {
        int code = args.empty() ? -1 : requestCodeFromName(args[0].text);
        if (code < 0)
            emitError("usage: usage <request>");
        else
            emit({{"type", "usage"}, {"request", requestName(code)}, {"code", code}, {"arguments", requestUsage(code)}});
        return true;
    }
    if (cmd == "state") {
        emit({{"type", "state"}, {"radio_state", (int)g_daemon->funcs->onStateRequest()}});
        return true;
    }
    if (cmd == "version") {
        const char *v = g_daemon->funcs->getVersion ? g_daemon->funcs->getVersion() : nullptr;
        emit({{"type", "version"}, {"text", v ? v : ""}});
        return true;
    }
    if (cmd == "wait") {
        int ms = 0;
        if (args.size() != 1 || sscanf(args[0].text.c_str(), "%d", &ms) != 1 || ms < 0) {
            emitError("usage: wait <milliseconds>");
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return true;
    }
    if (cmd == "idle") {
        waitForIdle();
        emit({{"type", "idle"}});
        return true;
    }

    int code = requestCodeFromName(cmd);
    if (code < 0) {
        // a bare number is a request code too
        char *end = nullptr;
        long v = strtol(cmd.c_str(), &end, 10);
        if (end != cmd.c_str() && *end == '\0' && v >= INT_MIN && v <= INT_MAX) code = (int)v;
    }
    if (code == -1 && !(cmd == "-1")) {
        emitError("unknown request \"" + cmd + "\" (type help)");
        return true;
    }
    expandDataShortcut(cmd, args);
    RequestData *data = new RequestData();
    if (!encodeRequest(code, args, *data, error)) {
        delete data;
        emitError(error);
        return true;
    }
    std::lock_guard<std::mutex> lock(g_daemon->reqLock);
    long token = g_daemon->nextToken++;
    g_daemon->issued[token] = code;
    g_daemon->requestQueue.push_back({code, token, data});
    g_daemon->reqCond.notify_all();
    // emitted before the request thread can complete it: outLock is taken
    // inside reqLock only here, and completions take them one at a time
    emit({{"type", "queued"}, {"request", requestName(code)}, {"code", code}, {"token", token}});
    return true;
}

void quit(int status) {
    if (g_quitFlag != nullptr) *g_quitFlag = 1;
    std::cout.flush();
    fflush(stdout);
    _exit(status);
}

void inputLoop() {
    bool interactive = !g_daemon->opt.json && g_daemon->opt.script.empty() && isatty(STDIN_FILENO);
    std::ifstream scriptFile;
    std::istream *in = &std::cin;
    if (!g_daemon->opt.script.empty()) {
        scriptFile.open(g_daemon->opt.script);
        if (!scriptFile) {
            emitError("cannot open script " + g_daemon->opt.script);
            quit(2);
        }
        in = &scriptFile;
    }
    for (;;) {
        std::string line;
        if (interactive) {
            char *l = readline("ril> ");
            if (l == nullptr) quit(0);
            line = l;
            if (*l) add_history(l);
            free(l);
        } else if (!std::getline(*in, line)) {
            break;
        }
        if (!handleLine(line)) {
            waitForIdle();
            quit(0);
        }
    }
    if (g_daemon->opt.exitOnEof) {
        waitForIdle();
        quit(0);
    }
    // otherwise serve events for ever, as the platform daemon does
    for (;;) pause();
}

std::string defaultLibrary() {
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    if (n <= 0) return "libreference-ril.so";
    exe[n] = '\0';
    std::string dir(exe);
    dir = dir.substr(0, dir.rfind('/'));
    return dir + "/../lib/libreference-ril.so";
}

void usage() {
    fprintf(stderr,
            "usage: host-rild [--lib PATH] [--json] [--script FILE] [--exit-on-eof] [--supervise] "
            "[--at-service] [-- library arguments]\n"
            "  --lib PATH     library to load (default: the build's libreference-ril.so)\n"
            "  --json         machine mode: one JSON object per line on standard output\n"
            "  --script FILE  read requests from FILE instead of standard input\n"
            "  --exit-on-eof  quit once input ends and every request has completed\n"
            "  --supervise    restart the library whenever it ends its process with status 0\n"
            "  --at-service   start the library's AT service (\"ril.at\") after RIL_Init\n"
            "  --dry-run      list the ports, family and model discovery finds, open nothing\n");
}

bool parseOptions(int argc, char **argv, Options &opt) {
    opt.library = defaultLibrary();
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if (a == "--lib" && i + 1 < argc) {
            opt.library = argv[++i];
        } else if (a == "--json") {
            opt.json = true;
        } else if (a == "--script" && i + 1 < argc) {
            opt.script = argv[++i];
        } else if (a == "--exit-on-eof") {
            opt.exitOnEof = true;
        } else if (a == "--dry-run") {
            opt.dryRun = true;
        } else if (a == "--supervise") {
            opt.supervise = true;
        } else if (a == "--at-service") {
            opt.atService = true;
        } else if (a == "--") {
            for (i++; i < argc; i++) opt.libArgs.push_back(argv[i]);
        } else {
            return false;
        }
    }
    return true;
}

// The platform restarts the daemon when the library ends its process with
// status 0; this does the same for the child running the library.
int supervise() {
    volatile int *flag =
        (volatile int *)mmap(nullptr, sizeof(int), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (flag == MAP_FAILED) {
        perror("mmap");
        return 1;
    }
    for (int restarts = 0;; restarts++) {
        *flag = 0;
        pid_t pid = fork();
        if (pid < 0) {
            perror("fork");
            return 1;
        }
        if (pid == 0) {
            // the library's process does not outlive its supervisor
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            g_quitFlag = flag;
            return -1;  // the child goes on as the daemon
        }
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (*flag) return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
            fprintf(stderr, "host-rild: library ended its process with status 0, restarting (%d)\n",
                    restarts + 1);
            continue;
        }
        if (WIFSIGNALED(status)) {
            fprintf(stderr, "host-rild: library process killed by signal %d\n", WTERMSIG(status));
            return 128 + WTERMSIG(status);
        }
        return WEXITSTATUS(status);
    }
}

// The platform starts the library's AT service from outside the library;
// ListenATCommand joins the binder thread pool and does not return.
void startAtService(void *lib) {
    typedef int (*ListenFn)(void);
    ListenFn listen = (ListenFn)dlsym(lib, "ListenATCommand");
    if (listen == nullptr) {
        emitError("the library has no ListenATCommand: no AT service");
        return;
    }
    std::thread([listen] { listen(); }).detach();
}

}  // namespace

int main(int argc, char **argv) {
    Options opt;
    if (!parseOptions(argc, argv, opt)) {
        usage();
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    // one property store for the supervisor and every restart
    const char *propdir = ril_host_property_dir();
    fprintf(stderr, "host-rild: property store %s\n", propdir);
    // one services directory for the supervisor and every restart
    if (opt.atService) fprintf(stderr, "host-rild: binder services in %s\n", ril_host_binder_dir());

    if (opt.supervise) {
        int rc = supervise();
        if (rc >= 0) return rc;
    }

    g_daemon = new Daemon();
    g_daemon->opt = opt;

    void *lib = dlopen(opt.library.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (lib == nullptr) {
        fprintf(stderr, "host-rild: cannot load %s: %s\n", opt.library.c_str(), dlerror());
        return 2;
    }
    if (opt.dryRun) return hostrild::dryRun(lib, opt.json);
    typedef const RIL_RadioFunctions *(*InitFn)(const struct RIL_Env *, int, char **);
    InitFn init = (InitFn)dlsym(lib, "RIL_Init");
    if (init == nullptr) {
        fprintf(stderr, "host-rild: %s has no RIL_Init\n", opt.library.c_str());
        return 2;
    }
    g_daemon->cardtype = (int *)dlsym(lib, "s_cardtype");
    ril_host_set_legacy_env(&s_env);

    std::thread(eventThread).detach();

    std::vector<char *> libArgv;
    std::string arg0 = "host-rild";
    libArgv.push_back(&arg0[0]);
    for (auto &a : opt.libArgs) libArgv.push_back(&a[0]);
    libArgv.push_back(nullptr);
    g_daemon->funcs = init(&s_env, (int)libArgv.size() - 1, libArgv.data());
    if (g_daemon->funcs != nullptr) setLibraryVersion(g_daemon->funcs->version);
    if (g_daemon->funcs == nullptr) {
        fprintf(stderr, "host-rild: RIL_Init returned null\n");
        return 2;
    }
    const char *ver = g_daemon->funcs->getVersion ? g_daemon->funcs->getVersion() : "";
    emit({{"type", "init"}, {"version", g_daemon->funcs->version}, {"family", activeFamily()},
          {"getVersion", ver ? ver : ""}});

    std::thread(requestThread).detach();
    if (opt.atService) startAtService(lib);
    inputLoop();
    return 0;
}
