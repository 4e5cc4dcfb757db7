#pragma once

#include <optional>
#include <string_view>

namespace hcsim {

// What the HC runs: nothing (switched off; its USB chip still answers), its firmware, or its
// boot loader (BOOT mode).
enum class HcMode { Off, Firmware, Boot };

// "off", "firmware", "boot".
const char* modeName(HcMode mode);
std::optional<HcMode> parseMode(std::string_view name);

}  // namespace hcsim
