#include "hcsim/camera/guide_log.h"

#include <cstdio>
#include <ctime>
#include <system_error>

namespace hcsim::camera {
namespace {

std::tm calendar(std::chrono::system_clock::time_point t, int& millisecond) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(t.time_since_epoch()).count();
    auto seconds = static_cast<std::time_t>(ms / 1000);
    millisecond = static_cast<int>(ms % 1000);
    if (millisecond < 0) {
        millisecond += 1000;
        --seconds;
    }
    std::tm out{};
    gmtime_r(&seconds, &out);
    return out;
}

}  // namespace

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string GuideLog::timeStamp(int64_t hcMs) const {
    int ms = 0;
    std::tm c = calendar(origin_ + std::chrono::milliseconds(hcMs), ms);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d\t%02d:%02d:%02d.%03d", c.tm_year + 1900,
                  c.tm_mon + 1, c.tm_mday, c.tm_hour, c.tm_min, c.tm_sec, ms);
    return text;
}

bool GuideLog::open(const std::filesystem::path& cardDir, int64_t hcMs, std::string& error) {
    close();
    error_.clear();
    if (cardDir.empty()) {
        error = "no SD card";
        return false;
    }
    std::error_code ec;
    const std::filesystem::path folder = cardDir / kFolder;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = "cannot make " + folder.string() + ": " + ec.message();
        return false;
    }
    int ms = 0;
    std::tm c = calendar(origin_ + std::chrono::milliseconds(hcMs), ms);
    for (int n = 1; n <= kMaxLogsPerDay; ++n) {
        char name[64];
        std::snprintf(name, sizeof name, "vt5_log_%04d%02d%02d_%03d.txt", c.tm_year + 1900,
                      c.tm_mon + 1, c.tm_mday, n);
        std::filesystem::path candidate = folder / name;
        if (std::filesystem::exists(candidate, ec)) continue;
        file_.open(candidate, std::ios::binary | std::ios::out);
        if (!file_) {
            error = "cannot write " + candidate.string();
            return false;
        }
        path_ = candidate;
        lines_ = 0;
        return true;
    }
    error = "the card holds " + std::to_string(kMaxLogsPerDay) + " logs of this day already";
    return false;
}

void GuideLog::write(int64_t hcMs, std::string_view keyword,
                     std::initializer_list<std::string_view> fields) {
    if (!file_.is_open()) return;
    std::string line = timeStamp(hcMs);
    line += '\t';
    line += keyword;
    for (std::string_view f : fields) {
        line += '\t';
        line += f;
    }
    line += "\r\n";
    file_ << line << std::flush;
    if (!file_) {
        error_ = "writing " + path_.string() + " failed";
        file_.close();
        return;
    }
    ++lines_;
}

void GuideLog::close() {
    if (file_.is_open()) file_.close();
}

}  // namespace hcsim::camera
