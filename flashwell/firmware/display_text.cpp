#include "flashwell/firmware/display_text.h"

#include <cstdint>

namespace {

// The length of the UTF-8 sequence at s[i], or 0 when there is none.
size_t Utf8Sequence(std::string_view s, size_t i) {
    const auto b = static_cast<uint8_t>(s[i]);
    size_t n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<uint8_t>(s[i + k]) >> 6) != 0x2) return 0;
    return n;
}

bool IsUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        size_t n = Utf8Sequence(s, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

}  // namespace

std::string DisplayText(std::string_view bytes) {
    if (IsUtf8(bytes)) return std::string(bytes);
    std::string out;
    for (char c : bytes) {
        const auto b = static_cast<uint8_t>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | b >> 6);
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}
