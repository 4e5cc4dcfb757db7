#pragma once

#include <filesystem>
#include <functional>

#include "platform/registry/errors.h"
#include "platform/registry/hive.h"

namespace platform::registry {

// Where the hive lives: $VT5_REGISTRY, else $XDG_CONFIG_HOME/veltra-5/registry.reg, else
// ~/.config/veltra-5/registry.reg. Empty variables count as unset.
std::filesystem::path hivePath();

// The hive file shared by all programs of the user. Readers hold a shared flock and writers an
// exclusive one on "<hive>.lock" beside it (the hive itself is replaced, so it cannot carry
// the lock). A change is a read-modify-write under the exclusive lock: the new text goes to
// "<hive>.tmp", is fsynced and renamed over the hive, so that a reader sees the old file or
// the new one and two writers never lose each other's values. A missing hive is an empty
// registry; a hive that does not parse fails with ERROR_REGISTRY_CORRUPT and is never written.
class HiveFile {
public:
    explicit HiveFile(std::filesystem::path path) : path_(std::move(path)) {}

    const std::filesystem::path& path() const { return path_; }

    LSTATUS read(Hive& hive) const;

    // Applies change to the current hive. The file is replaced only when change returns
    // ERROR_SUCCESS and altered the hive; otherwise change's result is returned and the file
    // stays as it was. Folders up to the hive are created as needed.
    using Change = std::function<LSTATUS(Hive&)>;
    LSTATUS update(const Change& change) const;

private:
    std::filesystem::path path_;
};

}  // namespace platform::registry
