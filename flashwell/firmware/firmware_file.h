#pragma once

// Firmware files: one HC image and one camera image, each with its version, flags, start word
// and description, behind the header "VT5fw\0". The images are opaque here: the loader carries
// their bytes to the update unchanged.
//
// File layout (little-endian): the 6 header bytes 56 54 35 66 77 00, then sections back to back
// up to the end of the file, each:
//   0  2   section id: "HC", "CA"; any other id is read and skipped
//   2  2   version: major in the high byte, minor in the low byte
//   4  2   flags: bits 12-15 build number, bits 5-8 the lowest PCB version supported
//   6  2   start word, handed to the device when the upload starts
//   8  40  description, zero-padded
//   48 4   payload size, below 2 MiB
//   52 ... payload

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One image of a firmware file (one slot of the loaded firmware).
struct FirmwareImage {
    char sectionId[3] = {};
    uint16_t version = 0;
    uint16_t flags = 0;
    uint16_t startWord = 0;
    char description[41] = {};  // ends at the first zero byte or after 40 bytes
    uint32_t payloadSize = 0;
    std::vector<uint8_t> payload;

    bool HasPayload() const { return !payload.empty(); }
    int BuildNumber() const { return flags >> 12; }
    // The lowest PCB version the firmware supports (a lower version is newer hardware).
    int PcbVersionLimit() const { return (flags >> 5) & 0xF; }
};

// The two slots a firmware file fills.
struct LoadedFirmware {
    FirmwareImage hc;
    FirmwareImage camera;

    void Clear() { *this = LoadedFirmware{}; }
};

// Load results.
enum FirmwareLoadResult : int {
    kFirmwareLoaded = 0,
    kFirmwareCantOpen = 1,
    kFirmwareReadError = 2,      // the file ends inside the header or a section's fixed fields
    kFirmwareWrongContents = 3,  // wrong header, a payload of 2 MiB or more, or one cut short
    kFirmwareOutOfMemory = 4,
};

constexpr uint32_t kFirmwarePayloadLimit = 2u << 20;  // payload sizes stay below this

// Empties both slots, then fills them from the file. A failure keeps the images that earlier
// sections placed.
int LoadFirmwareFile(const std::string& path, LoadedFirmware& firmware);
// The same for a file's bytes in memory.
int LoadFirmwareData(const uint8_t* data, size_t size, LoadedFirmware& firmware);

// The text the updater shows for a load result: "can't open/find file", ...
const char* FirmwareLoadText(int result);

// What the updater logs after a successful load ("\r\n" line ends).
std::string ContentSummary(const LoadedFirmware& firmware);
