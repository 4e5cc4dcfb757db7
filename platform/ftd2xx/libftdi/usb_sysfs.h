#pragma once

#include <string>

struct libusb_device;

namespace platform::ftd2xx {

// The device's name in /sys/bus/usb/devices ("1-4.2"), from its bus and port numbers.
std::string usbSysfsName(libusb_device* dev);

// The driver that holds the device's first interface: "usbfs" while a program has claimed it,
// "ftdi_sio" while the kernel's serial driver has it, empty when none does.
std::string interfaceDriver(libusb_device* dev);

}  // namespace platform::ftd2xx
