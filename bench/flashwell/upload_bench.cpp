// Upload of a 1 MiB HC image against the simulated chip paced at 3,000,000 baud (300,000
// bytes/s at 10 bits a byte), directly and through Gantrix's API server on loopback. The
// counter link_share is the upload's rate as a share of the link's. Argument: the boot
// loader's erase time in ms (0: the link alone; 200: as the simulated HC erases).

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <thread>

#include "gantrix/server/server_thread.h"
#include "hcsim/boot/boot_loader_family.h"
#include "hcsim/hc/simulated_hc.h"
#include "tests/support/bus_fixture.h"
#include "tests/support/wire_client.h"
#include "vt5api/commands/update.h"

namespace {

constexpr size_t kImage = 1 << 20;
constexpr double kLinkBytesPerSecond = 300000.0;

using hcsim::boot::BootLoaderFamily;

struct Setup {
    Setup(bool served, int eraseMs) {
        hcsim::HcConfig config;
        config.startMode = hcsim::HcMode::Boot;
        hc = std::make_unique<hcsim::SimulatedHc>(bus.bus(), config);
        hc->chip()->setPaced(true);
        hc->with([eraseMs](hcsim::HcDevice& d) {
            d.family<BootLoaderFamily>()->setEraseTime(std::chrono::milliseconds(eraseMs));
        });
        hcsim::boot::ImageSpec spec;
        spec.version = 0x0200;
        spec.startWord = BootLoaderFamily::kStartWord;
        spec.description = "Benchmark image";
        spec.size = kImage;
        image = hcsim::boot::makeImage(spec);
        if (!served) {
            opened = VT5_Open(&api, nullptr, nullptr, 0, nullptr);
            return;
        }
        int port = vt5test::freeTcpPort();
        server.WithStatus([&](ServerStatus& s) { return s.configuredPort = port; });
        server.StartServerThread();
        for (int i = 0; i < 500 && server.WithStatus([](ServerStatus& s) {
                 return s.state != ServerStatus::kActive;
             });
             ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        opened = VT5_Open(&api, nullptr, "127.0.0.1", port, "Updater");
    }
    ~Setup() {
        VT5_Close(&api);
        server.StopServerThread();
    }

    vt5test::BusFixture bus;
    std::unique_ptr<hcsim::SimulatedHc> hc;
    ServerThread server;
    CVT5Api api;
    std::vector<uint8_t> image;
    int32_t opened = -1;
};

void upload(benchmark::State& state, bool served) {
    Setup s(served, static_cast<int>(state.range(0)));
    if (s.opened != VT5_OK) return state.SkipWithError("open failed");
    for (auto _ : state) {
        if (VT5cmd_UPD_UploadHC(&s.api, s.image.data(), static_cast<int32_t>(kImage),
                                BootLoaderFamily::kStartWord) != VT5_OK) {
            state.SkipWithError("upload failed");
            break;
        }
    }
    const double bytes = static_cast<double>(state.iterations()) * kImage;
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["link_share"] =
        benchmark::Counter(bytes / kLinkBytesPerSecond, benchmark::Counter::kIsRate);
}

void BM_UploadHcDirect(benchmark::State& state) {
    upload(state, false);
}
BENCHMARK(BM_UploadHcDirect)
    ->Arg(0)
    ->Arg(200)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_UploadHcThroughServer(benchmark::State& state) {
    upload(state, true);
}
BENCHMARK(BM_UploadHcThroughServer)
    ->Arg(0)
    ->Arg(200)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
