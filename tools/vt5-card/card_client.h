#pragma once

// The SD card as vt5-card sees it: listings, lookups and the reporting of failures, on top of
// the file system commands.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/cli/command_line.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/commands/file_system.h"

namespace card {

// One directory entry of the card.
struct CardItem {
    std::string shortName;
    std::string longName;
    uint32_t size = 0;  // FAT sizes go to 4 GiB - 1
    uint16_t date = 0;
    uint16_t time = 0;
    uint8_t attributes = 0;

    bool isDirectory() const { return attributes & VT5_FS_ATTR_DIRECTORY; }
    bool isVolumeLabel() const { return attributes & VT5_FS_ATTR_VOLUME; }
    // "." and "..".
    bool isDotEntry() const { return longName == "." || longName == ".."; }
};

// Card paths: '/' between folders, from the root ("LOGS/a.txt" is "/LOGS/a.txt").
std::string CardPath(const std::string& path);
std::string JoinCardPath(const std::string& folder, const std::string& name);
// "/LOGS/a.txt" -> "/LOGS" and "a.txt"; "/" -> "/" and "".
void SplitCardPath(const std::string& path, std::string& folder, std::string& name);
// A long name that is safe to use as a local file name: no separators, not "." or "..".
bool SafeLocalName(const std::string& name);

// The entry's FAT date and time, taken as UTC.
std::chrono::system_clock::time_point CardTime(const CardItem& item);

// "<short>\t<size>\t<YYYY-MM-DD HH:MM:SS>\t<RHSVDA>\t<long>".
std::string ListingLine(const CardItem& item);

class CardClient {
public:
    CardClient(const cli::CommandLine& line, CVT5Api& api) : line_(line), api_(api) {}

    // The entries of a card folder ("." and ".." included); false after a message.
    bool List(const std::string& folder, std::vector<CardItem>& items);
    // The entry a card path names (the root is a folder of its own): 0, or 1 after a
    // message (`missing` and the path when there is no such entry).
    int Lookup(const std::string& path, CardItem& item, const std::string& missing);

    // Reports a failed call on standard error and returns 1: a refusal of the HC's file
    // system with its status, any other code as an API error.
    int Report(const std::string& step, int32_t code, int32_t fsStatus) const;
    int Fail(const std::string& text) const { return line_.Fail(text); }

    CVT5Api& api() { return api_; }

private:
    const cli::CommandLine& line_;
    CVT5Api& api_;
};

}  // namespace card
