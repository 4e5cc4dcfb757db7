#pragma once

// The SD card browser: its left half lists one folder of the HC's card (move through folders,
// delete, download, and upload files dropped on the window); its right half lists the
// reports made on this PC and processes local log files. Without a connection only the right
// half works.

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gantrix/app/card_browser/card_entry.h"
#include "gantrix/app/card_browser/desktop_open.h"
#include "gantrix/app/card_browser/processed_reports.h"
#include "gantrix/app/card_browser/transfer_state.h"
#include "gantrix/report/report_generator.h"
#include "vt5api/commands/identity.h"

class CGantrixApp;
class QCheckBox;
class QLineEdit;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TransferWorker;

// Object names: labelPath, listCard, buttonDownload, progressTransfer, labelStatus,
// labelSavedTo, editSavedTo, buttonOpenFolder, checkProcessAfterDownload, checkGuidedExposures,
// buttonProcessLocal, labelUid, comboUid, listProcessed.
class CFSysDlg : public QDialog {
    Q_OBJECT

public:
    // How the dialog ended besides the user closing it.
    static constexpr int kCardFailed = 1;
    static constexpr int kDeviceFailed = 2;

    explicit CFSysDlg(CGantrixApp& app, QWidget* parent = nullptr);
    ~CFSysDlg() override;

    // The start of the dialog; false when it ended there (its result says how).
    bool start();
    // start(), then the dialog modally; its result.
    int run();

    // Opens report pages in the web browser and folders in the file manager; tests replace it.
    void setOpener(DesktopOpener opener) { open_ = std::move(opener); }

    bool closable() const { return closable_; }
    // From the start of a transfer until the dialog has finished it on timer 888; the worker
    // may have ended well before, and nothing may start another transfer meanwhile.
    bool transferRunning() const { return transferActive_; }
    // Whether the worker thread still works (it clears the shared mode as its last act).
    bool workerRunning() const { return transfer_.transferMode != kTransferIdle; }
    const std::string& folderPrefix() const { return folderPrefix_; }
    const std::vector<CardEntry>& entries() const { return entries_; }

    // Lists the current card folder and selects the row of `select` (the first row when there
    // is none). Does nothing without a connection or while a transfer runs.
    void refresh(const std::string& select = {});

public slots:
    // The folder of a row (double-click, or Enter on the first selected row).
    void openRow(QTreeWidgetItem* row);
    void openFirstSelectedRow();
    // Delete: the selected plain files, after a question.
    void deleteSelected();
    // "Download files", or cancels the transfer that runs.
    void downloadOrCancel();
    // Files dropped on the window: uploads them into the card folder shown.
    void uploadFiles(const QStringList& paths);
    // Timer 888: the progress of a transfer, and its end.
    void tick();
    void chooseAndProcess();
    void showUidReports(int index);
    void openReport(QTreeWidgetItem* row);
    // "Open folder": the folder the downloads went to (or go to).
    void openSavedFolder();
    // Closes only while no transfer runs.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildControls();
    void end(int result);
    void reportApiError(const char* step, int32_t code);
    // The path label, and its text as the card gave it.
    void showPath(const std::string& text);
    QTreeWidgetItem* addRow(int index);
    void selectRow(QTreeWidgetItem* row);
    std::vector<QTreeWidgetItem*> selectedRows() const;
    void buildProcessedTree();
    void processLogFiles(const std::vector<std::string>& logFiles);
    // The declination typed in the processing options, none when the field is empty; false
    // when the text is no declination.
    bool declination(std::optional<double>& value) const;
    std::string myFolder() const;
    // The saved-to line: where downloads go, or where the last one went.
    void showSavedTo(const char* label, const std::string& folder);
    // Opens path with the desktop's program; a failure shows failedFormat with the path.
    void openPath(const QString& path, const char* failedFormat);

    // Transfers (fsys_transfer.cpp).
    void startTransfer(int mode);
    void disableControlGroup();
    void restoreControlGroup();
    void finishTransfer();
    bool selectUploads(const QStringList& paths);
    // After a download that left files: where they (and their reports) went.
    void showWhereDownloadsWent(bool processed);

    CGantrixApp& app_;
    bool connected_;
    bool closable_ = false;
    bool ended_ = false;
    std::vector<CardEntry> entries_;
    std::string folderPrefix_;
    std::string pathShown_;
    VT5DeviceInfo deviceInfo_{};
    std::vector<UidFolder> processed_;
    report::ReportGenerator generator_;
    DesktopOpener open_;

    TransferState transfer_;
    bool transferActive_ = false;
    std::string downloadFolder_;  // where the running or last download writes
    std::unique_ptr<TransferWorker> worker_;
    QTimer transferTimer_;
    std::vector<QWidget*> controlGroup_;
    std::vector<bool> savedEnabled_;

    QLabel* path_ = nullptr;
    QTreeWidget* cardList_ = nullptr;
    QPushButton* download_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* savedToLabel_ = nullptr;
    QLineEdit* savedTo_ = nullptr;
    QCheckBox* processAfterDownload_ = nullptr;
    QCheckBox* guidedExposures_ = nullptr;
    QLineEdit* declination_ = nullptr;  // of the guided field, for the polar alignment
    QPushButton* processLocal_ = nullptr;
    QComboBox* uids_ = nullptr;
    QTreeWidget* processedList_ = nullptr;
};
