#include "flashwell/app/flashwell_dlg.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/text_printf.h"
#include "flashwell/app/devinfo_dlg.h"
#include "flashwell/app/flashwell_icon.h"
#include "flashwell/procedure/device_info.h"
#include "flashwell/procedure/flashwell_texts.h"
#include "flashwell/procedure/procedure_view.h"
#include "flashwell/procedure/update_procedure.h"
#include "vt5api/options/connection_target.h"
#include "vt5api/ui/busy_cursor.h"
#include "vt5api/ui/edit_options.h"
#include "vt5api/ui/prompter.h"
#include "vt5api/ui/ui_text.h"

// The procedures' view on this dialog. The procedures run on the dialog's thread, so every
// change is painted at once: the user sees each step as it happens.
class CFlashwellDlg::View final : public ProcedureView {
public:
    explicit View(CFlashwellDlg& dialog) : d_(dialog) {}

    void ClearLog() override {
        d_.log_->clear();
        d_.log_->repaint();
    }
    void Log(const std::string& text) override {
        // Always at the end, wherever the user clicked into the log.
        d_.log_->moveCursor(QTextCursor::End);
        d_.log_->insertPlainText(UiText(text));
        d_.log_->moveCursor(QTextCursor::End);
        d_.log_->ensureCursorVisible();
        d_.log_->repaint();
    }
    void SetStatus(const std::string& text) override {
        d_.status_->setText(UiText(text));
        d_.status_->repaint();
    }
    void ShowError(const std::string& caption, const std::string& text) override {
        d_.prompter_.message(&d_, caption.c_str(), text, QMessageBox::Critical);
    }
    bool AskYesNo(const std::string& caption, const std::string& text) override {
        return d_.prompter_.message(&d_, caption.c_str(), text, QMessageBox::Warning,
                                    QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    }
    void ShowDeviceInfo(const std::string& text) override {
        if (d_.infoWindow_) d_.infoWindow_(text, &d_);
    }
    void SetBusy(bool busy) override { d_.setBusy(busy); }
    void UploadProgress(const std::string& part, int64_t sent, int64_t total) override {
        QProgressBar* bar = d_.progress_;
        bar->setRange(0, 1000);
        bar->setValue(total > 0 ? static_cast<int>(sent * 1000 / total) : 0);
        bar->setFormat(UiText(part) + QStringLiteral(" %p%"));
        bar->setTextVisible(true);
        bar->repaint();
    }

private:
    CFlashwellDlg& d_;
};

CFlashwellDlg::CFlashwellDlg(Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
    setWindowIcon(FlashwellIcon());
    setWindowTitle(UiText(kFlashwellCaption));
    options_.programKey = VT5_KEY_UPDATER;
    LoadOptions(options_);
    infoWindow_ = [](const std::string& text, QWidget* owner) {
        CDevinfoDlg window(text, owner);
        window.exec();
    };
    buildControls();
}

CFlashwellDlg::~CFlashwellDlg() {
    VT5_Close(&api_);
}

void CFlashwellDlg::buildControls() {
    auto* options = new QPushButton(tr("Connection options"));
    options->setObjectName(QStringLiteral("buttonOptions"));
    auto* optionsText =
        new QLabel(tr("You can specify here how or to which specific device to connect to."));
    optionsText->setObjectName(QStringLiteral("labelOptions"));
    optionsText->setWordWrap(true);
    auto* devInfo = new QPushButton(tr("Read device info"));
    devInfo->setObjectName(QStringLiteral("buttonDevInfo"));

    auto* fileLabel = new QLabel(tr("Firmware file:"));
    fileLabel->setObjectName(QStringLiteral("labelFile"));
    file_ = new QLineEdit;
    file_->setObjectName(QStringLiteral("editFile"));
    file_->setToolTip(tr("Choose a file with \"...\", or type its path and press Enter"));
    fileLabel->setBuddy(file_);
    browse_ = new QPushButton(tr("..."));
    browse_->setObjectName(QStringLiteral("buttonBrowse"));
    browse_->setFixedWidth(36);
    browse_->setAutoDefault(false);

    log_ = new QPlainTextEdit;
    log_->setObjectName(QStringLiteral("editLog"));
    log_->setReadOnly(true);
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    log_->setMinimumSize(420, 220);

    auto* parts = new QLabel(tr("Which parts to update:"));
    parts->setObjectName(QStringLiteral("labelParts"));
    hc_ = new QCheckBox(tr("HandController"));
    hc_->setObjectName(QStringLiteral("checkHc"));
    hc_->setChecked(true);
    camera_ = new QCheckBox(tr("Camera"));
    camera_->setObjectName(QStringLiteral("checkCamera"));
    camera_->setChecked(true);
    update_ = new QPushButton(tr("Update firmware(s)"));
    update_->setObjectName(QStringLiteral("buttonUpdate"));
    update_->setMinimumHeight(40);

    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("labelStatus"));
    status_->setAlignment(Qt::AlignCenter);
    status_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    status_->setMinimumHeight(status_->fontMetrics().height() + 8);
    progress_ = new QProgressBar;
    progress_->setObjectName(QStringLiteral("progressUpload"));
    progress_->setRange(0, 1000);
    progress_->setValue(0);
    progress_->setTextVisible(false);

