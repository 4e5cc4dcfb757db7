#pragma once

// Starloom's main dialog: the sky, mount and camera settings, start and stop of the camera
// emulation in the HC, the emulation step on a 5 ms timer, and the view of the last frame.

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>

#include "starloom/emulation/emulation_loop.h"
#include "starloom/model/guide_star.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/options/connection_options.h"

class Prompter;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSlider;

namespace starloom {
class FrameViewControl;
}

// Object names: view, buttonOptions, buttonStart, labelStatus, comboView, editSeed,
// buttonApplyStarField, comboAgSpeed, editFocalLength, checkSouthern, editPoleAltitude,
// editErrorAlt, editErrorAzi, buttonApply, editRaTime, buttonApplyTime, buttonEast,
// buttonMeridian, buttonWest, checkBacklash, editBacklashTime, sliderBacklash, checkOverride,
// buttonLeft, buttonRight, buttonUp, buttonDown, buttonScreenshot, buttonZoomFit,
// buttonZoomActual, editSeeing; hidden and disabled:
// editLog, buttonClearLog, buttonResetLog, buttonDebugBreak, buttonTestPolMisalign.
class CStarloomw32Dlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTimerMs = 5;  // the emulation timer (901)

    explicit CStarloomw32Dlg(Prompter& prompter, QWidget* parent = nullptr);
    // Stops the emulation first when it runs.
    ~CStarloomw32Dlg() override;

    // What "Take Screenshot of the HC" calls on the dialog's API context: the program gives
    // the display family's VT5cmd_DisplayToClipboard. Without one the button is disabled.
    using Screenshot = std::function<int32_t(CVT5Api*)>;
    void setScreenshot(Screenshot screenshot);

    bool running() const { return running_; }
    CVT5Api& api() { return api_; }
    starloom::StarloomModel& model() { return *model_; }
    starloom::EmulationLoop& loop() { return loop_; }
    const VT5ConnectionOptions& options() const { return options_; }
    starloom::FrameViewControl& view() { return *view_; }

public Q_SLOTS:
    void startOrStop();
    // One emulation step (timer 901); tests call it in place of the timer.
    void emulationStep();
    void applyStarField();
    void apply();
    void applyTime();
    void applyBacklash();
    void overrideChanged();
    void redrawView();
    // The view's own buttons: the whole frame, or 1:1 about the guide star.
    void zoomToFit();
    void zoomToActualSize();
    void applySeeing();
    void takeScreenshot();
    void editConnectionOptions();
    void showAbout();
    // The window's close command: stops a running emulation first.
    void reject() override;

protected:
    // Left button presses and releases anywhere in the dialog drive the override outputs.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void buildControls();
    void start();
    void stop();
    // Back to idle after a failure: "Start", timer stopped, status empty.
    void becomeIdle();
    void showApiError(int32_t code);
    void placeRaTime(const char* hours);
    void leftButton(bool pressed, QPoint globalPosition);
    void frameSent(const starloom::FrameSent& frame);

    Prompter& prompter_;
    VT5ConnectionOptions options_;
    CVT5Api api_;
    std::unique_ptr<starloom::StarloomModel> model_;
    starloom::EmulationLoop loop_;
    QTimer timer_;
    bool running_ = false;
    Screenshot screenshot_;
    starloom::GuideStarTracker guideStar_;
    int framesSent_ = 0;

    starloom::FrameViewControl* view_ = nullptr;
    QPushButton* start_ = nullptr;
    QLabel* status_ = nullptr;
    QComboBox* viewBrightness_ = nullptr;
    QLineEdit* seed_ = nullptr;
    QComboBox* agSpeed_ = nullptr;
    QLineEdit* focalLength_ = nullptr;
    QCheckBox* southern_ = nullptr;
    QLineEdit* poleAltitude_ = nullptr;
    QLineEdit* errorAlt_ = nullptr;
    QLineEdit* errorAzi_ = nullptr;
    QLineEdit* raTime_ = nullptr;
    QCheckBox* backlash_ = nullptr;
    QLineEdit* backlashTime_ = nullptr;
    QSlider* backlashPosition_ = nullptr;
    QCheckBox* override_ = nullptr;
    QLineEdit* seeing_ = nullptr;
    QPushButton* arrows_[4] = {};  // ◀ ▶ ▲ ▼
    QPushButton* screenshotButton_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
};
