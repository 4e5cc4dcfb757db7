#include "common/bitmap_rect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/colour.h"

namespace {

using common::PixelByte;
using common::RgbInMemoryOrder;

constexpr uint32_t kWhite = RgbInMemoryOrder(255, 255, 255);

CBitmapRect Canvas(int width, int height, uint32_t colour = 0) {
    CBitmapRect b;
    EXPECT_EQ(b.Create(width, height), 0);
    b.Fill(colour);
    return b;
}

int Red(const CBitmapRect& b, int x, int y) {
    return PixelByte(b.GetPixel(x, y), 0);
}

TEST(BitmapRect, CreateFailsCleanlyAndAFailedCanvasIgnoresDrawing) {
    CBitmapRect b;
    EXPECT_EQ(b.Create(-1, 5), -1);
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 0);
    EXPECT_EQ(b.Create(std::numeric_limits<int>::max(), std::numeric_limits<int>::max()), -1);
    b.Fill(kWhite);
    b.SetPixel(0, 0, kWhite);
    b.VerticalLine(0, 0, 10, kWhite);
    b.Line(0, 0, 10, 10, kWhite);
    b.GaussianDot(1, 1, 2, 2, kWhite);
    EXPECT_EQ(b.Row(0), nullptr);
}

TEST(BitmapRect, CreateGivesAZeroFilledCanvasTopRowFirst) {
    CBitmapRect b;
    ASSERT_EQ(b.Create(4, 3), 0);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(b.GetPixel(x, y), 0u);
    }
    b.SetPixel(1, 2, 7);
    EXPECT_EQ(b.Row(2)[1], 7u);
    EXPECT_EQ(b.Row(0) + 2 * 4, b.Row(2));
    EXPECT_EQ(b.Row(3), nullptr);
    EXPECT_EQ(b.Row(-1), nullptr);
}

TEST(BitmapRect, SolidShapesClipAndTakeEndPointsInEitherOrder) {
    CBitmapRect b = Canvas(5, 4);
    b.VerticalLine(2, 10, -3, 1);  // both ends outside
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ(b.GetPixel(2, y), 1u);
    b.HorizontalLine(3, 1, 1, 2);
    EXPECT_EQ(b.GetPixel(0, 1), 0u);
    EXPECT_EQ(b.GetPixel(1, 1), 2u);
    EXPECT_EQ(b.GetPixel(3, 1), 2u);
    EXPECT_EQ(b.GetPixel(4, 1), 0u);
    b.VerticalLine(7, 0, 3, 3);  // outside: nothing
    b.HorizontalLine(0, 9, 4, 3);
    b.SetPixel(3, 2, 4, 5);  // a square reaching over the edges
    EXPECT_EQ(b.GetPixel(4, 3), 4u);
    EXPECT_EQ(b.GetPixel(2, 2), 1u);
    b.SetPixel(-3, -3, 5, 4);  // only (0, 0) of it lies inside
    EXPECT_EQ(b.GetPixel(0, 0), 5u);
    EXPECT_EQ(b.GetPixel(1, 0), 0u);
    EXPECT_EQ(b.GetPixel(0, 1), 0u);
}

// A vertical line on a whole-numbered column lands on that column only; its end points, where
// the line starts and ends on a pixel centre, get half weight.
TEST(BitmapLine, VerticalLineFillsItsColumnWithHalfWeightEnds) {
    CBitmapRect b = Canvas(6, 8);
    b.Line(3, 6, 3, 2, RgbInMemoryOrder(200, 0, 0));
    const int expected[8] = {0, 0, 99, 199, 199, 199, 99, 0};  // trunc(w/256 * 200)
    for (int y = 0; y < 8; ++y) {
        EXPECT_EQ(Red(b, 3, y), expected[y]) << "y " << y;
        EXPECT_EQ(Red(b, 2, y), 0) << "y " << y;
        EXPECT_EQ(Red(b, 4, y), 0) << "y " << y;
    }
}

