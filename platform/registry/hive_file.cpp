#include "platform/registry/hive_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>
#include <utility>

#include "platform/registry/reg_text.h"

namespace platform::registry {

namespace fs = std::filesystem;

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Closes now and reports the result, which for a written file may be a late write error.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

LSTATUS fromErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        default:
            return ERROR_REGISTRY_IO_FAILED;
    }
}

const char* variable(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

fs::path homeFolder() {
    if (const char* home = variable("HOME")) return home;
    const passwd* entry = ::getpwuid(::getuid());
    return entry && entry->pw_dir ? fs::path(entry->pw_dir) : fs::path(".");
}

fs::path beside(const fs::path& hive, const char* suffix) {
    fs::path p = hive;
    p += suffix;
    return p;
}

// A hive reached through a symbolic link (a dotfile manager's, say) is replaced at its target,
// so that the link stays in place.
fs::path resolved(const fs::path& hive) {
    std::error_code ec;
    if (fs::is_symlink(hive, ec)) {
        fs::path target = fs::canonical(hive, ec);
        if (!ec) return target;
    }
    return hive;
}

bool lock(const FileDescriptor& fd, int operation) {
    while (::flock(fd.get(), operation) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

// Reads and parses the hive; a missing file is an empty hive.
LSTATUS load(const fs::path& path, Hive& hive) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        if (errno != ENOENT) return fromErrno(errno);
        hive = Hive{};
        return ERROR_SUCCESS;
    }
    std::string text;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            return fromErrno(errno);
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return parseHive(text, hive) ? ERROR_SUCCESS : ERROR_REGISTRY_CORRUPT;
}

bool writeAll(const FileDescriptor& fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd.get(), data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Writes text to the temporary file, makes it durable and renames it over the hive. The hive's
// permissions carry over to its replacement.
LSTATUS replace(const fs::path& hive, std::string_view text) {
    const fs::path temporary = beside(hive, ".tmp");
    struct stat old {};
    const bool existed = ::stat(hive.c_str(), &old) == 0;
    FileDescriptor fd(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (!fd) return fromErrno(errno);
    bool ok = (!existed || ::fchmod(fd.get(), old.st_mode & 07777) == 0) && writeAll(fd, text) &&
              ::fsync(fd.get()) == 0;
    ok = fd.close() && ok;
    if (!ok || ::rename(temporary.c_str(), hive.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return fromErrno(error);
    }
    // The rename itself becomes durable with its folder.
    const fs::path folder = hive.has_parent_path() ? hive.parent_path() : fs::path(".");
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir) ::fsync(dir.get());
    return ERROR_SUCCESS;
}

}  // namespace

fs::path hivePath() {
    if (const char* path = variable("VT5_REGISTRY")) return path;
    const char* config = variable("XDG_CONFIG_HOME");
    const fs::path folder = config ? fs::path(config) : homeFolder() / ".config";
    return folder / "veltra-5" / "registry.reg";
}

LSTATUS HiveFile::read(Hive& hive) const {
    const fs::path target = resolved(path_);
    const fs::path lockPath = beside(target, ".lock");
    // Without a lock file that can be opened (a missing or read-only folder) nobody can be
    // writing here, so the read goes ahead unlocked.
    FileDescriptor fd(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (!fd) fd = FileDescriptor(::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd && !lock(fd, LOCK_SH)) return fromErrno(errno);
    return load(target, hive);
}

LSTATUS HiveFile::update(const Change& change) const {
    const fs::path target = resolved(path_);
    if (target.has_parent_path()) {
        std::error_code ec;
        fs::create_directories(target.parent_path(), ec);
        if (ec) return fromErrno(ec.value());
    }
    FileDescriptor fd(::open(beside(target, ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (!fd) return fromErrno(errno);
    if (!lock(fd, LOCK_EX)) return fromErrno(errno);

    Hive hive;
    if (const LSTATUS status = load(target, hive); status != ERROR_SUCCESS) return status;
    // Replacing by rename needs only the folder; a hive the user made read-only stays so.
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT) {
        return fromErrno(errno);
    }
    const Hive before = hive;
    if (const LSTATUS status = change(hive); status != ERROR_SUCCESS) return status;
    if (hive == before) return ERROR_SUCCESS;
    return replace(target, formatHive(hive));
}

}  // namespace platform::registry
