#include "vt5api/commands/display_decoder.h"

#include <algorithm>

namespace {

constexpr uint16_t kMarkerBits = 0xFF80;

}  // namespace

VT5DisplayDecoder::VT5DisplayDecoder(uint16_t* frameBuffer, int32_t wordCount)
    : frame_(frameBuffer), wordCount_(std::max(wordCount, 0)), wordsLeft_(wordCount_) {
    stopped_ = wordCount_ == 0;
}

bool VT5DisplayDecoder::Feed(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count && !stopped_; ++i) {
        if (!haveLowByte_) {
            lowByte_ = bytes[i];
            haveLowByte_ = true;
            continue;
        }
        haveLowByte_ = false;
        Take(static_cast<uint16_t>(lowByte_ | bytes[i] << 8));
    }
    return !stopped_;
}

void VT5DisplayDecoder::Take(uint16_t word) {
    bool moreThanOneLeft = wordsLeft_ > 1;
    --wordsLeft_;
    if (pairOpen_) {
        pairOpen_ = false;
        uint16_t c = pairFirst_;
        if (word == c) {
            Append(c, 1);  // an escaped literal that looks like a marker
        } else if ((c & 0x7F) == 0x7F) {
            stopped_ = true;  // the end code
            return;
        } else {
            Append(word, (c & 0x7F) + 2);
        }
        NextToken();
    } else if ((word & kMarkerBits) != marker_) {
        Append(word, 1);
        NextToken();
    } else if (moreThanOneLeft) {
        pairOpen_ = true;
        pairFirst_ = word;
        return;
    } else {
        stopped_ = true;  // a marker without a partner
        return;
    }
    if (wordsLeft_ == 0 || listLength_ >= VT5_DISPLAY_MAX_WORDS) stopped_ = true;
}

void VT5DisplayDecoder::Append(uint16_t value, int32_t times) {
    times = std::min(times, VT5_DISPLAY_MAX_WORDS - listLength_);
    // The mask part of the list.
    while (times > 0 && listLength_ < VT5_DISPLAY_MASK_WORDS) {
        mask_[listLength_++] = value;
        --times;
        if (listLength_ == VT5_DISPLAY_MASK_WORDS) {
            maskIndex_ = 0;
            bitsLeft_ = mask_[0];
        }
    }
    // The pixel part: each value goes to the next changed pixel; surplus values are dropped.
    while (times > 0) {
        int32_t pixel = NextChangedPixel();
        if (pixel < 0) {
            listLength_ += times;
            return;
        }
        if (frame_) frame_[pixel] = value;
        ++listLength_;
        --times;
    }
}

int32_t VT5DisplayDecoder::NextChangedPixel() {
    if (listLength_ < VT5_DISPLAY_MASK_WORDS) return -1;
    while (bitsLeft_ == 0) {
        if (++maskIndex_ >= VT5_DISPLAY_MASK_WORDS) return -1;
        bitsLeft_ = mask_[maskIndex_];
    }
    int bit = __builtin_clz(static_cast<unsigned>(bitsLeft_)) - 16;  // 0 = the group's first
    bitsLeft_ = static_cast<uint16_t>(bitsLeft_ & ~(0x8000u >> bit));
    return maskIndex_ * 16 + bit;
}

void VT5DisplayDecoder::Finish() {
    stopped_ = true;
    if (!frame_) return;
    for (int32_t pixel = NextChangedPixel(); pixel >= 0; pixel = NextChangedPixel())
        frame_[pixel] = 0;
}
