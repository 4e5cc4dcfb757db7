#include "starloom/model/frame_view.h"

#include <algorithm>
#include <cassert>

namespace starloom {

uint8_t ViewGrey(uint16_t value, int brightness) {
    const int shift = 12 - std::clamp(brightness, 0, kViewBrightnessCount - 1);
    const int g = (value * 223 - 0xDF00) >> shift;
    if (g > 223) return 255;
    if (g < -32) return 0;
    return static_cast<uint8_t>(g + 32);
}

void DrawFrameView(std::span<const uint16_t> frame, int brightness, std::span<uint32_t> pixels) {
    assert(pixels.size() >= frame.size());
    for (std::size_t i = 0; i < frame.size(); ++i) {
        const uint32_t grey = ViewGrey(frame[i], brightness);
        pixels[i] = (grey << 16) | (grey << 8) | grey;
    }
}

}  // namespace starloom
