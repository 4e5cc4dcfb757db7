#pragma once

#include <string>

#include "hcsim/display/menu_state.h"
#include "hcsim/display/screen.h"

namespace hcsim {

// The texts around the menu.
struct MenuScreenContent {
    std::string status;   // right of the status line
    std::string live;     // the live line (clock or a family's readout)
    std::string message;  // the bottom line; empty: the key hint
};

// Draws the whole display: status line, live line, the current page with its selected line,
// and the bottom line.
void drawMenuScreen(Screen& screen, const MenuState& menu, const MenuScreenContent& content);

}  // namespace hcsim
