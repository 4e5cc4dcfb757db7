#pragma once

#include <vector>

#include "gantrix/report/night/mount_stretches.h"

namespace report::night {

// A sine of the periodic error in the form the fits use: a cos + b sin of 2 pi f t.
struct Sine {
    double f = 0, a = 0, b = 0;
    double Amplitude() const;
};

// Re-estimates the offsets of the stretch's bridged runs of RA samples together with a drift
// and the given sines (frequencies fixed) by least squares, and moves every run onto the
// first one's level. Undoes what the carrying over a gap got wrong, which otherwise adds up
// to a slow wander over the night.
void RefitSegmentOffsets(MountStretch& stretch, const std::vector<Sine>& sines);

// The DEC drift per second within the runs: each run's own level is left free, so that the
// gaps between them do not count.
double DecSlopeWithinSegments(const MountStretch& stretch);

}  // namespace report::night
