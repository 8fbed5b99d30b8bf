// (not built yet)
#include "usb_tree.h"

#include <stdexcept>

namespace modemsim {

UsbTree::UsbTree(std::string sysroot) : sysroot_(std::move(sysroot)) {}
void UsbTree::plug(const UsbDevice &) {}
void UsbTree::unplug() {}
UsbDevice UsbTree::model(const std::string &name) { throw std::invalid_argument("unknown model " + name); }

}  // namespace modemsim
