#pragma once

#include <cstdint>

#include "starloom/model/star_profile.h"

namespace starloom {

struct SkyStar {
    const StarProfile* profile = nullptr;
    float x = 0.0f;                 // pixel column of the centre, before the mount offset
    float y = 0.0f;                 // pixel row of the centre, before the mount offset
    float flux = 0.0f;              // photons per second
    double integrationStart = 0.0;  // s, simulation clock
    // Photons placed since the integration start. 64 bits: a star of 1e7 photons/s would pass
    // 2^31 after 215 s of an exposure that the HC never collects.
    int64_t photonsEmitted = 0;
};

}  // namespace starloom
