// The guider on the HC's display: its page in the main menu and its live line.

#include "hcsim/display/display_family.h"
#include "tests/camera/emu_fixture.h"

namespace hcsim::test {
namespace {

using camera::Autoguider;

class GuiderMenuTest : public EmuFixture {
protected:
    void SetUp() override { plug(); }

    void press(int button) {
        hc_->with([&](HcDevice& d, TimePoint now, Bytes& out) {
            d.family<DisplayFamily>()->press(button, now, out);
        });
    }
    const MenuState::Page& page() {
        return *hc_->with([](HcDevice& d) { return &d.family<DisplayFamily>()->menu().page(); });
    }
    std::string selectedValue() {
        const MenuState::Page& p = page();
        return p.items[static_cast<size_t>(p.selected)].value();
    }
    std::optional<std::string> live() {
        return hc_->with([](HcDevice& d, TimePoint now, Bytes&) {
            return d.family<CameraEmulationFamily>()->liveLine(now);
        });
    }
    // Down to the line with this label on the current page.
    void select(const std::string& label) {
        for (int i = 0; i < 10 && page().items[static_cast<size_t>(page().selected)].label != label;
             ++i)
            press(kDown);
        ASSERT_EQ(page().items[static_cast<size_t>(page().selected)].label, label);
    }
};

TEST_F(GuiderMenuTest, TheGuiderPageStartsAGuidedExposureOfTheChosenLength) {
    ASSERT_EQ(page().items.front().label, "Guider");  // first in the main menu
    press(kSet);
    ASSERT_EQ(page().title, "Guider");
    select("Guided expo");
    EXPECT_EQ(selectedValue(), "5:00");
    press(kRight);
    EXPECT_EQ(selectedValue(), "10:00");
    press(kLeft);
    press(kLeft);
    EXPECT_EQ(selectedValue(), "3:00");

    press(kSet);  // the emulation is off: nothing starts
    EXPECT_FALSE(guider().guidingWanted());
    start();
    press(kSet);  // guiding comes first, then the exposure
    EXPECT_TRUE(guider().guidingWanted());
    select("Guiding");
    EXPECT_EQ(selectedValue(), "Soon");
    press(kSet);  // and stops again, with the exposure that waited for it
    EXPECT_EQ(selectedValue(), "Off");
    EXPECT_FALSE(guider().guidingWanted());
}

TEST_F(GuiderMenuTest, TheGuideCameraExposureStepsThroughItsLengths) {
    press(kSet);
    select("Guide cam");
    EXPECT_EQ(selectedValue(), "1000 ms");
    press(kRight);
    EXPECT_EQ(selectedValue(), "1500 ms");
    for (int i = 0; i < 10; ++i)
        press(kRight);
    EXPECT_EQ(selectedValue(), "4000 ms");
    start();
    sleep(50);
    EXPECT_EQ(collect().front().payload16() & 0xFFF, 4000);
}

TEST_F(GuiderMenuTest, TheLiveLineTellsTheGuidersState) {
    EXPECT_FALSE(live());  // the HC's clock stays there while the emulation is off
    start();
    EXPECT_EQ(live(), "NO GUIDE STAR");
    hc_->control("guide start");
    stop();
    EXPECT_FALSE(live());
}

}  // namespace
}  // namespace hcsim::test
