#include "gantrix/report/report_generator.h"

#include <ctime>
#include <exception>
#include <filesystem>
#include <set>

#include "gantrix/report/file_bytes.h"
#include "gantrix/report/folder_path.h"
#include "gantrix/report/graph_images.h"
#include "gantrix/report/parallel_for.h"
#include "gantrix/report/report_files.h"
#include "gantrix/report/report_page.h"

namespace report {

static_assert(kMaxLogFileSize == size_t(256) << 20, "kErrorTooLarge names the limit");

namespace {

std::string Join(const std::string& folder, const std::string& name) {
    return (std::filesystem::path(folder) / name).string();
}

std::string ConversionTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return ConversionTimeText(local);
}

}  // namespace

ReportGenerator::ReportGenerator(ReportResources resources, int threads)
    : resources_(std::move(resources)), threads_(threads > 0 ? threads : UsableCores()) {}

std::string ReportGenerator::GenerateReport(const std::string& logFile,
                                            const std::string& reportFolder) {
    switch (lines_.ReadLogFile(logFile)) {
        case kReadOk:
            break;
        case kReadNotAFile:
            return kErrorNotAFile;
        case kReadTooLarge:
            return kErrorTooLarge;
        case kReadLinkLoop:
            return kErrorLinkLoop;
        default:
            return kErrorReadLog;
    }
    try {
        if (!Interpret(lines_, state_)) return kErrorEvaluate;
    } catch (const std::exception&) {
        return kErrorEvaluate;
    }
    if (CreateFolderPath(reportFolder) != 0 || CreateFolderPath(Join(reportFolder, "dat")) != 0) {
        return kErrorDestination;
    }
    try {
        return WritePages(logFile, reportFolder);
    } catch (const std::bad_alloc&) {
        // Out of memory while drawing or filling the pages; the images are the bulk of it.
        return kErrorJpeg;
    }
}

std::string ReportGenerator::WritePages(const std::string& logFile,
                                        const std::string& reportFolder) {
    const std::string sourceFileName = std::filesystem::path(logFile).filename().string();
    const std::string conversionTime = ConversionTimeNow();

    std::vector<ExposureRecord*> kept;
    std::vector<std::string> labels;
    for (ExposureRecord& exposure : state_.exposures) {
        if (!KeepExposure(exposure)) continue;
        kept.push_back(&exposure);
        labels.push_back(LinkLabel(exposure));
    }

    // The images are the bulk of the work: made on every core first, then written in order.
    std::vector<EncodedGraphs> graphs = EncodeGraphs(kept, threads_);
    std::set<std::string> pagesWritten;
    std::set<std::string> graphsWritten;
    for (size_t i = 0; i < kept.size(); ++i) {
        const int k = int(i + 1);
        ExposureRecord& exposure = *kept[i];
        if (!WriteEncodedGraphs(graphs[i], k, reportFolder, &graphsWritten)) return kErrorJpeg;
        const GraphScales scales = graphs[i].scales;
        graphs[i] = {};

        if (resources_.styleSheet.empty()) return kErrorResource;
        if (!WriteFileBytes(Join(reportFolder, "dat/vt5log.css"), resources_.styleSheet)) {
            return kErrorDestination;
        }
        if (resources_.logo.empty()) return kErrorResource;
        if (!WriteFileBytes(Join(reportFolder, "dat/NORVANE-LOGO-small.jpg"), resources_.logo)) {
            return kErrorDestination;
        }
        if (resources_.pageTemplate.empty()) return kErrorResource;
        const PageInfo page{state_,         exposure,      scales, k, LinkList(labels, k),
                            sourceFileName, conversionTime};
        const std::string text = SubstituteTemplate(resources_.pageTemplate, PageDictionary(page));
        if (!WriteFileBytes(Join(reportFolder, PageFileName(k)), text)) return kErrorDestination;
        pagesWritten.insert(PageFileName(k));
    }
    // A report written over an older one of the same log (which has since lost exposures, or
    // their DEC graphs) must not keep the older pages and images, linked to nothing.
    if (!RemoveFilesNotWritten(reportFolder, IsPageFileName, pagesWritten) ||
        !RemoveFilesNotWritten(Join(reportFolder, "dat"), IsGraphFileName, graphsWritten)) {
        return kErrorDestination;
    }
    return {};
}

int ReportGenerator::ProcessLogFiles(const std::vector<std::string>& logFiles,
                                     std::string& resultText, const FileDone& onFileDone,
                                     const std::string& outputFolder) {
    resultText.clear();
    int failures = 0;
    for (const std::string& logFile : logFiles) {
        const std::string reportFolder = outputFolder.empty()
                                             ? ReportFolderFor(logFile)
                                             : Join(outputFolder, ReportBaseName(logFile));
        const std::string error = GenerateReport(logFile, reportFolder);
        const bool failed = !error.empty();
        if (failed) ++failures;
        const std::string line =
            ReportBaseName(logFile) + ".txt:\t" + (failed ? error : std::string("OK")) + "\r\n";
        resultText += line;
        if (onFileDone) onFileDone({logFile, reportFolder, line, failed});
    }
    return failures;
}

}  // namespace report
