// Finding and measuring the guide star on frames drawn with known stars.

#include "hcsim/camera/star_measure.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/camera/synthetic_sky.h"

namespace hcsim::test {
namespace {

using namespace camera;

constexpr double kFwhmPerSigma = 2.3548;

TEST(BackgroundTest, LevelAndNoiseOfTheSky) {
    Background flat = estimateBackground(SyntheticSky(256).star(600, 400, 5e4, 1.2).image());
    EXPECT_EQ(flat.level, 256);
    EXPECT_EQ(flat.noise, Background::kMinNoise);  // a noiseless frame still has a threshold

    Background noisy = estimateBackground(SyntheticSky(300).noise(6.0).image());
    EXPECT_NEAR(noisy.level, 300, 1);
    EXPECT_NEAR(noisy.noise, 6.0, 0.6);
}

struct Placed {
    double x, y, sigma, noise;
};

class CentroidTest : public ::testing::TestWithParam<Placed> {};

TEST_P(CentroidTest, FindsTheCentreToAFractionOfAPixelAndTheWidth) {
    const Placed& p = GetParam();
    FrameImage image = SyntheticSky().noise(p.noise).star(p.x, p.y, 2e4, p.sigma).image();
    Background bg = estimateBackground(image);
    auto star = measureStarNear(image, bg, {}, p.x + 3, p.y - 2, 8);
    ASSERT_TRUE(star);
    const double tolerance = p.noise > 0 ? 0.05 : 0.01;
    EXPECT_NEAR(star->x, p.x, tolerance);
    EXPECT_NEAR(star->y, p.y, tolerance);
    // Equivalent width from flux and peak pixel: broadened by the pixels for small stars.
    EXPECT_NEAR(star->fwhm, kFwhmPerSigma * p.sigma, 0.25 * kFwhmPerSigma * p.sigma);
    EXPECT_NEAR(star->flux, 2e4, 2e4 * 0.05);
    EXPECT_GT(star->snr, 50);
    EXPECT_FALSE(star->saturated);
}

INSTANTIATE_TEST_SUITE_P(Stars, CentroidTest,
                         ::testing::Values(Placed{600.0, 400.0, 1.0, 0},
                                           Placed{600.3, 400.7, 1.0, 0},
                                           Placed{123.5, 800.25, 1.5, 0},
                                           Placed{1000.8, 77.1, 2.0, 0},
                                           Placed{640.4, 480.6, 1.2, 3.0}));

TEST(GuideStarTest, PicksTheBrightestStarThatIsFitToGuideOn) {
    FrameImage image = SyntheticSky()
                           .star(300, 300, 4e6, 1.0)  // saturated
                           .star(20, 500, 3e4, 1.2)   // too close to the edge
                           .star(900, 200, 3e4, 1.2)  // a close pair
                           .star(905, 203, 3e4, 1.2)
                           .star(700, 700, 2e4, 1.2)  // the one
                           .star(500, 100, 5e3, 1.2)  // fainter
                           .image();
    auto star = findGuideStar(image, estimateBackground(image), {});
    ASSERT_TRUE(star);
    EXPECT_NEAR(star->x, 700, 0.05);
    EXPECT_NEAR(star->y, 700, 0.05);
}

TEST(GuideStarTest, NoneOnAnEmptyOrHopelessFrame) {
    FrameImage empty = SyntheticSky().image();
    EXPECT_FALSE(findGuideStar(empty, estimateBackground(empty), {}));
    // A hot pixel is not a star.
    FrameImage hot = empty;
    hot.pixels[500 * FrameImage::kWidth + 600] = 3000;
    EXPECT_FALSE(findGuideStar(hot, estimateBackground(hot), {}));
}

TEST(GuideStarTest, MeasuresOnlyWithinTheSearchRadius) {
    FrameImage image = SyntheticSky().star(640, 480, 4e4, 1.0).image();
    Background bg = estimateBackground(image);
    EXPECT_TRUE(measureStarNear(image, bg, {}, 650, 490, 16));
    EXPECT_FALSE(measureStarNear(image, bg, {}, 680, 480, 16));
    EXPECT_FALSE(measureStarNear(image, bg, {}, -500, -500, 16));  // off the sensor
}

}  // namespace
}  // namespace hcsim::test
