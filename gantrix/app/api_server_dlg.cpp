#include "gantrix/app/api_server_dlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstring>

#include "common/text_printf.h"
#include "gantrix/app/gantrix_app.h"
#include "gantrix/app/gantrix_texts.h"
#include "vt5api/api/vt5server.h"
#include "vt5api/options/port_text.h"
#include "vt5api/ui/edit_options.h"
#include "vt5api/ui/named_font.h"
#include "vt5api/ui/prompter.h"
#include "vt5api/ui/ui_text.h"

namespace {

constexpr int kTickMs = 50;
// Ticks between forced client list refreshes, counted down to below 0 (about once a second).
constexpr int kRefreshTicks = 20;
constexpr int kServedSerialLength = 8;

QString Caption() {
    const int version = VT5_GetVersion();
    return UiText(common::Printf(kServerDlgCaptionFormat, (version >> 8) & 0xFF, version & 0xFF));
}

}  // namespace

CAPIServerDlg::CAPIServerDlg(CGantrixApp& app, QWidget* parent) : QDialog(parent), app_(app) {
    serverOptions_.programKey = VT5_KEY_GANTRIX_SERVER;
    serverOptions_.serverOptionAllowed = 0;
    LoadOptions(serverOptions_);

    setWindowTitle(Caption());
    buildControls();

    const int32_t configuredPort =
        app_.server.WithStatus([](ServerStatus& s) { return s.configuredPort; });
    if (configuredPort > 0) port_->setText(QString::number(configuredPort));

    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &CAPIServerDlg::tick);
    timer_.start();
}

void CAPIServerDlg::buildControls() {
    state_ = new QLabel;
    state_->setObjectName(QStringLiteral("labelState"));
    state_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    state_->setAlignment(Qt::AlignCenter);
    state_->setFont(NamedFont(QStringLiteral("Verdana"), 22, QFont::Medium, font()));
    state_->setMinimumHeight(40);
    // Beside "OFF": why the server stopped or did not start, when it did so on its own.
    stateReason_ = new QLabel;
    stateReason_->setObjectName(QStringLiteral("labelStateReason"));
    stateReason_->setWordWrap(true);
    stateReason_->setAlignment(Qt::AlignCenter);
    stateReason_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    stateReason_->hide();

    startStop_ = new QPushButton(tr("Start Server"));
    startStop_->setObjectName(QStringLiteral("buttonStartStop"));
    startStop_->setEnabled(false);
    port_ = new QLineEdit;
    port_->setObjectName(QStringLiteral("editPort"));
    port_->setMaximumWidth(80);
    auto* portLabel = new QLabel(tr("(empty for default)   TCP port"));
    portLabel->setBuddy(port_);
    device_ = new QLabel;
    device_->setObjectName(QStringLiteral("labelDevice"));
    device_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    device_->setMinimumHeight(2 * fontMetrics().lineSpacing() + 4);
    options_ = new QPushButton(tr("HC connection options"));
    options_->setObjectName(QStringLiteral("buttonOptions"));

    auto* clientsLabel = new QLabel(tr("Client programs connected"));
    clients_ = new QTreeWidget;
    clients_->setObjectName(QStringLiteral("listClients"));
    clients_->setHeaderLabels({tr("Application ID"), tr("Address"), tr("Section accesses")});
    clients_->setRootIsDecorated(false);
    clients_->setSelectionBehavior(QAbstractItemView::SelectRows);
    clients_->header()->resizeSection(0, 200);
    clients_->header()->resizeSection(1, 160);
    clients_->header()->resizeSection(2, 280);
    clients_->setMinimumWidth(200 + 160 + 280 + 4);
    clientsLabel->setBuddy(clients_);

    auto* swallowEnter = new QPushButton(this);
    swallowEnter->setObjectName(QStringLiteral("buttonSwallowEnter"));
    swallowEnter->setDefault(true);
    swallowEnter->setFocusPolicy(Qt::NoFocus);
    swallowEnter->hide();

    auto* stateBox = new QGroupBox(tr("API Server's state"));
    auto* stateGrid = new QGridLayout(stateBox);
    stateGrid->addWidget(state_, 0, 0, 1, 3);
    stateGrid->addWidget(stateReason_, 1, 0, 1, 3);
    stateGrid->addWidget(startStop_, 2, 0);
    auto* portRow = new QHBoxLayout;
    portRow->addStretch();
    portRow->addWidget(portLabel);
    portRow->addWidget(port_);
    stateGrid->addLayout(portRow, 2, 1, 1, 2);
    stateGrid->addWidget(device_, 3, 0, 1, 2);
    stateGrid->addWidget(options_, 3, 2, Qt::AlignRight | Qt::AlignBottom);
    stateGrid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(stateBox);
    layout->addSpacing(6);
    layout->addWidget(clientsLabel);
    layout->addWidget(clients_, 1);

    setTabOrder(startStop_, port_);
    setTabOrder(port_, options_);
    setTabOrder(options_, clients_);

    connect(startStop_, &QPushButton::clicked, this, &CAPIServerDlg::startOrStop);
    connect(options_, &QPushButton::clicked, this, &CAPIServerDlg::editServerOptions);
}

