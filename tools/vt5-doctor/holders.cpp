#include "tools/vt5-doctor/holders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace doctor {

std::vector<std::string> ProcessesHolding(const std::string& devNode) {
    namespace fs = std::filesystem;
    std::vector<std::string> found;
    struct stat node {};
    if (::stat(devNode.c_str(), &node) != 0) return found;
    std::error_code ec;
    std::string self = std::to_string(::getpid());
    for (const auto& proc : fs::directory_iterator("/proc", ec)) {
        std::string pid = proc.path().filename().string();
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
        if (pid == self) continue;
        std::error_code fdError;
        for (const auto& fd : fs::directory_iterator(proc.path() / "fd", fdError)) {
            // The same file, also where /dev is not the system's own (containers, test beds).
            struct stat open {};
            if (::stat(fd.path().c_str(), &open) != 0 || open.st_dev != node.st_dev ||
                open.st_ino != node.st_ino)
                continue;
            std::string name;
            std::getline(std::ifstream(proc.path() / "comm"), name);
            found.push_back((name.empty() ? "a process" : name) + " (pid " + pid + ")");
            break;
        }
    }
    return found;
}

}  // namespace doctor
