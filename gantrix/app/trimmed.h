#pragma once

#include <string>

// The text without the spaces at either end (the HC's fixed-size fields are padded with them).
inline std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}
