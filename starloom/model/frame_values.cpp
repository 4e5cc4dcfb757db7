#include "starloom/model/frame_values.h"

#include <algorithm>
#include <cassert>

namespace starloom {

int GainTableIndex(int requestedGain) {
    if (requestedGain < 0) return 0;
    if (requestedGain > kSixteenBitGain) return kHighestTwelveBitGain;
    return requestedGain;
}

uint16_t MaxPixelValue(int gainIndex) {
    return gainIndex == kSixteenBitGain ? 65535 : 4095;
}

namespace {

uint16_t Scale(uint16_t count, float factor, uint16_t limit) {
    const int value = static_cast<int>(static_cast<float>(count) * factor) + kBiasLevel;
    if (value < kMinLitValue) return kBiasLevel;
    return static_cast<uint16_t>(std::min<int>(value, limit));
}

}  // namespace

uint16_t PixelValue(uint16_t count, int gainIndex) {
    const int g = GainTableIndex(gainIndex);
    return Scale(count, 1.0f / kGainTable[g], MaxPixelValue(g));
}

void MakeFrameImage(std::span<uint16_t> photons, int gainIndex, std::span<uint16_t> frame) {
    assert(frame.size() == photons.size());
    const int g = GainTableIndex(gainIndex);
    const float factor = 1.0f / kGainTable[g];
    const uint16_t limit = MaxPixelValue(g);
    for (std::size_t i = 0; i < photons.size(); ++i) {
        if (photons[i] < kMinCountedPhotons) {
            photons[i] = 0;
            frame[i] = kBiasLevel;
        } else {
            frame[i] = Scale(photons[i], factor, limit);
        }
    }
}

}  // namespace starloom
