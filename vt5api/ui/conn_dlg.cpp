#include "vt5api/ui/conn_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "vt5api/options/free_devices.h"
#include "vt5api/options/named_devices.h"
#include "vt5api/options/port_text.h"
#include "vt5api/ui/description_delegate.h"
#include "vt5api/ui/ui_text.h"

namespace {

// Space before the controls that belong to a choice.
constexpr int kIndent = 22;

template <class W>
W* named(W* widget, const char* objectName) {
    widget->setObjectName(QLatin1String(objectName));
    return widget;
}

}  // namespace

CVT5ConnDlg::CVT5ConnDlg(const VT5ConnectionOptions& options, QWidget* parent)
    : QDialog(parent), options_(options) {
    setWindowTitle(tr("Veltra-5 connection options"));
    buildControls();

    if (!options_.serverOptionAllowed) options_.connectToServer = 0;
    server_->setEnabled(options_.serverOptionAllowed != 0);
    (options_.connectToServer ? server_ : direct_)->setChecked(true);
    address_->setText(options_.serverAddress.empty() ? QStringLiteral("localhost")
                                                     : UiText(options_.serverAddress));
    if (options_.serverPort != 0) port_->setText(QString::number(options_.serverPort));
    enableChoice();
    showStoredDevice();
}

void CVT5ConnDlg::buildControls() {
    direct_ = named(new QRadioButton(tr("Direct connection (USB)")), "radioDirect");
    specific_ = named(new QCheckBox(tr("for a specific device:")), "checkSpecific");

    named_ = named(new QTreeWidget, "listNamed");
    named_->setColumnCount(2);
    named_->setHeaderLabels({tr("Description (editable)"), tr("Serial (ID)")});
    named_->setRootIsDecorated(false);
    named_->setSelectionBehavior(QAbstractItemView::SelectRows);
    named_->setSelectionMode(QAbstractItemView::SingleSelection);
    named_->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    named_->setItemDelegate(new DescriptionDelegate(named_));
    named_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    named_->header()->setStretchLastSection(false);
    named_->header()->resizeSection(1, 110);
    named_->setMinimumHeight(110);
    remove_ = named(new QPushButton(tr("Remove")), "buttonRemove");

    auto* connectedLabel = new QLabel(tr("Currently connected devices:"));
    connected_ = named(new QListWidget, "listConnected");
    connected_->setSelectionMode(QAbstractItemView::SingleSelection);
    connected_->setMinimumHeight(80);
    connectedLabel->setBuddy(connected_);
    add_ = named(new QPushButton(tr("Add selected to the list")), "buttonAdd");
    add_->setEnabled(false);
    auto* addNote = new QLabel(tr("Adds the device to the named list above."));
    addNote->setWordWrap(true);
    refresh_ = named(new QPushButton(tr("Refresh")), "buttonRefresh");

    server_ = named(new QRadioButton(tr("Connect through API Server")), "radioServer");
    address_ = named(new QLineEdit, "editAddress");
    auto* addressLabel = new QLabel(tr("Server's address"));
    addressLabel->setBuddy(address_);
    local_ = named(new QPushButton(tr("Set local machine")), "buttonLocal");
    port_ = named(new QLineEdit, "editPort");
    port_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), port_));
    port_->setMaxLength(10);
    port_->setMaximumWidth(80);
    auto* portLabel = new QLabel(tr("port"));
    portLabel->setBuddy(port_);
    auto* portNote = new QLabel(tr("(leave empty for default port)"));

    auto* save = named(new QPushButton(tr("Save connection options")), "buttonSave");
    auto* cancel = named(new QPushButton(tr("Cancel")), "buttonCancel");
    save->setDefault(true);

    auto* choice = new QButtonGroup(this);
    choice->addButton(direct_);
    choice->addButton(server_);

    // Direct connection: the named list with Remove beside it, then the connected devices
    // with the buttons that act on them.
    auto* directBox = new QGridLayout;
    directBox->setContentsMargins(kIndent, 0, 0, 0);
    directBox->addWidget(specific_, 0, 0, 1, 2);
    directBox->addWidget(named_, 1, 0);
    auto* namedButtons = new QVBoxLayout;
    namedButtons->addWidget(remove_);
    namedButtons->addStretch();
    directBox->addLayout(namedButtons, 1, 1);
    directBox->addWidget(connectedLabel, 2, 0, 1, 2);
    directBox->addWidget(connected_, 3, 0);
    auto* connectedButtons = new QVBoxLayout;
    connectedButtons->addWidget(add_);
    connectedButtons->addWidget(addNote);
    connectedButtons->addStretch();
    connectedButtons->addWidget(refresh_);
    directBox->addLayout(connectedButtons, 3, 1);
    directBox->setColumnStretch(0, 1);
    directBox->setColumnMinimumWidth(1, 170);

    auto* serverBox = new QGridLayout;
    serverBox->setContentsMargins(kIndent, 0, 0, 0);
    serverBox->addWidget(addressLabel, 0, 0);
    serverBox->addWidget(address_, 0, 1, 1, 2);
    serverBox->addWidget(local_, 0, 3);
    serverBox->addWidget(portLabel, 1, 0);
    serverBox->addWidget(port_, 1, 1);
    serverBox->addWidget(portNote, 1, 2, 1, 2);
    serverBox->setColumnStretch(2, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(direct_);
    layout->addLayout(directBox);
    layout->addSpacing(8);
    layout->addWidget(server_);
    layout->addLayout(serverBox);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    resize(560, sizeHint().height());

    connect(direct_, &QRadioButton::clicked, this, &CVT5ConnDlg::chooseDirect);
    connect(server_, &QRadioButton::clicked, this, &CVT5ConnDlg::chooseServer);
    connect(local_, &QPushButton::clicked, this, &CVT5ConnDlg::setLocalMachine);
    connect(refresh_, &QPushButton::clicked, this, &CVT5ConnDlg::refresh);
    connect(add_, &QPushButton::clicked, this, &CVT5ConnDlg::addSelected);
    connect(remove_, &QPushButton::clicked, this, &CVT5ConnDlg::removeNamed);
    connect(connected_, &QListWidget::itemSelectionChanged, this,
            [this] { add_->setEnabled(!connected_->selectedItems().isEmpty()); });
    connect(save, &QPushButton::clicked, this, &CVT5ConnDlg::save);
    connect(cancel, &QPushButton::clicked, this, &CVT5ConnDlg::reject);
}

