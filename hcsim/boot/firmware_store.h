#pragma once

#include <cstddef>
#include <cstdint>

#include "hcsim/boot/image_info.h"

namespace hcsim::boot {

// Update statuses, as the boot loaders answer image data (and readiness).
constexpr uint8_t kChunkAccepted = 0;    // more data expected
constexpr uint8_t kCountMismatch = 1;    // more bytes arrived than the image has
constexpr uint8_t kImageComplete = 13;   // the image is in and its checksum right
constexpr uint8_t kNotUploading = 0x50;  // image data without an upload and programming start
constexpr uint8_t kBadInfoBase = 0x80;   // + the firmware status of a block that fails its check
constexpr uint8_t kChecksumAfterProgramming = 0xC1;
constexpr uint8_t kBusy = 102;
constexpr uint8_t kNoRoom = 239;

// Statuses of the programming start.
constexpr uint8_t kProgrammingStarted = 0;
constexpr uint8_t kNoUploadStarted = 1;
constexpr uint8_t kBadProgrammingValue = 2;

// The application area of a device's flash and an upload into it. The image lives from page
// startWord on; an upload names that page, erases the area and writes the image chunk by chunk.
// The block at the image's start is checked as soon as it is in; the checksum when the last
// byte the block announces is. What the flash holds stays there, complete or not: an upload
// that breaks off leaves a damaged firmware behind.
class FirmwareStore {
public:
    FirmwareStore(uint8_t target, uint16_t startWord, size_t capacity, Bytes image);

    uint8_t target() const { return target_; }
    uint16_t startWord() const { return startWord_; }
    size_t capacity() const { return capacity_; }
    const Bytes& flash() const { return flash_; }
    // The firmware status of what the flash holds.
    uint8_t status() const { return status_; }
    // The block of the image in the flash, when it has one.
    std::optional<ImageInfo> info() const { return readInfo(flash_); }
    // The firmware information record: status, flags, version, size in 512-byte pages and
    // description (49 bytes); the fields after the status are zero unless the status is 0.
    Bytes record() const;

    // Upload start: false (and nothing changes) for a start word other than this area's.
    bool startUpload(uint16_t startWord);
    // Erases the area for the upload started; kProgrammingStarted or why not.
    uint8_t erase();
    // Readiness and image data go here once erased.
    bool erased() const { return session_ == Session::Receiving; }
    // One chunk of the image; the update status.
    uint8_t write(const Bytes& chunk);
    // The end of the upload (finish, restart): a new one must start over.
    void endUpload() { session_ = Session::None; }
    bool uploading() const { return session_ != Session::None; }

    // Puts an image into the flash as a factory would.
    void install(Bytes image);

private:
    enum class Session { None, Started, Receiving, Failed };

    uint8_t fail(uint8_t status);
    void recheck();

    uint8_t target_;
    uint16_t startWord_;
    size_t capacity_;
    Bytes flash_;
    uint8_t status_ = kNoFirmware;
    Session session_ = Session::None;
    bool infoChecked_ = false;
    uint8_t failure_ = 0;
};

}  // namespace hcsim::boot
