#include "gantrix/report/night/periodic_error.h"

#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "gantrix/report/night/segment_offsets.h"

namespace report::night {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
// Points kept for the graphs: the spectrum by log period, the curve by time.
constexpr int kSpectrumPoints = 400;
constexpr size_t kCurvePoints = 2000;

struct KissFftr {
    explicit KissFftr(int n) : cfg(kiss_fftr_alloc(n, 0, nullptr, nullptr)) {}
    ~KissFftr() { kiss_fftr_free(cfg); }
    KissFftr(const KissFftr&) = delete;
    KissFftr& operator=(const KissFftr&) = delete;
    kiss_fftr_cfg cfg;
};

// cos and sin of w * i for i = 0, 1, ... by rotation, renormalised now and then: much
// cheaper than calling cos and sin for every sample.
class Rotor {
public:
    explicit Rotor(double w) : cw_(std::cos(w)), sw_(std::sin(w)) {}
    double Cos() const { return c_; }
    double Sin() const { return s_; }
    void Next() {
        const double c = c_ * cw_ - s_ * sw_;
        s_ = s_ * cw_ + c_ * sw_;
        c_ = c;
        if (++steps_ % 1024 == 0) {
            const double norm = std::hypot(c_, s_);
            c_ /= norm;
            s_ /= norm;
        }
    }

private:
    double cw_, sw_;
    double c_ = 1, s_ = 0;
    unsigned steps_ = 0;
};

Sine FitSine(const std::vector<double>& r, double dt, double f, double* explained = nullptr) {
    double cc = 0, ss = 0, cs = 0, rc = 0, rs = 0;
    Rotor rotor(kTwoPi * f * dt);
    for (size_t i = 0; i < r.size(); ++i, rotor.Next()) {
        const double c = rotor.Cos(), s = rotor.Sin();
        cc += c * c;
        ss += s * s;
        cs += c * s;
        rc += r[i] * c;
        rs += r[i] * s;
    }
    Sine sine{f, 0, 0};
    const double det = cc * ss - cs * cs;
    if (std::abs(det) > 1e-12 * cc * ss) {
        sine.a = (rc * ss - rs * cs) / det;
        sine.b = (rs * cc - rc * cs) / det;
    }
    if (explained) *explained = sine.a * rc + sine.b * rs;
    return sine;
}

void AddSine(std::vector<double>& v, double dt, const Sine& sine, double sign) {
    Rotor rotor(kTwoPi * sine.f * dt);
    for (size_t i = 0; i < v.size(); ++i, rotor.Next())
        v[i] += sign * (sine.a * rotor.Cos() + sine.b * rotor.Sin());
}

// Golden-section search for the frequency near f whose sine explains most of the residual.
Sine RefineSine(const std::vector<double>& r, double dt, double f, double halfWidth) {
    const double g = (std::sqrt(5.0) - 1) / 2;
    double lo = f - halfWidth, hi = f + halfWidth;
    const auto energy = [&](double x) {
        double e = 0;
        FitSine(r, dt, x, &e);
        return e;
    };
    double x1 = hi - g * (hi - lo), x2 = lo + g * (hi - lo);
    double e1 = energy(x1), e2 = energy(x2);
    for (int i = 0; i < 40; ++i) {
        if (e1 > e2) {
            hi = x2;
            x2 = x1;
            e2 = e1;
            x1 = hi - g * (hi - lo);
            e1 = energy(x1);
        } else {
            lo = x1;
            x1 = x2;
            e1 = e2;
            x2 = lo + g * (hi - lo);
            e2 = energy(x2);
        }
    }
    return FitSine(r, dt, (lo + hi) / 2);
}

// Frequencies of the spectrum's strongest local maxima in [fMin, fMax], strongest first, at
// least `separation` apart, clearly above the noise floor.
std::vector<double> SpectrumPeaks(const Spectrum& spectrum, double fMin, double fMax,
                                  double separation) {
    const auto& a = spectrum.amplitude;
    const size_t first = std::max<size_t>(1, size_t(std::ceil(fMin / spectrum.df)));
    const size_t last = std::min(a.size() - 2, size_t(std::floor(fMax / spectrum.df)));
    if (first > last) return {};
    std::vector<double> inRange(a.begin() + std::ptrdiff_t(first),
                                a.begin() + std::ptrdiff_t(last) + 1);
    auto middle = inRange.begin() + std::ptrdiff_t(inRange.size() / 2);
    std::nth_element(inRange.begin(), middle, inRange.end());
    const double floor = *middle;

    std::vector<size_t> maxima;
    for (size_t i = first; i <= last; ++i)
        if (a[i] >= a[i - 1] && a[i] > a[i + 1]) maxima.push_back(i);
    std::sort(maxima.begin(), maxima.end(), [&](size_t x, size_t y) { return a[x] > a[y]; });
    std::vector<double> peaks;
    for (size_t i : maxima) {
        if (int(peaks.size()) == kMaxComponents) break;
        if (a[i] < 4 * floor || (!peaks.empty() && a[i] < 0.1 * a[maxima.front()])) break;
        const double f = double(i) * spectrum.df;
        const bool apart = std::all_of(peaks.begin(), peaks.end(),
                                       [&](double p) { return std::abs(p - f) >= separation; });
        if (apart) peaks.push_back(f);
    }
    return peaks;
}

std::vector<double> Smoothed(const std::vector<double>& v, size_t width) {
    if (width <= 1) return v;
    std::vector<double> out(v.size());
    std::vector<double> prefix(v.size() + 1, 0.0);
    for (size_t i = 0; i < v.size(); ++i)
        prefix[i + 1] = prefix[i] + v[i];
    const size_t half = width / 2;
    for (size_t i = 0; i < v.size(); ++i) {
        const size_t lo = i >= half ? i - half : 0;
        const size_t hi = std::min(v.size(), i + half + 1);
        out[i] = (prefix[hi] - prefix[lo]) / double(hi - lo);
    }
    return out;
}

std::vector<SpectrumPoint> SpectrumForGraph(const Spectrum& spectrum, double pMin, double pMax) {
    std::vector<SpectrumPoint> points(kSpectrumPoints);
    const double span = std::log(pMax / pMin);
    for (int j = 0; j < kSpectrumPoints; ++j)
        points[size_t(j)].periodS = pMax * std::exp(-span * (j + 0.5) / kSpectrumPoints);
    for (size_t i = 1; i < spectrum.amplitude.size(); ++i) {
        const double period = 1 / (double(i) * spectrum.df);
        if (period < pMin || period > pMax) continue;
        const int j =
            std::min(kSpectrumPoints - 1, int(std::log(pMax / period) / span * kSpectrumPoints));
        SpectrumPoint& point = points[size_t(j)];
        if (spectrum.amplitude[i] > point.amplitudeArcsec) {
            point.amplitudeArcsec = spectrum.amplitude[i];
            point.periodS = period;
        }
    }
    return points;
}

}  // namespace

