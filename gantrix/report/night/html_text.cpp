#include "gantrix/report/night/html_text.h"

#include <cstdarg>
#include <cstdio>

#include "gantrix/report/log_time.h"
#include "gantrix/report/text_format.h"

namespace report::night {

std::string Escaped(std::string_view text) {
    return HtmlText(text);
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(size_t(n > 0 ? n : 0), '\0');
    if (n > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    return text;
}

std::string Fixed(const std::optional<double>& value, int decimals) {
    if (!value) return "&ndash;";
    return Format("%.*f", decimals, *value);
}

std::string ClockText(long long logTime) {
    const Calendar c = CalendarFromLogTime(logTime);
    return Format("%02d:%02d:%02d", c.hour, c.minute, c.second);
}

std::string DateText(long long logTime) {
    const Calendar c = CalendarFromLogTime(logTime);
    return Format("%04d-%02d-%02d", c.year, c.month, c.day);
}

}  // namespace report::night
