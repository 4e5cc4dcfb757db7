#pragma once

#include <array>

#include "starloom/model/sky_random.h"

namespace starloom {

// Periodic error of the RA drive over one worm period, one sample per second, arcseconds.
struct PeriodicErrorTable {
    static constexpr int kSamples = 480;  // the worm period in seconds
    std::array<float, kSamples> samples{};

    // Linear interpolation at t seconds; the table repeats every worm period.
    float At(double seconds) const;
};

// Types 1 (fundamental and 3rd harmonic), 2 (plus 50 random harmonics) and 3 (250); any other
// type makes no periodic error. The harmonics are drawn from the sky's generator for every
// type.
void BuildPeriodicError(PeriodicErrorTable& table, int type, float amplitude, SkyRandom& random);

}  // namespace starloom
