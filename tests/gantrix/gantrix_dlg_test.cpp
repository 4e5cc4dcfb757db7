// Gantrix's main dialog, driven offscreen through its controls' object names.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "gantrix/app/api_server_dlg.h"
#include "gantrix/app/gantrix_dlg.h"
#include "gantrix/app/gantrix_texts.h"
#include "gantrix/app/my_folder.h"
#include "platform/clock/clock.h"
#include "tests/gantrix/gantrix_fixture.h"
#include "vt5api/options/named_devices.h"
#include "vt5api/ui/ui_text.h"

namespace {

class GantrixDlgTest : public vt5test::GantrixTest {
protected:
    QString label(const CGantrixDlg& dlg) { return child<QLabel>(dlg, "labelServer")->text(); }
    bool optionsEnabled(const CGantrixDlg& dlg) {
        return child<QPushButton>(dlg, "buttonOptions")->isEnabled();
    }
    // Runs the API server dialog from the main dialog's button; act runs on the shown dialog.
    void throughServerDialog(CGantrixDlg& dlg, std::function<void(CAPIServerDlg&)> act) {
        QTimer::singleShot(0, [act] {
            auto* server = qobject_cast<CAPIServerDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(server, nullptr);
            server->tick();  // the first tick enables the start button
            act(*server);
            server->close();
        });
        child<QPushButton>(dlg, "buttonApiServer")->click();
    }
};

TEST_F(GantrixDlgTest, StartShowsCaptionOptionsAndMyFolder) {
    StoreMyFolder(app.settingsKey, "/data/veltra");
    VT5ConnectionOptions stored;
    stored.programKey = VT5_KEY_GANTRIX;
    stored.connectToServer = 1;
    stored.serverAddress = "observatory";
    SaveOptions(stored);

    CGantrixDlg dlg(app);
    EXPECT_EQ(dlg.windowTitle(), "Veltra-5 Gantrix Application ver. 1.20");
    EXPECT_EQ(child<QLineEdit>(dlg, "editMyFolder")->text(), "/data/veltra");
    EXPECT_TRUE(child<QLineEdit>(dlg, "editMyFolder")->isReadOnly());
    EXPECT_EQ(app.toolOptions.programKey, "Gantrix");
    EXPECT_EQ(app.toolOptions.serverAddress, "observatory");
    EXPECT_EQ(label(dlg), "Control the Veltra-5 API Server");
    EXPECT_TRUE(optionsEnabled(dlg));
    EXPECT_EQ(child<QLabel>(dlg, "labelServer")->font().pixelSize(), 16);
    EXPECT_EQ(child<QLabel>(dlg, "labelOptions")->font().pixelSize(), 16);
    EXPECT_FALSE(dlg.windowIcon().isNull());
}

TEST_F(GantrixDlgTest, MyFolderLongerThan1023CharactersIsNotShown) {
    StoreMyFolder(app.settingsKey, "/" + std::string(1023, 'd'));
    CGantrixDlg dlg(app);
    EXPECT_EQ(child<QLineEdit>(dlg, "editMyFolder")->text().toStdString(),
              (documents() / "Veltra-5").string())
        << "the default stands in for a folder that cannot be used";
}

TEST_F(GantrixDlgTest, FreshConfigurationShowsVeltra5InTheDocumentsFolderAndMakesItOnFirstUse) {
    const std::string folder = (documents() / "Veltra-5").string();
    CGantrixDlg dlg(app);
    EXPECT_EQ(child<QLineEdit>(dlg, "editMyFolder")->text().toStdString(), folder);
    EXPECT_FALSE(std::filesystem::exists(folder)) << "not made before it is used";
    EXPECT_EQ(ReadMyFolder(app.settingsKey), "") << "the default is not stored";

    prompter.pickFolder("");  // cancelled
    child<QPushButton>(dlg, "buttonMyFolder")->click();
    EXPECT_EQ(prompter.picks().back().start.toStdString(), folder);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(child<QLineEdit>(dlg, "editMyFolder")->text().toStdString(), folder);
}

TEST_F(GantrixDlgTest, FolderPickerStartsInMyFolderAndStoresTheChoice) {
    CGantrixDlg dlg(app);
    auto* browse = child<QPushButton>(dlg, "buttonMyFolder");

    prompter.pickFolder("/first/choice");
    browse->click();
    EXPECT_EQ(prompter.picks().back().start.toStdString(), (documents() / "Veltra-5").string())
        << "nothing stored yet: the default";
    EXPECT_EQ(child<QLineEdit>(dlg, "editMyFolder")->text(), "/first/choice");
    EXPECT_EQ(ReadMyFolder(app.settingsKey), "/first/choice");

    prompter.pickFolder("");  // cancelled
    browse->click();
    EXPECT_EQ(prompter.picks().back().start, "/first/choice");
    EXPECT_EQ(child<QLineEdit>(dlg, "editMyFolder")->text(), "/first/choice");
    EXPECT_EQ(ReadMyFolder(app.settingsKey), "/first/choice");
}

TEST_F(GantrixDlgTest, FileSystemOpensTheBrowserWithTheConnectionAndClosesItAfter) {
    platform::VirtualClock clock;
    platform::ScopedClock useClock(clock);
    plugHc("HC000001");
    CGantrixDlg dlg(app);
    int opened = 0;
    dlg.setFileSystemBrowser([&](QWidget* parent) {
        ++opened;
        EXPECT_EQ(parent, &dlg);
        EXPECT_FALSE(app.noConnection);
        EXPECT_TRUE(VT5_IsOpen(&app.toolApi));
        EXPECT_STREQ(app.toolApi.clientName, "Gantrix - FileSystem");
    });
    child<QPushButton>(dlg, "buttonFileSystem")->click();
    EXPECT_EQ(opened, 1);
    EXPECT_FALSE(VT5_IsOpen(&app.toolApi));
    EXPECT_TRUE(prompter.prompts().empty());
}

TEST_F(GantrixDlgTest, FileSystemOpensTheBrowserAlsoWithoutConnection) {
    CGantrixDlg dlg(app);
    int opened = 0;
    dlg.setFileSystemBrowser([&](QWidget*) {
        ++opened;
        EXPECT_TRUE(app.noConnection);
    });
    prompter.answer(QMessageBox::Ok);
    child<QPushButton>(dlg, "buttonFileSystem")->click();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(prompter.texts().size(), 1u) << "the failure is shown once";
}

TEST_F(GantrixDlgTest, RunningServerShowsInTheLabelAndLocksTheOptions) {
    plugHc("HC000042");
    SetNamedDevice("HC000042", "  Observatory pier  ", 0);
    VT5ConnectionOptions serverOptions;
    serverOptions.programKey = VT5_KEY_GANTRIX_SERVER;
    serverOptions.directAccessId = "HC000042";
    SaveOptions(serverOptions);
    const int32_t port = freePort();

    CGantrixDlg dlg(app);
    throughServerDialog(dlg, [&](CAPIServerDlg& server) {
        child<QLineEdit>(server, "editPort")->setText(QString::number(port));
        child<QPushButton>(server, "buttonStartStop")->click();
        ASSERT_TRUE(waitUntil(
            [&] { return app.server.WithStatus([](ServerStatus& s) { return s.deviceOpen; }); }));
    });
    EXPECT_EQ(label(dlg), "Control the Veltra-5 API Server\n(ACTIVE with: 'Observatory pier')");
    EXPECT_FALSE(optionsEnabled(dlg));
    EXPECT_TRUE(child<QLabel>(dlg, "labelServer")->alignment() & Qt::AlignTop);

    throughServerDialog(
        dlg, [](CAPIServerDlg& server) { child<QPushButton>(server, "buttonStartStop")->click(); });
    EXPECT_EQ(label(dlg), "Control the Veltra-5 API Server");
    EXPECT_TRUE(optionsEnabled(dlg));
    EXPECT_TRUE(child<QLabel>(dlg, "labelServer")->alignment() & Qt::AlignVCenter);
}

TEST_F(GantrixDlgTest, ServerWithoutHcIsShownAsActive) {
    CGantrixDlg dlg(app);
    const int32_t port = freePort();
    throughServerDialog(dlg, [&](CAPIServerDlg& server) {
        child<QLineEdit>(server, "editPort")->setText(QString::number(port));
        child<QPushButton>(server, "buttonStartStop")->click();
    });
    EXPECT_EQ(label(dlg), "Control the Veltra-5 API Server\n(ACTIVE)");
}

TEST_F(GantrixDlgTest, ClosingWithTheServerRunningAsksAndNoKeepsEverything) {
    ASSERT_TRUE(startServer(freePort()));
    CGantrixDlg dlg(app);
    dlg.show();

    prompter.answer(QMessageBox::No);
    EXPECT_FALSE(dlg.close());
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.prompts()[0].caption, "Question");
    EXPECT_EQ(prompter.texts()[0], UiText(kCloseQuestion).toStdString());
    EXPECT_EQ(prompter.prompts()[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(app.server.IsServerRunning());

    prompter.answer(QMessageBox::Yes);
    EXPECT_TRUE(dlg.close());
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_FALSE(app.server.IsServerRunning());
}

TEST_F(GantrixDlgTest, ClosingWithoutServerAsksNothing) {
    CGantrixDlg dlg(app);
    dlg.show();
    EXPECT_TRUE(dlg.close());
    EXPECT_TRUE(prompter.prompts().empty());
}

TEST_F(GantrixDlgTest, DestroyingTheDialogStopsTheServer) {
    ASSERT_TRUE(startServer(freePort()));
    { CGantrixDlg dlg(app); }
    EXPECT_FALSE(app.server.IsServerRunning());
}

TEST_F(GantrixDlgTest, EscapeAndEnterDoNothing) {
    CGantrixDlg dlg(app);
    int opened = 0;
    dlg.setFileSystemBrowser([&](QWidget*) { ++opened; });
    dlg.show();
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_TRUE(dlg.isVisible());
    QTest::keyClick(child<QLineEdit>(dlg, "editMyFolder"), Qt::Key_Return);
    QTest::keyClick(&dlg, Qt::Key_Enter);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(prompter.prompts().empty());
}

TEST_F(GantrixDlgTest, AboutNamesTheProgram) {
    CGantrixDlg dlg(app);
    prompter.answer(QMessageBox::Ok);
    dlg.showAbout();
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.texts()[0], "Veltra-5 Gantrix Application ver. 1.20");
}

}  // namespace
