#include "usb_tree.h"

#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace modemsim {

namespace {

const char *const kDriverFiles[] = {"bind", "unbind", "new_id", "remove_id", "uevent"};

std::string upper(std::string s) {
    for (char &c : s) c = (char)toupper((unsigned char)c);
    return s;
}

bool validName(const std::string &s) {
    return !s.empty() && s != "." && s != ".." && s.find('/') == std::string::npos &&
           s.find('\n') == std::string::npos && s.find('\0') == std::string::npos;
}

void mkdirs(const std::string &path) {
    std::string cur;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        cur = path.substr(0, pos);
        if (cur.empty()) continue;
        if (mkdir(cur.c_str(), 0755) != 0 && errno != EEXIST)
            throw std::runtime_error("mkdir " + cur + ": " + strerror(errno));
    }
}

// sysfs attribute files hold one line
void writeAttr(const std::string &path, const std::string &value) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("open " + path + ": " + strerror(errno));
    std::string line = value + "\n";
    size_t off = 0;
    while (off < line.size()) {
        ssize_t w = write(fd, line.data() + off, line.size() - off);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            close(fd);
            throw std::runtime_error("write " + path + ": " + strerror(errno));
        }
        off += (size_t)w;
    }
    close(fd);
}

int removeEntry(const char *path, const struct stat *, int type, struct FTW *) {
    if (type == FTW_DP)
        rmdir(path);
    else
        unlink(path);
    return 0;
}

