#include "bench/support/bench_hc.h"

#include <chrono>
#include <thread>

#include "tests/support/wire_client.h"

namespace vt5bench {

BenchHc::BenchHc(bool served, hcsim::HcConfig config, const char* clientName) {
    hc = std::make_unique<hcsim::SimulatedHc>(bus.bus(), config);
    if (!served) {
        opened = VT5_Open(&api, config.serial.c_str(), nullptr, 0, nullptr);
        return;
    }
    port = vt5test::freeTcpPort();
    server.WithStatus([&](ServerStatus& s) { return s.configuredPort = port; });
    server.StartServerThread();
    for (int i = 0; i < 500 && server.WithStatus([](ServerStatus& s) {
             return s.state != ServerStatus::kActive;
         });
         ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    opened = VT5_Open(&api, nullptr, "127.0.0.1", port, clientName);
}

BenchHc::~BenchHc() {
    VT5_Close(&api);
    server.StopServerThread();
}

}  // namespace vt5bench
