#include <gtest/gtest.h>

#include <memory>

#include "starloom/model/sky_model.h"

namespace starloom {
namespace {

class StarFieldTest : public ::testing::Test {
protected:
    std::unique_ptr<SkyModel> sky = std::make_unique<SkyModel>();
};

TEST_F(StarFieldTest, ProfilesCoverTheTemperaturesWithNearlyFullTotals) {
    const StarProfiles& profiles = sky->profiles();
    for (int i = 0; i < kProfileCount; ++i) {
        const StarProfile& p = profiles[i];
        EXPECT_EQ(p.temperature, 3600 + 200 * i);
        EXPECT_GE(p.total, 65500) << p.temperature;
        EXPECT_LE(p.total, 65535) << p.temperature;
        EXPECT_EQ(p.total, p.cumulative.back());
        for (int k = 1; k < StarProfile::kRadii; ++k) {
            ASSERT_LE(p.cumulative[k - 1], p.cumulative[k]) << p.temperature << " k " << k;
        }
        if (i > 0) {
            EXPECT_GT(p.fluxFactor, profiles[i - 1].fluxFactor);
        }
        // A bright core with a faint halo: half the light within 10 pixels, nearly all
        // within 50.
        EXPECT_GT(p.cumulative[99], p.total / 2) << p.temperature;
        EXPECT_GT(p.cumulative[499], p.total - 100) << p.temperature;
    }
    // The supporting rows' flux factors come out as they stand.
    EXPECT_FLOAT_EQ(profiles.front().fluxFactor, 0.035f);
    EXPECT_FLOAT_EQ(profiles.back().fluxFactor, 24.0f);
}

TEST_F(StarFieldTest, ProfileForClampsAndRoundsDown) {
    struct Case {
        int32_t temperature;
        int32_t profile;
    };
    for (const Case c :
         {Case{3251, 3600}, Case{3600, 3600}, Case{3799, 3600}, Case{3800, 3800}, Case{5924, 5800},
          Case{9574, 9400}, Case{9600, 9600}, Case{20000, 9600}, Case{-5, 3600}}) {
        const ProfileChoice choice = ProfileFor(sky->profiles(), c.temperature);
        EXPECT_EQ(choice.profile->temperature, c.profile) << c.temperature;
        EXPECT_EQ(choice.fluxFactor, choice.profile->fluxFactor);
    }
}

TEST_F(StarFieldTest, ColourIndexIsLimitedBeforeTheTemperature) {
    struct Case {
        double colour;
        int32_t temperature;
        int32_t profile;
    };
    for (const Case c : {Case{1.9, 3251, 3600}, Case{1.6, 3251, 3600}, Case{-0.5, 9574, 9400},
                         Case{-0.2, 9574, 9400}, Case{0.6, 5924, 5800}}) {
        const int32_t t = ColourTemperature(c.colour);
        EXPECT_EQ(t, c.temperature) << c.colour;
        EXPECT_EQ(ProfileFor(sky->profiles(), t).profile->temperature, c.profile) << c.colour;
    }
}

TEST_F(StarFieldTest, Seed2GivesTheKnownField) {
    sky->GenerateStarField(2, 0.1f);
    ASSERT_EQ(sky->starCount(), 86);
    const SkyStar& first = sky->stars()[0];
    EXPECT_NEAR(first.x, 752.46f, 0.005f);
    EXPECT_NEAR(first.y, 249.42f, 0.005f);
    EXPECT_EQ(first.profile->temperature, 6200);
    for (const SkyStar& star : sky->stars()) {
        EXPECT_GE(star.x, -128.8f);
        EXPECT_LE(star.x, 1416.8f);
        EXPECT_GE(star.y, -128.8f);
        EXPECT_LE(star.y, 1416.8f);
        EXPECT_GT(star.flux, 0.0f);
        EXPECT_EQ(star.photonsEmitted, 0);
    }
}

TEST_F(StarFieldTest, SameSeedSameFieldWhateverCameBefore) {
    sky->GenerateStarField(2, 0.1f);
    const std::vector<SkyStar> first(sky->stars().begin(), sky->stars().end());
    sky->GenerateStarField(17, 0.3f);
    sky->random().GaussRandom(0.0, 1.0);  // a half-used pair must not leak into the next field
    sky->random().rand();
    sky->GenerateStarField(2, 0.1f);
    ASSERT_EQ(sky->starCount(), static_cast<int>(first.size()));
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(sky->stars()[i].x, first[i].x);
        EXPECT_EQ(sky->stars()[i].y, first[i].y);
        EXPECT_EQ(sky->stars()[i].flux, first[i].flux);
        EXPECT_EQ(sky->stars()[i].profile, first[i].profile);
    }
}

TEST_F(StarFieldTest, NegativeSeedEmptiesTheField) {
    sky->GenerateStarField(2, 0.1f);
    sky->GenerateStarField(-1, 0.1f);
    EXPECT_EQ(sky->starCount(), 0);
}

TEST_F(StarFieldTest, NeverMoreThan5000Stars) {
    sky->GenerateStarField(2, 100.0f);  // 200000 trials
    EXPECT_EQ(sky->starCount(), SkyModel::kMaxStars);
    EXPECT_EQ(sky->stars().size(), 5000u);
}

TEST_F(StarFieldTest, NewStarsIntegrateFromTheCurrentExposureStart) {
    sky->slots()[0].integrationStart = 12.3456789;  // as an exposure start leaves it
    sky->GenerateStarField(2, 0.1f);
    for (const SkyStar& star : sky->stars()) {
        EXPECT_EQ(star.integrationStart, static_cast<double>(12.3456789f));
    }
}

}  // namespace
}  // namespace starloom
