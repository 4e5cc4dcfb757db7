// Compressed camera frames from anywhere: the decoder must refuse or read them without
// faults, and whatever it reads must come back the same through the encoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "starloom/model/frame_encoder.h"
#include "tests/starloom/frame_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // The first two bytes choose the picture size, so that small pictures can complete.
    const std::size_t pixels = 1 + (data[0] | (data[1] << 8)) % 4096;
    const std::span<const uint8_t> bytes(data + 2, size - 2);
    const frame_decoder::Frame frame = frame_decoder::Decode(bytes, pixels);
    if (frame.status != frame_decoder::Status::kImage) return 0;
    if (frame.pixels.size() != pixels) std::abort();

    static starloom::FrameEncoder encoder;
    const std::span<const uint8_t> again = encoder.Encode(frame.pixels);
    const frame_decoder::Frame reread = frame_decoder::Decode(again, pixels);
    if (reread.status != frame_decoder::Status::kImage || reread.pixels != frame.pixels) {
        std::abort();
    }
    return 0;
}
