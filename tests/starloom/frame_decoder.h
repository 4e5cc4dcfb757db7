#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Reads the HC's compressed camera frames. Written apart from the encoder, from the format
// alone, so that a fault in one does not hide behind the same fault in the other.
namespace frame_decoder {

enum class Status {
    kImage,       // a 12-bit picture
    kSkipped,     // the 4-byte empty frame
    kSixteenBit,  // two zero words: a 16-bit frame, no picture
    kBadLength,   // not whole words, or shorter than a header
    kBadHeader,   // header not where the code tree ends
    kBadTree,     // node count and tree disagree, or a symbol appears twice
    kTruncated,   // the bits end before the picture is complete
    kBadToken,    // a repeat count not followed by a pixel value, or a run past the end
    kBadEnd,      // the frame is longer or shorter than its last token needs
};

struct Frame {
    Status status = Status::kBadLength;
    std::vector<uint16_t> pixels;
    uint32_t header = 0;
    uint32_t nodeCount = 0;
    std::size_t tokens = 0;
};

// Decodes a frame of pixelCount pixels.
Frame Decode(std::span<const uint8_t> bytes, std::size_t pixelCount);

const char* StatusText(Status status);

}  // namespace frame_decoder
