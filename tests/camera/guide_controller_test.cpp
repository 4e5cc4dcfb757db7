// The guide algorithm's pulses for given drifts.

#include "hcsim/camera/guide_controller.h"

#include <gtest/gtest.h>

namespace hcsim::test {
namespace {

using namespace camera;

CalibrationResult twoPixelsPerSecond() {
    CalibrationResult r;
    r.raRate = 2;
    r.decRate = 2;
    return r;
}

struct Case {
    const char* name;
    double ra, dec;
    int raMs, decMs;
};

class FirstCorrectionTest : public ::testing::TestWithParam<Case> {};

// RA P 0.7 and I 0.1 on the first frame (the sum is the drift itself), DEC P 0.6.
TEST_P(FirstCorrectionTest, PulsesAgainstTheDrift) {
    GuideController controller;
    Pulses p = controller.correct(GetParam().ra, GetParam().dec, twoPixelsPerSecond(), {});
    EXPECT_EQ(p.raMs, GetParam().raMs);
    EXPECT_EQ(p.decMs, GetParam().decMs);
}

INSTANTIATE_TEST_SUITE_P(Drifts, FirstCorrectionTest,
                         ::testing::Values(Case{"both", 1.0, -1.0, -400, 300},  // 0.8 px, 0.6 px
                                           Case{"inside_tolerances", 0.09, 0.14, 0,
                                                0},  // I alone: 4.5 ms, too short
                                           Case{"dec_beyond_tolerance", 0.0, 0.16, 0, -48},
                                           Case{"limited", 10.0, 10.0, -2000, -2000},
                                           Case{"minus_direction", -0.5, -0.5, 200, 150}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(GuideControllerTest, TheIntegralCorrectsADriftTooSmallForTheProportionalTerm) {
    GuideController controller;
    Pulses p;
    for (int frame = 0; frame < 10; ++frame)
        p = controller.correct(0.09, 0, twoPixelsPerSecond(), {});
    EXPECT_EQ(p.raMs, -45);  // 0.1 x 0.9 px summed, at 2 px/s
    controller.reset();
    EXPECT_EQ(controller.correct(0.09, 0, twoPixelsPerSecond(), {}).raMs, 0);
}

TEST(GuideControllerTest, TheIntegralDoesNotWindUpWithoutLimit) {
    GuideController controller;
    for (int frame = 0; frame < 1000; ++frame)
        controller.correct(5.0, 0, twoPixelsPerSecond(), {});
    EXPECT_LE(controller.raSum() * 0.1f, 5.0 + 1e-9);
}

TEST(GuideControllerTest, NoDecPulsesWithoutADecCalibration) {
    CalibrationResult r = twoPixelsPerSecond();
    r.decRate = 0;
    GuideController controller;
    EXPECT_EQ(controller.correct(0, 3.0, r, {}).decMs, 0);
}

}  // namespace
}  // namespace hcsim::test
