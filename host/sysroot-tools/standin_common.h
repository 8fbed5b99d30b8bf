// Shared helpers of the platform-program stand-ins: the sysroot, the
// property store and the interface folders they play.
#pragma once

#include <string>
#include <vector>

namespace standin {

std::string sysroot();                               // $RIL_SYSROOT, "" when unset
std::string inSysroot(const std::string &abs);       // sysroot + abs
bool setProperty(const std::string &key, const std::string &value);  // atomic
std::string getProperty(const std::string &key);
bool writeFile(const std::string &path, const std::string &content);  // atomic
std::string readFile(const std::string &path);
bool makeDirs(const std::string &path);
void removeTree(const std::string &path);
// records argv (NUL-separated) as $RIL_SYSROOT/run/<tool>/<pid>
void recordArgs(const std::string &tool, int argc, char **argv);
// key=value lines of $RIL_SYSROOT/etc/<tool>-standin.conf
std::string config(const std::string &tool, const std::string &key, const std::string &fallback);
// adds n to a counter file (created at 0)
void bump(const std::string &path, long n);

}  // namespace standin
