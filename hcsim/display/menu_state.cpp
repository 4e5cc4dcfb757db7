#include "hcsim/display/menu_state.h"

#include <algorithm>

namespace hcsim {

std::optional<int> parseButton(std::string_view name) {
    constexpr std::string_view kNames[kButtons] = {"esc", "set", "left", "right", "up", "down"};
    for (int b = 0; b < kButtons; ++b)
        if (name == kNames[b]) return b;
    return std::nullopt;
}

void MenuState::reset(std::string title, std::vector<MenuItem> items) {
    pages_.clear();
    pages_.push_back(Page{std::move(title), std::move(items), 0, 0});
}

void MenuState::openPage(std::string title, std::vector<MenuItem> items) {
    pages_.push_back(Page{std::move(title), std::move(items), 0, 0});
}

void MenuState::back() {
    if (pages_.size() > 1) pages_.pop_back();
}

const MenuItem* MenuState::selectedItem() const {
    const Page& p = page();
    if (p.items.empty()) return nullptr;
    return &p.items[static_cast<size_t>(p.selected)];
}

void MenuState::select(int line) {
    Page& p = pages_.back();
    int count = static_cast<int>(p.items.size());
    if (count == 0) return;
    p.selected = std::clamp(line, 0, count - 1);
    if (p.selected < p.top) p.top = p.selected;
    if (p.selected >= p.top + kVisibleLines) p.top = p.selected - kVisibleLines + 1;
}

void MenuState::press(int button, MenuContext& context) {
    const MenuItem* item = selectedItem();
    switch (button) {
        case kUp:
            select(page().selected - 1);
            break;
        case kDown:
            select(page().selected + 1);
            break;
        case kEsc:
            back();
            break;
        case kSet:
            // The action may open or leave pages: take a copy of what it needs first.
            if (item && item->onSet) {
                auto action = item->onSet;
                action(context);
            }
            break;
        case kLeft:
        case kRight:
            if (item && item->adjust) {
                auto adjust = item->adjust;
                adjust(context, button == kLeft ? -1 : 1);
            }
            break;
        default:
            break;  // codes 6 to 15: no such button on this HC
    }
}

ButtonLights MenuState::lights(uint8_t level, uint8_t colour) const {
    ButtonLights lights{};
    const Page& p = page();
    const MenuItem* item = selectedItem();
    auto light = [&](int button, bool lit) {
        lights[static_cast<size_t>(button)] = {lit ? level : uint8_t{0}, colour};
    };
    int count = static_cast<int>(p.items.size());
    light(kEsc, inSubpage());
    light(kSet, item && item->onSet);
    light(kLeft, item && item->adjust);
    light(kRight, item && item->adjust);
    light(kUp, p.selected > 0);
    light(kDown, p.selected < count - 1);
    return lights;
}

}  // namespace hcsim
