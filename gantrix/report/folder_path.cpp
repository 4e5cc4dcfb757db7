#include "gantrix/report/folder_path.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

namespace report {

namespace {

constexpr size_t kUniqueIdLength = 15;

}  // namespace

bool IsUniqueIdFolder(const std::string& name) {
    return name.size() == kUniqueIdLength &&
           std::none_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

int CreateFolderPath(const std::string& path) {
    if (path.empty()) return -2;
    const size_t last = path.find_last_not_of('/');
    if (last == std::string::npos) return 0;  // the root
    const std::string folder = path.substr(0, last + 1);

    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : -1;
    if (errno != ENOENT) return -1;

    // A relative name without a parent lives in the current folder, which exists.
    const size_t slash = folder.rfind('/');
    if (slash != std::string::npos) {
        const int status = CreateFolderPath(slash == 0 ? "/" : folder.substr(0, slash));
        if (status != 0) return status;
    }
    if (::mkdir(folder.c_str(), 0777) == 0) return 0;
    // Somebody else may just have made it.
    if (errno == EEXIST && ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return 0;
    return -3;
}

std::string ReportBaseName(const std::string& logPath) {
    const std::string name = std::filesystem::path(logPath).filename().string();
    return name.substr(0, name.find(".txt"));
}

std::string AnchorFolder(const std::string& logPath) {
    std::filesystem::path folder = std::filesystem::path(logPath).parent_path();
    if (folder.empty()) return ".";
    for (;;) {
        const std::filesystem::path parent = folder.parent_path();
        // The last component is the whole remaining path.
        if (parent.empty() || parent == folder) break;
        if (IsUniqueIdFolder(folder.filename().string())) break;
        folder = parent;
    }
    return folder.string();
}

std::string ReportFolderFor(const std::string& logPath) {
    return (std::filesystem::path(AnchorFolder(logPath)) / "Processed" / ReportBaseName(logPath))
        .string();
}

}  // namespace report
