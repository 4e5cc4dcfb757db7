// The SD card browser over a simulated HC's card, driven offscreen through its controls.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <filesystem>

#include "gantrix/app/card_browser/fsys_texts.h"
#include "gantrix/app/gantrix_dlg.h"
#include "gantrix/app/my_folder.h"
#include "tests/gantrix/fsys_fixture.h"
#include "vt5api/commands/file_system.h"

namespace {

namespace fs = std::filesystem;
using vt5test::ReadHostFile;
using vt5test::TempDir;
using vt5test::Tree;
using vt5test::WriteHostFile;
using Strings = std::vector<std::string>;

// Without a connection, or with the connection made by the test itself.
class FsysDlgTest : public vt5test::FsysTest {};

// Over the card, directly (false) and through Gantrix's own API server (true).
class FsysCardTest : public vt5test::FsysTest, public ::testing::WithParamInterface<bool> {
protected:
    FsysCardTest() { viaServer = GetParam(); }
};

TEST_P(FsysCardTest, ListsTheCardRootWithFoldersFirstAndNeitherHiddenFilesNorTheLabel) {
    connectHc();
    CFSysDlg dlg(app);
    ASSERT_TRUE(dlg.start());
    EXPECT_EQ(dlg.windowTitle(), "Veltra-5 File System");
    QTreeWidget* list = cardList(dlg);
    EXPECT_EQ(list->headerItem()->text(0), "Name");
    EXPECT_EQ(list->headerItem()->text(1), "Size");
    EXPECT_EQ(list->headerItem()->text(2), "date & time (UTC)");
    EXPECT_EQ(rows(*list), (Strings{"[LOGS]", "notes.txt", "other.txt", "readme.txt"}));
    EXPECT_EQ(selected(*list), Strings{"[LOGS]"});
    EXPECT_EQ(row(dlg, "[LOGS]")->text(1), "<DIR>  ");
    EXPECT_EQ(row(dlg, "notes.txt")->text(1), "11");
    EXPECT_EQ(row(dlg, "notes.txt")->text(2), "2024.03.07  21:15");
    EXPECT_EQ(row(dlg, "readme.txt")->text(2), "2023.12.24  18:30");
    EXPECT_EQ(path(dlg), "/");
    EXPECT_EQ(dlg.folderPrefix(), "");
    EXPECT_TRUE(list->isEnabled());
    EXPECT_TRUE(dlg.acceptDrops());
    EXPECT_TRUE(dlg.closable());
    EXPECT_TRUE(child<QCheckBox>(dlg, "checkGuidedExposures")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(dlg, "checkGuidedExposures")->isEnabled());
    EXPECT_FALSE(child<QCheckBox>(dlg, "checkProcessAfterDownload")->isChecked());
    EXPECT_TRUE(prompter.prompts().empty());
}

// The main dialog's "FileSystem": the connect flow, then the browser in a window of its own.
TEST_P(FsysCardTest, FileSystemButtonOfTheMainDialogOpensTheBrowser) {
    plugCardHc();
    if (viaServer) startCardServer();  // the connect flow goes through it then
    CGantrixDlg main(app);
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* browser = qobject_cast<CFSysDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(browser, nullptr);
        shown = true;
        EXPECT_EQ(browser->parentWidget(), nullptr) << "in the task bar";
        EXPECT_EQ(rows(*cardList(*browser)),
                  (Strings{"[LOGS]", "notes.txt", "other.txt", "readme.txt"}));
        browser->close();
    });
    child<QPushButton>(main, "buttonFileSystem")->click();
    EXPECT_TRUE(shown);
    EXPECT_FALSE(VT5_IsOpen(&app.toolApi));
    EXPECT_TRUE(prompter.prompts().empty());
}

