// Starloom's dialog offscreen, against HCs whose camera emulation events the tests write:
// initial values, start and stop with their failures, the settings' handlers, the view and the
// manual guide outputs.

#include "starloom/app/starloom_dlg.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "platform/clock/clock.h"
#include "starloom/app/frame_view_control.h"
#include "starloom/model/frame_view.h"
#include "tests/options/gui_test.h"
#include "tests/starloom/event_hc.h"
#include "vt5api/ui/ui_text.h"

namespace {

using starloom::kAgDecPlus;
using starloom::kAgRaMinus;
using starloom::kAgRaPlus;

class StarloomDlgTest : public vt5test::GuiTest {
protected:
    vt5test::EventHc& Plug(bool boot = false) {
        auto device = std::make_unique<vt5test::EventHc>(boot);
        vt5test::EventHc* hc = device.get();
        chips.push_back(bus.bus().plug(vt5test::hcIdentity("EMU00001"), std::move(device)));
        return *hc;
    }
    QPushButton* Button(const char* name) { return child<QPushButton>(dlg, name); }
    QLineEdit* Edit(const char* name) { return child<QLineEdit>(dlg, name); }
    QString StartText() { return Button("buttonStart")->text(); }
    QString Status() { return child<QLabel>(dlg, "labelStatus")->text(); }
    void Start() { Button("buttonStart")->click(); }

    platform::VirtualClock virtualClock;
    platform::ScopedClock useVirtual{virtualClock};
    std::vector<std::shared_ptr<platform::vbus::Chip>> chips;
    CStarloomw32Dlg dlg{prompter};
};

TEST_F(StarloomDlgTest, OpensWithItsInitialValuesApplied) {
    EXPECT_EQ(dlg.windowTitle(), "Starloom ver. 1.2 for Veltra-5");
    EXPECT_EQ(StartText(), "Start");
    EXPECT_EQ(Status(), "");
    struct Row {
        const char* name;
        const char* text;
    };
    for (const Row& r :
         {Row{"editSeed", "2"}, Row{"editFocalLength", "176"}, Row{"editPoleAltitude", "45"},
          Row{"editErrorAlt", "0"}, Row{"editErrorAzi", "0"}, Row{"editRaTime", "0"},
          Row{"editBacklashTime", "0.0"}})
        EXPECT_EQ(Edit(r.name)->text(), r.text) << r.name;
    auto* view = child<QComboBox>(dlg, "comboView");
    EXPECT_EQ(view->currentText(), "8x  (9 lowest bits)");
    EXPECT_EQ(view->itemText(0), "1x  (full dynamics 12-bits)");
    EXPECT_EQ(child<QComboBox>(dlg, "comboAgSpeed")->currentText(), "0.5x");
    for (const char* name : {"checkSouthern", "checkBacklash", "checkOverride"})
        EXPECT_FALSE(child<QCheckBox>(dlg, name)->isChecked()) << name;
    auto* position = child<QSlider>(dlg, "sliderBacklash");
    EXPECT_EQ(position->minimum(), 0);
    EXPECT_EQ(position->maximum(), 1000);
    for (const char* name :
         {"buttonClearLog", "buttonResetLog", "buttonDebugBreak", "buttonTestPolMisalign"}) {
        EXPECT_FALSE(Button(name)->isVisible()) << name;
        EXPECT_FALSE(Button(name)->isEnabled()) << name;
    }
    EXPECT_FALSE(child<QPlainTextEdit>(dlg, "editLog")->isEnabled());
    EXPECT_FALSE(Button("buttonScreenshot")->isEnabled());  // no display family given

    EXPECT_EQ(dlg.options().programKey, "Starloom");
    // The view opens with the whole frame fitted into it.
    EXPECT_TRUE(dlg.view().fitted());
    EXPECT_EQ(Edit("editSeeing")->text(), "2");
    EXPECT_NEAR(dlg.model().mount().seeingAmplitude(), 2.0 / 2.3548, 1e-4);
    // Apply and Apply time ran: the mount has the dialog's values.
    const starloom::MountModel& mount = dlg.model().mount();
    EXPECT_EQ(mount.agSpeed(), 0.5f);
    EXPECT_EQ(mount.focalLength(), 176);
    EXPECT_EQ(mount.polarAlignment().poleAltitude, 45.0f);
    EXPECT_EQ(mount.hourAngleOffset(), 0.0);
    // The empty sensor, at 8x.
    EXPECT_EQ(dlg.view().canvas().GetPixel(100, 100), 0x202020u);
}

TEST_F(StarloomDlgTest, StartFailuresLeaveTheDialogIdle) {
    prompter.answer(QMessageBox::Ok);
    Start();  // nothing plugged in
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.prompts()[0].caption, "ERROR");
    EXPECT_EQ(prompter.prompts()[0].icon, QMessageBox::Warning);
    EXPECT_EQ(prompter.texts()[0],
              "Can't connect to HandController.\n\n(API error: Can not open device)");
    EXPECT_EQ(StartText(), "Start");

