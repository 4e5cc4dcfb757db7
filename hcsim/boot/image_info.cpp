#include "hcsim/boot/image_info.h"

#include <algorithm>
#include <cstring>

namespace hcsim::boot {
namespace {

constexpr uint8_t kMagic[4] = {'V', '5', 'I', 'B'};

uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void putLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void putLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t crcStep(uint32_t crc, uint8_t byte) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit)
        crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    return crc;
}

}  // namespace

std::optional<ImageInfo> readInfo(const Bytes& image) {
    if (image.size() < kInfoBlockSize || !std::equal(kMagic, kMagic + 4, image.begin()))
        return std::nullopt;
    const uint8_t* p = image.data();
    ImageInfo info;
    info.target = p[4];
    info.layout = p[5];
    info.flags = le16(p + 6);
    info.version = le16(p + 8);
    info.startWord = le16(p + 10);
    info.size = le32(p + 12);
    std::copy(p + 16, p + 16 + kDescriptionSize, info.description.begin());
    info.crc = le32(p + kCrcOffset);
    return info;
}

uint32_t imageCrc(const Bytes& image) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < image.size(); ++i) {
        bool checksumField = i >= kCrcOffset && i < kCrcOffset + 4;
        crc = crcStep(crc, checksumField ? 0 : image[i]);
    }
    return ~crc;
}

uint8_t checkInfo(const ImageInfo& info, uint8_t target, uint16_t startWord, size_t capacity) {
    if (info.target != target) return kWrongTarget;
    if (info.layout != kInfoLayout) return kUnknownLayout;
    if (info.size < kInfoBlockSize || info.size > capacity) return kWrongSize;
    if (info.startWord != startWord) return kWrongStartWord;
    return kFirmwareValid;
}

uint8_t checkImage(const Bytes& image, uint8_t target, uint16_t startWord, size_t capacity) {
    if (image.empty()) return kNoFirmware;
    auto info = readInfo(image);
    if (!info) return kNoInfoBlock;
    if (uint8_t status = checkInfo(*info, target, startWord, capacity)) return status;
    if (info->size != image.size()) return kWrongSize;
    return imageCrc(image) == info->crc ? kFirmwareValid : kChecksumError;
}

Bytes makeImage(const ImageSpec& spec) {
    Bytes image(std::max(spec.size, kInfoBlockSize));
    uint8_t* p = image.data();
    std::memcpy(p, kMagic, 4);
    p[4] = spec.target;
    p[5] = kInfoLayout;
    putLe16(p + 6, spec.flags);
    putLe16(p + 8, spec.version);
    putLe16(p + 10, spec.startWord);
    putLe32(p + 12, static_cast<uint32_t>(image.size()));
    std::memcpy(p + 16, spec.description.data(),
                std::min(spec.description.size(), kDescriptionSize));
    // The body: xorshift32, so that every image differs from the next in every page.
    uint32_t x = spec.seed ? spec.seed : 1;
    for (size_t i = kInfoBlockSize; i < image.size(); ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        image[i] = static_cast<uint8_t>(x);
    }
    sealImage(image);
    return image;
}

void sealImage(Bytes& image) {
    if (image.size() < kInfoBlockSize) return;
    putLe32(image.data() + kCrcOffset, imageCrc(image));
}

}  // namespace hcsim::boot
