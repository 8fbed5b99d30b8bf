// The download routines one by one against a raw pseudo-terminal peer:
// CRC-16/X-25 and the frame rule against crcmod, the fixed frames, the
// programmer frames of Intel HEX files written by intelhex, image blocks and
// header files, and every refusal (bad HEX files, oversize inputs, silent
// or refusing modules), each with nothing sent where nothing may be sent.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>

#include "download.h"
#include "firmware_support.h"

using fwtest::python;

namespace {

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("RIL_SYSROOT");
        setenv("RIL_LOG", root.at("/ril.log").c_str(), 1);
        setenv("RIL_PROPERTY_DIR", root.at("/properties").c_str(), 1);
        // generous answer polls: the machine is shared and slow
        g_download_answer_wait_ms = 100;
    }
    void TearDown() override { closeport(); }
    void open() { ASSERT_EQ(openport_path(peer.slave().c_str()), 0); }
    std::string file(const std::string &name, const std::string &content) {
        root.writeFile("/" + name, content);
        return root.at("/" + name);
    }

    riltest::TempRoot root;
    fwtest::RawPeer peer;
};

std::string bytesOf(const unsigned char *p, int n) { return std::string(reinterpret_cast<const char *>(p), n); }

TEST(DownloadCodec, CrcAgreesWithCrcmodOnEveryVector) {
    // spec'd check values, every single byte, and longer runs
    std::vector<std::string> inputs = {"123456789", std::string(1, '\x3a'), std::string(1, '\x06'),
                                       std::string(1, '\x02'), "", std::string(1000, '\x7e')};
    for (int b = 0; b < 256; ++b) inputs.push_back(std::string(1, static_cast<char>(b)));
    unsigned seed = 99;
    for (int n = 2; n < 300; n += 7) {
        std::string s;
        for (int i = 0; i < n; ++i) s += static_cast<char>(rand_r(&seed) & 0xFF);
        inputs.push_back(s);
    }
    std::string script = "for h in sys.stdin.read().split():\n"
                         "    print('%04x' % x25(binascii.unhexlify(h[1:])))\n";
    std::string stdinText;
    for (const auto &s : inputs) stdinText += "x" + fwtest::hexOf(s) + "\n";
    riltest::TempRoot tmp;
    tmp.writeFile("/in", stdinText);
    bool ok = false;
    std::string out = python("sys.stdin = open('" + tmp.at("/in") + "')\n" + script, &ok);
    ASSERT_TRUE(ok) << out;
    std::istringstream lines(out);
    for (const auto &s : inputs) {
        std::string want;
        ASSERT_TRUE(std::getline(lines, want));
        char got[8];
        snprintf(got, sizeof got, "%04x",
                 crc_update(reinterpret_cast<const unsigned char *>(s.data()), static_cast<int>(s.size())));
        EXPECT_EQ(want, got) << "input " << fwtest::hexOf(s).substr(0, 40);
    }
    EXPECT_EQ(crc_update(reinterpret_cast<const unsigned char *>("123456789"), 9), 0x906E);
    const unsigned char colon = 0x3A;
    EXPECT_EQ(crc_update(&colon, 1), 0x6EA1);
}

