#pragma once

#include "gantrix/report/log_records.h"

namespace report {

// Fills the exposure's statistics and every frame's tracking error (an estimate of the mount's
// own RA tracking error: the RA corrections applied so far with their sign reversed, centred
// on the exposure's mean). Star frames only count for the drift, signal, pulse and FWHM values.
void ComputeExposureStatistics(ExposureRecord& exposure);

// Arcseconds per guide-camera pixel for a focal length in mm and a binning (below 1: treated
// as 1x1); 0 when the focal length truncates to 0 or less.
float PixelScale(float focalLength, int binning);

// value pixels in arcseconds (0 when the focal length is unknown).
float ToArcseconds(float value, float focalLength, int binning);

}  // namespace report
