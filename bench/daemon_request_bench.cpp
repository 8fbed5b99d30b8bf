// LTE SIGNAL_STRENGTH round trips through the host daemon (bin/host-rild
// loading lib/libreference-ril.so) against the simulated module, which
// answers at once, beside bare channel round trips of the same commands on
// the same module in the same run.
//
//   daemon_request_bench [requests per block, default 1000] [--debug-log]
//
// Figures:
//  - "daemon onRequest -> OnRequestComplete": the daemon's own "latency_us"
//    of each response (from just before onRequest to the completion
//    callback); requests per second over the block, one request at a time.
//  - "client line -> response line": the same requests seen from the
//    daemon's standard input and output in JSON mode (command parsing, the
//    request thread hand-over, JSON encoding and the pipes included).
//  - "bare channel ...": this process drives the module's AT port with the
//    library's channel code, the commands the handler sends, before the
//    daemon starts and after it has ended (the port has one user at a time).
// Debug logging is off ("ril.debug" 0) unless --debug-log is given; the
// library's log goes to /dev/null.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "at_link.h"
#include "bench_stats.h"
#include "ril_log.h"
#include "simulated_module.h"

namespace {

using Clock = std::chrono::steady_clock;
using nlohmann::json;

using bench::Stats;
using bench::print;
using bench::run;
using bench::summarize;

void noUnsol(const char *, const char *) {}

double micros(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::micro>(b - a).count(); }

// The bare channel: the handler's commands, and "AT+CSQ" alone.
bool bareBlocks(modemsim::SimulatedModule &module, int n, const char *when) {
    int fd = open(module.atLink().c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        perror("open AT port");
        return false;
    }
    struct termios tio;
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    if (at_open(fd, noUnsol) < 0) {
        fprintf(stderr, "at_open failed\n");
        return false;
    }
    auto sequence = [] {
        auto t0 = Clock::now();
        AtReply *r = nullptr;
        at_send_command("ATE0", nullptr);
        at_send_command_singleline("AT+CSQ", "+CSQ:", &r);
        at_response_free(r);
        r = nullptr;
        at_send_command_singleline("AT+SERVERINFO", "+SERVERINFO:", &r);
        at_response_free(r);
        return micros(t0, Clock::now());
    };
    auto csq = [] {
        auto t0 = Clock::now();
        AtReply *r = nullptr;
        at_send_command_singleline("AT+CSQ", "+CSQ:", &r);
        at_response_free(r);
        return micros(t0, Clock::now());
    };
    run(20, sequence);
    std::string a = std::string("bare channel ATE0+CSQ+SERVERINFO (") + when + ")";
    std::string b = std::string("bare channel AT+CSQ (") + when + ")";
    print(a.c_str(), run(n, sequence));
    print(b.c_str(), run(n, csq));
    at_close();
    return true;
}

// host-rild in JSON mode on pipes
class Daemon {
public:
    bool start(const std::string &sysroot, const std::string &props) {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return false;
        pid_ = fork();
        if (pid_ < 0) return false;
        if (pid_ == 0) {
            setpgid(0, 0);
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            setenv("RIL_SYSROOT", sysroot.c_str(), 1);
            setenv("RIL_PROPERTY_DIR", props.c_str(), 1);
            setenv("RIL_LOG", "/dev/null", 1);
            setenv("RIL_TIME_SCALE", "1", 1);
            std::string bin = std::string(RIL_BUILD_DIR) + "/bin/host-rild";
            std::string lib = std::string(RIL_BUILD_DIR) + "/lib/libreference-ril.so";
            execl(bin.c_str(), bin.c_str(), "--json", "--lib", lib.c_str(), (char *)nullptr);
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        in_ = in[1];
        out_ = out[0];
        return true;
    }
    void send(const std::string &line) {
        std::string l = line + "\n";
        if (write(in_, l.data(), l.size()) != (ssize_t)l.size()) perror("write to host-rild");
    }
    // next line of output; empty on end of file or after timeoutMs
    std::string line(int timeoutMs = 10000) {
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            size_t nl = buf_.find('\n');
            if (nl != std::string::npos) {
                std::string l = buf_.substr(0, nl);
                buf_.erase(0, nl + 1);
                return l;
            }
            int left = (int)std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return "";
            struct pollfd p = {out_, POLLIN, 0};
            if (poll(&p, 1, left) <= 0) continue;
            char b[8192];
            ssize_t n = read(out_, b, sizeof(b));
            if (n <= 0) return "";
            buf_.append(b, (size_t)n);
        }
    }
    // waits for a message of this type; null on timeout
    json waitType(const std::string &type, int timeoutMs = 10000) {
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Clock::now() < deadline) {
            std::string l = line((int)std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
            if (l.empty()) continue;
            json j = json::parse(l, nullptr, false);
            if (!j.is_discarded() && j.value("type", "") == type) return j;
        }
        return nullptr;
    }
    void stop() {
        if (pid_ <= 0) return;
        send("quit");
        close(in_);
        int status = 0;
        for (int i = 0; i < 200 && waitpid(pid_, &status, WNOHANG) == 0; i++) usleep(10000);
        if (waitpid(pid_, &status, WNOHANG) == 0) {
            kill(-pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        close(out_);
        pid_ = -1;
    }
    ~Daemon() { stop(); }

private:
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
    std::string buf_;
};

bool fileHas(const std::string &path, const std::string &want) {
    FILE *f = fopen(path.c_str(), "r");
    if (f == nullptr) return false;
    char b[128] = {0};
    size_t n = fread(b, 1, sizeof(b) - 1, f);
    fclose(f);
    return std::string(b, n) == want;
}

}  // namespace

int main(int argc, char **argv) {
    int n = 1000;
    bool debugLog = false;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--debug-log") == 0)
            debugLog = true;
        else
            n = std::max(10, atoi(argv[i]));
    }
    setenv("RIL_LOG", "/dev/null", 1);
    g_debugmode = debugLog ? 1 : 0;

