// Display reads, button events and the clipboard against the simulated HC.

#include <gtest/gtest.h>

#include <vector>

#include "hcsim/display/display_family.h"
#include "tests/support/recording_clipboard.h"
#include "tests/vt5api/hc_fixture.h"
#include "tests/vt5api/scripted_hc.h"
#include "vt5api/commands/display.h"

namespace {

using hcsim::DisplayFamily;
using Pixels = std::vector<uint16_t>;

class Display : public vt5test::HcFixture {
protected:
    explicit Display(hcsim::HcConfig config = {}) : HcFixture(std::move(config)) {}

    Pixels hcScreen() {
        return hc->with([](hcsim::HcDevice& d, platform::TimePoint now, hcsim::Bytes&) {
            return d.family<DisplayFamily>()->screen(now).pixels();
        });
    }
    hcsim::ButtonLights hcLights() {
        return hc->with([](hcsim::HcDevice& d) { return d.family<DisplayFamily>()->lights(); });
    }
    void expectLights(const VT5ButtonLights& got) {
        auto want = hcLights();
        for (int b = 0; b < VT5_BUTTON_COUNT; ++b) {
            EXPECT_EQ(got.button[b].level, want[b].level) << "button " << b;
            EXPECT_EQ(got.button[b].colour, want[b].colour) << "button " << b;
        }
    }
    void press(int32_t button) {
        ASSERT_EQ(VT5cmd_ButtonEvent(&api, button, false), VT5_OK);
        ASSERT_EQ(VT5cmd_ButtonEvent(&api, button, true), VT5_OK);
    }
    // The parameter ids of the display reads the HC received.
    std::vector<std::vector<uint8_t>> displayReads() {
        std::vector<std::vector<uint8_t>> reads;
        for (const hcsim::Message& m : hc->received()) {
            if (m.code != VT5_CMD_DISPLAY_READ) continue;
            reads.emplace_back();
            for (const hcsim::Param& p : m.params)
                reads.back().push_back(p.id);
        }
        return reads;
    }

    Pixels frame = Pixels(VT5_DISPLAY_PIXELS, 0x5555);
};

TEST_F(Display, FreshReadMirrorsTheHcAndUpdatesFollowItsMenu) {
    VT5ButtonLights lights{};
    ASSERT_EQ(VT5cmd_ReadDisplay(&api, frame.data(), &lights, true), VT5_OK);  // opens itself
    EXPECT_EQ(frame, hcScreen());
    expectLights(lights);
    EXPECT_EQ(lights.button[VT5_BUTTON_UP].level, 0);  // the first line is selected
    EXPECT_GT(lights.button[VT5_BUTTON_DOWN].level, 0);

    Pixels before = frame;
    press(VT5_BUTTON_DOWN);
    ASSERT_EQ(VT5cmd_ReadDisplay(&api, frame.data(), &lights, false), VT5_OK);
    EXPECT_EQ(frame, hcScreen());
    EXPECT_NE(frame, before);
    EXPECT_GT(lights.button[VT5_BUTTON_UP].level, 0);
    expectLights(lights);

    // Lights alone, or nothing at all, are fine too.
    ASSERT_EQ(VT5cmd_ReadDisplay(&api, nullptr, &lights, false), VT5_OK);
    ASSERT_EQ(VT5cmd_ReadDisplay(&api, nullptr, nullptr, false), VT5_OK);
    EXPECT_EQ(displayReads().back(), std::vector<uint8_t>{});
}

TEST_F(Display, ParametersGoInTheOrderOfThePart) {
    VT5ButtonLights lights{};
    ASSERT_EQ(VT5cmd_ReadDisplay(&api, frame.data(), &lights, true), VT5_OK);
    ASSERT_EQ(VT5cmd_ReadDisplay(&api, frame.data(), nullptr, false), VT5_OK);
    auto reads = displayReads();
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0], (std::vector<uint8_t>{0x01, 0x03, 0x02}));
    EXPECT_EQ(reads[1], (std::vector<uint8_t>{0x02}));
}

TEST_F(Display, ImageInsideOrAfterTheAnswerDecodesAlike) {
    ASSERT_EQ(open(), VT5_OK);
    for (const char* how : {"framed", "streamed"}) {
        ASSERT_EQ(hc->control(std::string("delivery ") + how), "ok");
        Pixels mirror(VT5_DISPLAY_PIXELS, 0);
        ASSERT_EQ(VT5cmd_ReadDisplay(&api, mirror.data(), nullptr, true), VT5_OK) << how;
        EXPECT_EQ(api.bulkBuffered, std::string(how) == "framed" ? 1 : 0);
        EXPECT_EQ(mirror, hcScreen()) << how;
        press(VT5_BUTTON_DOWN);
        ASSERT_EQ(VT5cmd_ReadDisplay(&api, mirror.data(), nullptr, false), VT5_OK) << how;
        EXPECT_EQ(mirror, hcScreen()) << how;
        // The link is in step for the next command.
        VT5DeviceInfo info{};
        EXPECT_EQ(VT5cmd_GetDeviceInfo(&api, &info), VT5_OK) << how;
    }
}

