#include "starloom/app/starloom_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <cstdio>

#include "starloom/app/control_values.h"
#include "starloom/app/frame_view_control.h"
#include "starloom/app/starloom_texts.h"
#include "starloom/model/frame_values.h"
#include "starloom/model/seeing_motion.h"
#include "vt5api/options/connection_target.h"
#include "vt5api/ui/busy_cursor.h"
#include "vt5api/ui/edit_options.h"
#include "vt5api/ui/prompter.h"
#include "vt5api/ui/ui_text.h"

namespace {

std::optional<int> IntOf(const QLineEdit* edit) {
    return starloom::ScanInt(ApiText(edit->text()));
}

std::optional<double> RealOf(const QLineEdit* edit) {
    return starloom::ScanReal(ApiText(edit->text()));
}

}  // namespace

CStarloomw32Dlg::CStarloomw32Dlg(Prompter& prompter, QWidget* parent)
    : QDialog(parent),
      prompter_(prompter),
      model_(std::make_unique<starloom::StarloomModel>()),
      loop_(api_, *model_) {
    setWindowTitle(UiText(kStarloomCaption));
    options_.programKey = VT5_KEY_STARLOOM;
    LoadOptions(options_);
    timer_.setInterval(kTimerMs);
    buildControls();
    loop_.SetFrameSink([this](const starloom::FrameSent& frame) { frameSent(frame); });
    apply();
    applyTime();
    applySeeing();
    redrawView();
    qApp->installEventFilter(this);
}

CStarloomw32Dlg::~CStarloomw32Dlg() {
    qApp->removeEventFilter(this);
    if (running_) stop();
}

void CStarloomw32Dlg::setScreenshot(Screenshot screenshot) {
    screenshot_ = std::move(screenshot);
    screenshotButton_->setEnabled(static_cast<bool>(screenshot_));
}

// --- settings ------------------------------------------------------------------------------

void CStarloomw32Dlg::applyStarField() {
    if (auto seed = IntOf(seed_)) loop_.ApplyStarField(*seed);
}

void CStarloomw32Dlg::apply() {
    loop_.ApplyAgSpeed(agSpeed_->currentIndex());
    if (auto focal = IntOf(focalLength_)) loop_.ApplyFocalLength(*focal);
    auto altitude = RealOf(poleAltitude_);
    auto errorAlt = RealOf(errorAlt_);
    auto errorAzi = RealOf(errorAzi_);
    if (!altitude || !errorAlt || !errorAzi) {
        prompter_.message(this, kCaptionError, kWrongPolarValue, QMessageBox::Critical);
        return;
    }
    loop_.ApplyPolarAlignment(southern_->isChecked(), static_cast<float>(*altitude),
                              static_cast<float>(*errorAlt), static_cast<float>(*errorAzi));
}

void CStarloomw32Dlg::applySeeing() {
    if (auto fwhm = RealOf(seeing_); fwhm && *fwhm >= 0.0 && *fwhm <= starloom::kMaxSeeingFwhm)
        loop_.ApplySeeing(static_cast<float>(*fwhm));
}

void CStarloomw32Dlg::applyTime() {
    if (auto hours = RealOf(raTime_)) loop_.ApplyTime(*hours);
}

void CStarloomw32Dlg::placeRaTime(const char* hours) {
    raTime_->setText(QString::fromLatin1(hours));
    applyTime();
}

void CStarloomw32Dlg::applyBacklash() {
    auto seconds = RealOf(backlashTime_);
    if (!seconds) backlash_->setChecked(false);
    loop_.ApplyBacklash(backlash_->isChecked(), static_cast<float>(seconds.value_or(0.0)));
}

void CStarloomw32Dlg::overrideChanged() {
    loop_.SetOverride(override_->isChecked());
}

// --- start, step, stop ---------------------------------------------------------------------

void CStarloomw32Dlg::startOrStop() {
    if (running_)
        stop();
    else
        start();
}

void CStarloomw32Dlg::start() {
    int32_t result = VT5_OK;
    {
        BusyCursor busy;
        // A run that ended in an error left its connection open; the options may have changed
        // since, and an open Client connection would refuse the new VT5_Open.
        if (VT5_IsOpen(&api_)) VT5_Close(&api_);
        const VT5ConnectionTarget target = TargetFromOptions(options_);
        result = VT5_Open(&api_, target.Serial(), target.Host(), target.port, kClientName);
    }
    if (result != VT5_OK) {
        char text[512];
        std::snprintf(text, sizeof text, kCantConnect, VT5_GetErrorText(result));
        prompter_.message(this, kCaptionError, text, QMessageBox::Warning);
        return;
    }
    bool boot = false;
    {
        BusyCursor busy;
        result = loop_.CheckFirmware(boot);
    }
    if (result != VT5_OK) return showApiError(result);
    if (boot) {
        VT5_Close(&api_);
        prompter_.message(this, kCaptionCantStart, kNeedsFirmware, QMessageBox::Warning);
        return;
    }

    start_->setText(UiText(kStop));
    status_->setText(UiText(kStatusRunning));
    running_ = true;
    framesSent_ = 0;
    guideStar_.Reset();
    view_->SetGuideMark(std::nullopt);
    // The user's settings follow the start's own set-up, as their handlers make them.
    result = loop_.Begin([this] {
        applyStarField();
        apply();
        applyTime();
        applyBacklash();
        applySeeing();
    });
    if (result != VT5_OK) {
        becomeIdle();
        showApiError(result);
        return;
    }
    // Only now: a message box of the settings above runs the event loop, and no step may run
    // before the simulation clock has started.
    timer_.start();
}

