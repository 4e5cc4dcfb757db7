#pragma once

#include <cstdint>

namespace starloom {

// The sky's uniform generator (the classic C library LCG, so that a seed gives the same field
// everywhere) and the Gaussian generator built on it.
class SkyRandom {
public:
    static constexpr int kRandMax = 32767;

    void srand(uint32_t seed) { state_ = seed; }

    // 0 to 32767.
    int rand() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFF);
    }

    // rand() / 32767: 0 to 1 inclusive.
    double Uniform() { return rand() / static_cast<double>(kRandMax); }

    // Box-Muller in pairs: the second value of a pair waits in a one-value cache.
    double GaussRandom(double mean, double sd);
    void EmptyGaussCache() { cacheFull_ = false; }

private:
    uint32_t state_ = 1;
    bool cacheFull_ = false;
    double cached_ = 0.0;
};

}  // namespace starloom
