#include "gantrix/app/card_browser/fsys_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>

#include "common/text_printf.h"
#include "gantrix/app/card_browser/fsys_texts.h"
#include "gantrix/app/card_browser/grid_delegate.h"
#include "gantrix/app/card_browser/steady_button.h"
#include "gantrix/app/card_browser/transfer_worker.h"
#include "gantrix/app/gantrix_app.h"
#include "gantrix/app/gantrix_texts.h"
#include "gantrix/app/my_folder.h"
#include "gantrix/report/night/night_reports.h"
#include "vt5api/commands/file_system.h"
#include "vt5api/ui/busy_cursor.h"
#include "vt5api/ui/prompter.h"
#include "vt5api/ui/ui_text.h"

namespace {

constexpr int32_t kPathBufferSize = 1024;
constexpr int kNameWidth = 200;
constexpr int kSizeWidth = 80;
constexpr int kDateWidth = 150;
constexpr int kProcessedWidth = 330;

// A row of the card list; its data is the index of its entry in the entry table, and the
// rows keep the order of RowBefore over their entries.
class CardRow : public QTreeWidgetItem {
public:
    CardRow(const std::vector<CardEntry>& entries, int index) : entries_(entries), index_(index) {
        setData(0, Qt::UserRole, index);
    }
    bool operator<(const QTreeWidgetItem& other) const override {
        const auto* row = dynamic_cast<const CardRow*>(&other);
        if (row == nullptr) return QTreeWidgetItem::operator<(other);
        return RowBefore(entries_[size_t(index_)], entries_[size_t(row->index_)]);
    }

private:
    const std::vector<CardEntry>& entries_;
    int index_;
};

int RowIndex(const QTreeWidgetItem* row) {
    return row->data(0, Qt::UserRole).toInt();
}

QTreeWidget* ReportList(const char* objectName) {
    auto* list = new QTreeWidget;
    list->setObjectName(QLatin1String(objectName));
    list->setRootIsDecorated(false);
    list->setAllColumnsShowFocus(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setItemDelegate(new GridDelegate(list));
    list->setUniformRowHeights(true);
    return list;
}

}  // namespace

CFSysDlg::CFSysDlg(CGantrixApp& app, QWidget* parent)
    : QDialog(parent),
      app_(app),
      connected_(!app.noConnection),
      generator_(report::LoadReportResources()),
      open_(OpenWithDesktop),
      worker_(std::make_unique<TransferWorker>(transfer_)) {
    setWindowTitle(UiText(kFsysCaption));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    buildControls();
}

CFSysDlg::~CFSysDlg() = default;

void CFSysDlg::buildControls() {
    path_ = new QLabel(UiText(kPathNoFileSystem));
    path_->setObjectName(QStringLiteral("labelPath"));
    path_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    path_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    cardList_ = ReportList("listCard");
    cardList_->setHeaderLabels({tr("Name"), tr("Size"), tr("date & time (UTC)")});
    cardList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    cardList_->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    cardList_->header()->setSectionsClickable(false);
    cardList_->header()->resizeSection(0, kNameWidth);
    cardList_->header()->resizeSection(1, kSizeWidth);
    cardList_->header()->setStretchLastSection(true);
    cardList_->setMinimumWidth(kNameWidth + kSizeWidth + kDateWidth);
    cardList_->installEventFilter(this);

    download_ = new SteadyButton(
        {UiText(kButtonDownload), UiText(kButtonCancel), UiText(kButtonCancelUpload)});
    download_->setObjectName(QStringLiteral("buttonDownload"));
    download_->setAutoDefault(false);
    progress_ = new QProgressBar;
    progress_->setObjectName(QStringLiteral("progressTransfer"));
    progress_->setRange(0, kProgressSteps);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("labelStatus"));
    status_->setAlignment(Qt::AlignCenter);
    savedToLabel_ = new QLabel(UiText(kDownloadsGoTo));
    savedToLabel_->setObjectName(QStringLiteral("labelSavedTo"));
    savedTo_ = new QLineEdit;
    savedTo_->setObjectName(QStringLiteral("editSavedTo"));
    savedTo_->setReadOnly(true);
    savedToLabel_->setBuddy(savedTo_);
    auto* openFolder = new QPushButton(UiText(kButtonOpenFolder));
    openFolder->setObjectName(QStringLiteral("buttonOpenFolder"));
    openFolder->setAutoDefault(false);
    processAfterDownload_ = new QCheckBox(tr("Process Log files after downloading"));
    processAfterDownload_->setObjectName(QStringLiteral("checkProcessAfterDownload"));

