#include "hcsim/card/sd_card.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "hcsim/card/host_folder.h"
#include "hcsim/card/host_io.h"
#include "hcsim/card/short_name.h"

namespace hcsim {

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kMaxFatFile = 0xFFFFFFFFull;

bool separator(char c) {
    return c == '/' || c == '\\';
}

std::vector<std::string> splitPath(std::string_view path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (separator(c)) {
            if (!part.empty()) parts.push_back(std::move(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(std::move(part));
    return parts;
}

// The FAT stamp of `name` in the folder ("." for the folder itself).
FatStamp stampOf(int folderFd, const char* name) {
    struct stat st {};
    if (::fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return {};
    return fatStamp(std::chrono::system_clock::time_point(std::chrono::seconds(st.st_mtim.tv_sec)));
}

CardEntry folderEntry(const char* name, FatStamp stamp) {
    CardEntry e;
    e.longName = name;
    e.shortName = name;
    e.attributes = kAttrDirectory;
    e.stamp = stamp;
    return e;
}

CardStatus writeError(int error) {
    return error == ENOSPC || error == EDQUOT ? kCardFull : kCardDiskError;
}

}  // namespace

SdCard::SdCard(fs::path folder)
    : folder_(std::move(folder)),
      present_(!folder_.empty()),
      wallOrigin_(std::chrono::system_clock::now()),
      clockOrigin_(platform::now()) {}

SdCard::~SdCard() = default;

std::chrono::system_clock::time_point SdCard::wallTime(TimePoint at) const {
    return wallOrigin_ +
           std::chrono::duration_cast<std::chrono::system_clock::duration>(at - clockOrigin_);
}

// --- the slot --------------------------------------------------------------------------------

bool SdCard::inserted() const {
    std::error_code ec;
    return present_ && fs::is_directory(folder_, ec);
}

bool SdCard::insert() {
    if (folder_.empty()) return false;
    present_ = true;
    return true;
}

void SdCard::pull() {
    present_ = false;
    pullAfter_.reset();
    dropPcState();
    firmwareFiles_.clear();
}

void SdCard::pullAfter(uint64_t bytes) {
    pullAfter_ = bytes;
}

void SdCard::setFreeSpace(std::optional<uint64_t> bytes) {
    freeSpace_ = bytes;
}

void SdCard::clearFaults() {
    pullAfter_.reset();
    freeSpace_.reset();
}

std::string SdCard::describe() const {
    std::string line = "card=";
    line += folder_.empty() ? "none" : inserted() ? "inserted" : "pulled";
    std::string cwd;
    currentDir(cwd);
    line += " folder=" + folder_.string() + " cwd=" + (cwd.empty() ? "-" : cwd);
    line += " open=" + (file_ ? file_->host.filename().string() : std::string("-"));
    line += " logs=" + std::to_string(firmwareFiles_.size());
    return line;
}

void SdCard::restart() {
    dropPcState();
    firmwareFiles_.clear();
}

void SdCard::dropPcState() {
    file_.reset();
    listing_.reset();
    listed_ = 0;
    current_.clear();
}

bool SdCard::spend(size_t bytes) {
    if (!pullAfter_) return true;
    if (bytes > *pullAfter_) {
        pull();
        return false;
    }
    *pullAfter_ -= bytes;
    return true;
}

// --- paths -----------------------------------------------------------------------------------

fs::path SdCard::hostPath(const CardPath& path) const {
    fs::path host = folder_;
    for (const std::string& part : path)
        host /= part;
    return host;
}

platform::UniqueFd SdCard::openFolder(const CardPath& folder) const {
    return openCardFolder(folder_, folder);
}

bool SdCard::lookup(int folderFd, const CardPath& folder, std::string_view name, CardEntry& entry) {
    return folders_.find(folderFd, hostPath(folder), name, entry);
}

CardStatus SdCard::resolve(std::string_view path, CardPath& folder, std::string* last) {
    folder = !path.empty() && separator(path[0]) ? CardPath{} : current_;
    std::vector<std::string> parts = splitPath(path);
    if (last) {
        *last = parts.empty() ? std::string() : parts.back();
        if (!parts.empty()) parts.pop_back();
    }
    platform::UniqueFd fd;
    for (const std::string& part : parts) {
        if (part == ".") continue;
        if (part == "..") {
            if (folder.empty()) return kCardNoPath;
            folder.pop_back();
            fd.reset();
            continue;
        }
        if (!fd) fd = openFolder(folder);
        CardEntry e;
        if (!fd || !lookup(fd.get(), folder, part, e) || !e.isDirectory()) return kCardNoPath;
        folder.push_back(e.longName);
        fd = openInFolder(fd.get(), e.longName, O_RDONLY | O_DIRECTORY);
        if (!fd) return kCardNoPath;
    }
    return kCardOk;
}

bool SdCard::busy(const fs::path& host) const {
    if (file_ && file_->host == host) return true;
    for (const auto& [id, f] : firmwareFiles_)
        if (f.host == host) return true;
    return false;
}

// --- the PC's commands -----------------------------------------------------------------------

CardStatus SdCard::currentDir(std::string& path) const {
    if (!inserted()) return kCardNotReady;
    path.clear();
    for (const std::string& part : current_)
        path += "/" + part;
    if (path.empty()) path = "/";
    return kCardOk;
}

CardStatus SdCard::changeDir(std::string_view path) {
    if (!inserted()) return kCardNotReady;
    CardPath folder;
    CardStatus status = resolve(path, folder, nullptr);
    if (status == kCardOk) current_ = std::move(folder);
    return status;
}

CardStatus SdCard::openDir(std::string_view path) {
    if (!inserted()) return kCardNotReady;
    CardPath folder;
    CardStatus status = resolve(path, folder, nullptr);
    if (status != kCardOk) return status;
    platform::UniqueFd fd = openFolder(folder);
    if (!fd) return kCardNoPath;
    std::vector<CardEntry> entries;
    if (folder.empty()) {
        CardEntry label;
        label.shortName = label.longName = kVolumeLabel;
        label.attributes = kAttrVolume;
        label.stamp = stampOf(fd.get(), ".");
        entries.push_back(std::move(label));
    } else {
        // The folder was reached without a link, so its parent lies on the card too.
        entries.push_back(folderEntry(".", stampOf(fd.get(), ".")));
        entries.push_back(folderEntry("..", stampOf(fd.get(), "..")));
    }
    for (CardEntry& e : folders_.list(fd.get(), hostPath(folder)))
        entries.push_back(std::move(e));
    listing_ = std::move(entries);
    listed_ = 0;
    return kCardOk;
}

CardStatus SdCard::readDir(std::optional<CardEntry>& entry) {
    entry.reset();
    if (!inserted()) return kCardNotReady;
    if (!listing_) return kCardNotOpen;
    if (listed_ < listing_->size()) entry = (*listing_)[listed_++];
    return kCardOk;
}

CardStatus SdCard::remove(std::string_view path, bool confirmed) {
    if (!inserted()) return kCardNotReady;
    if (!confirmed) return kCardBadConfirmation;
    CardPath folder;
    std::string name;
    CardStatus status = resolve(path, folder, &name);
    if (status != kCardOk) return status;
    if (name.empty() || name == "." || name == "..") return kCardDenied;
    platform::UniqueFd fd = openFolder(folder);
    if (!fd) return kCardNoPath;
    CardEntry e;
    if (!lookup(fd.get(), folder, name, e)) return kCardNoFile;
    fs::path host = hostPath(folder) / e.longName;
    if (e.isDirectory()) {
        CardPath gone = folder;
        gone.push_back(e.longName);
        bool current = current_.size() >= gone.size() &&
                       std::equal(gone.begin(), gone.end(), current_.begin());
        if (current) return kCardDenied;
        if (::unlinkat(fd.get(), e.longName.c_str(), AT_REMOVEDIR) == 0) return kCardOk;
        return errno == ENOTEMPTY || errno == EEXIST ? kCardDenied : kCardDiskError;
    }
    if ((e.attributes & kAttrReadOnly) || busy(host)) return kCardDenied;
    return ::unlinkat(fd.get(), e.longName.c_str(), 0) == 0 ? kCardOk : kCardDiskError;
}

CardStatus SdCard::open(std::string_view path, uint8_t mode) {
    if (!inserted()) return kCardNotReady;
    if (mode != kOpenRead && mode != kOpenCreate) return kCardInvalidParameter;
    file_.reset();  // one open file: an unfinished written one is dropped
    CardPath folder;
    std::string name;
    CardStatus status = resolve(path, folder, &name);
    if (status != kCardOk) return status;
    if (!validLongName(name)) return kCardInvalidName;
    platform::UniqueFd fd = openFolder(folder);
    if (!fd) return kCardNoPath;
    CardEntry e;
    bool exists = lookup(fd.get(), folder, name, e);
    const std::string hostName = exists ? e.longName : name;
    OpenFile opened;
    opened.mode = mode;
    opened.host = hostPath(folder) / hostName;
    if (mode == kOpenRead) {
        if (!exists) return kCardNoFile;
        if (e.isDirectory()) return kCardDenied;
        opened.reader = openInFolder(fd.get(), hostName, O_RDONLY);
        if (!opened.reader) return kCardDiskError;
    } else {
        if (exists && e.isDirectory()) return kCardExists;
        if (exists && ((e.attributes & kAttrReadOnly) || busy(opened.host))) return kCardDenied;
        int error = 0;
        opened.writer = PendingFile::create(std::move(fd), hostName, error);
        if (!opened.writer) return writeError(error);
    }
    file_ = std::move(opened);
    return kCardOk;
}

CardStatus SdCard::read(size_t count, Bytes& data) {
    data.clear();
    if (!inserted()) return kCardNotReady;
    if (count == 0 || count > kMaxPiece) return kCardInvalidParameter;
    if (!file_) return kCardNotOpen;
    if (file_->mode != kOpenRead) return kCardWrongMode;
    data.resize(count);
    size_t got = 0;
    while (got < count) {
        ssize_t n = ::read(file_->reader.get(), data.data() + got, count - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            data.clear();
            return kCardDiskError;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    data.resize(got);
    if (!spend(got)) {
        data.clear();
        return kCardDiskError;
    }
    return kCardOk;
}

CardStatus SdCard::write(const uint8_t* data, size_t size) {
    if (!inserted()) return kCardNotReady;
    if (!file_) return kCardNotOpen;
    if (file_->mode != kOpenCreate) return kCardWrongMode;
    OpenFile& f = *file_;
    if (f.failure != kCardOk) return f.failure;
    if (!spend(size)) return kCardDiskError;
    if (f.writer->size() + size > kMaxFatFile) {
        f.failure = kCardTooLarge;
    } else if (freeSpace_ && size > *freeSpace_) {
        f.failure = kCardFull;
    } else if (int error = 0; !f.writer->write(data, size, error)) {
        f.failure = writeError(error);
    } else if (freeSpace_) {
        *freeSpace_ -= size;
    }
    return f.failure;
}

CardStatus SdCard::close(TimePoint at) {
    if (!inserted()) return kCardNotReady;
    if (!file_) return kCardNotOpen;
    OpenFile f = std::move(*file_);
    file_.reset();
    if (f.mode != kOpenCreate) return kCardOk;
    if (f.failure != kCardOk) return f.failure;  // dropped: it was not written whole
    return f.writer->commit(wallTime(at)) ? kCardOk : kCardDiskError;
}

// --- the firmware's own files ----------------------------------------------------------------

CardStatus SdCard::createFile(std::string_view folderPath, std::string_view name, TimePoint at,
                              int& file) {
    if (!inserted()) return kCardNotReady;
    if (!validLongName(name)) return kCardInvalidName;
    CardPath folder;
    platform::UniqueFd folderFd = openFolder(folder);
    if (!folderFd) return kCardDiskError;
    for (const std::string& part : splitPath(folderPath)) {
        if (part == ".") continue;
        CardEntry e;
        if (lookup(folderFd.get(), folder, part, e)) {
            if (!e.isDirectory()) return kCardExists;
        } else {
            if (!validLongName(part) || part == "..") return kCardInvalidName;
            if (::mkdirat(folderFd.get(), part.c_str(), 0777) != 0 && errno != EEXIST)
                return kCardDiskError;
            e.longName = part;
        }
        folder.push_back(e.longName);
        folderFd = openInFolder(folderFd.get(), e.longName, O_RDONLY | O_DIRECTORY);
        if (!folderFd) return kCardExists;  // something that is no folder is in the way
    }
    CardEntry e;
    bool exists = lookup(folderFd.get(), folder, name, e);
    if (exists && e.isDirectory()) return kCardExists;
    const std::string hostName = exists ? e.longName : std::string(name);
    fs::path host = hostPath(folder) / hostName;
    if (busy(host)) return kCardDenied;
    platform::UniqueFd fd =
        openInFolder(folderFd.get(), hostName, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!fd) return writeError(errno);
    setModified(fd.get(), wallTime(at));
    file = nextFirmwareFile_++;
    firmwareFiles_[file] = FirmwareFile{host, std::move(fd)};
    return kCardOk;
}

CardStatus SdCard::append(int file, const void* data, size_t size, TimePoint at) {
    if (!inserted()) return kCardNotReady;
    auto it = firmwareFiles_.find(file);
    if (it == firmwareFiles_.end()) return kCardNotOpen;
    if (freeSpace_ && size > *freeSpace_) return kCardFull;
    int error = 0;
    if (!writeAll(it->second.fd.get(), static_cast<const uint8_t*>(data), size, error))
        return writeError(error);
    if (freeSpace_) *freeSpace_ -= size;
    setModified(it->second.fd.get(), wallTime(at));
    return kCardOk;
}

CardStatus SdCard::closeFile(int file, TimePoint at) {
    auto it = firmwareFiles_.find(file);
    if (it == firmwareFiles_.end()) return inserted() ? kCardNotOpen : kCardNotReady;
    setModified(it->second.fd.get(), wallTime(at));
    firmwareFiles_.erase(it);
    return kCardOk;
}

}  // namespace hcsim
