// SD card throughput: a 2 MB file downloaded and uploaded with the file system commands,
// directly and through Gantrix's API server, against the simulated HC's chip paced at
// 3,000,000 baud (300,000 bytes/s, 8N1). link_fraction is the share of the link's rate the
// transfer reaches. The argument is the bytes one VT5cmd_FS_Read/Write call moves: 4096 as
// Gantrix's transfer worker asks, 65536 as vt5-card asks.

#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "gantrix/server/server_thread.h"
#include "hcsim/hc/simulated_hc.h"
#include "tests/support/bus_fixture.h"
#include "tests/support/server_start.h"
#include "tests/support/wire_client.h"
#include "vt5api/commands/file_system.h"

namespace {

constexpr int32_t kFileSize = 2'000'000;
constexpr double kLinkBytesPerSecond = 300'000.0;

// A simulated HC with a card holding the file, its chip paced; optionally served by
// Gantrix's server thread.
struct Setup {
    explicit Setup(bool served) {
        {
            std::ofstream out(card.path() / "vt5_log_big.txt", std::ios::binary);
            std::string line = "2024-03-07 22:10:04.125 guide step dx=+0.125 dy=-0.250\n";
            for (int32_t n = 0; n < kFileSize; n += static_cast<int32_t>(line.size()))
                out.write(line.data(),
                          std::min<std::streamsize>(static_cast<std::streamsize>(line.size()),
                                                    kFileSize - n));
        }
        hcsim::HcConfig config;
        config.cardDir = card.path();
        hc = std::make_unique<hcsim::SimulatedHc>(bus.bus(), config);
        hc->chip()->setPaced(true);
        if (!served) {
            opened = VT5_Open(&api, "VT5SIM01", nullptr, 0, nullptr);
            return;
        }
        int port = vt5test::freeTcpPort();
        if (!vt5test::startServerThread(server, port)) return;
        opened = VT5_Open(&api, nullptr, "127.0.0.1", port, "Gantrix - FileSystem");
    }
    ~Setup() {
        VT5_Close(&api);
        server.StopServerThread();
    }

    vt5test::TempDir card;
    vt5test::BusFixture bus;
    std::unique_ptr<hcsim::SimulatedHc> hc;
    ServerThread server;
    CVT5Api api;
    int32_t opened = -1;
};

bool download(CVT5Api& api, int32_t chunk, std::vector<uint8_t>& buffer) {
    if (VT5cmd_FS_Open(&api, "/vt5_log_big.txt", VT5_FS_OPEN_READ, nullptr) != VT5_OK) return false;
    int64_t total = 0;
    for (;;) {
        int32_t got = 0;
        if (VT5cmd_FS_Read(&api, buffer.data(), chunk, &got, nullptr) != VT5_OK) return false;
        total += got;
        if (got < chunk) break;
    }
    return VT5cmd_FS_Close(&api, nullptr) == VT5_OK && total == kFileSize;
}

bool upload(CVT5Api& api, int32_t chunk, const std::vector<uint8_t>& data) {
    if (VT5cmd_FS_Open(&api, "/upload.bin", VT5_FS_OPEN_WRITE_NEW, nullptr) != VT5_OK) return false;
    for (int32_t done = 0; done < kFileSize; done += chunk) {
        int32_t piece = std::min(chunk, kFileSize - done);
        if (VT5cmd_FS_Write(&api, data.data() + done, piece, nullptr, nullptr) != VT5_OK)
            return false;
    }
    return VT5cmd_FS_Close(&api, nullptr) == VT5_OK;
}

void transfer(benchmark::State& state, bool served, bool isDownload) {
    Setup s(served);
    if (s.opened != VT5_OK) return state.SkipWithError("open failed");
    auto chunk = static_cast<int32_t>(state.range(0));
    std::vector<uint8_t> buffer(kFileSize);
    double seconds = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        bool ok = isDownload ? download(s.api, chunk, buffer) : upload(s.api, chunk, buffer);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!ok) return state.SkipWithError("transfer failed");
    }
    double bytes = static_cast<double>(state.iterations()) * kFileSize;
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["link_fraction"] = bytes / seconds / kLinkBytesPerSecond;
}

void BM_DownloadDirect(benchmark::State& state) {
    transfer(state, false, true);
}
void BM_DownloadThroughServer(benchmark::State& state) {
    transfer(state, true, true);
}
void BM_UploadDirect(benchmark::State& state) {
    transfer(state, false, false);
}
void BM_UploadThroughServer(benchmark::State& state) {
    transfer(state, true, false);
}

// Each iteration moves 2 MB, some 7 s on the paced link.
#define CARD_BENCH(name) \
    BENCHMARK(name)->Arg(4096)->Arg(65536)->Iterations(2)->UseRealTime()->Unit(benchmark::kSecond)

CARD_BENCH(BM_DownloadDirect);
CARD_BENCH(BM_DownloadThroughServer);
CARD_BENCH(BM_UploadDirect);
CARD_BENCH(BM_UploadThroughServer);

}  // namespace
