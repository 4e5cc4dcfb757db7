#pragma once

#include <string>

namespace common {

// printf into a std::string. Integer and string conversions only where the text must not
// depend on the process locale (floating-point conversions follow it).
std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace common
