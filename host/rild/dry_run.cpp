#include "dry_run.h"

#include <dirent.h>
#include <dlfcn.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace hostrild {

namespace {

std::string symbolText(void *lib, const char *name) {
    const char *p = (const char *)dlsym(lib, name);
    if (p == nullptr) return "";
    return std::string(p, strnlen(p, 128));  // the port buffers are 128 bytes
}

int symbolInt(void *lib, const char *name, int fallback) {
    const int *p = (const int *)dlsym(lib, name);
    return p != nullptr ? *p : fallback;
}

const char *familyName(int family) {
    switch (family) {
    case 0: return "CDMA";
    case 1: return "WCDMA";
    case 2: return "LTE";
    default: return "unknown";
    }
}

const char *modelName(int model) {
    switch (model) {
    case 1: return "WCDMA module of the 6290 kind";
    case 2: return "CDMA module";
    case 3: return "LTE module";
    case 4: return "LTE module of the 8909 kind";
    case 5: return "ASR LTE module";
    default: return "unknown";
    }
}

// A port path as the library holds it ("ttyUSB0" or "/dev/ttyUSB2") as the
// device path, and where it is on this host (under RIL_SYSROOT when set).
std::string devicePath(const std::string &p) {
    if (p.empty() || p[0] == '/') return p;
    return "/dev/" + p;
}

std::string hostPath(const std::string &dev) {
    const char *root = getenv("RIL_SYSROOT");
    return (root != nullptr ? std::string(root) : std::string()) + dev;
}

// The processes that hold the node open, from the /proc/<pid>/fd links:
// nothing is opened, only links are read.
std::vector<std::string> holders(const std::string &node) {
    std::vector<std::string> out;
    char real[PATH_MAX];
    if (realpath(node.c_str(), real) == nullptr) return out;
    DIR *proc = opendir("/proc");
    if (proc == nullptr) return out;
    while (struct dirent *e = readdir(proc)) {
        char *end = nullptr;
        long pid = strtol(e->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid == (long)getpid()) continue;
        std::string fdDir = std::string("/proc/") + e->d_name + "/fd";
        DIR *fds = opendir(fdDir.c_str());
        if (fds == nullptr) continue;
        bool held = false;
        while (struct dirent *f = readdir(fds)) {
            char target[PATH_MAX];
            ssize_t n = readlink((fdDir + "/" + f->d_name).c_str(), target, sizeof(target) - 1);
            if (n <= 0) continue;
            target[n] = '\0';
            if (strcmp(target, real) == 0) {
                held = true;
                break;
            }
        }
        closedir(fds);
        if (!held) continue;
        char comm[64] = "";
        FILE *c = fopen((std::string("/proc/") + e->d_name + "/comm").c_str(), "r");
        if (c != nullptr) {
            if (fgets(comm, sizeof(comm), c) == nullptr) comm[0] = '\0';
            fclose(c);
        }
        comm[strcspn(comm, "\n")] = '\0';
        out.push_back(std::string(e->d_name) + " " + comm);
    }
    closedir(proc);
    return out;
}

}  // namespace

int dryRun(void *lib, bool json) {
    typedef int (*ScanFn)(void);
    ScanFn scan = (ScanFn)dlsym(lib, "HandleDeviceHotPlugin");
    if (scan == nullptr) {
        fprintf(stderr, "host-rild: the library has no HandleDeviceHotPlugin\n");
        return 2;
    }
    int result = scan();
    bool found = (result & 5) != 0;
    int family = symbolInt(lib, "s_detected_cardtype", -1);
    int model = symbolInt(lib, "g_moduletype", 0);
    struct Role {
        const char *role;
        const char *symbol;
    } roles[] = {{"modem", "g_data_device_path"},
                 {"at", "g_pcuidevice_path"},
                 {"diag", "g_diagdevice_path"},
                 {"gps", "g_gpsdevice_path"}};
    nlohmann::json ports = nlohmann::json::object();
    for (const Role &r : roles) {
        std::string dev = devicePath(symbolText(lib, r.symbol));
        if (dev.empty()) continue;
        std::string node = hostPath(dev);
        nlohmann::json p = {{"path", dev},
                            {"exists", access(node.c_str(), F_OK) == 0},
                            {"read_write", access(node.c_str(), R_OK | W_OK) == 0},
                            {"held_by", holders(node)}};
        ports[r.role] = p;
    }
    if (json) {
        nlohmann::json j = {{"type", "discovery"},
                            {"result", result},
                            {"found", found},
                            {"family", found ? familyName(family) : "none"},
                            {"model", found ? model : 0},
                            {"model_name", found ? modelName(model) : "none"},
                            {"ports", ports}};
        printf("%s\n", j.dump().c_str());
    } else if (!found) {
        printf("no USB modem found (scan result %d)\n", result);
    } else {
        printf("family %s, model %d (%s), scan result %d\n", familyName(family), model, modelName(model),
               result);
        for (auto it = ports.begin(); it != ports.end(); ++it) {
            const nlohmann::json &p = it.value();
            std::string state = !p["exists"].get<bool>()      ? "missing"
                                : p["read_write"].get<bool>() ? "read/write ok"
                                                              : "NOT readable and writable by this user";
            printf("  %-5s %s: %s", it.key().c_str(), p["path"].get<std::string>().c_str(), state.c_str());
            for (const auto &h : p["held_by"]) printf(", held by %s", h.get<std::string>().c_str());
            printf("\n");
        }
    }
    fflush(stdout);
    return found ? 0 : 1;
}

}  // namespace hostrild
