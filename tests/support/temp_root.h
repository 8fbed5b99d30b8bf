// A temporary directory tree removed at the end of the test.
#pragma once

#include <string>

namespace riltest {

class TempRoot {
public:
    TempRoot();
    ~TempRoot();
    TempRoot(const TempRoot &) = delete;
    TempRoot &operator=(const TempRoot &) = delete;

    const std::string &path() const { return path_; }
    // path_ + rel, rel beginning with '/'
    std::string at(const std::string &rel) const { return path_ + rel; }
    // writes a file, creating its directories
    void writeFile(const std::string &rel, const std::string &content) const;
    void makeDirs(const std::string &rel) const;

private:
    std::string path_;
};

// mkdir -p
bool makeDirs(const std::string &path);
std::string readFile(const std::string &path);
bool fileExists(const std::string &path);
void removeTree(const std::string &path);

}  // namespace riltest