TEST(DownloadCodec, FixedFramesAreTheOraclesFrames) {
    bool ok = false;
    std::string out = python("print(hx(frame(b'\\x3a', False)))\nprint(hx(frame(b'\\x06')))\nprint(hx(frame(b'\\x02')))\n",
                             &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(out, "3aa16e7e\n7e064e957e\n7e026ad37e\n");
}

TEST(DownloadCodec, ConvertFindEscapesBodyAndCheckOnly) {
    struct Case {
        std::string frame;  // frame[0] and n bytes
        std::string want;
    } cases[] = {
        {"\x7e\x01\x02", "\x7e\x01\x02\x7e"},
        {"\x7e\x7e\x7d\x5e", "\x7e\x7d\x5e\x7d\x5d\x5e\x7e"},
        {"\x7d\x7d", "\x7d\x7d\x5d\x7e"},  // the first byte is copied as it is
        {"\x7e", "\x7e\x7e"},
    };
    for (const Case &c : cases) {
        unsigned char out[64];
        memset(out, 0xAA, sizeof out);
        int n = convert_find(out, reinterpret_cast<const unsigned char *>(c.frame.data()),
                             static_cast<int>(c.frame.size()) - 1);
        EXPECT_EQ(bytesOf(out, n), c.want) << fwtest::hexOf(c.frame);
        EXPECT_EQ(n, static_cast<int>(c.want.size()));
        EXPECT_EQ(out[n], 0) << "terminating 0 byte";
    }
    unsigned char out[4];
    EXPECT_EQ(convert_find(out, reinterpret_cast<const unsigned char *>("\x7e"), -1), -1);
}

TEST(DownloadCodec, MemstrIsBounded) {
    struct Case {
        std::string data, pattern;
        int want;
    } cases[] = {
        {"xxOK", "OK", 0}, {"OKxx", "OK", 0}, {"xxO", "OK", -1}, {"O", "OK", -1}, {"", "OK", -1},
        {std::string("\0OK", 3), "OK", 0}, {"abc", "", -1}, {"\x7e\x02\x6a\xd3\x7e", "\x7e", 0},
    };
    for (const Case &c : cases) {
        // a copy without a terminator, so a string search would run off it
        std::vector<unsigned char> data(c.data.begin(), c.data.end());
        EXPECT_EQ(memstr(data.data(), static_cast<int>(data.size()),
                         reinterpret_cast<const unsigned char *>(c.pattern.data()),
                         static_cast<int>(c.pattern.size())),
                  c.want)
            << c.data;
    }
}

TEST(DownloadCodec, DebugPrintsSixteenBytesALineThenTheTitle) {
    std::string bytes;
    for (int i = 0; i < 18; ++i) bytes += static_cast<char>(0x70 + i);
    std::string out = fwtest::captureStdout([&] {
        debug("ack", reinterpret_cast<const unsigned char *>(bytes.data()), 18, 3);
    });
    EXPECT_EQ(out,
              "70 71 72 73 74 75 76 77 78 79 7a 7b 7c 7d 7e 7f\n"
              "80 81\n"
              "[ack:18 3]\n");
}

TEST_F(DownloadTest, DownloadModeAndStartRequestsOnTheWire) {
    open();
    EXPECT_EQ(setdownloadmode(), 4);
    EXPECT_EQ(setbegindown(), 5);
    std::string want;
    for (int i = 0; i < 7; ++i) want += std::string("\x3a\xa1\x6e\x7e", 4);
    want += std::string("\x7e\x06\x4e\x95\x7e", 5);
    ASSERT_TRUE(peer.waitBytes(want.size(), std::chrono::seconds(10)));
    EXPECT_EQ(fwtest::hexOf(peer.received()), fwtest::hexOf(want));
}

TEST_F(DownloadTest, SendSyncCmdSendsRetriesPlusOneTimesWithoutAnAnswer) {
    open();
    const unsigned char frame[] = {0x7e, 0x06, 0x4e, 0x95, 0x7e};
    const unsigned char ack[] = {0x7e, 0x02, 0x6a, 0xd3, 0x7e};
    g_download_answer_wait_ms = 5;
    EXPECT_NE(SendSyncCmd(frame, 5, ack, 5, 3), 0);
    EXPECT_EQ(peer.received(), std::string(reinterpret_cast<const char *>(frame), 5) + std::string(
                                   reinterpret_cast<const char *>(frame), 5) + std::string(
                                   reinterpret_cast<const char *>(frame), 5) + std::string(
                                   reinterpret_cast<const char *>(frame), 5));
    peer.clear();
    peer.answerFrames(fwtest::ackFrame());
    g_download_answer_wait_ms = 100;
    EXPECT_EQ(SendSyncCmd(frame, 5, ack, 5, 3), 0);
    EXPECT_EQ(peer.received().size(), 5u);
}

TEST_F(DownloadTest, ATtestFindsOkAndSearchesOnlyWhatWasRead) {
    open();
    setenv("RIL_TIME_SCALE", "50", 1);
    peer.answerAnything("\r\nOK\r\n");
    EXPECT_EQ(ATtest(), 0);
    EXPECT_EQ(peer.received().substr(0, 3), "AT\r");
    // 128 bytes and more without an "OK" and without a terminator
    peer.answerAnything(std::string(300, 'O'));
    EXPECT_EQ(ATtest(), -1);
    peer.answerAnything("");
    EXPECT_EQ(ATtest(), -1);
    unsetenv("RIL_TIME_SCALE");
}

// intelhex writes the programmer files; the oracle gives the frames
struct HexFixture {
    std::string dir;
    std::map<std::string, std::string> files;  // variant -> path
    std::string frames;                        // expected wire bytes of the good file
    std::string data;                          // its data bytes
};

HexFixture makeHexFiles(const std::string &dir, int size, unsigned address) {
    char head[160];
    snprintf(head, sizeof head, "D = '%s'\nSIZE = %d\nADDR = 0x%X\n", dir.c_str(), size, address);
    std::string script = std::string(head) + R"PY(
import random, io
from intelhex import IntelHex
random.seed(2034)
data = bytes(random.randrange(256) for _ in range(SIZE))
ih = IntelHex()
ih.frombytes(data, offset=ADDR)
buf = io.StringIO(); ih.write_hex_file(buf, byte_count=32); lf = buf.getvalue()
assert '\r' not in lf
def put(name, text):
    open(D + '/' + name + '.hex', 'w', newline='').write(text)
put('lf', lf)
put('crlf', lf.replace('\n', '\r\n'))
put('lower', lf.lower())
put('noeol', lf.rstrip('\n'))
lines = lf.splitlines()
# a data record that carries one byte less than its count says, checksum right
rec = bytearray(binascii.unhexlify(lines[2][1:]))
short = rec[:-2] + bytes([(-sum(rec[:-2])) & 0xff])
put('short', '\n'.join(lines[:2] + [':' + hx(bytes(short)).upper()] + lines[3:]) + '\n')
bad = lines[3][:-1] + ('0' if lines[3][-1] != '0' else '1')
put('checksum', '\n'.join(lines[:3] + [bad] + lines[4:]) + '\n')
put('nothex', '\n'.join(lines[:2] + [lines[2][:12] + 'G' + lines[2][13:]] + lines[3:]) + '\n')
put('noeof', '\n'.join(lines[:-1]) + '\n')
put('aftereof', lf + ':00000001FF\n')
put('cronly', lf.replace('\n', '\r'))
put('blank', '\n'.join(lines[:3] + [''] + lines[3:]) + '\n')
put('empty', '')
put('long', '\n'.join(lines[:2] + [':' + 'F' * 600] + lines[2:]) + '\n')
put('type', '\n'.join(lines[:2] + [':00000006FA'] + lines[2:]) + '\n')
gap = IntelHex(); gap.frombytes(data[:100], offset=ADDR); gap.frombytes(data[200:], offset=ADDR + 200)
buf = io.StringIO(); gap.write_hex_file(buf); put('gap', buf.getvalue())
# records out of order: the same data, the second record first
put('order', '\n'.join(lines[:1] + [lines[2], lines[1]] + lines[3:]) + '\n')
out = b''
for k in range(0, SIZE, 1017):
    chunk = data[k:k + 1017]
    a = ADDR + k
    out += frame(bytes([0x0f, a >> 24 & 255, a >> 16 & 255, a >> 8 & 255, a & 255, len(chunk) >> 8, len(chunk) & 255]) + chunk)
print(hx(out))
print(hx(data))
)PY";
    bool ok = false;
    std::string out = python(script, &ok);
    HexFixture f;
    f.dir = dir;
    if (!ok) return f;
    std::istringstream lines(out);
    std::string framesHex, dataHex;
    std::getline(lines, framesHex);
    std::getline(lines, dataHex);
    f.frames = fwtest::bytesOfHex(framesHex);
    f.data = fwtest::bytesOfHex(dataHex);
    for (const char *v : {"lf", "crlf", "lower", "noeol", "short", "checksum", "nothex", "noeof", "aftereof",
                          "cronly", "blank", "empty", "type", "gap", "order", "long"})
        f.files[v] = dir + "/" + v + ".hex";
    return f;
}

