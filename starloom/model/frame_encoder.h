#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "starloom/model/frame_tokens.h"
#include "starloom/model/huffman_code.h"

namespace starloom {

class BitWriter;

// Packs 12-bit frame images into the HC's compressed camera format: word 0 is the header
// (bytes through the word in which the tokens start), then from word 1 a 24-bit node count,
// the code tree in preorder and the Huffman-coded run-length tokens, in little-endian 32-bit
// words filled from bit 0 up. Keeps its buffers between frames.
class FrameEncoder {
public:
    FrameEncoder();

    // Returns the frame, or an empty span when the image holds a value outside 256 ... 4095.
    std::span<const uint8_t> Encode(std::span<const uint16_t> image);

    // The 16-bit frame's stand-in: two zero words.
    std::span<const uint8_t> EncodeSixteenBit();

    std::span<const uint8_t> frame() const { return {bytes_.data(), length_}; }
    std::size_t tokenCount() const { return tokens_.size(); }
    const HuffmanCode& code() const { return code_; }

private:
    void WriteTree(BitWriter& writer) const;
    std::span<const uint8_t> Finish(std::size_t wordCount);

    std::vector<uint16_t> tokens_;
    SymbolCounts counts_{};
    HuffmanCode code_;
    std::vector<uint32_t> words_;
    std::vector<uint8_t> bytes_;
    std::size_t length_ = 0;
};

}  // namespace starloom
