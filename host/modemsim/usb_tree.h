// The directory tree the kernel shows under /sys/bus/usb/drivers/<driver>
// for a plugged USB module, written under a sysroot; used by discovery tests
// and by the simulated module.
#pragma once

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
};

class UsbTree {
public:
    explicit UsbTree(std::string sysroot);
    // writes the device's interface directories (adds to what is plugged)
    void plug(const UsbDevice &device);
    // removes every plugged device's directories
    void unplug();
    const std::string &sysroot() const { return sysroot_; }

    // Known module models: "wcdma6290", "cdma", "lte", "lte8909", "asr".
    // Throws std::invalid_argument for an unknown name.
    static UsbDevice model(const std::string &name);

private:
    std::string sysroot_;
    std::vector<std::string> created_;
};

}  // namespace modemsim