TEST_P(FsysCardTest, OpeningAFolderSelectsDotDotAndGoingUpSelectsTheFolderLeft) {
    connectHc();
    CFSysDlg dlg(app);
    ASSERT_TRUE(dlg.start());
    dlg.openRow(row(dlg, "[LOGS]"));
    EXPECT_EQ(path(dlg), "/LOGS");
    EXPECT_EQ(dlg.folderPrefix(), "/LOGS");
    EXPECT_EQ(rows(*cardList(dlg)),
              (Strings{"[..]", "vt5_log_0307.txt", "vt5_log_0308.txt", "vt5_log_0309.txt"}));
    EXPECT_EQ(selected(*cardList(dlg)), Strings{"[..]"});

    key(dlg, Qt::Key_Return);  // opens the first selected row: ".."
    EXPECT_EQ(path(dlg), "/");
    EXPECT_EQ(selected(*cardList(dlg)), Strings{"[LOGS]"});

    dlg.openRow(row(dlg, "notes.txt"));  // a file: nothing happens
    EXPECT_EQ(path(dlg), "/");
    EXPECT_TRUE(prompter.prompts().empty());
}

TEST_P(FsysCardTest, DeleteAsksAboutThePlainFilesAmongTheSelectedRows) {
    connectHc();
    CFSysDlg dlg(app);
    ASSERT_TRUE(dlg.start());

    select(dlg, {"[LOGS]"});
    key(dlg, Qt::Key_Delete);
    EXPECT_TRUE(prompter.prompts().empty()) << "only a folder: no question";

    select(dlg, {"[LOGS]", "notes.txt", "other.txt", "readme.txt"});
    prompter.answer(QMessageBox::No);
    key(dlg, Qt::Key_Delete);
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.prompts()[0].caption, "WARNING");
    EXPECT_EQ(text(0),
              "You are about to delete 2 selected file(s)!\n\nAre you sure to remove these files?");
    EXPECT_EQ(prompter.prompts()[0].defaultButton, QMessageBox::No);
    EXPECT_TRUE(fs::exists(cardPath("notes.txt")));

    prompter.answer(QMessageBox::Yes);
    key(dlg, Qt::Key_Delete);
    EXPECT_EQ(prompter.prompts().size(), 2u) << "no failure list";
    EXPECT_FALSE(fs::exists(cardPath("notes.txt")));
    EXPECT_FALSE(fs::exists(cardPath("other.txt")));
    EXPECT_TRUE(fs::exists(cardPath("readme.txt")));
    EXPECT_EQ(rows(*cardList(dlg)), (Strings{"[LOGS]", "readme.txt"}));
    EXPECT_EQ(selected(*cardList(dlg)), Strings{"[LOGS]"});
}

TEST_P(FsysCardTest, FilesTheCardRefusesToDeleteAreNamedAfterTheOthers) {
    connectHc();
    CFSysDlg dlg(app);
    ASSERT_TRUE(dlg.start());
    select(dlg, {"notes.txt", "other.txt"});
    fs::remove(cardPath("other.txt"));  // gone behind the browser's back
    prompter.answer(QMessageBox::Yes);
    prompter.answer(QMessageBox::Ok);
    key(dlg, Qt::Key_Delete);
    ASSERT_EQ(prompter.prompts().size(), 2u);
    EXPECT_EQ(prompter.prompts()[1].caption, "ERROR");
    EXPECT_EQ(text(1), "Deleted 1 files.\nFailed to delete the following files:\n\nother.txt\n");
    EXPECT_EQ(rows(*cardList(dlg)), (Strings{"[LOGS]", "readme.txt"}));
}

TEST_P(FsysCardTest, HcWithoutCardClosesTheBrowserAfterItsMessage) {
    connectHc(false);
    CFSysDlg dlg(app);
    prompter.answer(QMessageBox::Ok);
    EXPECT_FALSE(dlg.start());
    EXPECT_EQ(dlg.result(), CFSysDlg::kCardFailed);
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.prompts()[0].caption, "ERROR");
    EXPECT_EQ(text(0),
              "FileSystem is not available on the device.\n\nMake sure that the SD card is "
              "inserted and the state of it is okay (Option / System).\nRe-insert the card if "
              "error is displayed.");
}

