#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hcsim/card/card_folder.h"
#include "hcsim/card/card_status.h"
#include "hcsim/card/pending_file.h"
#include "platform/clock/clock.h"
#include "platform/ftd2xx/vbus/device.h"
#include "platform/posix/unique_fd.h"

namespace hcsim {

// The HC's SD card, backed by a host folder, which it never leaves (symbolic links in the host
// folder are no entries of the card and are never followed), with the FAT rules the firmware's file
// system keeps: 8.3 short names beside the long names, FAT time stamps (UTC) from the files'
// modification times, attributes (read-only from the host file's mode, hidden for dot-files,
// directory, archive; a volume label entry at the root), names compared without regard to
// case, '/' or '\' between the parts of a path.
//
// The PC's side (command 0x5F) has one current folder, one open listing and one open file.
// A file written by the PC appears in the host folder only when it is closed whole; a new
// open, a restart of the HC or a pulled card drops it.
//
// The firmware's own files (guiding logs) are apart from the PC's open file: see
// createFile(). Their card time comes from the HC's clock, wallTime().
//
// Every operation answers with a CardStatus; without a card, kCardNotReady.
class SdCard {
public:
    using TimePoint = platform::TimePoint;
    using Bytes = platform::vbus::Bytes;

    // `folder` backs the card; empty: the slot is empty and stays so.
    explicit SdCard(std::filesystem::path folder);
    ~SdCard();
    SdCard(const SdCard&) = delete;
    SdCard& operator=(const SdCard&) = delete;

    static constexpr const char* kVolumeLabel = "VELTRA5";
    static constexpr size_t kMaxPiece = 4096;
    static constexpr uint8_t kOpenRead = 1;
    static constexpr uint8_t kOpenCreate = 10;  // write a new file, replacing one of the name

    // --- the slot ---------------------------------------------------------------------------
    bool inserted() const;
    // False when there is no folder behind the card.
    bool insert();
    // The card leaves the slot: the PC's listing and open file and the firmware's files end.
    void pull();
    // The card is pulled once `bytes` more bytes of file data have moved (read or written by
    // the PC); the operation that crosses the mark fails with kCardDiskError.
    void pullAfter(uint64_t bytes);
    // The card holds only `bytes` more bytes of file data (none: as much as the host has).
    void setFreeSpace(std::optional<uint64_t> bytes);
    void clearFaults();
    // A line for `vt5-hcsim control`: folder, slot, current folder, open file.
    std::string describe() const;

    // The HC restarts: current folder back to the root, the listing and the open file end.
    void restart();

    // --- the PC's commands --------------------------------------------------------------------
    // The current folder: "/" at the root, else "/LOGS/2024" with the folders' long names.
    CardStatus currentDir(std::string& path) const;
    CardStatus changeDir(std::string_view path);
    // Starts a listing of the folder; "" or "." is the current one. A subfolder's listing
    // begins with "." and "..", the root's with the volume label.
    CardStatus openDir(std::string_view path);
    // The next entry, or none at the end of the listing.
    CardStatus readDir(std::optional<CardEntry>& entry);
    // Deletes a file or an empty folder; `confirmed` is the confirmation code's check.
    CardStatus remove(std::string_view path, bool confirmed);
    CardStatus open(std::string_view path, uint8_t mode);
    // 1 to 4096 bytes of the file opened for reading; none at its end.
    CardStatus read(size_t count, Bytes& data);
    CardStatus write(const uint8_t* data, size_t size);
    // Closing a written file stores it with the HC's clock time `at`.
    CardStatus close(TimePoint at);

    // --- the firmware's own files ----------------------------------------------------------
    // For the HC's firmware (a guiding log, for one), any number at a time:
    //   int log = 0;
    //   card.createFile("/LOGS", "vt5_log_0042.txt", now, log);
    //   card.append(log, text.data(), text.size(), now);
    //   card.closeFile(log, now);
    // createFile makes the folders of `folder` that are missing and replaces a file of the
    // name; the file is on the card at once and grows with every append, its card time the
    // HC's clock at the last append. Fails with kCardDenied while the PC has the file open;
    // the PC cannot delete or replace it while it is open here.
    CardStatus createFile(std::string_view folder, std::string_view name, TimePoint at, int& file);
    CardStatus append(int file, const void* data, size_t size, TimePoint at);
    CardStatus closeFile(int file, TimePoint at);

    // The HC's clock: UTC, set from the host's clock when the HC was made, running with the
    // simulation's clock.
    std::chrono::system_clock::time_point wallTime(TimePoint at) const;

private:
    using CardPath = std::vector<std::string>;  // long names from the root

    struct OpenFile {
        uint8_t mode = 0;
        std::filesystem::path host;
        platform::UniqueFd reader;
        std::unique_ptr<PendingFile> writer;
        CardStatus failure = kCardOk;  // a write failed: the file is dropped at close
    };
    struct FirmwareFile {
        std::filesystem::path host;
        platform::UniqueFd fd;
    };

    std::filesystem::path hostPath(const CardPath& path) const;
    // Walks `path` from the current folder (or the root when it begins with a separator).
    // All parts must be folders; with `last`, the final part is handed back unresolved.
    CardStatus resolve(std::string_view path, CardPath& folder, std::string* last);
    // The card folder's host folder, opened without following links; invalid when it is gone.
    platform::UniqueFd openFolder(const CardPath& folder) const;
    // The folder's entry for `name`, as it exists on the host; false when there is none.
    bool lookup(int folderFd, const CardPath& folder, std::string_view name, CardEntry& entry);
    bool busy(const std::filesystem::path& host) const;
    // Counts file data against the pull fault; false when the card is gone by it.
    bool spend(size_t bytes);
    void dropPcState();

    std::filesystem::path folder_;
    bool present_ = false;
    std::optional<uint64_t> pullAfter_;
    std::optional<uint64_t> freeSpace_;
    CardFolders folders_;
    CardPath current_;
    std::optional<std::vector<CardEntry>> listing_;
    size_t listed_ = 0;
    std::optional<OpenFile> file_;
    std::map<int, FirmwareFile> firmwareFiles_;
    int nextFirmwareFile_ = 1;
    std::chrono::system_clock::time_point wallOrigin_;
    TimePoint clockOrigin_;
};

}  // namespace hcsim
