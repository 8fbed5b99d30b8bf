// Firmware download speed: the CRC and the escaping of one image block in
// process, then programmer packets and a whole image through the simulated
// bootloader, once with the real pacing (16 ms after every frame) and once
// with the clock running 1000 times faster, which leaves the cost of the
// frames, the pseudo-terminal and the answers.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "bench_stats.h"
#include "download.h"
#include "simulated_module.h"
#include "temp_root.h"

using namespace std::chrono_literals;

namespace {

double since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t).count();
}

std::string randomBytes(size_t n, unsigned seed) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += static_cast<char>(rand_r(&seed) & 0xFF);
    return s;
}

void imageRun(modemsim::SimulatedModule &m, const char *what, const char *scale, const std::string &path,
              size_t bytes) {
    setenv("RIL_TIME_SCALE", scale, 1);
    m.bootloader().clear();
    // the routine's progress lines are not part of the result
    fflush(stdout);
    int saved = dup(1);
    int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    dup2(null, 1);
    auto t = std::chrono::steady_clock::now();
    int r = writembnfile(path.c_str());
    double s = since(t) / 1e6;
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
    close(null);
    printf("%-46s %9.0f KiB/s  (%zu KiB in %.2f s, %s)\n", what, bytes / 1024.0 / s, bytes / 1024, s,
           r == 0 && m.bootloader().images().size() == 1 ? "all acknowledged" : "FAILED");
}

}  // namespace

int main() {
    riltest::TempRoot root;
    std::string sysroot = root.at("/sysroot");
    riltest::makeDirs(sysroot);
    setenv("RIL_SYSROOT", sysroot.c_str(), 1);
    setenv("RIL_LOG", root.at("/ril.log").c_str(), 1);
    setenv("RIL_PROPERTY_DIR", root.at("/properties").c_str(), 1);
    g_download_answer_wait_ms = 100;

    std::string block = randomBytes(1029, 1);
    const unsigned char *b = reinterpret_cast<const unsigned char *>(block.data());
    volatile unsigned sink = 0;
    bench::print("crc_update, 1029 bytes", bench::run(20000, [&] {
                     auto t = std::chrono::steady_clock::now();
                     sink = sink + crc_update(b, 1029);
                     return since(t);
                 }));
    std::vector<unsigned char> out(2 * 1031 + 3);
    bench::print("convert_find, 1031 bytes", bench::run(20000, [&] {
                     auto t = std::chrono::steady_clock::now();
                     sink = sink + convert_find(out.data(), b, 1030);
                     return since(t);
                 }));

    modemsim::SimulatedModule m(modemsim::ModuleConfig::forModel("wcdma6290", sysroot));
    m.bootloader().setSwitchGap(50ms);
    if (openport_path("/dev/ttyUSB1") != 0 || setdownloadmode() < 0) return 1;
    closeport();
    const unsigned char ack[] = {0x7E, 0x02, 0x6A, 0xD3, 0x7E};
    if (!m.bootloader().waitDownloadMode(true, 10s) || openport_path("/dev/ttyUSB0") != 0 || setbegindown() < 0 ||
        Issendpass(ack, sizeof ack) != 0) {
        fprintf(stderr, "no download port\n");
        return 1;
    }

    // programmer packets of 1017 bytes, each sent and acknowledged
    for (const char *scale : {"1", "1000"}) {
        setenv("RIL_TIME_SCALE", scale, 1);
        uint32_t addr = 0x100000;
        m.bootloader().clear();
        bench::Stats s = bench::run(scale[1] ? 400 : 60, [&] {
            std::string body(1, '\x0f');
            for (int sh = 24; sh >= 0; sh -= 8) body += static_cast<char>((addr >> sh) & 0xFF);
            body += '\x03';
            body += '\xf9';
            body += block.substr(0, 1017);
            addr += 1017;
            unsigned short crc = crc_update(reinterpret_cast<const unsigned char *>(body.data()), (int)body.size());
            std::string raw = "\x7e" + body + static_cast<char>(crc & 0xFF) + static_cast<char>(crc >> 8);
            std::vector<unsigned char> f(2 * raw.size() + 3);
            int n = convert_find(f.data(), reinterpret_cast<const unsigned char *>(raw.data()), (int)raw.size() - 1);
            auto t = std::chrono::steady_clock::now();
            if (SendSyncCmd(f.data(), n, ack, sizeof ack, 3) != 0) fprintf(stderr, "packet not acknowledged\n");
            return since(t);
        });
        bench::print(scale[1] ? "programmer packet, clock x1000" : "programmer packet, real pacing", s);
    }

    std::string image = randomBytes(256 * 1024, 2);
    root.writeFile("/sysroot/amss.mbn", image);
    imageRun(m, "image, real pacing", "1", "/amss.mbn", image.size());
    imageRun(m, "image, clock x1000", "1000", "/amss.mbn", image.size());
    closeport();
    return 0;
}
