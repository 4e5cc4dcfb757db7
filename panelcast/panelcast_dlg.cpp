#include "panelcast/panelcast_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyleHints>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <string>

#include "common/text_printf.h"
#include "panelcast/button_images.h"
#include "panelcast/frame_rate.h"
#include "panelcast/panel_view.h"
#include "panelcast/panelcast_app.h"
#include "panelcast/panelcast_texts.h"
#include "platform/clipboard/clipboard.h"
#include "platform/clock/clock.h"
#include "vt5api/commands/display.h"
#include "vt5api/commands/identity.h"
#include "vt5api/options/connection_target.h"
#include "vt5api/ui/busy_cursor.h"
#include "vt5api/ui/edit_options.h"
#include "vt5api/ui/named_font.h"
#include "vt5api/ui/prompter.h"
#include "vt5api/ui/ui_text.h"

namespace {

constexpr int kEscPulseMs = 200;
constexpr int kBootPulseMs = 2000;
constexpr int kWaitAfterEscMs = 1500;
constexpr int kWaitAfterBootMs = 500;
constexpr int kModeChangeWaitMs = 100;
// An HC that keeps announcing mode changes is given up on after this many tries.
constexpr int kModeChangeTries = 50;
// A drawn button held with the mouse repeats as a held key does: after this delay, then at
// the keyboard's repeat rate.
constexpr int kMouseRepeatDelayMs = 500;

QPushButton* Button(const QString& text, const char* objectName) {
    auto* button = new QPushButton(text);
    button->setObjectName(QLatin1String(objectName));
    return button;
}

// The HC's button for a key, or -1.
int32_t ButtonOfKey(int key) {
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return VT5_BUTTON_SET;
        case Qt::Key_Escape:
            return VT5_BUTTON_ESC;
        case Qt::Key_Left:
            return VT5_BUTTON_LEFT;
        case Qt::Key_Up:
            return VT5_BUTTON_UP;
        case Qt::Key_Right:
            return VT5_BUTTON_RIGHT;
        case Qt::Key_Down:
            return VT5_BUTTON_DOWN;
        default:
            return -1;
    }
}

}  // namespace

CPanelcastDlg::CPanelcastDlg(CPanelcastApp& app, QWidget* parent)
    : QDialog(parent), app_(app), frame_(VT5_DISPLAY_PIXELS, 0) {
    setWindowIcon(QIcon(QStringLiteral(":/panelcast/panelcast_icon.png")));
    setFont(FamilyIfInstalled(QStringLiteral("Arial"), 10, font()));
    options_.programKey = VT5_KEY_PANELCAST;
    LoadOptions(options_);
    setWindowTitle(UiText(kPanelcastTitle));
    LoadButtonImages(buttonImages_);
    buildControls();
    frameRateEdit_->setText(QStringLiteral("20"));
    frameRate_ = kDefaultFrameRate;
    connect(&timer_, &QTimer::timeout, this, &CPanelcastDlg::updateDisplay);
    keyRelease_.setSingleShot(true);
    keyRelease_.setInterval(HeldButtons::kReleaseWaitMs);
    connect(&keyRelease_, &QTimer::timeout, this, &CPanelcastDlg::settleKeys);
    connect(&mouseRepeat_, &QTimer::timeout, this, &CPanelcastDlg::repeatMouseButton);
    connect(panel_, &CPanelView::leftPressed, this, &CPanelcastDlg::panelPressed);
    connect(panel_, &CPanelView::leftReleased, this, &CPanelcastDlg::panelReleased);
    qApp->installEventFilter(this);
    SetConnectionState(kDisconnected);
}

CPanelcastDlg::~CPanelcastDlg() {
    qApp->removeEventFilter(this);
    timer_.stop();
    VT5_Close(&api_);
}