    guidedExposures_ = new QCheckBox(tr("data of guided exposures"));
    guidedExposures_->setObjectName(QStringLiteral("checkGuidedExposures"));
    guidedExposures_->setEnabled(false);
    declination_ = new QLineEdit;
    declination_->setObjectName(QStringLiteral("editDeclination"));
    declination_->setPlaceholderText(tr("unknown"));
    declination_->setToolTip(
        tr("Declination of the guided field, -89 to 89 degrees: the night "
           "summary's polar alignment error is estimated for it"));
    auto* optionsLayout = new QVBoxLayout;
    optionsLayout->addWidget(guidedExposures_);
    auto* declinationRow = new QHBoxLayout;
    declinationRow->addWidget(new QLabel(tr("Declination (\u00b0):")));
    declinationRow->addWidget(declination_);
    optionsLayout->addLayout(declinationRow);
    auto* options = new QGroupBox(tr("Log file processing options"));
    options->setLayout(optionsLayout);
    processLocal_ = new QPushButton(tr("Choose and process local files"));
    processLocal_->setObjectName(QStringLiteral("buttonProcessLocal"));
    processLocal_->setAutoDefault(false);
    auto* uidLabel = new QLabel(tr("For Veltra-5 with UID:"));
    uidLabel->setObjectName(QStringLiteral("labelUid"));
    uids_ = new QComboBox;
    uids_->setObjectName(QStringLiteral("comboUid"));
    uids_->setMinimumContentsLength(16);
    uidLabel->setBuddy(uids_);
    processedList_ = ReportList("listProcessed");
    processedList_->setSelectionMode(QAbstractItemView::SingleSelection);
    processedList_->setHeaderLabels({tr("Log file title"), tr("Result type"), QString()});
    // Title and type share the width; the third column keeps the report's path, unseen.
    processedList_->header()->setStretchLastSection(false);
    processedList_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    processedList_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    processedList_->setColumnHidden(2, true);
    processedList_->setMinimumWidth(kProcessedWidth);
    auto* processed = new QGroupBox(tr("Processed local files' list"));
    (new QVBoxLayout(processed))->addWidget(processedList_);

    auto* transferRow = new QHBoxLayout;
    transferRow->addWidget(download_);
    transferRow->addWidget(progress_, 1);
    auto* card = new QVBoxLayout;
    card->addWidget(path_);
    card->addWidget(cardList_, 1);
    card->addLayout(transferRow);
    card->addWidget(status_);
    auto* savedToRow = new QHBoxLayout;
    savedToRow->addWidget(savedTo_, 1);
    savedToRow->addWidget(openFolder);
    card->addWidget(savedToLabel_);
    card->addLayout(savedToRow);
    card->addWidget(processAfterDownload_);

    auto* uidRow = new QHBoxLayout;
    uidRow->addWidget(uidLabel);
    uidRow->addWidget(uids_, 1);
    auto* local = new QVBoxLayout;
    local->addWidget(options);
    local->addWidget(processLocal_);
    local->addLayout(uidRow);
    local->addWidget(processed, 1);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(card, 3);
    layout->addSpacing(8);
    layout->addLayout(local, 2);
    resize(900, 520);

    controlGroup_ = {cardList_, processAfterDownload_, guidedExposures_, processLocal_,
                     uids_,     processedList_};

