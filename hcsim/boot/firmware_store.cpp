#include "hcsim/boot/firmware_store.h"

namespace hcsim::boot {

FirmwareStore::FirmwareStore(uint8_t target, uint16_t startWord, size_t capacity, Bytes image)
    : target_(target), startWord_(startWord), capacity_(capacity) {
    install(std::move(image));
}

void FirmwareStore::install(Bytes image) {
    flash_ = std::move(image);
    session_ = Session::None;
    recheck();
}

void FirmwareStore::recheck() {
    status_ = checkImage(flash_, target_, startWord_, capacity_);
}

Bytes FirmwareStore::record() const {
    Bytes out(9 + kDescriptionSize, 0);
    out[0] = status_;
    auto block = info();
    if (status_ != kFirmwareValid || !block) return out;
    out[1] = static_cast<uint8_t>(block->flags);
    out[2] = static_cast<uint8_t>(block->flags >> 8);
    out[3] = static_cast<uint8_t>(block->version);
    out[4] = static_cast<uint8_t>(block->version >> 8);
    uint32_t pages = (block->size + 511) / 512;
    for (int i = 0; i < 4; ++i)
        out[5 + i] = static_cast<uint8_t>(pages >> (8 * i));
    std::copy(block->description.begin(), block->description.end(), out.begin() + 9);
    return out;
}

bool FirmwareStore::startUpload(uint16_t startWord) {
    if (startWord != startWord_) return false;
    session_ = Session::Started;
    return true;
}

uint8_t FirmwareStore::erase() {
    if (session_ != Session::Started) return kNoUploadStarted;
    flash_.clear();
    recheck();
    infoChecked_ = false;
    session_ = Session::Receiving;
    return kProgrammingStarted;
}

uint8_t FirmwareStore::fail(uint8_t status) {
    session_ = Session::Failed;
    failure_ = status;
    return status;
}

uint8_t FirmwareStore::write(const Bytes& chunk) {
    if (session_ == Session::Failed) return failure_;
    if (session_ != Session::Receiving) return kNotUploading;
    bool wasComplete = status_ == kFirmwareValid;
    size_t room = capacity_ - flash_.size();
    flash_.insert(flash_.end(), chunk.begin(),
                  chunk.begin() + static_cast<std::ptrdiff_t>(std::min(room, chunk.size())));
    recheck();
    if (wasComplete) return fail(kCountMismatch);  // more than the complete image
    if (!infoChecked_ && flash_.size() >= kInfoBlockSize) {
        auto block = readInfo(flash_);
        uint8_t problem = block ? checkInfo(*block, target_, startWord_, capacity_) : kNoInfoBlock;
        if (problem != kFirmwareValid) return fail(kBadInfoBase + problem);
        infoChecked_ = true;
    }
    if (chunk.size() > room) return fail(kBadInfoBase + kWrongSize);
    if (!infoChecked_) return kChunkAccepted;
    uint32_t size = readInfo(flash_)->size;
    if (flash_.size() < size) return kChunkAccepted;
    if (flash_.size() > size) return fail(kCountMismatch);
    return status_ == kFirmwareValid ? kImageComplete : fail(kChecksumAfterProgramming);
}

}  // namespace hcsim::boot
