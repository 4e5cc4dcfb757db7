#pragma once

#include <string>
#include <string_view>

#include "common/text_printf.h"

// Text formatting for report pages that does not depend on the process locale (a desktop
// program runs with the user's, which may write 1,50 for 1.50).
namespace report {

// printf for integer and string conversions only (these ignore the locale).
using common::Printf;

// "%.<decimals>f" and "%+.<decimals>f".
std::string FixedText(double value, int decimals);
std::string SignedFixedText(double value, int decimals);

// value truncated toward zero into an int; 0 for NaN, the nearest end beyond the range.
int TruncToInt(double value);

// Text from a log or a file name made safe to stand in a page: markup characters as character
// references, and '%' too, so that it cannot form a template placeholder.
std::string HtmlText(std::string_view text);

}  // namespace report