void CVT5ConnDlg::enableChoice() {
    const bool server = options_.connectToServer != 0;
    for (QWidget* w :
         std::initializer_list<QWidget*>{specific_, named_, connected_, refresh_, remove_})
        w->setEnabled(!server);
    for (QWidget* w : std::initializer_list<QWidget*>{address_, port_, local_})
        w->setEnabled(server);
}

void CVT5ConnDlg::fillNamedList(const std::string& select) {
    named_->clear();
    for (const auto& [serial, description] : ListNamedDevices()) {
        auto* row = new QTreeWidgetItem(named_, {UiText(description), UiText(serial)});
        row->setFlags(row->flags() | Qt::ItemIsEditable);
        if (!select.empty() && !named_->currentItem() && serial.compare(0, 8, select) == 0) {
            named_->setCurrentItem(row);
        }
    }
    if (named_->currentItem()) named_->scrollToItem(named_->currentItem());
}

void CVT5ConnDlg::showStoredDevice() {
    const std::string& id = options_.directAccessId;
    fillNamedList(id);
    if (id.empty()) return;
    specific_->setChecked(true);
    if (named_->currentItem()) return;
    // An HC chosen earlier (or in another program) that was never named: name it now, so the
    // choice can be seen and kept.
    SetNamedDevice(id, VT5_UNNAMED_DEVICE, 0);
    fillNamedList(id);
}

void CVT5ConnDlg::chooseDirect() {
    options_.connectToServer = 0;
    direct_->setChecked(true);
    enableChoice();
}

void CVT5ConnDlg::chooseServer() {
    if (!options_.serverOptionAllowed) {
        chooseDirect();
        return;
    }
    options_.connectToServer = 1;
    enableChoice();
}

void CVT5ConnDlg::setLocalMachine() {
    address_->setText(QStringLiteral("localhost"));
}

void CVT5ConnDlg::refresh() {
    connected_->clear();
    add_->setEnabled(false);
    for (const std::string& serial : ListFreeSerials(listApi_))
        connected_->addItem(UiText(serial));
}

void CVT5ConnDlg::addSelected() {
    const QList<QListWidgetItem*> selected = connected_->selectedItems();
    if (selected.isEmpty()) return;
    const std::string serial = ApiText(selected.front()->text());
    delete selected.front();
    SetNamedDevice(serial, VT5_UNNAMED_DEVICE, 1);
    fillNamedList();
}

void CVT5ConnDlg::removeNamed() {
    const QList<QTreeWidgetItem*> selected = named_->selectedItems();
    if (selected.isEmpty()) return;
    RemoveNamedDevice(ApiText(selected.front()->text(1)));
    fillNamedList();
}

void CVT5ConnDlg::save() {
    if (options_.serverOptionAllowed) {
        options_.serverAddress = ApiText(address_->text());
        options_.serverPort = ClampedPort(ApiText(port_->text()));
    }
    options_.directAccessId.clear();
    const QList<QTreeWidgetItem*> selected = named_->selectedItems();
    if (specific_->isChecked() && !selected.isEmpty())
        options_.directAccessId = ApiText(selected.front()->text(1)).substr(0, 8);
    SaveOptions(options_);
    accept();
}
