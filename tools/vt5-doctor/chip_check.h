#pragma once

#include <string>
#include <vector>

namespace doctor {

// What vt5-doctor found out about one FT230X.
struct ChipCheck {
    int bus = 0;
    std::string port;     // "1-4.2", the sysfs name
    std::string devNode;  // /dev/bus/usb/BBB/DDD
    std::string serial;
    std::string description;
    std::vector<std::string> facts;     // report lines ("latency timer: 16 ms")
    std::vector<std::string> problems;  // one line each, with the way to mend it
};

// Checks every FT230X (0403:6015) that libusb sees, or only the one with `serial`.
// `error` is set when libusb itself cannot run.
std::vector<ChipCheck> CheckChips(const std::string& serial, std::string& error);

}  // namespace doctor
