#include "hcsim/camera/guide_log.h"

#include <cctype>
#include <cstdio>
#include <ctime>
#include <system_error>

#include "hcsim/card/sd_card.h"

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

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The entry of `folder` named `name` as the card compares names (without regard to case);
// empty when there is none.
std::filesystem::path entry(const std::filesystem::path& folder, const std::string& name) {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        if (sameName(e.path().filename().string(), name)) return e.path();
    return {};
}

}  // namespace

std::string logTimeStamp(std::chrono::system_clock::time_point t) {
    int ms = 0;
    std::tm c = calendar(t, ms);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d\t%02d:%02d:%02d.%03d", c.tm_year + 1900,
                  c.tm_mon + 1, c.tm_mday, c.tm_hour, c.tm_min, c.tm_sec, ms);
    return text;
}

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

platform::TimePoint GuideLog::at(int64_t hcMs) const {
    return clock_ ? clock_(hcMs) : platform::TimePoint(std::chrono::milliseconds(hcMs));
}

bool GuideLog::open(SdCard* card, const std::filesystem::path& cardFolder, int64_t hcMs,
                    std::string& error) {
    close(hcMs);
    error_.clear();
    if (!card || !card->inserted()) {
        error = "no SD card";
        return false;
    }
    int ms = 0;
    std::tm c = calendar(card->wallTime(at(hcMs)), ms);
    const std::filesystem::path logs = entry(cardFolder, kFolder);
    for (int n = 1; n <= kMaxLogsPerDay; ++n) {
        char name[64];
        std::snprintf(name, sizeof name, "vt5_log_%04d%02d%02d_%03d.txt", c.tm_year + 1900,
                      c.tm_mon + 1, c.tm_mday, n);
        if (!logs.empty() && !entry(logs, name).empty()) continue;
        int file = 0;
        const CardStatus status =
            card->createFile(std::string("/") + kFolder, name, at(hcMs), file);
        if (status != kCardOk) {
            error = "the card refused the log (file system status " + std::to_string(status) + ")";
            return false;
        }
        card_ = card;
        file_ = file;
        const std::filesystem::path folder = entry(cardFolder, kFolder);
        path_ = (folder.empty() ? cardFolder / kFolder : folder) / name;
        lines_ = 0;
        return true;
    }
    error = "the card holds " + std::to_string(kMaxLogsPerDay) + " logs of this day already";
    return false;
}

void GuideLog::write(int64_t hcMs, std::string_view keyword,
                     std::initializer_list<std::string_view> fields) {
    if (!file_) return;
    std::string line = logTimeStamp(card_->wallTime(at(hcMs)));
    line += '\t';
    line += keyword;
    for (std::string_view f : fields) {
        line += '\t';
        line += f;
    }
    line += "\r\n";
    const CardStatus status = card_->append(file_, line.data(), line.size(), at(hcMs));
    if (status != kCardOk) {
        error_ = "writing the log failed (file system status " + std::to_string(status) + ")";
        file_ = 0;  // the card has dropped it, or will with the next restart
        return;
    }
    ++lines_;
}

void GuideLog::close(int64_t hcMs) {
    if (!file_) return;
    card_->closeFile(file_, at(hcMs));
    file_ = 0;
}

}  // namespace hcsim::camera
