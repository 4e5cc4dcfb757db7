// vt5-report [-o FOLDER] LOGFILE...: writes the guiding report of every log given and lists
// the outcome per log.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

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
        "vt5-report", "[-o FOLDER] LOGFILE...",
        "Writes one HTML page per guided exposure of each Veltra-5 guiding log, with its\n"
        "graphs, into a report folder named after the log:\n"
        "  <ID folder>/Processed/<log name>/  where <ID folder> is the HC's unique-ID folder\n"
        "      above the log (15 characters, no lower-case letter), as Gantrix copies the SD\n"
        "      card; without one, the first folder of the log's path (\"/\" for an absolute\n"
        "      path);\n"
        "  FOLDER/<log name>/                 with -o FOLDER.\n"
        "Prints one line per log and exits with 1 when any log failed. Only regular files of\n"
        "at most 256 MiB are read (no HC writes a larger log). The graphs are drawn on every\n"
        "core the program may use, unless --jobs says how many threads to use.\n",
        {{"--output", "-o", "FOLDER", "put each report into FOLDER/<log name>/"},
         {"--jobs", "-j", "N", "draw the graphs on N threads (default: every core)"}},
        false);
    if (auto status = line.Parse(argc, argv)) return *status;
    const std::vector<std::string>& logFiles = line.Positional();
    std::string outputFolder = line.Value("--output");
    if (line.Has("--output") && outputFolder.empty()) return line.UsageError("-o needs a folder");
    if (logFiles.empty()) return line.UsageError("no log file given");
    const std::optional<long long> jobs = line.Number("--jobs", 1, 1024, 0);
    if (!jobs) return 2;

    report::ReportGenerator generator(report::LoadReportResources(), int(*jobs));
    std::string resultText;
    const int failures = generator.ProcessLogFiles(
        logFiles, resultText,
        [](const report::FileOutcome& outcome) {
            std::fputs(WithoutCarriageReturn(outcome.resultLine).c_str(), stdout);
            std::fflush(stdout);
            std::fprintf(stderr, "  %s %s\n", outcome.failed ? "report folder" : "->",
                         outcome.reportFolder.c_str());
        },
        outputFolder);
    if (failures > 0) {
        std::fprintf(stderr, "%d of %zu log files failed\n", failures, logFiles.size());
        return 1;
    }
    return 0;
}