TEST_F(DownloadTest, ProgrammerOfTwoPacketsGoesToItsAddressesWithEveryLineEnd) {
    HexFixture hex = makeHexFiles(root.path(), 2034, 0x100000);
    ASSERT_FALSE(hex.frames.empty());
    open();
    peer.answerFrames(fwtest::ackFrame());
    for (const char *variant : {"lf", "crlf", "lower", "noeol"}) {
        peer.clear();
        std::string out = fwtest::captureStdout([&] { EXPECT_EQ(writehex_path(hex.files[variant].c_str()), 0); });
        // exactly two packets, at 0x100000 and 0x1003F9
        EXPECT_EQ(fwtest::hexOf(peer.received()), fwtest::hexOf(hex.frames)) << variant;
        EXPECT_NE(out.find("NPRG6270.hex->pass length="), std::string::npos) << out;
        EXPECT_NE(out.find("current=1017 percent100%"), std::string::npos) << out;
    }
    std::string body = hex.frames.substr(1, 5);
    EXPECT_EQ(fwtest::hexOf(body), "0f00100000");
}

TEST_F(DownloadTest, WritehexOpensTheProgrammerOfTheWorkingDirectory) {
    HexFixture hex = makeHexFiles(root.path(), 100, 0x100000);
    ASSERT_FALSE(hex.frames.empty());
    open();
    peer.answerFrames(fwtest::ackFrame());
    char cwd[1024];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(root.path().c_str()), 0);
    std::string out = fwtest::captureStdout([&] { EXPECT_EQ(writehex(), -1); });
    EXPECT_NE(out.find("Open HexFile Error!"), std::string::npos);
    ASSERT_EQ(rename(hex.files["lf"].c_str(), root.at("/NPRG6270.hex").c_str()), 0);
    EXPECT_EQ(writehex(), 0);
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_EQ(peer.received(), hex.frames);
}