void CPanelcastDlg::buildControls() {
    connect_ = Button(tr("Connect"), "buttonConnect");
    options_button_ = Button(tr("Conn. options"), "buttonOptions");
    turnOn_ = Button(tr("Turn ON"), "buttonTurnOn");
    bootMode_ = new QCheckBox(tr("BOOT mode"));
    bootMode_->setObjectName(QStringLiteral("checkBootMode"));
    deviceInfo_ = Button(tr("Device Info"), "buttonDeviceInfo");
    panel_ = new CPanelView;
    panel_->setObjectName(QStringLiteral("panelDisplay"));
    auto* screenshotButton = Button(tr("Screenshot"), "buttonScreenshot");
    auto* note = new QLabel(UiText(kScreenshotNote));
    note->setObjectName(QStringLiteral("labelScreenshotNote"));

    frameRateEdit_ = new QLineEdit;
    frameRateEdit_->setObjectName(QStringLiteral("editFrameRate"));
    frameRateEdit_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    frameRateEdit_->setMaxLength(6);
    frameRateEdit_->setFixedWidth(48);
    auto* apply = Button(tr("Apply"), "buttonApply");
    achieved_ = new QLabel;
    achieved_->setObjectName(QStringLiteral("labelFrameRate"));
    achieved_->setToolTip(tr("Display frames drawn in the last second"));

    // The template's hidden default button: Enter outside a focused button does nothing.
    auto* defaultButton = new QPushButton(this);
    defaultButton->setObjectName(QStringLiteral("buttonDefault"));
    defaultButton->setDefault(true);
    defaultButton->setEnabled(false);
    defaultButton->hide();

    auto* top = new QHBoxLayout;
    top->addWidget(connect_);
    top->addWidget(options_button_);
    top->addWidget(turnOn_);
    top->addWidget(bootMode_);
    top->addWidget(deviceInfo_);
    top->addStretch(1);

    auto* settings = new QGroupBox(tr("Settings"));
    auto* rateRow = new QHBoxLayout;
    rateRow->addWidget(new QLabel(tr("Frame rate max.")));
    rateRow->addWidget(frameRateEdit_);
    rateRow->addWidget(new QLabel(tr("fps")));
    auto* settingsLayout = new QVBoxLayout(settings);
    settingsLayout->addLayout(rateRow);
    settingsLayout->addWidget(apply, 0, Qt::AlignRight);

    auto* side = new QVBoxLayout;
    side->addWidget(screenshotButton);
    side->addWidget(note);
    side->addSpacing(12);
    side->addWidget(settings);
    side->addStretch(1);
    side->addWidget(achieved_);

    auto* grid = new QGridLayout(this);
    grid->addLayout(top, 0, 0, 1, 2);
    grid->addWidget(panel_, 1, 0);
    grid->addLayout(side, 1, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(connect_, &QPushButton::clicked, this, &CPanelcastDlg::connectOrDisconnect);
    connect(options_button_, &QPushButton::clicked, this, &CPanelcastDlg::editOptions);
    connect(turnOn_, &QPushButton::clicked, this, &CPanelcastDlg::turnOn);
    connect(deviceInfo_, &QPushButton::clicked, this, &CPanelcastDlg::showDeviceInfo);
    connect(screenshotButton, &QPushButton::clicked, this, &CPanelcastDlg::screenshot);
    connect(apply, &QPushButton::clicked, this, &CPanelcastDlg::applyFrameRate);
}

void CPanelcastDlg::SetConnectionState(int state) {
    connectionState_ = state;
    const bool connected = state == kConnected;
    connect_->setText(connected ? tr("Disconnect") : tr("Connect"));
    options_button_->setEnabled(!connected);
    turnOn_->setEnabled(!connected);
    bootMode_->setEnabled(!connected);
    deviceInfo_->setEnabled(connected);
    if (connected) {
        timer_.start(TimerPeriod(frameRate_));
        freshStartPending_ = true;
    } else {
        timer_.stop();
        // Nothing more reaches the HC: held buttons are simply forgotten.
        keys_.Clear();
        keyRelease_.stop();
        mouseButton_ = -1;
        mouseRepeat_.stop();
    }
    rate_.Reset();
    ShowAchievedRate();
    CBitmapRect& canvas = panel_->Canvas();
    DrawBorder(canvas, panel_->width(), connected);
    panel_->repaint();
}

void CPanelcastDlg::connectOrDisconnect() {
    if (connectionState_ == kConnected)
        Disconnect();
    else
        Connect();
}

void CPanelcastDlg::Connect() {
    VT5ConnectionTarget target = TargetFromOptions(options_);
    if (target.serial.size() > 8) target.serial.resize(8);
    int32_t result = VT5_OK;
    {
        BusyCursor busy;
        for (int tries = 1;; ++tries) {
            result = VT5_Open(&api_, target.Serial(), target.Host(), target.port, kPanelcastClient);
            if (result != VT5_E_MODE_CHANGED || tries >= kModeChangeTries) break;
            platform::sleepMs(kModeChangeWaitMs);
        }
    }
    if (result != VT5_OK) {
        const char* step = result == VT5_E_HANDSHAKE ? kCantConnectOff : kCantConnect;
        app_.prompter.message(this, kCaptionError,
                              common::Printf(kConnectFailedFormat, step, VT5_GetErrorText(result)),
                              QMessageBox::Critical);
        return;
    }
    SetConnectionState(kConnected);
}

void CPanelcastDlg::Disconnect() {
    ReleaseHeldButtons();
    int32_t result = VT5_Close(&api_);
    if (result != VT5_OK) {
        ErrorBox(kDisconnectFailed, result, QMessageBox::Critical);
        return;
    }
    SetConnectionState(kDisconnected);
}

void CPanelcastDlg::ErrorBox(const char* action, int32_t code, int icon) {
    SetConnectionState(kDisconnected);
    app_.prompter.message(this, kCaptionError,
                          common::Printf(kErrorBoxFormat, action, VT5_GetErrorText(code)),
                          static_cast<QMessageBox::Icon>(icon));
}

bool CPanelcastDlg::ReportSystemChange(int32_t code) {
    if (code != VT5_E_POWERED_OFF && code != VT5_E_UNKNOWN_ASYNC) return false;
    SetConnectionState(kDisconnected);
    if (code == VT5_E_POWERED_OFF)
        app_.prompter.message(this, kCaptionNotification, kPoweredOff, QMessageBox::Information);
    else
        app_.prompter.message(this, kCaptionNotification, kUnknownChange, QMessageBox::Critical);
    return true;
}

void CPanelcastDlg::updateDisplay() {
    if (connectionState_ != kConnected) return;
    const int width = panel_->width();
    position_ = PlaceDisplay(width, panel_->height());
    VT5ButtonLights lights{};
    int32_t result = VT5cmd_ReadDisplay(&api_, frame_.data(), &lights, freshStartPending_);
    if (result == VT5_OK) lights_ = lights;
    if (result == VT5_E_MODE_CHANGED) return;  // the next read reconnects
    if (ReportSystemChange(result)) return;
    if (result != VT5_OK) {
        ErrorBox(kUpdateFailed, result, QMessageBox::NoIcon);
        return;
    }
    freshStartPending_ = false;
    CBitmapRect& canvas = panel_->Canvas();
    canvas.Fill(kPanelBackground);
    displayValid_ = true;
    DrawDisplay(canvas, frame_.data(), position_);
    DrawButtonLights(canvas, lights, buttonImages_, width, position_, PressedButtons());
    DrawBorder(canvas, width, true);
    panel_->repaint();
    rate_.Frame(platform::nowMs());
    ShowAchievedRate();
    emit frameDrawn();
}

double CPanelcastDlg::AchievedFrameRate() {
    return rate_.PerSecond(platform::nowMs());
}

void CPanelcastDlg::ShowAchievedRate() {
    if (connectionState_ != kConnected) {
        achieved_->setText(tr("Not connected"));
        return;
    }
    achieved_->setText(QString::asprintf("%.1f fps", AchievedFrameRate()));
}

bool CPanelcastDlg::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type != QEvent::KeyPress && type != QEvent::KeyRelease) || connectionState_ != kConnected)
        return QDialog::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || (widget != this && !isAncestorOf(widget)))
        return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const int32_t button = ButtonOfKey(key->key());
    if (button < 0) return QDialog::eventFilter(watched, event);
    const auto time = static_cast<int64_t>(key->timestamp());
    SendButtons(type == QEvent::KeyPress ? keys_.Press(button, time, key->isAutoRepeat())
                                         : keys_.Release(button, time, key->isAutoRepeat()));
    if (keys_.ReleasePending() && connectionState_ == kConnected) keyRelease_.start();
    RedrawButtons();
    return true;
}