Spectrum AmplitudeSpectrum(const UniformSeries& series) {
    Spectrum spectrum;
    const size_t n = series.values.size();
    if (n < 4) return spectrum;
    const int nfft = kiss_fftr_next_fast_size_real(int(4 * n));
    std::vector<kiss_fft_scalar> in(size_t(nfft), 0);
    double windowSum = 0;
    for (size_t i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(kTwoPi * double(i) / double(n - 1));
        windowSum += w;
        in[i] = kiss_fft_scalar(w * series.values[i]);
    }
    std::vector<kiss_fft_cpx> out(size_t(nfft / 2 + 1));
    KissFftr fft(nfft);
    if (fft.cfg == nullptr) return spectrum;
    kiss_fftr(fft.cfg, in.data(), out.data());
    spectrum.df = 1 / (series.dt * nfft);
    spectrum.amplitude.resize(out.size());
    for (size_t k = 0; k < out.size(); ++k)
        spectrum.amplitude[k] = 2 * std::hypot(double(out[k].r), double(out[k].i)) / windowSum;
    return spectrum;
}

namespace {

// One round: the curve on an even grid without its drift, its spectrum and the sines at its
// strongest peaks, refined against each other.
struct Round {
    UniformSeries series;
    Spectrum spectrum;
    std::vector<Sine> sines;
};

Round AnalyseRound(const std::vector<MountSample>& samples, double dt, double pMin, double pMax) {
    Round round;
    round.series = ResampleRa(samples, dt);
    RemoveLinearDrift(round.series);
    round.spectrum = AmplitudeSpectrum(round.series);
    if (round.spectrum.amplitude.empty()) return round;
    const std::vector<double>& values = round.series.values;
    const double resolution = 1 / round.series.Duration();
    std::vector<Sine> sines;
    for (double f : SpectrumPeaks(round.spectrum, 1 / pMax, 1 / pMin, 2 * resolution))
        sines.push_back(FitSine(values, dt, f));
    std::vector<double> residual = values;
    for (const Sine& sine : sines)
        AddSine(residual, dt, sine, -1);
    for (int pass = 0; pass < 3; ++pass) {
        for (Sine& sine : sines) {
            AddSine(residual, dt, sine, +1);
            sine = RefineSine(residual, dt, sine.f, 0.5 * resolution);
            AddSine(residual, dt, sine, -1);
        }
    }
    std::sort(sines.begin(), sines.end(),
              [](const Sine& x, const Sine& y) { return x.Amplitude() > y.Amplitude(); });
    for (const Sine& sine : sines) {
        const bool apart = std::all_of(round.sines.begin(), round.sines.end(), [&](const Sine& k) {
            return std::abs(k.f - sine.f) >= resolution;
        });
        if (apart && sine.f > 0) round.sines.push_back(sine);
    }
    return round;
}

}  // namespace