    char root[] = "/tmp/daemon_bench.XXXXXX";
    if (mkdtemp(root) == nullptr) {
        perror("mkdtemp");
        return 1;
    }
    std::string sysroot = std::string(root) + "/sysroot", props = std::string(root) + "/properties";
    mkdir(sysroot.c_str(), 0755);
    mkdir(props.c_str(), 0755);
    {
        FILE *f = fopen((props + "/ril.debug").c_str(), "w");
        if (f != nullptr) {
            fputs(debugLog ? "1" : "0", f);
            fclose(f);
        }
    }
    int rc = 0;
    {
        modemsim::SimulatedModule module(modemsim::ModuleConfig::forModel("lte", sysroot));
        printf("LTE SIGNAL_STRENGTH, %d per block, simulated module answering at once%s\n", n,
               debugLog ? ", debug log on" : "");
        if (!bareBlocks(module, n, "before")) return 1;

        Daemon d;
        if (!d.start(sysroot, props)) {
            perror("start host-rild");
            return 1;
        }
        // the SIM-ready steps have run: the channel is quiet apart from the requests
        if (d.waitType("init").is_null()) {
            fprintf(stderr, "host-rild did not come up\n");
            return 1;
        }
        auto ready = Clock::now() + std::chrono::seconds(60);
        while (!fileHas(props + "/gsm.sim.state", "READY") && Clock::now() < ready) usleep(20000);
        if (!fileHas(props + "/gsm.sim.state", "READY")) {
            fprintf(stderr, "the SIM did not become ready\n");
            return 1;
        }

        std::vector<double> daemonUs;
        int failures = 0;
        auto request = [&] {
            auto t0 = Clock::now();
            d.send("signal");
            for (;;) {
                std::string l = d.line();
                if (l.empty()) {
                    failures++;
                    return micros(t0, Clock::now());
                }
                if (l.find("\"type\":\"response\"") == std::string::npos) continue;
                auto t1 = Clock::now();
                json j = json::parse(l, nullptr, false);
                if (j.is_discarded() || j.value("error", -1) != 0 || j.value("latency_us", -1LL) < 0)
                    failures++;
                else
                    daemonUs.push_back((double)j["latency_us"].get<long long>());
                return micros(t0, t1);
            }
        };
        run(20, request);
        for (int block = 0; block < 3; block++) {
            daemonUs.clear();
            auto start = Clock::now();
            Stats client = run(n, request);
            double total = std::chrono::duration<double>(Clock::now() - start).count();
            if (daemonUs.empty()) break;
            print("daemon onRequest -> OnRequestComplete", summarize(daemonUs, total));
            print("client request line -> response line", client);
        }
        d.stop();
        if (failures > 0) {
            fprintf(stderr, "%d requests failed or carried no latency\n", failures);
            rc = 1;
        }
        if (!bareBlocks(module, n, "after")) rc = 1;
    }
    std::string cleanup = std::string("rm -rf ") + root;
    if (system(cleanup.c_str()) != 0) return rc;
    return rc;
}
