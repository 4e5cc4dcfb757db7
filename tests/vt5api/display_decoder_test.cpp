// The display update stream: run-length decoding with the moving marker, the change mask,
// pieces of any size, and the HC's encoder against the library's decoder.

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <vector>

#include "hcsim/display/update_stream.h"
#include "vt5api/commands/display_decoder.h"

namespace {

constexpr uint16_t kOld = 0x1111;  // what the frame buffer held before the update

// Builds a stream token by token, with the marker each token is read with.
class Stream {
public:
    uint16_t marker() const { return static_cast<uint16_t>(0x9180 + tokens_ * 0x0A80); }
    Stream& literal(uint16_t w) { return token({w}); }
    Stream& run(int n, uint16_t value) {
        return token({static_cast<uint16_t>(marker() | (n - 2)), value});
    }
    Stream& escaped(uint16_t w) { return token({w, w}); }
    // n mask words of 0 in runs of at most 128.
    Stream& zeros(int n) {
        for (; n > 0; n -= 128)
            run(std::min(n, 128), 0);
        return *this;
    }
    Stream& raw(uint16_t w) {
        words.push_back(w);
        return *this;
    }
    std::vector<uint8_t> bytes() const {
        std::vector<uint8_t> b;
        for (uint16_t w : words) {
            b.push_back(static_cast<uint8_t>(w));
            b.push_back(static_cast<uint8_t>(w >> 8));
        }
        return b;
    }
    std::vector<uint16_t> words;

private:
    Stream& token(std::initializer_list<uint16_t> ws) {
        words.insert(words.end(), ws);
        ++tokens_;
        return *this;
    }
    int tokens_ = 0;
};

struct Decoded {
    std::vector<uint16_t> frame = std::vector<uint16_t>(VT5_DISPLAY_PIXELS, kOld);
    int32_t listLength = 0;
    bool stopped = false;
};

// Decodes the stream in pieces of `piece` bytes (0: all at once).
Decoded decode(const std::vector<uint8_t>& bytes, size_t piece = 0,
               std::vector<uint16_t>* frame = nullptr) {
    Decoded d;
    if (frame) d.frame = *frame;
    VT5DisplayDecoder decoder(d.frame.data(), static_cast<int32_t>(bytes.size() / 2));
    if (piece == 0) piece = bytes.size();
    for (size_t i = 0; i < bytes.size(); i += piece)
        decoder.Feed(bytes.data() + i, std::min(piece, bytes.size() - i));
    d.stopped = decoder.Stopped();
    d.listLength = decoder.ListLength();
    decoder.Finish();
    return d;
}

TEST(DisplayDecoder, MarkerPairAtTheFirstTokenIsARunOfSeven) {
    // 0xABCD = 1010 1011 1100 1101: ten changed pixels in each of the first seven groups.
    Stream s;
    s.run(7, 0xABCD).zeros(VT5_DISPLAY_MASK_WORDS - 7);
    for (int i = 0; i < 70; ++i)
        s.literal(static_cast<uint16_t>(i + 1));
    Decoded d = decode(s.bytes());
    EXPECT_EQ(s.words[0], 0x9185);
    int value = 1;
    for (int p = 0; p < 16 * 8; ++p) {
        bool set = p < 7 * 16 && (0xABCD & (0x8000 >> (p % 16)));
        EXPECT_EQ(d.frame[p], set ? value++ : kOld) << "pixel " << p;
    }
    EXPECT_EQ(value, 71);
}

TEST(DisplayDecoder, MarkerMovesAfterEveryToken) {
    // After one literal M is 0x9C00: 0x9180 in second place is a plain literal.
    Decoded d = decode(Stream().raw(0x0001).raw(0x9180).bytes());
    EXPECT_EQ(d.listLength, 2);

    // At the first token 0x9180 0x9180 is the single word 0x9180.
    d = decode(Stream().raw(0x9180).raw(0x9180).bytes());
    EXPECT_EQ(d.listLength, 1);

    // 0x91FF ends the stream, whatever follows; so does a marker that is the last word.
    d = decode(Stream().raw(0x91FF).raw(0x1234).raw(0x0005).bytes());
    EXPECT_EQ(d.listLength, 0);
    EXPECT_TRUE(d.stopped);
    d = decode(Stream().raw(0x0001).raw(0x9C05).bytes());
    EXPECT_EQ(d.listLength, 1);
}

TEST(DisplayDecoder, MaskBitsPickThePixelsInOrder) {
    // Mask word 0x8001 then P, Q: the first and the sixteenth pixel of the group change.
    Stream s;
    s.zeros(3).literal(0x8001).zeros(VT5_DISPLAY_MASK_WORDS - 4).literal(0xF800).literal(0x07E0);
    Decoded d = decode(s.bytes());
    for (int p = 0; p < 96; ++p) {
        uint16_t expected = p == 48 ? 0xF800 : p == 63 ? 0x07E0 : kOld;
        EXPECT_EQ(d.frame[p], expected) << "pixel " << p;
    }
}

TEST(DisplayDecoder, EscapedMarkerLookalikesAndRunsOfTheirOwnCode) {
    // Pixel values that look like markers, and a run whose value equals the code word.
    Stream s;
    s.run(2, 0xFFFF);  // the first 32 pixels change
    s.zeros(VT5_DISPLAY_MASK_WORDS - 2);
    uint16_t lookalike = s.marker() | 0x05;
    s.escaped(lookalike);
    // A "run of 5" whose value equals its own code word is that word once: encoders avoid it.
    uint16_t own = s.marker() | 0x03;
    s.run(5, own);
    Decoded d = decode(s.bytes());
    EXPECT_EQ(d.frame[0], lookalike);
    EXPECT_EQ(d.frame[1], own);
    // Values that never came make their pixels black.
    for (int p = 2; p < 32; ++p)
        EXPECT_EQ(d.frame[p], 0) << "pixel " << p;
    EXPECT_EQ(d.frame[32], kOld);
}

TEST(DisplayDecoder, ShortMaskChangesNothingFurther) {
    Stream s;
    s.literal(0xFFFF).literal(0x1234);
    Decoded d = decode(s.bytes());
    EXPECT_EQ(d.listLength, 2);
    EXPECT_EQ(d.frame, std::vector<uint16_t>(VT5_DISPLAY_PIXELS, kOld));
}

TEST(DisplayDecoder, WordListStopsAtItsLimit) {
    // Runs of 128 for far more words than the list holds: it ends at exactly 163,202.
    Stream s;
    while (s.words.size() < 2 * 1400)
        s.run(128, 0xFFFF);
    Decoded d = decode(s.bytes());
    EXPECT_EQ(d.listLength, VT5_DISPLAY_MAX_WORDS);
    EXPECT_TRUE(d.stopped);
    EXPECT_EQ(d.frame, std::vector<uint16_t>(VT5_DISPLAY_PIXELS, 0xFFFF));
}

TEST(DisplayDecoder, PiecesOfAnySizeDecodeAlike) {
    std::vector<uint16_t> image(VT5_DISPLAY_PIXELS);
    std::mt19937 random(7);
    for (auto& p : image)
        p = static_cast<uint16_t>(random() % 4 ? 0x9180 + random() % 0x400 : random());
    auto bytes = hcsim::update_stream::encode(hcsim::update_stream::changeWords(nullptr, image));
    Decoded whole = decode(bytes);
    ASSERT_EQ(whole.frame, image);
    for (size_t piece : {1u, 3u, 512u})
        EXPECT_EQ(decode(bytes, piece).frame, image) << piece << "-byte pieces";
}

// The HC's encoder and the library's decoder share no code: random images, random changes.
TEST(DisplayDecoder, RoundTripOfRandomImagesAndChanges) {
    std::mt19937 random(2024);
    std::vector<uint16_t> pc(VT5_DISPLAY_PIXELS, 0);
    std::vector<uint16_t> hc(VT5_DISPLAY_PIXELS, 0);
    std::optional<std::vector<uint16_t>> sent;  // none: a fresh start
    for (int round = 0; round < 40; ++round) {
        int kind = round % 4;
        // Flat areas, noise, marker-like values, and sparse changes.
        for (size_t i = 0; i < hc.size(); ++i) {
            if (kind == 0)
                hc[i] = static_cast<uint16_t>((i / (1 + random() % 3000)) * 0x0841);
            else if (kind == 1)
                hc[i] = static_cast<uint16_t>(random());
            else if (kind == 2)
                hc[i] = static_cast<uint16_t>(0x9180 + (random() % 64) * 0x80 + random() % 0x80);
            else if (random() % 50 == 0)
                hc[i] = static_cast<uint16_t>(random());
        }
        auto words = hcsim::update_stream::changeWords(sent ? &*sent : nullptr, hc);
        auto bytes = hcsim::update_stream::encode(words, round % 2 == 1);
        pc = decode(bytes, round % 3 == 0 ? 512 : 0, &pc).frame;
        ASSERT_EQ(pc, hc) << "round " << round;
        sent = hc;
        if (round % 5 == 4) sent.reset();
    }
}

}  // namespace
