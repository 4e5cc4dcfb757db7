#pragma once

#include <memory>
#include <vector>

#include "hcsim/display/display_family.h"
#include "hcsim/hc/simulated_hc.h"
#include "panelcast/panelcast_app.h"
#include "panelcast/panelcast_dlg.h"
#include "tests/options/gui_test.h"
#include "tests/support/recording_clipboard.h"

namespace vt5test {

// Panelcast's dialog over the GUI test base, with a recording clipboard and a simulated HC
// to plug in. The dialog is made by dialog(), after the test has set up the HC.
class PanelcastTest : public GuiTest {
protected:
    ~PanelcastTest() override;

    hcsim::SimulatedHc& plugHc(hcsim::HcConfig config = {});
    CPanelcastDlg& dialog();
    void clickConnect();

    // The HC's display and the parameter ids of the button events it received.
    std::vector<uint16_t> hcScreen();
    std::vector<uint8_t> buttonEvents();
    // The panel pixel at display pixel (x, y).
    uint32_t panelPixel(int x, int y);

    RecordingClipboard clipboard;
    platform::clipboard::ScopedClipboard useClipboard{clipboard};
    std::unique_ptr<hcsim::SimulatedHc> hc;
    CPanelcastApp app{prompter};
    std::unique_ptr<CPanelcastDlg> dlg;
};

}  // namespace vt5test
