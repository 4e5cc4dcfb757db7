// Upload of a 1 MiB HC image against the simulated chip paced at 3,000,000 baud (300,000
// bytes/s at 10 bits a byte), directly and through Gantrix's API server on loopback. The
// counter link_share is the upload's rate as a share of the link's. Argument: the boot
// loader's erase time in ms (0: the link alone; 200: as the simulated HC erases).

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "bench/support/bench_hc.h"
#include "hcsim/boot/boot_loader_family.h"
#include "vt5api/commands/update.h"

namespace {

constexpr size_t kImage = 1 << 20;
constexpr double kLinkBytesPerSecond = 300000.0;

using hcsim::boot::BootLoaderFamily;

hcsim::HcConfig BootMode() {
    hcsim::HcConfig config;
    config.startMode = hcsim::HcMode::Boot;
    return config;
}

std::vector<uint8_t> Image() {
    hcsim::boot::ImageSpec spec;
    spec.version = 0x0200;
    spec.startWord = BootLoaderFamily::kStartWord;
    spec.description = "Benchmark image";
    spec.size = kImage;
    return hcsim::boot::makeImage(spec);
}

void upload(benchmark::State& state, bool served) {
    vt5bench::BenchHc s(served, BootMode(), "Updater");
    if (s.opened != VT5_OK) return state.SkipWithError("open failed");
    s.hc->chip()->setPaced(true);
    const auto eraseMs = std::chrono::milliseconds(state.range(0));
    s.hc->with(
        [eraseMs](hcsim::HcDevice& d) { d.family<BootLoaderFamily>()->setEraseTime(eraseMs); });
    const std::vector<uint8_t> image = Image();
    for (auto _ : state) {
        if (VT5cmd_UPD_UploadHC(&s.api, image.data(), static_cast<int32_t>(kImage),
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
