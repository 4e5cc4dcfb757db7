#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "hcsim/boot/firmware_store.h"

namespace hcsim::boot {

// The guide camera behind the HC, as the HC's boot loader reaches it: the HC restarts it into
// its own boot loader (boot start) and out of it (release), and passes commands to it, each a
// camera command code and parameter with data, answered by a reply. The camera answers only
// while in its boot loader:
//   F8/01  no data                      4 bytes: 0xB000 | protocol version, second word
//   F8/10  the 4 bytes of F8/01         24 bytes: 8 identity bytes, 16-character unique ID
//   F8/11  the 24 bytes of F8/10        1 byte: hardware ID
//   F7/10  no data                      49 bytes: firmware information record
//   F7/30  2 bytes: start word          1 byte: 0 accepted (the flash is erased), 1 refused
//   F7/DA  a chunk of the image         2 bytes: update status, 0
// Each identity step must carry the previous step's reply, as a proof that the camera was read
// in order; anything else goes unanswered.
class CameraDevice {
public:
    // What becomes of one command passed through; status as the HC answers under 0x3C.
    struct Reply {
        uint8_t status = 0;
        Bytes data;
    };
    // HC pass-through statuses.
    static constexpr uint8_t kAnswered = 0;
    static constexpr uint8_t kLineError = 1;   // the reply came, but failed the line's check
    static constexpr uint8_t kNotStarted = 2;  // the camera is not in its boot loader
    static constexpr uint8_t kNoReply = 3;     // the camera did not answer

    static constexpr uint16_t kProtocolVersion = 0x0021;
    static constexpr uint16_t kSecondWord = 0x0002;
    static constexpr uint8_t kHardwareId = 2;
    static constexpr uint16_t kStartWord = 0x0040;   // after its 32 KiB boot loader
    static constexpr size_t kCapacity = 480 * 1024;  // of 512 KiB of flash

    // The camera of the HC with this serial: its unique ID derives from it.
    explicit CameraDevice(const std::string& hcSerial);

    bool attached() const { return attached_; }
    void setAttached(bool attached);
    bool inBootLoader() const { return inBoot_; }
    // Boot start: 0 when the camera now runs its boot loader, 1 when no camera answers.
    uint8_t bootStart();
    // Release: the camera restarts into its firmware; an upload breaks off.
    void release();
    // The HC restarts or powers off: so does the camera.
    void restart() { release(); }

    Reply command(uint8_t code, uint8_t param, const Bytes& data);

    FirmwareStore& store() { return store_; }
    const FirmwareStore& store() const { return store_; }
    const std::array<uint8_t, 16>& uniqueId() const { return uniqueId_; }

private:
    Bytes protocolWords() const;
    Bytes identity() const;

    FirmwareStore store_;
    std::array<uint8_t, 16> uniqueId_{};
    bool attached_ = true;
    bool inBoot_ = false;
};

// The camera's firmware as it leaves the factory.
Bytes factoryCameraImage();

}  // namespace hcsim::boot
