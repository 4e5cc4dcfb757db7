#pragma once

// The display update stream of command 0xD1, decoded piece by piece into a frame buffer.

#include <cstddef>
#include <cstdint>

constexpr int32_t VT5_DISPLAY_WIDTH = 240;
constexpr int32_t VT5_DISPLAY_HEIGHT = 320;
constexpr int32_t VT5_DISPLAY_PIXELS = VT5_DISPLAY_WIDTH * VT5_DISPLAY_HEIGHT;
// Words the run-length decoding may produce: a change mask and at most as many pixels.
constexpr int32_t VT5_DISPLAY_MAX_WORDS = 163202;
constexpr int32_t VT5_DISPLAY_MASK_WORDS = VT5_DISPLAY_PIXELS / 16;

// Decodes wordCount 16-bit little-endian words of an update stream, given in pieces of any
// size, and applies them to a frame buffer of 76,800 RGB565 pixels as they come: first the
// change mask (one bit per pixel, most significant first), then the new values of the
// pixels whose bit is set.
//
// Run-length coding: a marker M starts at 0x9180 and grows by 0x0A80 after every token. A
// word c whose top nine bits differ from M is a literal. Otherwise c pairs with the next word
// d: d == c (when c was not the last word) is the literal c; else d repeats (c & 0x7F) + 2
// times, and c & 0x7F == 0x7F ends the stream. A marker that is the last word has no pair
// and ends the stream too. Decoding stops at the end code, when the words are used up, or
// when the decoded word list reaches VT5_DISPLAY_MAX_WORDS (a run is cut there).
//
// Words that never arrive read as 0: a mask cut short changes nothing more, and set mask
// bits without a pixel value make their pixel 0 (black) at Finish.
class VT5DisplayDecoder {
public:
    VT5DisplayDecoder(uint16_t* frameBuffer, int32_t wordCount);

    // Takes the next bytes of the stream; bytes past the word count are ignored. False once
    // decoding has stopped and no more bytes are needed.
    bool Feed(const uint8_t* bytes, size_t count);
    // The input is over: pixels still owed a value get 0.
    void Finish();

    bool Stopped() const { return stopped_; }
    // Words taken from the input so far, and words of the decoded list.
    int32_t WordsRead() const { return wordCount_ - wordsLeft_; }
    int32_t ListLength() const { return listLength_; }

private:
    void Take(uint16_t word);
    void Append(uint16_t value, int32_t times);
    void NextToken() { marker_ = static_cast<uint16_t>(marker_ + 0x0A80); }
    // Index of the next pixel whose mask bit is set, or -1 when none is left.
    int32_t NextChangedPixel();

    uint16_t* frame_;
    int32_t wordCount_;
    int32_t wordsLeft_;
    uint16_t marker_ = 0x9180;
    bool pairOpen_ = false;  // a marker word waits for its partner
    uint16_t pairFirst_ = 0;
    bool haveLowByte_ = false;
    uint8_t lowByte_ = 0;
    bool stopped_ = false;
    int32_t listLength_ = 0;
    uint16_t mask_[VT5_DISPLAY_MASK_WORDS] = {};
    // The pixel walk: the mask word in use and its bits still to visit.
    int32_t maskIndex_ = 0;
    uint16_t bitsLeft_ = 0;
};
