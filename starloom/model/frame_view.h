#pragma once

#include <cstdint>
#include <span>

namespace starloom {

// View brightness as the dialog's "View" list offers it: 0 = 1x (full 12 bits) ... 3 = 8x
// (9 lowest bits).
constexpr int kViewBrightnessCount = 4;

// Grey level of a frame value: the bias level 256 shows as 32, full scale as 241 at 1x.
uint8_t ViewGrey(uint16_t value, int brightness);

// The frame image as 32-bit pixels 0x00RRGGBB (grey), row by row.
void DrawFrameView(std::span<const uint16_t> frame, int brightness, std::span<uint32_t> pixels);

}  // namespace starloom