TEST_F(FsysDlgTest, WithoutConnectionOnlyTheReportsWork) {
    const std::string report = (myFolder() / "A1B2C3D4E5F6G7H/Processed/vt5_log_0307").string();
    WriteHostFile(report + "/guiexpo_1.html", "<html/>");
    WriteHostFile((myFolder() / "B1B2C3D4E5F6G7H/Processed/x_log_1/guiexpo_1.html").string(), "");
    app.noConnection = true;
    CFSysDlg dlg(app);
    dlg.setOpener([&](const QString& page, const OpenOutcome& outcome) {
        opened.push_back(page.toStdString());
        outcome(true);
    });
    ASSERT_TRUE(dlg.start());
    EXPECT_EQ(path(dlg), "<FileSystem is not available on Veltra-5 now>");
    EXPECT_FALSE(cardList(dlg)->isEnabled());
    EXPECT_FALSE(dlg.acceptDrops());
    button(dlg)->click();  // no connection: nothing happens
    EXPECT_FALSE(dlg.transferRunning());

    auto* uids = child<QComboBox>(dlg, "comboUid");
    ASSERT_EQ(uids->count(), 2);
    EXPECT_EQ(uids->itemText(0), "A1B2C3D4E5F6G7H");
    auto* reports = child<QTreeWidget>(dlg, "listProcessed");
    EXPECT_EQ(reports->headerItem()->text(0), "Log file title");
    EXPECT_EQ(reports->headerItem()->text(1), "Result type");
    EXPECT_EQ(rows(*reports), Strings{"vt5_log_0307"});
    EXPECT_EQ(reports->topLevelItem(0)->text(1), "guided exposure");
    dlg.openReport(reports->topLevelItem(0));
    EXPECT_EQ(opened, Strings{report + "/guiexpo_1.html"});

    uids->setCurrentIndex(1);
    EXPECT_EQ(rows(*reports), Strings{"x_log_1"});
    EXPECT_TRUE(prompter.prompts().empty());
}

TEST_F(FsysDlgTest, ChooseAndProcessLocalFilesShowsTheResultAndTheNewReports) {
    app.noConnection = true;
    const fs::path logs = myFolder() / "A1B2C3D4E5F6G7H/SD/LOGS";
    WriteHostFile(logs / "vt5_log_0308.txt", ReadHostFile(cardPath("LOGS/vt5_log_0308.txt")));
    WriteHostFile(logs / "broken_log_1.txt", "no log at all");
    CFSysDlg dlg(app);
    ASSERT_TRUE(dlg.start());
    prompter.pick(vt5test::ScriptedPrompter::Pick::kOpenFiles,
                  {QString::fromStdString((logs / "vt5_log_0308.txt").string()),
                   QString::fromStdString((logs / "broken_log_1.txt").string())});
    prompter.answer(QMessageBox::Ok);
    child<QPushButton>(dlg, "buttonProcessLocal")->click();
    EXPECT_EQ(prompter.picks().at(0).start.toStdString(), myFolder().string());
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.prompts()[0].caption, "Result of processing");
    EXPECT_EQ(prompter.prompts()[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(text(0),
              "vt5_log_0308.txt:\tOK\nbroken_log_1.txt:\tCan't read log file (format error?)\n");
    // The index comparing the nights comes first, the reports follow by name.
    EXPECT_EQ(rows(*child<QTreeWidget>(dlg, "listProcessed")),
              (Strings{"All nights compared", "vt5_log_0308"}));
    EXPECT_TRUE(fs::exists(myFolder() / "A1B2C3D4E5F6G7H/Processed/vt5_log_0308/summary.html"));
}

TEST_F(FsysDlgTest, TheDeclinationOfTheOptionsGoesIntoTheSummaryAndABadOneIsRefused) {
    app.noConnection = true;
    const fs::path logs = myFolder() / "A1B2C3D4E5F6G7H/SD/LOGS";
    WriteHostFile(logs / "vt5_log_0308.txt", ReadHostFile(cardPath("LOGS/vt5_log_0308.txt")));
    const fs::path summary = myFolder() / "A1B2C3D4E5F6G7H/Processed/vt5_log_0308/summary.json";
    CFSysDlg dlg(app);
    ASSERT_TRUE(dlg.start());
    auto* declination = child<QLineEdit>(dlg, "editDeclination");
    const QString log = QString::fromStdString((logs / "vt5_log_0308.txt").string());

    declination->setText("95");
    prompter.pick(vt5test::ScriptedPrompter::Pick::kOpenFiles, {log});
    prompter.answer(QMessageBox::Ok);
    child<QPushButton>(dlg, "buttonProcessLocal")->click();
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.prompts()[0].caption, "ERROR");
    EXPECT_FALSE(fs::exists(summary)) << "nothing processed";

    declination->setText("-35.5");
    prompter.pick(vt5test::ScriptedPrompter::Pick::kOpenFiles, {log});
    prompter.answer(QMessageBox::Ok);
    child<QPushButton>(dlg, "buttonProcessLocal")->click();
    ASSERT_EQ(prompter.prompts().size(), 2u);
    EXPECT_EQ(prompter.prompts()[1].caption, "Result of processing");
    EXPECT_NE(ReadHostFile(summary.string()).find("\"declination_deg\": -35.5"), std::string::npos);
    const fs::path index = myFolder() / "A1B2C3D4E5F6G7H/Processed/index.html";
    EXPECT_TRUE(fs::exists(index));
    auto* reports = child<QTreeWidget>(dlg, "listProcessed");
    ASSERT_GT(reports->topLevelItemCount(), 0);
    EXPECT_EQ(reports->topLevelItem(0)->text(2).toStdString(), index.string());
}