TEST(BitmapLine, SlopedLineSharesEachStepBetweenTwoPixels) {
    CBitmapRect b = Canvas(12, 8);
    b.Line(0.0f, 1.0f, 10.0f, 6.0f, kWhite);  // x is the major axis
    for (int x = 1; x < 10; ++x) {
        int sum = 0, lit = 0;
        for (int y = 0; y < 8; ++y) {
            sum += Red(b, x, y);
            lit += Red(b, x, y) > 0;
        }
        EXPECT_GE(sum, 253) << "x " << x;  // 255 split in two, each truncated
        EXPECT_LE(sum, 255) << "x " << x;
        EXPECT_LE(lit, 2) << "x " << x;
    }
    EXPECT_GE(Red(b, 4, 3), 253);  // y = 3 exactly
    // Half way along, the line passes between rows 3 and 4.
    EXPECT_NEAR(Red(b, 5, 3), 127, 1);
    EXPECT_NEAR(Red(b, 5, 4), 127, 1);
    EXPECT_EQ(Red(b, 11, 6), 0);
}

TEST(BitmapLine, BlendsWithWhatIsThereByWeightAndIntensity) {
    CBitmapRect b = Canvas(4, 4, RgbInMemoryOrder(16, 16, 16));
    b.Line(0, 1, 3, 1, RgbInMemoryOrder(240, 16, 16), 0.5f);
    // Inner pixels: w = 255/256 * 0.5; 240 * w + 16 * (1 - w).
    EXPECT_EQ(Red(b, 1, 1), 127);
    EXPECT_EQ(PixelByte(b.GetPixel(1, 1), 1), 16);
    EXPECT_EQ(Red(b, 1, 0), 16);
}

TEST(BitmapLine, DrawsOnlyTheVisiblePartOfLinesReachingFarOutside) {
    CBitmapRect b = Canvas(10, 10);
    b.Line(-1000.0f, 5.0f, 1000.0f, 5.0f, kWhite);
    // Clipped to -0.5 .. 9, the line ends on the centre of the last column.
    for (int x = 0; x < 9; ++x)
        EXPECT_GT(Red(b, x, 5), 250) << "x " << x;
    EXPECT_EQ(Red(b, 9, 5), 126);
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(Red(b, x, 4), 0) << "x " << x;

    CBitmapRect c = Canvas(10, 10);
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    c.Line(nan, 1, 5, 5, kWhite);
    c.Line(0, 0, inf, 5, kWhite);
    c.Line(1e30f, -1e30f, -1e30f, 1e30f, kWhite);
    c.Line(3e9f, 1e9f, 3e9f + 5, 1e9f, kWhite);
    c.GaussianDot(nan, 3, 2, 2, kWhite);
    c.GaussianDot(1e30f, 3, 2, 2, kWhite);
    c.GaussianDot(3, 3, 1e30f, 2, kWhite);  // covers the canvas, still bounded
    for (int y = 0; y < 10; ++y)
        EXPECT_GT(Red(c, 0, y), 0) << "y " << y;
}

TEST(GaussianDot, PeaksAtTheCentreAndFadesOutToThreeSigma) {
    CBitmapRect b = Canvas(40, 40);
    const uint32_t grey = RgbInMemoryOrder(240, 240, 240);
    b.GaussianDot(20.0f, 20.0f, 2.0f, 2.0f, grey);
    EXPECT_EQ(Red(b, 20, 20), 240);
    // z = 0.5: exp(-z) from its quadratic fit is 0.6081 (exactly 0.6065).
    EXPECT_EQ(Red(b, 22, 20), 145);
    EXPECT_EQ(Red(b, 20, 18), 145);
    // The reach is trunc(3.33 * sigma) = 6 pixels.
    EXPECT_EQ(Red(b, 26, 20), 2);
    EXPECT_EQ(Red(b, 27, 20), 0);
    EXPECT_EQ(Red(b, 20, 13), 0);
}

TEST(GaussianDot, KeepsBrighterPixelsAndTreatsTinySigmasAsAPoint) {
    CBitmapRect b = Canvas(10, 10, RgbInMemoryOrder(200, 10, 10));
    b.GaussianDot(5.0f, 5.0f, 0.0f, -1.0f, RgbInMemoryOrder(100, 100, 100));
    EXPECT_EQ(Red(b, 5, 5), 200);                    // the brighter channel stays
    EXPECT_EQ(PixelByte(b.GetPixel(5, 5), 1), 100);  // the darker one is lit
    EXPECT_EQ(PixelByte(b.GetPixel(6, 5), 1), 10);   // a point: nothing beside it
}

}  // namespace
