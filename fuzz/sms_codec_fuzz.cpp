// Fuzz target: every codec routine on arbitrary bytes, each output buffer on
// the heap sized exactly by the routine's documented rule, so that a write
// past it is an AddressSanitizer report.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "sms_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 4096) return 0;
    std::vector<unsigned char> in(data, data + size);  // exactly the input, no slack
    int n = static_cast<int>(size);
    size_t un = size / 2;
    std::vector<unsigned short> units(un);
    if (un) memcpy(units.data(), data, un * 2);
    int nu = static_cast<int>(un);
    std::string text(reinterpret_cast<const char *>(data), size);  // NUL-terminated copy

    { std::vector<unsigned short> o(size); Utf8ToUnicode(in.data(), o.data(), n); }
    { std::vector<unsigned char> o(3 * un); UnicodeToUtf8(units.data(), o.data(), nu); }
    { std::vector<unsigned char> o(2 * un); UnicodeToGsm7bit(units.data(), o.data(), nu); }
    { std::vector<unsigned short> o(size); Gsm7bitToUnicode(in.data(), o.data(), n); }
    for (int table : {4, 8, 12, 0}) {
        std::vector<unsigned short> o(size);
        Gsm7bitToUnicodeExt(in.data(), o.data(), n, table);
    }
    { std::vector<unsigned short> o(size + 1); gsmDecode8bit(in.data(), o.data(), n); }
    { std::vector<unsigned char> o((7 * size + 7) / 8 + 1); CompressGsm7bit(in.data(), o.data(), n); }
    { std::vector<unsigned char> o(size + size / 7 + 1); UncompressGsm7bit(in.data(), o.data(), n); }
    { std::vector<char> o(2 * size + 1); BytesToHexstring(in.data(), o.data(), n); }
    { std::vector<char> o(2 * size + 1); gsmBytes2String(in.data(), o.data(), n); }
    { std::vector<unsigned char> o(size / 2); gsmString2Bytes(text.c_str(), o.data(), n); }
    {
        size_t cap = size ? data[0] % (size + 1) : 0;
        std::vector<unsigned char> o(cap);
        hexStringToBytes(text.c_str(), o.data(), static_cast<int>(cap));
    }
    { std::vector<unsigned char> o(2 * un); WidecharToByte(units.data(), o.data(), nu); }
    { std::vector<unsigned short> o(size / 2); BytesToWidechar(in.data(), o.data(), n); }
    for (unsigned short u : units) GSM_7BitAlphabet(u);
    StrToUpper(&text[0]);
    return 0;
}
