#pragma once

#include <filesystem>
#include <optional>

#include "starloom/emulation/emulation_loop.h"
#include "tools/cli/command_line.h"

namespace emulate {

// What vt5-emulate runs: Starloom's model settings, how long, and what it prints.
struct Options {
    starloom::EmulationSettings settings;
    double seconds = 0.0;  // 0: until interrupted
    std::filesystem::path seeingFile = starloom::EmulationLoop::kSeeingFile;
    bool trace = false;
};

// The command line of vt5-emulate (program name, options, help text).
cli::CommandLine MakeCommandLine();

// The options of a parsed command line; nothing (the reason on standard error) for a bad
// value.
std::optional<Options> ReadOptions(const cli::CommandLine& line);

}  // namespace emulate
