#include "tests/camera/frame_builder.h"

#include <stdexcept>

namespace hcsim::test {

FrameBuilder::FrameBuilder(std::vector<std::string> tree, int nodeCount) : tree_(std::move(tree)) {
    put(nodeCount < 0 ? static_cast<uint32_t>(tree_.size()) : static_cast<uint32_t>(nodeCount), 24);
    size_t at = 0;
    walk(at, "");
    words_[0] = static_cast<uint32_t>(4 * (bit_ / 32 + 1));
}

void FrameBuilder::walk(size_t& at, std::string code) {
    if (at >= tree_.size()) throw std::logic_error("tree ends early");
    const std::string node = tree_[at++];
    if (node == "i") {
        put(0, 1);
        walk(at, code + "0");
        walk(at, code + "1");
        return;
    }
    put(1, 1);
    const int symbol = std::stoi(node);
    put(static_cast<uint32_t>(symbol), 12);
    codes_.push_back({symbol, code});
}

void FrameBuilder::put(uint32_t value, int bits) {
    for (int i = 0; i < bits; ++i, ++bit_) {
        if (bit_ / 32 >= words_.size()) words_.push_back(0);
        words_[bit_ / 32] |= ((value >> i) & 1u) << (bit_ % 32);
    }
    if (bit_ / 32 >= words_.size()) words_.push_back(0);
}

FrameBuilder& FrameBuilder::token(int symbol) {
    for (const auto& [s, code] : codes_) {
        if (s != symbol) continue;
        for (char c : code)
            put(c == '1', 1);
        return *this;
    }
    throw std::logic_error("symbol not in the tree");
}

FrameBuilder& FrameBuilder::tokens(const std::vector<int>& symbols, int times) {
    for (int t = 0; t < times; ++t)
        for (int s : symbols)
            token(s);
    return *this;
}

std::vector<uint8_t> FrameBuilder::bytes() const {
    std::vector<uint8_t> out;
    const size_t words = bit_ / 32 + 1;
    for (size_t w = 0; w < words; ++w)
        for (int shift = 0; shift < 32; shift += 8)
            out.push_back(static_cast<uint8_t>(words_[w] >> shift));
    return out;
}

}  // namespace hcsim::test
