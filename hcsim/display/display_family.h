#pragma once

#include <optional>
#include <string>

#include "hcsim/display/buttons.h"
#include "hcsim/display/menu_state.h"
#include "hcsim/display/screen.h"
#include "hcsim/display/update_stream.h"
#include "hcsim/hc/family.h"

namespace hcsim {

class HcDevice;

// The HC's display and buttons: command 0xD1 (display read) and 0xAE (button event) in both
// modes, the menu the HC draws on its 240 x 320 display, and the buttons' back-lights.
//
// 0xD1 parameters: 0x01 fresh start (the next update carries every pixel), 0x02 the update
// stream since the last one (update_stream.h) as bulk data, 0x03 the lights record (answered
// under 0x03: level and colour of each button), and from firmware protocol version 0x111 on
// 0x10, every pixel without disturbing the tracking. Updates up to kFramedLimit bytes come
// inside the answer (0xFD), larger ones after it (0xFE), unless a control command fixes
// the delivery.
//
// 0xAE: one parameter 0x20 + 0x10 (release) + the button code. Presses move through the menu;
// a power-off or restart chosen there follows the acknowledgement with its asynchronous
// message. Other families add menu items and the live line through MenuContributor.
class DisplayFamily final : public Family {
public:
    explicit DisplayFamily(HcDevice& hc);

    void addCommands(HcMode mode, CommandTable& table) override;
    void restart() override;
    void started(HcMode mode, platform::TimePoint at) override;
    std::optional<std::string> control(const std::vector<std::string>& words,
                                       platform::TimePoint now, Bytes& out) override;
    std::string controlHelp() const override;

    static constexpr uint8_t kFreshStart = 0x01;
    static constexpr uint8_t kImage = 0x02;
    static constexpr uint8_t kLights = 0x03;
    static constexpr uint8_t kSnapshot = 0x10;
    static constexpr uint16_t kSnapshotSince = 0x111;
    static constexpr uint8_t kButtonBase = 0x20;
    static constexpr uint8_t kReleased = 0x10;
    static constexpr size_t kFramedLimit = 8192;

    // The display as it is now (redrawn for `now` first), and the lights.
    const Screen& screen(platform::TimePoint now);
    ButtonLights lights() const;
    const MenuState& menu() const { return menu_; }
    // A press (and release) of a button as on the HC itself; what the menu asks of the HC's
    // power and mode happens at once.
    void press(int button, platform::TimePoint now, Bytes& out);

    enum class Delivery { Auto, Framed, Streamed };
    void setDelivery(Delivery how) { delivery_ = how; }

    // Settings of the HC's own menu.
    uint8_t lightLevel() const { return lightLevel_; }
    uint8_t lightColour() const { return lightColour_; }

private:
    class Action;
    friend class Action;

    void read(const Call& call, Answer& answer);
    void buttonEvent(const Call& call, Answer& answer);
    void buildMenu(HcMode mode);
    std::vector<MenuItem> ownItems(HcMode mode);
    std::string liveLine(platform::TimePoint now) const;
    std::string statusText() const;
    void redraw(platform::TimePoint now);

    HcDevice& hc_;
    HcMode mode_ = HcMode::Off;
    MenuState menu_;
    Screen screen_;
    ChangeTracker tracker_;
    Delivery delivery_ = Delivery::Auto;
    uint8_t lightLevel_ = 6;
    uint8_t lightColour_ = 0;
    std::string message_;
    platform::TimePoint messageUntil_{};
    // The HC's clock: the wall time at its start, counted on with the suite's clock.
    std::chrono::system_clock::time_point wallAtStart_{};
    platform::TimePoint startedAt_{};
};

}  // namespace hcsim
