#pragma once

// Copying files between the card and this computer, with one progress bar for a command.

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

#include "tools/cli/progress.h"
#include "tools/vt5-card/card_client.h"

namespace card {

class Transfers {
public:
    // `total` bytes are to move; `stop` is set when the user interrupts.
    Transfers(CardClient& client, uint64_t total, const volatile std::sig_atomic_t& stop);

    // Each returns false after a message on standard error; nothing half-copied is left
    // under the target's name, on this computer or on the card.
    bool Download(const std::string& cardPath, const CardItem& item,
                  const std::filesystem::path& localDir);
    bool Upload(const std::filesystem::path& local, const std::string& cardDir);

    bool cancelled() const { return cancelled_; }
    void Finish() { progress_.Finish(); }

    // Bytes a command moves per call: 16 pieces, so that a shared HC is locked for a fraction
    // of a second at a time.
    static constexpr int32_t kChunk = 16 * VT5_FS_PIECE;

private:
    bool Interrupted();
    // Report on standard error and return false.
    bool Refused(const std::string& step, int32_t code, int32_t status);
    bool Failed(const std::string& text);
    // The same after a message already given.
    bool Failed();
    // Ends the card file after a failure; a file being written is removed again.
    void Abandon(const std::string& cardPath, bool written);
    void Delete(const std::string& cardPath);
    // VT5cmd_FS_Open on a card path of any length; false (after a message) when the path
    // cannot be reached, else its result.
    bool Open(const std::string& cardPath, uint8_t mode, int32_t& result, int32_t& status);

    CardClient& client_;
    CVT5Api& api_;
    cli::Progress progress_;
    uint64_t done_ = 0;
    const volatile std::sig_atomic_t& stop_;
    bool cancelled_ = false;
    std::set<std::filesystem::path> swept_;  // folders cleared of killed runs' files
};

}  // namespace card
