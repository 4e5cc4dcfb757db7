#pragma once

#include <deque>
#include <vector>

#include "platform/ftd2xx/vbus/chip.h"
#include "platform/ftd2xx/vbus/device.h"

namespace vt5test {

// A far end for link tests: records what it receives (one entry per driver write) and the
// CBUS levels it sees, answers each write with the next queued reply, or echoes.
class ScriptedDevice final : public platform::vbus::Device {
public:
    struct Received {
        platform::vbus::Bytes bytes;
        uint32_t baud;
    };

    void onReceive(const uint8_t* data, size_t count, const platform::vbus::LineSettings& line,
                   platform::TimePoint, platform::vbus::Bytes& out) override {
        received.push_back({platform::vbus::Bytes(data, data + count), line.baud});
        if (!replies.empty()) {
            out.insert(out.end(), replies.front().begin(), replies.front().end());
            replies.pop_front();
        } else if (echo) {
            out.insert(out.end(), data, data + count);
        }
    }
    void onPins(uint8_t levels, platform::TimePoint, platform::vbus::Bytes&) override {
        pins.push_back(levels);
    }

    std::vector<Received> received;
    std::vector<uint8_t> pins;
    std::deque<platform::vbus::Bytes> replies;
    bool echo = false;
};

// Runs f(ScriptedDevice&, out) under the chip's lock; bytes put into out reach the PC.
template <class F>
void withScripted(platform::vbus::Chip& chip, F f) {
    chip.withDevice([&](platform::vbus::Device& d, platform::TimePoint,
                        platform::vbus::Bytes& out) { f(static_cast<ScriptedDevice&>(d), out); });
}

}  // namespace vt5test
