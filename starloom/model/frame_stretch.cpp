#include "starloom/model/frame_stretch.h"

#include <algorithm>
#include <cassert>

#include "starloom/model/frame_histogram.h"

namespace starloom {

StretchLevels AutoStretchLevels(std::span<const uint16_t> frame) {
    if (frame.empty()) return {};
    const FrameHistogram histogram(frame);
    StretchLevels levels;
    levels.black = histogram.Percentile(AutoStretch::kBlackPercentile);
    levels.white = std::max(histogram.Percentile(AutoStretch::kWhitePercentile),
                            levels.black + AutoStretch::kMinSpan);
    return levels;
}

uint8_t StretchGrey(uint16_t value, const StretchLevels& levels) {
    if (value <= levels.black) return 0;
    if (value >= levels.white) return 255;
    return static_cast<uint8_t>((value - levels.black) * 255 / (levels.white - levels.black));
}

void DrawStretchedView(std::span<const uint16_t> frame, const StretchLevels& levels,
                       std::span<uint32_t> pixels) {
    assert(pixels.size() >= frame.size());
    for (std::size_t i = 0; i < frame.size(); ++i) {
        const uint32_t grey = StretchGrey(frame[i], levels);
        pixels[i] = (grey << 16) | (grey << 8) | grey;
    }
}

}  // namespace starloom
