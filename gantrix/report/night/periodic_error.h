#pragma once

#include <vector>

#include "gantrix/report/night/night_records.h"
#include "gantrix/report/night/uniform_series.h"

namespace report::night {

// A stretch shorter than this says nothing about a worm's period.
constexpr double kMinPeriodicStretchS = 240;
// Periods are looked for from this (or four grid steps, if longer) up to half the stretch.
constexpr double kMinPeriodS = 20;
constexpr int kMaxComponents = 5;
constexpr int kFoldBins = 48;
// The peak-to-peak is read off the curve smoothed over this long, so that seeing does not
// count as periodic error.
constexpr double kPeakToPeakSmoothingS = 10;

// Amplitude of the windowed spectrum at each frequency step of the zero-padded transform.
struct Spectrum {
    double df = 0;  // Hz per step
    std::vector<double> amplitude;
};

// The amplitude spectrum of a detrended series: Hann window, zero-padded to at least four
// times its length, scaled so that a sine of amplitude A shows a peak of A.
Spectrum AmplitudeSpectrum(const UniformSeries& series);

// Fills the stretch's periodic error from the RA error of its samples: the strongest periods
// with their amplitudes (refined by a least-squares fit of sines to the curve), the spectrum,
// the curve folded at the strongest period and the peak-to-peak after removing the drift.
// Also leaves the detrended curve in analysis.raError. The offsets of the stretch's bridged
// runs are re-estimated on the way.
void AnalysePeriodicError(MountStretch stretch, StretchAnalysis& analysis);

}  // namespace report::night
