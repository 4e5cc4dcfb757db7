#include "platform/ftd2xx/libftdi/chip_access.h"

#include <ftdi.h>
#include <libusb.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/ftd2xx/libftdi/usb_sysfs.h"
#include "platform/posix/file_holders.h"

namespace platform::ftd2xx {
namespace {

struct HandleDeleter {
    void operator()(libusb_device_handle* h) const { libusb_close(h); }
};
using Handle = std::unique_ptr<libusb_device_handle, HandleDeleter>;

// Opens the device file; the reason in words when that fails.
Handle openDevice(libusb_device* dev, std::string& why) {
    libusb_device_handle* raw = nullptr;
    int r = libusb_open(dev, &raw);
    if (r == LIBUSB_ERROR_ACCESS)
        why = permissionProblem(usbDevNode(dev));
    else if (r != 0)
        why = "cannot open " + usbDevNode(dev) + ": " + libusb_strerror(r);
    return Handle(r == 0 ? raw : nullptr);
}

}  // namespace

std::string usbDevNode(libusb_device* dev) {
    char path[64];
    std::snprintf(path, sizeof path, "/dev/bus/usb/%03d/%03d", libusb_get_bus_number(dev),
                  libusb_get_device_address(dev));
    return path;
}

std::string permissionProblem(const std::string& devNode) {
    return "no permission to open " + devNode +
           ": the udev rule 60-veltra5.rules is missing or not loaded, or you are not in the "
           "plugdev group or not logged in at the seat; mend it with: sudo cp 60-veltra5.rules "
           "/etc/udev/rules.d/ && sudo udevadm control --reload && sudo udevadm trigger, then "
           "sudo usermod -aG plugdev $USER and log in again";
}

std::string heldProblem(libusb_device* dev) {
    std::string who;
    for (const platform::FileHolder& h : platform::ProcessesHoldingFile(usbDevNode(dev))) {
        if (h.pid == ::getpid()) continue;
        who += (who.empty() ? "" : ", ") + (h.name.empty() ? "a process" : h.name) + " (pid " +
               std::to_string(h.pid) + ")";
    }
    return "held by " + (who.empty() ? "another program" : who) +
           ": close it, or reach the HC through its API server (--server)";
}

std::string accessProblem(libusb_device* dev) {
    std::string why;
    openDevice(dev, why);
    return why;
}

int openChip(ftdi_context* ctx, libusb_device* dev, std::string& why) {
    {
        Handle probe = openDevice(dev, why);
        if (!probe) return -1;
        if (libusb_kernel_driver_active(probe.get(), 0) == 1) {
            errno = 0;
            int r = libusb_detach_kernel_driver(probe.get(), 0);
            int err = errno;
            if (r != 0 && r != LIBUSB_ERROR_NOT_FOUND) {
                std::string iface = usbSysfsName(dev) + ":1.0";
                std::string driver = interfaceDriver(dev);
                if (driver.empty()) driver = "ftdi_sio";
                why = "the kernel driver " + driver +
                      " holds the chip and could not be detached (" +
                      (err ? std::strerror(err) : libusb_strerror(r)) +
                      "): unbind it by hand with: echo -n " + iface +
                      " | sudo tee /sys/bus/usb/drivers/" + driver + "/unbind";
                return -1;
            }
        }
    }
    if (ftdi_usb_open_dev(ctx, dev) < 0) {
        why = interfaceDriver(dev) == "usbfs"
                  ? heldProblem(dev)
                  : std::string("cannot open the chip: ") + ftdi_get_error_string(ctx);
        return -1;
    }
    return 0;
}

}  // namespace platform::ftd2xx
