#pragma once

#include <atomic>
#include <cstdio>
#include <string>

#include "starloom/emulation/emulation_loop.h"
#include "tools/cli/command_line.h"
#include "tools/vt5-emulate/emulate_options.h"

namespace emulate {

// "RA+ DEC-", or "none".
std::string OutputsText(unsigned outputs);
// The line printed for a frame request answered.
std::string FrameLine(const starloom::FrameSent& frame);

// Runs Starloom's emulation step every 5 ms against the open API context for the options'
// seconds, or until `stop` is set: frames and the closing summary go to `out`, messages to
// standard error. Switches the HC's emulation off at the end. Returns the exit status: 0 done,
// 1 after an error (reported).
int Run(const cli::CommandLine& line, const Options& options, CVT5Api& api,
        const std::atomic<bool>& stop, std::FILE* out);

}  // namespace emulate
