#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/unique_fd.h"

namespace hcsim {

// Opens a folder below the card's host folder `root` by its names, one name at a time and
// never through a symbolic link, so that nothing the card reaches lies outside `root` (a FAT
// card has no links: one in the host folder is no entry of the card). An invalid descriptor
// with errno set when a part is missing, no folder, or a link.
platform::UniqueFd openCardFolder(const std::filesystem::path& root,
                                  const std::vector<std::string>& parts);

// Opens `name` in the folder `folderFd` without following a link; `flags` as for open(2).
platform::UniqueFd openInFolder(int folderFd, const std::string& name, int flags, mode_t mode = 0);

}  // namespace hcsim
