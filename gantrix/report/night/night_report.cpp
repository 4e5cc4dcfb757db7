#include "gantrix/report/night/night_report.h"

#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "gantrix/report/file_bytes.h"
#include "gantrix/report/folder_path.h"
#include "gantrix/report/night/html_text.h"
#include "gantrix/report/night/index_page.h"
#include "gantrix/report/night/night_style.h"
#include "gantrix/report/night/summary_json.h"
#include "gantrix/report/night/summary_page.h"
#include "gantrix/report/night/svg_graphs.h"
#include "gantrix/report/report_files.h"

namespace report::night {

namespace fs = std::filesystem;

namespace {

std::string Join(const std::string& folder, const std::string& name) {
    return (fs::path(folder) / name).string();
}

std::string LocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return Format("%d-%02d-%02d %02d:%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour, local.tm_min);
}

// Writes the file when text is not empty, removes an older one when it is.
bool ReadText(const fs::path& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteOrRemove(const std::string& path, const std::string& text) {
    if (!text.empty()) return WriteFileBytes(path, text);
    std::error_code ignored;
    fs::remove(path, ignored);
    return !fs::exists(path, ignored);
}

}  // namespace

namespace {

std::string WriteSummaryFiles(const LogState& log, const std::string& reportFolder,
                              const std::string& sourceFileName, const NightOptions& options) {
    const NightSummary night = AnalyseNight(log, sourceFileName, options);
    if (night.exposures.empty()) {
        bool removed = true;
        for (const char* name : {kSummaryPage, kSummaryJson})
            removed = WriteOrRemove(Join(reportFolder, name), {}) && removed;
        return removed ? std::string() : kErrorSummary;
    }
    if (CreateFolderPath(Join(reportFolder, "dat")) != 0) return kErrorSummary;
    const NightGraphs graphs = DrawNightGraphs(night, options.threads);
    const std::pair<const char*, const std::string*> files[] = {
        {kGuideErrorGraph, &graphs.guideError}, {kFwhmGraph, &graphs.fwhm},
        {kPeCurveGraph, &graphs.peCurve},       {kPeSpectrumGraph, &graphs.peSpectrum},
        {kPeFoldedGraph, &graphs.peFolded},     {kDecDriftGraph, &graphs.decDrift}};
    for (const auto& [name, text] : files)
        if (!WriteOrRemove(Join(reportFolder, name), *text)) return kErrorSummary;
    if (!WriteFileBytes(Join(reportFolder, kNightStyleFile), kNightStyleSheet) ||
        !WriteFileBytes(Join(reportFolder, kSummaryJson), SummaryJson(night)) ||
        !WriteFileBytes(Join(reportFolder, kSummaryPage),
                        SummaryPage(night, graphs, LocalTimeNow()))) {
        return kErrorSummary;
    }
    return {};
}

}  // namespace

std::string WriteNightSummary(const LogState& log, const std::string& reportFolder,
                              const std::string& sourceFileName, const NightOptions& options) {
    try {
        return WriteSummaryFiles(log, reportFolder, sourceFileName, options);
    } catch (const std::exception&) {
        // Out of memory for the analysis or the graphs of a huge log: the pages stay.
        return kErrorSummary;
    }
}

std::string IndexFolderOf(const std::string& reportFolder) {
    fs::path path(reportFolder);
    while (!path.empty() && !path.has_filename())
        path = path.parent_path();
    return path.parent_path().string();
}

namespace {

std::string WriteIndexFiles(const std::string& folder) {
    std::vector<NightEntry> nights;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.' || !it->is_directory(error)) continue;
        const fs::path json = it->path() / kSummaryJson;
        if (!fs::is_regular_file(json, error)) continue;
        std::string text;
        if (!ReadText(json, text)) continue;
        if (std::optional<NightEntry> entry = ReadSummaryJson(text)) {
            entry->folder = name;
            nights.push_back(std::move(*entry));
        }
    }
    if (error) return kErrorIndex;
    const IndexFiles index = IndexPage(nights, LocalTimeNow());
    if (CreateFolderPath(Join(folder, kIndexDataFolder)) != 0) return kErrorIndex;
    for (const auto& [name, text] : index.files)
        if (!WriteOrRemove(Join(folder, name), text)) return kErrorIndex;
    if (!WriteFileBytes(Join(folder, kIndexPage), index.page)) return kErrorIndex;
    return {};
}

}  // namespace

std::string WriteNightIndex(const std::string& folder) {
    try {
        return WriteIndexFiles(folder);
    } catch (const std::exception&) {
        return kErrorIndex;
    }
}

}  // namespace report::night
