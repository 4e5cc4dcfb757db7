#pragma once

#include <cstddef>

namespace starloom {

// The emulated guide camera: 1288 x 968 pixels of 3.75 um, row-major, row 0 first.
constexpr int kSensorWidth = 1288;
constexpr int kSensorHeight = 968;
constexpr std::size_t kSensorPixels = std::size_t{kSensorWidth} * kSensorHeight;
constexpr double kPixelSizeUm = 3.75;

}  // namespace starloom
