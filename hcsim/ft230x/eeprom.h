#pragma once

#include <array>
#include <cstdint>

#include "hcsim/ft230x/descriptors.h"

namespace hcsim::ft230x {

// CBUS pin functions an FT230X's EEPROM can give its four CBUS pins (the chip's own codes).
enum class CbusFunction : uint8_t {
    Tristate = 0,
    TxLed = 1,
    RxLed = 2,
    TxRxLed = 3,
    PowerEnable = 4,
    Sleep = 5,
    Drive0 = 6,
    Drive1 = 7,
    Gpio = 8,  // CBUS bit-bang
    TxDen = 9,
};

// The FT230X's 256-byte EEPROM (128 words): the settings a programmer writes into it, with the
// string area and the checksum the chip keeps beside them.
class Eeprom {
public:
    Eeprom(const UsbIdentity& id, const std::array<CbusFunction, 4>& cbus);

    uint16_t word(uint8_t address) const;
    void write(uint8_t address, uint16_t value);
    CbusFunction cbus(int pin) const;
    // The CBUS pins (bit n = CBUS n) that bit-bang can drive.
    uint8_t gpioPins() const;

private:
    void seal();
    std::array<uint8_t, 256> bytes_{};
};

}  // namespace hcsim::ft230x
