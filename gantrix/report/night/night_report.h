#pragma once

#include <optional>
#include <string>

#include "gantrix/report/log_records.h"
#include "gantrix/report/night/night_analysis.h"

namespace report::night {

inline constexpr const char* kErrorSummary = "Can't write the night summary";
inline constexpr const char* kErrorIndex = "Can't write the index of the nights";

// Writes summary.json, summary.html, its style sheet and graphs into a report folder whose
// exposure pages were just written from `log`. A log without a page gets no summary (and
// loses an older one). Returns an empty text on success, else kErrorSummary.
std::string WriteNightSummary(const LogState& log, const std::string& reportFolder,
                              const std::string& sourceFileName, const NightOptions& options);

// Writes index.html into `folder` over the summaries of its report folders (folder/*/
// summary.json), newest night first, with the trend over the nights. Returns an empty text on
// success, else kErrorIndex.
std::string WriteNightIndex(const std::string& folder);

// The folder that holds the index for a report folder: the one above it.
std::string IndexFolderOf(const std::string& reportFolder);

}  // namespace report::night
