// Starloom's emulation against the simulated HC with its camera emulation and autoguider, on
// the virtual clock: the dialog shows the frames the HC asks for and the HC finds its star in
// them; the command-line loop does the same through the API server while another client reads
// the HC's identity.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QPushButton>
#include <atomic>
#include <cstdio>
#include <thread>

#include "gantrix/server/server_thread.h"
#include "hcsim/camera/camera_emulation_family.h"
#include "hcsim/hc/simulated_hc.h"
#include "platform/clock/clock.h"
#include "starloom/app/frame_view_control.h"
#include "starloom/app/starloom_dlg.h"
#include "tests/options/gui_test.h"
#include "tests/support/recording_clipboard.h"
#include "tests/support/wire_client.h"
#include "tests/support/wire_tap.h"
#include "tools/vt5-emulate/emulate_run.h"
#include "vt5api/commands/display.h"
#include "vt5api/commands/emulation.h"
#include "vt5api/commands/identity.h"

namespace {

using hcsim::camera::Autoguider;

// A simulated HC with the camera emulation, its card in a private folder.
class EmulationOnHc : public vt5test::GuiTest {
protected:
    EmulationOnHc() {
        hcsim::HcConfig config;
        config.serial = "EMUHC001";
        config.cardDir = bus.dir().path() / "card";
        std::filesystem::create_directories(config.cardDir);
        hc = std::make_unique<hcsim::SimulatedHc>(bus.bus(), config);
    }

    Autoguider::Counters counters() {
        return hc->with([](hcsim::HcDevice& d) {
            return d.family<hcsim::CameraEmulationFamily>()->autoguider().counters();
        });
    }
    Autoguider::Mode guiderMode() {
        return hc->with([](hcsim::HcDevice& d) {
            return d.family<hcsim::CameraEmulationFamily>()->autoguider().mode();
        });
    }

