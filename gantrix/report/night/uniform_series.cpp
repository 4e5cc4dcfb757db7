#include "gantrix/report/night/uniform_series.h"

#include <algorithm>
#include <cmath>

namespace report::night {

double MedianSpacing(const std::vector<MountSample>& samples) {
    std::vector<double> steps;
    steps.reserve(samples.size());
    for (size_t i = 1; i < samples.size(); ++i) {
        const double step = samples[i].t - samples[i - 1].t;
        if (step > 0) steps.push_back(step);
    }
    if (steps.empty()) return 0;
    const auto middle = steps.begin() + std::ptrdiff_t(steps.size() / 2);
    std::nth_element(steps.begin(), middle, steps.end());
    return *middle;
}

UniformSeries ResampleRa(const std::vector<MountSample>& samples, double dt) {
    UniformSeries series;
    if (samples.empty() || !(dt > 0)) return series;
    series.t0 = samples.front().t;
    series.dt = dt;
    const double span = samples.back().t - series.t0;
    const size_t n = size_t(std::floor(span / dt)) + 1;
    series.values.resize(n);
    size_t j = 0;
    for (size_t i = 0; i < n; ++i) {
        const double t = series.t0 + double(i) * dt;
        while (j + 2 < samples.size() && samples[j + 1].t <= t)
            ++j;
        const MountSample& a = samples[j];
        const MountSample& b = samples[std::min(j + 1, samples.size() - 1)];
        const double width = b.t - a.t;
        const double f = width > 0 ? std::clamp((t - a.t) / width, 0.0, 1.0) : 0.0;
        series.values[i] = a.ra + f * (b.ra - a.ra);
    }
    return series;
}

void RemoveLinearDrift(UniformSeries& series) {
    const size_t n = series.values.size();
    if (n < 2) return;
    const double mi = double(n - 1) / 2;
    double sv = 0;
    for (double v : series.values)
        sv += v;
    const double mv = sv / double(n);
    double sii = 0, siv = 0;
    for (size_t i = 0; i < n; ++i) {
        sii += (double(i) - mi) * (double(i) - mi);
        siv += (double(i) - mi) * (series.values[i] - mv);
    }
    const double slope = siv / sii;
    for (size_t i = 0; i < n; ++i)
        series.values[i] -= mv + slope * (double(i) - mi);
}

}  // namespace report::night
