#include "gantrix/report/line_table.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <stdexcept>

#include "gantrix/report/parse_fields.h"
#include "gantrix/report/scan_number.h"

namespace report {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// Matches token against a pattern of numbers ('#', as "%d" reads them) and literal characters;
// true when every number converted. Trailing characters are allowed, as with sscanf.
bool MatchNumbers(std::string_view token, std::string_view pattern, int* numbers) {
    size_t pos = 0;
    for (char p : pattern) {
        if (p == '#') {
            const size_t used = ScanInt(token.substr(pos), *numbers++);
            if (used == 0) return false;
            pos += used;
        } else {
            if (pos >= token.size() || token[pos] != p) return false;
            ++pos;
        }
    }
    return true;
}

// The lines that Split will find: runs of bytes between runs of line ends.
size_t CountLines(std::string_view text) {
    size_t lines = 0;
    for (size_t i = 0; i < text.size(); ++i)
        if (!IsLineEnd(text[i]) && (i + 1 == text.size() || IsLineEnd(text[i + 1]))) ++lines;
    return lines;
}

}  // namespace

int ParseLineHead(LogLine& line) {
    size_t cursor = 0;
    int date[3];
    const std::string_view dateToken = NextToken(line.rawText, cursor);
    if (!MatchNumbers(dateToken, "#-#-#", date) || date[1] < 1 || date[1] > 12) return ~int(cursor);
    int time[4];
    const std::string_view timeToken = NextToken(line.rawText, cursor);
    if (!MatchNumbers(timeToken, "#:#:#.#", time)) return ~int(cursor);
    line.logTime =
        LogTimeFromCalendar(date[0], date[1], date[2], time[0], time[1], time[2], time[3]);
    line.eventKeyword = NextToken(line.rawText, cursor);
    line.fieldCursor = cursor;
    return 0;
}

int LineTable::ReadLogFile(const std::string& path) {
    Clear();
    // Without O_NONBLOCK, opening a FIFO would wait for a writer before the check below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ELOOP ? kReadLinkLoop : kReadCannotOpen;
    File file(::fdopen(fd, "rb"));
    if (!file) {
        ::close(fd);
        return kReadCannotOpen;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) return kReadCannotOpen;
    if (!S_ISREG(info.st_mode)) return kReadNotAFile;
    if (uint64_t(info.st_size) > kMaxLogFileSize) return kReadTooLarge;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::string data;
    try {
        // Known size: one allocation (the size is a hint; the loop reads to the end anyway).
        if (info.st_size > 0) data.reserve(size_t(info.st_size));
        char chunk[65536];
        size_t n = 0;
        while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
            // A file still growing, or one that tells no size, is held to the same limit.
            if (n > kMaxLogFileSize - data.size()) return kReadTooLarge;
            data.append(chunk, n);
        }
    } catch (const std::bad_alloc&) {
        return kReadNoMemory;
    } catch (const std::length_error&) {
        return kReadNoMemory;
    }
    if (std::ferror(file.get())) return kReadCannotOpen;
    return ReadLogData(std::move(data));
}

int LineTable::ReadLogData(std::string data) {
    Clear();
    text_ = std::move(data);
    const int status = Split();
    if (status != kReadOk) Clear();
    return status;
}

int LineTable::Split() {
    const std::string_view text = text_;
    // Growing the table step by step as lines come would copy it once per step: work that grows
    // with the square of the line count.
    const size_t steps = std::max<size_t>(1, (CountLines(text) + kGrowthStep - 1) / kGrowthStep);
    try {
        lines_.reserve(steps * kGrowthStep);
    } catch (const std::bad_alloc&) {
        return kReadNoMemory;
    } catch (const std::length_error&) {
        return kReadNoMemory;
    }
    size_t pos = 0;
    // A file is read as long as it has bytes left; a run of line ends of any length and mix
    // separates two lines, so the only empty line there can be is a leading one.
    do {
        size_t end = pos;
        while (end < text.size() && !IsLineEnd(text[end]))
            ++end;
        if (end == pos) return kReadEmptyLine;
        LogLine& line = lines_.emplace_back();
        line.rawText = text.substr(pos, end - pos);
        pos = end;
        while (pos < text.size() && IsLineEnd(text[pos]))
            ++pos;
        if (const int status = ParseLineHead(line); status != 0) return status;
    } while (pos < text.size());
    return kReadOk;
}

void LineTable::Clear() {
    lines_.clear();
    text_.clear();
}

}  // namespace report
