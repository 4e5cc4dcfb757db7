#pragma once

#include <cstdint>

namespace common {

// An RGB565 pixel of the HC's display as 0x00RRGGBB, each field's top bits repeated into the
// low bits of its byte (so that white stays white).
constexpr uint32_t Rgb565ToRgb32(uint16_t p) {
    uint32_t r5 = p >> 11, g6 = (p >> 5) & 0x3F, b5 = p & 0x1F;
    return (r5 * 8 + r5 / 4) << 16 | (g6 * 4 + g6 / 16) << 8 | (b5 * 8 + b5 / 4);
}

}  // namespace common
