// Panelcast through Gantrix's API server: the same mirror, keys and screenshot over TCP. The
// server runs on its own thread, where a virtual clock cannot stand in: real time.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <chrono>
#include <thread>

#include "gantrix/server/server_thread.h"
#include "tests/panelcast/panelcast_fixture.h"
#include "tests/support/free_port.h"

namespace {

class PanelcastServerTest : public vt5test::PanelcastTest {
protected:
    ~PanelcastServerTest() override {
        dlg.reset();
        server.StopServerThread();
    }

    // Serves the plugged HC on a free port; false when the server did not start.
    bool startServer() {
        port = vt5test::FreeTcpPort();
        server.WithStatus([&](ServerStatus& s) {
            s.configuredPort = port;
            std::snprintf(s.servedSerial, sizeof s.servedSerial, "%s", hc->serial().c_str());
            s.openPending = true;
        });
        server.StartServerThread();
        for (int waited = 0; waited < 3000; waited += 10) {
            int state = server.WithStatus([](ServerStatus& s) { return s.state; });
            if (state != ServerStatus::kStarting) return state == ServerStatus::kActive;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    void connectThroughServer() {
        dialog().Options().connectToServer = 1;
        dialog().Options().serverAddress = "127.0.0.1";
        dialog().Options().serverPort = port;
        clickConnect();
        ASSERT_EQ(dialog().ConnectionState(), CPanelcastDlg::kConnected);
        ASSERT_EQ(dialog().Api().link->Mode(), VT5_MODE_CLIENT);
    }
    void expectMirror() {
        std::vector<uint16_t> screen = hcScreen();
        for (int y = 0; y < 320; y += 3)
            for (int x = 0; x < 240; x += 3)
                ASSERT_EQ(panelPixel(x, y), DisplayPixel(screen[static_cast<size_t>(y) * 240 + x]))
                    << x << ", " << y;
    }
    void tap(int key) {
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, key, Qt::NoModifier);
            QApplication::sendEvent(&dialog(), &event);
        }
    }

    ServerThread server;
    int32_t port = 0;
};

TEST_F(PanelcastServerTest, MirrorsKeysAndScreenshotThroughTheServer) {
    plugHc();
    ASSERT_TRUE(startServer());
    connectThroughServer();
    for (const char* delivery : {"auto", "streamed", "framed"}) {
        ASSERT_EQ(hc->control(std::string("delivery ") + delivery), "ok");
        dialog().updateDisplay();
        expectMirror();
        tap(Qt::Key_Down);
        dialog().updateDisplay();
        expectMirror();
    }
    EXPECT_TRUE(prompter.prompts().empty());
    child<QPushButton>(dialog(), "buttonScreenshot")->click();
    ASSERT_EQ(clipboard.width, 240);
    EXPECT_EQ(clipboard.pixels[100 * 240 + 100], panelPixel(100, 100));
}

TEST_F(PanelcastServerTest, PowerOffThroughTheServerIsNotified) {
    plugHc();
    ASSERT_TRUE(startServer());
    connectThroughServer();
    dialog().updateDisplay();
    ASSERT_EQ(hc->control("power-off"), "ok");
    prompter.answer(QMessageBox::Ok);
    dialog().updateDisplay();
    EXPECT_EQ(dialog().ConnectionState(), CPanelcastDlg::kDisconnected);
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.prompts()[0].text.toStdString(), "Veltra-5 has been powered off");
}

}  // namespace
