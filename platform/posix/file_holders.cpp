#include "platform/posix/file_holders.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

namespace platform {
namespace {

namespace fs = std::filesystem;

// Every process under `proc` with a descriptor for which `held` is true, each once.
std::vector<FileHolder> Walk(const std::string& proc,
                             const std::function<bool(const fs::path& fd)>& held) {
    std::vector<FileHolder> found;
    std::error_code error;
    for (const fs::directory_entry& process : fs::directory_iterator(proc, error)) {
        const std::string pid = process.path().filename().string();
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
        std::error_code fdError;  // another user's process, or one that just ended
        for (const fs::directory_entry& fd :
             fs::directory_iterator(process.path() / "fd", fdError)) {
            if (!held(fd.path())) continue;
            FileHolder holder;
            holder.pid = std::atoi(pid.c_str());
            std::getline(std::ifstream(process.path() / "comm"), holder.name);
            found.push_back(std::move(holder));
            break;
        }
    }
    return found;
}

}  // namespace

std::vector<FileHolder> ProcessesHoldingFile(const std::string& path, const std::string& proc) {
    struct stat file {};
    if (::stat(path.c_str(), &file) != 0) return {};
    return Walk(proc, [&](const fs::path& fd) {
        struct stat open {};
        return ::stat(fd.c_str(), &open) == 0 && open.st_dev == file.st_dev &&
               open.st_ino == file.st_ino;
    });
}

std::vector<FileHolder> ProcessesHoldingSocket(const std::set<std::string>& inodes,
                                               const std::string& proc) {
    if (inodes.empty()) return {};
    return Walk(proc, [&](const fs::path& fd) {
        std::error_code error;
        const std::string target = fs::read_symlink(fd, error).string();
        // "socket:[12345]"
        if (error || target.rfind("socket:[", 0) != 0 || target.back() != ']') return false;
        return inodes.count(target.substr(8, target.size() - 9)) > 0;
    });
}

}  // namespace platform
