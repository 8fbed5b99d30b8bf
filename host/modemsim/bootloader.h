// The simulated module's diagnostic port and its download mode.
//
// While the module is plugged, its diagnostic port (the interface that is
// neither the AT nor the modem port, ttyUSB1 on most models) is served on a
// pseudo-terminal linked as $sysroot/dev/<tty>. It takes frames separated by
// 0x7E (0x7D escapes, CRC-16/X-25 low byte first):
//   - NV write (command 0x27, item number, 128 value bytes, status): recorded
//     and answered with the request (status 0) in a frame of its own;
//   - the download-mode request (command 0x3A): the module leaves USB and
//     comes back as a one-port download device (05C6:9008, ttyUSB0).
// The download port takes the start request (0x06), programmer writes
// (0x0F, 32-bit big-endian address, 16-bit big-endian length, data) that must
// begin at the programmer's load address and follow each other without gaps
// (a resend of the last frame is taken again), image blocks (0x07, 32-bit
// little-endian offset, data; offset 0 begins a new image) and header frames
// (any other command byte: two header bytes and data). Each is answered with
// the acknowledgement 0x7E 0x02 0x6A 0xD3 0x7E or refused with a frame of
// command 0x03 and a 16-bit reason (1 bad CRC, 2 address gap, 3 bad length,
// 4 refused on request).
//
// Faults: silent (frames are taken, nothing is answered), refuse the Nth
// frame of the download session (counted from 1, start request included),
// answer after a delay. leave() ends the download mode: the download device
// goes away and the module comes back as itself.
//
// Thread-safe. Its own thread serves the ports; the module's lock may be
// held when it calls onPlug/onUnplug, never the other way round.
#pragma once

#include <stdint.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "pty_link.h"
#include "usb_tree.h"

namespace modemsim {

class SimulatedModule;

struct NvWrite {
    int item = 0;
    std::string value;  // the 128 value bytes
};

struct HeaderFrame {
    unsigned char header[2] = {0, 0};
    std::string data;
};

class Bootloader {
public:
    static constexpr uint32_t kProgrammerAddress = 0x100000;

    Bootloader(SimulatedModule &module, UsbTree &tree, std::string sysroot, const UsbDevice &device);
    ~Bootloader();
    Bootloader(const Bootloader &) = delete;
    Bootloader &operator=(const Bootloader &) = delete;

    // hooks of the module: it comes on USB (also ends the download mode) / goes off
    void onPlug();
    void onUnplug();

    // --- faults -----------------------------------------------------------
    void setSilent(bool silent);
    void refuseFrame(int n);  // 0: none
    void setAnswerDelay(std::chrono::milliseconds delay);
    void setSwitchGap(std::chrono::milliseconds gap);  // off USB before the download device appears

    // --- mode ---------------------------------------------------------------
    bool downloadMode() const;  // the download device is on USB
    void enterDownload();       // as on the download-mode request
    void leave();               // back to the module
    bool waitDownloadMode(bool on, std::chrono::milliseconds timeout) const;
    static UsbDevice downloadDevice();
    std::string diagLink() const;      // empty when the module has no diagnostic port
    std::string downloadLink() const;  // $sysroot/dev/ttyUSB0

    // --- what arrived -----------------------------------------------------------
    std::string programmer() const;  // programmer bytes from the load address on
    std::vector<std::string> images() const;
    std::vector<HeaderFrame> headers() const;
    std::vector<NvWrite> nvWrites() const;
    int starts() const;      // start requests taken
    int frames() const;      // frames of the download session
    int refusals() const;
    bool waitNvWrites(size_t n, std::chrono::milliseconds timeout) const;
    bool waitFrames(int n, std::chrono::milliseconds timeout) const;
    void clear();
    std::string describe() const;  // one line per item, for the control language

private:
    struct Pty : PtyLink {
        std::string in;  // bytes since the last flag
    };
    struct Pending {
        std::chrono::steady_clock::time_point at;
        std::string bytes;
        bool download = false;  // for the download port (else the diagnostic port)
    };

    void run();
    void wake();
    bool openPty(Pty &p, const std::string &tty);
    void closePty(Pty &p);
    void readPort(Pty &p, bool download);
    void frameLocked(const std::string &raw, bool download);
    void diagFrameLocked(const std::string &body);
    void downloadFrameLocked(const std::string &body, bool crcOk);
    void answerLocked(const std::string &body, bool download);
    void ackLocked() { answerLocked(std::string(1, '\x02'), true); }
    void nakLocked(int reason);
    void plugDownloadLocked();
    void dropDownloadLocked();

    SimulatedModule &module_;
    UsbTree &tree_;
    std::string sysroot_;
    std::string diagTty_;

    mutable std::mutex mu_;
    mutable std::condition_variable cond_;
    Pty diag_, dl_;
    bool download_ = false;
    bool switching_ = false;  // asked for, not yet off USB
    std::chrono::steady_clock::time_point switchAt_;
    std::chrono::steady_clock::time_point plugAt_;
    bool plugDue_ = false;
    std::vector<Pending> pending_;

    bool silent_ = false;
    int refuseN_ = 0;
    std::chrono::milliseconds delay_{0};
    std::chrono::milliseconds gap_{300};

    std::string programmer_;
    uint32_t lastAddr_ = 0;
    size_t lastLen_ = 0;
    bool haveWrite_ = false;
    std::vector<std::string> images_;
    std::vector<HeaderFrame> headers_;
    std::vector<NvWrite> nv_;
    int starts_ = 0;
    int frames_ = 0;
    int refusals_ = 0;

    int wakeRead_ = -1, wakeWrite_ = -1;
    bool stop_ = false;
    std::thread thread_;
};

// The control language's "bootloader ..." commands (control.h's reply form).
std::string bootloaderControl(SimulatedModule &module, const std::vector<std::string> &words);

}  // namespace modemsim
