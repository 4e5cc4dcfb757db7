#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "hcsim/hc/hc_mode.h"
#include "platform/clock/clock.h"

namespace hcsim {

class MenuContext;

// One line of the HC's menu. Other families add their own (MenuContributor): a label, what
// SET does, and optionally a value shown at the right and what Left/Right do to it.
struct MenuItem {
    std::string label;
    std::function<void(MenuContext&)> onSet;        // none: SET does nothing here
    std::function<std::string()> value;             // none: no value column
    std::function<void(MenuContext&, int)> adjust;  // Left (-1) / Right (+1); none: not lit
};

// What a menu action may do to the HC. Changes of power and mode take effect once the
// button's event is acknowledged, and announce themselves with their asynchronous message.
class MenuContext {
public:
    virtual ~MenuContext() = default;
    virtual platform::TimePoint now() const = 0;
    // A note on the display's bottom line for a few seconds.
    virtual void showMessage(std::string text) = 0;
    // Opens a page of its own (ESC comes back); `back` leaves the current one.
    virtual void openPage(std::string title, std::vector<MenuItem> items) = 0;
    virtual void back() = 0;
    virtual void powerOff() = 0;
    virtual void restartInto(HcMode mode) = 0;
};

// A family that shows something on the HC's display takes this in too; the display finds it
// among the HC's families when the HC starts.
class MenuContributor {
public:
    virtual ~MenuContributor() = default;
    // Items for the main menu of `mode` (firmware or BOOT mode), placed before the HC's own
    // settings and power items.
    virtual void addMenuItems(HcMode mode, std::vector<MenuItem>& items) {
        (void)mode, (void)items;
    }
    // The live line below the status line, refreshed every second: the text to show now, or
    // nothing to leave the line to another family (the HC's clock when none has a word).
    virtual std::optional<std::string> liveLine(platform::TimePoint now) const {
        (void)now;
        return std::nullopt;
    }
    // A short state for the right of the status line (e.g. the SD card's), or nothing.
    virtual std::optional<std::string> statusText() const { return std::nullopt; }
};

}  // namespace hcsim
