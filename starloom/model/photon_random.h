#pragma once

#include <cstdint>

#include "starloom/model/sky_random.h"

namespace starloom {

// 32-bit Galois shift register that places the photons; every 10000th step it reseeds itself
// from the sky's uniform generator so that long runs do not repeat.
class PhotonRandom {
public:
    static constexpr uint32_t kEmulationSeed = 0x7BB;
    static constexpr uint32_t kTaps = 0xE0000200u;
    static constexpr int kReseedSteps = 10000;

    explicit PhotonRandom(SkyRandom& uniform) : uniform_(uniform) {}

    // New state; the step counter runs on (a star field reseeds it this way).
    void Seed(uint32_t state) { state_ = state; }
    // New state with the step counter back at 0 (each emulation start).
    void Restart(uint32_t state) {
        state_ = state;
        steps_ = 0;
    }

    uint32_t Next() {
        if (++steps_ >= kReseedSteps) Reseed();
        state_ = (state_ >> 1) ^ ((state_ & 1u) ? kTaps : 0u);
        return state_;
    }

private:
    void Reseed();

    SkyRandom& uniform_;
    uint32_t state_ = kEmulationSeed;
    int steps_ = 0;
};

}  // namespace starloom
