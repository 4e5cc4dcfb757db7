#include "gantrix/report/night/night_analysis.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "gantrix/report/exposure_statistics.h"
#include "gantrix/report/night/exposure_rows.h"
#include "gantrix/report/night/mount_stretches.h"
#include "gantrix/report/night/periodic_error.h"
#include "gantrix/report/night/segment_offsets.h"
#include "gantrix/report/parallel_for.h"
#include "gantrix/report/report_page.h"

namespace report::night {

namespace {

// A drift is fitted only over this much guiding at least.
constexpr double kMinDriftStretchS = 120;

void AnalyseDecDrift(const MountStretch& stretch, StretchAnalysis& analysis) {
    const size_t step = std::max<size_t>(1, stretch.samples.size() / 2000);
    for (size_t i = 0; i < stretch.samples.size(); i += step)
        analysis.decError.push_back({stretch.samples[i].t, stretch.samples[i].dec});
    if (analysis.Duration() < kMinDriftStretchS) return;
    // The guider's net correction cancels the mount's drift: its sign is the drift's reversed.
    const double slope = DecSlopeWithinSegments(stretch);
    analysis.decDriftPerMin = -60 * slope;
}

}  // namespace

std::optional<double> PolarErrorArcmin(double driftArcsecPerMin,
                                       std::optional<double> declinationDeg) {
    const double d = declinationDeg.value_or(0);
    if (!(std::abs(d) <= kMaxDeclinationDeg)) return std::nullopt;
    return kPolarErrorPerDrift * std::abs(driftArcsecPerMin) / std::cos(d * std::numbers::pi / 180);
}

NightSummary AnalyseNight(const LogState& log, const std::string& sourceFileName,
                          const NightOptions& options) {
    NightSummary night;
    night.hcUid = log.hcUid;
    night.firmwareVersion = log.firmwareVersion;
    night.sourceFileName = sourceFileName;
    night.logStart = log.logStartTime;
    night.declinationDeg = options.declinationDeg;

    std::vector<const ExposureRecord*> kept;
    for (const ExposureRecord& exposure : log.exposures)
        if (KeepExposure(exposure)) kept.push_back(&exposure);
    ExposureRows(kept, log.logStartTime, night);

    const std::vector<MountStretch> stretches = MountStretches(kept, log.logStartTime);
    night.stretches.resize(stretches.size());
    ParallelFor(stretches.size(), options.threads, [&](size_t i) {
        const MountStretch& stretch = stretches[i];
        StretchAnalysis& analysis = night.stretches[i];
        analysis.t0 = stretch.samples.front().t;
        analysis.t1 = stretch.samples.back().t;
        analysis.samples = int(stretch.samples.size());
        analysis.decCalibrated = stretch.decCalibrated;
        AnalysePeriodicError(stretch, analysis);
        if (stretch.decCalibrated) AnalyseDecDrift(stretch, analysis);
    });

    double longest = 0;
    double driftSum = 0, driftTime = 0;
    for (size_t i = 0; i < night.stretches.size(); ++i) {
        const StretchAnalysis& s = night.stretches[i];
        if (s.peAnalysed && s.Duration() > longest) {
            longest = s.Duration();
            night.peStretch = int(i);
        }
        night.decCalibrated = night.decCalibrated || s.decCalibrated;
        if (s.decDriftPerMin) {
            driftSum += *s.decDriftPerMin * s.Duration();
            driftTime += s.Duration();
        }
    }
    if (night.peStretch >= 0) {
        const StretchAnalysis& s = night.stretches[size_t(night.peStretch)];
        night.pePeakToPeak = s.pePeakToPeak;
        night.pePeriods = s.periods;
    }
    if (driftTime > 0) {
        night.decDriftPerMin = driftSum / driftTime;
        night.polarErrorArcmin = PolarErrorArcmin(*night.decDriftPerMin, night.declinationDeg);
    }
    return night;
}

}  // namespace report::night
