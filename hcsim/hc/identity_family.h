#pragma once

#include "hcsim/hc/family.h"
#include "hcsim/hc/hc_config.h"

namespace hcsim {

// Command 0xF8 in both modes: protocol words (answered under 0x01 by the firmware, 0x03 by
// the boot loader), the supported-command table as bulk data, chip ID and unique ID, hardware
// ID, device text. Each parameter asked for adds its answer entry, in the order asked.
class IdentityFamily final : public Family {
public:
    explicit IdentityFamily(const HcConfig& config) : config_(config) {}
    void addCommands(HcMode mode, CommandTable& table) override;

    static constexpr uint8_t kProtocolWords = 0x01;
    static constexpr uint8_t kBootProtocolWords = 0x03;  // answer parameter in BOOT mode
    static constexpr uint8_t kCommandTable = 0x0A;
    static constexpr uint8_t kUniqueId = 0x10;
    static constexpr uint8_t kHardwareId = 0x11;
    static constexpr uint8_t kDeviceText = 0xD1;

private:
    void handle(const Call& call, Answer& answer) const;

    const HcConfig& config_;
};

}  // namespace hcsim
