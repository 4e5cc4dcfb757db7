#pragma once

#include <functional>
#include <set>
#include <string>
#include <string_view>

namespace report {

// The page of exposure k (1-based) in the report folder: "guiexpo_<k>.html".
std::string PageFileName(int k);

// True for a name the report gives its pages ("guiexpo_<k>.html", k as written: no sign, no
// leading zero).
bool IsPageFileName(std::string_view name);

// True for name == prefix + a page number as written + suffix.
bool IsNumberedName(std::string_view name, std::string_view prefix, std::string_view suffix);

// Removes the regular files of folder whose name isOwn accepts and which are not in kept, so
// that a report written again over an older one leaves none of the older pages or images
// behind. Anything else in the folder stays. False when one of them could not be removed.
bool RemoveFilesNotWritten(const std::string& folder,
                           const std::function<bool(std::string_view)>& isOwn,
                           const std::set<std::string>& kept);

}  // namespace report
