#pragma once

#include <cstdint>
#include <span>

namespace starloom {

// Black and white points of the automatic stretch, in frame value units.
struct StretchLevels {
    int black = 256;
    int white = 4095;
};

// The automatic stretch as imaging programs make it: the black point at a low percentile of
// the frame's values (the sky), the white point at a high one, so that the stars show
// whatever the exposure and gain. The white point stays at least kMinSpan above the black.
struct AutoStretch {
    static constexpr double kBlackPercentile = 50.0;
    static constexpr double kWhitePercentile = 99.99;
    static constexpr int kMinSpan = 16;
};
StretchLevels AutoStretchLevels(std::span<const uint16_t> frame);

// Grey level of a value between the points: black and below 0, white and above 255.
uint8_t StretchGrey(uint16_t value, const StretchLevels& levels);

// The frame image as 32-bit pixels 0x00RRGGBB (grey), row by row.
void DrawStretchedView(std::span<const uint16_t> frame, const StretchLevels& levels,
                       std::span<uint32_t> pixels);

}  // namespace starloom
