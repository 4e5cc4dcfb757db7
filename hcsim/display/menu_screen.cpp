#include "hcsim/display/menu_screen.h"

#include <algorithm>

namespace hcsim {
namespace {

// A red night palette, so that the display spoils nobody's dark adaptation.
constexpr uint16_t kBackground = Screen::rgb(8, 4, 4);
constexpr uint16_t kBar = Screen::rgb(96, 8, 0);
constexpr uint16_t kBarText = Screen::rgb(255, 200, 160);
constexpr uint16_t kLive = Screen::rgb(255, 112, 64);
constexpr uint16_t kTitle = Screen::rgb(255, 160, 96);
constexpr uint16_t kItem = Screen::rgb(216, 80, 56);
constexpr uint16_t kValue = Screen::rgb(255, 176, 80);
constexpr uint16_t kSelected = Screen::rgb(136, 24, 8);
constexpr uint16_t kSelectedText = Screen::rgb(255, 232, 200);
constexpr uint16_t kRule = Screen::rgb(64, 16, 8);

constexpr int kMargin = 8;
constexpr int kScale = 2;
constexpr int kCharWidth = 6 * kScale;
constexpr int kStatusHeight = 22;
constexpr int kLiveTop = 30;
constexpr int kRuleTop = 58;
constexpr int kTitleTop = 66;
constexpr int kItemsTop = 90;
constexpr int kLineHeight = 24;
constexpr int kBottomTop = Screen::kHeight - 24;

std::string fit(const std::string& text, int width) {
    size_t chars = static_cast<size_t>(std::max(0, (width + kScale) / kCharWidth));
    return text.size() <= chars ? text : text.substr(0, chars);
}

void drawItems(Screen& screen, const MenuState::Page& page) {
    int end = std::min(static_cast<int>(page.items.size()), page.top + MenuState::kVisibleLines);
    for (int i = page.top; i < end; ++i) {
        const MenuItem& item = page.items[static_cast<size_t>(i)];
        int y = kItemsTop + (i - page.top) * kLineHeight;
        bool selected = i == page.selected;
        if (selected) screen.fillRect(2, y - 4, Screen::kWidth - 4, kLineHeight - 2, kSelected);
        std::string value = item.value ? item.value() : std::string();
        int valueWidth = Screen::textWidth(value);
        if (!value.empty())
            screen.text(Screen::kWidth - kMargin - valueWidth, y, value,
                        selected ? kSelectedText : kValue);
        int labelRoom = Screen::kWidth - 2 * kMargin - (value.empty() ? 0 : valueWidth + 8);
        screen.text(kMargin, y, fit(item.label, labelRoom), selected ? kSelectedText : kItem);
    }
    // Marks for lines above and below the visible ones.
    if (page.top > 0) screen.fillRect(Screen::kWidth / 2 - 8, kItemsTop - 8, 16, 2, kTitle);
    if (end < static_cast<int>(page.items.size()))
        screen.fillRect(Screen::kWidth / 2 - 8, kBottomTop - 6, 16, 2, kTitle);
}

}  // namespace

void drawMenuScreen(Screen& screen, const MenuState& menu, const MenuScreenContent& content) {
    screen.fill(kBackground);
    screen.fillRect(0, 0, Screen::kWidth, kStatusHeight, kBar);
    screen.text(kMargin, 4, "VELTRA-5", kBarText);
    std::string status = fit(content.status, Screen::kWidth - 2 * kMargin - 9 * kCharWidth);
    screen.text(Screen::kWidth - kMargin - Screen::textWidth(status), 4, status, kBarText);

    std::string live = fit(content.live, Screen::kWidth);
    int liveScale = Screen::textWidth(live, 3) <= Screen::kWidth - 2 * kMargin ? 3 : 2;
    screen.text((Screen::kWidth - Screen::textWidth(live, liveScale)) / 2, kLiveTop, live, kLive,
                liveScale);
    screen.fillRect(kMargin, kRuleTop, Screen::kWidth - 2 * kMargin, 2, kRule);

    const MenuState::Page& page = menu.page();
    screen.text(kMargin, kTitleTop, fit(page.title, Screen::kWidth - 2 * kMargin), kTitle);
    drawItems(screen, page);

    screen.fillRect(0, kBottomTop, Screen::kWidth, Screen::kHeight - kBottomTop, kBar);
    std::string bottom = content.message.empty()
                             ? (menu.inSubpage() ? "SET ok   ESC back" : "SET ok  UP/DN move")
                             : content.message;
    screen.text(kMargin, kBottomTop + 5, fit(bottom, Screen::kWidth - 2 * kMargin), kBarText);
}

}  // namespace hcsim
