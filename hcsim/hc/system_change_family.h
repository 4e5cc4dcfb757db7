#pragma once

#include <array>
#include <optional>
#include <random>

#include "hcsim/hc/family.h"
#include "hcsim/hc/hc_config.h"

namespace hcsim {

// System change: type 0 powers the HC off (announced 0x36), type 1 restarts it into its
// firmware (0xB7), type 2 into BOOT mode (0xAA), from either mode.
//
// Firmware mode, command 0x51. Parameter 0xC5 gets a 4-byte challenge c0 c1 c2 c3. Parameter
// 0xA3 carries the response NOT c3, NOT c2, NOT c1, NOT c0, mode byte (0x0F, 0x01, 0x02), 0,
// and is answered with one status byte (kAccepted and the others below). On kAccepted the HC
// sends the answer, announces the change and carries it out. A challenge serves one response,
// right or wrong, and ends with a restart.
//
// BOOT mode, command 0xFA with one of 0x78, 0xB0, 0xA9 and its 4-byte code. The boot loader
// carries the change out without an answer and without an announcement (the PC expects
// silence). What it refuses it answers with type 0: carrying 0xFF (value: the parameter id)
// for the power-off code on a boot loader older than 0x12, which does not know it; without
// entries for a wrong code or not exactly one change.
class SystemChangeFamily final : public Family {
public:
    explicit SystemChangeFamily(const HcConfig& config);
    void addCommands(HcMode mode, CommandTable& table) override;
    void restart() override { challenge_.reset(); }

    static constexpr uint8_t kChallenge = 0xC5;
    static constexpr uint8_t kResponse = 0xA3;
    static constexpr uint8_t kBootPowerOff = 0x78;
    static constexpr uint8_t kBootToFirmware = 0xB0;
    static constexpr uint8_t kBootToBoot = 0xA9;
    static constexpr uint8_t kBootRefused = 0xFF;
    static constexpr uint16_t kBootPowerOffSince = 0x12;

    // Status bytes answered under 0xA3.
    static constexpr uint8_t kAccepted = 0;
    static constexpr uint8_t kNoChallenge = 1;
    static constexpr uint8_t kWrongResponse = 2;
    static constexpr uint8_t kUnknownChange = 3;

private:
    void handleFirmware(const Call& call, Answer& answer);
    void handleBoot(const Call& call, Answer& answer) const;
    uint8_t checkResponse(const Bytes& response, Answer& answer);
    std::array<uint8_t, 4> nextChallenge();

    const HcConfig& config_;
    std::optional<std::array<uint8_t, 4>> challenge_;
    std::mt19937 random_;
};

}  // namespace hcsim
