#include "hcsim/ft230x/eeprom.h"

namespace hcsim::ft230x {
namespace {

constexpr int kCbusOffset = 0x1A;
constexpr int kStringArea = 0xA0;  // the strings' place in the chip's MTP memory
constexpr int kChecksumWord = 0x7F;

}  // namespace

Eeprom::Eeprom(const UsbIdentity& id, const std::array<CbusFunction, 4>& cbus) {
    bytes_[0x00] = 0x00;
    bytes_[0x01] = 0x00;
    bytes_[0x02] = static_cast<uint8_t>(id.vendor);
    bytes_[0x03] = static_cast<uint8_t>(id.vendor >> 8);
    bytes_[0x04] = static_cast<uint8_t>(id.product);
    bytes_[0x05] = static_cast<uint8_t>(id.product >> 8);
    bytes_[0x06] = 0x00;  // bcdDevice 0x1000
    bytes_[0x07] = 0x10;
    bytes_[0x08] = 0x80;  // bus powered
    bytes_[0x09] = 45;    // 90 mA
    for (int i = 0; i < 4; ++i)
        bytes_[kCbusOffset + i] = static_cast<uint8_t>(cbus[i]);
    // Manufacturer, description and serial as string descriptors, each located by an
    // offset/length pair.
    int at = kStringArea;
    int slot = 0x0E;
    for (uint8_t index = 1; index <= 3; ++index) {
        Bytes s = stringDescriptor(id, index);
        if (at + static_cast<int>(s.size()) > 0xFE) s.resize(static_cast<size_t>(0xFE - at));
        bytes_[static_cast<size_t>(slot)] = static_cast<uint8_t>(at);
        bytes_[static_cast<size_t>(slot + 1)] = static_cast<uint8_t>(s.size());
        for (uint8_t b : s)
            bytes_[static_cast<size_t>(at++)] = b;
        slot += 2;
    }
    seal();
}

uint16_t Eeprom::word(uint8_t address) const {
    size_t i = (address & 0x7F) * 2u;
    return static_cast<uint16_t>(bytes_[i] | bytes_[i + 1] << 8);
}

void Eeprom::write(uint8_t address, uint16_t value) {
    size_t i = (address & 0x7F) * 2u;
    bytes_[i] = static_cast<uint8_t>(value);
    bytes_[i + 1] = static_cast<uint8_t>(value >> 8);
}

CbusFunction Eeprom::cbus(int pin) const {
    return static_cast<CbusFunction>(bytes_[static_cast<size_t>(kCbusOffset + (pin & 3))]);
}

uint8_t Eeprom::gpioPins() const {
    uint8_t pins = 0;
    for (int i = 0; i < 4; ++i)
        if (cbus(i) == CbusFunction::Gpio) pins |= static_cast<uint8_t>(1 << i);
    return pins;
}

// The FT230X checksum: every word but the user area 0x12..0x3F, rotated and xored, in the
// last word.
void Eeprom::seal() {
    uint16_t sum = 0xAAAA;
    for (int i = 0; i < kChecksumWord; ++i) {
        if (i == 0x12) i = 0x40;
        sum = static_cast<uint16_t>(word(static_cast<uint8_t>(i)) ^ sum);
        sum = static_cast<uint16_t>(sum << 1 | sum >> 15);
    }
    write(kChecksumWord, sum);
}

}  // namespace hcsim::ft230x
