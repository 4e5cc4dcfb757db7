#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "hcsim/ft230x/descriptors.h"
#include "hcsim/ft230x/eeprom.h"
#include "platform/clock/clock.h"
#include "platform/ftd2xx/vbus/chip.h"

namespace hcsim::ft230x {

// The answer to a control request: the bytes of an IN request, or a stall.
struct ControlReply {
    bool stall = false;
    Bytes data;
};

// One bulk-IN URB as the chip fills it: the latency timer runs from the last packet sent.
struct InUrbState {
    size_t capacity = 0;  // the URB's buffer length
    int fullPacketsSeen = 0;
};

// What an FT230X does on its USB side: the standard and FTDI vendor control requests, bulk
// OUT into the serial line and bulk IN in 64-byte packets, each led by the two modem-status
// bytes, a short packet when the latency timer runs out. The far end of its serial line is a
// simulated chip of the virtual bus (line settings, pacing, CBUS pins to the HC). Thread-safe.
class UsbFunction {
public:
    UsbFunction(UsbIdentity id, const std::array<CbusFunction, 4>& cbus,
                std::shared_ptr<platform::vbus::Chip> line);

    const UsbIdentity& identity() const { return id_; }
    Bytes descriptors() const;  // device and configuration descriptors, as sysfs shows them

    ControlReply control(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                         uint16_t length, const Bytes& outData);

    // A bulk-OUT URB's bytes go onto the line at once; the URB is done once the chip's transmit
    // buffer has room again.
    void bulkOut(const uint8_t* data, size_t count);
    bool bulkOutDone();

    // The packets of a bulk-IN URB if the chip would complete it by `now`.
    std::optional<Bytes> bulkIn(InUrbState& urb, platform::TimePoint now);

    uint8_t latencyMs() const;
    uint8_t gpioPins() const;

private:
    ControlReply vendor(uint8_t request, uint16_t value, uint16_t index, uint16_t length);
    ControlReply standard(uint8_t request, uint16_t value, uint16_t length);

    const UsbIdentity id_;
    std::shared_ptr<platform::vbus::Chip> line_;
    mutable std::mutex mutex_;
    Eeprom eeprom_;
    uint8_t latencyMs_ = 16;
    platform::TimePoint lastPacketAt_{};
};

// The baud rate an FT230X runs at for the divisor of a set-baud-rate request.
uint32_t baudFromDivisor(uint16_t value, uint16_t index);

}  // namespace hcsim::ft230x