void CPanelcastDlg::settleKeys() {
    SendButtons(keys_.Settle());
    RedrawButtons();
}

void CPanelcastDlg::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() &&
        connectionState_ == kConnected) {
        ReleaseHeldButtons();
        RedrawButtons();
    }
    QDialog::changeEvent(event);
}

unsigned CPanelcastDlg::PressedButtons() const {
    return keys_.HeldMask() | (mouseButton_ >= 0 ? 1u << mouseButton_ : 0u);
}

void CPanelcastDlg::panelPressed(QPoint at) {
    if (connectionState_ != kConnected || !displayValid_ || mouseButton_ >= 0) return;
    const int button = ButtonAt(at.x(), at.y(), panel_->width(), position_);
    if (button < 0) return;
    mouseButton_ = button;
    SendButton(button, false);
    if (connectionState_ != kConnected) return;
    mouseRepeat_.start(kMouseRepeatDelayMs);
    RedrawButtons();
}

void CPanelcastDlg::repeatMouseButton() {
    if (mouseButton_ < 0) return mouseRepeat_.stop();
    const int rate = std::max(1, QGuiApplication::styleHints()->keyboardAutoRepeatRate());
    mouseRepeat_.setInterval(1000 / rate);
    SendButton(mouseButton_, false);
}

