// Whole flashes against the simulated module: its diagnostic port takes
// the download-mode request, the module leaves USB and comes back as the
// one-port download device, and the programmer, an image and a header file
// go through it; what the bootloader stored is compared byte for byte with
// the files. Then the bootloader's faults: silent, a refused frame, slow
// answers, bad CRCs and address gaps.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "download.h"
#include "firmware_support.h"
#include "simulated_module.h"

using namespace std::chrono_literals;
using fwtest::python;

namespace {

std::string randomBytes(size_t n, unsigned seed) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += static_cast<char>(rand_r(&seed) & 0xFF);
    return s;
}

const unsigned char kAck[] = {0x7e, 0x02, 0x6a, 0xd3, 0x7e};

class FlashTest : public ::testing::Test {
protected:
    void SetUp() override {
        sysroot = root.at("/sysroot");
        riltest::makeDirs(sysroot);
        setenv("RIL_SYSROOT", sysroot.c_str(), 1);
        setenv("RIL_LOG", root.at("/ril.log").c_str(), 1);
        setenv("RIL_PROPERTY_DIR", root.at("/properties").c_str(), 1);
        unsetenv("RIL_TIME_SCALE");
        g_download_answer_wait_ms = 100;
        module.reset(new modemsim::SimulatedModule(modemsim::ModuleConfig::forModel("wcdma6290", sysroot)));
        module->bootloader().setSwitchGap(100ms);
    }
    void TearDown() override {
        closeport();
        module.reset();
        unsetenv("RIL_SYSROOT");
    }
    modemsim::Bootloader &boot() { return module->bootloader(); }

    // a file under the sysroot; returns the path the library is given
    std::string put(const std::string &rel, const std::string &content) {
        root.writeFile("/sysroot" + rel, content);
        return rel;
    }

    // the programmer as intelhex writes it: data at the load address
    std::string programmerFile(const std::string &data) {
        std::string bin = put("/firmware/prog.bin", data);
        char script[512];
        snprintf(script, sizeof script,
                 "from intelhex import IntelHex\n"
                 "ih = IntelHex(); ih.frombytes(open('%s', 'rb').read(), offset=0x100000)\n"
                 "ih.write_hex_file('%s')\n",
                 (sysroot + bin).c_str(), (sysroot + "/firmware/NPRG6270.hex").c_str());
        bool ok = false;
        std::string out = python(script, &ok);
        EXPECT_TRUE(ok) << out;
        return "/firmware/NPRG6270.hex";
    }

    // diagnostic port, download-mode request, the download port, start
    void enterDownload() {
        ASSERT_FALSE(boot().downloadMode());
        ASSERT_EQ(openport_path("/dev/ttyUSB1"), 0);
        EXPECT_EQ(setdownloadmode(), 4);
        closeport();
        ASSERT_TRUE(boot().waitDownloadMode(true, 10s));
        ASSERT_EQ(openport_path("/dev/ttyUSB0"), 0);
        ASSERT_EQ(setbegindown(), 5);
        ASSERT_EQ(Issendpass(kAck, sizeof kAck), 0);
        EXPECT_EQ(boot().starts(), 1);
    }

    riltest::TempRoot root;
    std::string sysroot;
    std::unique_ptr<modemsim::SimulatedModule> module;
};

std::vector<std::string> driverLinks(const std::string &dir) {
    std::vector<std::string> out;
    DIR *d = opendir(dir.c_str());
    if (d == nullptr) return out;
    while (struct dirent *e = readdir(d))
        if (strchr(e->d_name, ':') != nullptr) out.push_back(e->d_name);
    closedir(d);
    return out;
}

