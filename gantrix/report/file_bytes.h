#pragma once

#include <string>

namespace report {

// Writes bytes to a new file (replacing one of that name); false when it cannot be created or
// written completely.
bool WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace report
