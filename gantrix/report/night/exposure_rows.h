#pragma once

#include <vector>

#include "gantrix/report/log_records.h"
#include "gantrix/report/night/night_records.h"

namespace report::night {

// Population standard deviation (about the mean); absent for no values.
std::optional<double> StandardDeviation(const std::vector<double>& values);
// Median; absent for no values.
std::optional<double> Median(std::vector<double> values);

// Fills the night's table rows (numbered 1.. as the pages), its star frames for the graphs
// and its totals, pooled over the star frames of all the exposures given.
void ExposureRows(const std::vector<const ExposureRecord*>& exposures, LogTime logStart,
                  NightSummary& night);

}  // namespace report::night
