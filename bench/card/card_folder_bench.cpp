// Downloading every file of one card folder that holds many small files, directly and with
// the chip unpaced, so that the simulated HC's own work shows: the time per file stays flat as
// the folder grows (an open that read the whole folder made it grow with the folder).
// files_per_second is the rate; the paced link of 3,000,000 baud carries some 300 small files a
// second with the commands each file needs.

#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>

#include "hcsim/hc/simulated_hc.h"
#include "tests/support/bus_fixture.h"
#include "vt5api/commands/file_system.h"

namespace {

std::string FileName(int64_t i) {
    return "vt5_log_" + std::to_string(100000 + i) + ".txt";
}

void BM_DownloadManySmallFiles(benchmark::State& state) {
    const int64_t count = state.range(0);
    vt5test::TempDir card;
    std::filesystem::create_directory(card.path() / "LOGS");
    for (int64_t i = 0; i < count; ++i)
        std::ofstream(card.path() / "LOGS" / FileName(i)) << "2024-03-07\t22:10:04.125\tAG STOP\n";
    vt5test::BusFixture bus;
    hcsim::HcConfig config;
    config.cardDir = card.path();
    auto hc = std::make_unique<hcsim::SimulatedHc>(bus.bus(), config);
    CVT5Api api;
    if (VT5_Open(&api, "VT5SIM01", nullptr, 0, nullptr) != VT5_OK)
        return state.SkipWithError("open failed");
    if (VT5cmd_FS_ChangeDir(&api, "/LOGS", nullptr) != VT5_OK)
        return state.SkipWithError("no folder");
    char buffer[VT5_FS_PIECE];
    double seconds = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        for (int64_t i = 0; i < count; ++i) {
            int32_t got = 0;
            if (VT5cmd_FS_Open(&api, FileName(i).c_str(), VT5_FS_OPEN_READ, nullptr) != VT5_OK ||
                VT5cmd_FS_Read(&api, buffer, VT5_FS_PIECE, &got, nullptr) != VT5_OK ||
                VT5cmd_FS_Close(&api, nullptr) != VT5_OK || got == 0)
                return state.SkipWithError("download failed");
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    VT5_Close(&api);
    state.counters["files_per_second"] = static_cast<double>(state.iterations() * count) / seconds;
}
BENCHMARK(BM_DownloadManySmallFiles)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(10000)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