void CAPIServerDlg::tick() {
    ServerSnapshot snapshot;
    std::optional<std::vector<VT5ServerClient>> clients;
    app_.server.WithStatus([&](ServerStatus& s) {
        snapshot = TakeSnapshot(s);
        bool forced = false;
        if (--app_.serverListCountdown < 0) {
            app_.serverListCountdown = kRefreshTicks;
            forced = true;
            s.listRefreshRequest = true;
        }
        if (s.clientListChanged || forced) clients = s.clients;
        s.clientListChanged = false;
    });
    if (snapshot != lastShown_) showSnapshot(snapshot);
    app_.server.IsServerRunning();  // reaps a finished server thread
    if (clients) showClients(*clients);
}

void CAPIServerDlg::showSnapshot(const ServerSnapshot& snapshot) {
    const bool off = snapshot.state == ServerStatus::kOff;
    startStop_->setEnabled(snapshot.state != ServerStatus::kStarting);
    startStop_->setText(off ? tr("Start Server") : tr("Stop Server"));
    options_->setEnabled(off);
    port_->setEnabled(off);
    state_->setText(UiText(StateText(snapshot)));
    const std::string reason = StateReasonText(snapshot);
    stateReason_->setText(UiText(reason));
    stateReason_->setVisible(!reason.empty());
    device_->setText(UiText(DeviceText(snapshot)));
    lastShown_ = snapshot;
    update();
}

void CAPIServerDlg::showClients(const std::vector<VT5ServerClient>& clients) {
    clients_->setUpdatesEnabled(false);
    clients_->clear();
    for (const VT5ServerClient& client : clients) {
        const std::string id(client.applicationId, strnlen(client.applicationId, 32));
        new QTreeWidgetItem(clients_, {UiText(id), UiText(ClientAddressText(client)),
                                       UiText(SectionText(client.sectionFlags))});
    }
    clients_->setUpdatesEnabled(true);
    emit clientListChanged();
}

void CAPIServerDlg::startOrStop() {
    if (app_.server.IsServerRunning())
        stopServer();
    else
        startServer();
}

void CAPIServerDlg::stopServer() {
    app_.server.StopServerThread();
    if (ScanDecimal(ApiText(port_->text())) == VT5_DEFAULT_PORT) port_->clear();
    app_.server.WithStatus([](ServerStatus& s) {
        s.configuredPort = 0;
        s.clients.clear();
        s.clientListChanged = true;
    });
}

void CAPIServerDlg::startServer() {
    std::optional<int64_t> port = ScanDecimal(ApiText(port_->text()));
    if (!port && port_->text().trimmed().isEmpty()) {
        port = VT5_DEFAULT_PORT;
        port_->setText(QString::number(VT5_DEFAULT_PORT));
    }
    // A number outside the TCP ports would be cut to 16 bits and listened on elsewhere.
    if (!port || *port < 0 || *port > 65535) {
        app_.prompter.message(this, kCaptionBadPort, kBadPort, QMessageBox::Warning);
        return;
    }

    lastShown_.reset();
    const std::string& id = serverOptions_.directAccessId;
    app_.server.WithStatus([&](ServerStatus& s) {
        s.state = ServerStatus::kOff;
        s.openPending = false;
        s.threadResult = 0;
        s.servedSerial[0] = '\0';
        // Any other length leaves the choice of HC to the first client's OpenDevice.
        if (id.size() == kServedSerialLength) {
            std::memcpy(s.servedSerial, id.c_str(), kServedSerialLength + 1);
            s.openPending = true;
        }
        s.configuredPort = static_cast<int32_t>(*port);
        s.openResult = VT5_E_INVALID_RETURN;
        s.startFailure.clear();
    });
    app_.server.StartServerThread();
}

void CAPIServerDlg::editServerOptions() {
    EditOptions(serverOptions_, this);
}

void CAPIServerDlg::done(int result) {
    timer_.stop();
    QDialog::done(result);
}
