#pragma once

#include <vector>

#include "gantrix/report/night/mount_stretches.h"

namespace report::night {

// Values on an even time grid: value i belongs to t0 + i * dt.
struct UniformSeries {
    double t0 = 0;
    double dt = 0;
    std::vector<double> values;

    double Duration() const { return values.empty() ? 0 : dt * double(values.size() - 1); }
};

// The median spacing of the samples' times (0 with fewer than two distinct times).
double MedianSpacing(const std::vector<MountSample>& samples);

// The RA error resampled by linear interpolation onto a grid of step dt over the samples' span.
UniformSeries ResampleRa(const std::vector<MountSample>& samples, double dt);

// Removes the least-squares line from the series in place.
void RemoveLinearDrift(UniformSeries& series);

}  // namespace report::night
