#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace starloom {

constexpr int kSymbolCount = 4096;  // 12-bit alphabet
constexpr int kMaxRun = 256;
constexpr uint16_t kFirstValueSymbol = 256;  // below: repeat count - 1; from here: pixel value

using SymbolCounts = std::array<uint32_t, kSymbolCount>;

// Run-length tokens of a 12-bit frame image: a run of one pixel is its value, a run of 2 to 256
// is (length - 1) followed by the value. tokens is cleared and refilled; at most one token per
// pixel. Returns false (tokens undefined) for a value outside 256 ... 4095.
bool MakeTokens(std::span<const uint16_t> image, std::vector<uint16_t>& tokens,
                SymbolCounts& counts);

}  // namespace starloom
