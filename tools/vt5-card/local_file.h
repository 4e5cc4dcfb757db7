#pragma once

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/posix/unique_fd.h"

namespace card {

// A local file being downloaded: written under a hidden temporary name beside its target and
// renamed to the target only when complete, so that a failed or cancelled download leaves no
// partial file under the final name (and keeps an older copy there intact). The temporary name
// fits the 255 bytes of a file name whatever the target's name; the run that writes the file
// claims it, so that one killed before it could remove its file leaves a file that
// RemoveStale() recognises.
class LocalDownload {
public:
    // Removes what killed downloads left in `folder`; files of downloads still going stay.
    static void RemoveStale(const std::filesystem::path& folder);

    // Check ok() after making one; error() tells why it failed.
    explicit LocalDownload(std::filesystem::path target);
    ~LocalDownload();
    LocalDownload(const LocalDownload&) = delete;
    LocalDownload& operator=(const LocalDownload&) = delete;

    bool ok() const { return fd_.valid(); }
    const std::string& error() const { return error_; }
    bool Write(const void* data, size_t size);
    // Gives the file its card time (UTC) and, for a read-only card file, no write permission,
    // then its name.
    bool Commit(std::chrono::system_clock::time_point modified, bool readOnly);

private:
    bool Fail(const std::string& what);

    std::filesystem::path target_, temp_;
    platform::UniqueFd fd_;
    bool committed_ = false;
    std::string error_;
};

}  // namespace card
