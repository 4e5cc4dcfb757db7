#include "hcsim/card/host_folder.h"

#include <fcntl.h>

#include <cerrno>

namespace hcsim {

platform::UniqueFd openCardFolder(const std::filesystem::path& root,
                                  const std::vector<std::string>& parts) {
    // The card's folder itself may be reached through a link: the user chose it.
    platform::UniqueFd fd(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (const std::string& part : parts) {
        if (!fd) break;
        if (part.empty() || part == "." || part == ".." || part.find('/') != std::string::npos) {
            errno = EINVAL;
            return platform::UniqueFd();
        }
        fd = openInFolder(fd.get(), part, O_RDONLY | O_DIRECTORY);
    }
    return fd;
}

platform::UniqueFd openInFolder(int folderFd, const std::string& name, int flags, mode_t mode) {
    return platform::UniqueFd(
        ::openat(folderFd, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode));
}

}  // namespace hcsim
