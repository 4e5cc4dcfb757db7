#pragma once

// Panelcast's main dialog: connects to the HC, mirrors its display and button lights in the
// panel at the chosen frame rate, turns keys into button presses, switches the HC on, shows
// its identity and copies the display to the clipboard.

#include <QDialog>
#include <QTimer>
#include <vector>

#include "panelcast/held_buttons.h"
#include "panelcast/panel_drawing.h"
#include "panelcast/rate_meter.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/options/connection_options.h"

class CPanelcastApp;
class CPanelView;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Object names: buttonConnect, buttonOptions, buttonTurnOn, checkBootMode, buttonDeviceInfo,
// panelDisplay, buttonScreenshot, labelScreenshotNote, editFrameRate, buttonApply,
// buttonDefault (hidden), labelFrameRate (the frame rate achieved).
class CPanelcastDlg : public QDialog {
    Q_OBJECT

public:
    explicit CPanelcastDlg(CPanelcastApp& app, QWidget* parent = nullptr);
    // Closes the API context.
    ~CPanelcastDlg() override;

    static constexpr int kDisconnected = 0;
    static constexpr int kConnected = 1;

    int ConnectionState() const { return connectionState_; }
    int FrameRate() const { return frameRate_; }
    bool TimerRunning() const { return timer_.isActive(); }
    int TimerPeriodMs() const { return timer_.interval(); }
    DisplayPosition Position() const { return position_; }
    bool DisplayValid() const { return displayValid_; }
    bool FreshStartPending() const { return freshStartPending_; }
    // Frames drawn in the last second.
    double AchievedFrameRate();
    CPanelView& Panel() { return *panel_; }
    // Bit b set: button b is held down from the keyboard or with the mouse.
    unsigned PressedButtons() const;
    // A key's release waits to be sure that no auto-repeat press follows it.
    bool KeyReleasePending() const { return keys_.ReleasePending(); }
    CVT5Api& Api() { return api_; }
    VT5ConnectionOptions& Options() { return options_; }

public slots:
    // Button 1103: Connect or Disconnect.
    void connectOrDisconnect();
    void editOptions();
    void turnOn();
    void showDeviceInfo();
    void screenshot();
    void applyFrameRate();
    // Timer 1001: one display read and its drawing.
    void updateDisplay();

signals:
    // A display image was drawn into the panel.
    void frameDrawn();

protected:
    // Keys of the HC's buttons while connected, before any control sees them.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A window that loses the keyboard gets no key releases: held buttons are let go.
    void changeEvent(QEvent* event) override;

private slots:
    // The drawn buttons under the mouse: pressed, repeated while held, released.
    void panelPressed(QPoint at);
    void panelReleased();
    void repeatMouseButton();
    // A key's release that no auto-repeat press followed.
    void settleKeys();

private:
    void buildControls();
    void SetConnectionState(int state);
    void Connect();
    void Disconnect();
    // State 0, then "action:\n\nerror text" titled "ERROR".
    void ErrorBox(const char* action, int32_t code, int icon);
    // 13 and 14: state 0 and the notification; true when the code was one of them.
    bool ReportSystemChange(int32_t code);
    void SendButton(int32_t button, bool released);
    void SendButtons(const HeldButtons::Events& events);
    // Every held button released (keys and mouse), as far as the HC still listens.
    void ReleaseHeldButtons();
    // The button lights drawn again, with the buttons held shown pressed.
    void RedrawButtons();
    void ShowAchievedRate();

    CPanelcastApp& app_;
    CVT5Api api_;
    VT5ConnectionOptions options_;
    int frameRate_ = 20;
    DisplayPosition position_;
    bool displayValid_ = false;
    int connectionState_ = kDisconnected;
    bool freshStartPending_ = false;
    ButtonImages buttonImages_{};
    std::vector<uint16_t> frame_;
    VT5ButtonLights lights_{};
    QTimer timer_;
    HeldButtons keys_;
    QTimer keyRelease_;
    int mouseButton_ = -1;  // the drawn button held with the mouse
    QTimer mouseRepeat_;
    RateMeter rate_;

    QPushButton* connect_ = nullptr;
    QPushButton* options_button_ = nullptr;
    QPushButton* turnOn_ = nullptr;
    QCheckBox* bootMode_ = nullptr;
    QPushButton* deviceInfo_ = nullptr;
    CPanelView* panel_ = nullptr;
    QLineEdit* frameRateEdit_ = nullptr;
    QLabel* achieved_ = nullptr;
};