void CPanelcastDlg::panelReleased() {
    if (mouseButton_ < 0) return;
    const int button = mouseButton_;
    mouseButton_ = -1;
    mouseRepeat_.stop();
    SendButton(button, true);
    RedrawButtons();
}

void CPanelcastDlg::ReleaseHeldButtons() {
    keyRelease_.stop();
    HeldButtons::Events events = keys_.ReleaseAll();
    if (mouseButton_ >= 0) events.push_back({mouseButton_, true});
    mouseButton_ = -1;
    mouseRepeat_.stop();
    SendButtons(events);
}

void CPanelcastDlg::RedrawButtons() {
    if (connectionState_ != kConnected || !displayValid_) return;
    DrawButtonLights(panel_->Canvas(), lights_, buttonImages_, panel_->width(), position_,
                     PressedButtons());
    panel_->repaint();
}

void CPanelcastDlg::SendButtons(const HeldButtons::Events& events) {
    for (const HeldButtons::Event& e : events) {
        if (connectionState_ != kConnected) return;
        SendButton(e.button, e.released);
    }
}

void CPanelcastDlg::SendButton(int32_t button, bool released) {
    int32_t result = VT5cmd_ButtonEvent(&api_, button, released);
    if (result == VT5_OK || result == VT5_E_MODE_CHANGED) return;
    if (ReportSystemChange(result)) return;
    ErrorBox(kButtonFailed, result, QMessageBox::NoIcon);
}

void CPanelcastDlg::editOptions() {
    EditOptions(options_, this);
}

