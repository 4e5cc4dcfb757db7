#include "gantrix/report/text_format.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>

namespace report {

std::string FixedText(double value, int decimals) {
    char buffer[400];  // the largest double has 309 digits before the point
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (error != std::errc()) return "nan";
    return std::string(buffer, end);
}

std::string SignedFixedText(double value, int decimals) {
    std::string text = FixedText(value, decimals);
    if (text.front() != '-') text.insert(text.begin(), '+');
    return text;
}

int TruncToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value <= double(INT_MIN)) return INT_MIN;
    if (value >= double(INT_MAX)) return INT_MAX;
    return int(value);
}

std::string HtmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            case '%':
                out += "&#37;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace report
