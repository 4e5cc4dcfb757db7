#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace starloom {

// How the values of a frame image spread: how many pixels hold each value.
class FrameHistogram {
public:
    explicit FrameHistogram(std::span<const uint16_t> frame);

    // The smallest value at or below which `percent` per cent of the pixels lie; 0 for an
    // empty frame.
    int Percentile(double percent) const;

private:
    std::vector<uint32_t> counts_;
    std::size_t total_ = 0;
};

}  // namespace starloom
