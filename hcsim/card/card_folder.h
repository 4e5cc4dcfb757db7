#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "hcsim/card/fat_time.h"

namespace hcsim {

// FAT attribute bits.
constexpr uint8_t kAttrReadOnly = 0x01;
constexpr uint8_t kAttrHidden = 0x02;
constexpr uint8_t kAttrSystem = 0x04;
constexpr uint8_t kAttrVolume = 0x08;
constexpr uint8_t kAttrDirectory = 0x10;
constexpr uint8_t kAttrArchive = 0x20;

// One directory entry of the card.
struct CardEntry {
    std::string longName;   // the host file's name
    std::string shortName;  // "NAME.EXT"
    uint32_t size = 0;
    FatStamp stamp;
    uint8_t attributes = 0;

    bool isDirectory() const { return attributes & kAttrDirectory; }
};

// The entries of host folders as a FAT card shows them. Short names are handed out the first
// time a folder is seen, in the order of the files' modification times (the order they were
// written to the card), and kept while their files exist, so that a name does not change
// under the PC between two listings. Host entries that a FAT card cannot hold are left out:
// names FAT does not allow, files of 4 GiB and more, anything that is neither a file nor a
// folder (symbolic links among them), and the card's own unfinished files.
//
// A folder is given as its open descriptor `folderFd` (all access goes through it) and its
// host path `folder`, which names it among the others.
class CardFolders {
public:
    // The entries of the folder, without "." and "..", in the order of their short names'
    // creation. Empty when the folder cannot be read.
    std::vector<CardEntry> list(int folderFd, const std::filesystem::path& folder);

    // The entry of the folder whose long or short name is `name` (any case; an exact long name
    // first); false when there is none. An exact long name is looked up alone, without reading
    // the whole folder; its short name is then empty unless the folder was listed before.
    bool find(int folderFd, const std::filesystem::path& folder, std::string_view name,
              CardEntry& entry);

    void forget() { shortNames_.clear(); }

private:
    // long name -> short name, per host folder, in order of creation
    struct Names {
        std::map<std::string, std::string> byLong;
        std::vector<std::string> order;
    };
    std::map<std::filesystem::path, Names> shortNames_;
};

}  // namespace hcsim
