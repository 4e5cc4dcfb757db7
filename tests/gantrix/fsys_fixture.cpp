#include "tests/gantrix/fsys_fixture.h"

#include <QLabel>
#include <QTest>

#include "gantrix/app/my_folder.h"
#include "vt5api/commands/identity.h"
#include "vt5api/ui/ui_text.h"

namespace vt5test {

namespace fs = std::filesystem;

FsysTest::FsysTest() {
    for (const char* name : {"vt5_log_0307.txt", "vt5_log_0308.txt", "vt5_log_0309.txt"}) {
        WriteHostFile(card.path() / "LOGS" / name,
                      ReadHostFile(fs::path(VT5_TEST_DATA_DIR) / "logs" / name),
                      UtcSeconds(2021, 3, 7, 21, 25, 10));
    }
    WriteHostFile(card.path() / "notes.txt", "clear skies");
    WriteHostFile(card.path() / "other.txt", "more");
    WriteHostFile(card.path() / "readme.txt", "read me", UtcSeconds(2023, 12, 24, 18, 30, 8));
    fs::permissions(card.path() / "readme.txt", fs::perms::owner_write, fs::perm_options::remove);
    WriteHostFile(card.path() / ".hidden", "not listed");
    StoreMyFolder(app.settingsKey, myFolder().string());
}

hcsim::SimulatedHc& FsysTest::plugCardHc(bool withCard) {
    hcsim::HcConfig config;
    config.serial = "HC000001";
    if (withCard) config.cardDir = card.path();
    hcs.push_back(std::make_unique<hcsim::SimulatedHc>(bus.bus(), config));
    return *hcs.back();
}

hcsim::SimulatedHc& FsysTest::connectHc(bool withCard) {
    hcsim::SimulatedHc& hc = plugCardHc(withCard);
    const int32_t port = viaServer ? startCardServer() : 0;
    EXPECT_EQ(VT5_Open(&app.toolApi, viaServer ? nullptr : "HC000001",
                       viaServer ? "localhost" : nullptr, port, "Gantrix - FileSystem"),
              VT5_OK);
    app.noConnection = false;
    return hc;
}

int32_t FsysTest::startCardServer() {
    const int32_t port = freePort();
    EXPECT_TRUE(startServer(port, "HC000001"));
    return port;
}

std::string FsysTest::uid() {
    VT5DeviceInfo info{};
    EXPECT_EQ(VT5cmd_GetDeviceInfo(&app.toolApi, &info), VT5_OK);
    std::string id = info.uniqueId;
    id.erase(id.find_last_not_of(' ') + 1);
    return id;
}

std::vector<std::string> FsysTest::rows(const QTreeWidget& list) {
    std::vector<std::string> texts;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        texts.push_back(list.topLevelItem(i)->text(0).toStdString());
    return texts;
}

std::vector<std::string> FsysTest::selected(const QTreeWidget& list) {
    std::vector<std::string> texts;
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        if (list.topLevelItem(i)->isSelected())
            texts.push_back(list.topLevelItem(i)->text(0).toStdString());
    }
    return texts;
}

QTreeWidgetItem* FsysTest::row(CFSysDlg& dlg, const std::string& text) {
    auto* list = child<QTreeWidget>(dlg, "listCard");
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->text(0).toStdString() == text) return list->topLevelItem(i);
    }
    ADD_FAILURE() << "no row " << text;
    return nullptr;
}

void FsysTest::select(CFSysDlg& dlg, const std::vector<std::string>& texts) {
    auto* list = child<QTreeWidget>(dlg, "listCard");
    list->clearSelection();
    for (const std::string& text : texts) {
        if (QTreeWidgetItem* r = row(dlg, text)) r->setSelected(true);
    }
}

void FsysTest::finishTransfer(CFSysDlg& dlg) {
    EXPECT_TRUE(waitUntil([&] { return !dlg.workerRunning(); }, 20000));
    dlg.tick();
}

QString FsysTest::status(CFSysDlg& dlg) {
    return child<QLabel>(dlg, "labelStatus")->text();
}

QTreeWidget* FsysTest::cardList(CFSysDlg& dlg) {
    return child<QTreeWidget>(dlg, "listCard");
}

QString FsysTest::path(CFSysDlg& dlg) {
    return child<QLabel>(dlg, "labelPath")->text();
}

QPushButton* FsysTest::button(CFSysDlg& dlg) {
    return child<QPushButton>(dlg, "buttonDownload");
}

void FsysTest::key(CFSysDlg& dlg, Qt::Key k) {
    QTest::keyClick(cardList(dlg), k);
}

}  // namespace vt5test
