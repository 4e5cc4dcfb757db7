// The connection options dialog, driven offscreen through its controls' object names.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "platform/registry/registry.h"
#include "tests/options/gui_test.h"
#include "tests/support/scripted_device.h"
#include "vt5api/options/named_devices.h"
#include "vt5api/ui/conn_dlg.h"
#include "vt5api/ui/edit_options.h"

namespace reg = platform::registry;
using ::testing::ElementsAre;
using ::testing::Pair;

namespace {

class ConnDlgTest : public vt5test::GuiTest {
protected:
    ConnDlgTest() { options.programKey = VT5_KEY_GANTRIX; }

    // The rows of the named list: (description, serial).
    static std::vector<std::pair<std::string, std::string>> rows(const CVT5ConnDlg& dlg) {
        std::vector<std::pair<std::string, std::string>> result;
        auto* list = child<QTreeWidget>(dlg, "listNamed");
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            result.emplace_back(list->topLevelItem(i)->text(0).toStdString(),
                                list->topLevelItem(i)->text(1).toStdString());
        return result;
    }
    static std::string selectedSerial(const CVT5ConnDlg& dlg) {
        auto selected = child<QTreeWidget>(dlg, "listNamed")->selectedItems();
        return selected.isEmpty() ? "" : selected.front()->text(1).toStdString();
    }
    static std::vector<std::string> connected(const CVT5ConnDlg& dlg) {
        std::vector<std::string> serials;
        auto* list = child<QListWidget>(dlg, "listConnected");
        for (int i = 0; i < list->count(); ++i)
            serials.push_back(list->item(i)->text().toStdString());
        return serials;
    }
    static void click(const CVT5ConnDlg& dlg, const char* name) {
        child<QAbstractButton>(dlg, name)->click();
    }
    static void type(const CVT5ConnDlg& dlg, const char* name, const QString& text) {
        auto* edit = child<QLineEdit>(dlg, name);
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    void plugHc(const std::string& serial) {
        bus.bus().plug(vt5test::hcIdentity(serial), std::make_unique<vt5test::ScriptedDevice>());
    }
    VT5ConnectionOptions stored() const {
        VT5ConnectionOptions loaded;
        loaded.programKey = options.programKey;
        EXPECT_EQ(LoadOptions(loaded), 0);
        return loaded;
    }
    // Which of the controls that belong to one choice are enabled.
    static std::vector<bool> enabled(const CVT5ConnDlg& dlg) {
        std::vector<bool> on;
        for (const char* name : {"checkSpecific", "listNamed", "listConnected", "buttonRefresh",
                                 "buttonRemove", "editAddress", "editPort", "buttonLocal"})
            on.push_back(child<QWidget>(dlg, name)->isEnabled());
        return on;
    }

    VT5ConnectionOptions options;
};

const std::vector<bool> kDirectControls = {true, true, true, true, true, false, false, false};
const std::vector<bool> kServerControls = {false, false, false, false, false, true, true, true};

TEST_F(ConnDlgTest, FirstRunShowsDirectConnectionLocalhostAndAnEmptyPort) {
    LoadOptions(options);
    CVT5ConnDlg dlg(options);
    EXPECT_EQ(dlg.windowTitle(), "Veltra-5 connection options");
    EXPECT_TRUE(child<QRadioButton>(dlg, "radioDirect")->isChecked());
    EXPECT_TRUE(child<QRadioButton>(dlg, "radioServer")->isEnabled());
    EXPECT_EQ(child<QLineEdit>(dlg, "editAddress")->text(), "localhost");
    EXPECT_EQ(child<QLineEdit>(dlg, "editPort")->text(), "");
    EXPECT_FALSE(child<QCheckBox>(dlg, "checkSpecific")->isChecked());
    EXPECT_FALSE(child<QPushButton>(dlg, "buttonAdd")->isEnabled());
    EXPECT_TRUE(connected(dlg).empty());
    EXPECT_EQ(enabled(dlg), kDirectControls);
}

TEST_F(ConnDlgTest, TheChoiceSwitchesTheEnabledControls) {
    options.connectToServer = 1;
    options.serverAddress = "observatory.local";
    options.serverPort = 6000;
    CVT5ConnDlg dlg(options);
    EXPECT_TRUE(child<QRadioButton>(dlg, "radioServer")->isChecked());
    EXPECT_EQ(child<QLineEdit>(dlg, "editAddress")->text(), "observatory.local");
    EXPECT_EQ(child<QLineEdit>(dlg, "editPort")->text(), "6000");
    EXPECT_EQ(enabled(dlg), kServerControls);

    click(dlg, "radioDirect");
    EXPECT_EQ(enabled(dlg), kDirectControls);
    click(dlg, "radioServer");
    EXPECT_EQ(enabled(dlg), kServerControls);
    type(dlg, "editAddress", "elsewhere");
    click(dlg, "buttonLocal");
    EXPECT_EQ(child<QLineEdit>(dlg, "editAddress")->text(), "localhost");
}

TEST_F(ConnDlgTest, ServerWithAnEmptyPortIsSavedAsPortZero) {
    CVT5ConnDlg dlg(options);
    click(dlg, "radioServer");
    type(dlg, "editAddress", "10.0.0.5");
    click(dlg, "buttonSave");
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    VT5ConnectionOptions saved = stored();
    EXPECT_EQ(saved.connectToServer, 1);
    EXPECT_EQ(saved.serverAddress, "10.0.0.5");
    EXPECT_EQ(saved.serverPort, 0) << "0 stands for 5937 when connecting";
    EXPECT_EQ(saved.directAccessId, "");
}

TEST_F(ConnDlgTest, PortAboveTheLastIsSavedAs65535AndOnlyDigitsCanBeTyped) {
    CVT5ConnDlg dlg(options);
    click(dlg, "radioServer");
    type(dlg, "editPort", "7a0-000");
    EXPECT_EQ(child<QLineEdit>(dlg, "editPort")->text(), "70000");
    click(dlg, "buttonSave");
    EXPECT_EQ(stored().serverPort, 65535);
}

TEST_F(ConnDlgTest, AddressAndPortAreSavedWhicheverChoiceIsMade) {
    CVT5ConnDlg dlg(options);
    click(dlg, "radioServer");
    type(dlg, "editAddress", "host-a");
    type(dlg, "editPort", "6100");
    click(dlg, "radioDirect");
    click(dlg, "buttonSave");
    VT5ConnectionOptions saved = stored();
    EXPECT_EQ(saved.connectToServer, 0);
    EXPECT_EQ(saved.serverAddress, "host-a");
    EXPECT_EQ(saved.serverPort, 6100);
}

TEST_F(ConnDlgTest, StoredIdThatIsNotNamedIsAddedSelectedAndKeptAfterCancel) {
    SetNamedDevice("HC000001", "Travel kit", 0);
    options.directAccessId = "HC000077";
    {
        CVT5ConnDlg dlg(options);
        EXPECT_TRUE(child<QCheckBox>(dlg, "checkSpecific")->isChecked());
        EXPECT_THAT(rows(dlg), ElementsAre(Pair("Travel kit", "HC000001"),
                                           Pair("< name the HC here >", "HC000077")));
        EXPECT_EQ(selectedSerial(dlg), "HC000077");
        dlg.reject();
    }
    EXPECT_THAT(ListNamedDevices(), ElementsAre(Pair("HC000001", "Travel kit"),
                                                Pair("HC000077", "< name the HC here >")));

    // Saved again untouched, the choice of HC survives.
    CVT5ConnDlg again(options);
    click(again, "buttonSave");
    EXPECT_EQ(stored().directAccessId, "HC000077");
}

TEST_F(ConnDlgTest, StoredIdSelectsTheFirstRowWithItsSerial) {
    SetNamedDevice("HC000001", "Travel kit", 0);
    SetNamedDevice("HC000002", "Observatory", 0);
    options.directAccessId = "HC000002";
    CVT5ConnDlg dlg(options);
    EXPECT_EQ(selectedSerial(dlg), "HC000002");
    EXPECT_EQ(rows(dlg).size(), 2u);

    child<QTreeWidget>(dlg, "listNamed")
        ->setCurrentItem(child<QTreeWidget>(dlg, "listNamed")->topLevelItem(0));
    click(dlg, "buttonSave");
    EXPECT_EQ(stored().directAccessId, "HC000001");
}

TEST_F(ConnDlgTest, DirectAccessIdNeedsTheCheckBoxAndASelectedRow) {
    SetNamedDevice("HC000001", "Travel kit", 0);
    options.directAccessId = "HC000001";
    CVT5ConnDlg dlg(options);
    click(dlg, "checkSpecific");
    EXPECT_FALSE(child<QCheckBox>(dlg, "checkSpecific")->isChecked());
    click(dlg, "buttonSave");
    EXPECT_EQ(stored().directAccessId, "") << "any HC";
}

TEST_F(ConnDlgTest, RefreshListsFreeHcsAndAddSelectedKeepsADescription) {
    SetNamedDevice("HC000001", "Travel kit", 0);
    plugHc("HC000001");
    plugHc("HC000002");
    CVT5ConnDlg dlg(options);
    auto* list = child<QListWidget>(dlg, "listConnected");
    auto* add = child<QPushButton>(dlg, "buttonAdd");

    click(dlg, "buttonRefresh");
    EXPECT_THAT(connected(dlg), ElementsAre("HC000001", "HC000002"));
    EXPECT_FALSE(add->isEnabled());
    list->setCurrentRow(0);
    EXPECT_TRUE(add->isEnabled());
    list->clearSelection();
    EXPECT_FALSE(add->isEnabled()) << "deselecting disables the button again";

    list->setCurrentRow(0);
    click(dlg, "buttonAdd");
    EXPECT_THAT(connected(dlg), ElementsAre("HC000002"));
    list->setCurrentRow(0);
    click(dlg, "buttonAdd");
    EXPECT_TRUE(connected(dlg).empty());
    EXPECT_FALSE(add->isEnabled());
    EXPECT_THAT(rows(dlg), ElementsAre(Pair("Travel kit", "HC000001"),
                                       Pair("< name the HC here >", "HC000002")));

    click(dlg, "buttonRefresh");
    EXPECT_THAT(connected(dlg), ElementsAre("HC000001", "HC000002"));
}

TEST_F(ConnDlgTest, RefreshWithoutHcsLeavesTheListEmpty) {
    CVT5ConnDlg dlg(options);
    click(dlg, "buttonRefresh");
    EXPECT_TRUE(connected(dlg).empty());
}

TEST_F(ConnDlgTest, RemoveDeletesTheSelectedNamedHc) {
    SetNamedDevice("HC000001", "Travel kit", 0);
    SetNamedDevice("HC000002", "Observatory", 0);
    CVT5ConnDlg dlg(options);
    auto* named = child<QTreeWidget>(dlg, "listNamed");
    named->setCurrentItem(named->topLevelItem(1));
    click(dlg, "buttonRemove");
    EXPECT_THAT(rows(dlg), ElementsAre(Pair("Travel kit", "HC000001")));
    EXPECT_THAT(ListNamedDevices(), ElementsAre(Pair("HC000001", "Travel kit")));
}

TEST_F(ConnDlgTest, EditingADescriptionInPlaceStoresItUnlessEmpty) {
    SetNamedDevice("HC000001", "Travel kit", 0);
    CVT5ConnDlg dlg(options);
    dlg.show();
    auto* named = child<QTreeWidget>(dlg, "listNamed");
    QTreeWidgetItem* row = named->topLevelItem(0);

    auto editTo = [&](int column, const QString& text) {
        named->setCurrentItem(row, column);
        named->editItem(row, column);
        QLineEdit* editor = nullptr;
        for (auto* e : named->viewport()->findChildren<QLineEdit*>())
            if (e->isVisible()) editor = e;
        if (!editor) return false;
        editor->selectAll();
        QTest::keyClicks(editor, text);
        if (text.isEmpty()) QTest::keyClick(editor, Qt::Key_Backspace);
        // The delegate commits and closes the editor through a queued call.
        QSignalSpy closed(named->itemDelegate(), &QAbstractItemDelegate::closeEditor);
        QTest::keyClick(editor, Qt::Key_Return);
        return closed.wait(2000);
    };

    ASSERT_TRUE(editTo(0, "Backyard pier"));
    EXPECT_EQ(row->text(0), "Backyard pier");
    EXPECT_THAT(ListNamedDevices(), ElementsAre(Pair("HC000001", "Backyard pier")));

    ASSERT_TRUE(editTo(0, ""));
    EXPECT_EQ(row->text(0), "Backyard pier") << "an empty description is not taken";
    EXPECT_THAT(ListNamedDevices(), ElementsAre(Pair("HC000001", "Backyard pier")));

    EXPECT_FALSE(editTo(1, "HC999999")) << "the serial is not editable";
}

TEST_F(ConnDlgTest, ServerOptionOfTheApiServerCannotBeChosen) {
    options.programKey = VT5_KEY_GANTRIX_SERVER;
    options.serverOptionAllowed = 0;
    options.connectToServer = 1;  // as a damaged registry might say
    options.serverAddress = "kept.example";
    options.serverPort = 1234;
    CVT5ConnDlg dlg(options);
    auto* server = child<QRadioButton>(dlg, "radioServer");
    EXPECT_FALSE(server->isEnabled());
    EXPECT_TRUE(child<QRadioButton>(dlg, "radioDirect")->isChecked());
    server->click();
    EXPECT_FALSE(server->isChecked());
    EXPECT_EQ(enabled(dlg), kDirectControls);

    child<QLineEdit>(dlg, "editAddress")->setText("typed.example");
    child<QLineEdit>(dlg, "editPort")->setText("99");
    click(dlg, "buttonSave");
    VT5ConnectionOptions saved = stored();
    EXPECT_EQ(saved.connectToServer, 0);
    EXPECT_EQ(saved.serverAddress, "kept.example");
    EXPECT_EQ(saved.serverPort, 1234);
}

TEST_F(ConnDlgTest, EditOptionsCopiesBackOnlyWhatWasSaved) {
    auto actOnDialog = [](const char* button, const QString& address) {
        QTimer::singleShot(0, [button, address] {
            auto* dlg = qobject_cast<CVT5ConnDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dlg, nullptr);
            child<QRadioButton>(*dlg, "radioServer")->click();
            child<QLineEdit>(*dlg, "editAddress")->setText(address);
            child<QPushButton>(*dlg, button)->click();
        });
    };

    actOnDialog("buttonCancel", "cancelled.example");
    EXPECT_EQ(EditOptions(options), QDialog::Rejected);
    EXPECT_EQ(options.connectToServer, 0);
    EXPECT_EQ(options.serverAddress, "");

    actOnDialog("buttonSave", "saved.example");
    EXPECT_EQ(EditOptions(options), QDialog::Accepted);
    EXPECT_EQ(options.connectToServer, 1);
    EXPECT_EQ(options.serverAddress, "saved.example");
    EXPECT_EQ(stored().serverAddress, "saved.example");
}

}  // namespace