TEST_F(DownloadTest, BrokenProgrammerFilesAreRefusedWholeWithNothingSent) {
    HexFixture hex = makeHexFiles(root.path(), 2034, 0x100000);
    ASSERT_FALSE(hex.frames.empty());
    open();
    peer.answerFrames(fwtest::ackFrame());
    struct Case {
        const char *variant;
        const char *reason;
    } cases[] = {
        {"short", "byte count"}, {"checksum", "checksum"}, {"nothex", "hex digit"},
        {"noeof", "end-of-file"}, {"aftereof", "after the end-of-file"}, {"cronly", ""},
        {"blank", "empty line"}, {"empty", ""}, {"type", "record type"}, {"gap", "gap"},
        {"order", "back"}, {"long", "too long"},
    };
    for (const Case &c : cases) {
        std::string out = fwtest::captureStdout([&] { EXPECT_EQ(writehex_path(hex.files[c.variant].c_str()), -1); });
        EXPECT_NE(out.find("nothing sent"), std::string::npos) << c.variant << ": " << out;
        EXPECT_NE(out.find(c.reason), std::string::npos) << c.variant << ": " << out;
        EXPECT_EQ(peer.received(), "") << c.variant;
    }
}

TEST_F(DownloadTest, ProgrammerStopsAtTheFirstUnansweredPacketAfterFourSends) {
    HexFixture hex = makeHexFiles(root.path(), 2034, 0x100000);
    ASSERT_FALSE(hex.frames.empty());
    open();
    g_download_answer_wait_ms = 5;
    std::string out = fwtest::captureStdout([&] { EXPECT_EQ(writehex_path(hex.files["lf"].c_str()), -1); });
    EXPECT_NE(out.find("SendSyncCmd()->1 failure"), std::string::npos) << out;
    std::string first = hex.frames.substr(0, hex.frames.find('\x7e', 1) + 1);
    EXPECT_EQ(peer.received(), first + first + first + first);
}

