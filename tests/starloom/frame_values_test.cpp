#include <gtest/gtest.h>

#include <vector>

#include "starloom/model/frame_values.h"
#include "starloom/model/frame_view.h"

namespace starloom {
namespace {

TEST(PixelValue, FromPhotonCountsByGain) {
    struct Case {
        uint16_t photons;
        int gain;
        uint16_t value;
    };
    for (const Case c : {
             Case{10, 6, 264},                              // 10 / 1.1532 = 8.67
             Case{4, 6, 259},                               // the lowest lit value
             Case{5, 0, 256},                               // 257 is below 259: shown as bias
             Case{0, 3, 256}, Case{65535, 9, 4095},         // limited to 12 bits
             Case{1000, 10, 1256},                          // 16-bit frame, gain 1
             Case{65535, 10, 65535}, Case{65535, 0, 4095},  // 14312 + 256 limited
         }) {
        EXPECT_EQ(PixelValue(c.photons, c.gain), c.value)
            << c.photons << " photons, gain " << c.gain;
    }
}

TEST(PixelValue, GainsBeyondTheTableUseTheHighest12BitGain) {
    for (int gain = 11; gain <= 15; ++gain) {
        EXPECT_EQ(GainTableIndex(gain), 9);
        EXPECT_EQ(PixelValue(1000, gain), PixelValue(1000, 9));
        EXPECT_EQ(MaxPixelValue(GainTableIndex(gain)), 4095);
    }
    EXPECT_EQ(GainTableIndex(-1), 0);
    EXPECT_EQ(GainTableIndex(10), 10);
}

TEST(MakeFrameImage, ClearsCountsBelowFourInThePhotonImageToo) {
    std::vector<uint16_t> photons{0, 1, 3, 4, 10, 65535};
    std::vector<uint16_t> frame(photons.size());
    MakeFrameImage(photons, 6, frame);
    EXPECT_EQ(photons, (std::vector<uint16_t>{0, 0, 0, 4, 10, 65535}));
    EXPECT_EQ(frame, (std::vector<uint16_t>{256, 256, 256, 259, 264, 4095}));
}

TEST(FrameView, GreyLevelsByBrightness) {
    struct Case {
        uint16_t value;
        int brightness;
        uint8_t grey;
    };
    for (const Case c : {Case{256, 0, 32}, Case{4095, 0, 241}, Case{256, 3, 32}, Case{767, 3, 254},
                         Case{768, 3, 255}, Case{0, 0, 18}, Case{0, 3, 0}, Case{65535, 0, 255},
                         Case{1000, 9, ViewGrey(1000, 3)}}) {
        EXPECT_EQ(ViewGrey(c.value, c.brightness), c.grey) << c.value << " at " << c.brightness;
    }
    const std::vector<uint16_t> frame{256, 767};
    std::vector<uint32_t> pixels(2);
    DrawFrameView(frame, 3, pixels);
    EXPECT_EQ(pixels[0], 0x00202020u);
    EXPECT_EQ(pixels[1], 0x00FEFEFEu);
}

}  // namespace
}  // namespace starloom
