#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace hcsim::camera {

// One frame of the guide camera as the HC holds it: 1288 x 968 pixel values, row 0 first.
struct FrameImage {
    static constexpr int kWidth = 1288;
    static constexpr int kHeight = 968;
    static constexpr int kPixels = kWidth * kHeight;

    std::vector<uint16_t> pixels = std::vector<uint16_t>(kPixels, 0);

    uint16_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * kWidth + x]; }
    static bool inside(int x, int y) { return x >= 0 && y >= 0 && x < kWidth && y < kHeight; }
};

}  // namespace hcsim::camera
