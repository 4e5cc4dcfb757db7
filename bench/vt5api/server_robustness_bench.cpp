// The API server against bad peers and vanishing hardware: a normal client's exchanges while
// a slow-drip peer and 8 half-sent headers are connected (compare with
// BM_ExchangeThroughServer), and the time from plugging a lost HC in again to the first
// client served with it.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "bench/support/bench_hc.h"
#include "tests/support/wire_client.h"
#include "vt5api/commands/identity.h"
#include "vt5api/link/wire.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Argument 1: with the slow peers; 0: alone, for the usual worst case of the same loop.
void BM_ExchangeBesideSlowPeers(benchmark::State& state) {
    vt5bench::BenchHc s(true);
    if (s.opened != VT5_OK) return state.SkipWithError("open failed");
    const bool peers = state.range(0) != 0;
    // A data write announcing 1 MB that arrives one byte every 200 ms, and 8 headers cut
    // short after 5 bytes.
    vt5test::WireClient drip(s.port);
    if (peers)
        drip.send(vt5test::join({vt5test::le32(8 + 1000000), vt5test::le32(VT5_WIRE_DATA_WRITE)}));
    std::vector<std::unique_ptr<vt5test::WireClient>> halves;
    for (int i = 0; peers && i < 8; ++i) {
        halves.push_back(std::make_unique<vt5test::WireClient>(s.port));
        halves.back()->send({12, 0, 0, 0, 0x3D});
    }
    std::atomic<bool> stop{false};
    std::thread dripper([&] {
        while (peers && !stop) {
            drip.send({0xF8});
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    });
    uint8_t hardware = 0;
    double worst = 0, total = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        if (VT5cmd_GetHardwareID(&s.api, &hardware) != VT5_OK) {
            state.SkipWithError("exchange failed");
            break;
        }
        double ms = millisSince(start);
        worst = std::max(worst, ms);
        total += ms;
    }
    stop = true;
    dripper.join();
    state.counters["worst_ms"] = worst;
    state.counters["mean_ms"] = state.iterations() ? total / double(state.iterations()) : 0;
}
BENCHMARK(BM_ExchangeBesideSlowPeers)->Arg(0)->Arg(1)->UseRealTime()->MinTime(3.0);

void BM_ReplugToFirstServedClient(benchmark::State& state) {
    hcsim::HcConfig config;
    config.serial = "HC000001";
    vt5bench::BenchHc s(true, config);
    if (s.opened != VT5_OK) return state.SkipWithError("open failed");
    uint8_t hardware = 0;
    if (VT5cmd_GetHardwareID(&s.api, &hardware) != VT5_OK)
        return state.SkipWithError("first exchange failed");
    VT5_Close(&s.api);
    for (auto _ : state) {
        state.PauseTiming();
        s.hc.reset();  // pulled out
        // The server notices on its own (it checks once a second while idle).
        for (int i = 0;
             i < 400 && s.server.WithStatus([](ServerStatus& st) { return st.deviceOpen; }); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        s.hc = std::make_unique<hcsim::SimulatedHc>(s.bus.bus(), config);
        state.ResumeTiming();
        CVT5Api client;
        if (VT5_Open(&client, nullptr, "127.0.0.1", s.port, "replug") != VT5_OK ||
            VT5cmd_GetHardwareID(&client, &hardware) != VT5_OK) {
            state.SkipWithError("no client served after the replug");
            break;
        }
        state.PauseTiming();
        VT5_Close(&client);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ReplugToFirstServedClient)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace
