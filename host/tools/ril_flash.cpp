// ril-flash: flashes a module of the 6270 class from the command line with
// the library's download routines, or writes the NV items of the legacy
// library. See README.md ("Flashing a module").
//
//   ril-flash --port /dev/ttyUSB1 --programmer NPRG6270.hex --image amss.mbn --header amsshd.mbn:0105
//   ril-flash --nv --port /dev/ttyUSB1
//
// Every file is checked before the module is touched: a programmer that is
// not a sound Intel HEX file, an image of 16 MiB or more, a header file over
// 1000 bytes is refused with nothing sent.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <libgen.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "download.h"
#include "ril_host.h"

namespace {

struct Step {
    enum Kind { Image, Header } kind;
    std::string path;  // absolute
    unsigned char hdr[2] = {0, 0};
};

struct Options {
    std::string port;
    std::string downloadPort;
    std::string programmer;
    std::vector<Step> steps;
    int waitSeconds = 30;
    int answerWaitMs = 1;
    bool nv = false;
    bool verbose = false;
    std::string lib;
};

void usage() {
    fprintf(stderr,
            "usage: ril-flash --port DEV --programmer FILE [--image FILE]... [--header FILE:XXYY]...\n"
            "                 [--download-port DEV] [--wait SECONDS] [--answer-wait MS] [--verbose]\n"
            "       ril-flash --nv --port DEV [--lib lib-ril-kivo.so]\n"
            "DEV is the module's diagnostic port (e.g. /dev/ttyUSB1). The module is switched to its\n"
            "download mode, comes back as a one-port download device (found on USB, or given with\n"
            "--download-port), and takes the programmer, then the images and header files in the\n"
            "order given. XXYY are the header frame's two leading bytes in hex.\n");
}

int failed(const std::string &why) {
    printf("flash FAILED: %s\n", why.c_str());
    return 1;
}

std::string absolute(const std::string &path) {
    char buf[PATH_MAX];
    if (realpath(path.c_str(), buf) == nullptr) return "";
    return buf;
}

long fileSize(const std::string &path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return (long)st.st_size;
}

// ---- the progress bar, on standard error ----

const char *s_barFile = "";
bool s_barOpen = false;

void drawBar(const char *file, long done, long total) {
    const int width = 40;
    int percent = total > 0 ? (int)(done * 100 / total) : 100;
    int fill = percent * width / 100;
    char bar[width + 1];
    for (int i = 0; i < width; i++) bar[i] = i < fill ? '#' : '-';
    bar[width] = '\0';
    fprintf(stderr, "\r  %-24.24s [%s] %3d%%  %ld/%ld bytes", file, bar, percent, done, total);
    fflush(stderr);
    s_barFile = file;
    s_barOpen = true;
}

void endBar() {
    if (s_barOpen) fputc('\n', stderr);
    s_barOpen = false;
}

// Runs a download routine with its chatter (standard output) kept aside:
// shown with --verbose, and its last line given as the reason of a failure.
template <typename F>
int quietly(bool verbose, std::string *lastLine, F fn) {
    if (verbose) return fn();
    fflush(stdout);
    char path[] = "/tmp/ril-flash-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) return fn();
    unlink(path);
    int saved = dup(1);
    dup2(fd, 1);
    int r = fn();
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::string text;
    lseek(fd, 0, SEEK_SET);
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) {
        text.append(buf, (size_t)n);
        if (text.size() > 65536) text.erase(0, text.size() - 4096);
    }
    close(fd);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    size_t nl = text.rfind('\n');
    *lastLine = nl == std::string::npos ? text : text.substr(nl + 1);
    return r;
}

// runs fn with the working directory at the file's folder and the file's
// bare name, so the routines' path buffers only ever see the name
template <typename F>
int inFolder(const std::string &path, F fn) {
    std::string copy = path;
    std::string dir = dirname(&copy[0]);
    std::string copy2 = path;
    std::string base = basename(&copy2[0]);
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) == nullptr || chdir(dir.c_str()) != 0) return -1;
    int r = fn(base.c_str());
    if (chdir(cwd) != 0) return -1;
    return r;
}

