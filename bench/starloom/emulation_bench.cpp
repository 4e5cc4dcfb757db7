// Starloom's emulation step against HCs on the chip paced at 3,000,000 baud, directly and
// through the API server: the cost of one timer tick, and the frames per second sustained for
// the simulated HC's exposures of 0.1 to 4 s.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <thread>

#include "gantrix/server/server_thread.h"
#include "hcsim/hc/simulated_hc.h"
#include "platform/clock/clock.h"
#include "starloom/emulation/emulation_loop.h"
#include "tests/starloom/event_hc.h"
#include "tests/support/bus_fixture.h"
#include "tests/support/wire_client.h"

namespace {

using starloom::EmulationLoop;

constexpr int kTimerMs = 5;  // Starloom's emulation timer

// An HC on a paced chip, opened directly or through Gantrix's server thread, with Starloom's
// model and loop started on it.
struct Setup {
    // An HC whose events the benchmark writes.
    Setup(std::unique_ptr<vt5test::EventHc> device, bool served) {
        Connect(bus_.bus().plug(vt5test::hcIdentity("BENCH001"), std::move(device)), served);
    }
    // The simulated HC with its autoguider, taking exposures of this length.
    Setup(int exposureMs, bool served) {
        hcsim::HcConfig config;
        config.serial = "BENCH001";
        simulated_ = std::make_unique<hcsim::SimulatedHc>(bus_.bus(), config);
        simulated_->control("guider set exposure " + std::to_string(exposureMs));
        Connect(simulated_->chip(), served);
    }
    ~Setup() {
        loop.End();
        VT5_Close(&api);
        server_.StopServerThread();
    }

    vt5test::BusFixture bus_;  // first made, last gone: the HCs live on it
    std::shared_ptr<platform::vbus::Chip> chip_;
    std::unique_ptr<hcsim::SimulatedHc> simulated_;
    ServerThread server_;
    int32_t result = -1;
    CVT5Api api;
    std::unique_ptr<starloom::StarloomModel> model = std::make_unique<starloom::StarloomModel>();
    EmulationLoop loop{api, *model};

    void Connect(std::shared_ptr<platform::vbus::Chip> chip, bool served) {
        chip_ = std::move(chip);
        chip_->setPaced(true);
        if (served) {
            const int port = vt5test::freeTcpPort();
            server_.WithStatus([&](ServerStatus& s) { return s.configuredPort = port; });
            server_.StartServerThread();
            for (int i = 0; i < 500 && server_.WithStatus([](ServerStatus& s) {
                     return s.state != ServerStatus::kActive;
                 });
                 ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            result = VT5_Open(&api, nullptr, "127.0.0.1", port, "bench");
        } else {
            result = VT5_Open(&api, nullptr, nullptr, 0, nullptr);
        }
        loop.SetSeeingFile("");
        if (result == VT5_OK) result = loop.Begin([this] { loop.ApplyAll({}); });
    }
};

// A tick without events: the collect exchange alone.
void BM_TickIdle(benchmark::State& state) {
    Setup s(std::make_unique<vt5test::EventHc>(), state.range(0) != 0);
    if (s.result != VT5_OK) return state.SkipWithError("start failed");
    for (auto _ : state) {
        if (s.loop.Step() != VT5_OK) return state.SkipWithError("step failed");
    }
}
BENCHMARK(BM_TickIdle)->ArgName("served")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The busiest tick: an exposure of state.range(0) ms simulated from its start to its end, the
// frame made and sent (seed 2 at 176 mm, gain 6).
void BM_TickWithFrame(benchmark::State& state) {
    auto device = std::make_unique<vt5test::EventHc>();
    vt5test::EventHc& hc = *device;
    Setup s(std::move(device), state.range(1) != 0);
    if (s.result != VT5_OK) return state.SkipWithError("start failed");
    const auto exposure = static_cast<uint32_t>(state.range(0));
    uint32_t t = hc.hcTime;
    int64_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        hc.event(0x0A, t, static_cast<uint16_t>(0x6000 | exposure));
        hc.event(0x0B, t + exposure);
        t += exposure;
        state.ResumeTiming();
        if (s.loop.Step() != VT5_OK) return state.SkipWithError("step failed");
        bytes += static_cast<int64_t>(hc.frames.back().size());
    }
    state.counters["frame bytes"] = static_cast<double>(bytes) / state.iterations();
}
BENCHMARK(BM_TickWithFrame)
    ->ArgNames({"exposure_ms", "served"})
    ->ArgsProduct({{100, 1000, 4000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// The simulated HC takes guide exposures back to back; the loop runs as Starloom's timer does.
// Each iteration is one frame; frames per second = iterations per second of real time.
void BM_FramesPerSecond(benchmark::State& state) {
    Setup s(static_cast<int>(state.range(0)), state.range(1) != 0);
    if (s.result != VT5_OK) return state.SkipWithError("start failed");
    int frames = 0;
    s.loop.SetFrameSink([&](const starloom::FrameSent& f) { frames += f.skipped ? 0 : 1; });
    auto nextFrame = [&] {
        const int before = frames;
        while (frames == before) {
            if (s.loop.Step() != VT5_OK) return false;
            platform::sleepMs(kTimerMs);
        }
        return true;
    };
    if (!nextFrame()) return state.SkipWithError("no first frame");
    for (auto _ : state) {
        if (!nextFrame()) return state.SkipWithError("step failed");
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["ideal fps"] = 1000.0 / static_cast<double>(state.range(0));
}
BENCHMARK(BM_FramesPerSecond)
    ->ArgNames({"exposure_ms", "served"})
    ->Args({100, 0})
    ->Args({100, 1})
    ->Args({500, 0})
    ->Args({500, 1})
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Args({2000, 0})
    ->Args({2000, 1})
    ->Args({4000, 0})
    ->Args({4000, 1})
    ->Iterations(5)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
