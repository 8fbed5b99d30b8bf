// Character set and PDU codecs. Every routine stays within the buffer rule
// written beside it in sms_codec.h, whatever the input bytes.
#include "sms_codec.h"

#include <string.h>

#include <array>

namespace {

using Table = std::array<unsigned short, 128>;

constexpr unsigned short kUnused = 0xFFFF;
constexpr unsigned char kEscape = 27;

// GSM 7-bit default alphabet; position 27 is the escape to the extension table.
constexpr Table kDefault = {
    0x0040, 0x00A3, 0x0024, 0x00A5, 0x00E8, 0x00E9, 0x00F9, 0x00EC,  // 0
    0x00F2, 0x00C7, 0x000A, 0x00D8, 0x00F8, 0x000D, 0x00C5, 0x00E5,  // 8
    0x0394, 0x005F, 0x03A6, 0x0393, 0x039B, 0x03A9, 0x03A0, 0x03A8,  // 16
    0x03A3, 0x0398, 0x039E, 0x001B, 0x00C6, 0x00E6, 0x00DF, 0x00C9,  // 24
    0x0020, 0x0021, 0x0022, 0x0023, 0x00A4, 0x0025, 0x0026, 0x0027,  // 32
    0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,  // 40
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,  // 48
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,  // 56
    0x00A1, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,  // 64
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,  // 72
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,  // 80
    0x0058, 0x0059, 0x005A, 0x00C4, 0x00D6, 0x00D1, 0x00DC, 0x00A7,  // 88
    0x00BF, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,  // 96
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,  // 104
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,  // 112
    0x0078, 0x0079, 0x007A, 0x00E4, 0x00F6, 0x00F1, 0x00FC, 0x00E0,  // 120
};

struct Entry {
    unsigned char pos;
    unsigned short unit;
};

// The extension pairs, in this order; the last pair ends the list.
constexpr Entry kExtensionPairs[12] = {
    {10, 0x0020}, {20, 0x005E}, {27, 0x000A},  {40, 0x007B}, {41, 0x007D},  {47, 0x005C},
    {60, 0x005B}, {61, 0x007E}, {62, 0x005D},  {64, 0x007C}, {101, 0x20AC}, {0xFF, 0xFFFF},
};

template <size_t N>
constexpr Table patched(const Table &base, const Entry (&rows)[N]) {
    Table t = base;
    for (size_t i = 0; i < N; i++)
        if (rows[i].pos < 128) t[rows[i].pos] = rows[i].unit;
    return t;
}

constexpr Table unusedTable() {
    Table t{};
    for (auto &u : t) u = kUnused;
    return t;
}

constexpr Table kDefaultExt = patched(unusedTable(), kExtensionPairs);

constexpr Entry kSpanishExt[] = {
    {9, 0x00E7},  {10, 0x000A}, {20, 0x005E}, {27, 0x0020}, {40, 0x007B},
    {41, 0x007D}, {47, 0x005C}, {60, 0x005B}, {61, 0x007E}, {62, 0x005D},
    {64, 0x007C}, {65, 0x00C1}, {73, 0x00CD}, {79, 0x00D3}, {85, 0x00DA},
    {97, 0x00E1}, {101, 0x20AC}, {105, 0x00ED}, {111, 0x00F3}, {117, 0x00FA},
};

constexpr Entry kPortugueseMain[] = {
    {4, 0x00EA},   {6, 0x00FA},   {7, 0x00ED},   {8, 0x00F3},   {9, 0x00E7},   {11, 0x00D4},
    {12, 0x00F4},  {14, 0x00C1},  {15, 0x00E1},  {18, 0x00AA},  {19, 0x00C7},  {20, 0x00C0},
    {21, 0x221E},  {22, 0x005E},  {23, 0x005C},  {24, 0x20AC},  {25, 0x00D3},  {26, 0x007C},
    {28, 0x00C2},  {29, 0x00E2},  {30, 0x00CA},  {36, 0x00BA},  {64, 0x00CD},  {96, 0x007E},
    {123, 0x00E3}, {124, 0x00F5}, {125, 0x0060},
};

constexpr Entry kPortugueseExt[] = {
    {5, 0x00EA},   {9, 0x00E7},   {10, 0x000A},  {11, 0x00D4},  {12, 0x00F4},  {14, 0x00C1},
    {15, 0x00E1},  {18, 0x03A6},  {19, 0x0393},  {20, 0x005E},  {21, 0x03A9},  {22, 0x03A0},
    {23, 0x03A8},  {24, 0x03A3},  {25, 0x0398},  {27, 0x0020},  {31, 0x00CA},  {40, 0x007B},
    {41, 0x007D},  {47, 0x005C},  {60, 0x005B},  {61, 0x007E},  {62, 0x005D},  {64, 0x007C},
    {65, 0x00C0},  {73, 0x00CD},  {79, 0x00D3},  {85, 0x00DA},  {91, 0x00C3},  {92, 0x00D5},
    {97, 0x00C2},  {101, 0x20AC}, {105, 0x00ED}, {111, 0x00F3}, {117, 0x00FA}, {123, 0x00E3},
    {124, 0x00F5}, {127, 0x00E2},
};

constexpr Entry kTurkishMain[] = {
    {4, 0x20AC},  {7, 0x0131},  {11, 0x011E}, {12, 0x011F},
    {28, 0x015E}, {29, 0x015F}, {64, 0x0130}, {96, 0x00E7},
};

constexpr Entry kTurkishExt[] = {
    {10, 0x000A}, {13, 0x001D},  {20, 0x005E},  {27, 0x0020},  {40, 0x007B},
    {41, 0x007D}, {47, 0x005C},  {60, 0x005B},  {61, 0x007E},  {62, 0x005D},
    {64, 0x007C}, {71, 0x011E},  {73, 0x0130},  {83, 0x015E},  {99, 0x00E7},
    {101, 0x20AC}, {103, 0x011F}, {105, 0x0131}, {115, 0x015F},
};

constexpr Table kSpanishExtTable = patched(unusedTable(), kSpanishExt);
constexpr Table kPortugueseMainTable = patched(kDefault, kPortugueseMain);
constexpr Table kPortugueseExtTable = patched(unusedTable(), kPortugueseExt);
constexpr Table kTurkishMainTable = patched(kDefault, kTurkishMain);
constexpr Table kTurkishExtTable = patched(unusedTable(), kTurkishExt);

const char kHexDigits[] = "0123456789ABCDEF";

int decodeSeptets(const unsigned char *in, unsigned short *out, int count, const Table &main,
                  const Table &ext) {
    if (in == nullptr || out == nullptr || count <= 0) return 0;
    int n = 0;
    for (int i = 0; i < count; i++) {
        unsigned char c = in[i];
        unsigned short u = kUnused;
        if (c == kEscape) {
            // the escape and its position are one character; a trailing
            // escape has no position to read
            if (i + 1 < count) {
                unsigned char pos = in[++i];
                if (pos < 128) u = ext[pos];
            }
        } else if (c < 128) {
            u = main[c];
        }
        out[n++] = (u == kUnused) ? 0x0020 : u;
    }
    return n;
}

}  // namespace