// the tty of the download device (05C6:9008) in sysfs, "" when none
std::string findDownloadPort() {
    char dirPath[1024];
    if (ril_host_path("/sys/bus/usb/drivers/option", dirPath, sizeof dirPath) == nullptr) return "";
    DIR *d = opendir(dirPath);
    if (d == nullptr) return "";
    std::string found;
    while (struct dirent *e = readdir(d)) {
        if (strchr(e->d_name, ':') == nullptr) continue;
        std::string iface = std::string(dirPath) + "/" + e->d_name;
        FILE *f = fopen((iface + "/modalias").c_str(), "r");
        if (f == nullptr) continue;
        char line[256] = "";
        bool match = fgets(line, sizeof line, f) != nullptr && strstr(line, "v05C6p9008") != nullptr;
        fclose(f);
        if (!match) continue;
        DIR *sub = opendir(iface.c_str());
        if (sub == nullptr) continue;
        while (struct dirent *t = readdir(sub))
            if (strncmp(t->d_name, "ttyUSB", 6) == 0) found = std::string("/dev/") + t->d_name;
        closedir(sub);
        if (!found.empty()) break;
    }
    closedir(d);
    return found;
}

bool parseHeaderArg(const std::string &arg, Step *step) {
    size_t colon = arg.rfind(':');
    if (colon == std::string::npos || arg.size() - colon - 1 != 4) return false;
    std::string hex = arg.substr(colon + 1);
    for (char c : hex)
        if (!isxdigit((unsigned char)c)) return false;
    unsigned v = (unsigned)strtoul(hex.c_str(), nullptr, 16);
    step->kind = Step::Header;
    step->path = arg.substr(0, colon);
    step->hdr[0] = (unsigned char)(v >> 8);
    step->hdr[1] = (unsigned char)(v & 0xFF);
    return true;
}

bool parseArgs(int argc, char **argv, Options *o) {
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        auto value = [&](std::string *out) {
            if (i + 1 >= argc) return false;
            *out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--port" && value(&o->port)) {
        } else if (a == "--download-port" && value(&o->downloadPort)) {
        } else if (a == "--programmer" && value(&o->programmer)) {
        } else if (a == "--image" && value(&v)) {
            Step s;
            s.kind = Step::Image;
            s.path = v;
            o->steps.push_back(s);
        } else if (a == "--header" && value(&v)) {
            Step s;
            if (!parseHeaderArg(v, &s)) {
                fprintf(stderr, "ril-flash: --header wants FILE:XXYY (two bytes in hex), not %s\n", v.c_str());
                return false;
            }
            o->steps.push_back(s);
        } else if (a == "--wait" && value(&v)) {
            o->waitSeconds = atoi(v.c_str());
        } else if (a == "--answer-wait" && value(&v)) {
            o->answerWaitMs = atoi(v.c_str());
        } else if (a == "--lib" && value(&o->lib)) {
        } else if (a == "--nv") {
            o->nv = true;
        } else if (a == "--verbose") {
            o->verbose = true;
        } else {
            return false;
        }
    }
    return !o->port.empty() && (o->nv || !o->programmer.empty());
}

