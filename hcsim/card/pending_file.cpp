#include "hcsim/card/pending_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "hcsim/card/host_io.h"

namespace hcsim {

namespace {

constexpr const char* kTempPrefix = ".vt5card-";
constexpr const char* kTempSuffix = ".part";

std::string newTemporaryName() {
    static std::atomic<unsigned> serial{0};
    return kTempPrefix + std::to_string(::getpid()) + "-" + std::to_string(serial++) + kTempSuffix;
}

}  // namespace

bool PendingFile::temporaryName(const std::string& name) {
    return name.rfind(kTempPrefix, 0) == 0 && name.size() > std::string(kTempSuffix).size() &&
           name.compare(name.size() - std::string(kTempSuffix).size(), std::string::npos,
                        kTempSuffix) == 0;
}

std::unique_ptr<PendingFile> PendingFile::create(platform::UniqueFd folder, const std::string& name,
                                                 int& error) {
    error = 0;
    platform::UniqueFd fd(::openat(folder.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644));
    if (fd)
        return std::unique_ptr<PendingFile>(
            new PendingFile(std::move(folder), name, std::move(fd), {}));
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        error = errno;
        return nullptr;
    }
    std::string temp = newTemporaryName();
    fd.reset(::openat(folder.get(), temp.c_str(),
                      O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!fd) {
        error = errno;
        return nullptr;
    }
    return std::unique_ptr<PendingFile>(
        new PendingFile(std::move(folder), name, std::move(fd), temp));
}

PendingFile::PendingFile(platform::UniqueFd folder, std::string name, platform::UniqueFd fd,
                         std::string temp)
    : folder_(std::move(folder)),
      name_(std::move(name)),
      fd_(std::move(fd)),
      temp_(std::move(temp)) {}

PendingFile::~PendingFile() {
    if (!committed_ && !temp_.empty()) ::unlinkat(folder_.get(), temp_.c_str(), 0);
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
        std::string temp = newTemporaryName();
        std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
        if (::linkat(AT_FDCWD, self.c_str(), folder_.get(), temp.c_str(), AT_SYMLINK_FOLLOW) != 0)
            return false;
        temp_ = temp;
    }
    // A link of the name in the host folder is replaced, never followed.
    if (::renameat(folder_.get(), temp_.c_str(), folder_.get(), name_.c_str()) != 0) return false;
    committed_ = true;
    fd_.reset();
    return true;
}

}  // namespace hcsim
