#include "panelcast/frame_rate.h"

#include <cerrno>
#include <cstdlib>

std::optional<int> ParseFrameRate(const std::string& text) {
    // strtol reads what "%d" reads, and says so when the number does not fit.
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    long rate = std::strtol(start, &end, 10);
    if (end == start || rate < kMinFrameRate) return std::nullopt;
    return rate > kMaxFrameRate || errno == ERANGE ? kMaxFrameRate : static_cast<int>(rate);
}
