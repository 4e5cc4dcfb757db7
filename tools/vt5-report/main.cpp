// vt5-report LOGFILE...: writes the guiding report of every log given, each into
// <anchor>/Processed/<log name> beside the log, and lists the outcome per file.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gantrix/report/report_generator.h"

namespace {

void PrintUsage(std::FILE* out) {
    std::fputs(
        "Usage: vt5-report LOGFILE...\n"
        "Writes one HTML page per guided exposure of each Veltra-5 guiding log into\n"
        "<folder>/Processed/<log name>/, where <folder> is the HC's unique-ID folder above the\n"
        "log (15 characters, no lower-case letter) or else the first folder of the log's path.\n"
        "Prints one line per log and exits with 1 when any log failed.\n",
        out);
}

// The result lines end in CR LF for the dialogs that show them; a terminal wants LF.
std::string WithoutCarriageReturns(const std::string& line) {
    std::string text = line;
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) {
        text.erase(text.size() - 2, 1);
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> logFiles;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            PrintUsage(stdout);
            return 0;
        }
        logFiles.emplace_back(argv[i]);
    }
    if (logFiles.empty()) {
        PrintUsage(stderr);
        return 2;
    }

    report::ReportGenerator generator(report::LoadReportResources());
    std::string resultText;
    const int failures =
        generator.ProcessLogFiles(logFiles, resultText, [](const report::FileOutcome& outcome) {
            std::fputs(WithoutCarriageReturns(outcome.resultLine).c_str(), stdout);
            if (!outcome.failed) std::fprintf(stderr, "  -> %s\n", outcome.reportFolder.c_str());
            std::fflush(stdout);
        });
    if (failures > 0) {
        std::fprintf(stderr, "%d of %zu log files failed\n", failures, logFiles.size());
        return 1;
    }
    return 0;
}
