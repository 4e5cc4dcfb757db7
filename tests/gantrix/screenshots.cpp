// gantrix-screenshots: renders Gantrix's windows offscreen into PNG files, for looking at
// the layouts without a display. Usage: gantrix-screenshots OUTPUT_FOLDER

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "gantrix/app/api_server_dlg.h"
#include "gantrix/app/card_browser/fsys_dlg.h"
#include "gantrix/app/gantrix_app.h"
#include "gantrix/app/gantrix_dlg.h"
#include "gantrix/app/gantrix_texts.h"
#include "gantrix/app/my_folder.h"
#include "hcsim/hc/simulated_hc.h"
#include "platform/ftd2xx/driver.h"
#include "tests/support/screenshots.h"
#include "vt5api/options/named_devices.h"
#include "vt5api/ui/conn_dlg.h"
#include "vt5api/ui/prompter.h"

namespace {

bool Save(QWidget& w, const QDir& folder, const char* name) {
    return vt5test::SaveScreenshot(w, folder, name);
}

// Shows a message box through the program's Prompter and saves it as it appears.
bool SaveMessage(Prompter& prompter, QWidget* parent, const QDir& folder, const char* name,
                 const char* caption, const std::string& text, QMessageBox::Icon icon,
                 QMessageBox::StandardButtons buttons) {
    bool ok = false;
    QTimer::singleShot(100, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            ok = Save(*box, folder, name);
            box->close();
        }
    });
    prompter.message(parent, caption, text, icon, buttons);
    return ok;
}

void MakeFile(const QString& path, qint64 size) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(QByteArray(size, 'x'));
}

}  // namespace

int main(int argc, char** argv) {
    const auto output = vt5test::ScreenshotFolder(argc, argv, "gantrix-screenshots");
    if (!output) return 2;
    const QDir& folder = *output;
    QApplication application(argc, argv);

    platform::vbus::LocalBus bus;
    platform::ftd2xx::ScopedBackend attach(bus);
    // A card with a night's logs, and reports of earlier nights in "My folder".
    const QDir card(folder.filePath(QStringLiteral("card")));
    const QDir myFolder(folder.filePath(QStringLiteral("My folder")));
    MakeFile(card.filePath(QStringLiteral("notes.txt")), 120);
    for (const char* name : {"vt5_log_0307.txt", "vt5_log_0308.txt", "vt5_log_0309.txt",
                             "vt5_log_0310.txt", "vt5_log_0311.txt"})
        MakeFile(card.filePath(QStringLiteral("LOGS/") + QLatin1String(name)), 92708);
    QDir(card.filePath(QStringLiteral("LOGS/2020"))).mkpath(QStringLiteral("."));
    for (const char* name : {"vt5_log_0301", "vt5_log_0302", "vt5_log_0304"}) {
        MakeFile(myFolder.filePath(QStringLiteral("A1B2C3D4E5F6G7H/Processed/") +
                                   QLatin1String(name) + QStringLiteral("/guiexpo_1.html")),
                 10);
    }

    hcsim::HcConfig config;
    config.serial = "HC000042";
    config.cardDir = card.absolutePath().toStdString();
    hcsim::SimulatedHc hc(bus, config);
    config.cardDir.clear();
    config.serial = "HC000043";
    hcsim::SimulatedHc second(bus, config);
    SetNamedDevice("HC000042", "Observatory pier", 0);
    SetNamedDevice("HC000017", "Travel kit", 0);

    QtPrompter prompter;
    CGantrixApp app(prompter);
    StoreMyFolder(app.settingsKey, "/home/observer/Veltra-5 downloads");
    VT5ConnectionOptions serverOptions;
    serverOptions.programKey = VT5_KEY_GANTRIX_SERVER;
    serverOptions.directAccessId = "HC000042";
    SaveOptions(serverOptions);

    bool ok = true;
    CGantrixDlg main(app);
    ok &= Save(main, folder, "gantrix-main.png");

    {
        CAPIServerDlg server(app, &main);
        server.tick();
        ok &= Save(server, folder, "api-server-off.png");
        server.findChild<QPushButton*>(QStringLiteral("buttonStartStop"))->click();

        CVT5Api starloom, panelcast;
        int32_t port = 0;
        app.server.IsServerRunning(nullptr, &port);
        VT5_Open(&starloom, nullptr, "localhost", port, "Starloom");
        VT5_Open(&panelcast, nullptr, "localhost", port, "Panelcast");
        starloom.link->Lock(62748);
        starloom.link->Unlock(0);
        starloom.link->Lock(23156);
        starloom.link->Unlock(0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        // A forced refresh asks the server thread for a fresh copy, shown at a later tick.
        app.serverListCountdown = 0;
        server.tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        server.tick();
        ok &= Save(server, folder, "api-server-active.png");
    }
    // The server dialog runs modally; close it as soon as it shows.
    QTimer::singleShot(200, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    main.openApiServer();
    ok &= Save(main, folder, "gantrix-main-active.png");
    app.server.StopServerThread();

    VT5ConnectionOptions options;
    options.programKey = VT5_KEY_GANTRIX;
    options.directAccessId = "HC000042";
    {
        CVT5ConnDlg conn(options, &main);
        conn.findChild<QPushButton*>(QStringLiteral("buttonRefresh"))->click();
        conn.findChild<QListWidget*>(QStringLiteral("listConnected"))->setCurrentRow(1);
        ok &= Save(conn, folder, "conn-options-direct.png");
    }
    options.connectToServer = 1;
    options.serverAddress = "observatory.local";
    options.serverPort = 6000;
    {
        CVT5ConnDlg conn(options, &main);
        ok &= Save(conn, folder, "conn-options-server.png");
    }
    ok &= SaveMessage(prompter, &main, folder, "message-close.png", kCaptionQuestion,
                      kCloseQuestion, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
    char error[1024];
    std::snprintf(error, sizeof error, kApiErrorFormat, kNoDeviceAtServer, 35,
                  VT5_GetErrorText(35));
    ok &= SaveMessage(prompter, &main, folder, "message-error.png", kCaptionError, error,
                      QMessageBox::Warning, QMessageBox::Ok);

    {
        StoreMyFolder(app.settingsKey, myFolder.absolutePath().toStdString());
        VT5_Open(&app.toolApi, "HC000042", nullptr, 0, "Gantrix - FileSystem");
        app.noConnection = false;
        CFSysDlg browser(app);
        browser.start();
        auto* list = browser.findChild<QTreeWidget*>(QStringLiteral("listCard"));
        browser.openRow(list->findItems(QStringLiteral("[LOGS]"), Qt::MatchExactly).value(0));
        for (int i = 2; i < 4; ++i)
            list->topLevelItem(i)->setSelected(true);
        ok &= Save(browser, folder, "fsys-browser.png");

        // A download on the paced line, half a second in.
        hc.chip()->setPaced(true);
        browser.findChild<QPushButton*>(QStringLiteral("buttonDownload"))->click();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        browser.tick();
        ok &= Save(browser, folder, "fsys-download.png");
        browser.findChild<QPushButton*>(QStringLiteral("buttonDownload"))->click();
        while (browser.workerRunning())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        browser.tick();
        hc.chip()->setPaced(false);
        VT5_Close(&app.toolApi);
    }
    return ok ? 0 : 1;
}
