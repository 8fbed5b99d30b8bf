// Benchmark: the SMS codec routines on a corpus of messages beside the same
// work done by gammu (libGammu), the independent codec, in one run.
//
// Per message, both sides: UTF-8 text to a SUBMIT's packed user data (GSM
// 7-bit default alphabet, or UCS-2 when a character has no 7-bit code) and a
// DELIVER's user data back to UTF-8 text. Prints messages per second of each
// and their ratio (above 1: ours is faster).
#include <stdio.h>
#include <string.h>

#include <chrono>
#include <string>
#include <vector>

#include <gammu.h>

#include "sms_codec.h"

namespace {

const std::vector<std::string> kCorpus = {
    "hello",
    "Meeting moved to 15:30, room 4B. Bring the slides {v2} and the [draft] budget ~ 5\xE2\x82\xAC",
    "Ok",
    std::string(160, 'x'),
    "\xC3\x85ngstr\xC3\xB6m \xC3\x9C" "ber \xC3\x91" "and\xC3\xBA \xC3\xA9t\xC3\xA9 \xCE\xA9\xCE\xA3\xCE\x94",
    "\xE4\xBD\xA0\xE5\xA5\xBD\xEF\xBC\x8C\xE6\x98\x8E\xE5\xA4\xA9\xE8\xA7\x81",  // UCS-2
    "Your code is 482913. It expires in 10 minutes.",
    "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD0\xBA\xD0\xB0\xD0\xBA \xD0\xB4\xD0\xB5\xD0\xBB\xD0\xB0?",
};

// ours: text -> user data -> text
size_t ours(const std::string &text) {
    unsigned short units[512];
    unsigned char septets[1024], packed[1024], unpacked[1200];
    unsigned short back[1200];
    unsigned char utf[3600];
    int nu = Utf8ToUnicode(reinterpret_cast<const unsigned char *>(text.data()), units, static_cast<int>(text.size()));
    bool gsm = true;
    for (int i = 0; i < nu; i++) gsm = gsm && GSM_7BitAlphabet(units[i]);
    int nb;
    if (gsm) {
        int ns = UnicodeToGsm7bit(units, septets, nu);
        int no = CompressGsm7bit(septets, packed, ns);
        int nsep = UncompressGsm7bit(packed, unpacked, no);
        int n = Gsm7bitToUnicode(unpacked, back, ns < nsep ? ns : nsep);
        nb = UnicodeToUtf8(back, utf, n);
    } else {
        int no = WidecharToByte(units, packed, nu);
        int n = BytesToWidechar(packed, back, no);
        nb = UnicodeToUtf8(back, utf, n);
    }
    return static_cast<size_t>(nb);
}

// gammu: the same through its SMS frame encoder and decoder
size_t theirs(const std::string &text) {
    GSM_SMSMessage sms;
    GSM_SetDefaultSMSData(&sms);
    sms.PDU = SMS_Submit;
    EncodeUnicode(sms.Number, "+8613800138000", 14);
    DecodeUTF8(sms.Text, text.c_str(), text.size());
    sms.Coding = SMS_Coding_Default_No_Compression;
    for (size_t i = 0; i < UnicodeLength(sms.Text) && sms.Coding == SMS_Coding_Default_No_Compression; i++) {
        unsigned short u = static_cast<unsigned short>(sms.Text[2 * i] << 8 | sms.Text[2 * i + 1]);
        if (!GSM_7BitAlphabet(u)) sms.Coding = SMS_Coding_Unicode_No_Compression;
    }
    unsigned char frame[512];
    int length = 0;
    if (GSM_EncodeSMSFrame(GSM_GetGlobalDebug(), &sms, frame, PHONE_SMSSubmit, &length, TRUE) != ERR_NONE) return 0;
    GSM_SMSMessage back;
    GSM_SetDefaultSMSData(&back);
    if (GSM_DecodeSMSFrame(GSM_GetGlobalDebug(), &back, frame, PHONE_SMSSubmit) != ERR_NONE) return 0;
    char utf[3600];
    EncodeUTF8(utf, back.Text);
    return strlen(utf);
}

template <typename F>
double rate(F f, int rounds, size_t *sink) {
    auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < rounds; r++)
        for (const std::string &t : kCorpus) *sink += f(t);
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return static_cast<double>(rounds) * static_cast<double>(kCorpus.size()) / s;
}

}  // namespace

int main(int argc, char **argv) {
    int rounds = argc > 1 ? atoi(argv[1]) : 20000;
    size_t sink = 0;
    // both must agree on what they produce before their speed means anything
    for (const std::string &t : kCorpus) {
        size_t a = ours(t), b = theirs(t);
        if (a != b) fprintf(stderr, "sms_codec_bench: lengths differ (%zu, %zu) for \"%s\"\n", a, b, t.c_str());
    }
    rate(ours, rounds / 10, &sink);  // warm-up
    double o = rate(ours, rounds, &sink);
    double g = rate(theirs, rounds, &sink);
    printf("sms codec: ours %.0f messages/s, gammu %.0f messages/s, ratio %.2f (%d rounds of %zu messages, %zu)\n", o,
           g, o / g, rounds, kCorpus.size(), sink % 10);
    return 0;
}
