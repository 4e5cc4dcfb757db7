#pragma once

#include <cstdint>

#include "starloom/model/seeing_table.h"

namespace starloom {

// Seeing as the user sets it: the FWHM in arcseconds of a star's image in a long exposure
// through the guide scope. Through a guide scope's small aperture most of that width is image
// motion, so the motion has the standard deviation of a Gaussian of that FWHM on each axis:
// that is the amplitude by which the seeing table's unit-free offsets are multiplied.
constexpr float kDefaultSeeingFwhm = 2.0f;  // arcseconds, a common night
constexpr float kMaxSeeingFwhm = 20.0f;
constexpr float kFwhmPerSigma = 2.3548f;

// The seeing amplitude (arcseconds per axis) for a FWHM; 0 switches seeing off.
constexpr float SeeingAmplitude(float fwhmArcseconds) {
    return fwhmArcseconds > 0.0f ? fwhmArcseconds / kFwhmPerSigma : 0.0f;
}

// Image motion to stand in for "seeing.csv" when there is none: both columns filled with
// kMaxSamples samples at the table's rate of a random walk pulled back to its mean (each
// sample keeps kCorrelation of the last one), normalised like a loaded table. Samples a tenth
// of a second apart stay related, so a 1 s exposure averages the motion down to about half,
// as guide cameras see it. The same seed gives the same motion; it uses a generator of its
// own, so the sky's and the photons' random numbers stay as they are.
struct BuiltInSeeing {
    static constexpr double kCorrelation = 0.45;
    static constexpr uint32_t kSeed = 0x5EE1u;
};
void MakeBuiltInSeeing(SeeingTable& table, uint32_t seed = BuiltInSeeing::kSeed);

}  // namespace starloom
