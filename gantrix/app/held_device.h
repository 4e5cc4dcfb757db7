#pragma once

// An HC that is plugged in but held by another program, and which program that is: the
// driver's device list marks a device some process has opened, and the process that has the
// chip's USB device node open names the program (where /proc lets this user see it).

#include <optional>
#include <string>

struct HeldDevice {
    std::string serial;   // the chip's serial, as the device list gives it
    std::string program;  // the holding program's name; empty when it cannot be seen
    int pid = 0;
};

// Where the system's views of devices and processes are (tests use a tree of their own).
struct SystemRoots {
    std::string sys = "/sys";
    std::string proc = "/proc";
    std::string dev = "/dev";
};

// The first HC in the device list (the one whose serial begins with `serial` when given) that
// another program holds; none when every listed HC is free or none is listed.
std::optional<HeldDevice> FindHeldDevice(const char* serial, const SystemRoots& roots = {});

// The process, other than this one, that has the USB device node of the FTDI chip with this
// serial open: its id and name. None when no such process can be seen.
std::optional<HeldDevice> FindNodeHolder(const std::string& chipSerial,
                                         const SystemRoots& roots = {});

// The cause, as the connect flow adds it to its message: "It is connected, but another
// program is using it (panelcast, process 4242)...".
std::string HeldDeviceText(const HeldDevice& held);