// the oracle's image block frames of a file
std::string imageFrames(const std::string &path) {
    bool ok = false;
    std::string out = python("data = open('" + path + "', 'rb').read()\nout = b''\n"
                             "for i in range(0, len(data), 1024):\n"
                             "    out += frame(bytes([7]) + i.to_bytes(4, 'little') + data[i:i + 1024])\n"
                             "print(hx(out))\n",
                             &ok);
    return ok ? fwtest::bytesOfHex(fwtest::trim(out)) : "";
}

std::string randomBytes(size_t n, unsigned seed) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += static_cast<char>(rand_r(&seed) & 0xFF);
    return s;
}

TEST_F(DownloadTest, ImageOfThreeThousandBytesIsThreeBlocks) {
    // 0x7E and 0x7D among the data are escaped
    std::string path = file("amss.mbn", randomBytes(2990, 5) + std::string(5, '\x7e') + std::string(5, '\x7d'));
    std::string want = imageFrames(path);
    ASSERT_FALSE(want.empty());
    open();
    peer.answerFrames(fwtest::ackFrame());
    std::string out = fwtest::captureStdout([&] { EXPECT_EQ(writembnfile(path.c_str()), 0); });
    EXPECT_EQ(fwtest::hexOf(peer.received()), fwtest::hexOf(want));
    EXPECT_EQ(peer.framesSeen(), 3u);
    EXPECT_NE(out.find("opening " + path + "..."), std::string::npos) << out;
    EXPECT_NE(out.find("file:" + path + ", totoal:3000, now: 2048. percent:68"), std::string::npos) << out;
}

TEST_F(DownloadTest, ImageFailsOnAMissingOrNegativeAnswer) {
    std::string path = file("amss.mbn", randomBytes(5000, 6));
    open();
    // silent: the answer awaited after block 0 never comes
    g_download_answer_wait_ms = 20;
    std::string out = fwtest::captureStdout([&] { EXPECT_EQ(writembnfile(path.c_str()), -1); });
    EXPECT_NE(out.find("block 0 not acknowledged"), std::string::npos) << out;
    EXPECT_EQ(peer.framesSeen(), 1u);
    // refused: a frame of command 0x03
    bool ok = false;
    std::string nak = fwtest::bytesOfHex(fwtest::trim(python("print(hx(frame(b'\\x03\\x00\\x04')))\n", &ok)));
    ASSERT_TRUE(ok);
    peer.clear();
    peer.answerFrames(nak);
    g_download_answer_wait_ms = 100;
    out = fwtest::captureStdout([&] { EXPECT_EQ(writembnfile(path.c_str()), -1); });
    EXPECT_NE(out.find("refused"), std::string::npos) << out;
}

TEST_F(DownloadTest, GarbageAnswersAreNoAcknowledgement) {
    HexFixture hex = makeHexFiles(root.path(), 500, 0x100000);
    ASSERT_FALSE(hex.frames.empty());
    std::string image = file("amss.mbn", randomBytes(2048, 9));
    const unsigned char hdr[2] = {1, 2};
    g_download_answer_wait_ms = 10;
    open();
    struct Case {
        const char *what;
        std::string answer;
    } cases[] = {
        {"ack with a bad CRC", std::string("\x7e\x02\x6a\xd4\x7e", 5)},
        {"ack cut short", std::string("\x7e\x02\x6a", 3)},
        {"escape at the end", std::string("\x7e\x02\x7d\x7e", 4)},
        {"line noise", std::string(2000, '\x55')},
        {"AT text", "\r\nOK\r\n"},
    };
    for (const Case &c : cases) {
        peer.answerFrames(c.answer);
        EXPECT_EQ(writembnfile(image.c_str()), -1) << c.what;
        EXPECT_EQ(writehdfile(image.c_str(), hdr), -1) << c.what;
    }
    // the programmer's answer must hold the acknowledgement itself
    peer.answerFrames(std::string("\x7e\x02\x6a\xd4\x7e", 5));
    EXPECT_EQ(writehex_path(hex.files["lf"].c_str()), -1);
}

