// What Starloom's view makes of a frame without a window: the automatic stretch and the guide
// star it marks.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "starloom/model/frame_stretch.h"
#include "starloom/model/guide_star.h"
#include "starloom/model/sensor.h"

namespace starloom {
namespace {

// A frame at the bias level with Gaussian stars of the given peak above it.
struct Star {
    double x, y;
    int peak;
};
std::vector<uint16_t> FrameWith(std::initializer_list<Star> stars, int ceiling = 4095) {
    std::vector<uint16_t> frame(kSensorPixels, 256);
    for (const Star& s : stars)
        for (int y = static_cast<int>(s.y) - 6; y <= static_cast<int>(s.y) + 6; ++y)
            for (int x = static_cast<int>(s.x) - 6; x <= static_cast<int>(s.x) + 6; ++x) {
                if (x < 0 || y < 0 || x >= kSensorWidth || y >= kSensorHeight) continue;
                const double r2 = (x - s.x) * (x - s.x) + (y - s.y) * (y - s.y);
                const int v = 256 + static_cast<int>(s.peak * std::exp(-r2 / (2 * 1.2 * 1.2)));
                auto& p = frame[static_cast<std::size_t>(y) * kSensorWidth + x];
                p = static_cast<uint16_t>(std::min(ceiling, std::max<int>(p, v)));
            }
    return frame;
}

TEST(AutoStretch, SkyGoesBlackAndTheBrightestStarsWhite) {
    std::vector<uint16_t> frame = FrameWith({{300.2, 200.7, 3000}, {900.0, 700.0, 200}});
    const StretchLevels levels = AutoStretchLevels(frame);
    EXPECT_EQ(levels.black, 256);
    EXPECT_GT(levels.white, 256 + AutoStretch::kMinSpan - 1);
    EXPECT_LT(levels.white, 256 + 3000);
    EXPECT_EQ(StretchGrey(256, levels), 0);
    EXPECT_EQ(StretchGrey(256 + 3000, levels), 255);
    // The faint star shows, where the 8x bit window left it at a dark grey.
    EXPECT_GT(StretchGrey(256 + 200, levels), 64);

    // An empty sky: the points stay apart, and everything is black.
    const std::vector<uint16_t> empty(kSensorPixels, 256);
    const StretchLevels flat = AutoStretchLevels(empty);
    EXPECT_EQ(flat.white - flat.black, AutoStretch::kMinSpan);
    std::vector<uint32_t> pixels(kSensorPixels, 1);
    DrawStretchedView(empty, flat, pixels);
    EXPECT_EQ(pixels[12345], 0u);
}

TEST(GuideStar, PicksTheBrightestUnsaturatedStarAwayFromTheEdges) {
    struct Case {
        const char* name;
        std::vector<uint16_t> frame;
        double x, y;  // the star picked
    } cases[] = {
        {"brightest", FrameWith({{400.3, 300.6, 900}, {800.0, 500.0, 2000}}), 800.0, 500.0},
        {"saturated one passed over", FrameWith({{400.3, 300.6, 900}, {800.0, 500.0, 9000}}), 400.3,
         300.6},
        {"one at the edge passed over", FrameWith({{400.3, 300.6, 900}, {20.0, 500.0, 2000}}),
         400.3, 300.6},
    };
    for (const Case& c : cases) {
        const std::optional<MeasuredStar> star = FindGuideStar(c.frame, 4095);
        ASSERT_TRUE(star) << c.name;
        EXPECT_NEAR(star->x, c.x, 0.1) << c.name;
        EXPECT_NEAR(star->y, c.y, 0.1) << c.name;
    }
    EXPECT_FALSE(FindGuideStar(std::vector<uint16_t>(kSensorPixels, 256), 4095));
}

TEST(GuideStar, TheTrackerFollowsItsStarAndPicksAgainWhenItIsGone) {
    GuideStarTracker tracker;
    ASSERT_TRUE(tracker.Update(FrameWith({{400.0, 300.0, 900}, {800.0, 500.0, 2000}}), 4095));
    EXPECT_NEAR(tracker.star()->x, 800.0, 0.1);
    // The star moved 6 pixels and a brighter one came up elsewhere: the guider stays with its
    // own.
    tracker.Update(FrameWith({{400.0, 300.0, 3000}, {806.0, 497.0, 2000}}), 4095);
    ASSERT_TRUE(tracker.star());
    EXPECT_NEAR(tracker.star()->x, 806.0, 0.1);
    EXPECT_NEAR(tracker.star()->y, 497.0, 0.1);
    // Gone: another is picked.
    tracker.Update(FrameWith({{400.0, 300.0, 3000}}), 4095);
    ASSERT_TRUE(tracker.star());
    EXPECT_NEAR(tracker.star()->x, 400.0, 0.1);
}

}  // namespace
}  // namespace starloom
