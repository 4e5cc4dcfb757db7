#pragma once

#include <QPushButton>
#include <QTreeWidget>
#include <filesystem>
#include <string>
#include <vector>

#include "gantrix/app/card_browser/fsys_dlg.h"
#include "tests/gantrix/card_host.h"
#include "tests/gantrix/gantrix_fixture.h"

namespace vt5test {

// The SD card browser over a simulated HC whose card holds LOGS with the sample logs, a
// read-only file, a hidden one and notes at the root; "My folder" is a private folder.
class FsysTest : public GantrixTest {
protected:
    FsysTest();

    // Plugs the HC HC000001, with its card unless told otherwise.
    hcsim::SimulatedHc& plugCardHc(bool withCard = true);
    // Plugs the HC and opens the tool API context on it as the connect flow does: directly,
    // or through Gantrix's own API server when viaServer is set.
    hcsim::SimulatedHc& connectHc(bool withCard = true);
    // Starts Gantrix's API server for HC000001; its port.
    int32_t startCardServer();

    std::filesystem::path cardPath(const std::string& name) const { return card.path() / name; }
    std::filesystem::path myFolder() const { return local.path() / "My folder"; }
    // The HC's unique ID as the browser names its folder.
    std::string uid();

    static std::vector<std::string> rows(const QTreeWidget& list);
    static std::vector<std::string> selected(const QTreeWidget& list);
    // Selects the rows of the card list with these texts (only them).
    void select(CFSysDlg& dlg, const std::vector<std::string>& texts);
    QTreeWidgetItem* row(CFSysDlg& dlg, const std::string& text);
    // Waits for the worker and lets timer 888 see its end.
    void finishTransfer(CFSysDlg& dlg);
    QString status(CFSysDlg& dlg);
    QTreeWidget* cardList(CFSysDlg& dlg);
    QString path(CFSysDlg& dlg);
    QPushButton* button(CFSysDlg& dlg);
    // A key pressed on the card list.
    void key(CFSysDlg& dlg, Qt::Key k);
    // The text of message box i, "\n" for the line breaks.
    std::string text(size_t i) const { return prompter.texts().at(i); }

    bool viaServer = false;

    TempDir card;
    TempDir local;
    std::vector<std::string> opened;  // report pages the browser opened
};

}  // namespace vt5test
