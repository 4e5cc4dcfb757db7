#pragma once

// Card paths of any length. The file system commands carry only the first VT5_FS_MAX_PATH
// characters of a path, and a path cut short names another entry (or none). A longer path is
// therefore reached folder by folder: the HC's current folder becomes the one that holds the
// entry, in steps that each fit, and only the entry's own name is sent. A FAT name has at most
// 255 bytes, so any depth can be reached that way.

#include <optional>
#include <string>

#include "tools/vt5-card/card_client.h"

namespace card {

// The longest name of a FAT entry, in bytes.
constexpr size_t kMaxCardName = 255;

// What to send for one command on a card path (a path from CardPath()). Where it had to change
// the HC's current folder, the folder the HC had before is restored when the address ends, so
// that the address lives just as long as the command it serves.
class CardAddress {
public:
    CardAddress(CardClient& client, const std::string& path);
    ~CardAddress();
    CardAddress(const CardAddress&) = delete;
    CardAddress& operator=(const CardAddress&) = delete;

    // False after a message on standard error: a name the card cannot hold, or a folder on the
    // way that the HC refused.
    bool ok() const { return ok_; }
    // The path itself, or the entry's name relative to the current folder.
    const char* text() const { return text_.c_str(); }

private:
    CardClient& client_;
    std::string text_;
    std::optional<std::string> previous_;  // the HC's current folder before the walk
    bool ok_ = false;
};

// Makes `folder` (an absolute card path of any length) the HC's current folder, in steps of at
// most VT5_FS_MAX_PATH characters; false after a message.
bool ChangeCardFolder(CardClient& client, const std::string& folder);

}  // namespace card
