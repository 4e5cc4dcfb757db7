#pragma once

// The API server window: starts and stops Gantrix's API server, chooses its port and the HC it
// serves, and shows its state and the client programs connected to it. It reads the server's
// status record 20 times a second and never touches the server's link.

#include <QDialog>
#include <QTimer>
#include <optional>

#include "gantrix/app/server_view.h"
#include "vt5api/options/connection_options.h"

class CGantrixApp;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// Object names: labelState, labelStateReason, buttonStartStop, editPort, labelDevice,
// buttonOptions, listClients, buttonSwallowEnter (hidden). The server keeps running when the dialog
// closes.
class CAPIServerDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAPIServerDlg(CGantrixApp& app, QWidget* parent = nullptr);

    const VT5ConnectionOptions& serverOptions() const { return serverOptions_; }

public slots:
    // Timer 999, every 50 ms: follows the status record.
    void tick();
    void startOrStop();
    void editServerOptions();
    void done(int result) override;

signals:
    // The client list was rebuilt from a fresh copy.
    void clientListChanged();

private:
    void buildControls();
    void showSnapshot(const ServerSnapshot& snapshot);
    void showClients(const std::vector<VT5ServerClient>& clients);
    void startServer();
    void stopServer();

    CGantrixApp& app_;
    VT5ConnectionOptions serverOptions_;
    // What the state controls show; none: show everything at the next tick.
    std::optional<ServerSnapshot> lastShown_;
    QTimer timer_;

    QLabel* state_ = nullptr;
    QLabel* stateReason_ = nullptr;
    QPushButton* startStop_ = nullptr;
    QLineEdit* port_ = nullptr;
    QLabel* device_ = nullptr;
    QPushButton* options_ = nullptr;
    QTreeWidget* clients_ = nullptr;
};
