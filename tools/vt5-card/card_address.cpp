#include "tools/vt5-card/card_address.h"

#include <vector>

namespace card {

namespace {

std::vector<std::string> PathParts(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool NamesFit(CardClient& client, const std::vector<std::string>& parts) {
    for (const std::string& part : parts)
        if (part.size() > kMaxCardName) {
            client.Fail("a card name has at most " + std::to_string(kMaxCardName) +
                        " bytes; this one has " + std::to_string(part.size()) + ": " + part);
            return false;
        }
    return true;
}

bool ChangeDir(CardClient& client, const std::string& step, const std::string& folder) {
    int32_t status = 0;
    int32_t result = VT5cmd_FS_ChangeDir(&client.api(), step.c_str(), &status);
    if (result == VT5_OK) return true;
    client.Report("Opening the card folder " + folder, result, status);
    return false;
}

// The HC's current folder; nothing after a message.
std::optional<std::string> CurrentFolder(CardClient& client) {
    // Deep enough for any folder this tool walks into.
    std::vector<char> buffer(64 * 1024);
    int32_t status = 0;
    int32_t result = VT5cmd_FS_GetCurrentDir(&client.api(), buffer.data(),
                                             static_cast<int32_t>(buffer.size()), &status);
    if (result != VT5_OK) {
        client.Report("Asking for the card's current folder", result, status);
        return std::nullopt;
    }
    std::string folder = buffer.data();
    return folder.empty() ? "/" : folder;
}

}  // namespace

bool ChangeCardFolder(CardClient& client, const std::string& folder) {
    std::vector<std::string> parts = PathParts(folder);
    if (!NamesFit(client, parts)) return false;
    // The first step starts at the root, the others where the one before left off.
    std::string step = "/";
    for (const std::string& part : parts) {
        std::string longer = step == "/" ? step + part : step + "/" + part;
        if (longer.size() <= static_cast<size_t>(VT5_FS_MAX_PATH)) {
            step = std::move(longer);
            continue;
        }
        if (!ChangeDir(client, step, folder)) return false;
        step = part;
    }
    return ChangeDir(client, step, folder);
}

CardAddress::CardAddress(CardClient& client, const std::string& path) : client_(client) {
    if (!NamesFit(client, PathParts(path))) return;
    if (path.size() <= static_cast<size_t>(VT5_FS_MAX_PATH)) {
        text_ = path;
        ok_ = true;
        return;
    }
    std::string folder, name;
    SplitCardPath(path, folder, name);
    previous_ = CurrentFolder(client);
    if (!previous_) return;
    if (!ChangeCardFolder(client, folder)) return;
    text_ = name;
    ok_ = true;
}

CardAddress::~CardAddress() {
    if (previous_) ChangeCardFolder(client_, *previous_);
}

}  // namespace card
