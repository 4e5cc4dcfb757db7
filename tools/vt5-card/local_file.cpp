#include "tools/vt5-card/local_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/posix/claimed_file.h"

namespace card {

namespace {

constexpr const char* kTempPrefix = ".vt5-card-";
constexpr size_t kMaxFileName = 255;

// ".vt5-card-XXXXXX.<the target's name, cut to fit>", so that a user who finds one sees what
// it was to become. The cut keeps whole UTF-8 characters.
std::string TempSuffix(const std::string& name) {
    const size_t room = kMaxFileName - std::char_traits<char>::length(kTempPrefix) - 6 - 1;
    size_t keep = std::min(name.size(), room);
    while (keep > 0 && keep < name.size() && (name[keep] & 0xC0) == 0x80)
        --keep;
    return "." + name.substr(0, keep);
}

}  // namespace

void LocalDownload::RemoveStale(const std::filesystem::path& folder) {
    platform::RemoveUnclaimedFiles(folder.string(), kTempPrefix);
}

LocalDownload::LocalDownload(std::filesystem::path target) : target_(std::move(target)) {
    std::string temp;
    fd_ = platform::CreateClaimedFile(target_.parent_path().string(), kTempPrefix,
                                      TempSuffix(target_.filename().string()), temp);
    if (!fd_) {
        Fail("cannot create a file in " + target_.parent_path().string());
        return;
    }
    temp_ = temp;
}

LocalDownload::~LocalDownload() {
    if (!committed_ && !temp_.empty()) ::unlink(temp_.c_str());
}

bool LocalDownload::Fail(const std::string& what) {
    error_ = what + ": " + std::strerror(errno);
    return false;
}

bool LocalDownload::Write(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd_.get(), p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail("cannot write " + target_.string());
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool LocalDownload::Commit(std::chrono::system_clock::time_point modified, bool readOnly) {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode_t mode = (readOnly ? 0444 : 0666) & ~mask;
    auto secs = std::chrono::duration_cast<std::chrono::seconds>(modified.time_since_epoch());
    timespec times[2] = {{static_cast<time_t>(secs.count()), 0},
                         {static_cast<time_t>(secs.count()), 0}};
    if (::fchmod(fd_.get(), mode) != 0 || ::futimens(fd_.get(), times) != 0)
        return Fail("cannot set the time of " + target_.string());
    if (::close(fd_.release()) != 0) return Fail("cannot write " + target_.string());
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        return Fail("cannot name " + target_.string());
    committed_ = true;
    return true;
}

}  // namespace card