TEST_P(FsysCardTest, DownloadWithProcessingListsTheNewReports) {
    connectHc();
    const std::string id = uid();
    CFSysDlg dlg(app);
    ASSERT_TRUE(dlg.start());
    dlg.openRow(row(dlg, "[LOGS]"));
    select(dlg, {"[..]", "vt5_log_0307.txt", "vt5_log_0308.txt", "vt5_log_0309.txt"});
    child<QCheckBox>(dlg, "checkProcessAfterDownload")->setChecked(true);
    button(dlg)->click();
    EXPECT_EQ(button(dlg)->text(), "Cancel");
    EXPECT_FALSE(dlg.closable());
    for (const char* name : {"listCard", "checkProcessAfterDownload", "buttonProcessLocal",
                             "comboUid", "listProcessed"})
        EXPECT_FALSE(child<QWidget>(dlg, name)->isEnabled()) << name;
    dlg.reject();  // not while the transfer runs
    EXPECT_EQ(dlg.result(), 0);

    prompter.answer(QMessageBox::Ok);
    finishTransfer(dlg);
    EXPECT_EQ(status(dlg), "Done");
    EXPECT_EQ(button(dlg)->text(), "Download files");
    EXPECT_TRUE(dlg.closable());
    EXPECT_TRUE(cardList(dlg)->isEnabled());
    EXPECT_FALSE(child<QWidget>(dlg, "checkGuidedExposures")->isEnabled()) << "stays disabled";
    EXPECT_TRUE(selected(*cardList(dlg)).empty());
    EXPECT_EQ(child<QProgressBar>(dlg, "progressTransfer")->value(), 0);

    const fs::path copies = myFolder() / id / "SD/LOGS";
    EXPECT_EQ(Tree(copies), "vt5_log_0307.txt vt5_log_0308.txt vt5_log_0309.txt");
    EXPECT_EQ(vt5test::ModifiedAt(copies / "vt5_log_0309.txt"),
              vt5test::UtcSeconds(2021, 3, 7, 21, 25, 10));
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.prompts()[0].caption, "Result of processing");
    EXPECT_EQ(text(0), "vt5_log_0307.txt:\tOK\nvt5_log_0308.txt:\tOK\nvt5_log_0309.txt:\tOK\n");
    EXPECT_EQ(child<QComboBox>(dlg, "comboUid")->currentText().toStdString(), id);
    EXPECT_EQ(rows(*child<QTreeWidget>(dlg, "listProcessed")),
              (Strings{"All nights compared", "vt5_log_0307", "vt5_log_0308", "vt5_log_0309"}));
    EXPECT_TRUE(fs::exists(myFolder() / id / "Processed/vt5_log_0307/guiexpo_3.html"));
    // Where they went: the HC's folder, with SD and Processed in it.
    EXPECT_EQ(child<QLabel>(dlg, "labelSavedTo")->text(),
              "Files (in SD) and their reports (in Processed) are in:");
    EXPECT_EQ(child<QLineEdit>(dlg, "editSavedTo")->text().toStdString(),
              (myFolder() / id).string());
}

