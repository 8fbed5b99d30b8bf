#include "standin_common.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace standin {

std::string sysroot() {
    const char *r = getenv("RIL_SYSROOT");
    return r != nullptr ? r : "";
}

std::string inSysroot(const std::string &abs) { return sysroot() + abs; }

bool writeFile(const std::string &path, const std::string &content) {
    std::string tmp = path + ".tmp." + std::to_string(getpid());
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = write(fd, content.data(), content.size()) == (ssize_t)content.size();
    close(fd);
    if (!ok || rename(tmp.c_str(), path.c_str()) != 0) {
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

std::string readFile(const std::string &path) {
    std::string out;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return out;
    char buf[512];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, (size_t)n);
    close(fd);
    return out;
}

bool makeDirs(const std::string &path) {
    for (size_t i = 1; i <= path.size(); i++) {
        if (i == path.size() || path[i] == '/') {
            std::string part = path.substr(0, i);
            if (mkdir(part.c_str(), 0755) != 0) {
                struct stat st;
                if (stat(part.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
            }
        }
    }
    return true;
}

void removeTree(const std::string &path) {
    DIR *d = opendir(path.c_str());
    if (d != nullptr) {
        while (struct dirent *e = readdir(d)) {
            if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
            std::string p = path + "/" + e->d_name;
            struct stat st;
            if (lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                removeTree(p);
            else
                unlink(p.c_str());
        }
        closedir(d);
    }
    rmdir(path.c_str());
}

static std::string propertyDir() {
    const char *d = getenv("RIL_PROPERTY_DIR");
    return d != nullptr ? d : "";
}

bool setProperty(const std::string &key, const std::string &value) {
    std::string dir = propertyDir();
    if (dir.empty() || key.find('/') != std::string::npos) return false;
    return writeFile(dir + "/" + key, value);
}

std::string getProperty(const std::string &key) {
    std::string dir = propertyDir();
    if (dir.empty()) return "";
    return readFile(dir + "/" + key);
}

void recordArgs(const std::string &tool, int argc, char **argv) {
    std::string dir = inSysroot("/run/" + tool);
    makeDirs(dir);
    std::string all;
    for (int i = 0; i < argc; i++) {
        all += argv[i];
        all += '\0';
    }
    writeFile(dir + "/" + std::to_string(getpid()), all);
}

std::string config(const std::string &tool, const std::string &key, const std::string &fallback) {
    std::string text = readFile(inSysroot("/etc/" + tool + "-standin.conf"));
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        size_t eq = line.find('=');
        if (eq != std::string::npos && line.substr(0, eq) == key) return line.substr(eq + 1);
    }
    return fallback;
}

void bump(const std::string &path, long n) {
    long v = atol(readFile(path).c_str());
    writeFile(path, std::to_string(v + n));
}

}  // namespace standin
