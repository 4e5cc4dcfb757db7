#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace hcsim {

// The HC's six push buttons, by the codes of the button event command.
enum Button : int { kEsc = 0, kSet = 1, kLeft = 2, kRight = 3, kUp = 4, kDown = 5 };
constexpr int kButtons = 6;

// "esc", "set", "left", "right", "up", "down".
std::optional<int> parseButton(std::string_view name);

// A button's back-light: level 0 (dark) to 9, colour 1, 2 or another value.
struct ButtonLight {
    uint8_t level = 0;
    uint8_t colour = 0;
};
using ButtonLights = std::array<ButtonLight, kButtons>;

}  // namespace hcsim
