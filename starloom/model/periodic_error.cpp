#include "starloom/model/periodic_error.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace starloom {

namespace {

struct Harmonic {
    double amplitude;
    double phase;
};

std::vector<Harmonic> DrawHarmonics(int type, SkyRandom& random) {
    const int count = type == 3 ? 250 : 50;
    std::vector<Harmonic> harmonics(count);
    for (int j = 0; j < count; ++j) {
        harmonics[j].amplitude = random.Uniform() / (2 * j + 1);
        harmonics[j].phase = random.Uniform() * 3.141592 * 2;
        // The lowest harmonics are set explicitly; type 1 has no random ones.
        if (j < 4 || type == 1) harmonics[j].amplitude = 0.0;
    }
    return harmonics;
}

}  // namespace

float PeriodicErrorTable::At(double seconds) const {
    const double whole = std::floor(seconds);
    const double phi = seconds - whole;
    // Floor modulo: times before the reference (the HC's clock restarted) stay in the table.
    int i = static_cast<int>(std::fmod(whole, static_cast<double>(kSamples)));
    if (i < 0) i += kSamples;
    const int j = (i + 1) % kSamples;
    return static_cast<float>(samples[i] + (samples[j] - samples[i]) * phi);
}

void BuildPeriodicError(PeriodicErrorTable& table, int type, float amplitude, SkyRandom& random) {
    const std::vector<Harmonic> harmonics = DrawHarmonics(type, random);
    if (type < 1 || type > 3) {
        table.samples.fill(0.0f);
        return;
    }
    const double a = amplitude;
    for (int k = 0; k < PeriodicErrorTable::kSamples; ++k) {
        const double theta =
            static_cast<double>(k) / PeriodicErrorTable::kSamples * 2.0 * std::numbers::pi;
        double value = a * std::sin(theta) + a * std::cos(3.0 * theta + 1.238) / 5.0;
        for (std::size_t j = 0; j < harmonics.size(); ++j) {
            value += a * harmonics[j].amplitude *
                     std::sin(static_cast<double>(j) * theta + harmonics[j].phase);
        }
        table.samples[k] = static_cast<float>(value);
    }
}

}  // namespace starloom
