// The SD card browser's transfers of a 2 MB file, downloaded and uploaded by the transfer
// worker, directly and through Gantrix's API server, with the simulated chip paced at
// 3,000,000 baud: 300,000 bytes/s each way at most. "of_link" is the share of that reached.

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "gantrix/app/card_browser/transfer_worker.h"
#include "gantrix/server/server_thread.h"
#include "hcsim/hc/simulated_hc.h"
#include "tests/support/bus_fixture.h"
#include "tests/support/server_start.h"
#include "tests/support/wire_client.h"
#include "vt5api/commands/file_system.h"

namespace {

namespace fs = std::filesystem;

constexpr int64_t kFileBytes = 2000000;
constexpr double kLinkBytesPerSecond = 300000;

void WriteFile(const fs::path& path, int64_t size) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    for (int64_t i = 0; i < size; ++i)
        out.put(char(i * 131 % 251));
}

// A simulated HC with a card holding the file, paced like the real line; the API context
// opened directly or through the server thread.
struct Setup {
    explicit Setup(bool served) {
        WriteFile(card.path() / "LOGS/big_log_1.txt", kFileBytes);
        WriteFile(local.path() / "upload/big_up.txt", kFileBytes);
        hcsim::HcConfig config;
        config.serial = "VT5SIM01";
        config.cardDir = card.path();
        hc = std::make_unique<hcsim::SimulatedHc>(bus.bus(), config);
        hc->chip()->setPaced(true);
        if (!served) {
            opened = VT5_Open(&api, "VT5SIM01", nullptr, 0, nullptr);
        } else {
            const int port = vt5test::freeTcpPort();
            if (!vt5test::startServerThread(server, port)) return;
            opened = VT5_Open(&api, nullptr, "127.0.0.1", port, "Gantrix - FileSystem");
        }
        if (opened == VT5_OK) opened = VT5cmd_FS_ChangeDir(&api, "LOGS", nullptr);
    }
    ~Setup() {
        VT5_Close(&api);
        server.StopServerThread();
    }

    // The file's entry in the current card folder.
    CardEntry entry(const std::string& name) {
        CardEntry found;
        if (VT5cmd_FS_OpenDir(&api, ".", nullptr) != VT5_OK) return found;
        ReadListedEntries(&api, [&](CardEntry e) {
            if (e.longName == name) found = std::move(e);
        });
        return found;
    }

    vt5test::BusFixture bus;
    vt5test::TempDir card;
    vt5test::TempDir local;
    std::unique_ptr<hcsim::SimulatedHc> hc;
    ServerThread server;
    CVT5Api api;
    int32_t opened = -1;
};

using Clock = std::chrono::steady_clock;

// Runs the transfer once per iteration and reports its speed.
void Run(benchmark::State& state, const TransferJob& job, TransferState& transfer, int mode) {
    transfer.selectionSize = kFileBytes;
    const Clock::time_point start = Clock::now();
    for (auto _ : state) {
        transfer.Start(mode);
        if (RunTransfer(job, transfer) != VT5_OK || transfer.transferredBytes != kFileBytes)
            return state.SkipWithError("transfer failed");
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetBytesProcessed(state.iterations() * kFileBytes);
    state.counters["of_link"] =
        double(state.iterations() * kFileBytes) / kLinkBytesPerSecond / seconds;
}

void BM_Download(benchmark::State& state) {
    Setup s(state.range(0) != 0);
    if (s.opened != VT5_OK) return state.SkipWithError("open failed");
    TransferJob job;
    job.api = &s.api;
    job.files = {s.entry("big_log_1.txt")};
    job.myFolder = (s.local.path() / "My folder").string();
    job.uniqueId = "A1B2C3D4E5F6G7H";
    job.folderPrefix = "/LOGS";
    TransferState transfer;
    Run(state, job, transfer, kTransferDownload);
}
BENCHMARK(BM_Download)
    ->ArgName("server")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_Upload(benchmark::State& state) {
    Setup s(state.range(0) != 0);
    if (s.opened != VT5_OK) return state.SkipWithError("open failed");
    TransferJob job;
    job.api = &s.api;
    TransferState transfer;
    transfer.uploadList = {(s.local.path() / "upload/big_up.txt").string()};
    Run(state, job, transfer, kTransferUpload);
}
BENCHMARK(BM_Upload)->ArgName("server")->Arg(0)->Arg(1)->Iterations(2)->UseRealTime()->Unit(
    benchmark::kMillisecond);

}  // namespace
