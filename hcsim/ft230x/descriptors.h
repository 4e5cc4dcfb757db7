#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hcsim::ft230x {

using Bytes = std::vector<uint8_t>;

// The USB identity of an FT230X as its descriptors give it.
struct UsbIdentity {
    uint16_t vendor = 0x0403;
    uint16_t product = 0x6015;
    std::string manufacturer = "FTDI";
    std::string description;
    std::string serial;
};

constexpr uint8_t kBulkIn = 0x81;
constexpr uint8_t kBulkOut = 0x02;
constexpr int kPacketSize = 64;  // full speed

// The device descriptor (18 bytes).
Bytes deviceDescriptor(const UsbIdentity& id);
// The one configuration with its interface and the two bulk endpoints.
Bytes configurationDescriptor();
// String descriptor `index` (0: the language list); empty when there is none.
Bytes stringDescriptor(const UsbIdentity& id, uint8_t index);

}  // namespace hcsim::ft230x
