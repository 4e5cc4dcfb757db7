// The SD card browser's side of the transfers: starting a download or an upload, following
// the worker on timer 888 and reporting how the transfer ended.

#include <sys/stat.h>

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "common/text_printf.h"
#include "gantrix/app/card_browser/fsys_dlg.h"
#include "gantrix/app/card_browser/fsys_texts.h"
#include "gantrix/app/card_browser/transfer_worker.h"
#include "gantrix/app/gantrix_app.h"
#include "gantrix/app/gantrix_texts.h"
#include "gantrix/report/folder_path.h"
#include "vt5api/ui/prompter.h"
#include "vt5api/ui/ui_text.h"

namespace {

// Selections above this ask first: they may take over a minute.
constexpr uint64_t kLongTransferBytes = 12000000;
constexpr uint64_t kMiB = 1048576;
constexpr uint64_t kLargestUploadFile = uint64_t(1) << 32;  // a FAT file stays below 4 GiB
constexpr uint64_t kLargestUpload = uint64_t(1) << 31;

std::string SystemErrorText(int error) {
    const char* text = std::strerror(error);
    if (text == nullptr || *text == '\0') return kSystemErrorUnknown;
    return common::Printf(kSystemError, unsigned(error), text);
}

}  // namespace

void CFSysDlg::downloadOrCancel() {
    if (download_->text().startsWith(QLatin1String("Can"))) {
        transfer_.cancelRequest = true;
        return;
    }
    if (!connected_) return;
    transfer_.downloadList.clear();
    const std::vector<QTreeWidgetItem*> rows = selectedRows();
    for (QTreeWidgetItem* row : rows) {
        const int index = row->data(0, Qt::UserRole).toInt();
        if (index < 0 || size_t(index) >= entries_.size()) continue;
        const CardEntry& entry = entries_[size_t(index)];
        if (entry.longName == "." || entry.longName == ".." || !entry.IsDownloadable()) continue;
        transfer_.downloadList.push_back(index);
    }
    if (transfer_.downloadList.empty()) {
        app_.prompter.message(this, kCaptionNotification, kSelectFirst, QMessageBox::Information);
        return;
    }
    transfer_.selectionSize = 0;
    for (int index : transfer_.downloadList)
        transfer_.selectionSize += uint64_t(std::max(entries_[size_t(index)].size, 0));
    if (transfer_.selectionSize > kLongTransferBytes &&
        app_.prompter.message(this, kCaptionWarning, kDownloadTakesLong, QMessageBox::Question,
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    startTransfer(kTransferDownload);
}

void CFSysDlg::uploadFiles(const QStringList& paths) {
    if (!connected_ || transferRunning()) return;
    if (selectUploads(paths)) startTransfer(kTransferUpload);
}

bool CFSysDlg::selectUploads(const QStringList& paths) {
    transfer_.selectionSize = 0;
    transfer_.uploadList.clear();
    for (const QString& dropped : paths) {
        const std::string path = ApiText(dropped);
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) {
            app_.prompter.message(this, kCaptionError,
                                  common::Printf(kCantReadAttributes, path.c_str()),
                                  QMessageBox::Critical);
            return false;
        }
        const uint64_t size = uint64_t(info.st_size);
        if (size >= kLargestUploadFile) {
            app_.prompter.message(this, kCaptionNotification,
                                  common::Printf(kFileTooLarge, int(size / kMiB), path.c_str()),
                                  QMessageBox::Warning);
            continue;
        }
        transfer_.selectionSize += size;
        if (transfer_.selectionSize >= kLargestUpload) {
            app_.prompter.message(
                this, kCaptionNotification,
                common::Printf(kTotalTooLarge, int(transfer_.selectionSize / kMiB)),
                QMessageBox::Warning);
            return false;
        }
        transfer_.uploadList.push_back(path);
    }
    return transfer_.selectionSize <= kLongTransferBytes ||
           app_.prompter.message(this, kCaptionWarning, kUploadTakesLong, QMessageBox::Question,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void CFSysDlg::startTransfer(int mode) {
    transfer_.Start(mode);
    status_->clear();
    TransferJob job;
    job.api = &app_.toolApi;
    if (mode == kTransferDownload) {
        for (int index : transfer_.downloadList)
            job.files.push_back(entries_[size_t(index)]);
        job.myFolder = myFolder();
        job.uniqueId = deviceInfo_.uniqueId;
        job.folderPrefix = folderPrefix_;
        downloadFolder_ = DownloadFolder(job.myFolder, job.uniqueId, job.folderPrefix);
    }
    int error = 0;
    if (!worker_->Start(std::move(job), error)) {
        transfer_.transferMode = kTransferIdle;
        app_.prompter.message(this, kCaptionError, SystemErrorText(error), QMessageBox::Critical);
        return;
    }
    transferActive_ = true;
    progress_->setRange(0, kProgressSteps);
    progress_->setValue(0);
    transferTimer_.start();
    closable_ = false;
    download_->setText(UiText(mode == kTransferDownload ? kButtonCancel : kButtonCancelUpload));
    disableControlGroup();
    update();
}

void CFSysDlg::disableControlGroup() {
    savedEnabled_.clear();
    for (QWidget* control : controlGroup_) {
        savedEnabled_.push_back(control->isEnabled());
        control->setEnabled(false);
        control->repaint();
    }
}

void CFSysDlg::restoreControlGroup() {
    for (size_t i = 0; i < controlGroup_.size() && i < savedEnabled_.size(); ++i)
        controlGroup_[i]->setEnabled(savedEnabled_[i]);
}

void CFSysDlg::tick() {
    if (!transferActive_) return;
    const int mode = transfer_.transferMode;
    if (mode == kTransferIdle) {
        finishTransfer();
        return;
    }
    progress_->setValue(transfer_.progress);
    const size_t files =
        mode == kTransferUpload ? transfer_.uploadList.size() : transfer_.downloadList.size();
    const std::string amount =
        common::Printf(kProgressKbFormat, int(transfer_.transferredBytes / 1024));
    status_->setText(UiText(
        common::Printf(kProgressFormat, transfer_.fileCounter.load(), int(files), amount.c_str())));
}

void CFSysDlg::finishTransfer() {
    transferTimer_.stop();
    transferActive_ = false;
    closable_ = true;
    download_->setText(UiText(kButtonDownload));
    restoreControlGroup();
    update();
    const int32_t exitCode = worker_->Join();
    const bool upload = transfer_.lastTransferMode == kTransferUpload;
    const int windowsError = transfer_.windowsError;
    const int fsStatus = transfer_.fileSystemStatus;

    if (windowsError == kErrorCancelled) {
        status_->setText(UiText(upload ? kUploadCanceled : kDownloadCanceled));
        if (!upload) showWhereDownloadsWent(false);
        return;
    }
    progress_->setValue(0);
    if (windowsError != 0) {
        status_->setText(UiText(common::Printf(kSystemErrorStatus, windowsError)));
    } else if (exitCode != VT5_OK && exitCode != VT5_E_FS_REFUSED) {
        status_->setText(UiText(common::Printf(kApiErrorStatus, exitCode)));
        reportApiError(kTransferApiError, exitCode);
        end(kDeviceFailed);
    } else if (fsStatus != 0) {
        status_->setText(UiText(common::Printf(kFsErrorStatus, fsStatus)));
        // The card may have changed under the transfer, or be gone: show what it holds now.
        refresh();
    } else if (exitCode != VT5_OK) {
        // Refused without a file system status: the HC did not take the command at all.
        status_->setText(UiText(common::Printf(kApiErrorStatus, exitCode)));
    } else {
        status_->setText(UiText(kDone));
        cardList_->clearSelection();
        if (upload) {
            refresh();
        } else if (processAfterDownload_->isChecked()) {
            processLogFiles(transfer_.transferredList);
            buildProcessedTree();
            showWhereDownloadsWent(true);
            return;
        }
    }
    if (!upload) showWhereDownloadsWent(false);
}

void CFSysDlg::showWhereDownloadsWent(bool processed) {
    const std::vector<std::string>& files = transfer_.transferredList;
    const bool any = std::any_of(files.begin(), files.end(), [](const std::string& file) {
        std::error_code error;
        return std::filesystem::exists(file, error);
    });
    if (!any) return;
    if (processed)
        showSavedTo(kDownloadedWithReports, report::AnchorFolder(files.front()));
    else
        showSavedTo(kDownloadedTo, downloadFolder_);
}