TEST_F(Display, ButtonEventIds) {
    ASSERT_EQ(open(), VT5_OK);
    struct Case {
        int32_t button;
        bool released;
        uint8_t id;
    } cases[] = {{VT5_BUTTON_ESC, true, 0x30},
                 {VT5_BUTTON_DOWN, false, 0x25},
                 {VT5_BUTTON_SET, false, 0x21},
                 {15, true, 0x3F},
                 {0x13, false, 0x23}};  // only the low four bits of the code count
    for (const Case& c : cases) {
        hc->clearReceived();
        ASSERT_EQ(VT5cmd_ButtonEvent(&api, c.button, c.released), VT5_OK);
        auto received = hc->received();
        ASSERT_EQ(received.size(), 1u);
        EXPECT_EQ(received[0].code, VT5_CMD_BUTTON_EVENT);
        ASSERT_EQ(received[0].params.size(), 1u);
        EXPECT_EQ(received[0].params[0].id, c.id) << "button " << c.button;
    }
}

TEST_F(Display, PowerOffChosenInTheMenuEndsTheNextRead) {
    ASSERT_EQ(VT5cmd_ReadDisplay(&api, frame.data(), nullptr, true), VT5_OK);
    // Main menu: Guider, Button lights, Light colour, About this HC, Restart to BOOT,
    // Switch off.
    for (int i = 0; i < 5; ++i)
        press(VT5_BUTTON_DOWN);
    press(VT5_BUTTON_SET);  // "Switch off?" with "Yes, switch off" selected
    ASSERT_EQ(VT5cmd_ButtonEvent(&api, VT5_BUTTON_SET, false), VT5_OK);
    EXPECT_EQ(hc->mode(), hcsim::HcMode::Off);
    EXPECT_EQ(VT5cmd_ReadDisplay(&api, frame.data(), nullptr, false), VT5_E_POWERED_OFF);
}

TEST_F(Display, RestartToBootFromTheMenuIsAModeChange) {
    ASSERT_EQ(open(), VT5_OK);
    for (int i = 0; i < 4; ++i)
        press(VT5_BUTTON_DOWN);
    press(VT5_BUTTON_SET);
    ASSERT_EQ(VT5cmd_ButtonEvent(&api, VT5_BUTTON_SET, false), VT5_OK);
    EXPECT_EQ(VT5cmd_ReadDisplay(&api, frame.data(), nullptr, false), VT5_E_MODE_CHANGED);
    // The next command reconnects to the boot loader, whose display reads as well.
    ASSERT_EQ(VT5cmd_ReadDisplay(&api, frame.data(), nullptr, true), VT5_OK);
    EXPECT_EQ(api.bootFlag, 1);
    EXPECT_EQ(frame, hcScreen());
}

hcsim::HcConfig olderFirmware() {
    hcsim::HcConfig c;
    c.firmwareVersion = 0x0110;
    return c;
}

class OlderDisplay : public Display {
protected:
    OlderDisplay() : Display(olderFirmware()) {}
};

TEST_F(Display, SnapshotIsOneReadFromVersion0x111) {
    ASSERT_EQ(open(), VT5_OK);
    hc->clearReceived();
    VT5ButtonLights lights{};
    ASSERT_EQ(VT5cmd_ReadDisplaySnapshot(&api, frame.data(), &lights), VT5_OK);
    EXPECT_EQ(frame, hcScreen());
    EXPECT_EQ(displayReads(), (std::vector<std::vector<uint8_t>>{{0x10, 0x03, 0x02}}));
}

TEST_F(OlderDisplay, SnapshotOfVersion0x110IsTwoReads) {
    ASSERT_EQ(open(), VT5_OK);
    hc->clearReceived();
    ASSERT_EQ(VT5cmd_ReadDisplaySnapshot(&api, frame.data(), nullptr), VT5_OK);
    EXPECT_EQ(frame, hcScreen());
    EXPECT_EQ(displayReads(), (std::vector<std::vector<uint8_t>>{{0x01, 0x02}, {0x01}}));
}

