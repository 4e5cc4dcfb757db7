#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/ftd2xx/vbus/device.h"

// Firmware images of the Veltra-5, as its boot loaders see them. The PC carries an image as
// opaque bytes; the boot loaders of the HC and of the camera read the information block at its
// start, check the image against it and report what it holds.
//
// Information block: the first 64 bytes of every image, little-endian.
//   offset size
//   0      4    magic "V5IB"
//   4      1    target: 'H' an image for the HC, 'C' one for the camera
//   5      1    layout of this block: 1
//   6      2    flags, reported as they stand: bits 12-15 build number, bits 5-8 the lowest
//               PCB version the firmware supports, bit 4 set for a relocated firmware
//   8      2    version: major in the high byte, minor in the low byte
//   10     2    start word: the first 512-byte page of the image in the device's flash; the
//               upload must name the same
//   12     4    image size in bytes, this block included
//   16     40   description, zero-padded
//   56     4    CRC-32 (the one of zlib and Ethernet) of the whole image, these four bytes
//               taken as zero
//   60     4    reserved, zero
namespace hcsim::boot {

using platform::vbus::Bytes;

constexpr size_t kInfoBlockSize = 64;
constexpr uint8_t kInfoLayout = 1;
constexpr uint8_t kTargetHc = 'H';
constexpr uint8_t kTargetCamera = 'C';
constexpr size_t kDescriptionSize = 40;
constexpr size_t kCrcOffset = 56;

// Firmware status, as the firmware information record reports it.
constexpr uint8_t kFirmwareValid = 0;
constexpr uint8_t kNoInfoBlock = 1;     // shorter than the block, or no magic
constexpr uint8_t kWrongTarget = 2;     // an image for the other device
constexpr uint8_t kUnknownLayout = 3;   // a block layout this boot loader does not know
constexpr uint8_t kWrongSize = 4;       // the block's size is not what the flash holds, or
                                        // does not fit into it
constexpr uint8_t kWrongStartWord = 5;  // built for another place in the flash
constexpr uint8_t kInternalError = 8;
constexpr uint8_t kChecksumError = 9;
constexpr uint8_t kNoFirmware = 15;  // the flash is erased

struct ImageInfo {
    uint8_t target = 0;
    uint8_t layout = 0;
    uint16_t flags = 0;
    uint16_t version = 0;
    uint16_t startWord = 0;
    uint32_t size = 0;
    std::array<uint8_t, kDescriptionSize> description{};
    uint32_t crc = 0;
};

// The block at the start of `image`; nothing when it is shorter than a block or lacks the magic.
std::optional<ImageInfo> readInfo(const Bytes& image);

// The CRC-32 of an image with its checksum field taken as zero.
uint32_t imageCrc(const Bytes& image);

// What a boot loader for `target`, whose flash has room for `capacity` bytes from page
// `startWord` on, finds wrong with the block alone: kFirmwareValid when nothing.
uint8_t checkInfo(const ImageInfo& info, uint8_t target, uint16_t startWord, size_t capacity);

// The firmware status of an image as the flash holds it (empty: erased).
uint8_t checkImage(const Bytes& image, uint8_t target, uint16_t startWord, size_t capacity);

// A valid image of `size` bytes (at least the block), its body pseudo-random from `seed`.
struct ImageSpec {
    uint8_t target = kTargetHc;
    uint16_t version = 0;
    uint16_t flags = 0;
    uint16_t startWord = 0;
    std::string description;
    size_t size = kInfoBlockSize;
    uint32_t seed = 1;
};
Bytes makeImage(const ImageSpec& spec);

// Writes the checksum of an image into its block (after a test changed its bytes).
void sealImage(Bytes& image);

}  // namespace hcsim::boot
