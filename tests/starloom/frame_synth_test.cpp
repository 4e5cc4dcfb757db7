#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>

#include "starloom/model/frame_values.h"
#include "starloom/model/sensor.h"
#include "starloom/model/starloom_model.h"
#include "tests/starloom/frame_round_trip.h"

namespace starloom {
namespace {

struct Centroid {
    double x = 0.0;
    double y = 0.0;
    double photons = 0.0;
};

// Photon-weighted centre of a window of the photon image.
Centroid CentroidAround(std::span<const uint16_t> image, int cx, int cy, int half) {
    Centroid c;
    for (int y = std::max(0, cy - half); y <= std::min(kSensorHeight - 1, cy + half); ++y) {
        for (int x = std::max(0, cx - half); x <= std::min(kSensorWidth - 1, cx + half); ++x) {
            const double n = image[static_cast<std::size_t>(y) * kSensorWidth + x];
            c.x += n * x;
            c.y += n * y;
            c.photons += n;
        }
    }
    if (c.photons > 0) {
        c.x /= c.photons;
        c.y /= c.photons;
    }
    return c;
}

class FrameSynthTest : public ::testing::Test {
protected:
    // A field of the given stars (x, y, flux), all with the 6000 K profile.
    void SetStars(std::initializer_list<std::array<float, 3>> stars) {
        sky().GenerateStarField(2, 0.1f);
        ASSERT_GE(static_cast<std::size_t>(sky().starCount()), stars.size());
        std::span<SkyStar> field = sky().stars();
        for (SkyStar& star : field)
            star.flux = 0.0f;
        std::size_t i = 0;
        for (const auto& [x, y, flux] : stars) {
            field[i].x = x;
            field[i].y = y;
            field[i].flux = flux;
            field[i].profile = ProfileFor(sky().profiles(), 6000).profile;
            ++i;
        }
    }

    SkyModel& sky() { return model->sky(); }
    FrameSynth& frames() { return model->frames(); }

