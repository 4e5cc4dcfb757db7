#include "gantrix/report/scan_number.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>

namespace report {

namespace {

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// What "%f" gives for a number beyond single precision: infinity, or zero when it is tiny.
float OutOfRange(const char* first, const char* end) {
    double wide = 0.0;
    const auto [wideEnd, error] = std::from_chars(first, end, wide);
    bool tiny = false;
    if (error == std::errc()) {
        tiny = std::fabs(wide) < 1.0;
    } else {
        const std::string_view number(first, size_t(end - first));
        const size_t e = number.find_first_of("eE");
        tiny = e != std::string_view::npos && e + 1 < number.size() && number[e + 1] == '-';
    }
    const float magnitude = tiny ? 0.0f : HUGE_VALF;
    return *first == '-' ? -magnitude : magnitude;
}

size_t SkipSpace(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    return i;
}

}  // namespace

size_t ScanInt(std::string_view text, int& value) {
    size_t i = SkipSpace(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const size_t digits = i;
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        // Saturate: a run of digits too long for an int is still one number.
        if (magnitude <= int64_t(INT_MAX) + 1) magnitude = magnitude * 10 + (text[i] - '0');
    }
    if (i == digits) return 0;
    const int64_t signedValue = negative ? -magnitude : magnitude;
    value = int(signedValue < INT_MIN ? INT_MIN : signedValue > INT_MAX ? INT_MAX : signedValue);
    return i;
}

size_t ScanFloat(std::string_view text, float& value) {
    size_t i = SkipSpace(text);
    // from_chars takes a minus sign but not a plus sign.
    if (i + 1 < text.size() && text[i] == '+' && text[i + 1] != '-') ++i;
    float parsed = 0.0f;
    const char* first = text.data() + i;
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), parsed);
    if (end == first) return 0;
    if (error == std::errc::result_out_of_range) parsed = OutOfRange(first, end);
    value = parsed;
    return size_t(end - text.data());
}

}  // namespace report