TEST_F(FlashTest, WholeFlashStoresExactlyTheFilesSent) {
    std::string program = randomBytes(5000, 1);
    std::string image = randomBytes(70 * 1024 + 333, 2);
    std::string header = randomBytes(777, 3);
    std::string hex = programmerFile(program);
    std::string mbn = put("/firmware/amss.mbn", image);
    std::string hd = put("/firmware/amsshd.mbn", header);

    enterDownload();
    // off USB as itself, back as one port
    EXPECT_FALSE(riltest::fileExists(module->atLink()));
    std::string option = sysroot + "/sys/bus/usb/drivers/option";
    std::vector<std::string> links = driverLinks(option);
    ASSERT_EQ(links.size(), 1u);
    EXPECT_NE(riltest::readFile(option + "/" + links[0] + "/modalias").find("v05C6p9008"), std::string::npos);

    EXPECT_EQ(writehex_path(hex.c_str()), 0);
    EXPECT_EQ(writembnfile(mbn.c_str()), 0);
    const unsigned char hdr[2] = {0x11, 0x7e};
    EXPECT_EQ(writehdfile(hd.c_str(), hdr), 0);
    closeport();

    EXPECT_EQ(boot().programmer(), program);
    ASSERT_EQ(boot().images().size(), 1u);
    EXPECT_EQ(boot().images()[0], image);
    ASSERT_EQ(boot().headers().size(), 1u);
    EXPECT_EQ(boot().headers()[0].header[0], 0x11);
    EXPECT_EQ(boot().headers()[0].header[1], 0x7e);
    EXPECT_EQ(boot().headers()[0].data, header);
    EXPECT_EQ(boot().refusals(), 0);

    boot().leave();
    EXPECT_TRUE(boot().waitDownloadMode(false, 5s));
    EXPECT_TRUE(module->plugged());
    EXPECT_TRUE(riltest::fileExists(module->atLink()));
    EXPECT_TRUE(riltest::fileExists(boot().diagLink()));
}

TEST_F(FlashTest, SilentBootloaderStopsTheProgrammerAfterFourSends) {
    std::string hex = programmerFile(randomBytes(3000, 4));
    enterDownload();
    boot().setSilent(true);
    g_download_answer_wait_ms = 10;
    std::string out = fwtest::captureStdout([&] { EXPECT_EQ(writehex_path(hex.c_str()), -1); });
    EXPECT_NE(out.find("SendSyncCmd()->1 failure"), std::string::npos) << out;
    EXPECT_TRUE(boot().waitFrames(1 + 4, 5s));
    EXPECT_EQ(boot().frames(), 1 + 4);
    // and an image: its first block is never answered
    std::string mbn = put("/firmware/amss.mbn", randomBytes(4000, 5));
    EXPECT_EQ(writembnfile(mbn.c_str()), -1);
}

TEST_F(FlashTest, RefusedProgrammerFrameIsSentAgainRefusedBlockFailsTheImage) {
    std::string program = randomBytes(3000, 6);
    std::string hex = programmerFile(program);
    enterDownload();
    boot().refuseFrame(3);  // the second programmer packet
    EXPECT_EQ(writehex_path(hex.c_str()), 0);
    EXPECT_EQ(boot().refusals(), 1);
    EXPECT_EQ(boot().programmer(), program);

    std::string mbn = put("/firmware/amss.mbn", randomBytes(10 * 1024, 7));
    boot().refuseFrame(boot().frames() + 2);  // the image's second block
    std::string out = fwtest::captureStdout([&] { EXPECT_EQ(writembnfile(mbn.c_str()), -1); });
    EXPECT_NE(out.find("block 1 refused by the module"), std::string::npos) << out;
    // the blocks after the refused one leave a gap: refused too
    EXPECT_GE(boot().refusals(), 2);
}

TEST_F(FlashTest, SlowAnswersWithinTheWindowPassBeyondItFail) {
    std::string program = randomBytes(2500, 8);
    std::string hex = programmerFile(program);
    std::string mbn = put("/firmware/amss.mbn", randomBytes(4 * 1024, 9));
    enterDownload();
    boot().setAnswerDelay(200ms);  // the answer window is 11 polls of 100 ms
    EXPECT_EQ(writehex_path(hex.c_str()), 0);
    EXPECT_EQ(writembnfile(mbn.c_str()), 0);
    EXPECT_EQ(boot().programmer(), program);

    boot().setAnswerDelay(5000ms);
    g_download_answer_wait_ms = 20;
    EXPECT_EQ(writembnfile(mbn.c_str()), -1);
}

// a frame from its body through the library's own escaping
std::string frameOf(const std::string &body, bool corruptCrc = false) {
    std::string raw(1, '\x7e');
    raw += body;
    unsigned short crc = crc_update(reinterpret_cast<const unsigned char *>(body.data()), static_cast<int>(body.size()));
    if (corruptCrc) crc ^= 0x0101;
    raw += static_cast<char>(crc & 0xFF);
    raw += static_cast<char>(crc >> 8);
    std::vector<unsigned char> out(2 * raw.size() + 3);
    int n = convert_find(out.data(), reinterpret_cast<const unsigned char *>(raw.data()),
                         static_cast<int>(raw.size()) - 1);
    return std::string(reinterpret_cast<const char *>(out.data()), static_cast<size_t>(n));
}

