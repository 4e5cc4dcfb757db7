// Panelcast's costs: decoding and drawing one frame, and the whole program mirroring an HC at
// 30 frames per second against the paced simulated chip (3,000,000 baud), directly and
// through the API server, with the time from Connect to the first frame on screen.
//
//   build/bench/panelcast/panelcast_bench

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "hcsim/display/display_family.h"
#include "hcsim/display/menu_screen.h"
#include "hcsim/display/update_stream.h"
#include "panelcast/panel_drawing.h"
#include "panelcast/panelcast_app.h"
#include "panelcast/panelcast_dlg.h"
#include "tests/support/bus_fixture.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/subprocess.h"
#include "vt5api/commands/display_decoder.h"

namespace {

using Clock = std::chrono::steady_clock;

// The HC's menu before and after a press of Down, as the HC draws it.
struct MenuFrames {
    hcsim::Screen before, after;
    MenuFrames() {
        std::vector<hcsim::MenuItem> items;
        for (const char* label :
             {"Button lights", "Light colour", "About this HC", "Restart to BOOT", "Switch off"})
            items.push_back({label, [](hcsim::MenuContext&) {}, {}, {}});
        hcsim::MenuState menu;
        menu.reset("Main menu", items);
        hcsim::drawMenuScreen(before, menu, {"FW 1.12", "21:43:07", ""});
        struct NoContext : hcsim::MenuContext {
            platform::TimePoint now() const override { return {}; }
            void showMessage(std::string) override {}
            void openPage(std::string, std::vector<hcsim::MenuItem>) override {}
            void back() override {}
            void powerOff() override {}
            void restartInto(hcsim::HcMode) override {}
        } context;
        menu.press(hcsim::kDown, context);
        hcsim::drawMenuScreen(after, menu, {"FW 1.12", "21:43:08", ""});
    }
};

void DecodeAndDraw(benchmark::State& state, const std::vector<uint8_t>& stream) {
    std::vector<uint16_t> frame(VT5_DISPLAY_PIXELS, 0);
    CBitmapRect canvas;
    canvas.Create(297, 463);
    ButtonImages images{};
    images.up.fill(200);
    VT5ButtonLights lights{};
    for (auto& b : lights.button)
        b = {6, 0};
    const DisplayPosition at = PlaceDisplay(296, 462);
    for (auto _ : state) {
        VT5DisplayDecoder decoder(frame.data(), static_cast<int32_t>(stream.size() / 2));
        decoder.Feed(stream.data(), stream.size());
        decoder.Finish();
        canvas.Fill(kPanelBackground);
        DrawDisplay(canvas, frame.data(), at);
        DrawButtonLights(canvas, lights, images, 296, at);
        DrawBorder(canvas, 296, true);
        benchmark::DoNotOptimize(canvas.Row(100));
    }
    state.counters["stream_bytes"] = static_cast<double>(stream.size());
}

void BM_DecodeAndDraw_MenuMove(benchmark::State& state) {
    MenuFrames m;
    auto before = m.before.pixels();
    DecodeAndDraw(state, hcsim::update_stream::encode(
                             hcsim::update_stream::changeWords(&before, m.after.pixels())));
}
BENCHMARK(BM_DecodeAndDraw_MenuMove);

void BM_DecodeAndDraw_WholeMenu(benchmark::State& state) {
    MenuFrames m;
    DecodeAndDraw(state, hcsim::ChangeTracker::snapshot(m.after));
}
BENCHMARK(BM_DecodeAndDraw_WholeMenu);

void BM_DecodeAndDraw_WholeNoise(benchmark::State& state) {
    std::vector<uint16_t> noise(VT5_DISPLAY_PIXELS);
    uint32_t x = 12345;
    for (auto& p : noise)
        p = static_cast<uint16_t>((x = x * 1103515245 + 12345) >> 16);
    DecodeAndDraw(state,
                  hcsim::update_stream::encode(hcsim::update_stream::changeWords(nullptr, noise)));
}
BENCHMARK(BM_DecodeAndDraw_WholeNoise);

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void RunEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Panelcast's dialog mirrors the HC of a paced vt5-hcsim for 5 s at 30 fps, directly or
// through a vt5-server: the CPU time of this process (Panelcast alone: the HC and the
// server are other processes) over the wall time, the frames drawn, and Connect to the
// first frame.
void Mirror(benchmark::State& state, bool throughServer) {
    vt5test::BusFixture bus;
    bus.useDaemon();
    const std::string registry = bus.dir().file("registry.reg");
    ::setenv("VT5_REGISTRY", registry.c_str(), 1);
    vt5test::Subprocess hcsim(
        {VT5_HCSIM_PATH, "--bus", bus.busSocket(), "--paced", "--serial", "HC000001"});
    if (!hcsim.waitFor("VT5_USB_BUS=")) return state.SkipWithError("vt5-hcsim did not start");
    std::unique_ptr<vt5test::Subprocess> server;
    const int port = 5937 + 1000 + static_cast<int>(::getpid() % 2000);
    if (throughServer) {
        server = std::make_unique<vt5test::Subprocess>(
            std::vector<std::string>{VT5_SERVER_PATH, "--port", std::to_string(port), "--serial",
                                     "HC000001"},
            true);
        if (!server->waitFor("listening on port"))
            return state.SkipWithError("vt5-server did not start");
    }
    int argc = 1;
    char name[] = "panelcast_bench";
    char* argv[] = {name, nullptr};
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    vt5test::ScriptedPrompter prompter;
    CPanelcastApp app(prompter);
    for (auto _ : state) {
        CPanelcastDlg dialog(app);
        if (throughServer) {
            dialog.Options().connectToServer = 1;
            dialog.Options().serverAddress = "127.0.0.1";
            dialog.Options().serverPort = port;
        }
        dialog.findChild<QLineEdit*>(QStringLiteral("editFrameRate"))->setText("30");
        dialog.findChild<QPushButton*>(QStringLiteral("buttonApply"))->click();
        dialog.show();
        int frames = 0;
        Clock::time_point first{};
        QObject::connect(&dialog, &CPanelcastDlg::frameDrawn, [&] {
            if (frames++ == 0) first = Clock::now();
        });
        const Clock::time_point clicked = Clock::now();
        dialog.findChild<QPushButton*>(QStringLiteral("buttonConnect"))->click();
        if (dialog.ConnectionState() != CPanelcastDlg::kConnected)
            return state.SkipWithError("Panelcast did not connect");
        RunEventLoop(1000);  // connected and settled
        const int framesBefore = frames;
        const double cpuBefore = CpuSeconds();
        const Clock::time_point wallBefore = Clock::now();
        RunEventLoop(5000);
        const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
        state.counters["cpu_percent"] = 100.0 * (CpuSeconds() - cpuBefore) / wall;
        state.counters["fps"] = (frames - framesBefore) / wall;
        state.counters["connect_to_first_frame_ms"] =
            std::chrono::duration<double, std::milli>(first - clicked).count();
        dialog.findChild<QPushButton*>(QStringLiteral("buttonConnect"))->click();
    }
}

void BM_Panelcast30fps_Direct(benchmark::State& state) {
    Mirror(state, false);
}
BENCHMARK(BM_Panelcast30fps_Direct)->Iterations(1)->Unit(benchmark::kSecond);

void BM_Panelcast30fps_ThroughServer(benchmark::State& state) {
    Mirror(state, true);
}
BENCHMARK(BM_Panelcast30fps_ThroughServer)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
