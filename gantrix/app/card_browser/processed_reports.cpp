#include "gantrix/app/card_browser/processed_reports.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "gantrix/app/card_browser/fsys_texts.h"
#include "gantrix/report/folder_path.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kFirstPage = "guiexpo_1.html";

// The folders directly in `folder` (following links), by name; none when it cannot be read.
std::vector<fs::path> SubFolders(const fs::path& folder) {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (it->is_directory(ignored)) found.push_back(it->path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

bool IsHidden(const fs::path& path) {
    return path.filename().string().front() == '.';
}

}  // namespace

std::vector<UidFolder> FindProcessedReports(const std::string& myFolder) {
    std::vector<UidFolder> folders;
    for (const fs::path& candidate : SubFolders(myFolder.empty() ? "." : myFolder)) {
        const std::string name = candidate.filename().string();
        if (!report::IsUniqueIdFolder(name)) continue;
        UidFolder uid{name, {}, {}};
        for (const fs::path& reportFolder : SubFolders(candidate / "Processed")) {
            std::error_code ignored;
            const fs::path page = reportFolder / kFirstPage;
            if (IsHidden(reportFolder) || !fs::is_regular_file(page, ignored)) continue;
            uid.reports.push_back(
                {reportFolder.filename().string(), kReportTypeGuided, page.string()});
        }
        std::error_code ignored;
        const fs::path index = candidate / "Processed" / "index.html";
        if (fs::is_regular_file(index, ignored)) uid.nightsIndex = index.string();
        folders.push_back(std::move(uid));
    }
    return folders;
}
