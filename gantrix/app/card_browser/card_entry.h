#pragma once

// The SD card as the browser lists it: directory entries, the texts of their rows, and the
// order of the rows. Plain code without widgets.

#include <cstdint>
#include <functional>
#include <string>

#include "vt5api/commands/file_system.h"

// One directory entry of the card: its long name and its directory record.
struct CardEntry {
    std::string longName;
    std::string shortName;
    int32_t size = 0;
    uint16_t date = 0;  // FAT date and time
    uint16_t time = 0;
    uint8_t attributes = 0;

    bool IsDirectory() const { return (attributes & VT5_FS_ATTR_DIRECTORY) != 0; }
    // A file the browser may delete: not read-only, system, a volume label or a folder.
    bool IsPlainFile() const;
    // A file the browser downloads: neither a folder nor a volume label.
    bool IsDownloadable() const;
};

// Whether the card list shows the entry: not hidden, system or a volume label, and not ".".
bool IsListed(const CardEntry& entry);

// Reads the listing that VT5cmd_FS_OpenDir started, entry by entry to its end, and hands every
// entry the list shows to onEntry. 0 at the end of the folder, else the code of the failed
// VT5cmd_FS_ReadDir (the entries before it were handed over).
int32_t ReadListedEntries(CVT5Api* api, const std::function<void(CardEntry)>& onEntry);

// The texts of a row: "Name" ("[name]" for a folder), "Size" and "date & time (UTC)".
std::string RowText(const CardEntry& entry);
std::string SizeText(const CardEntry& entry);
std::string DateTimeText(const CardEntry& entry);
// The ascending order of the card list: ".." first, then folders, then files; names without
// regard to case, and digit runs by their value, so that LOG_9 comes before LOG_10.
bool RowBefore(const CardEntry& a, const CardEntry& b);