    connect(cardList_, &QTreeWidget::itemDoubleClicked, this, &CFSysDlg::openRow);
    connect(download_, &QPushButton::clicked, this, &CFSysDlg::downloadOrCancel);
    connect(openFolder, &QPushButton::clicked, this, &CFSysDlg::openSavedFolder);
    connect(processLocal_, &QPushButton::clicked, this, &CFSysDlg::chooseAndProcess);
    connect(uids_, &QComboBox::currentIndexChanged, this, &CFSysDlg::showUidReports);
    connect(processedList_, &QTreeWidget::itemDoubleClicked, this, &CFSysDlg::openReport);
    transferTimer_.setInterval(50);
    connect(&transferTimer_, &QTimer::timeout, this, &CFSysDlg::tick);
}

bool CFSysDlg::start() {
    refresh();
    if (ended_) return false;
    if (connected_ && VT5cmd_GetDeviceInfo(&app_.toolApi, &deviceInfo_) != VT5_OK) {
        end(kDeviceFailed);
        return false;
    }
    closable_ = true;
    guidedExposures_->setChecked(true);
    cardList_->setEnabled(connected_);
    if (!connected_) showPath(kPathNotAvailable);
    showSavedTo(kDownloadsGoTo, myFolder());
    buildProcessedTree();
    setAcceptDrops(connected_);
    return true;
}

int CFSysDlg::run() {
    if (!start()) return result();
    return exec();
}

void CFSysDlg::end(int result) {
    ended_ = true;
    done(result);
}

void CFSysDlg::reportApiError(const char* step, int32_t code) {
    app_.prompter.message(this, kCaptionApiError,
                          common::Printf(kFsApiErrorFormat, step, code, VT5_GetErrorText(code)),
                          QMessageBox::Critical);
}

void CFSysDlg::showPath(const std::string& text) {
    pathShown_ = text;
    path_->setText(UiText(text));
}

std::string CFSysDlg::myFolder() const {
    return MyFolderInUse(app_.settingsKey);
}

void CFSysDlg::showSavedTo(const char* label, const std::string& folder) {
    savedToLabel_->setText(UiText(label));
    savedTo_->setText(QDir::toNativeSeparators(QDir::cleanPath(UiText(folder))));
    savedTo_->setCursorPosition(0);
}

void CFSysDlg::openSavedFolder() {
    const QString folder = savedTo_->text();
    // The default My folder is made on its first use; a chosen one is left to the user.
    if (ApiText(folder) == DefaultMyFolder()) PreparedMyFolder(app_.settingsKey);
    openPath(folder, kCantOpenFolder);
}

void CFSysDlg::openPath(const QString& path, const char* failedFormat) {
    if (!open_) return;
    const std::string failed = common::Printf(failedFormat, ApiText(path).c_str());
    QPointer<CFSysDlg> self(this);
    open_(path, [self, failed](bool opened) {
        if (opened || self.isNull()) return;
        self->app_.prompter.message(self, kCaptionError, failed, QMessageBox::Warning);
    });
}

