#pragma once

#include <set>
#include <string>
#include <vector>

#include "gantrix/report/night/night_analysis.h"
#include "gantrix/report/report_generator.h"

namespace report::night {

// The night summaries of a run of ReportGenerator::ProcessLogFiles and, at its end, the index
// of every folder that got one. Used from the run's FileDone callback.
class NightReports {
public:
    explicit NightReports(NightOptions options) : options_(options) {}

    // After the generator reported a file: the summary of a report just written. Returns an
    // empty text, or the error text.
    std::string AfterFile(const FileOutcome& outcome, const LogState& state);

    // Renews the index of every folder that got a summary; returns one line
    // "<error>: <folder>" per failure.
    std::vector<std::string> WriteIndexes();

private:
    NightOptions options_;
    std::set<std::string> indexFolders_;
};

}  // namespace report::night
