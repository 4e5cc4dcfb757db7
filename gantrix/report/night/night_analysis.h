#pragma once

#include <optional>
#include <string>

#include "gantrix/report/log_records.h"
#include "gantrix/report/night/night_records.h"

namespace report::night {

// Drift in DEC (arcseconds per minute) to polar alignment error (arcminutes) at declination
// 0, the relation guiding assistants use; at declination d it is divided by cos d.
constexpr double kPolarErrorPerDrift = 3.82;
// Declinations nearer the pole than this give no estimate: cos d is too small to divide by.
constexpr double kMaxDeclinationDeg = 89;

struct NightOptions {
    std::optional<double> declinationDeg;
    int threads = 1;  // stretches are analysed on up to this many threads
};

// The polar alignment error that a DEC drift implies at the declination (0 when absent).
std::optional<double> PolarErrorArcmin(double driftArcsecPerMin,
                                       std::optional<double> declinationDeg);

// Everything the night's summary shows, from an interpreted log. Only the exposures that get
// a page count; their rows are numbered as the pages are.
NightSummary AnalyseNight(const LogState& log, const std::string& sourceFileName,
                          const NightOptions& options);

}  // namespace report::night
