// Panelcast's dialog offscreen against a simulated HC on a virtual clock: connecting, the
// mirrored display, keys, frame rates, switching on, device information, the screenshot and
// every message.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest/QTest>
#include <algorithm>
#include <optional>

#include "panelcast/panel_view.h"
#include "platform/clock/clock.h"
#include "tests/panelcast/panelcast_fixture.h"
#include "vt5api/commands/display.h"

namespace {

using hcsim::HcMode;

class PanelcastDlgTest : public vt5test::PanelcastTest {
protected:
    ~PanelcastDlgTest() override {
        dlg.reset();
        hc.reset();
    }

    void connectAndDraw() {
        clickConnect();
        ASSERT_EQ(dialog().ConnectionState(), CPanelcastDlg::kConnected);
        dialog().updateDisplay();
        ASSERT_TRUE(dialog().DisplayValid());
    }
    // A key event stamped `time` ms, as the window system stamps them; without a time, a
    // tenth of a second after the last one (a hand's pace).
    void key(int keyCode, QEvent::Type type = QEvent::KeyPress, bool autoRepeat = false,
             std::optional<uint64_t> time = std::nullopt) {
        keyTime = time ? *time : keyTime + 100;
        QKeyEvent event(type, keyCode, Qt::NoModifier, QString(), autoRepeat);
        event.setTimestamp(keyTime);
        QApplication::sendEvent(child<QPushButton>(dialog(), "buttonConnect"), &event);
    }
    void tap(int keyCode) {
        key(keyCode);
        key(keyCode, QEvent::KeyRelease);
    }
    // The last key's release goes out once no auto-repeat press can follow it any more.
    void waitForKeyRelease() {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog().KeyReleasePending(); }, 10000));
    }
    bool waitForButtonEvents(size_t count) {
        return QTest::qWaitFor([&] { return buttonEvents().size() >= count; }, 20000);
    }
    // Whether drawn button b shows as held down: its image has the pressed rim.
    bool drawnPressed(int b) {
        const ButtonCentre c = ButtonPosition(b, dialog().Panel().width(), dialog().Position());
        // The middle of its top edge: no other button's image reaches there.
        return dialog().Panel().Canvas().GetPixel(c.x, c.y - 19) == kPressedRim;
    }
    uint64_t keyTime = 1000;
    void expectPrompt(size_t index, const char* caption, const std::string& text,
                      QMessageBox::Icon icon) {
        ASSERT_GT(prompter.prompts().size(), index);
        const Prompt& p = prompter.prompts()[index];
        EXPECT_EQ(p.caption.toStdString(), caption);
        EXPECT_EQ(p.text.toStdString(), text);
        EXPECT_EQ(p.icon, icon);
    }
    std::string errorText(int32_t code) { return VT5_GetErrorText(code); }

    platform::VirtualClock clock;
    platform::ScopedClock useClock{clock};
};

TEST_F(PanelcastDlgTest, StartsDisconnectedAsTheTemplateSays) {
    CPanelcastDlg& d = dialog();
    EXPECT_EQ(d.windowTitle().toStdString(), "Panelcast for Veltra-5 ver. 1.1");
    EXPECT_EQ(d.ConnectionState(), CPanelcastDlg::kDisconnected);
    EXPECT_EQ(d.FrameRate(), 20);
    EXPECT_FALSE(d.TimerRunning());
    EXPECT_EQ(child<QLineEdit>(d, "editFrameRate")->text().toStdString(), "20");
    EXPECT_EQ(child<QPushButton>(d, "buttonConnect")->text().toStdString(), "Connect");
    EXPECT_TRUE(child<QPushButton>(d, "buttonTurnOn")->isEnabled());
    EXPECT_TRUE(child<QCheckBox>(d, "checkBootMode")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(d, "buttonDeviceInfo")->isEnabled());
    EXPECT_EQ(child<QLabel>(d, "labelScreenshotNote")->text().toStdString(),
              "(taken to the clipboard)");
    // The panel: its client size plus one pixel each way, with the red border of 296 / 40 + 1.
    CBitmapRect& canvas = d.Panel().Canvas();
    EXPECT_EQ(canvas.Width(), d.Panel().width() + 1);
    EXPECT_EQ(canvas.Height(), d.Panel().height() + 1);
    EXPECT_EQ(canvas.GetPixel(7, 100), kBorderDisconnected);
    EXPECT_NE(canvas.GetPixel(8, 100), kBorderDisconnected);
    // The screenshot needs an image first.
    child<QPushButton>(d, "buttonScreenshot")->click();
    EXPECT_EQ(clipboard.opened, 0);
}

