#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "starloom/model/bit_writer.h"
#include "starloom/model/frame_encoder.h"
#include "starloom/model/frame_tokens.h"
#include "starloom/model/huffman_code.h"
#include "starloom/model/sensor.h"
#include "tests/starloom/frame_round_trip.h"

namespace starloom {
namespace {

uint32_t WordAt(std::span<const uint8_t> bytes, std::size_t index) {
    uint32_t w = 0;
    for (int b = 3; b >= 0; --b)
        w = (w << 8) | bytes[4 * index + b];
    return w;
}

std::vector<uint16_t> Repeat(std::initializer_list<std::pair<uint16_t, int>> runs) {
    std::vector<uint16_t> image;
    for (const auto& [value, count] : runs)
        image.insert(image.end(), count, value);
    return image;
}

TEST(MakeTokens, RunsOfAtMost256) {
    struct Case {
        const char* name;
        std::vector<uint16_t> image;
        std::vector<uint16_t> tokens;
    };
    const std::vector<Case> cases{
        {"single pixel", {300}, {300}},
        {"pair", {300, 300}, {1, 300}},
        {"change", {300, 301, 301}, {300, 1, 301}},
        {"full run", Repeat({{300, 256}}), {255, 300}},
        {"last pixel after a full run", Repeat({{300, 257}}), {255, 300, 300}},
        {"long run", Repeat({{300, 258}}), {255, 300, 1, 300}},
        {"last pixel joins", Repeat({{300, 2}, {400, 3}}), {1, 300, 2, 400}},
        {"last pixel alone", Repeat({{300, 3}, {400, 1}}), {2, 300, 400}},
    };
    std::vector<uint16_t> tokens;
    SymbolCounts counts{};
    for (const Case& c : cases) {
        ASSERT_TRUE(MakeTokens(c.image, tokens, counts)) << c.name;
        EXPECT_EQ(tokens, c.tokens) << c.name;
        uint32_t total = 0;
        for (uint32_t n : counts)
            total += n;
        EXPECT_EQ(total, c.tokens.size()) << c.name;
    }
}

TEST(MakeTokens, RefusesValuesOutsideTheValueSymbols) {
    std::vector<uint16_t> tokens;
    SymbolCounts counts{};
    EXPECT_FALSE(MakeTokens(std::vector<uint16_t>{300, 255}, tokens, counts));
    EXPECT_FALSE(MakeTokens(std::vector<uint16_t>{4096}, tokens, counts));
    EXPECT_TRUE(MakeTokens(std::vector<uint16_t>{256, 4095}, tokens, counts));
}

TEST(HuffmanCode, EmptyFieldTree) {
    SymbolCounts counts{};
    counts[63] = 1;
    counts[255] = 4870;
    counts[256] = 4871;
    HuffmanCode code;
    ASSERT_TRUE(BuildHuffmanCode(counts, code));
    ASSERT_EQ(code.nodes.size(), 5u);
    // 63 and 255 pair first; the leaf 256 ties with their node (4871) and, made earlier, goes
    // left.
    EXPECT_EQ(code.length[256], 1);
    EXPECT_EQ(code.code[256], 0b0u);
    EXPECT_EQ(code.length[63], 2);
    EXPECT_EQ(code.code[63], 0b01u);  // right, then left: first branch in bit 0
    EXPECT_EQ(code.length[255], 2);
    EXPECT_EQ(code.code[255], 0b11u);
}

TEST(HuffmanCode, EqualWeightsPairInCreationOrder) {
    SymbolCounts counts{};
    for (int s : {300, 301, 302, 303})
        counts[s] = 1;
    HuffmanCode code;
    ASSERT_TRUE(BuildHuffmanCode(counts, code));
    // (300, 301) and (302, 303) pair up, then the two pairs.
    EXPECT_EQ(code.code[300], 0b00u);
    EXPECT_EQ(code.code[301], 0b10u);
    EXPECT_EQ(code.code[302], 0b01u);
    EXPECT_EQ(code.code[303], 0b11u);
    for (int s : {300, 301, 302, 303})
        EXPECT_EQ(code.length[s], 2);
}

TEST(HuffmanCode, OneSymbolHasAnEmptyCode) {
    SymbolCounts counts{};
    counts[1000] = 5;
    HuffmanCode code;
    ASSERT_TRUE(BuildHuffmanCode(counts, code));
    EXPECT_EQ(code.nodes.size(), 1u);
    EXPECT_EQ(code.length[1000], 0);
    EXPECT_FALSE(BuildHuffmanCode(SymbolCounts{}, code));
}

TEST(BitWriter, AFilledWordMovesToTheNext) {
    std::vector<uint32_t> words(3, 0);
    BitWriter writer(words, 1);
    writer.Write(0x5, 3);
    writer.Write(0x1FFFFFFF, 29);
    EXPECT_EQ(words[1], 0xFFFFFFFDu);
    EXPECT_EQ(writer.nextWord(), 2u);
    writer.Write(0x3, 2);
    EXPECT_EQ(words[2], 0x3u);
}

TEST(FrameEncoder, EmptyFieldFrame) {
    const std::vector<uint16_t> image(kSensorPixels, 256);
    FrameEncoder encoder;
    const std::span<const uint8_t> frame = encoder.Encode(image);
    ASSERT_EQ(frame.size(), 1840u);
    EXPECT_EQ(WordAt(frame, 0), 0x00000010u);
    EXPECT_EQ(WordAt(frame, 1), 0x02000005u);
    EXPECT_EQ(WordAt(frame, 2), 0x1FF03F84u);
    EXPECT_EQ(WordAt(frame, 3), 0xB6DB6DB6u);
    EXPECT_EQ(encoder.tokenCount(), 2u * 4871u);
    EXPECT_TRUE(DecodesTo(frame, image));
}

// A stream of 23 + 14 L tree bits is always odd, so the tree never ends on a word boundary;
// the last token can.
TEST(FrameEncoder, LastTokenFillingAWordCountsTheNextWord) {
    FrameEncoder encoder;
    bool found = false;
    for (int symbols = 2; symbols < 10 && !found; ++symbols) {
        for (int n = symbols; n < 100 && !found; ++n) {
            // No two neighbours equal: one token per pixel.
            std::vector<uint16_t> image;
            for (int i = 0; i < n; ++i)
                image.push_back(static_cast<uint16_t>(300 + i % symbols));
            const std::span<const uint8_t> frame = encoder.Encode(image);
            ASSERT_FALSE(frame.empty());
            std::size_t bits = 23 + 14 * ((encoder.code().nodes.size() + 1) / 2);
            for (const uint16_t v : image)
                bits += encoder.code().length[v];
            if (bits % 32 != 0) continue;
            found = true;
            EXPECT_EQ(frame.size(), 4 * (1 + bits / 32 + 1)) << n << " pixels";
            EXPECT_EQ(WordAt(frame, frame.size() / 4 - 1), 0u);
            EXPECT_TRUE(DecodesTo(frame, image));
        }
    }
    EXPECT_TRUE(found);
}

TEST(FrameEncoder, SmallImagesRoundTrip) {
    std::mt19937 random(1234);
    FrameEncoder encoder;
    for (int round = 0; round < 200; ++round) {
        const int size = 1 + static_cast<int>(random() % 3000);
        const int distinct = 1 + static_cast<int>(random() % 40);
        const int runBias = static_cast<int>(random() % 300);
        std::vector<uint16_t> image;
        while (static_cast<int>(image.size()) < size) {
            const auto value = static_cast<uint16_t>(256 + random() % distinct * 97 % 3840);
            const int run = 1 + static_cast<int>(random() % (1 + runBias));
            image.insert(image.end(), std::min(run, size - static_cast<int>(image.size())), value);
        }
        const std::span<const uint8_t> frame = encoder.Encode(image);
        ASSERT_TRUE(DecodesTo(frame, image)) << "round " << round;
    }
}

TEST(FrameEncoder, OneTokenPerPixelFits) {
    std::vector<uint16_t> image(kSensorPixels);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint16_t>(256 + (i * 7919 + i / 3) % 3840);
        if (i > 0 && image[i] == image[i - 1]) image[i] = static_cast<uint16_t>(image[i] ^ 1);
    }
    FrameEncoder encoder;
    const std::span<const uint8_t> frame = encoder.Encode(image);
    EXPECT_EQ(encoder.tokenCount(), kSensorPixels);
    EXPECT_TRUE(DecodesTo(frame, image));
}

TEST(FrameEncoder, RefusesImagesOutsideTwelveBits) {
    FrameEncoder encoder;
    EXPECT_TRUE(encoder.Encode(std::vector<uint16_t>{300, 5000}).empty());
    EXPECT_TRUE(encoder.frame().empty());
    const std::span<const uint8_t> sixteen = encoder.EncodeSixteenBit();
    EXPECT_EQ(std::vector<uint8_t>(sixteen.begin(), sixteen.end()), std::vector<uint8_t>(8, 0));
}

}  // namespace
}  // namespace starloom
