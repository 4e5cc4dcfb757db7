#include "platform/registry/utf16.h"

#include <cstdint>

namespace platform::registry {

namespace {

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length of the strict UTF-8 sequence at the front of s with its code point, or 0 when s does
// not start with one (stray continuation byte, overlong form, surrogate, beyond U+10FFFF).
std::size_t decodeUtf8(std::string_view s, char32_t& cp) {
    const auto c0 = static_cast<unsigned char>(s[0]);
    if (c0 < 0x80) {
        cp = c0;
        return 1;
    }
    // Lead byte: sequence length, its payload bits, and the smallest code point it may carry.
    std::size_t len = 0;
    char32_t min = 0;
    if ((c0 & 0xE0) == 0xC0) {
        len = 2;
        cp = c0 & 0x1F;
        min = 0x80;
    } else if ((c0 & 0xF0) == 0xE0) {
        len = 3;
        cp = c0 & 0x0F;
        min = 0x800;
    } else if ((c0 & 0xF8) == 0xF0) {
        len = 4;
        cp = c0 & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (s.size() < len) return 0;
    for (std::size_t i = 1; i < len; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (!isContinuation(c)) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

std::u16string toUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        char32_t cp = 0;
        std::size_t len = decodeUtf8(bytes, cp);
        if (len == 0) {
            out += static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes[0]));
            len = 1;
        } else if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        bytes.remove_prefix(len);
    }
    return out;
}

std::string fromUtf16(std::u16string_view units) {
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (isHighSurrogate(u) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
            appendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            out += static_cast<char>(u - 0xDC00);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

}  // namespace platform::registry
