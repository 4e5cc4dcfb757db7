#include "starloom/model/frame_histogram.h"

#include <algorithm>
#include <cmath>

namespace starloom {

FrameHistogram::FrameHistogram(std::span<const uint16_t> frame)
    : counts_(65536, 0), total_(frame.size()) {
    for (uint16_t v : frame)
        ++counts_[v];
}

int FrameHistogram::Percentile(double percent) const {
    if (total_ == 0) return 0;
    const auto wanted = std::max<std::size_t>(
        static_cast<std::size_t>(std::ceil(static_cast<double>(total_) * percent / 100.0)), 1);
    std::size_t seen = 0;
    for (std::size_t v = 0; v < counts_.size(); ++v) {
        seen += counts_[v];
        if (seen >= wanted) return static_cast<int>(v);
    }
    return static_cast<int>(counts_.size() - 1);
}

}  // namespace starloom
