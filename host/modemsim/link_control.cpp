#include "link_control.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "simulated_module.h"

namespace modemsim {

namespace {

const char kUsage[] =
    "ERROR link silent | link freeze | link ok | link kill | link carrier | link refuse N | link state";

std::string mark(const SimulatedModule &m, const char *name) { return m.sysroot() + "/run/" + name; }

void setMark(const SimulatedModule &m, const char *name, bool on) {
    std::string path = mark(m, name);
    if (on) {
        mkdir((m.sysroot() + "/run").c_str(), 0755);
        std::ofstream(path.c_str()) << "1\n";
    } else {
        unlink(path.c_str());
    }
}

bool hasMark(const SimulatedModule &m, const char *name) { return access(mark(m, name).c_str(), F_OK) == 0; }

// The whole of a small /proc file, read with plain POSIX calls: a process
// that exits between open and read makes read fail with ESRCH, which the
// stream library turns into an exception.
std::string readProcFile(const std::string &path) {
    std::string all;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return all;
    char buf[4096];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof(buf));
        if (n <= 0 || all.size() > 65536) break;
        all.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return all;
}

// a live process whose command line starts with a program named pppd
bool isPppd(int pid) {
    std::string proc = "/proc/" + std::to_string(pid);
    std::string all = readProcFile(proc + "/stat");
    size_t close = all.rfind(')');
    if (close == std::string::npos || close + 2 >= all.size() || all[close + 2] == 'Z') return false;
    std::string cmdline = readProcFile(proc + "/cmdline");
    std::string argv0 = cmdline.substr(0, cmdline.find('\0'));
    size_t slash = argv0.rfind('/');
    return argv0.substr(slash == std::string::npos ? 0 : slash + 1) == "pppd";
}

void removeTree(const std::string &path) {
    if (DIR *d = opendir(path.c_str())) {
        while (struct dirent *e = readdir(d)) {
            std::string n = e->d_name;
            if (n == "." || n == "..") continue;
            removeTree(path + "/" + n);
        }
        closedir(d);
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

bool count(const std::string &s, int *out) {
    if (s.empty() || s.size() > 6) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    *out = atoi(s.c_str());
    return true;
}

}  // namespace

std::vector<int> runningPppd(const std::string &sysroot) {
    std::vector<int> pids;
    DIR *d = opendir((sysroot + "/run/pppd").c_str());
    if (d == nullptr) return pids;
    while (struct dirent *e = readdir(d)) {
        int pid = 0;
        if (count(e->d_name, &pid) && pid > 0 && isPppd(pid)) pids.push_back(pid);
    }
    closedir(d);
    return pids;
}

int radioCycles(const SimulatedModule &m) {
    int cycles = 0;
    bool off = false;
    for (const std::string &c : m.commands()) {
        if (c == "AT+CFUN=0") off = true;
        else if (c == "AT+CFUN=1" && off) {
            cycles++;
            off = false;
        }
    }
    return cycles;
}

std::string linkControl(SimulatedModule &m, const std::vector<std::string> &w) {
    if (w.size() < 2) return kUsage;
    const std::string &c = w[1];
    if (c == "silent" && w.size() == 2) {
        // pings get no answer and the link receives nothing; pppd still sends
        setMark(m, "link-rxfrozen", true);
        setMark(m, "link-silent", true);
    } else if (c == "freeze" && w.size() == 2) {
        setMark(m, "link-rxfrozen", true);  // tx moving, rx frozen; pings still answered
    } else if (c == "ok" && w.size() == 2) {
        setMark(m, "link-rxfrozen", false);
        setMark(m, "link-silent", false);
    } else if (c == "kill" && w.size() == 2) {
        // pppd dies without a word: no "+++", the kernel drops ppp0, the
        // module's call ends
        std::vector<int> pids = runningPppd(m.sysroot());
        for (int pid : pids) kill(pid, SIGKILL);
        for (int i = 0; i < 200; i++) {
            bool any = false;
            for (int pid : pids) any = any || isPppd(pid);
            if (!any) break;
            usleep(5000);
        }
        removeTree(m.sysroot() + "/sys/class/net/ppp0");
        m.update([](ModuleState &s) { s.data.connected = false; });
        return "killed " + std::to_string(pids.size()) + "\nOK";
    } else if (c == "carrier" && w.size() == 2) {
        m.update([](ModuleState &s) { s.data.connected = false; });
        m.injectRaw("\r\nNO CARRIER\r\n", Port::Modem);
    } else if (c == "refuse" && w.size() == 3) {
        int n = 0;
        if (!count(w[2], &n)) return kUsage;
        m.update([n](ModuleState &s) { s.data.refuseDials = n; });
    } else if (c == "state" && w.size() == 2) {
        ModuleState s = m.state();
        std::ostringstream out;
        out << "silent " << (hasMark(m, "link-silent") ? 1 : 0) << " rxfrozen " << (hasMark(m, "link-rxfrozen") ? 1 : 0)
            << " pppd " << runningPppd(m.sysroot()).size() << " dials " << s.data.dials << " refuse "
            << s.data.refuseDials << " radiocycles " << radioCycles(m) << "\nOK";
        return out.str();
    } else {
        return kUsage;
    }
    return "OK";
}

}  // namespace modemsim
