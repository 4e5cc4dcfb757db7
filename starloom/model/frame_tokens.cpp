#include "starloom/model/frame_tokens.h"

namespace starloom {

bool MakeTokens(std::span<const uint16_t> image, std::vector<uint16_t>& tokens,
                SymbolCounts& counts) {
    tokens.clear();
    counts.fill(0);
    const std::size_t n = image.size();
    std::size_t i = 0;
    while (i < n) {
        const uint16_t value = image[i];
        if (value < kFirstValueSymbol || value >= kSymbolCount) return false;
        std::size_t run = 1;
        while (run < kMaxRun && i + run < n && image[i + run] == value)
            ++run;
        if (run > 1) {
            const auto repeat = static_cast<uint16_t>(run - 1);
            tokens.push_back(repeat);
            ++counts[repeat];
        }
        tokens.push_back(value);
        ++counts[value];
        i += run;
    }
    return true;
}

}  // namespace starloom
