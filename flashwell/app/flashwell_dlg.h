#pragma once

// Flashwell's main dialog: the firmware file and its contents, which parts to update, the
// update with its log and status line, and the device information.

#include <QDialog>
#include <functional>
#include <string>

#include "flashwell/firmware/firmware_file.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/options/connection_options.h"

class Prompter;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// Object names (the original control ids): buttonOptions (1024), labelOptions, buttonDevInfo
// (1005), labelFile, editFile (1000), buttonBrowse (1001), editLog (1007), labelParts,
// checkHc (1008), checkCamera (1009), buttonUpdate (1002), labelStatus (1006), and
// progressUpload, which shows an image on its way.
class CFlashwellDlg : public QDialog {
    Q_OBJECT

public:
    explicit CFlashwellDlg(Prompter& prompter, QWidget* parent = nullptr);
    ~CFlashwellDlg() override;

    // Shows the device information text; CDevinfoDlg, modally, unless replaced (tests).
    using InfoWindow = std::function<void(const std::string& text, QWidget* parent)>;
    void setDeviceInfoWindow(InfoWindow window) { infoWindow_ = std::move(window); }

    const LoadedFirmware& firmware() const { return firmware_; }
    VT5ConnectionOptions& options() { return options_; }

public slots:
    // Button "...": the open-file dialog, then loadFirmware.
    void chooseFirmware();
    // Loads a firmware file into the two slots and shows its contents in the log.
    void loadFirmware(const QString& path);
    void updateFirmware();
    void readDeviceInfo();
    void editConnectionOptions();

private:
    class View;
    void buildControls();
    void setBusy(bool busy);

    Prompter& prompter_;
    VT5ConnectionOptions options_;
    LoadedFirmware firmware_;
    CVT5Api api_;
    InfoWindow infoWindow_;

    QLineEdit* file_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    QCheckBox* hc_ = nullptr;
    QCheckBox* camera_ = nullptr;
    QPushButton* update_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
};
