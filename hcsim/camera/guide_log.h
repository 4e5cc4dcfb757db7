#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/clock/clock.h"

namespace hcsim {
class SdCard;
}

namespace hcsim::camera {

// The guiding log on the HC's SD card: one text file per emulation session in the card's
// LOGS folder, named vt5_log_<date>_<n>.txt (the first number free that day), one line per
// event:
//   <YYYY-MM-DD> TAB <HH:MM:SS.mmm> TAB <keyword> [TAB <field>]... CR LF
// stamped with the HC's clock (UTC). Each line goes onto the card as it is written, so a log
// read while the HC runs is complete up to its last line. A card that fails or leaves the
// slot ends the log; error() says why.
class GuideLog {
public:
    static constexpr const char* kFolder = "LOGS";
    static constexpr int kMaxLogsPerDay = 999;

    // What the HC's millisecond clock stands for on the suite's clock.
    void setClock(std::function<platform::TimePoint(int64_t)> clock) { clock_ = std::move(clock); }

    // Opens a new log on `card` (none: no card in the HC); `cardFolder` is the host folder
    // behind it, where the log can be found. False with the reason when no log can be made.
    bool open(SdCard* card, const std::filesystem::path& cardFolder, int64_t hcMs,
              std::string& error);
    bool isOpen() const { return file_ != 0; }
    // The host file of the log being written, or of the last one.
    const std::filesystem::path& path() const { return path_; }
    int64_t lines() const { return lines_; }
    const std::string& error() const { return error_; }

    void write(int64_t hcMs, std::string_view keyword,
               std::initializer_list<std::string_view> fields = {});
    void close(int64_t hcMs);

private:
    platform::TimePoint at(int64_t hcMs) const;

    std::function<platform::TimePoint(int64_t)> clock_;
    SdCard* card_ = nullptr;
    int file_ = 0;  // the card's handle; 0: none open
    std::filesystem::path path_;
    int64_t lines_ = 0;
    std::string error_;
};

// "2024-03-07\t21:04:10.250": the date and time fields of a log line.
std::string logTimeStamp(std::chrono::system_clock::time_point t);
// A number with a fixed count of decimals, as the log writes it.
std::string fixed(double value, int decimals);

}  // namespace hcsim::camera
