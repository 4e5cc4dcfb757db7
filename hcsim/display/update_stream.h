#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "hcsim/display/screen.h"
#include "platform/ftd2xx/vbus/device.h"

namespace hcsim {

using platform::vbus::Bytes;

// The display update as the HC sends it for command 0xD1.
//
// Word list: 4,800 mask words, one bit per pixel in display order (most significant bit
// first), then the new values of the pixels whose bit is set, in display order.
//
// Stream: the word list run-length coded into 16-bit little-endian words. A marker value M
// starts at 0x9180 and grows by 0x0A80 after every token. A word whose top nine bits differ
// from M is a literal. A word c with those bits equal to M opens a pair with the next word d:
// d == c stands for the literal c itself; otherwise d repeats (c & 0x7F) + 2 times, and
// c & 0x7F == 0x7F ends the stream.
namespace update_stream {

constexpr int kMaskWords = Screen::kPixels / 16;
constexpr uint16_t kFirstMarker = 0x9180;
constexpr uint16_t kMarkerStep = 0x0A80;
constexpr uint16_t kMarkerBits = 0xFF80;
constexpr int kLongestRun = 128;

// The word list that turns `before` into `after` (every pixel when before is null).
std::vector<uint16_t> changeWords(const std::vector<uint16_t>* before,
                                  const std::vector<uint16_t>& after);

// Run-length codes a word list as above; with `endCode` the stream is closed by the end pair.
Bytes encode(const std::vector<uint16_t>& words, bool endCode = false);

}  // namespace update_stream

// What the PC was last sent of the display: updates carry the pixels that changed since.
// A fresh start forgets it, so that the next update carries every pixel.
class ChangeTracker {
public:
    void freshStart() { sent_.reset(); }
    // The update stream from what was sent to `now`; `now` counts as sent from here on.
    Bytes update(const Screen& now);
    // Every pixel, leaving the tracking as it is.
    static Bytes snapshot(const Screen& now);

private:
    std::optional<std::vector<uint16_t>> sent_;
};

}  // namespace hcsim