    vt5test::EventHc& hc = Plug(true);
    prompter.answer(QMessageBox::Ok);
    Start();
    ASSERT_EQ(prompter.prompts().size(), 2u);
    EXPECT_EQ(prompter.prompts()[1].caption, "Can't start");
    EXPECT_EQ(prompter.prompts()[1].icon, QMessageBox::Warning);
    EXPECT_EQ(prompter.texts()[1], "Starloom needs the Firmware running");
    EXPECT_EQ(StartText(), "Start");
    EXPECT_FALSE(dlg.running());
    EXPECT_FALSE(VT5_IsOpen(&dlg.api()));
    EXPECT_TRUE(hc.parameters.empty());
}

TEST_F(StarloomDlgTest, StartRunsTheStepsAndStopEndsThem) {
    vt5test::EventHc& hc = Plug();
    hc.hcTime = 1000;
    Start();
    EXPECT_TRUE(prompter.prompts().empty());
    EXPECT_EQ(StartText(), "Stop");
    EXPECT_EQ(Status(), "Emulating Sky...");
    EXPECT_TRUE(dlg.running());
    EXPECT_EQ(dlg.model().frames().clock(), 1000);

    hc.event(0x0A, 1010, 0x6000 | 1000);
    hc.event(0x0B, 2010);
    dlg.emulationStep();
    ASSERT_EQ(hc.frames.size(), 1u);
    EXPECT_GT(hc.frames[0].size(), 4u);
    // The view shows the frame at each brightness of the list.
    const std::span<const uint16_t> frame = dlg.model().frames().frameImage();
    const auto brightest = std::max_element(frame.begin(), frame.end()) - frame.begin();
    ASSERT_GT(frame[brightest], 256);
    const int x = static_cast<int>(brightest % 1288), y = static_cast<int>(brightest / 1288);
    for (int brightness = 0; brightness < 4; ++brightness) {
        child<QComboBox>(dlg, "comboView")->setCurrentIndex(brightness);
        const uint32_t grey = starloom::ViewGrey(frame[brightest], brightness);
        EXPECT_EQ(dlg.view().canvas().GetPixel(x, y), grey << 16 | grey << 8 | grey);
    }
    // The automatic stretch puts the sky at black and the brightest stars at white.
    child<QComboBox>(dlg, "comboView")->setCurrentIndex(starloom::FrameViewControl::kAutoStretch);
    EXPECT_EQ(child<QComboBox>(dlg, "comboView")->currentText(), "Auto stretch");
    EXPECT_EQ(dlg.view().canvas().GetPixel(x, y), 0xFFFFFFu);
    EXPECT_EQ(dlg.view().canvas().GetPixel(1, 1), 0u);

    Start();  // now "Stop"
    EXPECT_EQ(StartText(), "Start");
    EXPECT_EQ(Status(), "");
    EXPECT_FALSE(dlg.running());
    EXPECT_FALSE(VT5_IsOpen(&dlg.api()));
    EXPECT_EQ(hc.parameters, (std::vector<uint8_t>{0x01, 0x0F, 0x02}));
    EXPECT_TRUE(prompter.prompts().empty());
}

TEST_F(StarloomDlgTest, TimerRunsTheStepsEveryFiveMilliseconds) {
    vt5test::EventHc& hc = Plug();
    Start();
    hc.event(0x0B, 13000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !hc.frames.empty(); }, 2000));
    auto* position = child<QSlider>(dlg, "sliderBacklash");
    child<QLineEdit>(dlg, "editBacklashTime")->setText("1");
    child<QCheckBox>(dlg, "checkBacklash")->click();
    hc.event(0x21, 13010);  // DEC+ for half a second into the second of play of the drive
    hc.event(0x20, 13510);
    EXPECT_TRUE(QTest::qWaitFor([&] { return position->value() == 500; }, 2000));
}

