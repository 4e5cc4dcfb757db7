#include "tools/vt5-doctor/chip_check.h"

#include <ftdi.h>
#include <libusb.h>

#include <cstdio>
#include <memory>

#include "platform/ftd2xx/libftdi/chip_access.h"
#include "platform/ftd2xx/libftdi/usb_sysfs.h"

namespace doctor {
namespace {

constexpr int kVendor = 0x0403;
constexpr int kProduct = 0x6015;

struct ContextDeleter {
    void operator()(ftdi_context* c) const { ftdi_free(c); }
};
struct HandleDeleter {
    void operator()(libusb_device_handle* h) const { libusb_close(h); }
};

const char* CbusName(int function) {
    static const char* const kNames[] = {
        "TRISTATE", "TXLED",      "RXLED",          "TXRXLED", "PWREN",   "SLEEP",
        "DRIVE_0",  "DRIVE_1",    "GPIO",           "TXDEN",   "CLK24",   "CLK12",
        "CLK6",     "BAT_DETECT", "BAT_DETECT_NEG", "I2C_TXE", "I2C_RXF", "VBUS_SENSE",
        "BB_WR",    "BB_RD",      "TIME_STAMP",     "AWAKE"};
    if (function < 0 || function >= static_cast<int>(std::size(kNames))) return "unknown";
    return kNames[function];
}

std::string Text(libusb_device_handle* h, uint8_t index) {
    unsigned char text[128] = {};
    if (!index || libusb_get_string_descriptor_ascii(h, index, text, sizeof text) < 0) return {};
    return reinterpret_cast<char*>(text);
}

// The EEPROM's CBUS functions and the latency timer, with the chip opened.
void CheckOpened(ftdi_context* ctx, ChipCheck& c) {
    if (ftdi_read_eeprom(ctx) == 0 && ftdi_eeprom_decode(ctx, 0) == 0) {
        std::string pins, notGpio;
        for (int pin = 0; pin < 4; ++pin) {
            int function = -1;
            ftdi_get_eeprom_value(ctx, static_cast<ftdi_eeprom_value>(CBUS_FUNCTION_0 + pin),
                                  &function);
            std::string name = "CBUS" + std::to_string(pin);
            pins += (pin ? ", " : "") + name + " " + CbusName(function);
            if (pin == 1) pins += " (ESC line)";
            if (pin == 3) pins += " (RESET line)";
            if ((pin == 1 || pin == 3) && function != CBUSX_IOMODE)
                notGpio += (notGpio.empty() ? "" : " and ") + name + " is " + CbusName(function);
        }
        c.facts.push_back("CBUS pins: " + pins);
        if (!notGpio.empty())
            c.problems.push_back(
                notGpio +
                ", not GPIO, in the chip's EEPROM: the HC cannot be switched on, reset or put "
                "into BOOT mode from the PC (program CBUS1 and CBUS3 as GPIO with FTDI's "
                "FT_PROG, or switch the HC by hand)");
    } else {
        c.problems.push_back(std::string("the chip's EEPROM cannot be read: ") +
                             ftdi_get_error_string(ctx));
    }
    unsigned char latency = 0;
    if (ftdi_get_latency_timer(ctx, &latency) == 0)
        c.facts.push_back("latency timer: " + std::to_string(latency) +
                          " ms (the suite sets 2 ms while it has the chip open)");
}

ChipCheck CheckOne(ftdi_context* ctx, libusb_device* dev) {
    ChipCheck c;
    c.bus = libusb_get_bus_number(dev);
    c.port = platform::ftd2xx::usbSysfsName(dev);
    c.devNode = platform::ftd2xx::usbDevNode(dev);
    libusb_device_handle* raw = nullptr;
    int r = libusb_open(dev, &raw);
    if (r == LIBUSB_ERROR_ACCESS) {
        c.problems.push_back(platform::ftd2xx::permissionProblem(c.devNode));
        return c;
    }
    if (r != 0) {
        c.problems.push_back("cannot open " + c.devNode + ": " + libusb_strerror(r));
        return c;
    }
    std::unique_ptr<libusb_device_handle, HandleDeleter> handle(raw);
    libusb_device_descriptor desc{};
    libusb_get_device_descriptor(dev, &desc);
    c.serial = Text(raw, desc.iSerialNumber);
    c.description = Text(raw, desc.iProduct);
    handle.reset();

    std::string driver = platform::ftd2xx::interfaceDriver(dev);
    if (driver == "usbfs") {
        c.problems.push_back(platform::ftd2xx::heldProblem(dev));
        return c;
    }
    if (driver == "ftdi_sio")
        c.facts.push_back(
            "kernel driver: ftdi_sio has the chip (as /dev/ttyUSB*); it is detached when a "
            "program of the suite opens the chip");
    else if (!driver.empty())
        c.facts.push_back("kernel driver: " + driver + " has the chip");
    std::string why;
    if (platform::ftd2xx::openChip(ctx, dev, why) < 0) {
        c.problems.push_back(why);
        return c;
    }
    c.facts.push_back("access: the chip opens");
    CheckOpened(ctx, c);
    ftdi_usb_close(ctx);
    return c;
}

}  // namespace

std::vector<ChipCheck> CheckChips(const std::string& serial, std::string& error) {
    std::vector<ChipCheck> checks;
    std::unique_ptr<ftdi_context, ContextDeleter> ctx(ftdi_new());
    if (!ctx) {
        error = "libftdi1 cannot start (libusb failed to initialise)";
        return checks;
    }
    ftdi_device_list* list = nullptr;
    int n = ftdi_usb_find_all(ctx.get(), &list, kVendor, kProduct);
    if (n < 0) {
        error =
            std::string("libusb cannot list the USB devices: ") + ftdi_get_error_string(ctx.get());
        return checks;
    }
    for (ftdi_device_list* d = list; d; d = d->next) {
        ChipCheck c = CheckOne(ctx.get(), d->dev);
        if (serial.empty() || c.serial.empty() || c.serial == serial)
            checks.push_back(std::move(c));
    }
    ftdi_list_free(&list);
    return checks;
}

}  // namespace doctor
