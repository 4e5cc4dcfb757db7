#pragma once

#include <cstddef>
#include <string_view>

namespace report {

// Number conversions of log text, as the C library's "%d" and "%f" read them (leading white
// space skipped, an optional sign, as many characters as form a number, the rest left), but
// independent of the process locale. Each returns the characters consumed, 0 when no number.
size_t ScanInt(std::string_view text, int& value);
size_t ScanFloat(std::string_view text, float& value);

}  // namespace report
