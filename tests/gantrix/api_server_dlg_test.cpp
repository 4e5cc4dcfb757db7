// The API server dialog against a real server thread and simulated HC: ticks are called
// directly, 50 ms of real time apart as the dialog's timer would.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <thread>

#include "gantrix/app/api_server_dlg.h"
#include "gantrix/app/gantrix_texts.h"
#include "tests/gantrix/api_server_dlg_fixture.h"
#include "vt5api/options/named_devices.h"
#include "vt5api/ui/conn_dlg.h"
#include "vt5api/ui/ui_text.h"

namespace {

using vt5test::ApiServerDlgTest;

TEST_F(ApiServerDlgTest, OpensOffWithEverythingEditable) {
    CAPIServerDlg dlg(app);
    EXPECT_EQ(dlg.windowTitle(), "Veltra-5 API Server (ver. 1.20) state and options");
    EXPECT_FALSE(startStop(dlg)->isEnabled()) << "until the first tick";
    dlg.tick();
    EXPECT_EQ(state(dlg), "OFF");
    EXPECT_EQ(startStop(dlg)->text(), "Start Server");
    EXPECT_TRUE(startStop(dlg)->isEnabled());
    EXPECT_TRUE(port(dlg)->isEnabled());
    EXPECT_EQ(port(dlg)->text(), "");
    EXPECT_TRUE(child<QPushButton>(dlg, "buttonOptions")->isEnabled());
    EXPECT_EQ(device(dlg), "");
    EXPECT_TRUE(rows(dlg).empty());
    QFont stateFont = child<QLabel>(dlg, "labelState")->font();
    EXPECT_EQ(stateFont.pixelSize(), 22);
    EXPECT_EQ(stateFont.weight(), QFont::Medium);
    EXPECT_EQ(dlg.serverOptions().programKey, "Gantrix - API server");
    EXPECT_EQ(dlg.serverOptions().serverOptionAllowed, 0);
}

TEST_F(ApiServerDlgTest, WhyTheServerWentOffIsShownUnderOffUntilTheNextStart) {
    const std::string why = "TCP port 5937 is in use by vt5-server (process 4242)";
    CAPIServerDlg dlg(app);
    auto* reason = child<QLabel>(dlg, "labelStateReason");
    dlg.tick();
    EXPECT_TRUE(reason->isHidden()) << "nothing went wrong yet";

    // As the server thread leaves it after a start that failed.
    app.server.WithStatus([&](ServerStatus& s) { s.startFailure = why; });
    dlg.tick();
    EXPECT_EQ(state(dlg), "OFF");
    EXPECT_FALSE(reason->isHidden());
    EXPECT_EQ(reason->text().toStdString(), why);

    startOn(dlg, freePort());
    ASSERT_TRUE(tickUntil(dlg, [&] { return state(dlg) == "Active"; }));
    EXPECT_TRUE(reason->isHidden());
    EXPECT_EQ(app.server.WithStatus([](ServerStatus& s) { return s.startFailure; }), "")
        << "a start forgets the reason of the one before";
    startStop(dlg)->click();
    EXPECT_FALSE(app.server.IsServerRunning());
}

TEST_F(ApiServerDlgTest, StartingStateLeavesNothingToPress) {
    CAPIServerDlg dlg(app);
    app.server.WithStatus([](ServerStatus& s) { s.state = ServerStatus::kStarting; });
    dlg.tick();
    EXPECT_EQ(state(dlg), "Starting...");
    EXPECT_EQ(startStop(dlg)->text(), "Stop Server");
    EXPECT_FALSE(startStop(dlg)->isEnabled());
    EXPECT_FALSE(port(dlg)->isEnabled());
    EXPECT_FALSE(child<QPushButton>(dlg, "buttonOptions")->isEnabled());
    app.server.WithStatus([](ServerStatus& s) { s.state = ServerStatus::kOff; });
}

TEST_F(ApiServerDlgTest, PortTextIsReadAsPercentDAndStoppingKeepsItsOwnPort) {
    const int32_t freePortNumber = freePort();
    CAPIServerDlg dlg(app);
    dlg.tick();
    port(dlg)->setText(QString::number(freePortNumber) + "x");
    startStop(dlg)->click();
    ASSERT_TRUE(tickUntil(dlg, [&] { return state(dlg) == "Active"; }));
    EXPECT_EQ(app.server.WithStatus([](ServerStatus& s) { return s.portInUse; }), freePortNumber);
    EXPECT_EQ(startStop(dlg)->text(), "Stop Server");
    EXPECT_TRUE(startStop(dlg)->isEnabled());
    EXPECT_FALSE(port(dlg)->isEnabled());
    EXPECT_FALSE(child<QPushButton>(dlg, "buttonOptions")->isEnabled());

    CVT5Api client;
    ASSERT_EQ(VT5_Open(&client, nullptr, "127.0.0.1", freePortNumber, "Starloom"),
              VT5_E_CANNOT_OPEN)
        << "no HC plugged in, but the server answers";
    startStop(dlg)->click();
    EXPECT_FALSE(app.server.IsServerRunning());
    dlg.tick();
    EXPECT_EQ(state(dlg), "OFF");
    EXPECT_EQ(port(dlg)->text(), QString::number(freePortNumber) + "x");
    EXPECT_EQ(app.server.WithStatus([](ServerStatus& s) { return s.configuredPort; }), 0);
    EXPECT_TRUE(rows(dlg).empty());
}

TEST_F(ApiServerDlgTest, TextThatIsNoPortIsRefused) {
    CAPIServerDlg dlg(app);
    dlg.tick();
    for (const char* text : {"port", "70000", "-1"}) {
        prompter.answer(QMessageBox::Ok);
        port(dlg)->setText(QString::fromLatin1(text));
        startStop(dlg)->click();
        EXPECT_FALSE(app.server.IsServerRunning()) << text;
    }
    ASSERT_EQ(prompter.prompts().size(), 3u);
    EXPECT_EQ(prompter.prompts()[0].caption, "Error");
    EXPECT_EQ(prompter.prompts()[0].icon, QMessageBox::Warning);
    EXPECT_EQ(prompter.texts()[0], "Enter a valid TCP port number before starting the Server!");
}

TEST_F(ApiServerDlgTest, ServedHcIsOpenedAtTheStartAndShown) {
    plugHc("HC000042");
    SetNamedDevice("HC000042", "Observatory pier", 0);
    saveServedId("HC000042");
    CAPIServerDlg dlg(app);
    startOn(dlg, freePort());
    // Past "Starting..." and the plain "Active" of a server without its HC yet.
    ASSERT_TRUE(tickUntil(dlg, [&] { return state(dlg).startsWith("Active ("); }))
        << state(dlg).toStdString();
    EXPECT_EQ(state(dlg), "Active (open to 'Observatory pier')");
    EXPECT_EQ(device(dlg), " Fw. mode\n Ver.: 1.12 / 0003");
}

TEST_F(ApiServerDlgTest, SevenCharacterIdLeavesTheChoiceToTheFirstClient) {
    plugHc("HC000042");
    saveServedId("HC00004");
    CAPIServerDlg dlg(app);
    const int32_t serverPort = freePort();
    startOn(dlg, serverPort);
    ASSERT_TRUE(tickUntil(dlg, [&] { return state(dlg) == "Active"; }));
    EXPECT_EQ(app.server.WithStatus([](ServerStatus& s) {
        return std::string(s.servedSerial) + (s.openPending ? " pending" : "");
    }),
              "");
    EXPECT_EQ(device(dlg), "");

    CVT5Api client;
    ASSERT_EQ(VT5_Open(&client, nullptr, "127.0.0.1", serverPort, "Panelcast"), VT5_OK);
    EXPECT_TRUE(tickUntil(dlg, [&] { return state(dlg) == "Active (open to 'HC000042')"; }))
        << state(dlg).toStdString();
    VT5_Close(&client);
}

TEST_F(ApiServerDlgTest, SectionsOfAClientShowWithinAboutASecond) {
    plugHc("HC000042");
    CAPIServerDlg dlg(app);
    const int32_t serverPort = freePort();
    startOn(dlg, serverPort);
    CVT5Api client;
    ASSERT_EQ(VT5_Open(&client, nullptr, "127.0.0.1", serverPort, "Starloom"), VT5_OK);
    // A new client shows at once, its application ID (sent after connecting) with the next
    // forced refresh; the number of clients does not change with a claim either.
    constexpr int kAboutASecond = 23;
    ASSERT_TRUE(tickUntil(
        dlg, [&] { return rows(dlg).size() == 1 && rows(dlg)[0][0] == "Starloom"; },
        kAboutASecond));
    EXPECT_EQ(rows(dlg)[0][1].rfind("127.0.0.1 : ", 0), 0u) << rows(dlg)[0][1];
    EXPECT_EQ(rows(dlg)[0][2], "");

    ASSERT_EQ(client.link->Lock(62748), VT5_OK);
    ASSERT_EQ(client.link->Unlock(0), VT5_OK);
    EXPECT_TRUE(tickUntil(
        dlg, [&] { return rows(dlg)[0][2] == "FS "; }, kAboutASecond));
    ASSERT_EQ(client.link->Lock(23156), VT5_OK);
    ASSERT_EQ(client.link->Unlock(0), VT5_OK);
    EXPECT_TRUE(tickUntil(
        dlg, [&] { return rows(dlg)[0][2] == "FS ESKY "; }, kAboutASecond));
    VT5_Close(&client);
}

TEST_F(ApiServerDlgTest, ReopenedDialogShowsTheRunningServerAtOnce) {
    plugHc("HC000042");
    const int32_t serverPort = freePort();
    {
        CAPIServerDlg first(app);
        startOn(first, serverPort);
        ASSERT_TRUE(tickUntil(first, [&] { return state(first) == "Active"; }));
    }
    CVT5Api client;
    ASSERT_EQ(VT5_Open(&client, nullptr, "127.0.0.1", serverPort, "Updater"), VT5_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    app.serverListCountdown = 20;  // the shared countdown has just restarted

    CAPIServerDlg again(app);
    EXPECT_EQ(port(again)->text(), QString::number(serverPort));
    again.tick();
    EXPECT_EQ(state(again), "Active (open to 'HC000042')");
    EXPECT_FALSE(port(again)->isEnabled());
    EXPECT_TRUE(tickUntil(
        again, [&] { return rows(again).size() == 1; }, 22));
    VT5_Close(&client);
}

TEST_F(ApiServerDlgTest, FailedStartGoesBackToOffWithoutAMessage) {
    int busy = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(busy, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(busy, 1), 0);
    ::getsockname(busy, reinterpret_cast<sockaddr*>(&address), &size);

    CAPIServerDlg dlg(app);
    startOn(dlg, ntohs(address.sin_port));
    EXPECT_TRUE(tickUntil(dlg, [&] { return !app.server.IsServerRunning(); }));
    dlg.tick();
    EXPECT_EQ(state(dlg), "OFF");
    EXPECT_EQ(startStop(dlg)->text(), "Start Server");
    EXPECT_EQ(app.server.WithStatus([](ServerStatus& s) { return s.threadResult; }), VT5_E_TCP);
    ::close(busy);
}

TEST_F(ApiServerDlgTest, HcConnectionOptionsChooseTheServedHcButNoServer) {
    SetNamedDevice("HC000042", "Observatory pier", 0);
    CAPIServerDlg dlg(app);
    dlg.tick();
    QTimer::singleShot(0, [] {
        auto* conn = qobject_cast<CVT5ConnDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(conn, nullptr);
        EXPECT_FALSE(child<QRadioButton>(*conn, "radioServer")->isEnabled());
        child<QCheckBox>(*conn, "checkSpecific")->setChecked(true);
        auto* named = child<QTreeWidget>(*conn, "listNamed");
        named->setCurrentItem(named->topLevelItem(0));
        child<QPushButton>(*conn, "buttonSave")->click();
    });
    child<QPushButton>(dlg, "buttonOptions")->click();
    EXPECT_EQ(dlg.serverOptions().directAccessId, "HC000042");
    VT5ConnectionOptions stored;
    stored.programKey = VT5_KEY_GANTRIX_SERVER;
    EXPECT_EQ(LoadOptions(stored), 0);
    EXPECT_EQ(stored.directAccessId, "HC000042");
}

}  // namespace
