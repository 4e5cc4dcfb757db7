#include "gantrix/report/exposure_statistics.h"

#include <algorithm>
#include <cmath>

namespace report {

namespace {

// A pulse this long or shorter is no correction, seconds.
constexpr double kMinCorrection = 0.005;

struct Range {
    float min = 0;
    float max = 0;
    void Take(float v, bool first) {
        min = first ? v : std::min(min, v);
        max = first ? v : std::max(max, v);
    }
};

struct AxisSums {
    double drift = 0;
    double pulse = 0;
    double duty = 0;
    int corrections = 0;
    Range driftRange;
    Range signalRange;

    // Adds one star frame; returns its signed pulse in seconds.
    double Take(float driftValue, float signal, float interval, bool first) {
        drift += driftValue;
        driftRange.Take(driftValue, first);
        signalRange.Take(signal, first);
        const double p = double(signal) * double(interval);
        pulse += std::fabs(p);
        duty += std::fabs(double(signal));
        if (std::fabs(p) > kMinCorrection) ++corrections;
        return p;
    }
};

float PopulationStd(const std::vector<FrameRecord>& frames, float FrameRecord::*drift, double mean,
                    int n) {
    double sum = 0;
    for (const FrameRecord& f : frames) {
        if (f.star == 0) continue;
        const double d = double(f.*drift) - mean;
        sum += d * d;
    }
    return float(std::sqrt(sum / n));
}

}  // namespace

void ComputeExposureStatistics(ExposureRecord& exposure) {
    ExposureStatistics& s = exposure.statistics;
    s = ExposureStatistics{};
    std::vector<FrameRecord>& frames = exposure.frames;
    s.frames = int(frames.size());
    if (frames.empty()) return;

    const double raRate = exposure.calibration[2];
    AxisSums ra, dec;
    double tracking = 0;
    for (FrameRecord& f : frames) {
        f.trackingError = float(tracking);
        if (f.guided != 0) ++s.guidedFrames;
        if (f.star == 0) continue;
        const bool first = s.starFrames == 0;
        ++s.starFrames;
        const double raPulse = ra.Take(f.raDrift, f.raSignal, f.interval, first);
        dec.Take(f.decDrift, f.decSignal, f.interval, first);
        // A correction moved the star by the RA rate per second of signal; without it the
        // mount would have drifted the other way.
        tracking -= raRate * raPulse;
        s.fwhmMax = std::max(s.fwhmMax, f.fwhm);
    }

    const int n = s.starFrames;
    if (n > 0) {
        s.raCorrections = ra.corrections;
        s.decCorrections = dec.corrections;
        s.raDriftStd = PopulationStd(frames, &FrameRecord::raDrift, ra.drift / n, n);
        s.decDriftStd = PopulationStd(frames, &FrameRecord::decDrift, dec.drift / n, n);
        s.raDriftMin = ra.driftRange.min;
        s.raDriftMax = ra.driftRange.max;
        s.decDriftMin = dec.driftRange.min;
        s.decDriftMax = dec.driftRange.max;
        s.raSignalMin = ra.signalRange.min;
        s.raSignalMax = ra.signalRange.max;
        s.decSignalMin = dec.signalRange.min;
        s.decSignalMax = dec.signalRange.max;
        s.meanRaPulse = float(ra.pulse / n);
        s.meanRaDuty = float(std::clamp(ra.duty / n, 0.0, 1.0));
        s.meanDecPulse = float(dec.pulse / n);
        s.meanDecDuty = float(std::clamp(dec.duty / n, 0.0, 1.0));
    }

    double sum = 0;
    for (const FrameRecord& f : frames)
        sum += f.trackingError;
    const double mean = sum / double(frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        FrameRecord& f = frames[i];
        f.trackingError = float(f.trackingError - mean);
        if (i == 0 || f.trackingError < s.trackingErrorMin) s.trackingErrorMin = f.trackingError;
        if (i == 0 || f.trackingError > s.trackingErrorMax) s.trackingErrorMax = f.trackingError;
    }
}

float PixelScale(float focalLength, int binning) {
    // Truncation toward zero; a focal length beyond any int is no real one.
    if (!(focalLength >= 1.0f) || focalLength > 2.0e9f) return 0.0f;
    const int f = int(focalLength);
    const int b = binning < 1 ? 1 : binning;
    constexpr float kPixelSize = 3.75e-6f;  // metres, the guide camera's pixel
    constexpr double kTwoPi = 6.283185307178;
    constexpr double kArcsecondsPerTurn = 1296000.0;
    return float(double(float(b) * kPixelSize) / (f / 1000.0) / kTwoPi * kArcsecondsPerTurn);
}

float ToArcseconds(float value, float focalLength, int binning) {
    const float scale = PixelScale(focalLength, binning);
    return scale == 0.0f ? 0.0f : value * scale;
}

}  // namespace report