std::string programmerBody(unsigned addr, const std::string &data) {
    std::string b(1, '\x0f');
    for (int s = 24; s >= 0; s -= 8) b += static_cast<char>((addr >> s) & 0xFF);
    b += static_cast<char>(data.size() >> 8);
    b += static_cast<char>(data.size() & 0xFF);
    return b + data;
}

TEST_F(FlashTest, BadCrcAndAddressGapsAreRefused) {
    enterDownload();
    bool ok = false;
    std::string naks = python("print(hx(frame(b'\\x03\\x00\\x01')))\nprint(hx(frame(b'\\x03\\x00\\x02')))\n", &ok);
    ASSERT_TRUE(ok);
    std::istringstream in(naks);
    std::string badCrc, gap;
    std::getline(in, badCrc);
    std::getline(in, gap);
    badCrc = fwtest::bytesOfHex(badCrc);
    gap = fwtest::bytesOfHex(gap);
    struct Case {
        std::string frame;
        std::string answer;
    } cases[] = {
        {frameOf(programmerBody(0x100000, "abcd"), true), badCrc},
        {frameOf(programmerBody(0x100400, "abcd")), gap},  // not at the load address
        {frameOf(programmerBody(0x100000, "abcd")), std::string(reinterpret_cast<const char *>(kAck), 5)},
        {frameOf(programmerBody(0x100000, "abcd")), std::string(reinterpret_cast<const char *>(kAck), 5)},  // resend
        {frameOf(programmerBody(0x100008, "efgh")), gap},
        {frameOf(programmerBody(0x100004, "efgh")), std::string(reinterpret_cast<const char *>(kAck), 5)},
    };
    for (const auto &c : cases) {
        const unsigned char *f = reinterpret_cast<const unsigned char *>(c.frame.data());
        EXPECT_EQ(SendSyncCmd(f, static_cast<int>(c.frame.size()),
                              reinterpret_cast<const unsigned char *>(c.answer.data()),
                              static_cast<int>(c.answer.size()), 0),
                  0)
            << fwtest::hexOf(c.frame);
    }
    EXPECT_EQ(boot().programmer(), "abcdefgh");
    EXPECT_EQ(boot().refusals(), 3);
}

TEST_F(FlashTest, DiagnosticPortAnswersEveryNvWrite) {
    ASSERT_EQ(openport_path("/dev/ttyUSB1"), 0);
    std::string request(133, '\0');
    request[0] = 0x27;
    request[1] = static_cast<char>(0xE9);
    request[2] = 0x09;
    for (int i = 0; i < 128; ++i) request[3 + i] = static_cast<char>(i * 3);
    std::string frame = frameOf(request).substr(1);  // no opening flag
    std::string answer = frameOf(request);           // echoed, status 0
    const unsigned char *f = reinterpret_cast<const unsigned char *>(frame.data());
    EXPECT_EQ(SendSyncCmd(f, static_cast<int>(frame.size()), reinterpret_cast<const unsigned char *>(answer.data()),
                          static_cast<int>(answer.size()), 0),
              0);
    ASSERT_TRUE(boot().waitNvWrites(1, 5s));
    EXPECT_EQ(boot().nvWrites()[0].item, 2537);
    EXPECT_EQ(boot().nvWrites()[0].value, request.substr(3, 128));
}

// all bytes through a blocking descriptor of its own
bool writeBlocking(const std::string &path, const std::string &bytes) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    size_t off = 0;
    while (off < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + off, bytes.size() - off);
        if (n <= 0) break;
        off += static_cast<size_t>(n);
    }
    close(fd);
    return off == bytes.size();
}

