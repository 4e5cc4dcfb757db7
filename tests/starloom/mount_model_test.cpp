#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "starloom/model/mount_model.h"
#include "starloom/model/polar_geometry.h"

namespace starloom {
namespace {

constexpr float kScale176 = 4.3948f;

// Change of the drifts over one minute centred on an hour angle (seconds from the meridian).
PolarView RatePerMinute(const PolarAlignment& alignment, double hourAngle) {
    const PolarView before = ComputePolarView(alignment, hourAngle - 30.0, kScale176, {});
    const PolarView after = ComputePolarView(alignment, hourAngle + 30.0, kScale176, {});
    PolarView rate;
    rate.raDrift = after.raDrift - before.raDrift;
    rate.decDrift = after.decDrift - before.decDrift;
    return rate;
}

TEST(PolarGeometry, NoDriftWithoutPolarError) {
    for (const bool southern : {false, true}) {
        for (const float latitude : {45.0f, 10.0f, 80.0f}) {
            for (const double hourAngle : {-21600.0, -3000.0, 0.0, 7200.0, 40000.0}) {
                const PolarView view =
                    ComputePolarView({southern, latitude, 0.0f, 0.0f}, hourAngle, kScale176, {});
                EXPECT_NEAR(view.raDrift, 0.0f, 1e-6f) << southern << latitude << hourAngle;
                EXPECT_NEAR(view.decDrift, 0.0f, 1e-6f) << southern << latitude << hourAngle;
            }
        }
    }
    // Northern, camera unrotated: RA runs along the columns, DEC along the rows.
    const PolarView north = ComputePolarView({}, 1234.0, kScale176, {});
    EXPECT_NEAR(north.raX, 1.0f, 1e-6f);
    EXPECT_NEAR(north.raY, 0.0f, 1e-6f);
    EXPECT_NEAR(north.decX, 0.0f, 1e-6f);
    EXPECT_NEAR(north.decY, 1.0f, 1e-6f);
}

TEST(PolarGeometry, AzimuthErrorDriftsInDecOnTheMeridian) {
    const PolarAlignment alignment{false, 45.0f, 0.0f, 0.1f};
    EXPECT_NEAR(RatePerMinute(alignment, 0.0).decDrift, 0.25f, 0.01f);
    EXPECT_NEAR(RatePerMinute(alignment, -21600.0).decDrift, 0.0f, 0.001f);
    EXPECT_NEAR(RatePerMinute(alignment, 21600.0).decDrift, 0.0f, 0.001f);
}

TEST(PolarGeometry, AltitudeErrorDriftsInDecAtSixHours) {
    const PolarAlignment alignment{false, 45.0f, 0.1f, 0.0f};
    EXPECT_NEAR(RatePerMinute(alignment, 0.0).decDrift, 0.0f, 0.001f);
    const float east = RatePerMinute(alignment, -21600.0).decDrift;
    const float west = RatePerMinute(alignment, 21600.0).decDrift;
    EXPECT_NEAR(std::fabs(east), 0.36f, 0.01f);
    EXPECT_NEAR(std::fabs(west), 0.36f, 0.01f);
    EXPECT_LT(east * west, 0.0f);
}

TEST(PolarGeometry, NoDriftYetAtTheEasternStart) {
    for (const bool southern : {false, true}) {
        const PolarView view =
            ComputePolarView({southern, 45.0f, 0.1f, 0.1f}, -21600.0, kScale176, {});
        EXPECT_NEAR(view.raDrift, 0.0f, 1e-6f);
        EXPECT_NEAR(view.decDrift, 0.0f, 1e-6f);
    }
}

class MountTest : public ::testing::Test {
protected:
    ImageOffset Step() {
        clock += MountModel::kStepMs;
        return mount.MountStep(clock, 0, random, seeing);
    }

