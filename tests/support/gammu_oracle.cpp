#include "gammu_oracle.h"

#include <stdio.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

namespace riltest {

std::vector<std::string> gammuOracle(const std::vector<std::string> &args) {
    std::string cmd = "/usr/bin/python3 '" RIL_SOURCE_DIR "/tests/oracles/gammu_sms.py'";
    for (const std::string &a : args) {
        std::string q;
        for (char c : a) q += (c == '\'') ? std::string("'\\''") : std::string(1, c);
        cmd += " '" + q + "'";
    }
    std::vector<std::string> lines;
    FILE *p = popen(cmd.c_str(), "r");
    if (p == nullptr) {
        ADD_FAILURE() << "cannot run " << cmd;
        return lines;
    }
    std::string cur;
    int c;
    while ((c = fgetc(p)) != EOF) {
        if (c == '\n') {
            lines.push_back(cur);
            cur.clear();
        } else {
            cur += static_cast<char>(c);
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    int st = pclose(p);
    if (st != 0) {
        ADD_FAILURE() << "gammu oracle failed (status " << st << "): " << cmd
                      << " (python3-gammu comes from scripts/install-deps.sh)";
        lines.clear();
    }
    return lines;
}

std::string utf8Hex(const std::string &text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string h;
    for (unsigned char c : text) {
        h += digits[c >> 4];
        h += digits[c & 15];
    }
    return h;
}

}  // namespace riltest
