#include "hcsim/card/card_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <set>
#include <tuple>

#include "hcsim/card/pending_file.h"
#include "hcsim/card/short_name.h"

namespace hcsim {

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kMaxFatFile = 0xFFFFFFFFull;

struct HostEntry {
    CardEntry entry;
    timespec modified{};
};

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

// A link is neither a file nor a folder: it is never followed.
bool describe(int folderFd, const std::string& name, HostEntry& host) {
    if (!validLongName(name) || PendingFile::temporaryName(name)) return false;
    struct stat st {};
    if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    CardEntry& e = host.entry;
    e = CardEntry{};
    e.longName = name;
    if (S_ISDIR(st.st_mode)) {
        e.attributes = kAttrDirectory;
    } else if (S_ISREG(st.st_mode)) {
        if (static_cast<uint64_t>(st.st_size) > kMaxFatFile) return false;
        e.attributes = kAttrArchive;
        e.size = static_cast<uint32_t>(st.st_size);
    } else {
        return false;
    }
    if (!(st.st_mode & S_IWUSR)) e.attributes |= kAttrReadOnly;
    if (name[0] == '.') e.attributes |= kAttrHidden;
    auto since = std::chrono::seconds(st.st_mtim.tv_sec);
    e.stamp = fatStamp(std::chrono::system_clock::time_point(since));
    host.modified = st.st_mtim;
    return true;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && upperCase(a) == upperCase(b);
}

}  // namespace

std::vector<CardEntry> CardFolders::list(int folderFd, const fs::path& folder) {
    std::vector<HostEntry> found;
    // A descriptor of its own: reading moves its position.
    int readFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::unique_ptr<DIR, DirCloser> dir(readFd >= 0 ? ::fdopendir(readFd) : nullptr);
    if (!dir && readFd >= 0) ::close(readFd);
    while (dir) {
        const dirent* d = ::readdir(dir.get());
        if (!d) break;
        HostEntry host;
        if (describe(folderFd, d->d_name, host)) found.push_back(std::move(host));
    }
    Names& names = shortNames_[folder];
    // Names of files that are gone are free again.
    std::set<std::string> present;
    for (const HostEntry& h : found)
        present.insert(h.entry.longName);
    std::erase_if(names.order, [&](const std::string& n) { return !present.count(n); });
    std::erase_if(names.byLong, [&](const auto& kv) { return !present.count(kv.first); });

    std::sort(found.begin(), found.end(), [](const HostEntry& a, const HostEntry& b) {
        return std::tie(a.modified.tv_sec, a.modified.tv_nsec, a.entry.longName) <
               std::tie(b.modified.tv_sec, b.modified.tv_nsec, b.entry.longName);
    });
    std::set<std::string> taken;
    for (const auto& [longName, shortName] : names.byLong)
        taken.insert(shortName);
    for (const HostEntry& h : found) {
        const std::string& longName = h.entry.longName;
        if (names.byLong.count(longName)) continue;
        std::string shortName =
            makeShortName(longName, [&](const std::string& n) { return taken.count(n) > 0; });
        taken.insert(shortName);
        names.byLong[longName] = shortName;
        names.order.push_back(longName);
    }

    std::map<std::string, const HostEntry*> byName;
    for (const HostEntry& h : found)
        byName[h.entry.longName] = &h;
    std::vector<CardEntry> entries;
    entries.reserve(found.size());
    for (const std::string& longName : names.order) {
        CardEntry e = byName.at(longName)->entry;
        e.shortName = names.byLong.at(longName);
        entries.push_back(std::move(e));
    }
    return entries;
}

bool CardFolders::find(int folderFd, const fs::path& folder, std::string_view name,
                       CardEntry& entry) {
    // The common case, a name as the folder's listing gave it, costs one look at one entry,
    // not a read of a folder that may hold thousands.
    if (HostEntry host; describe(folderFd, std::string(name), host)) {
        entry = std::move(host.entry);
        auto names = shortNames_.find(folder);
        if (names != shortNames_.end()) {
            auto known = names->second.byLong.find(entry.longName);
            if (known != names->second.byLong.end()) entry.shortName = known->second;
        }
        return true;
    }
    std::vector<CardEntry> entries = list(folderFd, folder);
    auto pick = [&](auto matches) {
        auto it = std::find_if(entries.begin(), entries.end(), matches);
        if (it == entries.end()) return false;
        entry = *it;
        return true;
    };
    return pick([&](const CardEntry& e) { return e.longName == name; }) ||
           pick([&](const CardEntry& e) { return sameIgnoringCase(e.longName, name); }) ||
           pick([&](const CardEntry& e) { return sameIgnoringCase(e.shortName, name); });
}

}  // namespace hcsim