TEST_F(DownloadTest, HeaderFileIsOneFrameBehindItsTwoBytes) {
    std::string content = randomBytes(1000, 8);
    std::string path = file("hd.bin", content);
    bool ok = false;
    std::string want = fwtest::bytesOfHex(
        fwtest::trim(python("print(hx(frame(b'\\x12\\x7e' + open('" + path + "', 'rb').read())))\n", &ok)));
    ASSERT_TRUE(ok);
    open();
    peer.answerFrames(fwtest::ackFrame());
    const unsigned char hdr[2] = {0x12, 0x7e};
    std::string out = fwtest::captureStdout([&] { EXPECT_EQ(writehdfile(path.c_str(), hdr), 0); });
    EXPECT_EQ(fwtest::hexOf(peer.received()), fwtest::hexOf(want));
    EXPECT_NE(out.find("Down file: " + path + " over"), std::string::npos);
    // no answer: a failure
    peer.clear();
    peer.answerFrames("");
    g_download_answer_wait_ms = 10;
    EXPECT_EQ(writehdfile(path.c_str(), hdr), -1);
    EXPECT_EQ(peer.received(), want);
}

TEST_F(DownloadTest, OversizeInputsAreRefusedBeforeAnythingIsSent) {
    open();
    peer.answerFrames(fwtest::ackFrame());
    const unsigned char hdr[2] = {1, 2};
    std::string header = file("big.hd", std::string(1001, 'h'));
    std::string out = fwtest::captureStdout([&] { EXPECT_EQ(writehdfile(header.c_str(), hdr), -1); });
    EXPECT_NE(out.find("at most 1000 bytes"), std::string::npos) << out;

    // 16 MiB and more would not fit the block offset field (sparse files)
    std::string image = file("big.mbn", "");
    ASSERT_EQ(truncate(image.c_str(), 16L * 1024 * 1024), 0);
    out = fwtest::captureStdout([&] { EXPECT_EQ(writembnfile(image.c_str()), -1); });
    EXPECT_NE(out.find("below 16777216 bytes"), std::string::npos) << out;
    ASSERT_EQ(truncate(image.c_str(), 40L * 1024 * 1024), 0);
    EXPECT_EQ(writembnfile(image.c_str()), -1);

    // paths longer than the 64-byte path buffer
    std::string longPath = root.path() + "/" + std::string(70, 'p') + ".mbn";
    out = fwtest::captureStdout([&] {
        EXPECT_EQ(writembnfile(longPath.c_str()), -1);
        EXPECT_EQ(writehdfile(longPath.c_str(), hdr), -1);
    });
    EXPECT_NE(out.find("path too long"), std::string::npos) << out;
    EXPECT_EQ(writembnfile(nullptr), -1);
    EXPECT_EQ(writehdfile(header.c_str(), nullptr), -1);
    EXPECT_EQ(peer.received(), "");

    // a port path past 255 characters is refused at once, not tried 10 times
    std::string longPort = "/dev/" + std::string(260, 'x');
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(openport_path(longPort.c_str()), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(openport_path(nullptr), -1);
}

TEST_F(DownloadTest, MissingPortIsTriedTenTimes) {
    setenv("RIL_TIME_SCALE", "1000", 1);
    setenv("RIL_SYSROOT", root.path().c_str(), 1);
    EXPECT_EQ(openport(7), -1);
    EXPECT_EQ(fport, -1);
    // through the sysroot: $RIL_SYSROOT/dev/ttyUSB7
    ASSERT_TRUE(peer.linkAt(root.at("/dev/ttyUSB7")));
    EXPECT_EQ(openport(7), 0);
    EXPECT_GE(fport, 0);
    unsetenv("RIL_SYSROOT");
    unsetenv("RIL_TIME_SCALE");
}

}  // namespace
