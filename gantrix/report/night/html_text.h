#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace report::night {

// Text for HTML: &, <, > and " escaped.
std::string Escaped(std::string_view text);

// printf into a string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "%.2f" of the value, or an en dash for none.
std::string Fixed(const std::optional<double>& value, int decimals = 2);

// "21:05:33" of a log time's clock.
std::string ClockText(long long logTime);
// "2021-03-07" of a log time's date.
std::string DateText(long long logTime);

}  // namespace report::night
