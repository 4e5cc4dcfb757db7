#include "starloom/model/star_profile.h"

#include <algorithm>
#include <cmath>

namespace starloom {

namespace {

struct ProfileParameters {
    float temperature;
    float fluxFactor;
    float tailWeight;  // a
    float coreWidth;   // b, pixels
    float wingWeight;  // c
    float wingRatio;   // d: wing width / core width
};

// Supporting rows; temperatures between them are interpolated.
constexpr std::array<ProfileParameters, 5> kSupport{{
    {3600.0f, 0.035f, 0.09f, 0.45f, 0.35f, 3.5f},
    {5660.0f, 0.73f, 0.025f, 0.55f, 0.24f, 4.2f},
    {7050.0f, 3.8f, 0.016f, 0.5f, 0.3f, 3.0f},
    {9600.0f, 24.0f, 0.0113f, 0.5f, 0.4f, 3.2f},
    {37800.0f, 55000.0f, 0.03f, 0.5f, 0.45f, 3.5f},
}};

constexpr float kPi = 3.1415927f;

float Lerp(float from, float to, float f) {
    return from + f * (to - from);
}

float Gauss(float r, float sigma) {
    return 0.3989423f / sigma * std::exp(-(r * r) / (2.0f * sigma * sigma));
}

void FillProfile(StarProfile& profile, int32_t temperature) {
    const auto t = static_cast<float>(temperature);
    std::size_t i = 0;
    while (i + 2 < kSupport.size() && t > kSupport[i + 1].temperature)
        ++i;
    const ProfileParameters& lo = kSupport[i];
    const ProfileParameters& hi = kSupport[i + 1];
    const float f = (t - lo.temperature) / (hi.temperature - lo.temperature);

    const float lnLo = std::log(lo.fluxFactor);
    profile.temperature = temperature;
    profile.fluxFactor = std::exp(lnLo + f * (std::log(hi.fluxFactor) - lnLo));
    const float a = Lerp(lo.tailWeight, hi.tailWeight, f);
    const float b = Lerp(lo.coreWidth, hi.coreWidth, f);
    const float c = Lerp(lo.wingWeight, hi.wingWeight, f);
    const float d = Lerp(lo.wingRatio, hi.wingRatio, f);

    // Ring k (radius k / 10) weighted by its circumference.
    std::array<float, StarProfile::kRadii> weight{};
    float sum = 0.0f;
    for (int k = 0; k < StarProfile::kRadii; ++k) {
        const float r = static_cast<float>(k) / 10.0f;
        const float brightness = Gauss(r, b) + c * Gauss(r, b * d) + a * std::exp(-r / 5.0f);
        weight[k] = static_cast<float>(2 * k + 1) * kPi * brightness;
        sum += weight[k];
    }
    float normalisedSum = 0.0f;
    for (float& w : weight) {
        w /= sum;
        normalisedSum += w;
    }
    const float scale = 65535.0f / normalisedSum;
    int32_t cumulative = 0;
    for (int k = 0; k < StarProfile::kRadii; ++k) {
        cumulative += static_cast<int32_t>(std::floor(weight[k] * scale + 0.5f));
        profile.cumulative[k] = static_cast<uint16_t>(std::min(cumulative, 65535));
    }
    profile.total = profile.cumulative.back();
}

}  // namespace

void BuildStarProfiles(StarProfiles& profiles) {
    for (int i = 0; i < kProfileCount; ++i) {
        FillProfile(profiles[i], kProfileMinTemperature + i * kProfileTemperatureStep);
    }
}

ProfileChoice ProfileFor(const StarProfiles& profiles, int32_t temperature) {
    const int32_t t = std::clamp(temperature, kProfileMinTemperature, kProfileMaxTemperature);
    const StarProfile& profile = profiles[(t - kProfileMinTemperature) / kProfileTemperatureStep];
    return {&profile, profile.fluxFactor};
}

}  // namespace starloom
