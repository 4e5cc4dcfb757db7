#include "starloom/model/sky_model.h"

#include <algorithm>
#include <cmath>

#include "starloom/model/sensor.h"

namespace starloom {

namespace {

constexpr uint32_t kFieldPhotonSeedBit = 0x08000000u;
constexpr double kFieldHalfWidth = 0.6;  // of the field square, in sensor widths
// A star at r = 1 is a 5th magnitude star of 24000 photons/s at magnitude 0.
const double kFluxAtUnitDistance = 24000.0 * std::pow(2.51188, -5.0);

}  // namespace

int32_t ColourTemperature(double colourIndex) {
    const auto colour = static_cast<float>(std::clamp(colourIndex, -0.2, 1.6));
    return static_cast<int32_t>(14000.0f * std::exp(-0.6f * colour - 0.5f));
}

SkyModel::SkyModel() : slots_(kMaxStars) {
    BuildStarProfiles();
}

void SkyModel::GenerateStarField(int32_t seed, float density) {
    const double t0 = static_cast<float>(slots_[0].integrationStart);
    if (seed < 0) {
        starCount_ = 0;
        return;
    }
    photons_.Seed(static_cast<uint32_t>(seed) | kFieldPhotonSeedBit);
    random_.srand(static_cast<uint32_t>(seed));
    random_.EmptyGaussCache();
    starCount_ = 0;

    const double trials = static_cast<double>(density) * 2000.0;
    for (int64_t i = 0; i < trials && starCount_ < kMaxStars; ++i) {
        // Uniform in distance, so that faint stars far outnumber bright ones.
        const double r = random_.Uniform() + 1e-100;
        const double x = (random_.Uniform() - 0.5) / r;
        const double y = (random_.Uniform() - 0.5) / r;
        if (x < -kFieldHalfWidth || x > kFieldHalfWidth || y < -kFieldHalfWidth ||
            y > kFieldHalfWidth) {
            continue;
        }
        const double baseFlux = kFluxAtUnitDistance / (r * r);
        const int32_t temperature = ColourTemperature(random_.GaussRandom(0.6, 0.3));
        const ProfileChoice choice = ProfileFor(profiles_, temperature);
        const double scatter = std::exp(random_.GaussRandom(0.0, 0.4));

        SkyStar& star = slots_[starCount_++];
        star.profile = choice.profile;
        star.flux = static_cast<float>(choice.fluxFactor * baseFlux * scatter);
        star.x = static_cast<float>((x + 0.5) * kSensorWidth);
        star.y = static_cast<float>((y + 0.5) * kSensorWidth);
        star.integrationStart = t0;
        star.photonsEmitted = 0;
    }
}

}  // namespace starloom
