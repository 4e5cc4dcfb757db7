#pragma once

#include "platform/ftd2xx/vbus/device.h"

namespace hcsim {

// Sends back every byte it receives: the simplest far end for testing a link.
class LoopbackDevice final : public platform::vbus::Device {
public:
    void onReceive(const uint8_t* data, size_t count, const platform::vbus::LineSettings&,
                   platform::TimePoint, platform::vbus::Bytes& out) override {
        out.insert(out.end(), data, data + count);
    }
};

}  // namespace hcsim