TEST_F(StarloomDlgTest, StepFailureGoesIdleAndTheNextStartWorks) {
    vt5test::EventHc& hc = Plug();
    Start();
    hc.refuseCollect();
    prompter.answer(QMessageBox::Ok);
    dlg.emulationStep();
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.prompts()[0].caption, "ERROR");
    EXPECT_EQ(prompter.prompts()[0].icon, QMessageBox::Critical);
    EXPECT_EQ(prompter.texts()[0], "Can't execute command on device");
    EXPECT_EQ(StartText(), "Start");
    EXPECT_FALSE(dlg.running());
    EXPECT_TRUE(VT5_IsOpen(&dlg.api()));  // left as it was
    dlg.emulationStep();                  // no effect while idle
    EXPECT_EQ(hc.parameters, (std::vector<uint8_t>{0x01, 0x0F}));

    Start();
    EXPECT_TRUE(dlg.running());
    EXPECT_EQ(hc.parameters.back(), 0x01);
}

TEST_F(StarloomDlgTest, StopFailureKeepsTheConnection) {
    Plug();
    Start();
    chips[0]->unplug();
    prompter.answer(QMessageBox::Ok);
    Start();  // "Stop"
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.prompts()[0].caption, "ERROR");
    EXPECT_EQ(StartText(), "Start");
    EXPECT_TRUE(VT5_IsOpen(&dlg.api()));
}

TEST_F(StarloomDlgTest, ClosingTheWindowStopsTheEmulation) {
    vt5test::EventHc& hc = Plug();
    Start();
    dlg.reject();
    EXPECT_EQ(hc.parameters.back(), 0x02);
    EXPECT_FALSE(dlg.running());
}

TEST_F(StarloomDlgTest, WrongPolarValueKeepsThePolarSettingsButAppliesTheRest) {
    child<QComboBox>(dlg, "comboAgSpeed")->setCurrentIndex(3);
    Edit("editFocalLength")->setText("400");
    Edit("editPoleAltitude")->setText("north");
    Edit("editErrorAlt")->setText("120");
    prompter.answer(QMessageBox::Ok);
    Button("buttonApply")->click();
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.prompts()[0].caption, "ERROR");
    EXPECT_EQ(prompter.prompts()[0].icon, QMessageBox::Critical);
    EXPECT_EQ(prompter.texts()[0], "Wrong value for Pole Altitude or polar error parameters!");
    const starloom::MountModel& mount = dlg.model().mount();
    EXPECT_EQ(mount.agSpeed(), 0.125f);
    EXPECT_EQ(mount.focalLength(), 400);
    EXPECT_EQ(mount.polarAlignment().poleAltitude, 45.0f);
    EXPECT_EQ(mount.polarAlignment().altitudeError, 0.0f);

    // Numbers are read as "%f" reads them: what follows the number does not count.
    Edit("editPoleAltitude")->setText(" 30.5 deg");
    Edit("editErrorAzi")->setText("-36");
    child<QCheckBox>(dlg, "checkSouthern")->setChecked(true);
    Button("buttonApply")->click();
    EXPECT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(mount.polarAlignment().poleAltitude, 30.5f);
    EXPECT_FLOAT_EQ(mount.polarAlignment().altitudeError, 120.0f / 3600.0f);
    EXPECT_FLOAT_EQ(mount.polarAlignment().azimuthError, -36.0f / 3600.0f);
    EXPECT_TRUE(mount.polarAlignment().southern);
}

