#include "gantrix/report/report_files.h"

#include <filesystem>
#include <system_error>

namespace report {

namespace fs = std::filesystem;

std::string PageFileName(int k) {
    return "guiexpo_" + std::to_string(k) + ".html";
}

bool IsNumberedName(std::string_view name, std::string_view prefix, std::string_view suffix) {
    if (name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) ||
        !name.ends_with(suffix)) {
        return false;
    }
    const std::string_view number =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (number.front() == '0') return false;
    for (char c : number) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

bool IsPageFileName(std::string_view name) {
    return IsNumberedName(name, "guiexpo_", ".html");
}

bool RemoveFilesNotWritten(const std::string& folder,
                           const std::function<bool(std::string_view)>& isOwn,
                           const std::set<std::string>& kept) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return false;
    bool removedAll = true;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!isOwn(name) || kept.count(name) != 0) continue;
        // Only plain files: a folder or link of that name is not the report's doing.
        if (!it->is_regular_file(ec) || it->is_symlink(ec)) continue;
        if (!fs::remove(it->path(), ec) || ec) removedAll = false;
    }
    return removedAll && !ec;
}

}  // namespace report
