// Host stand-in for the board's module power-control device "/dev/pa_dev".
//
// Listens on a Unix-domain socket at $sysroot/dev/pa_dev. The library's
// host build connects there instead of opening the character device and
// sends its control request as one line "<request> <argument>\n" instead of
// the ioctl. On request 203 (reset) the listener unplugs the USB tree,
// answers "0\n" (the ioctl's result: the module is off USB by then), and
// plugs the same devices back after the configured delay, as a real module
// reappears after its reset. Other requests are answered "-1\n".
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "usb_tree.h"

namespace modemsim {

class PowerDevice {
public:
    struct Request {
        unsigned long request = 0;
        unsigned long argument = 0;
    };

    // The tree must outlive the device. Throws std::runtime_error when the
    // socket cannot be made.
    PowerDevice(UsbTree &tree, std::chrono::milliseconds replugDelay = std::chrono::milliseconds(500));
    ~PowerDevice();  // stops listening, removes the socket; a pending re-plug is dropped
    PowerDevice(const PowerDevice &) = delete;
    PowerDevice &operator=(const PowerDevice &) = delete;

    void setReplugDelay(std::chrono::milliseconds delay);
    // Called on the listener thread: right after the tree was unplugged
    // (the devices that were plugged), and right after they were plugged back;
    // not called when there was nothing to unplug or to plug back.
    void onUnplugged(std::function<void(const std::vector<UsbDevice> &)> hook);
    void onReplugged(std::function<void(const std::vector<UsbDevice> &)> hook);

    const std::string &path() const { return path_; }
    // every request received, in order
    std::vector<Request> requests() const;
    int resets() const;       // reset requests received
    int replugs() const;      // re-plugs done
    // waits until at least n re-plugs have been done; false on timeout
    bool waitReplugs(int n, std::chrono::milliseconds timeout) const;

private:
    void run();
    void serve(int client);
    void replugDue();

    UsbTree &tree_;
    std::string path_;
    int listenFd_ = -1;
    int wakeFd_[2] = {-1, -1};
    std::thread thread_;
    mutable std::mutex lock_;
    mutable std::condition_variable cond_;
    std::chrono::milliseconds delay_;
    std::function<void(const std::vector<UsbDevice> &)> unplugHook_, replugHook_;
    std::vector<Request> requests_;
    std::vector<UsbDevice> pending_;  // unplugged, waiting to come back
    std::chrono::steady_clock::time_point replugAt_;
    bool replugPending_ = false;
    int resets_ = 0;
    int replugs_ = 0;
};

}  // namespace modemsim
