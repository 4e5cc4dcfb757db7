#pragma once

#include <array>
#include <cstdint>

namespace starloom {

// Radial light distribution of a star of one colour temperature.
struct StarProfile {
    static constexpr int kRadii = 1000;  // entry k: light within (k + 1) / 10 pixels

    int32_t temperature = 0;  // K
    float fluxFactor = 0.0f;  // multiplies a star's flux
    std::array<uint16_t, kRadii> cumulative{};
    int32_t total = 0;  // cumulative's last entry, below 65536
};

constexpr int kProfileCount = 31;  // 3600 K, 3800 K, ... 9600 K
constexpr int32_t kProfileMinTemperature = 3600;
constexpr int32_t kProfileMaxTemperature = 9600;
constexpr int32_t kProfileTemperatureStep = 200;

using StarProfiles = std::array<StarProfile, kProfileCount>;

void BuildStarProfiles(StarProfiles& profiles);

struct ProfileChoice {
    const StarProfile* profile;
    float fluxFactor;
};

// The profile that a star of this temperature uses (temperatures outside the table take the
// nearest end).
ProfileChoice ProfileFor(const StarProfiles& profiles, int32_t temperature);

}  // namespace starloom
