#pragma once

#include <string>
#include <vector>

#include "tests/support/subprocess.h"

namespace vt5test {

// Runs a program to its end with its standard output on a pseudo-terminal (output processing
// off, so that the bytes arrive as written) and its standard error on a pipe.
RunResult runOnTerminal(const std::vector<std::string>& argv, int timeoutMs = 120000);

}  // namespace vt5test
