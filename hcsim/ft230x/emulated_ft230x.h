#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "hcsim/ft230x/eeprom.h"
#include "hcsim/ft230x/testbed.h"
#include "hcsim/ft230x/usb_function.h"
#include "hcsim/hc/simulated_hc.h"

typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;

namespace hcsim::ft230x {

struct Ft230xConfig {
    HcConfig hc;  // the HC behind the chip; its serial and description are the chip's strings
    // CBUS 1 (ESC) and CBUS 3 (RESET) reach the HC's lines only as GPIO.
    std::array<CbusFunction, 4> cbus = {CbusFunction::TxLed, CbusFunction::Gpio,
                                        CbusFunction::RxLed, CbusFunction::Gpio};
    int bus = 1;
    int address = 2;
    std::string port = "1";    // the sysfs name is <bus>-<port>
    bool kernelDriver = true;  // ftdi_sio holds the interface, as on a freshly plugged chip
    // The errno with which the kernel refuses to detach ftdi_sio (0: it lets go). EACCES is
    // what a program gets whose usbfs rights were dropped (a sandbox that handed it the device
    // file), EHOSTUNREACH while the device is not configured.
    int detachError = 0;
};

// An FT230X on umockdev's sandboxed USB bus: its sysfs entries, /dev/bus/usb node and the
// usbdevfs ioctls that libusb sends (descriptors, claims, kernel driver, control and bulk URBs),
// with the simulated HC at the far end of its serial line. libusb, libftdi1 and everything above
// them run unchanged, in this process or in programs started from it.
class EmulatedFt230x {
public:
    EmulatedFt230x(Testbed& testbed, Ft230xConfig config = {});
    ~EmulatedFt230x();
    EmulatedFt230x(const EmulatedFt230x&) = delete;
    EmulatedFt230x& operator=(const EmulatedFt230x&) = delete;

    SimulatedHc& hc() { return *hc_; }
    UsbFunction& function() { return *function_; }
    std::string devNode() const;  // /dev/bus/usb/BBB/DDD
    std::string sysPath() const;  // /sys/devices/usbB/B-P
    std::string interfacePath() const;
    // The device file in the sandbox, for tests that change its mode.
    std::string devNodeFile() const;

    // Lets programs of other users reach the sandbox and the chip's ioctl handler, so that the
    // device file's own mode decides, as the kernel does, who may open it. Again after plug().
    void letOtherUsersIn();

    // Pulling the plug: pending URBs end with -ESHUTDOWN, every later call with ENODEV, the
    // device leaves sysfs and /dev. plug() puts it back (a new open is needed).
    void unplug();
    void plug();
    bool plugged() const;

    // Whether a program holds the interface.
    bool claimed();
    // URBs reaped so far (every poll of the chip costs one).
    uint64_t urbsReaped() const;

private:
    struct Urb;
    struct Client;

    static int onIoctl(UMockdevIoctlBase* base, UMockdevIoctlClient* client, void* self);
    static void onConnected(UMockdevIoctlBase* base, UMockdevIoctlClient* client, void* self);
    bool handle(UMockdevIoctlClient* client);
    void submit(UMockdevIoctlClient* client, Client& c);
    void reap(UMockdevIoctlClient* client, Client& c);
    void discard(UMockdevIoctlClient* client, Client& c);
    void pump(Client& c);
    void finishControl(Urb& urb);
    void setDriverLink(const char* driver);
    void sweep();

    Testbed& testbed_;
    const Ft230xConfig config_;
    platform::vbus::LocalBus line_;  // private: the chip is reached through USB only
    std::unique_ptr<SimulatedHc> hc_;
    std::unique_ptr<UsbFunction> function_;
    UMockdevIoctlBase* handler_ = nullptr;

    mutable std::mutex mutex_;
    std::map<UMockdevIoctlClient*, std::unique_ptr<Client>> clients_;
    UMockdevIoctlClient* claimedBy_ = nullptr;
    bool kernelDriver_;
    bool plugged_ = false;
    uint64_t reaped_ = 0;
};

}  // namespace hcsim::ft230x
