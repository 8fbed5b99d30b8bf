// libFuzzer target: the pure reply parsers over arbitrary module lines.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "ril_parsers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string line(reinterpret_cast<const char *>(data), size);  // stops at the first NUL for the parsers
    int a = 0, b = 0;
    char text[64];
    int fields[16];
    int more = 0;
    parseCsq(line.c_str(), &a, &b);
    parseCpin(line.c_str(), text, sizeof(text));
    parseCpin(line.c_str(), text, 1);
    parseCops(line.c_str(), &a, &b, text, sizeof(text));
    parseSysinfo(line.c_str(), fields, 16);
    parseServerinfo(line.c_str(), fields, 16, &more);
    parseServerinfo(line.c_str(), fields, 0, &more);
    return 0;
}