TEST_F(FlashTest, ControlLanguageAndHostileBytes) {
    struct Case {
        const char *line;
        bool ok;
    } cases[] = {
        {"bootloader refuse 3", true},   {"bootloader delay 20", true},  {"bootloader silent on", true},
        {"bootloader silent off", true}, {"bootloader clear", true},     {"bootloader refuse -1", false},
        {"bootloader refuse x", false},  {"bootloader delay", false},    {"bootloader silent", false},
        {"bootloader frobnicate", false}, {"bootloader delay 99999999999", false},
    };
    for (const Case &c : cases) {
        std::string reply = module->control(c.line);
        EXPECT_EQ(reply.rfind("OK") == reply.size() - 2, c.ok) << c.line << ": " << reply;
    }
    EXPECT_NE(module->control("bootloader state").find("mode normal"), std::string::npos);
    boot().setAnswerDelay(0ms);
    boot().refuseFrame(0);
    // junk on the diagnostic port: frames that are no frames, a run far too
    // long, escapes at the end; the port still takes an NV write after it
    std::string junk = std::string(70000, '\x11') + "\x7e\x7d\x7e\x7e\x27\x7e" + randomBytes(5000, 13) + "\x7e";
    ASSERT_TRUE(writeBlocking(sysroot + "/dev/ttyUSB1", junk));
    ASSERT_EQ(openport_path("/dev/ttyUSB1"), 0);
    std::string request(133, '\0');
    request[0] = 0x27;
    request[1] = static_cast<char>(0xF0);
    request[2] = 0x09;
    std::string raw(1, '\x7e');
    raw += request;
    unsigned short crc = crc_update(reinterpret_cast<const unsigned char *>(request.data()), 133);
    raw += static_cast<char>(crc & 0xFF);
    raw += static_cast<char>(crc >> 8);
    std::vector<unsigned char> frame(2 * raw.size() + 3);
    int n = convert_find(frame.data(), reinterpret_cast<const unsigned char *>(raw.data()), 135);
    EXPECT_EQ(Write(frame.data(), n), n);
    ASSERT_TRUE(boot().waitNvWrites(1, 10s));
    EXPECT_EQ(boot().nvWrites().back().item, 2544);
    closeport();
    // and on the download port
    enterDownload();
    ASSERT_TRUE(writeBlocking(sysroot + "/dev/ttyUSB0", junk));
    std::string hex = programmerFile(randomBytes(2000, 14));
    EXPECT_EQ(writehex_path(hex.c_str()), 0);
    EXPECT_EQ(boot().programmer().size(), 2000u);
}

// the host program, start to end, against the simulated module
std::string runTool(const std::vector<std::string> &args, int *status, const std::string &env = "") {
    std::string cmd = env + std::string(RIL_BUILD_DIR) + "/bin/ril-flash";
    for (const auto &a : args) cmd += " '" + a + "'";
    cmd += " 2>&1";
    FILE *p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while (p != nullptr && (n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int st = p != nullptr ? pclose(p) : -1;
    *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
}

TEST_F(FlashTest, FlashProgramFlashesAndSaysSo) {
    std::string program = randomBytes(4000, 10);
    std::string image = randomBytes(50 * 1024, 11);
    std::string header = randomBytes(300, 12);
    std::string hex = programmerFile(program);
    put("/firmware/amss.mbn", image);
    put("/firmware/amsshd.mbn", header);
    int status = -1;
    std::string out = runTool({"--port", "/dev/ttyUSB1", "--programmer", sysroot + hex, "--image",
                               sysroot + "/firmware/amss.mbn", "--header", sysroot + "/firmware/amsshd.mbn:0105",
                               "--answer-wait", "100"},
                              &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("100%"), std::string::npos) << out;
    EXPECT_NE(out.find("flash complete"), std::string::npos) << out;
    EXPECT_EQ(boot().programmer(), program);
    ASSERT_EQ(boot().images().size(), 1u);
    EXPECT_EQ(boot().images()[0], image);
    ASSERT_EQ(boot().headers().size(), 1u);
    EXPECT_EQ(boot().headers()[0].data, header);

    // a broken programmer: refused before the module is touched
    boot().leave();
    ASSERT_TRUE(boot().waitDownloadMode(false, 5s));
    root.writeFile("/sysroot/firmware/bad.hex", ":0400000001020304F1\n");
    out = runTool({"--port", "/dev/ttyUSB1", "--programmer", sysroot + "/firmware/bad.hex"}, &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find("flash FAILED"), std::string::npos) << out;
    EXPECT_NE(out.find("bad checksum"), std::string::npos) << out;
    EXPECT_FALSE(boot().downloadMode());

    // a bootloader that never answers: the start request fails, clearly
    boot().setSilent(true);
    out = runTool({"--port", "/dev/ttyUSB1", "--programmer", sysroot + hex, "--answer-wait", "20"}, &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find("flash FAILED: no answer to the start request"), std::string::npos) << out;

    // a port that is not there (tried 10 times, 3 s apart: the clock runs faster)
    boot().leave();
    ASSERT_TRUE(boot().waitDownloadMode(false, 5s));
    out = runTool({"--port", "/dev/ttyUSB7", "--programmer", sysroot + hex}, &status, "RIL_TIME_SCALE=100 ");
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find("flash FAILED: cannot open /dev/ttyUSB7"), std::string::npos) << out;
}

}  // namespace
