#include "starloom/model/frame_encoder.h"

#include <algorithm>

#include "starloom/model/bit_writer.h"
#include "starloom/model/sensor.h"

namespace starloom {

namespace {

constexpr int kNodeCountBits = 24;
constexpr int kSymbolBits = 12;

}  // namespace

FrameEncoder::FrameEncoder() {
    // One token per pixel is the worst case; reserving it up front keeps frames from
    // reallocating in the emulation loop.
    tokens_.reserve(kSensorPixels);
}

void FrameEncoder::WriteTree(BitWriter& writer) const {
    std::vector<int> pending{code_.root()};
    while (!pending.empty()) {
        const HuffmanNode& node = code_.nodes[pending.back()];
        pending.pop_back();
        if (node.leaf()) {
            writer.Write(1, 1);
            writer.Write(node.symbol, kSymbolBits);
        } else {
            writer.Write(0, 1);
            pending.push_back(node.right);
            pending.push_back(node.left);
        }
    }
}

std::span<const uint8_t> FrameEncoder::Encode(std::span<const uint16_t> image) {
    length_ = 0;
    if (!MakeTokens(image, tokens_, counts_) || !BuildHuffmanCode(counts_, code_)) return {};

    const std::size_t nodes = code_.nodes.size();
    const std::size_t leaves = (nodes + 1) / 2;
    const std::size_t treeBits = kNodeCountBits + nodes + leaves * kSymbolBits;
    std::size_t tokenBits = 0;
    for (int s = 0; s < kSymbolCount; ++s)
        tokenBits += std::size_t{counts_[s]} * code_.length[s];
    // Word 0, the bit stream, and the word that the bit after the last token would go into.
    const std::size_t wordCount = 1 + (treeBits + tokenBits) / 32 + 1;
    words_.assign(wordCount, 0);

    BitWriter writer(words_, 1);
    writer.Write(nodes, kNodeCountBits);
    WriteTree(writer);
    words_[0] = static_cast<uint32_t>(4 * (writer.nextWord() + 1));
    for (const uint16_t token : tokens_)
        writer.Write(code_.code[token], code_.length[token]);
    return Finish(wordCount);
}

std::span<const uint8_t> FrameEncoder::EncodeSixteenBit() {
    words_.assign(2, 0);
    return Finish(2);
}

std::span<const uint8_t> FrameEncoder::Finish(std::size_t wordCount) {
    length_ = 4 * wordCount;
    if (bytes_.size() < length_) bytes_.resize(length_);
    for (std::size_t i = 0; i < wordCount; ++i) {
        const uint32_t w = words_[i];
        bytes_[4 * i] = static_cast<uint8_t>(w);
        bytes_[4 * i + 1] = static_cast<uint8_t>(w >> 8);
        bytes_[4 * i + 2] = static_cast<uint8_t>(w >> 16);
        bytes_[4 * i + 3] = static_cast<uint8_t>(w >> 24);
    }
    return frame();
}

}  // namespace starloom