int runNv(const Options &o, const char *argv0) {
    std::string lib = o.lib;
    if (lib.empty()) {
        std::string self = absolute(argv0);
        std::string copy = self;
        lib = std::string(dirname(&copy[0])) + "/../lib/lib-ril-kivo.so";
    }
    void *h = dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr) return failed(std::string("cannot load the legacy library: ") + dlerror());
    auto downNv = (int (*)(const char *))dlsym(h, "DownNV");
    if (downNv == nullptr) return failed(lib + " carries no NV download");
    printf("writing 16 NV items through %s ...\n", o.port.c_str());
    int r = downNv(o.port.c_str());
    if (r != 0) return failed("cannot open " + o.port);
    printf("NV download complete: 16 items written (the module's answers are not read)\n");
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    Options o;
    if (!parseArgs(argc, argv, &o)) {
        usage();
        return 2;
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);
    g_download_answer_wait_ms = o.answerWaitMs > 0 ? o.answerWaitMs : 1;
    if (o.nv) return runNv(o, argv[0]);

    // ---- every file checked before the module is touched ----
    std::string programmer = absolute(o.programmer);
    if (programmer.empty()) return failed("cannot read the programmer " + o.programmer);
    {
        // checked where it is, before the sysroot applies to anything
        char why[160];
        unsigned int address = 0;
        long bytes = inFolder(programmer, [&](const char *name) {
            return (int)checkhexfile(name, &address, why, (int)sizeof why);
        });
        if (bytes < 0)
            return failed(o.programmer + ": not a sound Intel HEX file (" + (why[0] ? why : "cannot read it") +
                          "); nothing sent");
        printf("programmer %s: %ld bytes at 0x%X\n", o.programmer.c_str(), bytes, address);
    }
    std::vector<Step> steps = o.steps;
    for (Step &s : steps) {
        std::string abs = absolute(s.path);
        long size = abs.empty() ? -1 : fileSize(abs);
        if (size <= 0) return failed("cannot read " + s.path);
        if (s.kind == Step::Image && size >= DOWNLOAD_IMAGE_LIMIT)
            return failed(s.path + ": images must stay below 16 MiB; nothing sent");
        if (s.kind == Step::Header && size > DOWNLOAD_HEADER_MAX)
            return failed(s.path + ": header files hold at most 1000 bytes; nothing sent");
        std::string copy = abs;
        if (strlen(basename(&copy[0])) >= DOWNLOAD_PATH_MAX)
            return failed(s.path + ": file name too long (at most 63 characters)");
        s.path = abs;
    }

    // ---- download mode ----
    if (openport_path(o.port.c_str()) != 0) return failed("cannot open " + o.port);
    printf("switching the module on %s to its download mode\n", o.port.c_str());
    int r = setdownloadmode();
    closeport();
    if (r < 0) return failed("cannot write the download-mode request to " + o.port);
    std::string dl = o.downloadPort;
    if (dl.empty()) {
        printf("waiting up to %d s for the download device on USB ...\n", o.waitSeconds);
        time_t end = time(nullptr) + o.waitSeconds;
        while ((dl = findDownloadPort()).empty() && time(nullptr) <= end) usleep(50000);
        if (dl.empty()) return failed("the module did not come back as a download device");
    }
    if (openport_path(dl.c_str()) != 0) return failed("cannot open the download port " + dl);
    printf("download port %s\n", dl.c_str());
    static const unsigned char ack[] = {0x7E, 0x02, 0x6A, 0xD3, 0x7E};
    if (setbegindown() < 0 || Issendpass(ack, sizeof ack) != 0) {
        closeport();
        return failed("no answer to the start request on " + dl);
    }

    // ---- programmer, images, header files ----
    g_download_progress = drawBar;
    std::string why;
    r = inFolder(programmer, [&](const char *name) {
        return quietly(o.verbose, &why, [&] { return writehex_path(name); });
    });
    endBar();
    if (r != 0) {
        closeport();
        return failed("programmer not taken: " + why);
    }
    int images = 0, headers = 0;
    for (const Step &s : steps) {
        r = inFolder(s.path, [&](const char *name) {
            return quietly(o.verbose, &why, [&] {
                return s.kind == Step::Image ? writembnfile(name) : writehdfile(name, s.hdr);
            });
        });
        endBar();
        if (r != 0) {
            closeport();
            return failed(s.path + " not taken: " + why);
        }
        (s.kind == Step::Image ? images : headers)++;
    }
    closeport();
    printf("flash complete: programmer, %d image%s and %d header file%s written and acknowledged\n", images,
           images == 1 ? "" : "s", headers, headers == 1 ? "" : "s");
    return 0;
}
