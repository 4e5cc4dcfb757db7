#pragma once

#include <vector>

#include "gantrix/report/log_records.h"

namespace report::night {

// The mount's own error at one star frame: where the star would have been without the
// corrections the guider applied (the measured drift minus the movement of every correction
// so far), in arcseconds.
struct MountSample {
    double t = 0;  // seconds after the log's start
    double ra = 0;
    double dec = 0;  // meaningful only with DEC calibration
};

// Star frames of continuous guiding under one calibration and pixel scale.
struct MountStretch {
    std::vector<MountSample> samples;
    // Where each bridged run of samples begins: their offsets are only estimated.
    std::vector<size_t> segmentStarts;
    bool decCalibrated = false;
};

// Star frames of two exposures further apart than this are not bridged: guiding may have been
// stopped between.
constexpr double kMaxBridgedGapS = 60;

// The stretches of continuous guiding in the exposures (in log order). A stretch ends at an
// unguided frame, at a change of calibration, focal length or binning, and where the star
// frames of two exposures lie more than kMaxBridgedGapS apart. Corrections made between two
// exposures are not in the log; the error is carried over such a gap at the rates found on either
// side of it.
std::vector<MountStretch> MountStretches(const std::vector<const ExposureRecord*>& exposures,
                                         LogTime logStart);

}  // namespace report::night
