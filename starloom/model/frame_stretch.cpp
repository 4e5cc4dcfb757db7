#include "starloom/model/frame_stretch.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <vector>

namespace starloom {

namespace {

// The value below which `percentile` per cent of the frame lies, from its histogram.
int Percentile(const std::vector<uint32_t>& histogram, std::size_t total, double percentile) {
    const auto wanted = static_cast<std::size_t>(std::ceil(total * percentile / 100.0));
    std::size_t seen = 0;
    for (std::size_t v = 0; v < histogram.size(); ++v) {
        seen += histogram[v];
        if (seen >= std::max<std::size_t>(wanted, 1)) return static_cast<int>(v);
    }
    return static_cast<int>(histogram.size() - 1);
}

}  // namespace

StretchLevels AutoStretchLevels(std::span<const uint16_t> frame) {
    if (frame.empty()) return {};
    std::vector<uint32_t> histogram(65536, 0);
    for (uint16_t v : frame)
        ++histogram[v];
    StretchLevels levels;
    levels.black = Percentile(histogram, frame.size(), AutoStretch::kBlackPercentile);
    levels.white = std::max(Percentile(histogram, frame.size(), AutoStretch::kWhitePercentile),
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
