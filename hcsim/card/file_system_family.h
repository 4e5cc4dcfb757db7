#pragma once

#include "hcsim/card/sd_card.h"
#include "hcsim/hc/family.h"
#include "hcsim/hc/hc_config.h"

namespace hcsim {

// Command 0x5F in firmware mode: the SD card (sd_card.h) for the PC. The first parameter of a
// message says what to do; every answer entry begins with the 4-byte status (card_status.h):
//   0xBD            current folder; bulk data: its path
//   0xCD, 0xD2      change folder, start a listing; bulk data sent: the path
//   0xDC (1 byte)   the next entry: 4 bytes at the end of the listing, else 25 bytes (status,
//                   size, FAT time, FAT date, attributes, 12 characters of the short name)
//                   and, when it has one, the long name as bulk data
//   0xC1 (4 bytes)  delete; value: the confirmation code 0x5D27A1F3 LE; bulk data: the path
//   0x30 (1 byte)   open the path (bulk data) for reading (1) or as a new file (10)
//   0x33 (2 bytes)  read up to that many bytes (1 to 4096); bulk data: the bytes
//   0x36            write the bulk data (at most 4096 bytes)
//   0x3C            close the open file
class FileSystemFamily final : public Family {
public:
    explicit FileSystemFamily(const HcConfig& config) : card_(config.cardDir) {}
    void addCommands(HcMode mode, CommandTable& table) override;
    void restart() override { card_.restart(); }

    // card | card pull | card insert | fault card-full [FREE_BYTES] | fault card-pulled
    // [AFTER_BYTES]; "fault clear" also ends the card's faults.
    std::optional<std::string> control(const std::vector<std::string>& words,
                                       platform::TimePoint now, Bytes& out) override;
    std::string controlHelp() const override;

    SdCard& card() { return card_; }

    static constexpr uint8_t kCurrentDir = 0xBD;
    static constexpr uint8_t kChangeDir = 0xCD;
    static constexpr uint8_t kOpenDir = 0xD2;
    static constexpr uint8_t kReadDir = 0xDC;
    static constexpr uint8_t kDelete = 0xC1;
    static constexpr uint8_t kOpen = 0x30;
    static constexpr uint8_t kRead = 0x33;
    static constexpr uint8_t kWrite = 0x36;
    static constexpr uint8_t kClose = 0x3C;
    static constexpr uint32_t kDeleteConfirmation = 0x5D27A1F3;
    static constexpr uint32_t kPieceLimit = 4096;  // bulk data of a command: a path or a piece

private:
    void handle(const Call& call, Answer& answer);

    SdCard card_;
};

}  // namespace hcsim
