// The independent SMS codec the tests compare against: gammu, through
// tests/oracles/gammu_sms.py run by Debian's own /usr/bin/python3 (the only
// interpreter that sees python3-gammu).
#pragma once

#include <string>
#include <vector>

namespace riltest {

// Runs the oracle with the arguments (each shell-quoted here) and returns its
// standard output lines; a failure to run or a non-zero exit is a test failure
// and gives no lines.
std::vector<std::string> gammuOracle(const std::vector<std::string> &args);

// Hex of the UTF-8 bytes of text (upper case), as the oracle takes texts.
std::string utf8Hex(const std::string &text);

}  // namespace riltest
