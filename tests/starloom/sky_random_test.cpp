#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "starloom/model/photon_random.h"
#include "starloom/model/sky_random.h"

namespace starloom {
namespace {

TEST(SkyRandom, FollowsTheCLibraryGenerator) {
    SkyRandom random;  // the C library's start state, seed 1
    EXPECT_EQ(random.rand(), 41);
    EXPECT_EQ(random.rand(), 18467);
    EXPECT_EQ(random.rand(), 6334);
    random.srand(1);
    EXPECT_EQ(random.rand(), 41);
    random.srand(0xFFFFFFFFu);
    for (int i = 0; i < 1000; ++i) {
        const int v = random.rand();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
    }
}

TEST(SkyRandom, GaussRandomDrawsPairsAndCachesTheSecond) {
    SkyRandom reference;
    reference.srand(7);
    const double u1 = reference.rand() / 32767.0;
    const double u2 = reference.rand() / 32767.0;
    const double rho = std::sqrt(-2.0 * std::log(u1));
    const double theta = 2.0 * std::numbers::pi * u2;

    SkyRandom random;
    random.srand(7);
    EXPECT_DOUBLE_EQ(random.GaussRandom(1.0, 2.0), 1.0 + 2.0 * rho * std::cos(theta));
    // The cached half of the pair takes the mean and sd of the second call and draws nothing.
    EXPECT_DOUBLE_EQ(random.GaussRandom(-3.0, 0.5), -3.0 + 0.5 * rho * std::sin(theta));
    EXPECT_EQ(random.rand(), reference.rand());
}

TEST(SkyRandom, EmptyingTheCacheDiscardsTheSecondValue) {
    SkyRandom a;
    SkyRandom b;
    a.srand(11);
    b.srand(11);
    a.GaussRandom(0.0, 1.0);
    b.GaussRandom(0.0, 1.0);
    b.EmptyGaussCache();
    // a answers from its cache without drawing; b draws a new pair.
    a.GaussRandom(0.0, 1.0);
    b.GaussRandom(0.0, 1.0);
    EXPECT_NE(a.rand(), b.rand());
}

TEST(SkyRandom, GaussRandomHasTheRequestedMeanAndSpread) {
    SkyRandom random;
    random.srand(3);
    constexpr int kDraws = 20000;
    double sum = 0.0;
    double squares = 0.0;
    for (int i = 0; i < kDraws; ++i) {
        const double v = random.GaussRandom(0.6, 0.3);
        sum += v;
        squares += v * v;
    }
    const double mean = sum / kDraws;
    EXPECT_NEAR(mean, 0.6, 0.01);
    EXPECT_NEAR(std::sqrt(squares / kDraws - mean * mean), 0.3, 0.01);
}

TEST(PhotonRandom, FirstValuesAfterTheEmulationSeed) {
    SkyRandom uniform;
    PhotonRandom photons(uniform);
    photons.Restart(PhotonRandom::kEmulationSeed);
    EXPECT_EQ(photons.Next(), 0xE00001DDu);
    EXPECT_EQ(photons.Next(), 0x900002EEu);
    EXPECT_EQ(photons.Next(), 0x48000177u);
}

TEST(PhotonRandom, ReseedsFromTheUniformGeneratorEvery10000Steps) {
    SkyRandom uniform;
    uniform.srand(5);
    SkyRandom expected;
    expected.srand(5);
    PhotonRandom photons(uniform);
    photons.Restart(PhotonRandom::kEmulationSeed);

    uint32_t shifted = PhotonRandom::kEmulationSeed;
    for (int i = 1; i < 10000; ++i) {
        shifted = (shifted >> 1) ^ ((shifted & 1u) ? 0xE0000200u : 0u);
        ASSERT_EQ(photons.Next(), shifted) << "step " << i;
    }
    const auto first = static_cast<uint32_t>(expected.rand());
    const auto second = static_cast<uint32_t>(expected.rand());
    uint32_t state = ((second << 15) + first) | 1u;
    state = (state >> 1) ^ ((state & 1u) ? 0xE0000200u : 0u);
    EXPECT_EQ(photons.Next(), state);
    // The counter restarted: the next reseed is 10000 steps later.
    for (int i = 1; i < 10000; ++i) {
        state = (state >> 1) ^ ((state & 1u) ? 0xE0000200u : 0u);
        ASSERT_EQ(photons.Next(), state);
    }
    EXPECT_NE(photons.Next(), (state >> 1) ^ ((state & 1u) ? 0xE0000200u : 0u));
}

TEST(PhotonRandom, SeedKeepsTheStepCounterRunning) {
    SkyRandom uniform;
    PhotonRandom restarted(uniform);
    PhotonRandom seeded(uniform);
    restarted.Restart(1);
    seeded.Restart(1);
    for (int i = 0; i < 9998; ++i)
        seeded.Next();
    restarted.Restart(0x08000002u);
    seeded.Seed(0x08000002u);
    EXPECT_EQ(restarted.Next(), seeded.Next());  // seeded's step 9999: no reseed yet
    const uint32_t plain = restarted.Next();
    const uint32_t reseeded = seeded.Next();  // its 10000th step reseeds
    EXPECT_NE(plain, reseeded);
}

}  // namespace
}  // namespace starloom
