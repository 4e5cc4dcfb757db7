#pragma once

#include <functional>
#include <string>
#include <vector>

#include "gantrix/report/interpret.h"
#include "gantrix/report/line_table.h"
#include "gantrix/report/report_resources.h"

namespace report {

// The outcomes of a report run as the user reads them.
inline constexpr const char* kErrorReadLog = "Can't read log file (format error?)";
inline constexpr const char* kErrorNotAFile = "Can't read log file (not a regular file)";
inline constexpr const char* kErrorTooLarge = "Can't read log file (larger than 256 MiB)";
inline constexpr const char* kErrorLinkLoop = "Can't read log file (symbolic link loop)";
inline constexpr const char* kErrorEvaluate = "Error while evaluating log data";
inline constexpr const char* kErrorDestination = "Can't create destination path";
inline constexpr const char* kErrorJpeg = "can't write JPG file";
inline constexpr const char* kErrorResource = "missing resource";

// What ProcessLogFiles tells its caller after each file.
struct FileOutcome {
    const std::string& logFile;
    const std::string& reportFolder;
    const std::string& resultLine;  // the line appended to the result text
    bool failed;
};
using FileDone = std::function<void(const FileOutcome&)>;

// Turns guiding logs into report folders: one page per guided exposure with its graphs, a
// style sheet and a logo. One generator handles one file at a time and is not re-entrant; it
// draws and encodes the images of a file on `threads` threads (0: every usable core), with
// the same files for any number of threads.
class ReportGenerator {
public:
    explicit ReportGenerator(ReportResources resources, int threads = 0);

    int Threads() const { return threads_; }

    // What the last GenerateReport read from its log (its exposures with their graphs drawn).
    const LogState& State() const { return state_; }

    // Writes the report of one log into reportFolder. Returns an empty text on success, else
    // one of the error texts above. Files written before an error stay. After a successful
    // run the folder holds no pages or images of the report's naming other than its own (an
    // older report of the log may have had more); other files in it are left alone.
    std::string GenerateReport(const std::string& logFile, const std::string& reportFolder);

    // Runs GenerateReport for each log into <anchor>/Processed/<base name> (or, when
    // outputFolder is given, <outputFolder>/<base name>) and collects
    // "<base name>.txt:\t<OK or error>\r\n" lines in resultText (emptied first). Returns the
    // number of files that failed.
    int ProcessLogFiles(const std::vector<std::string>& logFiles, std::string& resultText,
                        const FileDone& onFileDone = {}, const std::string& outputFolder = {});

private:
    std::string WritePages(const std::string& logFile, const std::string& reportFolder);

    ReportResources resources_;
    int threads_;
    LineTable lines_;
    LogState state_;
};

}  // namespace report
