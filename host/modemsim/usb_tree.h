// The directory tree the kernel shows under /sys/bus/usb/drivers/<driver>
// for a plugged USB module, written under a sysroot; used by discovery tests
// and by the simulated module.
//
// Layout written for a device with busPath "1-1" on the "option" driver:
//   sys/devices/usb1/1-1/{idVendor,idProduct,bcdDevice}
//   sys/devices/usb1/1-1/1-1:1.<n>/{modalias,bInterfaceNumber,bInterfaceProtocol,...}
//   sys/devices/usb1/1-1/1-1:1.<n>/ttyUSB<k>/            (option)
//   sys/devices/usb1/1-1/1-1:1.<n>/tty/ttyACM<k>/        (cdc_acm)
//   sys/bus/usb/drivers/option/1-1:1.<n> -> ../../../../devices/usb1/1-1/1-1:1.<n>
// The driver directory also carries the driver's own files (bind, unbind,
// new_id, remove_id, uevent), which have no colon in their names.
//
// Plugging writes each interface directory completely before the driver link
// appears, and unplugging removes the links before the directories, so a
// concurrent scan sees either a whole interface or none of it; the interfaces
// of a device appear one after another, as the kernel binds them. Every method
// may be called from any thread; copies of a tree share its lock.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace modemsim {

struct UsbPort {
    std::string number;    // bInterfaceNumber text, "02"
    std::string protocol;  // bInterfaceProtocol text, "ff" for vendor-specific
    std::string tty;       // "ttyUSB2" (option) or "ttyACM0" (cdc_acm); empty for none
};

struct UsbDevice {
    std::string driver = "option";  // or "cdc_acm"
    std::string vendor;             // "05C6"
    std::string product;            // "9025"
    std::string busPath = "1-1";    // interface directories are busPath + ":1." + n
    std::vector<UsbPort> ports;
    // the roles discovery gives these ports (filled by model())
    std::string atTty;
    std::string modemTty;
    // bcdDevice as it appears in the modalias ("d0000"); four hex digits
    std::string bcdDevice = "0000";

    // The "modalias" text of one interface, as the kernel writes it:
    // usb:v05C6p9025d0000dc00dsc00dp00icFFiscFFipFFin02
    std::string modalias(const UsbPort &port) const;
};

class UsbTree {
public:
    explicit UsbTree(std::string sysroot);
    // writes the device's interface directories (adds to what is plugged);
    // throws std::invalid_argument when the bus path is already plugged or
    // a field would not make a valid directory name, std::runtime_error
    // when the files cannot be written
    void plug(const UsbDevice &device);
    // removes every plugged device's directories (the driver directories
    // stay, as they do while the drivers are loaded)
    void unplug();
    const std::string &sysroot() const { return sysroot_; }

    // the devices plugged now, in plugging order
    std::vector<UsbDevice> devices() const;
    bool plugged() const;
    // creates an empty driver directory (the driver is loaded, nothing bound)
    void loadDriver(const std::string &driver);
    // sysroot + "/sys/bus/usb/drivers/" + driver
    std::string driverDir(const std::string &driver) const;

    // Known module models: "wcdma6290", "cdma", "lte", "lte8909", "asr".
    // Throws std::invalid_argument for an unknown name.
    static UsbDevice model(const std::string &name);
    static std::vector<std::string> modelNames();

private:
    std::string deviceDir(const UsbDevice &device) const;
    void removeLocked(const UsbDevice &device);

    std::string sysroot_;
    std::vector<std::string> created_;  // driver links, in creation order
    std::vector<UsbDevice> devices_;
    std::shared_ptr<std::mutex> lock_ = std::make_shared<std::mutex>();
};

}  // namespace modemsim
