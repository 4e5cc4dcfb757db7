// vt5-report [-o FOLDER] [--declination DEG] LOGFILE...: writes the guiding report of every
// log given, with the night's summary, lists the outcome per log and renews the index of the
// nights; vt5-report --index DIR renews the index of DIR alone.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "gantrix/report/night/night_report.h"
#include "gantrix/report/night/night_reports.h"
#include "gantrix/report/report_generator.h"
#include "tools/cli/command_line.h"

namespace {

// The result lines end in CR LF for the dialogs that show them; a terminal wants LF.
std::string WithoutCarriageReturn(const std::string& line) {
    std::string text = line;
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) {
        text.erase(text.size() - 2, 1);
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    cli::CommandLine line(
        "vt5-report", "[-o FOLDER] [--declination DEG] LOGFILE... | --index DIR",
        "Writes one HTML page per guided exposure of each Veltra-5 guiding log, with its\n"
        "graphs, into a report folder named after the log:\n"
        "  <ID folder>/Processed/<log name>/  where <ID folder> is the HC's unique-ID folder\n"
        "      above the log (15 characters, no lower-case letter), as Gantrix copies the SD\n"
        "      card; without one, the first folder of the log's path (\"/\" for an absolute\n"
        "      path);\n"
        "  FOLDER/<log name>/                 with -o FOLDER.\n"
        "Prints one line per log and exits with 1 when any log failed. Only regular files of\n"
        "at most 256 MiB are read (no HC writes a larger log). The graphs are drawn on every\n"
        "core the program may use, unless --jobs says how many threads to use.\n"
        "Beside the exposure pages, each report folder gets the night's summary.html and\n"
        "summary.json: guiding over the night, the mount's periodic error and the polar\n"
        "alignment error that the DEC drift implies at the declination of --declination (without\n"
        "it, the smallest error consistent with the drift). The folder above the report folders\n"
        "gets index.html, comparing every night that has a summary there.\n",
        {{"--output", "-o", "FOLDER", "put each report into FOLDER/<log name>/"},
         {"--jobs", "-j", "N", "draw the graphs on N threads (default: every core)"},
         {"--declination", "", "DEG", "the guided field's declination, -89 to 89 degrees"},
         {"--index", "", "DIR", "write DIR/index.html over the summaries in DIR/*/ and stop"}},
        false);
    if (auto status = line.Parse(argc, argv)) return *status;
    const std::vector<std::string>& logFiles = line.Positional();
    std::string outputFolder = line.Value("--output");
    if (line.Has("--output") && outputFolder.empty()) return line.UsageError("-o needs a folder");
    if (line.Has("--index")) {
        if (!logFiles.empty()) return line.UsageError("--index takes no log file");
        const std::string indexFolder = line.Value("--index");
        if (indexFolder.empty()) return line.UsageError("--index needs a folder");
        const std::string error = report::night::WriteNightIndex(indexFolder);
        if (!error.empty()) return line.Fail(error + ": " + indexFolder);
        std::printf("%s/index.html\n", indexFolder.c_str());
        return 0;
    }
    if (logFiles.empty()) return line.UsageError("no log file given");
    const std::optional<long long> jobs = line.Number("--jobs", 1, 1024, 0);
    if (!jobs) return 2;
    report::night::NightOptions night;
    if (line.Has("--declination")) {
        const std::optional<double> declination =
            line.Real("--declination", -report::night::kMaxDeclinationDeg,
                      report::night::kMaxDeclinationDeg, 0);
        if (!declination) return 2;
        night.declinationDeg = *declination;
    }

    report::ReportGenerator generator(report::LoadReportResources(), int(*jobs));
    night.threads = generator.Threads();
    std::string resultText;
    report::night::NightReports nights(night);
    int summaryFailures = 0;
    const int failures = generator.ProcessLogFiles(
        logFiles, resultText,
        [&](const report::FileOutcome& outcome) {
            std::fputs(WithoutCarriageReturn(outcome.resultLine).c_str(), stdout);
            std::fflush(stdout);
            std::fprintf(stderr, "  %s %s\n", outcome.failed ? "report folder" : "->",
                         outcome.reportFolder.c_str());
            const std::string error = nights.AfterFile(outcome, generator.State());
            if (!error.empty()) {
                std::fprintf(stderr, "  %s in %s\n", error.c_str(), outcome.reportFolder.c_str());
                ++summaryFailures;
            }
        },
        outputFolder);
    for (const std::string& failure : nights.WriteIndexes()) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        ++summaryFailures;
    }
    if (summaryFailures > 0) return 1;
    if (failures > 0) {
        std::fprintf(stderr, "%d of %zu log files failed\n", failures, logFiles.size());
        return 1;
    }
    return 0;
}
