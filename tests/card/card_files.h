#pragma once

// Host files behind a simulated SD card, for tests.

#include <chrono>
#include <filesystem>
#include <string>

namespace vt5test {

using SysTime = std::chrono::system_clock::time_point;

// A UTC time of day.
SysTime utc(int year, unsigned month, unsigned day, int hour, int minute, int second);

// Writes `content` to path (creating its folders) with `modified` as its modification time.
void writeHostFile(const std::filesystem::path& path, const std::string& content,
                   SysTime modified = utc(2024, 3, 7, 21, 15, 32));
std::string readHostFile(const std::filesystem::path& path);
void setModified(const std::filesystem::path& path, SysTime modified);
// Names in the folder, sorted; hidden ones too.
std::string folderNames(const std::filesystem::path& folder);

}  // namespace vt5test