TEST_F(Display, SnapshotInBootModeSkipsTheSecondFreshStart) {
    ASSERT_TRUE(hc->changeMode(hcsim::HcMode::Boot));
    platform::sleepMs(200);
    ASSERT_EQ(open(), VT5_OK);
    ASSERT_EQ(api.bootFlag, 1);
    hc->clearReceived();
    ASSERT_EQ(VT5cmd_ReadDisplaySnapshot(&api, frame.data(), nullptr), VT5_OK);
    EXPECT_EQ(frame, hcScreen());
    EXPECT_EQ(displayReads(), (std::vector<std::vector<uint8_t>>{{0x01, 0x02}}));
}

TEST_F(Display, ClipboardGetsTheDisplayAsA32BitBitmap) {
    vt5test::RecordingClipboard clipboard;
    platform::clipboard::ScopedClipboard use(clipboard);
    ASSERT_EQ(VT5cmd_DisplayToClipboard(&api), VT5_OK);
    ASSERT_EQ(clipboard.width, 240);
    ASSERT_EQ(clipboard.height, 320);
    Pixels screen = hcScreen();
    for (size_t i = 0; i < screen.size(); ++i) {
        uint32_t p = screen[i];
        uint32_t want = ((p >> 11) << 3) << 16 | (((p >> 5) & 0x3F) << 2) << 8 | (p & 0x1F) << 3;
        ASSERT_EQ(clipboard.pixels[i], want) << "pixel " << i;
    }
    EXPECT_EQ(clipboard.opened, clipboard.closed);
    EXPECT_FALSE(clipboard.isOpen);
}

TEST_F(Display, ClipboardFailuresAre901AndCloseWhatWasOpened) {
    ASSERT_EQ(open(), VT5_OK);
    EXPECT_EQ(VT5cmd_DisplayToClipboard(&api), VT5_E_CLIPBOARD);  // none registered
    struct Case {
        const char* name;
        bool failOpen, failEmpty;
        int setError;
        int closes;
    } cases[] = {{"open", true, false, 0, 0}, {"empty", false, true, 0, 1}, {"set", false, false, 5, 1}};
    for (const Case& c : cases) {
        vt5test::RecordingClipboard clipboard;
        clipboard.failOpen = c.failOpen;
        clipboard.failEmpty = c.failEmpty;
        clipboard.setError = c.setError;
        platform::clipboard::ScopedClipboard use(clipboard);
        EXPECT_EQ(VT5cmd_DisplayToClipboard(&api), VT5_E_CLIPBOARD) << c.name;
        EXPECT_EQ(clipboard.closed, c.closes) << c.name;
    }
}

// Answers no healthy HC gives.
class ScriptedDisplay : public ::testing::Test {
protected:
    ScriptedDisplay() {
        // D1: 01, 02, 03 without value.
        std::vector<uint8_t> table = {2, 0xF8, 1, 0x01, 0, 0xD1, 3, 0x01, 0, 0x02, 0, 0x03, 0};
        auto device = std::make_unique<vt5test::ScriptedHc>(false, 0x0110, table);
        hc = device.get();
        chip = bus.bus().plug(vt5test::hcIdentity("SCRIPT01"), std::move(device));
    }

    platform::VirtualClock virtualClock;
    platform::ScopedClock useVirtual{virtualClock};
    vt5test::BusFixture bus;
    vt5test::ScriptedHc* hc = nullptr;
    std::shared_ptr<platform::vbus::Chip> chip;
    CVT5Api api;
};

TEST_F(ScriptedDisplay, LightsRecordOfTheWrongSizeIs58) {
    hc->script(0, {0x03, 11, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    VT5ButtonLights lights{};
    EXPECT_EQ(VT5cmd_ReadDisplay(&api, nullptr, &lights, false), VT5_E_BAD_PARAMETER_LENGTH);
}

TEST_F(ScriptedDisplay, StreamThatEndsEarlyIsAppliedAndReported) {
    // 10 bytes announced after the answer, 4 sent: two literal mask words 0xFFFF, 0xFFFF.
    hc->script(0, {0xFC, 4, 10, 0, 0, 0, 0xFE, 0}, {0xFF, 0xFF, 0xFF, 0xFF});
    Pixels frame(VT5_DISPLAY_PIXELS, 0x5555);
    EXPECT_EQ(VT5cmd_ReadDisplay(&api, frame.data(), nullptr, false), VT5_E_TOO_FEW_BYTES);
    // A mask cut short changes nothing.
    EXPECT_EQ(frame, Pixels(VT5_DISPLAY_PIXELS, 0x5555));
}

}  // namespace
