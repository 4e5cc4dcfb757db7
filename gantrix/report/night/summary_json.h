#pragma once

#include <optional>
#include <string>

#include "gantrix/report/night/night_records.h"

namespace report::night {

// "2021-03-07T21:05:33.400Z": the log's time, which the HC keeps in UTC.
std::string IsoTime(LogTime time);

// summary.json: the night for scripts. Arcseconds, seconds and pixels as numbers; values that
// cannot be known are null.
std::string SummaryJson(const NightSummary& night);

// What the index of the nights takes from a summary.json.
struct NightEntry {
    std::string folder;  // the report folder's name
    std::string hcUid;
    std::string logStart;  // as in the file: ISO time
    int exposures = 0;
    std::optional<double> totalRms, pePeakToPeak, polarErrorArcmin, fwhmMedian, declinationDeg;
    bool polarAtEquator = false;  // the smallest error: no declination given
};

// Reads a summary.json; nothing when the text is not one.
std::optional<NightEntry> ReadSummaryJson(const std::string& text);

}  // namespace report::night
