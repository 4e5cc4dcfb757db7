#pragma once

#include <string>

struct ftdi_context;
struct libusb_device;

namespace platform::ftd2xx {

// The chip's device file, /dev/bus/usb/BBB/DDD.
std::string usbDevNode(libusb_device* dev);

// Why this user cannot open the device file, with the way to mend it: the udev rule and the
// plugdev group.
std::string permissionProblem(const std::string& devNode);

// Which other programs hold the chip ("held by gantrix (pid 9283): ..."), for a chip whose
// interface a program has claimed.
std::string heldProblem(libusb_device* dev);

// Why the chip cannot be opened at all (no permission, gone), in words; empty when it opens.
std::string accessProblem(libusb_device* dev);

// Opens the chip into `ctx` through libftdi1. The kernel's ftdi_sio driver is detached here
// rather than inside libftdi, which keeps only a bare "unable to claim" when that fails: so the
// kernel's reason reaches `why`, as every other failure does. 0, or < 0 with `why` set.
int openChip(ftdi_context* ctx, libusb_device* dev, std::string& why);

}  // namespace platform::ftd2xx
