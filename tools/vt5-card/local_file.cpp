#include "tools/vt5-card/local_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace card {

LocalDownload::LocalDownload(std::filesystem::path target) : target_(std::move(target)) {
    std::string pattern =
        (target_.parent_path() / ("." + target_.filename().string() + ".vt5-card-XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_.reset(::mkstemp(name.data()));
    if (!fd_) {
        Fail("cannot create a file in " + target_.parent_path().string());
        return;
    }
    temp_ = name.data();
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
