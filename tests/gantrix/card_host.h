#pragma once

// The host folder behind a simulated HC's SD card, and local files, for the browser's tests.

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vt5test {

// Seconds since 1970 of a UTC time, for file times.
inline std::time_t UtcSeconds(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return timegm(&t);
}

// Writes a file (and its folders) with `modified` (seconds since 1970, UTC) as its time.
inline void WriteHostFile(const std::filesystem::path& path, const std::string& content,
                          std::time_t modified = UtcSeconds(2024, 3, 7, 21, 15, 32)) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    const timespec times[2] = {{modified, 0}, {modified, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

inline std::string ReadHostFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

inline std::time_t ModifiedAt(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mtim.tv_sec : 0;
}

// A recognisable pattern of n bytes.
inline std::string Pattern(size_t n, unsigned seed = 1) {
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; ++i)
        bytes[i] = char((i * 131 + seed * 17 + i / 4096) & 0xFF);
    return bytes;
}

// Every name in the folder and below it, hidden ones too, sorted, as "a a/b c".
inline std::string Tree(const std::filesystem::path& folder) {
    std::vector<std::string> found;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        found.push_back(std::filesystem::relative(it->path(), folder).string());
    }
    std::sort(found.begin(), found.end());
    std::string names;
    for (const std::string& name : found)
        names += (names.empty() ? "" : " ") + name;
    return names;
}

}  // namespace vt5test
