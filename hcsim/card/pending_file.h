#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/posix/unique_fd.h"

namespace hcsim {

// A host file being written that takes its name only once it is complete: until commit() it
// is an unnamed file in the target's folder (O_TMPFILE), or, where the host's file system
// lacks those, a dot-file whose name temporaryName() recognises. Ending without a commit
// leaves nothing behind.
class PendingFile {
public:
    // A file that is to become `name` in the open folder `folder`. Null when the folder
    // cannot take the file; `error` then holds the errno.
    static std::unique_ptr<PendingFile> create(platform::UniqueFd folder, const std::string& name,
                                               int& error);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // False when the host refused the bytes (its disk is full, for one); error: the errno.
    bool write(const uint8_t* data, size_t size, int& error);
    uint64_t size() const { return size_; }
    // Gives the file its name, replacing a file of that name, with `modified` as its time.
    bool commit(std::chrono::system_clock::time_point modified);

    static bool temporaryName(const std::string& name);

private:
    PendingFile(platform::UniqueFd folder, std::string name, platform::UniqueFd fd,
                std::string temp);

    platform::UniqueFd folder_;
    std::string name_;
    platform::UniqueFd fd_;
    std::string temp_;  // the dot-file in the folder, when the file has a name already
    uint64_t size_ = 0;
    bool committed_ = false;
};

}  // namespace hcsim
