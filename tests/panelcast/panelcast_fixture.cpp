#include "tests/panelcast/panelcast_fixture.h"

#include <QPushButton>

#include "panelcast/panel_view.h"

namespace vt5test {

PanelcastTest::~PanelcastTest() {
    dlg.reset();
}

hcsim::SimulatedHc& PanelcastTest::plugHc(hcsim::HcConfig config) {
    if (config.serial == hcsim::HcConfig{}.serial) config.serial = "HC000001";
    hc = std::make_unique<hcsim::SimulatedHc>(bus.bus(), config);
    return *hc;
}

CPanelcastDlg& PanelcastTest::dialog() {
    if (!dlg) dlg = std::make_unique<CPanelcastDlg>(app);
    return *dlg;
}

void PanelcastTest::clickConnect() {
    child<QPushButton>(dialog(), "buttonConnect")->click();
}

std::vector<uint16_t> PanelcastTest::hcScreen() {
    return hc->with([](hcsim::HcDevice& d, platform::TimePoint now, hcsim::Bytes&) {
        return d.family<hcsim::DisplayFamily>()->screen(now).pixels();
    });
}

std::vector<uint8_t> PanelcastTest::buttonEvents() {
    std::vector<uint8_t> ids;
    for (const hcsim::Message& m : hc->received())
        if (m.code == 0xAE)
            for (const hcsim::Param& p : m.params)
                ids.push_back(p.id);
    return ids;
}

uint32_t PanelcastTest::panelPixel(int x, int y) {
    DisplayPosition at = dialog().Position();
    return dialog().Panel().Canvas().GetPixel(at.left + x, at.top + y);
}

}  // namespace vt5test
