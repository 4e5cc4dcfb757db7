#pragma once

// Gantrix's main dialog: the hub of the SD card browser, the API server and the choice of HC.

#include <QDialog>
#include <functional>

class CGantrixApp;
class QLabel;
class QLineEdit;
class QPushButton;

// Object names: buttonFileSystem, labelFileSystem, buttonApiServer, labelServer, buttonOptions,
// labelOptions, editMyFolder, labelMyFolder, buttonMyFolder, buttonSwallowEnter (hidden).
class CGantrixDlg : public QDialog {
    Q_OBJECT

public:
    explicit CGantrixDlg(CGantrixApp& app, QWidget* parent = nullptr);
    // Stops the API server, should it still run.
    ~CGantrixDlg() override;

    // What "FileSystem" opens after the connect flow, also when that failed (the browser reads
    // the no-connection flag): the SD card browser, unless a test puts something else.
    using ToolWindow = std::function<void(QWidget* parent)>;
    void setFileSystemBrowser(ToolWindow browser) { fileSystemBrowser_ = std::move(browser); }

public slots:
    void openFileSystem();
    void openApiServer();
    void editConnectionOptions();
    void browseMyFolder();
    void showAbout();
    // The window's close command: asks first while the API server runs. Escape does not
    // close the dialog.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void buildControls();
    void refreshServerLabel();

    CGantrixApp& app_;
    ToolWindow fileSystemBrowser_;
    QLabel* serverLabel_ = nullptr;
    QPushButton* options_ = nullptr;
    QLineEdit* myFolder_ = nullptr;
};