void CFSysDlg::refresh(const std::string& select) {
    if (!connected_ || transferRunning()) return;
    CVT5Api* api = &app_.toolApi;
    char path[kPathBufferSize] = {};
    int32_t status = 0;
    if (int32_t code = VT5cmd_FS_GetCurrentDir(api, path, sizeof path, &status); code != VT5_OK) {
        if (code == VT5_E_FS_REFUSED) {
            app_.prompter.message(this, kCaptionError, kFsNotAvailable, QMessageBox::Warning);
        } else {
            reportApiError(kCantAccessFs, code);
        }
        end(kCardFailed);
        return;
    }
    showPath(common::Printf(kPathReadingFormat, path));
    if (VT5cmd_FS_OpenDir(api, ".", nullptr) != VT5_OK) return;

    cardList_->clear();
    entries_.clear();
    cardList_->setUpdatesEnabled(false);
    const int32_t code = ReadListedEntries(api, [&](CardEntry entry) {
        entries_.push_back(std::move(entry));
        addRow(int(entries_.size() - 1));
    });
    cardList_->sortItems(0, Qt::AscendingOrder);
    if (code == VT5_OK) {
        QTreeWidgetItem* chosen = cardList_->topLevelItem(0);
        for (int i = 0; i < cardList_->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = cardList_->topLevelItem(i);
            if (entries_[size_t(RowIndex(row))].longName == select) {
                chosen = row;
                break;
            }
        }
        selectRow(chosen);
    }
    cardList_->setUpdatesEnabled(true);
    if (code != VT5_OK) return;
    showPath(path);
    const std::string current = path;
    folderPrefix_ = !current.empty() && current.back() == '/' ? std::string() : current;
}

QTreeWidgetItem* CFSysDlg::addRow(int index) {
    const CardEntry& entry = entries_[size_t(index)];
    auto* row = new CardRow(entries_, index);
    row->setText(0, UiText(RowText(entry)));
    row->setText(1, UiText(SizeText(entry)));
    row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    row->setText(2, UiText(DateTimeText(entry)));
    cardList_->addTopLevelItem(row);
    return row;
}

void CFSysDlg::selectRow(QTreeWidgetItem* row) {
    cardList_->clearSelection();
    if (row == nullptr) return;
    cardList_->setCurrentItem(row);
    row->setSelected(true);
    cardList_->scrollToItem(row);
}

std::vector<QTreeWidgetItem*> CFSysDlg::selectedRows() const {
    std::vector<QTreeWidgetItem*> rows;
    for (int i = 0; i < cardList_->topLevelItemCount(); ++i) {
        if (cardList_->topLevelItem(i)->isSelected()) rows.push_back(cardList_->topLevelItem(i));
    }
    return rows;
}

void CFSysDlg::openRow(QTreeWidgetItem* row) {
    if (!connected_ || transferRunning() || row == nullptr) return;
    const CardEntry& entry = entries_[size_t(RowIndex(row))];
    if (!entry.IsDirectory()) return;
    const std::string& name = entry.longName;
    if (int32_t code = VT5cmd_FS_ChangeDir(&app_.toolApi, name.c_str(), nullptr); code != VT5_OK) {
        reportApiError(kChangeDirFailed, code);
        end(kCardFailed);
        return;
    }
    if (name != "..") {
        refresh("..");
        return;
    }
    // Back up: select the folder just left, the last part of the path shown.
    const size_t slash = pathShown_.rfind('/');
    refresh(slash == std::string::npos ? std::string() : pathShown_.substr(slash + 1));
}

void CFSysDlg::openFirstSelectedRow() {
    const std::vector<QTreeWidgetItem*> rows = selectedRows();
    if (!rows.empty()) openRow(rows.front());
}

