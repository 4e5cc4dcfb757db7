#include "gantrix/app/gantrix_dlg.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "gantrix/app/api_server_dlg.h"
#include "gantrix/app/card_browser/fsys_dlg.h"
#include "gantrix/app/gantrix_app.h"
#include "gantrix/app/gantrix_icon.h"
#include "gantrix/app/gantrix_texts.h"
#include "gantrix/app/my_folder.h"
#include "gantrix/app/server_view.h"
#include "vt5api/ui/edit_options.h"
#include "vt5api/ui/named_font.h"
#include "vt5api/ui/prompter.h"
#include "vt5api/ui/ui_text.h"

namespace {

constexpr const char* kFileSystemClient = "Gantrix - FileSystem";
constexpr int kToolButtonWidth = 130;
constexpr int kToolButtonHeight = 44;

QPushButton* ToolButton(const QString& text, const char* objectName) {
    auto* button = new QPushButton(text);
    button->setObjectName(QLatin1String(objectName));
    button->setFixedSize(kToolButtonWidth, kToolButtonHeight);
    return button;
}

QLabel* Label(const QString& text, const char* objectName) {
    auto* label = new QLabel(text);
    label->setObjectName(QLatin1String(objectName));
    label->setWordWrap(true);
    return label;
}

}  // namespace

CGantrixDlg::CGantrixDlg(CGantrixApp& app, QWidget* parent) : QDialog(parent), app_(app) {
    setWindowIcon(GantrixIcon());
    setWindowTitle(UiText(kGantrixCaption));
    setFont(FamilyIfInstalled(QStringLiteral("Tahoma"), 10, font()));

    app_.toolOptions.programKey = VT5_KEY_GANTRIX;
    LoadOptions(app_.toolOptions);

    buildControls();
    myFolder_->setText(UiText(MyFolderInUse(app_.settingsKey)));
    // A window of its own (in the task bar), modal over the program.
    fileSystemBrowser_ = [this](QWidget*) {
        CFSysDlg browser(app_);
        browser.run();
    };
}

CGantrixDlg::~CGantrixDlg() {
    app_.server.StopServerThread();
}

void CGantrixDlg::buildControls() {
    auto* fileSystem = ToolButton(tr("FileSystem"), "buttonFileSystem");
    auto* fileSystemText =
        Label(tr("Browse SD card and download files\nProcessing Log files"), "labelFileSystem");
    auto* apiServer = ToolButton(tr("API Server"), "buttonApiServer");
    serverLabel_ = Label(UiText(kServerLabel), "labelServer");
    options_ = ToolButton(tr("Conn. options"), "buttonOptions");
    auto* optionsText =
        Label(tr("Specify here which Veltra-5 to connect to by the Gantrix (if API Server is not "
                 "running)."),
              "labelOptions");

    const QFont labelFont =
        NamedFont(QStringLiteral("Microsoft Sans Serif"), 16, QFont::Normal, font());
    serverLabel_->setFont(labelFont);
    optionsText->setFont(labelFont);
    serverLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    fileSystemText->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    myFolder_ = new QLineEdit;
    myFolder_->setObjectName(QStringLiteral("editMyFolder"));
    myFolder_->setReadOnly(true);
    myFolder_->setToolTip(tr("Downloaded files and their reports go here"));
    auto* myFolderLabel = new QLabel(tr("My folder"));
    myFolderLabel->setObjectName(QStringLiteral("labelMyFolder"));
    auto* browse = new QPushButton(tr("..."));
    browse->setObjectName(QStringLiteral("buttonMyFolder"));
    browse->setFixedWidth(36);
    browse->setToolTip(tr("Choose the folder downloaded files go to"));

    // The template's hidden default button: Enter outside a focused button does nothing.
    auto* swallowEnter = new QPushButton(this);
    swallowEnter->setObjectName(QStringLiteral("buttonSwallowEnter"));
    swallowEnter->setDefault(true);
    swallowEnter->setFocusPolicy(Qt::NoFocus);
    swallowEnter->hide();

    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(12);
    grid->addWidget(fileSystem, 0, 0);
    grid->addWidget(fileSystemText, 0, 1, 1, 3);
    grid->addWidget(apiServer, 1, 0);
    grid->addWidget(serverLabel_, 1, 1, 1, 3);
    grid->addWidget(options_, 2, 0);
    grid->addWidget(optionsText, 2, 1, 1, 3);
    grid->addWidget(myFolderLabel, 3, 0, Qt::AlignRight);
    grid->addWidget(myFolder_, 3, 1, 1, 2);
    grid->addWidget(browse, 3, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnMinimumWidth(1, 330);
    myFolderLabel->setBuddy(browse);

    setTabOrder(fileSystem, apiServer);
    setTabOrder(apiServer, options_);
    setTabOrder(options_, myFolder_);
    setTabOrder(myFolder_, browse);

    connect(fileSystem, &QPushButton::clicked, this, &CGantrixDlg::openFileSystem);
    connect(apiServer, &QPushButton::clicked, this, &CGantrixDlg::openApiServer);
    connect(options_, &QPushButton::clicked, this, &CGantrixDlg::editConnectionOptions);
    connect(browse, &QPushButton::clicked, this, &CGantrixDlg::browseMyFolder);
}

void CGantrixDlg::openFileSystem() {
    app_.noConnection = false;
    const int result = app_.ConnectForTool(kRequireFirmware, kFileSystemClient, this);
    if (result != 0) app_.noConnection = true;
    if (fileSystemBrowser_) fileSystemBrowser_(this);
    if (result == 0) VT5_Close(&app_.toolApi);
}

void CGantrixDlg::openApiServer() {
    {
        CAPIServerDlg dialog(app_, this);
        dialog.exec();
    }
    refreshServerLabel();
}

void CGantrixDlg::refreshServerLabel() {
    std::string serial;
    const bool running = app_.server.IsServerRunning(&serial);
    serverLabel_->setText(UiText(ServerLabelText(running, serial)));
    // Two lines start at the top; the single line is centred beside its button.
    serverLabel_->setAlignment(Qt::AlignLeft | (running ? Qt::AlignTop : Qt::AlignVCenter));
    options_->setEnabled(!running);
    update();
}

void CGantrixDlg::editConnectionOptions() {
    EditOptions(app_.toolOptions, this);
}

void CGantrixDlg::browseMyFolder() {
    const QString start = UiText(PreparedMyFolder(app_.settingsKey));
    const QString chosen = app_.prompter.pickFolder(this, tr("My folder"), start);
    if (chosen.isEmpty()) return;
    myFolder_->setText(QDir::toNativeSeparators(chosen));
    StoreMyFolder(app_.settingsKey, ApiText(QDir::toNativeSeparators(chosen)));
}

void CGantrixDlg::showAbout() {
    app_.prompter.message(this, "About Gantrix", kGantrixCaption, QMessageBox::Information);
}

void CGantrixDlg::reject() {
    if (app_.server.IsServerRunning()) {
        if (app_.prompter.message(this, kCaptionQuestion, kCloseQuestion, QMessageBox::Question,
                                  QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
            return;
        app_.server.StopServerThread();
    }
    QDialog::reject();
}

void CGantrixDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// Stands in for the system menu's "About" item.
void CGantrixDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    connect(menu.addAction(UiText(kAboutItem)), &QAction::triggered, this, &CGantrixDlg::showAbout);
    menu.exec(event->globalPos());
}
