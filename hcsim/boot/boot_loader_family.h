#pragma once

#include <optional>

#include "hcsim/boot/boot_faults.h"
#include "hcsim/boot/camera_device.h"
#include "hcsim/boot/firmware_store.h"
#include "hcsim/hc/family.h"

namespace hcsim {
class HcDevice;
}

namespace hcsim::boot {

// The HC's boot loader and the firmware it keeps, with the camera behind it.
//
// BOOT mode, command 0xF7:
//   0x10  firmware information: 49 bytes (record of FirmwareStore) when the firmware is valid,
//         else its status alone (1 byte)
//   0x30  upload start with the start word: answered with 0x30 (no value) when the word is
//         the application area's (0x0080), without it when not
//   0x8A  programming start, 3 zero bytes: erases the application area (status 0) and is then
//         busy for eraseTime; 1 without an upload start, 2 for another value
//   0xDA  with empty bulk data: readiness: 102 while erasing, 239 while a relocated firmware
//         just installed waits for a restart, 0x50 without a programming start, else 0;
//         with bulk data: a chunk of the image, answered with FirmwareStore's update status
//         (102 when it comes while erasing, and the chunk is dropped)
//   0x8F  finish: ends the upload; answered with the firmware status
// BOOT mode, command 0xF4 (the camera):
//   0xC0  release: the camera restarts into its firmware; answered with 0xC0 (no value)
//   0xC1  boot start: answered after cameraStartTime with one byte, 0 when the camera runs its
//         boot loader, 1 when no camera answers
//   0x3C  pass-through: the camera parameter and command code; the bulk data is the camera's
//         data; answered with the pass-through status byte and the camera's reply as bulk data
// Firmware mode, command 0xF7: 0x10 as above (the running firmware's own), 0x8F answered alike.
//
// What the flash holds outlasts restarts and power cycles: a successful upload runs at the next
// start into the firmware; an HC without a valid firmware starts into BOOT mode instead, so a
// broken-off update can be repeated.
class BootLoaderFamily final : public Family {
public:
    explicit BootLoaderFamily(HcDevice& hc);

    void addCommands(HcMode mode, CommandTable& table) override;
    void restart() override;
    HcMode startingMode(HcMode wanted) const override;
    void onTick(platform::TimePoint now, Bytes& out) override;
    platform::TimePoint nextEvent() const override;
    std::optional<std::string> control(const std::vector<std::string>& words,
                                       platform::TimePoint now, Bytes& out) override;
    std::string controlHelp() const override;

    FirmwareStore& store() { return store_; }
    CameraDevice& camera() { return camera_; }
    BootFaults& faults() { return faults_; }
    void setEraseTime(platform::Millis t) { eraseTime_ = t; }
    void setCameraStartTime(platform::Millis t) { cameraStartTime_ = t; }

    // Parameters of 0xF7 and 0xF4.
    static constexpr uint8_t kInfo = 0x10;
    static constexpr uint8_t kUploadStart = 0x30;
    static constexpr uint8_t kProgrammingStart = 0x8A;
    static constexpr uint8_t kImageData = 0xDA;
    static constexpr uint8_t kFinish = 0x8F;
    static constexpr uint8_t kCameraRelease = 0xC0;
    static constexpr uint8_t kCameraBootStart = 0xC1;
    static constexpr uint8_t kPassThrough = 0x3C;

    static constexpr uint32_t kChunkLimit = 4096;       // bulk data of one command
    static constexpr uint16_t kStartWord = 0x0080;      // after the 64 KiB boot loader
    static constexpr size_t kCapacity = 1984 * 1024;    // of 2 MiB of flash
    static constexpr uint16_t kRelocatedFlag = 0x0010;  // flags bit 4

private:
    void handleUpdate(const Call& call, Answer& answer);
    void handleCamera(const Call& call, Answer& answer);
    void addInformation(Answer& answer);
    uint8_t readiness(platform::TimePoint at);
    uint8_t imageData(const Bytes& chunk, platform::TimePoint at);
    CameraDevice::Reply passThrough(uint8_t code, uint8_t param, const Bytes& data);
    std::string describe() const;

    HcDevice& hc_;
    FirmwareStore store_;
    CameraDevice camera_;
    BootFaults faults_;
    platform::Millis eraseTime_{200};
    platform::Millis cameraStartTime_{1200};
    platform::TimePoint busyUntil_{};
    bool relocatedWaitsForRestart_ = false;
    std::optional<Answer> delayed_;  // an answer that goes out at delayedAt_
    platform::TimePoint delayedAt_{};
};

// The HC's firmware as it leaves the factory.
Bytes factoryHcImage();

}  // namespace hcsim::boot
