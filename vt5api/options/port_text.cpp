#include "vt5api/options/port_text.h"

#include <algorithm>
#include <cctype>
#include <limits>

std::optional<int64_t> ScanDecimal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return {};
    constexpr int64_t kLimit = int64_t(std::numeric_limits<int32_t>::max()) + 1;
    int64_t value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        value = std::min(kLimit, value * 10 + (text[i] - '0'));
    if (negative) return -value;
    return std::min<int64_t>(value, kLimit - 1);
}

int32_t ClampedPort(std::string_view text) {
    std::optional<int64_t> value = ScanDecimal(text);
    if (!value) return 0;
    return static_cast<int32_t>(std::clamp<int64_t>(*value, 0, 65535));
}
