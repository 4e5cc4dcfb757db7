#include "gantrix/report/night/night_reports.h"

#include <filesystem>

#include "gantrix/report/night/night_report.h"

namespace report::night {

std::string NightReports::AfterFile(const FileOutcome& outcome, const LogState& state) {
    if (outcome.failed) return {};
    const std::string error =
        WriteNightSummary(state, outcome.reportFolder,
                          std::filesystem::path(outcome.logFile).filename().string(), options_);
    indexFolders_.insert(IndexFolderOf(outcome.reportFolder));
    return error;
}

std::vector<std::string> NightReports::WriteIndexes() {
    std::vector<std::string> failures;
    for (const std::string& folder : indexFolders_) {
        const std::string error = WriteNightIndex(folder);
        if (!error.empty()) failures.push_back(error + ": " + folder);
    }
    indexFolders_.clear();
    return failures;
}

}  // namespace report::night
