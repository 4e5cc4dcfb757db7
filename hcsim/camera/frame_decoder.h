#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "hcsim/camera/frame_image.h"

namespace hcsim::camera {

// What came of a frame from the PC.
enum class FrameKind {
    Image,    // a 12-bit frame, decoded
    Empty,    // no picture: the 4-byte frame of a skipped exposure, or the 8 zero bytes that
              // stand for a 16-bit frame, which the emulation cannot carry
    Invalid,  // the bytes break the frame format; `error` says how
};

struct DecodedFrame {
    FrameKind kind = FrameKind::Invalid;
    std::string error;
};

// The HC's reader of the compressed frames its camera sends: little-endian 32-bit words, word
// 0 the byte count up to the word where the pixel codes begin, then from word 1 a bit stream
// (each word from its lowest bit up): a 24-bit node count, the Huffman tree in preorder
// (0 = inner node, 1 = leaf followed by its 12-bit symbol, lowest bit first) and the codes of
// the run-length tokens (symbols below 256: a repeat count minus one, followed by the value;
// from 256 on: one pixel value). The frame must hold exactly the pixels of one image and end
// in the word after the last code bit. A frame that does not decode leaves `image` undefined.
DecodedFrame decodeFrame(const uint8_t* data, size_t size, FrameImage& image);

}  // namespace hcsim::camera
