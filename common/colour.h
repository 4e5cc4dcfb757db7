#pragma once

#include <cstdint>

namespace common {

// A canvas pixel holds one colour in 32 bits. The report graphs keep the bytes red, green, blue
// in memory order (0x00BBGGRR), the order the JPEG writer takes; the on-screen views keep the
// integer 0x00RRGGBB. The drawing operations blend byte by byte and work with either.
constexpr uint32_t RgbInMemoryOrder(uint8_t r, uint8_t g, uint8_t b) {
    return uint32_t{r} | uint32_t{g} << 8 | uint32_t{b} << 16;
}

constexpr uint32_t RgbAsInteger(uint8_t r, uint8_t g, uint8_t b) {
    return uint32_t{r} << 16 | uint32_t{g} << 8 | uint32_t{b};
}

// Byte n (0 = lowest) of a pixel, whatever colour it stands for.
constexpr uint8_t PixelByte(uint32_t pixel, int n) {
    return uint8_t(pixel >> (8 * n));
}

}  // namespace common
