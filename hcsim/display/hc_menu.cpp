// The HC's own menu items: the button lights, what the HC is, restarting and switching off.

#include <algorithm>
#include <cstdio>

#include "hcsim/display/display_family.h"
#include "hcsim/hc/hc_config.h"
#include "hcsim/hc/hc_device.h"

namespace hcsim {
namespace {

constexpr const char* kColourNames[3] = {"Red", "Violet", "Blue"};

std::string hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

MenuItem info(std::string label, std::string value) {
    return {std::move(label), {}, [value] { return value; }, {}};
}

// A page that asks before `action`: SET on "Yes" carries it out, "No" or ESC go back.
MenuItem confirmed(std::string label, std::string question, std::string yes,
                   std::function<void(MenuContext&)> action) {
    return {std::move(label),
            [question, yes, action](MenuContext& c) {
                c.openPage(question, {MenuItem{yes, action, {}, {}},
                                      MenuItem{"No", [](MenuContext& n) { n.back(); }, {}, {}}});
            },
            {},
            {}};
}

}  // namespace

std::vector<MenuItem> DisplayFamily::ownItems(HcMode mode) {
    std::vector<MenuItem> items;
    if (mode == HcMode::Boot) {
        items.push_back(
            {"Start firmware", [](MenuContext& c) { c.restartInto(HcMode::Firmware); }, {}, {}});
    }
    items.push_back({"Button lights",
                     [this](MenuContext&) { lightLevel_ = (lightLevel_ + 1) % 10; },
                     [this] { return std::to_string(lightLevel_); },
                     [this](MenuContext&, int step) {
                         lightLevel_ = static_cast<uint8_t>(std::clamp(lightLevel_ + step, 0, 9));
                     }});
    items.push_back({"Light colour",
                     [this](MenuContext&) { lightColour_ = (lightColour_ + 1) % 3; },
                     [this] { return std::string(kColourNames[lightColour_]); },
                     [this](MenuContext&, int step) {
                         lightColour_ = static_cast<uint8_t>((lightColour_ + 3 + step) % 3);
                     }});
    items.push_back({"About this HC",
                     [this](MenuContext& c) {
                         const HcConfig& config = hc_.config();
                         c.openPage("About", {info("Serial", config.serial),
                                              info("Firmware", hex(config.firmwareVersion)),
                                              info("Boot loader", hex(config.bootVersion)),
                                              info("Hardware", std::to_string(config.hardwareId))});
                     },
                     {},
                     {}});
    if (mode == HcMode::Firmware) {
        items.push_back(confirmed("Restart to BOOT", "Restart to BOOT?", "Yes, restart",
                                  [](MenuContext& c) { c.restartInto(HcMode::Boot); }));
    }
    items.push_back(confirmed("Switch off", "Switch off?", "Yes, switch off",
                              [](MenuContext& c) { c.powerOff(); }));
    return items;
}

}  // namespace hcsim