TEST_F(StarloomDlgTest, SkyTimeAndBacklashHandlers) {
    Edit("editSeed")->setText("");  // does not parse: the field stays
    const int stars = dlg.model().sky().starCount();
    Button("buttonApplyStarField")->click();
    EXPECT_EQ(dlg.model().sky().starCount(), stars);
    Edit("editSeed")->setText("7");
    Button("buttonApplyStarField")->click();
    starloom::StarloomModel reference;
    reference.sky().GenerateStarField(7);
    EXPECT_EQ(dlg.model().sky().starCount(), reference.sky().starCount());

    struct Side {
        const char* button;
        const char* text;
        double seconds;
    };
    for (const Side& s : {Side{"buttonEast", "-6", -21600.0}, Side{"buttonWest", "6", 21600.0},
                          Side{"buttonMeridian", "0", 0.0}}) {
        Button(s.button)->click();
        EXPECT_EQ(Edit("editRaTime")->text(), s.text);
        EXPECT_EQ(dlg.model().mount().hourAngleOffset(), s.seconds) << s.button;
    }
    Edit("editRaTime")->setText("1.5");
    Button("buttonApplyTime")->click();
    EXPECT_EQ(dlg.model().mount().hourAngleOffset(), 5400.0);

    auto* backlash = child<QCheckBox>(dlg, "checkBacklash");
    Edit("editBacklashTime")->setText("2.5");
    backlash->click();
    EXPECT_EQ(dlg.model().mount().decBacklash(), 2.5f);
    backlash->click();  // off
    EXPECT_EQ(dlg.model().mount().decBacklash(), 0.0f);
    Edit("editBacklashTime")->setText("soon");
    backlash->click();
    EXPECT_FALSE(backlash->isChecked());
    EXPECT_EQ(dlg.model().mount().decBacklash(), 0.0f);
}

TEST_F(StarloomDlgTest, ArrowsDriveTheMountWhileOverrideIsChecked) {
    dlg.show();
    const starloom::MountModel& mount = dlg.model().mount();
    auto* override = child<QCheckBox>(dlg, "checkOverride");

    // Not checked: the press sets the bit, the mount does not see it.
    QTest::mousePress(Button("buttonRight"), Qt::LeftButton);
    EXPECT_EQ(dlg.loop().overrideOutputs(), kAgRaMinus);
    EXPECT_EQ(mount.agState(), 0u);
    QTest::mouseRelease(Button("buttonRight"), Qt::LeftButton);

    QTest::mouseClick(override, Qt::LeftButton);
    ASSERT_TRUE(override->isChecked());
    EXPECT_EQ(dlg.loop().overrideOutputs(), 0u);
    QTest::mousePress(Button("buttonUp"), Qt::LeftButton);
    EXPECT_EQ(mount.agState(), kAgDecPlus);
    QTest::mouseRelease(Button("buttonUp"), Qt::LeftButton);
    EXPECT_EQ(mount.agState(), 0u);
    QTest::mousePress(Button("buttonLeft"), Qt::LeftButton);
    EXPECT_EQ(mount.agState(), kAgRaPlus);
    // Released anywhere in the dialog: all four off.
    QTest::mouseRelease(Edit("editSeed"), Qt::LeftButton);
    EXPECT_EQ(mount.agState(), 0u);
    // A press elsewhere sets nothing.
    QTest::mousePress(Edit("editSeed"), Qt::LeftButton);
    EXPECT_EQ(mount.agState(), 0u);
    QTest::mouseRelease(Edit("editSeed"), Qt::LeftButton);
}

TEST_F(StarloomDlgTest, WheelZoomsAboutTheCursorAndDraggingMovesTheImage) {
    dlg.show();
    starloom::FrameViewControl& view = dlg.view();
    auto wheel = [&](QPoint at, int delta) {
        QWheelEvent event(QPointF(at), QPointF(view.mapToGlobal(at)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view, &event);
    };
    view.SetZoom(0, QPoint(0, 0));  // 1:1 at the frame's top-left corner
    wheel({100, 50}, 240);          // two notches in
    EXPECT_EQ(view.zoom(), 2);
    EXPECT_EQ(view.offset(), QPoint(200, 100));  // (100 + 0) / 1 * 3 - 100
    wheel({10, 20}, 120 * 9);                    // limited to 7
    EXPECT_EQ(view.zoom(), 7);
    EXPECT_EQ(view.offset(), QPoint((10 + 200) * 8 / 3 - 10, (20 + 100) * 8 / 3 - 20));
    wheel({0, 0}, -120 * 20);  // out as far as it goes: the whole frame
    EXPECT_TRUE(view.fitted());
    const double fit = view.scale();
    wheel({0, 0}, 120);
    EXPECT_FALSE(view.fitted());
    EXPECT_GT(view.scale(), fit);
    view.SetZoom(0, QPoint(0, 0));

    const QPoint before = view.offset();
    QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, QPoint(300, 300));
    QTest::mouseMove(&view, QPoint(280, 330));
    QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, QPoint(280, 330));
    EXPECT_EQ(view.offset(), before + QPoint(20, -30));
}