TEST_F(PanelcastDlgTest, ConnectMirrorsTheDisplayAndItsLights) {
    plugHc();
    connectAndDraw();
    CPanelcastDlg& d = dialog();
    EXPECT_TRUE(d.TimerRunning());
    EXPECT_EQ(d.TimerPeriodMs(), 50);
    EXPECT_FALSE(d.FreshStartPending());
    EXPECT_EQ(child<QPushButton>(d, "buttonConnect")->text().toStdString(), "Disconnect");
    EXPECT_FALSE(child<QPushButton>(d, "buttonOptions")->isEnabled());
    EXPECT_TRUE(child<QPushButton>(d, "buttonDeviceInfo")->isEnabled());
    EXPECT_EQ(d.Api().link->Mode(), VT5_MODE_DIRECT);
    EXPECT_EQ(std::string(d.Api().clientName), "Panelcast");

    // The fixed panel of 296 x 462 holds the display at (28, 10).
    EXPECT_EQ(d.Position().left, 28);
    EXPECT_EQ(d.Position().top, 10);
    std::vector<uint16_t> screen = hcScreen();
    for (int y = 0; y < 320; y += 7)
        for (int x = 0; x < 240; x += 5)
            ASSERT_EQ(panelPixel(x, y), DisplayPixel(screen[static_cast<size_t>(y) * 240 + x]))
                << x << ", " << y;
    CBitmapRect& canvas = d.Panel().Canvas();
    EXPECT_EQ(canvas.GetPixel(0, 0), kBorderConnected);
    // Lights: the first line of the menu is selected, so "up" is dark and "down" lit.
    const int w = d.Panel().width();
    const DisplayPosition at = d.Position();
    auto brightest = [&](int cx, int cy) {
        uint32_t best = 0;
        for (int y = cy - 19; y <= cy + 19; ++y)
            for (int x = cx - 19; x <= cx + 19; ++x)
                best = std::max(best, canvas.GetPixel(x, y) >> 16);
        return best;
    };
    EXPECT_LT(brightest(w / 2, at.top + 350), 0x21u);             // up: only the dark face
    EXPECT_GT(brightest(w / 2, at.top + 422), 0x60u);             // down: lit red
    EXPECT_GT(brightest(w - at.left - 19, at.top + 350), 0x60u);  // SET
    // The first read asked for a fresh start, the next ones do not.
    d.updateDisplay();
    auto received = hc->received();
    std::vector<std::vector<uint8_t>> reads;
    for (const auto& m : received)
        if (m.code == VT5_CMD_DISPLAY_READ) {
            reads.emplace_back();
            for (const auto& p : m.params)
                reads.back().push_back(p.id);
        }
    ASSERT_GE(reads.size(), 2u);
    EXPECT_EQ(reads[reads.size() - 2], (std::vector<uint8_t>{0x01, 0x03, 0x02}));
    EXPECT_EQ(reads.back(), (std::vector<uint8_t>{0x03, 0x02}));
}

TEST_F(PanelcastDlgTest, PlacementInAPanelOf300By400) {
    plugHc();
    dialog().Panel().setFixedSize(300, 400);
    connectAndDraw();
    EXPECT_EQ(dialog().Position().left, 30);
    EXPECT_EQ(dialog().Position().top, 0);
    // Rows under the border are the border's.
    EXPECT_EQ(panelPixel(10, 10), DisplayPixel(hcScreen()[10 * 240 + 10]));
    EXPECT_EQ(panelPixel(10, 0), kBorderConnected);
}

