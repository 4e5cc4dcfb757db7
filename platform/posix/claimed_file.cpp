#include "platform/posix/claimed_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>
#include <random>

namespace platform {

namespace {

std::string InFolder(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool Claim(int fd) {
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        if (errno != EINTR) return false;
    return true;
}

std::string RandomCharacters(size_t count) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, sizeof kAlphabet - 2);
    std::string text(count, ' ');
    for (char& c : text)
        c = kAlphabet[pick(generator)];
    return text;
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

}  // namespace

UniqueFd CreateClaimedFile(const std::string& folder, const std::string& prefix,
                           const std::string& suffix, std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Not mkstemp: the file takes its permissions from the umask, as any new file.
        std::string name = InFolder(folder, prefix + RandomCharacters(6) + suffix);
        UniqueFd fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd && errno == EEXIST) continue;
        if (!fd) return fd;
        // Between its creation and the claim another run may have found the file unclaimed
        // and removed it; a file that has lost its name is made anew.
        struct stat st {};
        if (Claim(fd.get()) && ::fstat(fd.get(), &st) == 0 && st.st_nlink > 0) {
            path = name;
            return fd;
        }
    }
    errno = EEXIST;
    return UniqueFd();
}

void RemoveUnclaimedFiles(const std::string& folder, std::string_view prefix) {
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir) return;
    const int dirFd = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
        std::string_view name = entry->d_name;
        if (name.substr(0, prefix.size()) != prefix) continue;
        UniqueFd fd(::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat held {};
        if (!fd || ::fstat(fd.get(), &held) != 0 || !S_ISREG(held.st_mode)) continue;
        if (!Claim(fd.get())) continue;  // its run is still going
        // Only the file that was found and claimed: the name may have changed hands since.
        struct stat named {};
        if (::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_dev == held.st_dev && named.st_ino == held.st_ino)
            ::unlinkat(dirFd, entry->d_name, 0);
    }
}

}  // namespace platform