    MountModel mount;
    SkyRandom random;
    SeeingTable seeing;
    int64_t clock = 0;
};

TEST_F(MountTest, ImageScaleAndGuideSpeedsFollowTheFocalLength) {
    EXPECT_NEAR(mount.imageScale(), kScale176, 0.0001f);
    const float speed176 = mount.raGuideSpeed();
    EXPECT_NEAR(speed176, 15.04f / kScale176 * 0.5f, 0.0001f);
    ASSERT_TRUE(mount.SetFocalLength(352));
    EXPECT_FLOAT_EQ(mount.imageScale(), MountModel::ImageScale(176) / 2.0f);
    EXPECT_FLOAT_EQ(mount.raGuideSpeed(), 2.0f * speed176);
    EXPECT_FLOAT_EQ(mount.decGuideSpeed(), mount.raGuideSpeed());
    // A focal length that cannot be is refused and changes nothing.
    EXPECT_FALSE(mount.SetFocalLength(0));
    EXPECT_FALSE(mount.SetFocalLength(-176));
    EXPECT_EQ(mount.focalLength(), 352);

    mount.SetAgSpeed(0.125f);
    EXPECT_FLOAT_EQ(mount.raGuideSpeed(), 15.04f / mount.imageScale() * 0.125f);
    mount.SetAgSpeed(-1.0f);  // keeps 0.125
    EXPECT_FLOAT_EQ(mount.agSpeed(), 0.125f);
}

TEST_F(MountTest, WithoutPolarErrorTheOffsetIsThePeriodicError) {
    mount.SetPeriodicError(1, 0.0, 20.0f, random);
    float largest = 0.0f;
    for (int i = 0; i < 48000; ++i) {  // one worm period
        const ImageOffset offset = Step();
        const double t = clock / 1000.0;
        const float pe = mount.periodicError().At(t);
        ASSERT_NEAR(offset.dx, pe / mount.imageScale(), 1e-5f) << t;
        ASSERT_NEAR(offset.dy, 0.0f, 1e-6f) << t;
        largest = std::max(largest, std::fabs(offset.dx));
    }
    EXPECT_GT(largest, 5.0f);
    EXPECT_LE(largest, 23.95f / kScale176);  // 20 sin + 4 cos(3x + 1.238) peaks at 23.92"
    // Type 1 is the fundamental and a third harmonic.
    const double theta = 100.0 / 480.0 * 2.0 * std::numbers::pi;
    EXPECT_NEAR(mount.periodicError().samples[100],
                20.0 * std::sin(theta) + 4.0 * std::cos(3.0 * theta + 1.238), 1e-4);
}

TEST_F(MountTest, OtherPeriodicErrorTypes) {
    mount.SetPeriodicError(0, 0.0, 20.0f, random);
    for (float v : mount.periodicError().samples)
        ASSERT_EQ(v, 0.0f);
    mount.SetPeriodicError(3, 0.0, 20.0f, random);
    float largest = 0.0f;
    for (float v : mount.periodicError().samples)
        largest = std::max(largest, std::fabs(v));
    EXPECT_GT(largest, 20.0f);  // the random harmonics add to the fundamental
}

TEST_F(MountTest, EachStepDrawsTwoUniformNumbers) {
    SkyRandom expected;
    Step();
    Step();
    for (int i = 0; i < 4; ++i)
        expected.rand();
    EXPECT_EQ(random.rand(), expected.rand());
}

TEST_F(MountTest, DecBacklashTakesUpThePlayFirstInEachDirection) {
    mount.SetBacklash(true, 2.0f);
    const float step = mount.decGuideSpeed() * 0.01f;
    mount.SetAgState(kAgDecPlus);
    float last = mount.decGuidePosition();
    for (int i = 1; i <= 250; ++i) {
        Step();
        const float moved = mount.decGuidePosition() - last;
        last = mount.decGuidePosition();
        if (i <= 200) {
            ASSERT_EQ(moved, 0.0f) << "step " << i;
        } else {
            ASSERT_NEAR(moved, step, step * 0.01f) << "step " << i;
        }
    }
    EXPECT_FLOAT_EQ(mount.BacklashFraction(), 1.0f);

    mount.SetAgState(kAgDecMinus);
    for (int i = 1; i <= 201; ++i) {
        Step();
        const float moved = mount.decGuidePosition() - last;
        last = mount.decGuidePosition();
        if (i <= 200) {
            ASSERT_EQ(moved, 0.0f) << "reverse step " << i;
        } else {
            ASSERT_NEAR(moved, -step, step * 0.01f) << "reverse step " << i;
        }
        if (i == 100) {
            EXPECT_NEAR(mount.BacklashFraction(), 0.5f, 0.001f);
        }
    }
    EXPECT_EQ(mount.BacklashFraction(), 0.0f);
}

TEST_F(MountTest, UnusableBacklashActsAsNone) {
    const float step = mount.decGuideSpeed() * 0.01f;
    for (const float backlash : {-1.0f, std::nanf(""), INFINITY}) {
        mount.SetBacklash(true, backlash);
        for (const unsigned bits : {unsigned{kAgDecPlus}, unsigned{kAgDecMinus}}) {
            mount.SetAgState(bits);
            const float before = mount.decGuidePosition();
            Step();
            EXPECT_NEAR(std::fabs(mount.decGuidePosition() - before), step, step * 0.01f)
                << backlash;
        }
        EXPECT_EQ(mount.BacklashFraction(), 0.0f) << backlash;
    }
}

TEST_F(MountTest, BacklashShrinksWithItsSetting) {
    mount.SetBacklash(true, 2.0f);
    mount.SetAgState(kAgDecPlus);
    for (int i = 0; i < 150; ++i)
        Step();
    mount.SetBacklash(true, 1.0f);
    EXPECT_FLOAT_EQ(mount.backlashPosition(), 1.0f);
    mount.SetBacklash(false, 1.0f);
    EXPECT_EQ(mount.backlashPosition(), 0.0f);
    EXPECT_EQ(mount.BacklashFraction(), 0.0f);
}

TEST_F(MountTest, RaResponseDelayOfOneShowsAfterTenSteps) {
    mount.SetResponseDelay(1);
    mount.SetAgState(kAgRaPlus);
    Step();
    mount.SetAgState(0);
    for (int i = 1; i <= 12; ++i) {
        const float before = mount.raGuidePosition();
        Step();
        const float moved = mount.raGuidePosition() - before;
        if (i == 10) {
            EXPECT_NEAR(moved, mount.raGuideSpeed() * 0.01f, 1e-6f);
        } else {
            EXPECT_EQ(moved, 0.0f) << "step " << i;
        }
    }
}

TEST_F(MountTest, RaCommandsFromTheGuideBits) {
    struct Case {
        unsigned bits;
        float direction;
    };
    for (const Case c : {Case{kAgRaPlus, 1.0f}, Case{kAgRaMinus, -1.0f},
                         Case{kAgRaPlus | kAgRaMinus, 0.0f}, Case{kAgDecPlus, 0.0f}}) {
        mount.SetResponseDelay(0);
        mount.SetAgState(c.bits);
        const float before = mount.raGuidePosition();
        Step();
        EXPECT_NEAR(mount.raGuidePosition() - before, c.direction * mount.raGuideSpeed() * 0.01f,
                    1e-6f)
            << c.bits;
    }
    // A delay outside 0 ... 10 leaves the RA drive deaf; 10 puts the pulse at the last entry.
    mount.SetResponseDelay(11);
    mount.SetAgState(kAgRaPlus);
    const float before = mount.raGuidePosition();
    for (int i = 0; i < 120; ++i)
        Step();
    EXPECT_EQ(mount.raGuidePosition(), before);
    mount.SetResponseDelay(10);
    mount.SetAgState(0);
    for (int i = 0; i < 100; ++i)
        Step();  // clear the history
    mount.SetAgState(kAgRaPlus);
    for (int i = 1; i <= 100; ++i) {
        const float b = mount.raGuidePosition();
        Step();
        ASSERT_EQ(mount.raGuidePosition() != b, i == 100) << "step " << i;
    }
}

TEST_F(MountTest, HourAngleIsTheTargetsNowOnceTheClockRuns) {
    mount.SetPolarAlignment(false, 45.0f, 0.1f, 0.1f);
    mount.SetHourAngle(-21600.0, -1, 0);  // not started: taken as it stands
    EXPECT_EQ(mount.hourAngleOffset(), -21600.0);

    const int64_t reference = 500'000;
    const int64_t now = reference + 3'600'000;
    mount.SetHourAngle(-21600.0, now, reference);  // "East"
    EXPECT_DOUBLE_EQ(mount.hourAngleOffset(), -21600.0 - 3600.0);
    // The target now stands where the model starts it, 6 h east: no drift yet.
    const PolarView view = mount.View(now, reference);
    EXPECT_NEAR(view.raDrift, 0.0f, 1e-5f);
    EXPECT_NEAR(view.decDrift, 0.0f, 1e-5f);
    // A clock that starts at HC time 0 is running too.
    mount.SetHourAngle(0.0, 60'000, 0);
    EXPECT_DOUBLE_EQ(mount.hourAngleOffset(), -60.0);
}

TEST_F(MountTest, CameraAngleRotatesTheOffset) {
    mount.SetPeriodicError(0, 0.0, 0.0f, random);
    mount.SetResponseDelay(0);
    mount.SetAgState(kAgRaPlus);
    mount.SetCameraAngle(0.0f, 3.0f);  // normalised to (0, 1): a quarter turn
    const ImageOffset offset = Step();
    EXPECT_NEAR(offset.dx, 0.0f, 1e-6f);
    EXPECT_NEAR(offset.dy, mount.raGuideSpeed() * 0.01f, 1e-6f);
    mount.SetCameraAngle(0.0f, 0.0f);  // no direction: ignored
    EXPECT_NEAR(Step().dy, 2.0f * mount.raGuideSpeed() * 0.01f, 1e-6f);
}

TEST_F(MountTest, SeeingMovesTheImageByItsAmplitude) {
    mount.SetPeriodicError(0, 0.0, 0.0f, random);
    seeing.column1 = {1.0f, -1.0f};
    seeing.column2 = {-0.5f, 0.5f};
    seeing.rate = 100.0f;         // one sample per step
    ImageOffset offset = Step();  // t = 10 ms: sample 1
    EXPECT_NEAR(offset.dx, 0.0f, 1e-9f);
    EXPECT_NEAR(offset.dy, 0.0f, 1e-9f);
    mount.SetSeeingAmplitude(2.0f);
    offset = Step();  // t = 20 ms: sample 0
    EXPECT_FLOAT_EQ(offset.dx, 2.0f * -0.5f / mount.imageScale());
    EXPECT_FLOAT_EQ(offset.dy, 2.0f * 1.0f / mount.imageScale());
}

TEST_F(MountTest, PeriodicErrorBeforeTheReferenceStaysInTheTable) {
    mount.SetPeriodicError(1, 0.0, 20.0f, random);
    // The HC's clock restarted below the reference time.
    const ImageOffset offset = mount.MountStep(1000, 1'000'000, random, seeing);
    EXPECT_TRUE(std::isfinite(offset.dx));
    EXPECT_FLOAT_EQ(offset.dx, mount.periodicError().At(-999.0) / mount.imageScale());
    EXPECT_FLOAT_EQ(mount.periodicError().At(-999.0), mount.periodicError().At(-999.0 + 480.0 * 3));
}

TEST_F(MountTest, ResetClearsTheGuideState) {
    mount.SetResponseDelay(0);
    mount.SetAgState(kAgRaPlus | kAgDecPlus);
    for (int i = 0; i < 10; ++i)
        Step();
    mount.SetHourAngle(3600.0, -1, 0);
    mount.ResetGuideState();
    EXPECT_EQ(mount.agState(), 0u);
    EXPECT_EQ(mount.raGuidePosition(), 0.0f);
    EXPECT_EQ(mount.decGuidePosition(), 0.0f);
    EXPECT_EQ(mount.hourAngleOffset(), 0.0);
    // The kernel is a pulse at 0 again...
    mount.SetAgState(kAgRaPlus);
    Step();
    EXPECT_NEAR(mount.raGuidePosition(), mount.raGuideSpeed() * 0.01f, 1e-6f);
    // ...and the history holds none of the commands from before.
    mount.SetAgState(0);
    mount.SetResponseDelay(1);
    const float before = mount.raGuidePosition();
    Step();
    EXPECT_EQ(mount.raGuidePosition(), before);
}

}  // namespace
}  // namespace starloom