TEST_F(PanelcastDlgTest, KeysPressTheHcsButtons) {
    plugHc();
    dialog().show();
    connectAndDraw();
    hc->clearReceived();
    struct Case {
        int key;
        uint8_t press;
    } cases[] = {{Qt::Key_Return, 0x21}, {Qt::Key_Enter, 0x21}, {Qt::Key_Escape, 0x20},
                 {Qt::Key_Left, 0x22},   {Qt::Key_Up, 0x24},    {Qt::Key_Right, 0x23},
                 {Qt::Key_Down, 0x25}};
    std::vector<uint8_t> expected;
    for (const Case& c : cases) {
        tap(c.key);
        expected.push_back(c.press);
        expected.push_back(static_cast<uint8_t>(c.press + 0x10));
    }
    waitForKeyRelease();
    EXPECT_EQ(buttonEvents(), expected);
    // Escape went to the HC, not to the dialog, which would have closed.
    EXPECT_TRUE(dialog().isVisible());
    // Other keys are the dialog's.
    hc->clearReceived();
    tap(Qt::Key_A);
    EXPECT_TRUE(buttonEvents().empty());
}

TEST_F(PanelcastDlgTest, HeldKeyRepeatsPressesAndReleasesOnce) {
    plugHc();
    connectAndDraw();
    hc->clearReceived();
    key(Qt::Key_Up);
    for (int i = 0; i < 3; ++i) {
        key(Qt::Key_Up, QEvent::KeyRelease, true);
        key(Qt::Key_Up, QEvent::KeyPress, true);
    }
    key(Qt::Key_Up, QEvent::KeyRelease);
    waitForKeyRelease();
    EXPECT_EQ(buttonEvents(), (std::vector<uint8_t>{0x24, 0x24, 0x24, 0x24, 0x34}));
}