    platform::VirtualClock virtualClock;
    platform::ScopedClock useVirtual{virtualClock};
    std::unique_ptr<hcsim::SimulatedHc> hc;
};

TEST_F(EmulationOnHc, DialogSendsFramesTheHcDecodesAndGuidesOn) {
    CStarloomw32Dlg dlg(prompter);
    dlg.findChild<QPushButton*>(QStringLiteral("buttonStart"))->click();
    ASSERT_TRUE(dlg.running());
    auto runFor = [&](int seconds) {
        for (int ms = 0; ms < seconds * 1000 && dlg.running(); ms += CStarloomw32Dlg::kTimerMs) {
            dlg.emulationStep();
            platform::sleepMs(CStarloomw32Dlg::kTimerMs);
        }
    };
    runFor(8);
    EXPECT_EQ(hc->control("guide start").substr(0, 2), "ok");
    runFor(60);
    ASSERT_TRUE(dlg.running()) << (prompter.texts().empty() ? "" : prompter.texts()[0]);
    EXPECT_EQ(guiderMode(), Autoguider::Mode::Guiding);
    const Autoguider::Counters c = counters();
    EXPECT_GT(c.frames, 20);
    EXPECT_EQ(c.invalid, 0);
    EXPECT_EQ(c.empty, 0);
    EXPECT_EQ(c.missed, 0);
    // The view shows the last frame: its brightest pixel is a star, brighter than the sky.
    const std::span<const uint16_t> frame = dlg.model().frames().frameImage();
    const auto brightest = std::max_element(frame.begin(), frame.end()) - frame.begin();
    EXPECT_GT(dlg.view().canvas().GetPixel(static_cast<int>(brightest % 1288),
                                           static_cast<int>(brightest / 1288)) &
                  0xFF,
              32u);

    dlg.findChild<QPushButton*>(QStringLiteral("buttonStart"))->click();
    EXPECT_FALSE(dlg.running());
    EXPECT_EQ(guiderMode(), Autoguider::Mode::Off);
    EXPECT_TRUE(prompter.prompts().empty());
}

TEST_F(EmulationOnHc, ScreenshotPutsTheHcsDisplayOnTheClipboardWhileEmulating) {
    vt5test::RecordingClipboard clipboard;
    platform::clipboard::ScopedClipboard useClipboard(clipboard);
    CStarloomw32Dlg dlg(prompter);
    dlg.setScreenshot(VT5cmd_DisplayToClipboard);
    auto* screenshot = dlg.findChild<QPushButton*>(QStringLiteral("buttonScreenshot"));
    ASSERT_TRUE(screenshot->isEnabled());
    dlg.findChild<QPushButton*>(QStringLiteral("buttonStart"))->click();
    for (int ms = 0; ms < 3000; ms += CStarloomw32Dlg::kTimerMs) {
        dlg.emulationStep();
        platform::sleepMs(CStarloomw32Dlg::kTimerMs);
    }
    screenshot->click();
    EXPECT_EQ(clipboard.width, 240);
    EXPECT_EQ(clipboard.height, 320);
    EXPECT_TRUE(prompter.prompts().empty());

    clipboard.failOpen = true;
    prompter.answer(QMessageBox::Ok);
    screenshot->click();
    ASSERT_EQ(prompter.texts().size(), 1u);
    EXPECT_EQ(prompter.texts()[0], "Can't access Windows' clipboard");
    // The emulation went on around the screenshots.
    dlg.emulationStep();
    EXPECT_TRUE(dlg.running());
    EXPECT_GT(counters().frames, 0);
}

TEST_F(EmulationOnHc, CommandLineLoopThroughTheServerBesideAnotherClient) {
    ServerThread server;
    const int port = vt5test::freeTcpPort();
    server.WithStatus([&](ServerStatus& s) {
        s.configuredPort = port;
        return 0;
    });
    server.StartServerThread();
    for (int i = 0; i < 500 && server.WithStatus([](ServerStatus& s) {
             return s.state != ServerStatus::kActive;
         });
         ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    vt5test::WireTap tap(port);

    CVT5Api api;
    ASSERT_EQ(VT5_Open(&api, nullptr, "127.0.0.1", tap.port(), "vt5-emulate"), VT5_OK);
    // Before the start the HC refuses to hand out events: the failure gives the section back.
    VT5EmuEvent* none = nullptr;
    EXPECT_EQ(VT5cmd_EMU_GetEvents(&api, &none, nullptr), VT5_E_CANT_EXECUTE);
    ASSERT_FALSE(tap.requests().empty());
    EXPECT_EQ(tap.requests().back().identifier, 0x7E1E5C3Du);
    EXPECT_EQ(vt5test::getLe16(tap.requests().back().payload, 0), 0x5A74);
    tap.clear();
    // The other client reads the HC's identity over and over while the emulation runs.
    std::atomic<bool> done{false};
    std::atomic<int> reads{0}, failures{0};
    std::thread reader([&] {
        CVT5Api other;
        if (VT5_Open(&other, nullptr, "127.0.0.1", tap.port(), "vt5-info") != VT5_OK) {
            ++failures;
            return;
        }
        while (!done) {
            VT5DeviceInfo info{};
            if (VT5cmd_GetDeviceInfo(&other, &info) == VT5_OK &&
                std::string(info.serial) == "EMUHC001")
                ++reads;
            else
                ++failures;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        VT5_Close(&other);
    });

    cli::CommandLine line = emulate::MakeCommandLine();
    const char* argv[] = {"vt5-emulate", "--seconds", "5", "--alt-error", "600"};
    ASSERT_FALSE(line.Parse(5, argv));
    auto options = emulate::ReadOptions(line);
    ASSERT_TRUE(options);
    std::atomic<bool> stop{false};
    std::FILE* out = std::tmpfile();
    EXPECT_EQ(emulate::Run(line, *options, api, stop, out), 0);
    done = true;
    reader.join();
    VT5_Close(&api);
    std::fclose(out);
    {
        platform::SteadyClock steady;
        platform::ScopedClock realTime(steady);
        server.StopServerThread();
    }

    const Autoguider::Counters c = counters();
    EXPECT_GE(c.frames, 3);
    EXPECT_EQ(c.invalid, 0);
    EXPECT_EQ(c.missed, 0);
    EXPECT_GT(reads, 0);
    EXPECT_EQ(failures, 0);
    // The emulating client worked in the camera emulation section and kept it: no command
    // failed, so every unlock left the section.
    int locks = 0;
    for (const vt5test::TappedRequest& r : tap.requests()) {
        if (r.connection != 0) continue;
        if (r.identifier == 0xACCE5C3D && vt5test::getLe16(r.payload, 0) == 0x5A74) ++locks;
        if (r.identifier == 0x7E1E5C3D) {
            EXPECT_EQ(vt5test::getLe16(r.payload, 0), 0);
        }
    }
    EXPECT_GT(locks, 300);
}

}  // namespace