void CPanelcastDlg::turnOn() {
    const bool boot = bootMode_->isChecked();
    const int pulse = boot ? kBootPulseMs : kEscPulseMs;
    const VT5ConnectionTarget target = TargetFromOptions(options_);
    int32_t result = VT5_OK;
    {
        BusyCursor busy;
        result = VT5_ESC_control(&api_, pulse, target.Host(), target.port);
        if (result == VT5_OK) {
            bootMode_->setChecked(false);
            platform::sleepMs(boot ? kWaitAfterBootMs : kWaitAfterEscMs);
        }
    }
    if (result != VT5_OK) {
        app_.prompter.message(
            this, kCaptionError,
            common::Printf(kConnectFailedFormat, kTurnOnFailed, VT5_GetErrorText(result)),
            QMessageBox::Critical);
        return;
    }
    Connect();
}

void CPanelcastDlg::showDeviceInfo() {
    if (connectionState_ != kConnected) return;
    VT5DeviceInfo info{};
    int32_t result = VT5cmd_GetDeviceInfo(&api_, &info);
    if (result != VT5_OK) {
        app_.prompter.message(this, kCaptionError,
                              common::Printf(kDeviceInfoFailedFormat, VT5_GetErrorText(result)),
                              QMessageBox::Critical);
        return;
    }
    std::string text = common::Printf("FTDI info:\n  Serial: %s\n\n", info.serial);
    text += common::Printf("Veltra-5 info:\n  Mode: %s\n", info.bootFlag ? "BOOT" : "Firmware");
    text += common::Printf("  Protocol ver.: 0x%04x / 0x%04x\n", info.protocolVersion,
                           info.secondProtocolWord);
    text += common::Printf("  Unique ID: '%16s'\n", info.uniqueId);
    text += common::Printf("  Chip ID: %x-%08x\n", info.chipId[1], info.chipId[0]);
    app_.prompter.message(this, kCaptionDeviceInfo, text, QMessageBox::Information);
}

void CPanelcastDlg::screenshot() {
    if (!displayValid_) return;
    platform::clipboard::Clipboard& clipboard = platform::clipboard::current();
    if (!clipboard.open()) {
        app_.prompter.message(this, kCaptionError, kClipboardOpenFailed, QMessageBox::Critical);
        return;
    }
    if (!clipboard.empty()) {
        clipboard.close();
        app_.prompter.message(this, kCaptionError, kClipboardEmptyFailed, QMessageBox::Critical);
        return;
    }
    // The display as drawn, without the button lights; pixels outside the panel are black.
    const CBitmapRect& canvas = panel_->Canvas();
    std::vector<uint32_t> pixels(VT5_DISPLAY_PIXELS, 0);
    for (int y = 0; y < VT5_DISPLAY_HEIGHT; ++y) {
        const uint32_t* row = canvas.Row(position_.top + y);
        if (!row) continue;
        for (int x = 0; x < VT5_DISPLAY_WIDTH; ++x) {
            int cx = position_.left + x;
            if (cx < canvas.Width())
                pixels[static_cast<size_t>(y) * VT5_DISPLAY_WIDTH + x] = row[cx];
        }
    }
    const int error = clipboard.setBitmap({VT5_DISPLAY_WIDTH, VT5_DISPLAY_HEIGHT, pixels.data()});
    clipboard.close();
    if (error != 0)
        app_.prompter.message(this, kCaptionError, common::Printf(kClipboardSetFailedFormat, error),
                              QMessageBox::Critical);
}

void CPanelcastDlg::applyFrameRate() {
    std::optional<int> rate = ParseFrameRate(ApiText(frameRateEdit_->text()));
    if (!rate) {
        app_.prompter.message(this, kCaptionError, kFpsInvalid, QMessageBox::Warning);
        return;
    }
    if (*rate == kMaxFrameRate) frameRateEdit_->setText(QString::number(kMaxFrameRate));
    frameRate_ = *rate;
    if (connectionState_ == kConnected) timer_.start(TimerPeriod(frameRate_));
}
