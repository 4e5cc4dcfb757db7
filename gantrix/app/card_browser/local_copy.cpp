#include "gantrix/app/card_browser/local_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "gantrix/app/card_browser/transfer_state.h"
#include "platform/posix/claimed_file.h"

namespace {

constexpr const char* kTempPrefix = ".vt5-download-";

// The FAT date and time as a time stamp; false for a date that names no day.
bool FatTime(uint16_t date, uint16_t time, timespec& out) {
    std::tm t{};
    t.tm_year = (date >> 9) + 1980 - 1900;
    t.tm_mon = ((date >> 5) & 15) - 1;
    t.tm_mday = date & 31;
    t.tm_hour = time >> 11;
    t.tm_min = (time >> 5) & 63;
    t.tm_sec = (time & 31) * 2;
    if (t.tm_mon < 0 || t.tm_mon > 11 || t.tm_mday == 0) return false;
    out.tv_sec = timegm(&t);
    out.tv_nsec = 0;
    return true;
}

}  // namespace

bool IsSafeLocalName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string::npos;
}

bool LocalCopy::Create(const std::string& folder) {
    Discard();
    folder_ = folder;
    // A name of its own per copy, so that two downloads into one folder cannot meet.
    fd_ = platform::CreateClaimedFile(folder, kTempPrefix, "", temp_);
    if (!fd_) temp_.clear();
    return bool(fd_);
}

void LocalCopy::RemoveStale(const std::string& folder) {
    platform::RemoveUnclaimedFiles(folder, kTempPrefix);
}

bool LocalCopy::Write(const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_.get(), bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= size_t(n);
    }
    return true;
}

int LocalCopy::Finish(const std::string& name, uint16_t fatDate, uint16_t fatTime, bool readOnly) {
    timespec times[2];
    if (FatTime(fatDate, fatTime, times[0])) {
        times[1] = times[0];
        ::futimens(fd_.get(), times);
    }
    struct stat info {};
    if (readOnly && ::fstat(fd_.get(), &info) == 0) {
        ::fchmod(fd_.get(), info.st_mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH));
    }
    // Where closing fails, the last bytes did not reach the disk.
    if (::close(fd_.release()) != 0) {
        Discard();
        return kErrorWriteFault;
    }
    if (::rename(temp_.c_str(), (folder_ + name).c_str()) != 0) {
        Discard();
        return kErrorFileNotFound;
    }
    temp_.clear();
    return 0;
}

LocalCopy::~LocalCopy() {
    Discard();
}

void LocalCopy::Discard() {
    fd_.reset();
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}
