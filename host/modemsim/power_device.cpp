#include "power_device.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <stdexcept>

namespace modemsim {

namespace {
const unsigned long kResetRequest = 203;

void writeAll(int fd, const std::string &s) {
    size_t off = 0;
    while (off < s.size()) {
        ssize_t w = send(fd, s.data() + off, s.size() - off, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return;
        off += (size_t)w;
    }
}
}  // namespace

PowerDevice::PowerDevice(UsbTree &tree, std::chrono::milliseconds replugDelay)
    : tree_(tree), delay_(replugDelay) {
    std::string dev = tree_.sysroot() + "/dev";
    mkdir(tree_.sysroot().c_str(), 0755);
    mkdir(dev.c_str(), 0755);
    path_ = dev + "/pa_dev";
    struct sockaddr_un addr;
    memset(&addr, 0, sizeof(addr));
    addr.sun_family = AF_UNIX;
    if (path_.size() >= sizeof(addr.sun_path)) throw std::runtime_error("socket path too long: " + path_);
    memcpy(addr.sun_path, path_.c_str(), path_.size() + 1);
    unlink(path_.c_str());
    listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) throw std::runtime_error(std::string("socket: ") + strerror(errno));
    if (bind(listenFd_, (struct sockaddr *)&addr, sizeof(addr)) != 0 || listen(listenFd_, 8) != 0 ||
        pipe2(wakeFd_, O_CLOEXEC) != 0) {
        std::string err = strerror(errno);
        close(listenFd_);
        unlink(path_.c_str());
        throw std::runtime_error("power device " + path_ + ": " + err);
    }
    thread_ = std::thread([this] { run(); });
}

PowerDevice::~PowerDevice() {
    ssize_t w = write(wakeFd_[1], "q", 1);
    (void)w;
    thread_.join();
    close(listenFd_);
    close(wakeFd_[0]);
    close(wakeFd_[1]);
    unlink(path_.c_str());
}

void PowerDevice::setReplugDelay(std::chrono::milliseconds delay) {
    std::lock_guard<std::mutex> lock(lock_);
    delay_ = delay;
}

void PowerDevice::onUnplugged(std::function<void(const std::vector<UsbDevice> &)> hook) {
    std::lock_guard<std::mutex> lock(lock_);
    unplugHook_ = std::move(hook);
}

void PowerDevice::onReplugged(std::function<void(const std::vector<UsbDevice> &)> hook) {
    std::lock_guard<std::mutex> lock(lock_);
    replugHook_ = std::move(hook);
}

std::vector<PowerDevice::Request> PowerDevice::requests() const {
    std::lock_guard<std::mutex> lock(lock_);
    return requests_;
}

int PowerDevice::resets() const {
    std::lock_guard<std::mutex> lock(lock_);
    return resets_;
}

int PowerDevice::replugs() const {
    std::lock_guard<std::mutex> lock(lock_);
    return replugs_;
}

bool PowerDevice::waitReplugs(int n, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(lock_);
    return cond_.wait_for(lock, timeout, [&] { return replugs_ >= n; });
}

void PowerDevice::run() {
    for (;;) {
        int timeout = -1;
        {
            std::lock_guard<std::mutex> lock(lock_);
            if (replugPending_) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(replugAt_ -
                                                                                  std::chrono::steady_clock::now());
                timeout = left.count() < 0 ? 0 : (int)left.count() + 1;
            }
        }
        struct pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_[0], POLLIN, 0}};
        int n = poll(fds, 2, timeout);
        if (n < 0 && errno != EINTR) return;
        if (n > 0 && (fds[1].revents & POLLIN) != 0) return;
        if (n > 0 && (fds[0].revents & POLLIN) != 0) {
            int client = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                serve(client);
                close(client);
            }
        }
        replugDue();
    }
}

void PowerDevice::serve(int client) {
    struct timeval tv = {1, 0};  // a client that never finishes its line is dropped
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    char line[64];
    size_t len = 0;
    while (len + 1 < sizeof(line)) {
        ssize_t r = read(client, line + len, sizeof(line) - 1 - len);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        len += (size_t)r;
        if (memchr(line, '\n', len) != nullptr) break;
    }
    line[len] = '\0';
    if (memchr(line, '\n', len) == nullptr) return;
    Request req;
    char *end = nullptr;
    req.request = strtoul(line, &end, 10);
    if (end == line) return;
    req.argument = strtoul(end, nullptr, 10);

    std::vector<UsbDevice> dropped;
    std::function<void(const std::vector<UsbDevice> &)> hook;
    {
        std::lock_guard<std::mutex> lock(lock_);
        requests_.push_back(req);
        if (req.request != kResetRequest) {
            writeAll(client, "-1\n");
            return;
        }
        resets_++;
    }
    dropped = tree_.devices();
    tree_.unplug();
    {
        std::lock_guard<std::mutex> lock(lock_);
        // a second reset while the module is still away keeps the devices
        // of the first one and starts the delay again
        if (!replugPending_) pending_ = dropped;
        replugPending_ = true;
        replugAt_ = std::chrono::steady_clock::now() + delay_;
        hook = unplugHook_;
    }
    if (hook && !dropped.empty()) hook(dropped);
    writeAll(client, "0\n");
}

void PowerDevice::replugDue() {
    std::vector<UsbDevice> devices;
    std::function<void(const std::vector<UsbDevice> &)> hook;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!replugPending_ || std::chrono::steady_clock::now() < replugAt_) return;
        replugPending_ = false;
        devices.swap(pending_);
        hook = replugHook_;
    }
    for (const UsbDevice &d : devices) {
        try {
            tree_.plug(d);
        } catch (const std::exception &) {
            // plugged again by its owner meanwhile: nothing to restore
        }
    }
    if (hook && !devices.empty()) hook(devices);
    std::lock_guard<std::mutex> lock(lock_);
    replugs_++;
    cond_.notify_all();
}

}  // namespace modemsim
