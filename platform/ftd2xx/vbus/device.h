#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock/clock.h"

namespace platform::vbus {

using Bytes = std::vector<uint8_t>;

// The chip's serial line settings as the far end sees them.
struct LineSettings {
    uint32_t baud = 9600;
    uint8_t wordLength = 8;
    uint8_t stopBits = 0;  // D2XX value: 0 = one stop bit, 2 = two
    uint8_t parity = 0;
    uint16_t flow = 0;
};

// What sits behind a simulated chip: the HC, or a loopback or scripted device in tests. The
// chip calls these one at a time (under its own lock); whatever the device sends back goes
// into `out` and reaches the PC's receive queue, starting at the time given.
class Device {
public:
    virtual ~Device() = default;

    // Bytes that reached the device's receive line, the last of them at `at`.
    virtual void onReceive(const uint8_t* data, size_t count, const LineSettings& line,
                           TimePoint at, Bytes& out) = 0;

    // The CBUS pin levels the device sees changed. Pins the chip does not drive read low.
    virtual void onPins(uint8_t levels, TimePoint at, Bytes& out) {
        (void)levels, (void)at, (void)out;
    }

    // Lets time-driven behaviour happen up to `now` (called before every chip operation).
    virtual void onTick(TimePoint now, Bytes& out) { (void)now, (void)out; }

    // When the device next wants onTick, so that a waiting reader wakes in time.
    virtual TimePoint nextEvent() const { return TimePoint::max(); }

    // A text command from a test or an operator (vt5-hcsim control); returns the reply,
    // which begins with "error:" when the command was not carried out.
    virtual std::string onControl(const std::string& command, TimePoint now, Bytes& out) {
        (void)command, (void)now, (void)out;
        return "error: unknown command";
    }
};

}  // namespace platform::vbus