TEST_F(StarloomDlgTest, UncoveredViewIsGreyAndTheImageIsScaledWhole) {
    starloom::FrameViewControl& view = dlg.view();
    std::vector<uint16_t> frame(1288 * 968, 256);
    frame[0] = 767;  // top-left pixel: 254 at 8x
    view.ShowFrame(frame, 0);
    EXPECT_EQ(view.canvas().GetPixel(1, 0), 0x202020u);  // the background at 1x
    view.ShowFrame(frame, 3);
    view.SetZoom(1, QPoint(0, 0));  // 2 x 2 screen pixels a sensor pixel
    const QImage shown = view.grab().toImage();
    EXPECT_EQ(shown.pixel(0, 0) & 0xFFFFFF, 0xFEFEFEu);
    EXPECT_EQ(shown.pixel(1, 1) & 0xFFFFFF, 0xFEFEFEu);
    EXPECT_EQ(shown.pixel(2, 0) & 0xFFFFFF, 0x202020u);
    // Dragged past the image's top-left corner, the uncovered strip is grey.
    QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    QTest::mouseMove(&view, QPoint(110, 100));
    QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, QPoint(110, 100));
    const QImage moved = view.grab().toImage();
    EXPECT_EQ(moved.pixel(5, 5) & 0xFFFFFF, 0x808080u);
    EXPECT_EQ(moved.pixel(10, 0) & 0xFFFFFF, 0xFEFEFEu);
}

// A frame with the seed-2 sky, as an HC asks for it: 1 s at gain 6.
class StarloomViewTest : public StarloomDlgTest {
protected:
    void TakeFrame() {
        vt5test::EventHc& hc = Plug();
        hc.hcTime = 1000;
        Start();
        hc.event(0x0A, 1010, 0x6000 | 1000);
        hc.event(0x0B, 2010);
        dlg.emulationStep();
        ASSERT_EQ(hc.frames.size(), 1u);
    }
    // The guide star's mark lies inside the view and on the star.
    void ExpectGuideStarInView(const char* when) {
        SCOPED_TRACE(when);
        const starloom::FrameViewControl& view = dlg.view();
        ASSERT_TRUE(view.guideMark() && view.guideMark()->x) << "no guide star marked";
        const QPointF at = view.ViewPosition(*view.guideMark()->x, *view.guideMark()->y);
        EXPECT_TRUE(QRectF(view.rect()).contains(at)) << at.x() << ", " << at.y();
    }
    // The whole frame is in the view.
    void ExpectWholeFrame() {
        const starloom::FrameViewControl& view = dlg.view();
        const QRectF image = view.ImageRect();
        EXPECT_TRUE(QRectF(view.rect()).adjusted(-1, -1, 1, 1).contains(image))
            << image.x() << ", " << image.y() << " " << image.width() << " x " << image.height();
        // Fitted: touching two opposite sides of the view (or shown 1:1 in a larger one).
        EXPECT_TRUE(std::abs(image.width() - view.width()) <= 1 ||
                    std::abs(image.height() - view.height()) <= 1 || view.scale() == 1.0);
    }
};

TEST_F(StarloomViewTest, OpensFittedWithTheGuideStarMarkedInView) {
    dlg.show();
    TakeFrame();
    ExpectWholeFrame();
    ExpectGuideStarInView("fitted");
    const starloom::GuideMark& mark = *dlg.view().guideMark();
    EXPECT_EQ(mark.frame, 1);
    EXPECT_NEAR(mark.seconds, 1.01, 1e-9);  // the request at 2010 ms, started at 1000 ms
    // The mark is on the star: the brightest pixel near it stands well above the sky.
    const std::span<const uint16_t> frame = dlg.model().frames().frameImage();
    const int sx = static_cast<int>(std::lround(*mark.x)),
              sy = static_cast<int>(std::lround(*mark.y));
    EXPECT_GT(frame[static_cast<std::size_t>(sy) * 1288 + sx], 300);
    // The fitted view shows the star: each screen pixel takes the brightest sensor pixel
    // under it, so the star's centre pixel is not averaged away with the sky around it.
    const int starGrey = qGray(dlg.view().canvas().GetPixel(sx, sy));
    EXPECT_GT(starGrey, 32);  // brighter than the sky at 8x
    const QImage shown = dlg.view().grab().toImage();
    const QPointF at = dlg.view().ViewPosition(*mark.x, *mark.y);
    int brightest = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            brightest = std::max(brightest, qGray(shown.pixel(static_cast<int>(at.x()) + dx,
                                                              static_cast<int>(at.y()) + dy)));
    EXPECT_GE(brightest, starGrey);
}