// X servers whose auto-repeat Qt cannot detect deliver a held key as release and press pairs
// without the auto-repeat flag, both stamped with the same time, and the press may come a
// moment later than its release. A held key must still give repeated presses and one release,
// and separate taps must stay separate.
TEST_F(PanelcastDlgTest, HeldKeyWithoutAutoRepeatFlagsRepeatsPressesAndReleasesOnce) {
    plugHc();
    dialog().show();
    connectAndDraw();
    struct Case {
        const char* name;
        int pairs;            // release and press pairs after the first press
        uint64_t pressDelay;  // ms between a pair's release and its press (time stamps)
        std::vector<uint8_t> expected;
    } cases[] = {
        {"pairs with one time stamp", 4, 0, {0x25, 0x25, 0x25, 0x25, 0x25, 0x35}},
        {"press stamped a little later", 3, 4, {0x25, 0x25, 0x25, 0x25, 0x35}},
        {"separate taps", 2, 100, {0x25, 0x35, 0x25, 0x35, 0x25, 0x35}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hc->clearReceived();
        uint64_t t = keyTime + 1000;
        key(Qt::Key_Down, QEvent::KeyPress, false, t);
        EXPECT_TRUE(drawnPressed(VT5_BUTTON_DOWN));
        for (int i = 0; i < c.pairs; ++i) {
            t += 33;
            key(Qt::Key_Down, QEvent::KeyRelease, false, t);
            t += c.pressDelay;
            key(Qt::Key_Down, QEvent::KeyPress, false, t);
        }
        key(Qt::Key_Down, QEvent::KeyRelease, false, t + 40);
        waitForKeyRelease();
        EXPECT_EQ(buttonEvents(), c.expected);
        EXPECT_FALSE(drawnPressed(VT5_BUTTON_DOWN));
    }
}

// Each drawn button under the mouse: the press goes out at once, holding repeats the press as
// a held key does, the release goes out once, and the button shows pressed while held.
TEST_F(PanelcastDlgTest, DrawnButtonsPressRepeatAndReleaseUnderTheMouse) {
    plugHc();
    dialog().show();
    connectAndDraw();
    CPanelView& panel = dialog().Panel();
    for (int b = 0; b < VT5_BUTTON_COUNT; ++b) {
        SCOPED_TRACE(b);
        const auto press = static_cast<uint8_t>(0x20 + b);
        hc->clearReceived();
        const ButtonCentre c = ButtonPosition(b, panel.width(), dialog().Position());
        ASSERT_EQ(ButtonAt(c.x + 12, c.y - 12, panel.width(), dialog().Position()), b);
        EXPECT_FALSE(drawnPressed(b));
        QTest::mousePress(&panel, Qt::LeftButton, Qt::NoModifier, QPoint(c.x + 12, c.y - 12));
        EXPECT_EQ(buttonEvents(), std::vector<uint8_t>{press});
        EXPECT_TRUE(drawnPressed(b));
        ASSERT_TRUE(waitForButtonEvents(3)) << "no repeats while held";
        EXPECT_TRUE(drawnPressed(b));
        QTest::mouseRelease(&panel, Qt::LeftButton, Qt::NoModifier, QPoint(c.x, c.y));
        std::vector<uint8_t> events = buttonEvents();
        ASSERT_GE(events.size(), 4u);
        EXPECT_EQ(std::count(events.begin(), events.end() - 1, press),
                  static_cast<long>(events.size() - 1));
        EXPECT_EQ(events.back(), press + 0x10);
        EXPECT_FALSE(drawnPressed(b));
        EXPECT_EQ(dialog().PressedButtons(), 0u);
    }
    // A press beside the buttons, or while disconnected, sends nothing.
    hc->clearReceived();
    QTest::mouseClick(&panel, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    clickConnect();
    const ButtonCentre up = ButtonPosition(VT5_BUTTON_UP, panel.width(), dialog().Position());
    QTest::mouseClick(&panel, Qt::LeftButton, Qt::NoModifier, QPoint(up.x, up.y));
    EXPECT_TRUE(buttonEvents().empty());
}

TEST_F(PanelcastDlgTest, KeysWhileDisconnectedAreTheDialogs) {
    plugHc();
    dialog().show();
    tap(Qt::Key_Down);
    EXPECT_TRUE(buttonEvents().empty());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&dialog(), &escape);
    EXPECT_FALSE(dialog().isVisible());  // closed as a dialog is by Escape
}

TEST_F(PanelcastDlgTest, PowerOffChosenOnTheHcEndsInTheNotification) {
    plugHc();
    connectAndDraw();
    // Main menu: Guider, Button lights, Light colour, About this HC, Restart to BOOT,
    // Switch off.
    for (int i = 0; i < 5; ++i)
        tap(Qt::Key_Down);
    tap(Qt::Key_Return);  // "Switch off?"
    dialog().updateDisplay();
    key(Qt::Key_Return);  // "Yes, switch off"
    EXPECT_EQ(hc->mode(), HcMode::Off);
    ASSERT_TRUE(prompter.prompts().empty());
    prompter.answer(QMessageBox::Ok);
    dialog().updateDisplay();
    EXPECT_EQ(dialog().ConnectionState(), CPanelcastDlg::kDisconnected);
    ASSERT_EQ(prompter.prompts().size(), 1u);
    expectPrompt(0, "Notification", "Veltra-5 has been powered off", QMessageBox::Information);
    EXPECT_FALSE(dialog().TimerRunning());
    EXPECT_TRUE(dialog().DisplayValid());  // the last image can still be copied
}

TEST_F(PanelcastDlgTest, UnknownSystemChangeIsAnErrorNotification) {
    plugHc();
    connectAndDraw();
    ASSERT_TRUE(hc->sendAsync(0x01));
    prompter.answer(QMessageBox::Ok);
    dialog().updateDisplay();
    expectPrompt(0, "Notification", "Veltra-5 reported an unknown system change error",
                 QMessageBox::Critical);
    EXPECT_EQ(dialog().ConnectionState(), CPanelcastDlg::kDisconnected);
}

TEST_F(PanelcastDlgTest, ModeChangeKeepsTheConnectionAndTheNextReadReconnects) {
    plugHc();
    connectAndDraw();
    ASSERT_TRUE(hc->changeMode(HcMode::Boot));
    dialog().updateDisplay();  // 12: nothing drawn, still connected
    EXPECT_EQ(dialog().ConnectionState(), CPanelcastDlg::kConnected);
    dialog().updateDisplay();
    EXPECT_TRUE(prompter.prompts().empty());
    EXPECT_EQ(dialog().Api().bootFlag, 1);
    EXPECT_EQ(panelPixel(120, 160), DisplayPixel(hcScreen()[160 * 240 + 120]));
}

TEST_F(PanelcastDlgTest, FrameRateApply) {
    plugHc();
    connectAndDraw();
    auto* edit = child<QLineEdit>(dialog(), "editFrameRate");
    auto* apply = child<QPushButton>(dialog(), "buttonApply");
    struct Case {
        const char* text;
        int rate;           // after Apply
        int period;         // timer period then
        const char* shown;  // the edit then
        bool message;
    } cases[] = {{"7", 7, 142, "7", false},    {"31", 30, 33, "30", false},
                 {"abc", 30, 33, "abc", true}, {"0", 30, 33, "0", true},
                 {"", 30, 33, "", true},       {"12fps", 12, 83, "12fps", false}};
    for (const Case& c : cases) {
        prompter.clear();
        if (c.message) prompter.answer(QMessageBox::Ok);
        edit->setText(QString::fromLatin1(c.text));
        apply->click();
        EXPECT_EQ(dialog().FrameRate(), c.rate) << c.text;
        EXPECT_EQ(dialog().TimerPeriodMs(), c.period) << c.text;
        EXPECT_EQ(edit->text().toStdString(), c.shown) << c.text;
        if (c.message)
            expectPrompt(0, "ERROR", "Fps value must be a valid integer between 1 and 30",
                         QMessageBox::Warning);
        else
            EXPECT_TRUE(prompter.prompts().empty()) << c.text;
    }
}

TEST_F(PanelcastDlgTest, TurnOnWithBootModePulsesTwoSecondsAndConnects) {
    hcsim::HcConfig config;
    config.startMode = HcMode::Off;
    plugHc(config);
    auto* boot = child<QCheckBox>(dialog(), "checkBootMode");
    boot->setChecked(true);
    const int64_t start = platform::nowMs();
    child<QPushButton>(dialog(), "buttonTurnOn")->click();
    EXPECT_GE(platform::nowMs() - start, 2000 + 500);
    EXPECT_FALSE(boot->isChecked());
    EXPECT_EQ(hc->mode(), HcMode::Boot);
    EXPECT_EQ(dialog().ConnectionState(), CPanelcastDlg::kConnected);
    EXPECT_EQ(dialog().Api().bootFlag, 1);
    EXPECT_TRUE(prompter.prompts().empty());
}

TEST_F(PanelcastDlgTest, TurnOnIntoFirmwareWaitsLonger) {
    hcsim::HcConfig config;
    config.startMode = HcMode::Off;
    plugHc(config);
    const int64_t start = platform::nowMs();
    child<QPushButton>(dialog(), "buttonTurnOn")->click();
    EXPECT_GE(platform::nowMs() - start, 200 + 1500);
    EXPECT_EQ(hc->mode(), HcMode::Firmware);
    EXPECT_EQ(dialog().ConnectionState(), CPanelcastDlg::kConnected);
}

TEST_F(PanelcastDlgTest, ConnectFailures) {
    // No HC at all, then one that is switched off (its chip answers, the handshake does not).
    prompter.answer(QMessageBox::Ok);
    prompter.answer(QMessageBox::Ok);
    clickConnect();
    expectPrompt(0, "ERROR",
                 "Can't connect to Veltra-5...\n\nError: " + errorText(VT5_E_CANNOT_OPEN),
                 QMessageBox::Critical);
    hcsim::HcConfig config;
    config.startMode = HcMode::Off;
    plugHc(config);
    clickConnect();
    expectPrompt(1, "ERROR",
                 "Can't connect to Veltra-5, it may be turned off...\n\nError: " +
                     errorText(VT5_E_HANDSHAKE),
                 QMessageBox::Critical);
    EXPECT_EQ(dialog().ConnectionState(), CPanelcastDlg::kDisconnected);
}

TEST_F(PanelcastDlgTest, DeviceInfoText) {
    hcsim::HcConfig config;
    config.chipId = std::array<uint32_t, 2>{0x0000ABCD, 0x12};  // low word first
    config.uniqueId = hcsim::textField<16>("PIER-NORTH-0001");
    plugHc(config);
    clickConnect();
    prompter.answer(QMessageBox::Ok);
    child<QPushButton>(dialog(), "buttonDeviceInfo")->click();
    expectPrompt(0, "Veltra-5 device info",
                 "FTDI info:\n  Serial: HC000001\n\nVeltra-5 info:\n  Mode: Firmware\n"
                 "  Protocol ver.: 0x0112 / 0x0003\n  Unique ID: 'PIER-NORTH-0001 '\n"
                 "  Chip ID: 12-0000abcd\n",
                 QMessageBox::Information);
}

TEST_F(PanelcastDlgTest, DisconnectWithTheHcGoneEndsDisconnected) {
    plugHc();
    connectAndDraw();
    hc->unplug();
    child<QPushButton>(dialog(), "buttonConnect")->click();
    EXPECT_EQ(dialog().ConnectionState(), CPanelcastDlg::kDisconnected);
    EXPECT_FALSE(dialog().TimerRunning());
    // When the close itself fails, its box comes after the state change.
    for (const Prompt& p : prompter.prompts())
        EXPECT_EQ(p.text.toStdString().rfind("Error while disconnecting...:\n\n", 0), 0u);
}

TEST_F(PanelcastDlgTest, UpdateWithTheHcGoneShowsTheErrorBox) {
    plugHc();
    connectAndDraw();
    hc->unplug();
    prompter.answer(QMessageBox::Ok);
    dialog().updateDisplay();
    EXPECT_EQ(dialog().ConnectionState(), CPanelcastDlg::kDisconnected);
    ASSERT_EQ(prompter.prompts().size(), 1u);
    const Prompt& p = prompter.prompts()[0];
    EXPECT_EQ(p.caption.toStdString(), "ERROR");
    EXPECT_EQ(p.text.toStdString().rfind("Failed to update display:\n\n", 0), 0u);
    EXPECT_EQ(p.icon, QMessageBox::NoIcon);
    // A button event then goes nowhere: keys are the dialog's again.
    tap(Qt::Key_Down);
    EXPECT_EQ(prompter.prompts().size(), 1u);
}

TEST_F(PanelcastDlgTest, ScreenshotCopiesTheDisplayWithoutTheButtons) {
    plugHc();
    connectAndDraw();
    child<QPushButton>(dialog(), "buttonScreenshot")->click();
    ASSERT_EQ(clipboard.width, 240);
    ASSERT_EQ(clipboard.height, 320);
    std::vector<uint16_t> screen = hcScreen();
    for (size_t i = 0; i < screen.size(); ++i)
        ASSERT_EQ(clipboard.pixels[i], DisplayPixel(screen[i])) << "pixel " << i;
    EXPECT_EQ(clipboard.opened, clipboard.closed);
    EXPECT_TRUE(prompter.prompts().empty());
}

TEST_F(PanelcastDlgTest, ScreenshotFailures) {
    plugHc();
    connectAndDraw();
    auto* button = child<QPushButton>(dialog(), "buttonScreenshot");
    for (int i = 0; i < 3; ++i)
        prompter.answer(QMessageBox::Ok);
    clipboard.failOpen = true;
    button->click();
    clipboard.failOpen = false;
    clipboard.failEmpty = true;
    button->click();
    clipboard.failEmpty = false;
    clipboard.setError = 1418;
    button->click();
    expectPrompt(0, "ERROR", "Cannot open the Clipboard", QMessageBox::Critical);
    expectPrompt(1, "ERROR", "Cannot empty the Clipboard", QMessageBox::Critical);
    expectPrompt(2, "ERROR", "Unable to set Clipboard data, error: 1418", QMessageBox::Critical);
    EXPECT_EQ(clipboard.closed, 2);  // every open one closed again
    EXPECT_FALSE(clipboard.isOpen);
}

TEST_F(PanelcastDlgTest, AchievedFrameRateIsShown) {
    plugHc();
    clickConnect();
    for (int i = 0; i < 11; ++i) {
        dialog().updateDisplay();
        platform::sleepMs(50);
    }
    EXPECT_NEAR(dialog().AchievedFrameRate(), 20.0, 0.5);
    EXPECT_EQ(child<QLabel>(dialog(), "labelFrameRate")->text().toStdString(), "20.0 fps");
}

}  // namespace
