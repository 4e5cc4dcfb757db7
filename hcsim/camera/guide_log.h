#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>

namespace hcsim::camera {

// The guiding log on the HC's SD card: one text file per emulation session in the card's
// LOGS folder, named vt5_log_<date>_<n>.txt, one line per event:
//   <YYYY-MM-DD> TAB <HH:MM:SS.mmm> TAB <keyword> [TAB <field>]... CR LF
// with the time of day of the HC's clock (UTC). Every line is flushed as it is written, so a
// log read while the HC runs is complete up to its last line.
class GuideLog {
public:
    static constexpr const char* kFolder = "LOGS";
    static constexpr int kMaxLogsPerDay = 999;

    // The time of day at which the HC's millisecond clock stood at 0.
    void setClockOrigin(std::chrono::system_clock::time_point atZero) { origin_ = atZero; }

    // Opens a new log on the card behind `cardDir`; false with the reason when there is no
    // card or the log cannot be made.
    bool open(const std::filesystem::path& cardDir, int64_t hcMs, std::string& error);
    bool isOpen() const { return file_.is_open(); }
    // The log being written, or the last one.
    const std::filesystem::path& path() const { return path_; }
    // Lines written to the current log, and whether writing has failed (card full or gone:
    // the log is then closed).
    int64_t lines() const { return lines_; }
    const std::string& error() const { return error_; }

    void write(int64_t hcMs, std::string_view keyword,
               std::initializer_list<std::string_view> fields = {});
    void close();

    // "2024-03-07\t21:04:10.250" for the HC's clock at hcMs.
    std::string timeStamp(int64_t hcMs) const;

private:
    std::chrono::system_clock::time_point origin_ = std::chrono::system_clock::now();
    std::ofstream file_;
    std::filesystem::path path_;
    int64_t lines_ = 0;
    std::string error_;
};

// A number with a fixed count of decimals, as the log writes it.
std::string fixed(double value, int decimals);

}  // namespace hcsim::camera
