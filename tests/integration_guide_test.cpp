// The integration guide's table of system properties is the one list an
// integrator reads: it must name exactly the properties the library's
// sources read and write. Rows of areas not yet built say "planned" and must
// not be in the sources yet.
#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string readFile(const std::string &path) {
    std::ifstream f(path);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

std::string trim(const std::string &s) {
    size_t b = s.find_first_not_of(" \t");
    size_t e = s.find_last_not_of(" \t");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// Every quoted name of a property namespace the platform uses, in every
// source and header of the library.
std::set<std::string> propertiesInSources() {
    const std::string dir = std::string(RIL_SOURCE_DIR) + "/hardware/ril/reference-ril";
    const std::regex name("\"((ril|gsm|net|persist|service|sys|ro|init\\.svc|dhcp)\\.[A-Za-z0-9_.-]+)\"");
    // quoted names of those namespaces that are not properties
    const std::set<std::string> notProperties = {"ril.at"};  // the AT service's binder name
    std::set<std::string> found;
    DIR *d = opendir(dir.c_str());
    if (d == nullptr) return found;
    while (struct dirent *e = readdir(d)) {
        std::string f = e->d_name;
        if (f.size() < 3) continue;
        bool source = f.compare(f.size() - 4, 4, ".cpp") == 0 || f.compare(f.size() - 2, 2, ".h") == 0;
        if (!source) continue;
        std::string text = readFile(dir + "/" + f);
        for (std::sregex_iterator it(text.begin(), text.end(), name), end; it != end; ++it) {
            if (notProperties.count((*it)[1]) == 0) found.insert((*it)[1]);
        }
    }
    closedir(d);
    return found;
}

// property -> state ("built" or "planned") from the guide's table
std::map<std::string, std::string> propertiesInGuide() {
    std::istringstream in(readFile(std::string(RIL_SOURCE_DIR) + "/docs/integration-guide.md"));
    std::map<std::string, std::string> rows;
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
        if (line.rfind("## ", 0) == 0) inSection = line == "## System properties";
        if (!inSection || line.rfind("| \"", 0) != 0) continue;
        std::vector<std::string> cols;
        std::stringstream ls(line.substr(1));
        std::string col;
        while (std::getline(ls, col, '|')) cols.push_back(trim(col));
        if (cols.size() < 4) continue;
        std::string prop = cols[0];
        if (prop.size() >= 2 && prop.front() == '"' && prop.back() == '"') prop = prop.substr(1, prop.size() - 2);
        rows[prop] = cols.back();
    }
    return rows;
}

TEST(IntegrationGuide, PropertyTableMatchesTheSources) {
    std::set<std::string> sources = propertiesInSources();
    std::map<std::string, std::string> guide = propertiesInGuide();
    ASSERT_FALSE(sources.empty()) << "no property names found in the library's sources";
    ASSERT_FALSE(guide.empty()) << "no property table in docs/integration-guide.md";
    // the debug switch and a discovery property are always there: the scan works
    EXPECT_TRUE(sources.count("ril.debug"));
    EXPECT_TRUE(sources.count("ril.pcui"));
    for (const auto &p : sources) {
        auto row = guide.find(p);
        EXPECT_TRUE(row != guide.end()) << p << " is used by the library but missing from the guide's table";
        if (row != guide.end()) {
            EXPECT_EQ(row->second, "built") << p << " is used by the library";
        }
    }
    for (const auto &row : guide) {
        EXPECT_TRUE(row.second == "built" || row.second == "planned") << row.first << ": " << row.second;
        if (row.second == "built") {
            EXPECT_TRUE(sources.count(row.first)) << row.first << " is in the guide but not in the library";
        }
    }
}

}  // namespace
