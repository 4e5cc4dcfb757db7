#pragma once

// The connection options dialog shared by all programs: directly over USB (optionally to one
// named HC) or through an API server.

#include <QDialog>

#include "vt5api/api/vt5api.h"
#include "vt5api/options/connection_options.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTreeWidget;

// Edits a copy of a program's options; "Save connection options" saves the copy and accepts.
// Object names of the controls (the template's ids in brackets): radioDirect (3003),
// checkSpecific (3010), listNamed (3009), buttonRemove (3008), listConnected (3011), buttonAdd
// (3007), buttonRefresh (3012), radioServer (3004), editAddress (3001), buttonLocal (3000),
// editPort (3002), buttonSave (1), buttonCancel (2).
class CVT5ConnDlg : public QDialog {
    Q_OBJECT

public:
    explicit CVT5ConnDlg(const VT5ConnectionOptions& options, QWidget* parent = nullptr);

    // The dialog's copy of the options (saved when the dialog was accepted).
    const VT5ConnectionOptions& options() const { return options_; }

private slots:
    void chooseDirect();
    void chooseServer();
    void setLocalMachine();
    void refresh();
    void addSelected();
    void removeNamed();
    void save();

private:
    void buildControls();
    void enableChoice();
    // Fills the named list from the registry and selects the row of serial (when not empty).
    void fillNamedList(const std::string& select = {});
    void showStoredDevice();

    VT5ConnectionOptions options_;
    // Used only to list the HCs plugged in; the program's own API context is not touched.
    CVT5Api listApi_;

    QRadioButton* direct_ = nullptr;
    QCheckBox* specific_ = nullptr;
    QTreeWidget* named_ = nullptr;
    QPushButton* remove_ = nullptr;
    QListWidget* connected_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QRadioButton* server_ = nullptr;
    QLineEdit* address_ = nullptr;
    QPushButton* local_ = nullptr;
    QLineEdit* port_ = nullptr;
};
