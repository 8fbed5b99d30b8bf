// Fuzz target: arbitrary bytes through the Intel HEX reader of the firmware
// download, and through the cutting of module answers into frames.
//
// Byte 0 picks the reader (even: HEX text, odd: answer bytes, fed in pieces
// of a size taken from byte 1); the rest is the input. An accepted HEX file
// must hold no more data than its text can carry, and written back as
// records it must read back the same.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "download.h"

namespace {

std::string writeBack(const ril_download::HexImage &img) {
    std::string out;
    char line[80];
    uint32_t upper = 0xFFFFFFFF;
    for (size_t off = 0; off < img.data.size();) {
        uint32_t at = img.address + static_cast<uint32_t>(off);
        if ((at >> 16) != upper) {
            upper = at >> 16;
            unsigned sum = 2 + 4 + (upper >> 8) + (upper & 0xFF);
            snprintf(line, sizeof line, ":02000004%04X%02X\n", upper, (0x100 - (sum & 0xFF)) & 0xFF);
            out += line;
        }
        size_t n = img.data.size() - off;
        if (n > 16) n = 16;
        size_t room = 0x10000 - (at & 0xFFFF);
        if (n > room) n = room;
        unsigned sum = static_cast<unsigned>(n) + ((at >> 8) & 0xFF) + (at & 0xFF);
        snprintf(line, sizeof line, ":%02X%04X00", static_cast<unsigned>(n), at & 0xFFFF);
        out += line;
        for (size_t i = 0; i < n; i++) {
            snprintf(line, sizeof line, "%02X", img.data[off + i]);
            out += line;
            sum += img.data[off + i];
        }
        snprintf(line, sizeof line, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
        out += line;
        off += n;
    }
    return out + ":00000001FF\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2) return 0;
    const char *text = reinterpret_cast<const char *>(data + 2);
    size_t len = size - 2;
    if ((data[0] & 1) == 0) {
        ril_download::HexImage img;
        std::string why;
        if (ril_download::ParseIntelHex(text, len, &img, &why)) {
            if (img.data.size() > len / 2) abort();
            std::string again = writeBack(img);
            ril_download::HexImage back;
            if (!ril_download::ParseIntelHex(again.data(), again.size(), &back, &why)) abort();
            if (back.address != img.address || back.data != img.data) abort();
        } else if (why.empty()) {
            abort();
        }
    } else {
        std::vector<unsigned char> pending;
        std::vector<ril_download::AnswerFrame> frames;
        size_t piece = data[1] % 64 + 1;
        for (size_t off = 0; off < len; off += piece) {
            size_t n = len - off < piece ? len - off : piece;
            ril_download::SplitAnswerFrames(&pending, reinterpret_cast<const unsigned char *>(text + off), n, &frames);
        }
        if (pending.size() > len) abort();
        for (const auto &f : frames)
            if (f.body.size() > len) abort();
    }
    return 0;
}
