#include "temp_root.h"

#include <dirent.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace riltest {

bool makeDirs(const std::string &path) {
    std::string cur;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        cur = path.substr(0, pos);
        if (cur.empty()) continue;
        if (mkdir(cur.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return true;
}

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool fileExists(const std::string &path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

void removeTree(const std::string &path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        DIR *d = opendir(path.c_str());
        if (d != nullptr) {
            while (struct dirent *e = readdir(d)) {
                if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
                removeTree(path + "/" + e->d_name);
            }
            closedir(d);
        }
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

TempRoot::TempRoot() {
    char tmpl[] = "/tmp/riltest-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempRoot::~TempRoot() { removeTree(path_); }

void TempRoot::makeDirs(const std::string &rel) const { riltest::makeDirs(at(rel)); }

void TempRoot::writeFile(const std::string &rel, const std::string &content) const {
    std::string full = at(rel);
    riltest::makeDirs(full.substr(0, full.rfind('/')));
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out << content;
}

}  // namespace riltest
