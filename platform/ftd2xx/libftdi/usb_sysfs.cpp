#include "platform/ftd2xx/libftdi/usb_sysfs.h"

#include <libusb.h>

#include <filesystem>

namespace platform::ftd2xx {

std::string usbSysfsName(libusb_device* dev) {
    uint8_t ports[8];
    int n = libusb_get_port_numbers(dev, ports, sizeof ports);
    std::string name = std::to_string(libusb_get_bus_number(dev));
    for (int i = 0; i < n; ++i)
        name += (i == 0 ? "-" : ".") + std::to_string(ports[i]);
    return name;
}

std::string interfaceDriver(libusb_device* dev) {
    std::error_code ec;
    auto link = std::filesystem::read_symlink(
        "/sys/bus/usb/devices/" + usbSysfsName(dev) + ":1.0/driver", ec);
    return ec ? std::string() : link.filename().string();
}

}  // namespace platform::ftd2xx