void AnalysePeriodicError(MountStretch stretch, StretchAnalysis& analysis) {
    const double dt = MedianSpacing(stretch.samples);
    const double duration =
        stretch.samples.empty() ? 0 : stretch.samples.back().t - stretch.samples.front().t;
    const double pMin = std::max(kMinPeriodS, 4 * dt);
    const double pMax = duration / 2;
    const bool periodic =
        duration >= kMinPeriodicStretchS && stretch.samples.size() >= 32 && pMin < pMax;

    // The offsets of the bridged runs and the sines are found in turn: each round's sines let
    // the next round place the runs better.
    constexpr int kRounds = 3;
    Round round;
    for (int r = 0; r < kRounds && periodic; ++r) {
        round = AnalyseRound(stretch.samples, dt, pMin, pMax);
        if (r + 1 < kRounds && stretch.segmentStarts.size() > 1) {
            RefitSegmentOffsets(stretch, round.sines);
        } else {
            break;
        }
    }
    if (!periodic) {
        round.series = ResampleRa(stretch.samples, dt);
        RemoveLinearDrift(round.series);
    }
    const UniformSeries& series = round.series;
    const size_t step = std::max<size_t>(1, series.values.size() / kCurvePoints);
    analysis.raError.clear();
    for (size_t i = 0; i < series.values.size(); i += step)
        analysis.raError.push_back({series.t0 + double(i) * dt, series.values[i]});
    if (!periodic || round.spectrum.amplitude.empty()) return;

    const std::vector<double> smooth =
        Smoothed(series.values, size_t(std::lround(kPeakToPeakSmoothingS / dt)));
    const auto [lo, hi] = std::minmax_element(smooth.begin(), smooth.end());
    analysis.pePeakToPeak = *hi - *lo;
    analysis.spectrum = SpectrumForGraph(round.spectrum, pMin, pMax);
    analysis.peAnalysed = true;
    for (const Sine& sine : round.sines)
        analysis.periods.push_back({1 / sine.f, sine.Amplitude()});
    if (analysis.periods.empty()) return;

    const double period = analysis.periods.front().periodS;
    std::vector<double> sum(kFoldBins, 0.0);
    std::vector<int> count(kFoldBins, 0);
    for (size_t i = 0; i < series.values.size(); ++i) {
        const double phase = std::fmod(double(i) * dt, period) / period;
        const size_t bin = std::min(size_t(kFoldBins - 1), size_t(phase * kFoldBins));
        sum[bin] += series.values[i];
        ++count[bin];
    }
    analysis.folded.resize(kFoldBins);
    for (size_t bin = 0; bin < size_t(kFoldBins); ++bin)
        analysis.folded[bin] = count[bin] > 0 ? sum[bin] / count[bin] : 0.0;
}

}  // namespace report::night