    auto* side = new QVBoxLayout;
    side->addWidget(parts);
    side->addWidget(hc_);
    side->addWidget(camera_);
    side->addStretch(1);
    side->addWidget(update_);

    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    grid->addWidget(options, 0, 0);
    grid->addWidget(optionsText, 0, 1, 1, 2);
    grid->addWidget(devInfo, 0, 3);
    grid->addWidget(fileLabel, 1, 0);
    grid->addWidget(file_, 1, 1, 1, 2);
    grid->addWidget(browse_, 1, 3, Qt::AlignLeft);
    grid->addWidget(log_, 2, 0, 1, 3);
    grid->addLayout(side, 2, 3);
    grid->addWidget(progress_, 3, 0, 1, 4);
    grid->addWidget(status_, 4, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);

    connect(options, &QPushButton::clicked, this, &CFlashwellDlg::editConnectionOptions);
    connect(devInfo, &QPushButton::clicked, this, &CFlashwellDlg::readDeviceInfo);
    connect(browse_, &QPushButton::clicked, this, &CFlashwellDlg::chooseFirmware);
    connect(file_, &QLineEdit::returnPressed, this,
            [this] { loadFirmware(file_->text().trimmed()); });
    connect(update_, &QPushButton::clicked, this, &CFlashwellDlg::updateFirmware);
    // Enter in the path loads the file; it must not also press a button.
    for (QPushButton* button : {options, devInfo, update_})
        button->setAutoDefault(false);
}

void CFlashwellDlg::setBusy(bool busy) {
    file_->setEnabled(!busy);
    browse_->setEnabled(!busy);
    update_->setEnabled(!busy);
    if (!busy) {
        progress_->setValue(0);
        progress_->setTextVisible(false);
    }
    repaint();
}

void CFlashwellDlg::chooseFirmware() {
    const QString current = file_->text().trimmed();
    const QString start = current.isEmpty() ? QString() : QFileInfo(current).absolutePath();
    const QString path = prompter_.pickOpenFile(this, tr("Open"), start,
                                                UiText(kFirmwareFilter) + QStringLiteral(";;*"));
    if (path.isEmpty()) return;
    loadFirmware(path);
}

void CFlashwellDlg::loadFirmware(const QString& path) {
    file_->setText(QDir::toNativeSeparators(path));
    View view(*this);
    const int result = LoadFirmwareFile(ApiText(path), firmware_);
    if (result == kFirmwareLoaded) {
        view.ClearLog();
        view.Log(ContentSummary(firmware_));
        return;
    }
    // Nothing of a damaged file goes into the device, not even the images read before the
    // damage; nor does the log keep the summary of the file before it, or the status line the
    // outcome of its update, now that that file is no longer loaded.
    firmware_.Clear();
    view.ClearLog();
    view.SetStatus({});
    view.Log(kLoadFailedLog);
    view.ShowError(kCaptionLoadFailed, common::Printf(kLoadFailedFormat, FirmwareLoadText(result)));
}

void CFlashwellDlg::updateFirmware() {
    View view(*this);
    UpdateChoice choice{hc_->isChecked(), camera_->isChecked()};
    RunUpdate(api_, TargetFromOptions(options_), firmware_, choice, view);
}

void CFlashwellDlg::readDeviceInfo() {
    View view(*this);
    DeviceInfoFacts facts;
    int32_t result = VT5_OK;
    const VT5ConnectionTarget target = TargetFromOptions(options_);
    {
        BusyCursor busy;
        result = ReadDeviceInfo(api_, target, facts);
    }
    if (result != VT5_OK)
        ShowDeviceInfoError(view, target, result);
    else
        view.ShowDeviceInfo(DeviceInfoText(facts));
}

void CFlashwellDlg::editConnectionOptions() {
    EditOptions(options_, this);
}
