#pragma once

#include <string>

#include "gantrix/report/night/night_records.h"
#include "gantrix/report/night/svg_graphs.h"

namespace report::night {

// File names in the report folder.
inline constexpr const char* kSummaryPage = "summary.html";
inline constexpr const char* kSummaryJson = "summary.json";
inline constexpr const char* kNightStyleFile = "dat/night.css";
// The graphs, "dat/night_<name>.svg".
inline constexpr const char* kGuideErrorGraph = "dat/night_guide_error.svg";
inline constexpr const char* kFwhmGraph = "dat/night_fwhm.svg";
inline constexpr const char* kPeCurveGraph = "dat/night_pe_curve.svg";
inline constexpr const char* kPeSpectrumGraph = "dat/night_pe_spectrum.svg";
inline constexpr const char* kPeFoldedGraph = "dat/night_pe_folded.svg";
inline constexpr const char* kDecDriftGraph = "dat/night_dec_drift.svg";

// The index of the nights, in the folder above the report folders.
inline constexpr const char* kIndexPage = "index.html";

// summary.html of a night whose graphs were drawn (an empty graph is left out).
std::string SummaryPage(const NightSummary& night, const NightGraphs& graphs,
                        const std::string& conversionTime);

// The sentence on polar alignment: the estimate, the smallest error without a declination,
// or why there is none.
std::string PolarAlignmentText(const NightSummary& night);

}  // namespace report::night
