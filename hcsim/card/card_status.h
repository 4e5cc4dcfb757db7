#pragma once

#include <cstdint>

namespace hcsim {

// The file system status codes of the HC's firmware: the 4-byte status at the front of every
// answer of command 0x5F. The PC passes them through to its caller (and to its user).
enum CardStatus : int32_t {
    kCardOk = 0,
    kCardDiskError = 1,          // the card failed during the operation (pulled mid-transfer)
    kCardNotReady = 3,           // no card inserted
    kCardNoFile = 4,             // no such file
    kCardNoPath = 5,             // no such folder on the way, or above the root
    kCardInvalidName = 6,        // empty name, or characters FAT does not allow
    kCardDenied = 7,             // read-only file, folder not empty, a folder where a file is
                                 // wanted, a file in use, or the current folder itself
    kCardExists = 8,             // a folder of that name is in the way
    kCardNotOpen = 9,            // no open file (or listing) for the operation
    kCardWrongMode = 10,         // reading a file opened for writing, or the other way round
    kCardFull = 17,              // no room left on the card; the file being written is dropped
    kCardTooLarge = 18,          // a FAT file holds at most 4 GiB - 1 bytes
    kCardInvalidParameter = 19,  // unknown open mode, a read of 0 or more than 4096 bytes
    kCardBadConfirmation = 20,   // a delete without the confirmation code
};

}  // namespace hcsim