TEST_F(StarloomViewTest, ZoomOutReturnsToTheWholeFrameWithTheGuideStarInView) {
    dlg.show();
    TakeFrame();
    starloom::FrameViewControl& view = dlg.view();
    auto wheel = [&](QPoint at, int delta) {
        QWheelEvent event(QPointF(at), QPointF(view.mapToGlobal(at)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view, &event);
    };
    // In to 8:1 at a corner far from the star, then out notch by notch: the scale shrinks at
    // every notch down to the whole frame, where it stays.
    wheel({5, 5}, 120 * 12);
    EXPECT_EQ(view.zoom(), starloom::FrameViewControl::kMaxZoom);
    double last = view.scale();
    while (!view.fitted()) {
        wheel({5, 5}, -120);
        ASSERT_LT(view.scale(), last);
        last = view.scale();
    }
    wheel({5, 5}, -120 * 3);
    EXPECT_TRUE(view.fitted());
    ExpectWholeFrame();
    ExpectGuideStarInView("zoomed out");
    // 1:1 puts the guide star in the middle of the view; Fit brings the whole frame back.
    Button("buttonZoomActual")->click();
    EXPECT_EQ(view.zoom(), 0);
    ExpectGuideStarInView("1:1");
    Button("buttonZoomFit")->click();
    EXPECT_TRUE(view.fitted());
    ExpectWholeFrame();
}

TEST_F(StarloomViewTest, TheViewGrowsWithTheWindowAndStaysFitted) {
    dlg.show();
    TakeFrame();
    starloom::FrameViewControl& view = dlg.view();
    const QSize before = view.size();
    const double scaleBefore = view.scale();
    dlg.resize(dlg.width() + 400, dlg.height() + 300);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.size() != before; }, 20000));
    EXPECT_GT(view.width(), before.width() + 300);
    EXPECT_GT(view.height(), before.height() + 200);
    EXPECT_TRUE(view.fitted());
    EXPECT_GT(view.scale(), scaleBefore);
    ExpectWholeFrame();
    ExpectGuideStarInView("larger window");
}

TEST_F(StarloomDlgTest, SeeingIsTakenWhenEntered) {
    struct Case {
        const char* text;
        double fwhm;
    } cases[] = {{"3", 3.0}, {"0", 0.0}, {"1.5", 1.5}};
    QLineEdit* seeing = Edit("editSeeing");
    for (const Case& c : cases) {
        seeing->setText(QString::fromLatin1(c.text));
        Q_EMIT seeing->editingFinished();
        EXPECT_NEAR(dlg.model().mount().seeingAmplitude(), c.fwhm / 2.3548, 1e-4) << c.text;
    }
    // Without seeing.csv the built-in motion stands in.
    EXPECT_GT(dlg.model().sky().seeing().count(), 0u);
}

TEST_F(StarloomDlgTest, ScreenshotFailureIsShownAndAboutBox) {
    int calls = 0;
    dlg.setScreenshot([&](CVT5Api* api) {
        EXPECT_EQ(api, &dlg.api());
        ++calls;
        return calls == 1 ? VT5_OK : 901;
    });
    EXPECT_TRUE(Button("buttonScreenshot")->isEnabled());
    Button("buttonScreenshot")->click();
    EXPECT_TRUE(prompter.prompts().empty());
    prompter.answer(QMessageBox::Ok);
    Button("buttonScreenshot")->click();
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.prompts()[0].caption, "ERROR");
    EXPECT_EQ(prompter.prompts()[0].icon, QMessageBox::Warning);
    EXPECT_EQ(prompter.texts()[0], "Can't access Windows' clipboard");

    prompter.answer(QMessageBox::Ok);
    dlg.showAbout();
    EXPECT_EQ(prompter.texts()[1], "Starloom for Veltra-5, Version 1.2");
}

}  // namespace
