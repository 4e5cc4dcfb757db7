// The HC's frame reader: the frames Starloom's model makes, the format's own example, and
// broken frames, each refused with a reason.

#include "hcsim/camera/frame_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "starloom/model/starloom_model.h"
#include "tests/camera/frame_builder.h"

namespace hcsim::test {
namespace {

using camera::decodeFrame;
using camera::FrameImage;
using camera::FrameKind;
using Bytes = std::vector<uint8_t>;

constexpr int kBackground = 256;

// The empty field: 4870 runs of 256 pixels of 256, then one of 64.
FrameBuilder emptyField() {
    FrameBuilder b({"i", "256", "i", "63", "255"});
    b.tokens({255, 256}, 4870).tokens({63, 256});
    return b;
}

uint32_t word(const Bytes& b, size_t i) {
    return b[4 * i] | b[4 * i + 1] << 8 | b[4 * i + 2] << 16 |
           static_cast<uint32_t>(b[4 * i + 3]) << 24;
}

TEST(FrameDecoderTest, TheEmptyFieldFrameOfTheFormatIsAllBackground) {
    const Bytes frame = emptyField().bytes();
    ASSERT_EQ(frame.size(), 1840u);
    EXPECT_EQ(word(frame, 0), 0x00000010u);
    EXPECT_EQ(word(frame, 1), 0x02000005u);
    EXPECT_EQ(word(frame, 2), 0x1FF03F84u);
    EXPECT_EQ(word(frame, 3), 0xB6DB6DB6u);

    FrameImage image;
    auto result = decodeFrame(frame.data(), frame.size(), image);
    ASSERT_EQ(result.kind, FrameKind::Image) << result.error;
    EXPECT_TRUE(std::all_of(image.pixels.begin(), image.pixels.end(),
                            [](uint16_t v) { return v == kBackground; }));
}

struct ModelFrame {
    const char* name;
    int seed;
    int64_t exposureMs;
    int gain;
};

class ModelFrameTest : public ::testing::TestWithParam<ModelFrame> {};

// Frames from Starloom's encoder come back pixel for pixel.
TEST_P(ModelFrameTest, DecodesToTheModelsFrameImage) {
    auto model = std::make_unique<starloom::StarloomModel>();
    model->StartEmulation("", 1.0f);
    model->sky().GenerateStarField(GetParam().seed);
    auto& frames = model->frames();
    for (int64_t t = 0; t < 3 * GetParam().exposureMs; t += GetParam().exposureMs) {
        frames.StartExposure(1000 + t, GetParam().exposureMs / 1000.0f, GetParam().gain);
        frames.FinishFrame(1000 + t + GetParam().exposureMs);
        auto bytes = frames.FrameBytes();
        FrameImage image;
        auto result = decodeFrame(bytes.data(), bytes.size(), image);
        ASSERT_EQ(result.kind, FrameKind::Image) << result.error;
        ASSERT_TRUE(std::equal(image.pixels.begin(), image.pixels.end(),
                               frames.frameImage().begin(), frames.frameImage().end()));
    }
}

INSTANTIATE_TEST_SUITE_P(Fields, ModelFrameTest,
                         ::testing::Values(ModelFrame{"empty", -1, 1000, 6},
                                           ModelFrame{"seed2_1s", 2, 1000, 6},
                                           ModelFrame{"seed2_4s_high_gain", 2, 4000, 9},
                                           ModelFrame{"seed7_100ms", 7, 100, 0}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(FrameDecoderTest, FramesWithoutAPictureAreEmpty) {
    FrameImage image;
    for (size_t size : {4, 8}) {
        Bytes zeros(size, 0);
        EXPECT_EQ(decodeFrame(zeros.data(), zeros.size(), image).kind, FrameKind::Empty) << size;
    }
}

struct Broken {
    const char* name;
    Bytes frame;
};

Bytes withWord(Bytes b, size_t i, uint32_t v) {
    for (int k = 0; k < 4; ++k)
        b[4 * i + k] = static_cast<uint8_t>(v >> (8 * k));
    return b;
}

std::vector<Broken> brokenFrames() {
    const Bytes good = emptyField().bytes();
    Bytes cut(good.begin(), good.end() - 4);
    Bytes longer = good;
    longer.insert(longer.end(), 4, 0);
    Bytes odd = good;
    odd.push_back(0);
    return {
        {"empty", {}},
        {"not_whole_words", odd},
        {"cut_short", cut},
        {"a_word_too_many", longer},
        {"twelve_zero_bytes", Bytes(12, 0)},
        {"header_beyond_the_end", withWord(good, 0, 4000)},
        {"header_not_at_the_codes", withWord(good, 0, 12)},
        {"even_node_count", FrameBuilder({"i", "256", "i", "63", "255"}, 4).bytes()},
        {"node_count_too_large", FrameBuilder({"i", "256", "i", "63", "255"}, 9).bytes()},
        {"symbol_twice", FrameBuilder({"i", "256", "256"}).bytes()},
        {"repeat_without_value",
         FrameBuilder({"i", "255", "i", "254", "256"}).tokens({255, 254}).bytes()},
        {"too_many_pixels", FrameBuilder({"i", "255", "256"}).tokens({255, 256}, 4871).bytes()},
        {"too_few_pixels", FrameBuilder({"i", "255", "256"}).tokens({255, 256}, 4870).bytes()},
    };
}

class BrokenFrameTest : public ::testing::TestWithParam<Broken> {};

TEST_P(BrokenFrameTest, IsRefusedWithAReason) {
    FrameImage image;
    const Bytes& frame = GetParam().frame;
    auto result = decodeFrame(frame.data(), frame.size(), image);
    EXPECT_EQ(result.kind, FrameKind::Invalid);
    EXPECT_FALSE(result.error.empty());
}

INSTANTIATE_TEST_SUITE_P(Frames, BrokenFrameTest, ::testing::ValuesIn(brokenFrames()),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace hcsim::test
