#pragma once

#include <QPushButton>
#include <QTreeWidget>
#include <filesystem>
#include <string>
#include <vector>

#include "gantrix/app/fsys_dlg.h"
#include "tests/gantrix/card_host.h"
#include "tests/gantrix/gantrix_fixture.h"

namespace vt5test {

// The SD card browser over a simulated HC whose card holds LOGS with the sample logs, a
// read-only file, a hidden one and notes at the root; "My folder" is a private folder.
class FsysTest : public GantrixTest {
protected:
    FsysTest();

    // Plugs the HC (with its card unless told otherwise) and opens the tool API context on it
    // directly, as the connect flow does.
    hcsim::SimulatedHc& connectHc(bool withCard = true);
    // The same through Gantrix's own API server.
    hcsim::SimulatedHc& connectThroughServer();

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

    TempDir card;
    TempDir local;
    std::vector<std::string> opened;  // report pages the browser opened
};

}  // namespace vt5test