TEST_F(FsysDlgTest, FreshConfigurationDownloadsIntoVeltra5InTheDocumentsFolder) {
    StoreMyFolder(app.settingsKey, "");  // as a fresh configuration: nothing stored
    TempDir startedIn;
    const QString savedCurrent = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(startedIn.path().string()));
    const fs::path folder = documents() / "Veltra-5";

    connectHc();
    const std::string id = uid();
    CFSysDlg dlg(app);
    dlg.setOpener([&](const QString& path, const OpenOutcome& outcome) {
        opened.push_back(path.toStdString());
        outcome(true);
    });
    ASSERT_TRUE(dlg.start());
    EXPECT_EQ(child<QLabel>(dlg, "labelSavedTo")->text(), "Downloads go to:");
    EXPECT_EQ(child<QLineEdit>(dlg, "editSavedTo")->text().toStdString(), folder.string());
    EXPECT_FALSE(fs::exists(folder)) << "made on its first use";

    dlg.openRow(row(dlg, "[LOGS]"));
    select(dlg, {"vt5_log_0307.txt"});
    button(dlg)->click();
    finishTransfer(dlg);
    EXPECT_EQ(status(dlg), "Done");
    EXPECT_EQ(Tree(folder / id / "SD/LOGS"), "vt5_log_0307.txt");
    EXPECT_EQ(Tree(startedIn.path()), "") << "nothing in the folder Gantrix started from";
    EXPECT_EQ(child<QLabel>(dlg, "labelSavedTo")->text(), "Files downloaded to:");
    EXPECT_EQ(child<QLineEdit>(dlg, "editSavedTo")->text().toStdString(),
              (folder / id / "SD/LOGS").string());

    child<QPushButton>(dlg, "buttonOpenFolder")->click();
    EXPECT_EQ(opened, Strings{(folder / id / "SD/LOGS").string()});
    EXPECT_TRUE(prompter.prompts().empty());
    QDir::setCurrent(savedCurrent);
}

