// Fuzz target: the display update stream decoder, fed in pieces as it is from the link.
// The first byte picks the piece size; the rest is the stream.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "vt5api/commands/display_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t piece = 1 + data[0] * 4;
    ++data, --size;
    static std::vector<uint16_t> frame(VT5_DISPLAY_PIXELS, 0x5555);
    VT5DisplayDecoder decoder(frame.data(), static_cast<int32_t>(size / 2));
    for (size_t i = 0; i < size && !decoder.Stopped(); i += piece)
        decoder.Feed(data + i, piece < size - i ? piece : size - i);
    decoder.Finish();
    if (decoder.ListLength() > VT5_DISPLAY_MAX_WORDS) __builtin_trap();
    if (decoder.WordsRead() > static_cast<int32_t>(size / 2)) __builtin_trap();
    return 0;
}
