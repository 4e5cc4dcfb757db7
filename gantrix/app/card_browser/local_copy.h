#pragma once

// The local copy of a card file while it is being downloaded: a hidden file beside its final
// place that takes the final name only once it is complete, so that a cancelled or failed
// download never leaves a partial file under the card file's name. The worker claims the hidden
// file while it writes it, so that the file of a worker that was killed is recognised later.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/posix/unique_fd.h"

class LocalCopy {
public:
    // Creates the hidden file in folder (which ends in '/'); false when it cannot be made.
    bool Create(const std::string& folder);
    // False when the bytes cannot all be written.
    bool Write(const void* data, size_t size);
    // Completes the copy as folder + name, replacing a file of that name: the FAT date and
    // time (UTC) become its access and modification time, and it is made read-only when asked.
    // 0, or kErrorWriteFault when the last bytes cannot be written and kErrorFileNotFound when
    // the name cannot be taken; nothing is left behind then.
    int Finish(const std::string& name, uint16_t fatDate, uint16_t fatTime, bool readOnly);
    // Removes an unfinished copy.
    ~LocalCopy();

    // Removes the hidden files that killed downloads left in folder; those of downloads still
    // going stay.
    static void RemoveStale(const std::string& folder);

private:
    void Discard();

    platform::UniqueFd fd_;
    std::string folder_;
    std::string temp_;
};

// Whether a card file's name can name a local file in the download folder: not empty, not
// "." or "..", and without a path separator, so a name can never reach outside that folder.
bool IsSafeLocalName(const std::string& name);