    std::unique_ptr<StarloomModel> model = std::make_unique<StarloomModel>();
};

TEST_F(FrameSynthTest, ClockStartsAtTheFirstExposureAndStepsBy10Ms) {
    frames().AdvanceTo(5000);
    EXPECT_EQ(frames().clock(), -1);

    frames().StartExposure(1000, 1.0f, 6);
    EXPECT_EQ(frames().clock(), 1000);
    EXPECT_EQ(frames().referenceTime(), 1000);
    EXPECT_EQ(frames().exposureEnd(), 2000);
    frames().AdvanceTo(1055);
    EXPECT_EQ(frames().clock(), 1050);
    frames().AdvanceTo(1060);
    EXPECT_EQ(frames().clock(), 1060);
    frames().AdvanceTo(100);  // never backwards
    EXPECT_EQ(frames().clock(), 1060);

    // Later exposures move the clock but keep the reference.
    frames().StartExposure(9000, 0.5f, 3);
    EXPECT_EQ(frames().clock(), 9000);
    EXPECT_EQ(frames().referenceTime(), 1000);
    EXPECT_EQ(frames().gainIndex(), 3);
}

TEST_F(FrameSynthTest, FinishFrameSimulatesAtMostTheLast5Seconds) {
    sky().GenerateStarField(-1);
    frames().StartExposure(0, 1.0f, 6);
    SkyRandom expected = sky().random();
    frames().FinishFrame(60'000);
    EXPECT_EQ(frames().clock(), 60'000);
    // 500 steps of two draws each, not 6000.
    for (int i = 0; i < 1000; ++i)
        expected.rand();
    EXPECT_EQ(sky().random().rand(), expected.rand());
}

TEST_F(FrameSynthTest, EmptyFieldFrameHoldsOnlyTheBiasLevel) {
    sky().GenerateStarField(-1);
    frames().StartExposure(1000, 1.0f, 6);
    frames().FinishFrame(2000);
    const std::span<const uint16_t> image = frames().frameImage();
    EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](uint16_t v) { return v == 256; }));
    EXPECT_EQ(frames().FrameBytes().size(), 1840u);
    EXPECT_TRUE(DecodesTo(frames().FrameBytes(), image));
}

TEST_F(FrameSynthTest, FrameBeforeAnyExposureIsEmptyAndLeavesTheClock) {
    frames().FinishFrame(5000);
    EXPECT_EQ(frames().clock(), -1);
    EXPECT_EQ(frames().FrameBytes().size(), 1840u);
}

TEST_F(FrameSynthTest, StarsOutsideTheDrawnFluxRangeGiveNoPhotons) {
    SetStars({{{300.0f, 300.0f, 2e7f}},    // too bright: never drawn
              {{600.0f, 300.0f, 50.0f}},   // 50 photons in the exposure
              {{900.0f, 300.0f, 100.0f}},  // 100: drawn
              {{600.0f, 700.0f, 1e7f}}});  // the brightest drawn
    frames().StartExposure(0, 1.0f, 6);
    frames().AdvanceTo(100);
    const std::span<const SkyStar> stars = sky().stars();
    EXPECT_EQ(stars[0].photonsEmitted, 0);
    EXPECT_EQ(stars[1].photonsEmitted, 0);
    EXPECT_EQ(stars[2].photonsEmitted, 10);
    EXPECT_EQ(stars[3].photonsEmitted, 1'000'000);
    EXPECT_EQ(CentroidAround(frames().photonImage(), 300, 300, 40).photons, 0.0);
    EXPECT_EQ(CentroidAround(frames().photonImage(), 600, 300, 40).photons, 0.0);
    // A 2 s exposure brings the 50 photons/s star to 100 photons: drawn.
    sky().stars()[3].flux = 0.0f;
    frames().StartExposure(200, 2.0f, 6);
    frames().AdvanceTo(1200);
    EXPECT_EQ(sky().stars()[1].photonsEmitted, 50);
}

TEST_F(FrameSynthTest, PhotonsLandAroundTheStarAndOwedPhotonsAreAllPlaced) {
    SetStars({{{600.25f, 500.75f, 100'000.0f}}, {{-200.0f, 500.0f, 50'000.0f}}});
    frames().StartExposure(0, 1.0f, 6);
    frames().AdvanceTo(500);
    EXPECT_EQ(sky().stars()[0].photonsEmitted, 50'000);
    frames().AdvanceTo(1000);
    EXPECT_EQ(sky().stars()[0].photonsEmitted, 100'000);
    EXPECT_EQ(sky().stars()[1].photonsEmitted, 50'000);
    EXPECT_EQ(frames().photonsEmitted(), 150'000);

    const std::span<const uint16_t> photons = frames().photonImage();
    const double total = std::accumulate(photons.begin(), photons.end(), 0.0);
    EXPECT_EQ(total, static_cast<double>(frames().photonsOnSensor()));
    // The off-sensor star's photons are lost; nearly all of the other's land near it.
    EXPECT_GT(total, 95'000.0);
    EXPECT_LE(total, 100'000.0);
    const Centroid c = CentroidAround(photons, 600, 500, 120);
    EXPECT_NEAR(c.x, 600.25, 0.1);
    EXPECT_NEAR(c.y, 500.75, 0.1);
    const std::size_t peak = std::max_element(photons.begin(), photons.end()) - photons.begin();
    EXPECT_NEAR(static_cast<double>(peak % kSensorWidth), 600.25, 1.0);
    EXPECT_NEAR(static_cast<double>(peak / kSensorWidth), 500.75, 1.0);
}

TEST_F(FrameSynthTest, PhotonsOfAnUnplaceableStarAreLost) {
    SetStars({{{640.0f, 480.0f, 1000.0f}}});
    frames().StartExposure(0, 1.0f, 6);
    SkyStar& star = sky().stars()[0];
    double t = 0.0;
    for (const float offset : {std::nanf(""), INFINITY, -INFINITY, 3e9f}) {
        frames().RenderStar(star, t += 1.0, offset, 0.0f);
        frames().RenderStar(star, t += 1.0, 0.0f, offset);
    }
    EXPECT_EQ(star.photonsEmitted, 8000);
    EXPECT_EQ(frames().photonsOnSensor(), 0);
}

TEST_F(FrameSynthTest, PhotonCountsSaturate) {
    SetStars({{{640.0f, 480.0f, 1e7f}}});
    frames().StartExposure(0, 1.0f, 6);
    SkyStar& star = sky().stars()[0];
    star.integrationStart = -0.2;  // 2 million photons owed
    frames().RenderStar(star, 0.0, 0.0f, 0.0f);
    const std::span<const uint16_t> photons = frames().photonImage();
    EXPECT_EQ(*std::max_element(photons.begin(), photons.end()), 65535);
    const double kept = std::accumulate(photons.begin(), photons.end(), 0.0);
    EXPECT_LT(kept, static_cast<double>(frames().photonsOnSensor()));
}

TEST_F(FrameSynthTest, FrameImageIsThePixelValueOfEachCount) {
    model->StartEmulation("", 1.0f);
    for (const int gain : {0, 6, 9, 10, 13}) {
        frames().StartExposure(1000 * gain, 1.0f, gain);
        frames().FinishFrame(1000 * gain + 1000);
        const std::span<const uint16_t> photons = frames().photonImage();
        const std::span<const uint16_t> image = frames().frameImage();
        for (std::size_t i = 0; i < image.size(); ++i) {
            ASSERT_TRUE(photons[i] == 0 || photons[i] >= 4) << i;
            ASSERT_EQ(image[i], PixelValue(photons[i], gain)) << "gain " << gain << " pixel " << i;
        }
        EXPECT_GT(*std::max_element(image.begin(), image.end()), 300) << gain;
        if (gain == kSixteenBitGain) {
            const std::span<const uint8_t> bytes = frames().FrameBytes();
            EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), std::vector<uint8_t>(8, 0));
        } else {
            EXPECT_TRUE(DecodesTo(frames().FrameBytes(), image)) << "gain " << gain;
        }
    }
}

TEST_F(FrameSynthTest, GuidingMovesTheStarsBetweenFrames) {
    SetStars({{{640.0f, 480.0f, 200'000.0f}}});
    MountModel& mount = model->mount();
    mount.SetResponseDelay(0);
    frames().StartExposure(0, 0.5f, 6);
    frames().FinishFrame(500);
    const Centroid before = CentroidAround(frames().photonImage(), 640, 480, 60);
    EXPECT_TRUE(DecodesTo(frames().FrameBytes(), frames().frameImage()));

    mount.SetAgState(kAgRaPlus | kAgDecMinus);
    frames().AdvanceTo(3000);  // 2.5 s of guiding
    mount.SetAgState(0);
    frames().StartExposure(3000, 0.5f, 6);
    frames().FinishFrame(3500);
    const Centroid after = CentroidAround(frames().photonImage(), 660, 460, 60);
    const double moved = mount.raGuideSpeed() * 2.5;
    EXPECT_NEAR(after.x - before.x, moved, 0.15);
    EXPECT_NEAR(after.y - before.y, -moved, 0.15);
    EXPECT_TRUE(DecodesTo(frames().FrameBytes(), frames().frameImage()));
}

TEST_F(FrameSynthTest, PolarErrorDriftsTheFieldAndEveryFrameDecodes) {
    model->StartEmulation("", 1.0f);
    model->mount().SetPolarAlignment(false, 45.0f, 0.0f, 0.5f);
    model->SetPeriodicError(0, 0.0, 0.0f);
    frames().StartExposure(0, 1.0f, 7);
    frames().FinishFrame(1000);
    ASSERT_TRUE(DecodesTo(frames().FrameBytes(), frames().frameImage()));
    const float drift0 = model->mount().View(frames().clock(), 0).decDrift;
    // The clock jumps with each exposure start: no need to render the photons in between.
    for (int i = 1; i <= 3; ++i) {
        const int64_t start = i * 600'000;
        frames().StartExposure(start, 1.0f, 7);
        frames().FinishFrame(start + 1000);
        ASSERT_TRUE(DecodesTo(frames().FrameBytes(), frames().frameImage())) << "frame " << i;
    }
    // 30 minutes at about 1.26 pixels per minute (0.5 degrees of azimuth error).
    EXPECT_NEAR(model->mount().View(frames().clock(), 0).decDrift - drift0, 38.0, 2.0);
}

TEST_F(FrameSynthTest, ExposureStartResetsEverySlotForALaterField) {
    sky().GenerateStarField(-1);
    frames().StartExposure(5000, 1.0f, 6);
    sky().GenerateStarField(2);
    for (const SkyStar& star : sky().stars())
        EXPECT_EQ(star.integrationStart, 5.0);
    frames().FinishFrame(6000);
    // The new stars owe one second of light, not the time since the clock began.
    for (const SkyStar& star : sky().stars()) {
        if (FrameSynth::Drawn(star.flux, 1.0f)) {
            EXPECT_EQ(star.photonsEmitted, static_cast<int64_t>(star.flux + 0.5f));
        }
    }
}

TEST_F(FrameSynthTest, NoExposureTimeDrawsNoStars) {
    model->StartEmulation("", 0.0f);
    frames().StartExposure(0, 0.0f, 6);
    frames().AdvanceTo(1000);
    EXPECT_EQ(frames().photonsEmitted(), 0);
}

TEST_F(FrameSynthTest, SameInputsSameFrames) {
    auto other = std::make_unique<StarloomModel>();
    for (StarloomModel* m : {model.get(), other.get()}) {
        m->StartEmulation("", 1.0f);
        m->frames().StartExposure(123'450, 1.0f, 6);
        m->frames().FinishFrame(124'450);
    }
    const std::span<const uint8_t> a = frames().FrameBytes();
    const std::span<const uint8_t> b = other->frames().FrameBytes();
    EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end()));
    EXPECT_GT(frames().photonsOnSensor(), 0);
}

TEST(SkippedFrame, IsFourZeroBytes) {
    const std::span<const uint8_t> skipped = FrameSynth::SkippedFrame();
    EXPECT_EQ(std::vector<uint8_t>(skipped.begin(), skipped.end()), std::vector<uint8_t>(4, 0));
}

TEST(StartEmulation, SetsUpTheStartingSky) {
    auto model = std::make_unique<StarloomModel>();
    model->mount().SetAgState(kAgAll);
    model->mount().SetResponseDelay(5);
    model->StartEmulation("", 2.0f);
    EXPECT_EQ(model->sky().starCount(), 86);
    EXPECT_EQ(model->mount().agState(), 0u);
    EXPECT_EQ(model->frames().exposureTime(), 2.0f);
    EXPECT_FLOAT_EQ(model->mount().periodicError().samples[0], 4.0f * std::cos(1.238f));
    // Response delay 1.
    model->frames().StartExposure(0, 1.0f, 6);
    model->mount().SetAgState(kAgRaPlus);
    model->frames().AdvanceTo(10);
    model->mount().SetAgState(0);
    model->frames().AdvanceTo(100);
    EXPECT_EQ(model->mount().raGuidePosition(), 0.0f);
    model->frames().AdvanceTo(110);
    EXPECT_GT(model->mount().raGuidePosition(), 0.0f);
}

}  // namespace
}  // namespace starloom