extern "C" {

int hexCharToInt(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;
}

int hexStringToBytes(const char *hex, unsigned char *out, int capacity) {
    if (hex == nullptr) return -1;
    size_t len = strlen(hex);
    for (size_t i = 0; i < len; i += 2) {
        if (out == nullptr || capacity < 0 || i / 2 >= static_cast<size_t>(capacity)) return -1;
        // an odd length leaves the terminating NUL as the last low digit
        out[i / 2] = static_cast<unsigned char>(hexCharToInt(hex[i]) * 16 + hexCharToInt(hex[i + 1]));
    }
    return static_cast<int>((len + 1) / 2);
}

int BytesToHexstring(const unsigned char *bytes, char *out, int count) {
    if (out == nullptr) return 0;
    if (bytes == nullptr || count < 0) count = 0;
    for (int i = 0; i < count; i++) {
        out[2 * i] = kHexDigits[bytes[i] >> 4];
        out[2 * i + 1] = kHexDigits[bytes[i] & 0x0F];
    }
    out[2 * count] = '\0';
    return 2 * count;
}

int gsmBytes2String(const unsigned char *bytes, char *out, int count) {
    return BytesToHexstring(bytes, out, count);
}

int gsmString2Bytes(const char *hex, unsigned char *out, int count) {
    if (hex == nullptr || out == nullptr || count <= 0) return 0;
    auto digit = [](char c) { return (c >= '0' && c <= '9') ? c - '0' : c - 55; };
    for (int i = 0; i + 1 < count; i += 2)
        out[i / 2] = static_cast<unsigned char>(digit(hex[i]) * 16 + digit(hex[i + 1]));
    return count / 2;
}

int Utf8ToUnicode(const unsigned char *in, unsigned short *out, int count) {
    if (in == nullptr || out == nullptr || count <= 0) return 0;
    auto isCont = [&](int at) { return at < count && (in[at] & 0xC0) == 0x80; };
    int n = 0;
    int pos = 0;
    for (int step = 0; step < count && pos < count; step++) {
        unsigned char b = in[pos];
        if (b < 0x80) {
            out[n++] = b;
            pos += 1;
        } else if ((b & 0xE0) == 0xC0) {
            unsigned short u = static_cast<unsigned short>((b & 0x1F) << 6);
            if (isCont(pos + 1)) {
                u = static_cast<unsigned short>(u | (in[pos + 1] & 0x3F));
                pos += 2;
            } else {
                pos += 1;
            }
            out[n++] = u;
        } else if ((b & 0xF0) == 0xE0) {
            unsigned short u = static_cast<unsigned short>(b << 12);
            pos += 1;
            if (isCont(pos)) {
                u = static_cast<unsigned short>(u | ((in[pos] & 0x3F) << 6));
                pos += 1;
                if (isCont(pos)) {
                    u = static_cast<unsigned short>(u | (in[pos] & 0x3F));
                    pos += 1;
                }
            }
            out[n++] = u;
        } else {
            break;  // a stray continuation byte or a four-byte lead: nothing more
        }
    }
    return n;
}

int UnicodeToUtf8(const unsigned short *units, unsigned char *out, int count) {
    if (units == nullptr || out == nullptr || count <= 0) return 0;
    int n = 0;
    for (int i = 0; i < count; i++) {
        unsigned short u = units[i];
        if (u < 0x80) {
            out[n++] = static_cast<unsigned char>(u);
        } else if (u < 0x800) {
            out[n++] = static_cast<unsigned char>(0xC0 | (u >> 6));
            out[n++] = static_cast<unsigned char>(0x80 | (u & 0x3F));
        } else {
            out[n++] = static_cast<unsigned char>(0xE0 | (u >> 12));
            out[n++] = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
            out[n++] = static_cast<unsigned char>(0x80 | (u & 0x3F));
        }
    }
    return n;
}

int GSM_7BitAlphabet(unsigned short unit) {
    for (unsigned short u : kDefault)
        if (u == unit) return 1;
    for (const Entry &e : kExtensionPairs)
        if (e.unit == unit) return 1;
    return 0;
}

int UnicodeToGsm7bit(const unsigned short *units, unsigned char *out, int count) {
    if (units == nullptr || out == nullptr || count <= 0) return 0;
    int n = 0;
    for (int i = 0; i < count; i++) {
        bool done = false;
        for (int j = 0; j < 128 && !done; j++)
            if (kDefault[j] == units[i]) {
                out[n++] = static_cast<unsigned char>(j);
                done = true;
            }
        for (int k = 0; k < 128 && !done; k++)
            if (kDefaultExt[k] == units[i]) {
                out[n++] = kEscape;
                out[n++] = static_cast<unsigned char>(k);
                done = true;
            }
    }
    return n;
}

int Gsm7bitToUnicode(const unsigned char *septets, unsigned short *out, int count) {
    return decodeSeptets(septets, out, count, kDefault, kDefaultExt);
}

int Gsm7bitToUnicodeExt(const unsigned char *septets, unsigned short *out, int count, int table) {
    switch (table) {
    case 4: return decodeSeptets(septets, out, count, kDefault, kSpanishExtTable);
    case 8: return decodeSeptets(septets, out, count, kPortugueseMainTable, kPortugueseExtTable);
    case 12: return decodeSeptets(septets, out, count, kTurkishMainTable, kTurkishExtTable);
    default: return decodeSeptets(septets, out, count, kDefault, kDefaultExt);
    }
}

int gsmDecode8bit(const unsigned char *bytes, unsigned short *out, int count) {
    if (bytes == nullptr || out == nullptr) return 0;
    if (count < 0) count = 0;
    for (int i = 0; i < count; i++) out[i] = bytes[i];
    out[count] = 0;
    return count;
}

int CompressGsm7bit(const unsigned char *septets, unsigned char *out, int count) {
    if (septets == nullptr || out == nullptr || count <= 0) return 0;
    int n = 0;
    unsigned carry = 0;
    for (int i = 0; i < count; i++) {
        unsigned s = septets[i] & 0x7Fu;
        int r = i % 8;
        if (r == 0) {
            carry = s;
        } else {
            out[n++] = static_cast<unsigned char>((carry | (s << (8 - r))) & 0xFF);
            carry = s >> r;
        }
    }
    if (count % 8 != 0) {
        // seven septets leave seven free bits: CR, so no '@' is read there
        out[n++] = static_cast<unsigned char>(count % 8 == 7 ? ((carry & 1) | 0x1A) : carry);
    } else if ((septets[count - 1] & 0x7F) == 13) {
        out[n++] = 13;
    }
    return n;
}

int UncompressGsm7bit(const unsigned char *octets, unsigned char *out, int count) {
    if (octets == nullptr || out == nullptr || count <= 0) return 0;
    int n = 0;
    int shift = 0;
    unsigned carry = 0;
    for (int i = 0; i < count; i++) {
        unsigned o = octets[i];
        out[n++] = static_cast<unsigned char>((carry | (o << shift)) & 0x7F);
        carry = o >> (7 - shift);
        if (shift == 6) {
            out[n++] = static_cast<unsigned char>(carry & 0x7F);
            carry = 0;
            shift = 0;
        } else {
            shift++;
        }
    }
    out[n] = '\0';
    return n;
}

int WidecharToByte(const unsigned short *units, unsigned char *out, int count) {
    if (units == nullptr || out == nullptr || count <= 0) return 0;
    for (int i = 0; i < count; i++) {
        out[2 * i] = static_cast<unsigned char>(units[i] >> 8);
        out[2 * i + 1] = static_cast<unsigned char>(units[i] & 0xFF);
    }
    return 2 * count;
}

int BytesToWidechar(const unsigned char *bytes, unsigned short *out, int count) {
    if (bytes == nullptr || out == nullptr || count <= 0) return 0;
    for (int i = 0; i + 1 < count; i += 2)
        out[i / 2] = static_cast<unsigned short>((bytes[i] << 8) | bytes[i + 1]);
    return count / 2;
}

char *StrToUpper(char *text) {
    if (text == nullptr) return nullptr;
    for (char *p = text; *p != '\0'; p++)
        if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
    return text;
}

}  // extern "C"
