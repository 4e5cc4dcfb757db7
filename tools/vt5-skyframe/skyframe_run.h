#pragma once

#include <ostream>

#include "tools/vt5-skyframe/skyframe_options.h"

namespace skyframe {

// Renders the frames as Starloom would for an HC that requests them with these settings,
// writes them into the output folder and reports on out; failures go to err. Returns the exit
// code: 0 done, 1 a file could not be written or read.
int Run(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace skyframe