TEST_F(FsysDlgTest, AReportOrFolderThatNoProgramCouldOpenSaysSo) {
    const std::string report = (myFolder() / "A1B2C3D4E5F6G7H/Processed/vt5_log_0307").string();
    WriteHostFile(report + "/guiexpo_1.html", "<html/>");
    app.noConnection = true;
    CFSysDlg dlg(app);
    dlg.setOpener([&](const QString& path, const OpenOutcome& outcome) {
        opened.push_back(path.toStdString());
        outcome(false);
    });
    ASSERT_TRUE(dlg.start());
    EXPECT_EQ(child<QLineEdit>(dlg, "editSavedTo")->text().toStdString(), myFolder().string());

    struct Case {
        std::function<void()> act;
        std::string path;
        std::string message;
    };
    auto* reports = child<QTreeWidget>(dlg, "listProcessed");
    const Case cases[] = {
        {[&] { dlg.openReport(reports->topLevelItem(0)); }, report + "/guiexpo_1.html",
         "No web browser could open the report:\n\n" + report +
             "/guiexpo_1.html\n\nInstall a web browser or open the page in one by hand."},
        {[&] { child<QPushButton>(dlg, "buttonOpenFolder")->click(); }, myFolder().string(),
         "No program could open the folder:\n\n" + myFolder().string()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        prompter.clear();
        opened.clear();
        prompter.answer(QMessageBox::Ok);
        c.act();
        EXPECT_EQ(opened, Strings{c.path});
        ASSERT_EQ(prompter.prompts().size(), 1u);
        EXPECT_EQ(prompter.prompts()[0].caption, "ERROR");
        EXPECT_EQ(text(0), c.message);
    }
}

TEST_P(FsysCardTest, TheDownloadButtonKeepsItsWidthWhenItCancels) {
    connectHc();
    CFSysDlg dlg(app);
    ASSERT_TRUE(dlg.start());
    dlg.show();
    auto* progress = child<QProgressBar>(dlg, "progressTransfer");
    // Lays the dialog out again as the next event loop turn would, without letting timer 888
    // end the transfer meanwhile.
    auto geometries = [&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        return std::make_pair(button(dlg)->geometry(), progress->geometry());
    };
    const auto idle = geometries();
    dlg.openRow(row(dlg, "[LOGS]"));
    select(dlg, {"vt5_log_0307.txt", "vt5_log_0308.txt", "vt5_log_0309.txt"});
    button(dlg)->click();
    EXPECT_EQ(button(dlg)->text(), "Cancel");
    EXPECT_EQ(geometries(), idle);
    finishTransfer(dlg);
    EXPECT_EQ(button(dlg)->text(), "Download files");
    EXPECT_EQ(geometries(), idle);

    WriteHostFile(local.path() / "upload.txt", "to the card");
    dlg.uploadFiles({QString::fromStdString((local.path() / "upload.txt").string())});
    EXPECT_EQ(button(dlg)->text(), "Cancel uploading");
    EXPECT_EQ(geometries(), idle);
    finishTransfer(dlg);
    EXPECT_EQ(geometries(), idle);
}

TEST_P(FsysCardTest, DownloadNeedsAFileAndAsksBeforeLargeSelections) {
    connectHc();
    WriteHostFile(cardPath("big.dat"), "");
    fs::resize_file(cardPath("big.dat"), 12000001);
    CFSysDlg dlg(app);
    ASSERT_TRUE(dlg.start());
    for (const Strings& selection : {Strings{}, Strings{"[LOGS]"}}) {
        select(dlg, selection);
        prompter.answer(QMessageBox::Ok);
        button(dlg)->click();
    }
    select(dlg, {"big.dat"});
    prompter.answer(QMessageBox::No);
    button(dlg)->click();
    ASSERT_EQ(prompter.prompts().size(), 3u);
    EXPECT_EQ(prompter.prompts()[0].caption, "NOTIFICATION");
    EXPECT_EQ(text(0), "Select at least one file first!");
    EXPECT_EQ(text(1), "Select at least one file first!");
    EXPECT_EQ(prompter.prompts()[2].caption, "WARNING");
    EXPECT_EQ(text(2),
              "Downloading these files may take time over 1 minute.\n\nStart downloading them?");
    EXPECT_FALSE(dlg.transferRunning());
    EXPECT_EQ(status(dlg), "");
}

TEST_P(FsysCardTest, DroppedFilesAreUploadedAndTheCardListRefreshed) {
    connectHc();
    WriteHostFile(local.path() / "flats.txt", vt5test::Pattern(10000));
    WriteHostFile(local.path() / "dark.txt", "dark");
    CFSysDlg dlg(app);
    ASSERT_TRUE(dlg.start());
    dlg.openRow(row(dlg, "[LOGS]"));
    // Dropped from a file manager: local files as URLs.
    QMimeData files;
    files.setUrls(
        {QUrl::fromLocalFile(QString::fromStdString((local.path() / "flats.txt").string())),
         QUrl::fromLocalFile(QString::fromStdString((local.path() / "dark.txt").string()))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dlg, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dlg, &drop);
    EXPECT_EQ(button(dlg)->text(), "Cancel uploading");
    // The worker has ended, but the dialog has not yet finished the transfer on its timer:
    // the transfer still counts as running.
    EXPECT_TRUE(waitUntil([&] { return !dlg.workerRunning(); }, 20000));
    EXPECT_TRUE(dlg.transferRunning());
    EXPECT_EQ(button(dlg)->text(), "Cancel uploading");
    QDragEnterEvent another(QPoint(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dlg, &another);
    EXPECT_FALSE(another.isAccepted()) << "no second transfer while one runs";
    // Nor a change of folder or a delete.
    const std::string folder = dlg.folderPrefix();
    dlg.openRow(row(dlg, "[..]"));
    EXPECT_EQ(dlg.folderPrefix(), folder);
    select(dlg, {"vt5_log_0307.txt"});
    dlg.deleteSelected();
    EXPECT_TRUE(prompter.prompts().empty());
    finishTransfer(dlg);
    EXPECT_EQ(status(dlg), "Done");
    EXPECT_EQ(ReadHostFile(cardPath("LOGS/flats.txt")), vt5test::Pattern(10000));
    EXPECT_EQ(ReadHostFile(cardPath("LOGS/dark.txt")), "dark");
    EXPECT_EQ(rows(*cardList(dlg)), (Strings{"[..]", "dark.txt", "flats.txt", "vt5_log_0307.txt",
                                             "vt5_log_0308.txt", "vt5_log_0309.txt"}));
    EXPECT_EQ(selected(*cardList(dlg)), Strings{"[..]"});
    EXPECT_TRUE(prompter.prompts().empty());
}

// Sparse files: their sizes count, their blocks are never written.
TEST_P(FsysCardTest, DroppedFileOfFiveGigabytesIsSkippedAndTheSmallOneUploaded) {
    connectHc();
    const fs::path huge = local.path() / "huge.ser";
    WriteHostFile(huge, "");
    fs::resize_file(huge, 5ull << 30);
    WriteHostFile(local.path() / "small.txt", std::string(1024, 's'));
    CFSysDlg dlg(app);
    ASSERT_TRUE(dlg.start());
    prompter.answer(QMessageBox::Ok);
    dlg.uploadFiles({QString::fromStdString(huge.string()),
                     QString::fromStdString((local.path() / "small.txt").string())});
    finishTransfer(dlg);
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.prompts()[0].caption, "NOTIFICATION");
    EXPECT_EQ(text(0),
              "File is too large (5120 MBytes), file won't be uploaded:\n\n" + huge.string());
    EXPECT_EQ(status(dlg), "Done");
    EXPECT_TRUE(fs::exists(cardPath("small.txt")));
    EXPECT_FALSE(fs::exists(cardPath("huge.ser")));
}

TEST_P(FsysCardTest, DropsThatCannotOrShouldNotBeUploadedStartNothing) {
    connectHc();
    const fs::path a = local.path() / "a.ser", b = local.path() / "b.ser";
    for (const fs::path& p : {a, b}) {
        WriteHostFile(p, "");
        fs::resize_file(p, 1536ull << 20);
    }
    const fs::path medium = local.path() / "medium.ser";
    WriteHostFile(medium, "");
    fs::resize_file(medium, 12000001);
    const fs::path missing = local.path() / "missing.txt";
    CFSysDlg dlg(app);
    ASSERT_TRUE(dlg.start());
    auto drop = [&](std::vector<fs::path> paths, QMessageBox::StandardButton answer) {
        QStringList list;
        for (const fs::path& p : paths)
            list.push_back(QString::fromStdString(p.string()));
        prompter.answer(answer);
        dlg.uploadFiles(list);
        EXPECT_FALSE(dlg.transferRunning());
    };
    drop({a, b}, QMessageBox::Ok);
    drop({medium}, QMessageBox::No);
    drop({medium, missing}, QMessageBox::Ok);
    ASSERT_EQ(prompter.prompts().size(), 3u);
    EXPECT_EQ(text(0), "Overall data size is too large (3072 MBytes), uploading is not possible!");
    EXPECT_EQ(prompter.prompts()[1].caption, "WARNING");
    EXPECT_EQ(text(1), "Uploading these files may take time over 1 minute.\n\nShould we continue?");
    EXPECT_EQ(prompter.prompts()[2].caption, "ERROR");
    EXPECT_EQ(text(2), "Can't read file attributes for:\n\n" + missing.string());
    EXPECT_FALSE(fs::exists(cardPath("a.ser")));
    EXPECT_FALSE(fs::exists(cardPath("medium.ser")));
}

TEST_P(FsysCardTest, CancelledDownloadKeepsNoPartialFile) {
    hcsim::SimulatedHc& hc = connectHc();
    WriteHostFile(cardPath("LOGS/long_log_1.txt"), vt5test::Pattern(600000));
    CFSysDlg dlg(app);
    ASSERT_TRUE(dlg.start());
    dlg.openRow(row(dlg, "[LOGS]"));
    hc.chip()->setPaced(true);  // 2 seconds at the line's speed
    select(dlg, {"long_log_1.txt", "vt5_log_0307.txt"});
    button(dlg)->click();
    // Timer 888 shows the file and the amount so far.
    EXPECT_TRUE(waitUntil([&] {
        dlg.tick();
        return status(dlg).startsWith("1 of 2 (") && status(dlg) != "1 of 2 (0 kB)";
    }));
    EXPECT_TRUE(status(dlg).endsWith(" kB)"));
    EXPECT_GT(child<QProgressBar>(dlg, "progressTransfer")->value(), 0);
    button(dlg)->click();  // "Cancel"
    finishTransfer(dlg);
    EXPECT_EQ(status(dlg), "Download canceled by the user...");
    EXPECT_EQ(button(dlg)->text(), "Download files");
    const fs::path copies = myFolder() / uid() / "SD/LOGS";
    EXPECT_EQ(Tree(copies), "") << "neither the file nor its temporary copy";
}

TEST_P(FsysCardTest, CardPulledMidTransferEndsWithItsStatusAndClosesTheBrowser) {
    hcsim::SimulatedHc& hc = connectHc();
    CFSysDlg dlg(app);
    ASSERT_TRUE(dlg.start());
    dlg.openRow(row(dlg, "[LOGS]"));
    select(dlg, {"vt5_log_0307.txt", "vt5_log_0309.txt"});
    hc.control("fault card-pulled 100000");
    prompter.answer(QMessageBox::Ok);
    button(dlg)->click();
    finishTransfer(dlg);
    EXPECT_EQ(status(dlg), "Veltra-5 reported FileSystem error, code: 1");
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(text(0).substr(0, 42), "FileSystem is not available on the device.");
    EXPECT_EQ(dlg.result(), CFSysDlg::kCardFailed);
    EXPECT_EQ(Tree(myFolder() / uid() / "SD/LOGS"), "vt5_log_0307.txt");
}

TEST_P(FsysCardTest, LinkFailureMidTransferIsReportedAndClosesTheBrowser) {
    hcsim::SimulatedHc& hc = connectHc();
    CFSysDlg dlg(app);
    ASSERT_TRUE(dlg.start());
    select(dlg, {"notes.txt"});
    hc.unplug();
    prompter.answer(QMessageBox::Ok);
    button(dlg)->click();
    finishTransfer(dlg);
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.prompts()[0].caption, "Veltra-5 API returned error code");
    EXPECT_EQ(text(0).substr(0, 56), "Veltra-5 API returned an error code\n\nVeltra-5 API error ");
    EXPECT_TRUE(status(dlg).startsWith("Veltra-5 API error code: "));
    EXPECT_EQ(dlg.result(), CFSysDlg::kDeviceFailed);
}

// Through Gantrix's own API server: the browser keeps the file system section from its first
// command on, so another client's file system command waits (is refused) until it is gone.
TEST_F(FsysDlgTest, ThroughTheServerAnotherClientsFileSystemCommandWaitsForTheSection) {
    viaServer = true;
    hcsim::SimulatedHc& hc = connectHc();
    CVT5Api other;
    ASSERT_EQ(VT5_Open(&other, nullptr, "localhost", app.toolApi.serverPort, "Panelcast"), VT5_OK);
    {
        CFSysDlg dlg(app);
        ASSERT_TRUE(dlg.start());
        dlg.openRow(row(dlg, "[LOGS]"));
        hc.chip()->setPaced(true);
        select(dlg, {"vt5_log_0307.txt", "vt5_log_0309.txt"});
        child<QCheckBox>(dlg, "checkProcessAfterDownload")->setChecked(true);
        button(dlg)->click();
        int refused = 0;
        while (dlg.workerRunning()) {
            char path[64] = {};
            EXPECT_EQ(VT5cmd_FS_GetCurrentDir(&other, path, sizeof path, nullptr), VT5_E_LOCK);
            ++refused;
        }
        EXPECT_GT(refused, 0);
        prompter.answer(QMessageBox::Ok);
        finishTransfer(dlg);
        EXPECT_EQ(status(dlg), "Done");
        EXPECT_EQ(text(0), "vt5_log_0307.txt:\tOK\nvt5_log_0309.txt:\tOK\n");
        EXPECT_EQ(ReadHostFile(myFolder() / uid() / "SD/LOGS/vt5_log_0309.txt"),
                  ReadHostFile(cardPath("LOGS/vt5_log_0309.txt")));
    }
    VT5_Close(&app.toolApi);  // as the main dialog does when the browser has closed
    char path[64] = {};
    EXPECT_TRUE(waitUntil(
        [&] { return VT5cmd_FS_GetCurrentDir(&other, path, sizeof path, nullptr) == VT5_OK; }));
    EXPECT_STREQ(path, "/LOGS");
    VT5_Close(&other);
}

INSTANTIATE_TEST_SUITE_P(Link, FsysCardTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "ThroughServer" : "Direct";
                         });

}  // namespace