void CStarloomw32Dlg::stop() {
    running_ = false;
    timer_.stop();
    start_->setText(UiText(kStart));
    status_->clear();
    const int32_t result = loop_.End();
    if (result != VT5_OK) {
        showApiError(result);
        return;
    }
    VT5_Close(&api_);
}

void CStarloomw32Dlg::becomeIdle() {
    running_ = false;
    timer_.stop();
    start_->setText(UiText(kStart));
    status_->clear();
}

void CStarloomw32Dlg::emulationStep() {
    if (!running_) return;
    const int32_t result = loop_.Step();
    if (result != VT5_OK) {
        becomeIdle();
        showApiError(result);
        return;
    }
    backlashPosition_->setValue(loop_.backlashPosition());
}

void CStarloomw32Dlg::showApiError(int32_t code) {
    prompter_.message(this, kCaptionError, VT5_GetErrorText(code), QMessageBox::Critical);
}

// --- the rest ------------------------------------------------------------------------------

void CStarloomw32Dlg::redrawView() {
    view_->ShowFrame(model_->frames().frameImage(), viewBrightness_->currentIndex());
}

void CStarloomw32Dlg::frameSent(const starloom::FrameSent& frame) {
    if (frame.skipped) return;
    ++framesSent_;
    const starloom::FrameSynth& frames = model_->frames();
    const auto& star =
        guideStar_.Update(frames.frameImage(), starloom::MaxPixelValue(frames.gainIndex()));
    starloom::GuideMark mark;
    if (star) {
        mark.x = star->x;
        mark.y = star->y;
    }
    mark.frame = framesSent_;
    mark.seconds = static_cast<double>(frame.time - loop_.hcStartTime()) / 1000.0;
    view_->SetGuideMark(mark);
    redrawView();
}

void CStarloomw32Dlg::zoomToFit() {
    view_->ZoomToFit();
}

void CStarloomw32Dlg::zoomToActualSize() {
    const auto& mark = view_->guideMark();
    if (mark && mark->x && mark->y) {
        // The star comes to the middle of the view at 1:1.
        view_->SetZoom(0, QPoint(static_cast<int>(*mark->x) - view_->width() / 2,
                                 static_cast<int>(*mark->y) - view_->height() / 2));
        return;
    }
    view_->ZoomTo(0, view_->rect().center());
}

void CStarloomw32Dlg::takeScreenshot() {
    if (!screenshot_) return;
    const int32_t result = screenshot_(&api_);
    if (result != VT5_OK)
        prompter_.message(this, kCaptionError, VT5_GetErrorText(result), QMessageBox::Warning);
}

void CStarloomw32Dlg::editConnectionOptions() {
    EditOptions(options_, this);
}

void CStarloomw32Dlg::showAbout() {
    prompter_.message(this, kAboutCaption, kAboutText, QMessageBox::Information);
}

void CStarloomw32Dlg::reject() {
    if (running_) stop();
    QDialog::reject();
}

void CStarloomw32Dlg::contextMenuEvent(QContextMenuEvent* event) {
    // Stands in for the system menu's "About" item.
    QMenu menu(this);
    connect(menu.addAction(UiText(kAboutItem)), &QAction::triggered, this,
            &CStarloomw32Dlg::showAbout);
    menu.exec(event->globalPos());
}

bool CStarloomw32Dlg::eventFilter(QObject* watched, QEvent* event) {
    const bool press = event->type() == QEvent::MouseButtonPress;
    if (press || event->type() == QEvent::MouseButtonRelease) {
        auto* widget = qobject_cast<QWidget*>(watched);
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (widget && mouse->button() == Qt::LeftButton && (widget == this || isAncestorOf(widget)))
            leftButton(press, mouse->globalPosition().toPoint());
    }
    return QDialog::eventFilter(watched, event);
}

void CStarloomw32Dlg::leftButton(bool pressed, QPoint globalPosition) {
    unsigned outputs = 0;
    if (pressed) {
        outputs = loop_.overrideOutputs();
        for (int arrow = 0; arrow < 4; ++arrow) {
            QPushButton* button = arrows_[arrow];
            if (button->isVisible() &&
                button->rect().contains(button->mapFromGlobal(globalPosition)))
                outputs = starloom::PressArrow(outputs, arrow);
        }
    }
    loop_.SetOverrideOutputs(outputs);
    loop_.ApplyOverride();
}
