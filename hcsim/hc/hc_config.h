#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "hcsim/hc/hc_mode.h"
#include "platform/clock/clock.h"

namespace hcsim {

// A zero-padded fixed-size text field (unique ID, device text).
template <size_t N>
std::array<uint8_t, N> textField(std::string_view text) {
    std::array<uint8_t, N> field{};
    for (size_t i = 0; i < N && i < text.size(); ++i)
        field[i] = static_cast<uint8_t>(text[i]);
    return field;
}

// Everything that makes one simulated HC what it is. The defaults describe a healthy HC of
// current make; tests change single fields.
struct HcConfig {
    // The USB-serial chip in front of the HC.
    std::string serial = "VT5SIM01";
    std::string description = "Veltra-5 HandController";
    uint32_t usbId = 0x04036015;  // vendor << 16 | product

    // What runs when the chip is plugged in.
    HcMode startMode = HcMode::Firmware;

    // The host folder that backs the HC's SD card; empty: no card inserted.
    std::filesystem::path cardDir;

    // Protocol words answered to 0xF8/0x01: the protocol version, then the second word.
    // Firmware from 0x111 on can send complete display snapshots; boot loaders from 0x12 on
    // know the power-off code, and the updater accepts boot loaders below 0x100 only.
    uint16_t firmwareVersion = 0x0112;
    uint16_t firmwareWord2 = 0x0003;
    uint16_t bootVersion = 0x0014;
    uint16_t bootWord2 = 0x0001;

    // Identity values. Chip ID and unique ID are derived from the serial unless set, so that
    // every simulated HC has its own; the derived unique ID is 15 capitals and digits and a
    // zero byte.
    std::optional<std::array<uint32_t, 2>> chipId;  // low word first
    std::optional<std::array<uint8_t, 16>> uniqueId;
    uint8_t hardwareId = 3;
    std::array<uint8_t, 32> deviceText = textField<32>("Veltra-5 simulated HC");

    // The firmware's system change challenge; unset: a fresh pseudo-random one every time.
    std::optional<std::array<uint8_t, 4>> challenge;

    // Start-up: after the ESC line falls, the RESET line is released or the HC restarts, it
    // answers from bootTime on (programs wait 500 ms or more after their pulse). An ESC pulse
    // switches an HC that is off on when it lasts escFirmwareMin (firmware) or escBootMin
    // (BOOT mode); shorter ones are taken for noise.
    platform::Millis bootTime{100};
    platform::Millis escFirmwareMin{100};
    platform::Millis escBootMin{1000};
};

std::array<uint32_t, 2> chipIdOf(const HcConfig& config);
std::array<uint8_t, 16> uniqueIdOf(const HcConfig& config);

}  // namespace hcsim
