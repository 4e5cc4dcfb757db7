#pragma once

#include <string>
#include <vector>

#include "hcsim/display/buttons.h"
#include "hcsim/display/menu.h"

namespace hcsim {

// Where the user is in the HC's menu: a stack of pages, each with its selected line and the
// first line shown. Button presses move through it and run the items' actions.
class MenuState {
public:
    static constexpr int kVisibleLines = 8;

    struct Page {
        std::string title;
        std::vector<MenuItem> items;
        int selected = 0;
        int top = 0;
    };

    void reset(std::string title, std::vector<MenuItem> items);
    void openPage(std::string title, std::vector<MenuItem> items);
    void back();
    // Carries out a press of `button`.
    void press(int button, MenuContext& context);

    const Page& page() const { return pages_.back(); }
    bool inSubpage() const { return pages_.size() > 1; }
    // Lit are the buttons that do something now, at the given level and colour.
    ButtonLights lights(uint8_t level, uint8_t colour) const;

private:
    void select(int line);
    const MenuItem* selectedItem() const;

    std::vector<Page> pages_{Page{}};
};

}  // namespace hcsim
