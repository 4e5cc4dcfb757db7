#include "tools/vt5-doctor/holders.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace doctor {

std::vector<std::string> ProcessesHolding(const std::string& devNode) {
    namespace fs = std::filesystem;
    std::vector<std::string> found;
    std::error_code ec;
    std::string self = std::to_string(::getpid());
    for (const auto& proc : fs::directory_iterator("/proc", ec)) {
        std::string pid = proc.path().filename().string();
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
        if (pid == self) continue;
        std::error_code fdError;
        for (const auto& fd : fs::directory_iterator(proc.path() / "fd", fdError)) {
            std::error_code linkError;
            std::string target = fs::read_symlink(fd.path(), linkError).string();
            // A sandboxed /dev (containers, test beds) keeps the device file's name at the end.
            if (linkError || target.size() < devNode.size() ||
                target.compare(target.size() - devNode.size(), devNode.size(), devNode) != 0)
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
