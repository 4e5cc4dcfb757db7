// One command exchange directly, through the API server on loopback and across processes,
// and data-read throughput through the server.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <thread>

#include "gantrix/server/server_thread.h"
#include "hcsim/hc/faults.h"
#include "hcsim/hc/simulated_hc.h"
#include "tests/support/bus_fixture.h"
#include "tests/support/server_start.h"
#include "tests/support/subprocess.h"
#include "tests/support/wire_client.h"
#include "vt5api/commands/identity.h"

namespace {

constexpr size_t kBulk = 65536;

// A simulated HC in this process; optionally served by Gantrix's server thread.
struct Setup {
    explicit Setup(bool served) {
        hc = std::make_unique<hcsim::SimulatedHc>(bus.bus());
        if (!served) {
            opened = VT5_Open(&api, "VT5SIM01", nullptr, 0, nullptr);
            return;
        }
        int port = vt5test::freeTcpPort();
        if (!vt5test::startServerThread(server, port)) return;
        opened = VT5_Open(&api, nullptr, "127.0.0.1", port, "bench");
    }
    ~Setup() {
        VT5_Close(&api);
        server.StopServerThread();
    }

    vt5test::BusFixture bus;
    std::unique_ptr<hcsim::SimulatedHc> hc;
    ServerThread server;
    CVT5Api api;
    int32_t opened = -1;
};

void exchange(benchmark::State& state, CVT5Api& api) {
    uint8_t hardware = 0;
    for (auto _ : state) {
        if (VT5cmd_GetHardwareID(&api, &hardware) != VT5_OK) {
            state.SkipWithError("exchange failed");
            break;
        }
    }
}

// Each exchange brings kBulk bytes of bulk data with its answer.
void bulkRead(benchmark::State& state, Setup& s) {
    uint8_t hardware = 0;
    hcsim::Fault bulk = hcsim::Fault::extraBulk(hcsim::testPattern(kBulk));
    for (auto _ : state) {
        s.hc->inject(bulk);
        if (VT5cmd_GetHardwareID(&s.api, &hardware) != VT5_OK ||
            s.api.bulkReceived != static_cast<int32_t>(kBulk)) {
            state.SkipWithError("bulk exchange failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBulk));
}

void BM_ExchangeDirect(benchmark::State& state) {
    Setup s(false);
    if (s.opened != VT5_OK) return state.SkipWithError("open failed");
    exchange(state, s.api);
}
BENCHMARK(BM_ExchangeDirect);

void BM_ExchangeThroughServer(benchmark::State& state) {
    Setup s(true);
    if (s.opened != VT5_OK) return state.SkipWithError("open failed");
    exchange(state, s.api);
}
BENCHMARK(BM_ExchangeThroughServer)->UseRealTime();

void BM_BulkReadDirect(benchmark::State& state) {
    Setup s(false);
    if (s.opened != VT5_OK) return state.SkipWithError("open failed");
    bulkRead(state, s);
}
BENCHMARK(BM_BulkReadDirect);

void BM_BulkReadThroughServer(benchmark::State& state) {
    Setup s(true);
    if (s.opened != VT5_OK) return state.SkipWithError("open failed");
    bulkRead(state, s);
}
BENCHMARK(BM_BulkReadThroughServer)->UseRealTime();

// Directly (no server) with the HC in vt5-hcsim, another process.
void BM_ExchangeAcrossProcesses(benchmark::State& state) {
    vt5test::BusFixture bus;
    bus.useDaemon();
    vt5test::Subprocess hcsim({VT5_HCSIM_PATH, "--bus", bus.busSocket(), "--serial", "HC000001"});
    if (!hcsim.waitFor("VT5_USB_BUS=")) return state.SkipWithError("vt5-hcsim did not start");
    CVT5Api api;
    if (VT5_Open(&api, "HC000001", nullptr, 0, nullptr) != VT5_OK)
        return state.SkipWithError("open failed");
    exchange(state, api);
}
BENCHMARK(BM_ExchangeAcrossProcesses)->UseRealTime();

}  // namespace
