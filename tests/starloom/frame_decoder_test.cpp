#include <gtest/gtest.h>

#include <vector>

#include "tests/starloom/frame_decoder.h"

namespace frame_decoder {
namespace {

// Assembles frames by hand, bit by bit, into little-endian words.
class Assembler {
public:
    void Bits(uint32_t value, int count) {
        for (int i = 0; i < count; ++i)
            bits_.push_back((value >> i) & 1u);
    }
    void Inner() { Bits(0, 1); }
    void Leaf(uint32_t symbol) {
        Bits(1, 1);
        Bits(symbol, 12);
    }
    void Code(const char* branches) {
        for (const char* b = branches; *b; ++b)
            Bits(*b == '1', 1);
    }
    void MarkHeader() { header_ = (bits_.size() / 32 + 2) * 4; }

    // Header word, the stream, and the word that the next bit would go into.
    std::vector<uint8_t> Frame(int extraWords = 0) const {
        const std::size_t words = 1 + bits_.size() / 32 + 1 + extraWords;
        std::vector<uint8_t> bytes(words * 4, 0);
        for (int b = 0; b < 4; ++b)
            bytes[b] = static_cast<uint8_t>(header_ >> (8 * b));
        for (std::size_t i = 0; i < bits_.size(); ++i) {
            if (bits_[i]) bytes[4 + i / 8] |= static_cast<uint8_t>(1u << (i % 8));
        }
        return bytes;
    }

private:
    std::vector<bool> bits_;
    std::size_t header_ = 0;
};

// Pixels 300, 300, 301: tokens (1, 300) and 301; or, run last, 301, 300, 300. The tree:
// root (301, (1, 300)).
Assembler ThreePixels(uint32_t nodeCount = 5, uint32_t lastLeaf = 300, bool runFirst = true) {
    Assembler a;
    a.Bits(nodeCount, 24);
    a.Inner();
    a.Leaf(301);
    a.Inner();
    a.Leaf(1);
    a.Leaf(lastLeaf);
    a.MarkHeader();
    if (!runFirst) a.Code("0");  // 301
    a.Code("10");                // 1
    a.Code("11");                // 300
    if (runFirst) a.Code("0");   // 301
    return a;
}

TEST(FrameDecoder, ReadsAHandAssembledFrame) {
    const Frame frame = Decode(ThreePixels().Frame(), 3);
    ASSERT_EQ(frame.status, Status::kImage) << StatusText(frame.status);
    EXPECT_EQ(frame.pixels, (std::vector<uint16_t>{300, 300, 301}));
    EXPECT_EQ(frame.header, 16u);
    EXPECT_EQ(frame.nodeCount, 5u);
    EXPECT_EQ(frame.tokens, 3u);
    EXPECT_EQ(Decode(ThreePixels(5, 300, false).Frame(), 3).pixels,
              (std::vector<uint16_t>{301, 300, 300}));
}

TEST(FrameDecoder, OneLeafCodesTakeNoBits) {
    Assembler a;
    a.Bits(1, 24);
    a.Leaf(700);
    a.MarkHeader();
    const Frame frame = Decode(a.Frame(), 4);
    ASSERT_EQ(frame.status, Status::kImage);
    EXPECT_EQ(frame.pixels, (std::vector<uint16_t>(4, 700)));
}

TEST(FrameDecoder, SpecialFrames) {
    EXPECT_EQ(Decode(std::vector<uint8_t>(4, 0), 3).status, Status::kSkipped);
    EXPECT_EQ(Decode(std::vector<uint8_t>(8, 0), 3).status, Status::kSixteenBit);
    EXPECT_EQ(Decode(std::vector<uint8_t>(3, 0), 3).status, Status::kBadLength);
    EXPECT_EQ(Decode(std::vector<uint8_t>(6, 0), 3).status, Status::kBadLength);
    EXPECT_EQ(Decode({}, 3).status, Status::kBadLength);
}

TEST(FrameDecoder, RejectsDamagedFrames) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        std::size_t pixels;
        Status status;
    };
    std::vector<uint8_t> wrongHeader = ThreePixels().Frame();
    wrongHeader[0] = 12;
    std::vector<uint8_t> shortened = ThreePixels().Frame();
    shortened.resize(shortened.size() - 4);
    std::vector<uint8_t> paddingBit = ThreePixels().Frame();
    paddingBit.back() = 0x80;
    const std::vector<Case> cases{
        {"header", wrongHeader, 3, Status::kBadHeader},
        {"too short", shortened, 3, Status::kTruncated},
        {"extra word", ThreePixels().Frame(1), 3, Status::kBadEnd},
        {"bit after the tokens", paddingBit, 3, Status::kBadEnd},
        {"more nodes than the tree", ThreePixels(7).Frame(), 3, Status::kBadTree},
        {"fewer nodes than the tree", ThreePixels(3).Frame(), 3, Status::kBadTree},
        {"even node count", ThreePixels(4).Frame(), 3, Status::kBadTree},
        {"zero nodes", ThreePixels(0).Frame(), 3, Status::kBadTree},
        {"symbol twice", ThreePixels(5, 301).Frame(), 3, Status::kBadTree},
        {"repeat without a value", ThreePixels(5, 2).Frame(), 3, Status::kBadToken},
        {"run past the picture", ThreePixels().Frame(), 1, Status::kBadToken},
        {"picture larger than the frame", ThreePixels().Frame(), 100, Status::kTruncated},
        {"picture smaller than the frame", ThreePixels(5, 300, false).Frame(), 1, Status::kBadEnd},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Decode(c.bytes, c.pixels).status, c.status)
            << c.name << ": " << StatusText(Decode(c.bytes, c.pixels).status);
    }
}

}  // namespace
}  // namespace frame_decoder
