#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "gantrix/report/log_time.h"

namespace report {

// One text line of a guiding log. The views point into the LineTable that read it and stay
// valid until that table reads again or ends.
struct LogLine {
    std::string_view rawText;       // the whole line without its line end
    LogTime logTime = 0;            // from the date and time tokens
    std::string_view eventKeyword;  // third token, e.g. "CAM FRAME"
    size_t fieldCursor = 0;         // index in rawText where the event's fields begin
};

// Outcome of ReadLogFile: 0, one of the values below, or (negative) the complement of the
// position in the line where its date or time token failed to convert.
enum ReadStatus : int {
    kReadOk = 0,
    kReadCannotOpen = 1,
    kReadNoMemory = 2,
    kReadEmptyLine = 3,
    kReadNotAFile = 4,  // a folder, device, FIFO or socket: never a log
    kReadTooLarge = 5,  // over kMaxLogFileSize
    kReadLinkLoop = 6,  // the path is a symbolic link that leads back to itself
};

// The largest log file read, far above any an HC writes (a whole night of guiding at one frame
// per second is a few MiB). Anything larger is no log, and reading it would only exhaust memory.
inline constexpr size_t kMaxLogFileSize = size_t(256) << 20;

// The lines of one log file, in file order.
class LineTable {
public:
    // Reads a whole file; any previous content is dropped first. On a non-zero status the
    // table is left empty. Only a regular file of at most kMaxLogFileSize bytes is read; the
    // file is opened so that a FIFO cannot block the caller.
    int ReadLogFile(const std::string& path);
    // The same for log bytes already in memory.
    int ReadLogData(std::string data);

    const std::vector<LogLine>& Lines() const { return lines_; }
    size_t Size() const { return lines_.size(); }
    const LogLine& operator[](size_t i) const { return lines_[i]; }

    // The table is allocated in whole steps of this many lines, once per read: the lines are
    // counted first, so that no line is ever moved.
    static constexpr size_t kGrowthStep = 16384;

private:
    int Split();
    void Clear();

    std::string text_;
    std::vector<LogLine> lines_;
};

// Reads one line head (date "%d-%d-%d", time "%d:%d:%d.%d", keyword) into line; 0, or the
// complement of the cursor position where the date or time token failed. A month outside
// 1..12 is no date.
int ParseLineHead(LogLine& line);

}  // namespace report