void CFSysDlg::deleteSelected() {
    if (!connected_ || transferRunning()) return;
    std::vector<std::string> names;
    for (QTreeWidgetItem* row : selectedRows()) {
        const CardEntry& entry = entries_[size_t(RowIndex(row))];
        if (entry.IsPlainFile()) names.push_back(entry.longName);
    }
    if (names.empty()) return;
    if (app_.prompter.message(this, kCaptionWarning,
                              common::Printf(kDeleteQuestion, int(names.size())),
                              QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    int deleted = 0;
    std::string failed;
    {
        BusyCursor busy;
        for (const std::string& name : names) {
            int32_t status = 0;
            if (VT5cmd_FS_Delete(&app_.toolApi, name.c_str(), &status) == VT5_OK) {
                ++deleted;
            } else {
                failed += name + "\r\n";
            }
        }
    }
    if (!failed.empty()) {
        app_.prompter.message(this, kCaptionError,
                              common::Printf(kDeleteFailed, deleted, failed.c_str()),
                              QMessageBox::Warning);
    }
    refresh();
}

void CFSysDlg::buildProcessedTree() {
    {
        const QSignalBlocker quiet(uids_);
        uids_->clear();
        processedList_->clear();
        processed_ = FindProcessedReports(myFolder());
        for (const UidFolder& folder : processed_)
            uids_->addItem(UiText(folder.uid));
    }
    if (uids_->count() > 0) {
        uids_->setCurrentIndex(0);
        showUidReports(0);
    }
}

void CFSysDlg::showUidReports(int index) {
    processedList_->clear();
    if (index < 0 || size_t(index) >= processed_.size()) return;
    const UidFolder& folder = processed_[size_t(index)];
    for (const ReportItem& item : folder.reports) {
        processedList_->addTopLevelItem(new QTreeWidgetItem(
            {UiText(item.title), UiText(item.type), QString::fromStdString(item.path)}));
    }
    processedList_->sortItems(0, Qt::AscendingOrder);
    if (!folder.nightsIndex.empty()) {
        processedList_->insertTopLevelItem(
            0, new QTreeWidgetItem({UiText(kNightsIndexTitle), UiText(kReportTypeNights),
                                    QString::fromStdString(folder.nightsIndex)}));
    }
}

void CFSysDlg::openReport(QTreeWidgetItem* row) {
    if (row != nullptr) openPath(row->text(2), kCantOpenReport);
}

void CFSysDlg::chooseAndProcess() {
    const QStringList chosen = app_.prompter.pickOpenFiles(
        this, tr("Veltra-5 log files"), UiText(PreparedMyFolder(app_.settingsKey)),
        UiText(kLogFileFilter));
    if (!chosen.isEmpty()) {
        std::vector<std::string> logFiles;
        for (const QString& path : chosen)
            logFiles.push_back(ApiText(path));
        processLogFiles(logFiles);
    }
    buildProcessedTree();
}

void CFSysDlg::processLogFiles(const std::vector<std::string>& logFiles) {
    report::night::NightOptions options;
    if (!declination(options.declinationDeg)) {
        app_.prompter.message(this, kCaptionError, kBadDeclination, QMessageBox::Warning);
        return;
    }
    std::string result;
    {
        BusyCursor busy;
        options.threads = generator_.Threads();
        report::night::NightReports nights(options);
        std::string summaryErrors;
        generator_.ProcessLogFiles(logFiles, result, [&](const report::FileOutcome& outcome) {
            const std::string error = nights.AfterFile(outcome, generator_.State());
            if (!error.empty()) summaryErrors += error + ": " + outcome.reportFolder + "\r\n";
        });
        for (const std::string& failure : nights.WriteIndexes())
            summaryErrors += failure + "\r\n";
        result += summaryErrors;
    }
    if (!result.empty()) {
        app_.prompter.message(this, kCaptionResult, result, QMessageBox::NoIcon);
    }
}

bool CFSysDlg::declination(std::optional<double>& value) const {
    const QString text = declination_->text().trimmed();
    value.reset();
    if (text.isEmpty()) return true;
    bool ok = false;
    double degrees = QLocale().toDouble(text, &ok);
    if (!ok) degrees = text.toDouble(&ok);
    if (!ok || !(std::abs(degrees) <= report::night::kMaxDeclinationDeg)) return false;
    value = degrees;
    return true;
}

void CFSysDlg::reject() {
    if (closable_) QDialog::reject();
}

bool CFSysDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cardList_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            openFirstSelectedRow();
            return true;
        }
        if (key == Qt::Key_Delete) {
            deleteSelected();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CFSysDlg::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* mime = event->mimeData();
    if (!connected_ || transferRunning() || !mime->hasUrls()) return;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile()) return;
    }
    event->acceptProposedAction();
}

void CFSysDlg::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        paths.push_back(url.toLocalFile());
    event->acceptProposedAction();
    uploadFiles(paths);
}
