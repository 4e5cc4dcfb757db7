#include "hcsim/ft230x/descriptors.h"

namespace hcsim::ft230x {
namespace {

void put16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v & 0xFF));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

}  // namespace

Bytes deviceDescriptor(const UsbIdentity& id) {
    Bytes d{18, 0x01};
    put16(d, 0x0200);  // USB 2.0
    d.insert(d.end(), {0x00, 0x00, 0x00, 8});
    put16(d, id.vendor);
    put16(d, id.product);
    put16(d, 0x1000);  // bcdDevice: how libftdi tells an FT230X
    d.insert(d.end(), {1, 2, 3, 1});
    return d;
}

Bytes configurationDescriptor() {
    Bytes d{9, 0x02, 32, 0, 1, 1, 0, 0x80, 45};                  // bus powered, 90 mA
    d.insert(d.end(), {9, 0x04, 0, 0, 2, 0xFF, 0xFF, 0xFF, 2});  // vendor-specific interface
    d.insert(d.end(), {7, 0x05, kBulkIn, 0x02, kPacketSize, 0, 0});
    d.insert(d.end(), {7, 0x05, kBulkOut, 0x02, kPacketSize, 0, 0});
    return d;
}

Bytes stringDescriptor(const UsbIdentity& id, uint8_t index) {
    if (index == 0) return {4, 0x03, 0x09, 0x04};
    const std::string* text = index == 1   ? &id.manufacturer
                              : index == 2 ? &id.description
                              : index == 3 ? &id.serial
                                           : nullptr;
    if (!text) return {};
    Bytes d{static_cast<uint8_t>(2 + 2 * text->size()), 0x03};
    for (char c : *text)
        put16(d, static_cast<uint8_t>(c));
    return d;
}

}  // namespace hcsim::ft230x
