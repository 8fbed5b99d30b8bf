// The handler tables of the built library cannot lie: every request and
// unsolicited-row handler the library defines is listed, per family, in
// tests/fixtures/defined_handlers.txt; each fills a slot of its family's
// table (or a row of its family's unsolicited chain); and none is defined in
// two units (the definitions are weak, so the linker would keep one of them
// silently).
#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdio.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "daemon_harness.h"
#include "ril_families.h"
#include "ril_unsolicited.h"

namespace {

const std::regex kHandlerName("^(On(CDMA|WCDMA|LTE)_\\w+|onUnsol[A-Z]\\w*_(cdma|wcdma|lte))$");

// nm's defined symbols of a file ("-D": the dynamic ones of a shared library)
std::vector<std::string> definedSymbols(const std::string &file, bool dynamic) {
    std::string cmd = std::string("nm ") + (dynamic ? "-D " : "") + "--defined-only '" + file + "' 2>/dev/null";
    std::vector<std::string> out;
    FILE *p = popen(cmd.c_str(), "r");
    if (p == nullptr) return out;
    char buf[1024];
    while (fgets(buf, sizeof(buf), p) != nullptr) {
        std::istringstream in(buf);
        std::string addr, type, name;
        if (in >> addr >> type >> name) out.push_back(name);
    }
    pclose(p);
    return out;
}

std::vector<std::string> handlerNames(const std::vector<std::string> &symbols) {
    std::set<std::string> s;
    for (const auto &n : symbols)
        if (std::regex_match(n, kHandlerName)) s.insert(n);
    return {s.begin(), s.end()};
}

std::string joined(const std::vector<std::string> &v) {
    std::string s;
    for (const auto &n : v) s += n + "\n";
    return s;
}

TEST(HandlerTables, DefinedHandlersMatchTheCheckedInList) {
    auto actual = handlerNames(definedSymbols(riltest::currentLibrary(), true));
    ASSERT_FALSE(actual.empty());
    std::ifstream f(std::string(RIL_SOURCE_DIR) + "/tests/fixtures/defined_handlers.txt");
    ASSERT_TRUE(f.good());
    std::vector<std::string> listed;
    for (std::string line; std::getline(f, line);)
        if (!line.empty()) listed.push_back(line);
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end())) << "keep the list sorted";
    EXPECT_EQ(listed, actual) << "tests/fixtures/defined_handlers.txt should read (one name a line):\n"
                              << joined(actual);
}

TEST(HandlerTables, EveryDefinedHandlerFillsASlotOfItsFamily) {
    void *lib = dlopen(riltest::currentLibrary().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    typedef const RilRequestHandler *(*TableFn)(void);
    typedef const RilUnsolRow *(*RowsFn)(int, size_t *);
    struct Family {
        const char *requestPrefix;
        const char *unsolSuffix;
        const char *tableFn;
        size_t size;
        int id;
    } families[] = {{"OnCDMA_", "_cdma", "ril_request_table_cdma", RIL_CDMA_TABLE_SIZE, RIL_FAMILY_CDMA},
                    {"OnWCDMA_", "_wcdma", "ril_request_table_wcdma", RIL_WCDMA_TABLE_SIZE, RIL_FAMILY_WCDMA},
                    {"OnLTE_", "_lte", "ril_request_table_lte", RIL_LTE_TABLE_SIZE, RIL_FAMILY_LTE}};
    auto rowsFn = (RowsFn)dlsym(lib, "ril_unsol_rows");
    ASSERT_NE(rowsFn, nullptr);
    auto names = handlerNames(definedSymbols(riltest::currentLibrary(), true));
    for (const auto &fam : families) {
        auto tableFn = (TableFn)dlsym(lib, fam.tableFn);
        ASSERT_NE(tableFn, nullptr) << fam.tableFn;
        const RilRequestHandler *table = tableFn();
        size_t rowCount = 0;
        const RilUnsolRow *rows = rowsFn(fam.id, &rowCount);
        for (const auto &name : names) {
            void *addr = dlsym(lib, name.c_str());
            ASSERT_NE(addr, nullptr) << name;
            bool filled = false;
            if (name.rfind(fam.requestPrefix, 0) == 0) {
                for (size_t i = 0; i < fam.size && !filled; i++) filled = (void *)table[i] == addr;
            } else if (name.size() > strlen(fam.unsolSuffix) &&
                       name.compare(name.size() - strlen(fam.unsolSuffix), std::string::npos, fam.unsolSuffix) == 0 &&
                       name.rfind("onUnsol", 0) == 0) {
                for (size_t i = 0; i < rowCount && !filled; i++) filled = (void *)rows[i].handler == addr;
            } else {
                continue;  // another family's
            }
            EXPECT_TRUE(filled) << name << " is defined but fills no slot of its family";
        }
    }
    dlclose(lib);
}

TEST(HandlerTables, NoHandlerIsDefinedInTwoUnits) {
    std::string dir = std::string(RIL_BUILD_DIR) + "/hardware/ril/reference-ril/CMakeFiles/ril_internal_objects.dir";
    std::map<std::string, std::vector<std::string>> where;
    DIR *d = opendir(dir.c_str());
    ASSERT_NE(d, nullptr) << dir;
    int objects = 0;
    while (struct dirent *e = readdir(d)) {
        std::string f = e->d_name;
        if (f.size() < 2 || f.compare(f.size() - 2, 2, ".o") != 0) continue;
        objects++;
        for (const auto &n : handlerNames(definedSymbols(dir + "/" + f, false))) where[n].push_back(f);
    }
    closedir(d);
    EXPECT_GT(objects, 10);
    std::set<std::string> known;
    std::ifstream f(std::string(RIL_SOURCE_DIR) + "/tests/fixtures/known_duplicate_handlers.txt");
    for (std::string line; std::getline(f, line);)
        if (!line.empty() && line[0] != '#') known.insert(line);
    for (const auto &w : where) {
        if (known.count(w.first) != 0) continue;
        std::string units;
        for (const auto &u : w.second) units += " " + u;
        EXPECT_EQ(w.second.size(), 1u) << w.first << " is defined in" << units;
    }
}

}  // namespace
