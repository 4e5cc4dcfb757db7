#pragma once

// Temporary files that their process claims while it has them open: it holds an exclusive
// lock on each, which the kernel drops when the process ends, however it ends. A later run can
// so tell the temporaries that a killed run left behind from those of a run still going, and
// remove only the former.

#include <string>
#include <string_view>

#include "platform/posix/unique_fd.h"

namespace platform {

// Creates and claims a new file "<folder>/<prefix>XXXXXX<suffix>" (XXXXXX: six random
// characters), open for writing. Sets `path`; an invalid descriptor with errno set when the
// folder cannot take the file.
UniqueFd CreateClaimedFile(const std::string& folder, const std::string& prefix,
                           const std::string& suffix, std::string& path);

// Removes the regular files in `folder` whose names begin with `prefix` and that no process
// claims. Symbolic links and anything else are left alone.
void RemoveUnclaimedFiles(const std::string& folder, std::string_view prefix);

}  // namespace platform
