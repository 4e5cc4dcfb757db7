#include "hcsim/card/pending_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "hcsim/card/host_io.h"

namespace hcsim {

namespace fs = std::filesystem;

namespace {

constexpr const char* kTempPrefix = ".vt5card-";
constexpr const char* kTempSuffix = ".part";

fs::path temporarySibling(const fs::path& target) {
    static std::atomic<unsigned> serial{0};
    std::string name =
        kTempPrefix + std::to_string(::getpid()) + "-" + std::to_string(serial++) + kTempSuffix;
    return target.parent_path() / name;
}

}  // namespace

bool PendingFile::temporaryName(const std::string& name) {
    return name.rfind(kTempPrefix, 0) == 0 && name.size() > std::string(kTempSuffix).size() &&
           name.compare(name.size() - std::string(kTempSuffix).size(), std::string::npos,
                        kTempSuffix) == 0;
}

std::unique_ptr<PendingFile> PendingFile::create(const fs::path& target, int& error) {
    error = 0;
    fs::path folder = target.parent_path();
    platform::UniqueFd fd(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644));
    if (fd) return std::unique_ptr<PendingFile>(new PendingFile(target, std::move(fd), {}));
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        error = errno;
        return nullptr;
    }
    fs::path temp = temporarySibling(target);
    fd.reset(::open(temp.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644));
    if (!fd) {
        error = errno;
        return nullptr;
    }
    return std::unique_ptr<PendingFile>(new PendingFile(target, std::move(fd), temp));
}

PendingFile::PendingFile(fs::path target, platform::UniqueFd fd, fs::path temp)
    : target_(std::move(target)), fd_(std::move(fd)), temp_(std::move(temp)) {}

PendingFile::~PendingFile() {
    if (!committed_ && !temp_.empty()) ::unlink(temp_.c_str());
}

bool PendingFile::write(const uint8_t* data, size_t size, int& error) {
    if (!writeAll(fd_.get(), data, size, error)) return false;
    size_ += size;
    return true;
}

bool PendingFile::commit(std::chrono::system_clock::time_point modified) {
    if (committed_) return true;
    if (!setModified(fd_.get(), modified)) return false;
    if (temp_.empty()) {
        // Named under a dot-name first, then renamed: rename replaces an existing file in one
        // step, which linkat cannot.
        fs::path temp = temporarySibling(target_);
        std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) != 0)
            return false;
        temp_ = temp;
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return false;
    committed_ = true;
    fd_.reset();
    return true;
}

}  // namespace hcsim
