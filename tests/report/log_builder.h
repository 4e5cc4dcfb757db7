#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

#include "gantrix/report/interpret.h"
#include "gantrix/report/line_table.h"

namespace report::testing {

// Builds guiding log text as the HC writes it: date, time, keyword and fields separated by TAB,
// times in milliseconds after 2021-03-07 21:00:00.000 unless a line gives its own.
class LogBuilder {
public:
    // keywordAndFields: "CAM FRAME\t1\t2\t2.5\t80".
    LogBuilder& At(int64_t ms, std::string_view keywordAndFields) {
        const int64_t t = 21 * 3600000LL + ms;
        char stamp[64];
        std::snprintf(stamp, sizeof stamp, "2021-03-07\t%02d:%02d:%02d.%03d\t",
                      int(t / 3600000 % 24), int(t / 60000 % 60), int(t / 1000 % 60),
                      int(t % 1000));
        text_ += stamp;
        text_ += keywordAndFields;
        text_ += "\r\n";
        return *this;
    }

    // The usual start: LOG START, CAM CONN, CAM BIN 2, calibration with DEC, AG START at 500 mm.
    LogBuilder& Start(std::string_view calibration = "1\t0\t2\t0\t1\t2") {
        At(0, "LOG START\tA1B2C3D4E5F6G7H\t0007\t2.14");
        At(10, "CAM CONN\tVC5-0012A3F1\t1288x968\t12bit");
        At(20, "CAM BIN\t2");
        At(30, "CALIB RESULT\t" + std::string(calibration));
        At(40, "AG START\tRA+DEC\t0.70\t0.10\t0.15\t0.60\t0.20\t500.0");
        return *this;
    }

    // A guided exposure from start to end (ms) with a star frame every step ms.
    LogBuilder& Exposure(int64_t start, int64_t end, int64_t step = 1000) {
        At(start, "EXPO STATE\tEXPO\t300");
        for (int64_t t = start + 100; t < end; t += step) {
            At(t, "CAM FRAME\t1\t1500\t2.5\t80");
            At(t + 10, "AG DRIFT\t0.25\t-0.1");
        }
        At(end, "EXPO STATE\tIDLE\t0");
        return *this;
    }

    LogBuilder& Raw(std::string_view text) {
        text_ += text;
        return *this;
    }

    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

// `count` lines of the shortest kind a log holds, "2021-3-7<TAB>1:2:3.N<TAB>keyword" with N
// counting 0 to 999 over and over, for the reading of very long logs.
inline std::string ShortLines(size_t count, std::string_view keyword) {
    std::string text;
    text.reserve(count * (20 + keyword.size()));
    for (size_t i = 0; i < count; ++i) {
        text += "2021-3-7\t1:2:3.";
        text += std::to_string(i % 1000);
        text += '\t';
        text += keyword;
        text += '\n';
    }
    return text;
}

// Reads and interprets log text; the state of the walk, ok telling whether it succeeded.
struct Interpreted {
    LineTable lines;
    LogState state;
    int readStatus = 0;
    bool ok = false;

    explicit Interpreted(const std::string& text) {
        readStatus = lines.ReadLogData(text);
        ok = readStatus == 0 && Interpret(lines, state);
    }
};

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("vt5-report-test-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

    // Writes a file (and its folders) under the folder; returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::filesystem::path file = path_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
        return file.string();
    }

private:
    std::filesystem::path path_;
};

inline std::string ReadFileText(const std::filesystem::path& path) {
    std::string text;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return text;
    char buffer[65536];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    std::fclose(file);
    return text;
}

}  // namespace report::testing