void removeTree(const std::string &path) {
    nftw(path.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

// "02" -> 2: the interface directory carries the number in decimal
long interfaceIndex(const std::string &number) {
    char *end = nullptr;
    long n = strtol(number.c_str(), &end, 16);
    if (number.empty() || end == nullptr || *end != '\0' || n < 0 || n > 255)
        throw std::invalid_argument("bad interface number \"" + number + "\"");
    return n;
}

std::string interfaceName(const UsbDevice &device, const UsbPort &port) {
    return device.busPath + ":1." + std::to_string(interfaceIndex(port.number));
}

std::string busNumber(const std::string &busPath) {
    size_t dash = busPath.find('-');
    if (dash == 0 || dash == std::string::npos || busPath.find(':') != std::string::npos ||
        !validName(busPath))
        throw std::invalid_argument("bad bus path \"" + busPath + "\"");
    return busPath.substr(0, dash);
}

}  // namespace

std::string UsbDevice::modalias(const UsbPort &port) const {
    bool acm = driver == "cdc_acm";
    std::string cls = acm ? "02" : "FF";
    std::string num = upper(port.number);
    if (num.size() < 2) num.insert(0, 2 - num.size(), '0');
    return "usb:v" + upper(vendor) + "p" + upper(product) + "d" + upper(bcdDevice) +
           (acm ? "dc02" : "dc00") + "dsc00dp00ic" + cls + "isc" + cls + "ip" +
           upper(port.protocol) + "in" + num;
}

UsbTree::UsbTree(std::string sysroot) : sysroot_(std::move(sysroot)) {}

std::string UsbTree::driverDir(const std::string &driver) const {
    return sysroot_ + "/sys/bus/usb/drivers/" + driver;
}

std::string UsbTree::deviceDir(const UsbDevice &device) const {
    return sysroot_ + "/sys/devices/usb" + busNumber(device.busPath) + "/" + device.busPath;
}

void UsbTree::loadDriver(const std::string &driver) {
    if (!validName(driver)) throw std::invalid_argument("bad driver name \"" + driver + "\"");
    std::lock_guard<std::mutex> lock(*lock_);
    std::string dir = driverDir(driver);
    mkdirs(dir);
    for (const char *f : kDriverFiles) {
        std::string path = dir + "/" + f;
        if (access(path.c_str(), F_OK) != 0) writeAttr(path, "");
    }
}

void UsbTree::plug(const UsbDevice &device) {
    if (!validName(device.driver) || !validName(device.vendor) || !validName(device.product) ||
        !validName(device.bcdDevice))
        throw std::invalid_argument("bad driver or USB id");
    std::string devDir = deviceDir(device);
    std::vector<std::string> names;
    for (const UsbPort &p : device.ports) {
        if (!validName(p.protocol) || (!p.tty.empty() && !validName(p.tty)))
            throw std::invalid_argument("bad port " + p.number);
        std::string name = interfaceName(device, p);
        if (std::find(names.begin(), names.end(), name) != names.end())
            throw std::invalid_argument("interface " + p.number + " listed twice");
        names.push_back(name);
    }
    loadDriver(device.driver);

    std::lock_guard<std::mutex> lock(*lock_);
    for (const UsbDevice &d : devices_)
        if (d.busPath == device.busPath)
            throw std::invalid_argument("bus path " + device.busPath + " already plugged");
    try {
        // the device and its interfaces, complete before any driver link
        mkdirs(devDir);
        writeAttr(devDir + "/idVendor", device.vendor);
        writeAttr(devDir + "/idProduct", device.product);
        writeAttr(devDir + "/bcdDevice", device.bcdDevice);
        for (const UsbPort &p : device.ports) {
            std::string dir = devDir + "/" + interfaceName(device, p);
            mkdirs(dir);
            writeAttr(dir + "/modalias", device.modalias(p));
            writeAttr(dir + "/bInterfaceNumber", p.number);
            writeAttr(dir + "/bInterfaceProtocol", p.protocol);
            writeAttr(dir + "/bInterfaceClass", device.driver == "cdc_acm" ? "02" : "ff");
            writeAttr(dir + "/uevent", "DEVTYPE=usb_interface");
            if (p.tty.empty()) continue;
            std::string tty = device.driver == "cdc_acm" ? dir + "/tty/" + p.tty : dir + "/" + p.tty;
            mkdirs(tty);
            writeAttr(tty + "/uevent", "DEVNAME=" + p.tty);
        }
        // bind: one atomic link per interface
        std::string bus = busNumber(device.busPath);
        for (const UsbPort &p : device.ports) {
            std::string name = interfaceName(device, p);
            std::string link = driverDir(device.driver) + "/" + name;
            std::string target = "../../../../devices/usb" + bus + "/" + device.busPath + "/" + name;
            if (symlink(target.c_str(), link.c_str()) != 0)
                throw std::runtime_error("symlink " + link + ": " + strerror(errno));
            created_.push_back(link);
        }
    } catch (...) {
        removeLocked(device);
        throw;
    }
    devices_.push_back(device);
}

void UsbTree::removeLocked(const UsbDevice &device) {
    std::string prefix = driverDir(device.driver) + "/" + device.busPath + ":";
    for (auto it = created_.begin(); it != created_.end();) {
        if (it->compare(0, prefix.size(), prefix) == 0) {
            unlink(it->c_str());
            it = created_.erase(it);
        } else {
            ++it;
        }
    }
    removeTree(deviceDir(device));
}

void UsbTree::unplug() {
    std::lock_guard<std::mutex> lock(*lock_);
    // unbind every interface first, then drop the device directories
    for (const std::string &link : created_) unlink(link.c_str());
    created_.clear();
    for (const UsbDevice &d : devices_) removeTree(deviceDir(d));
    devices_.clear();
}

std::vector<UsbDevice> UsbTree::devices() const {
    std::lock_guard<std::mutex> lock(*lock_);
    return devices_;
}

bool UsbTree::plugged() const {
    std::lock_guard<std::mutex> lock(*lock_);
    return !devices_.empty();
}

std::vector<std::string> UsbTree::modelNames() {
    return {"wcdma6290", "cdma", "lte", "lte8909", "asr"};
}

UsbDevice UsbTree::model(const std::string &name) {
    UsbDevice d;
    d.driver = "option";
    if (name == "wcdma6290") {
        // WCDMA module of the 6290 kind: vendor-specific modem, diagnostic, AT
        d.vendor = "05C6";
        d.product = "2601";
        d.ports = {{"00", "ff", "ttyUSB0"}, {"01", "ff", "ttyUSB1"}, {"02", "ff", "ttyUSB2"}};
        d.modemTty = "ttyUSB0";
        d.atTty = "ttyUSB2";
    } else if (name == "cdma") {
        d.vendor = "05C6";
        d.product = "1601";
        d.ports = {{"00", "ff", "ttyUSB0"}, {"01", "ff", "ttyUSB1"}, {"02", "ff", "ttyUSB2"}};
        d.modemTty = "ttyUSB0";
        d.atTty = "ttyUSB2";
    } else if (name == "lte") {
        d.vendor = "05C6";
        d.product = "9025";
        d.ports = {{"00", "ff", "ttyUSB0"}, {"01", "ff", "ttyUSB1"}, {"02", "ff", "ttyUSB2"}};
        d.modemTty = "ttyUSB0";
        d.atTty = "ttyUSB2";
    } else if (name == "lte8909") {
        // the two-port layout: modem on interface 02, AT on 03
        d.vendor = "05C6";
        d.product = "9020";
        d.ports = {{"02", "01", "ttyUSB0"}, {"03", "01", "ttyUSB1"}};
        d.modemTty = "ttyUSB0";
        d.atTty = "ttyUSB1";
    } else if (name == "asr") {
        // interfaces 00 and 01 are the RNDIS network function (another driver)
        d.vendor = "1286";
        d.product = "4E3C";
        d.ports = {{"02", "01", "ttyUSB0"}, {"03", "01", "ttyUSB1"}, {"04", "01", "ttyUSB2"}};
        d.modemTty = "ttyUSB2";
        d.atTty = "ttyUSB1";
    } else {
        throw std::invalid_argument("unknown model " + name);
    }
    return d;
}

}  // namespace modemsim
