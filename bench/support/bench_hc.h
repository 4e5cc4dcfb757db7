#pragma once

#include <memory>

#include "gantrix/server/server_thread.h"
#include "hcsim/hc/simulated_hc.h"
#include "tests/support/bus_fixture.h"
#include "vt5api/api/vt5api.h"

namespace vt5bench {

// A simulated HC in this process on a private bus, and an API context opened on it: directly,
// or (served) through Gantrix's server thread on a free loopback port. `opened` holds the
// result of VT5_Open.
struct BenchHc {
    BenchHc(bool served, hcsim::HcConfig config = {}, const char* clientName = "bench");
    ~BenchHc();
    BenchHc(const BenchHc&) = delete;
    BenchHc& operator=(const BenchHc&) = delete;

    vt5test::BusFixture bus;
    std::unique_ptr<hcsim::SimulatedHc> hc;
    ServerThread server;
    CVT5Api api;
    int32_t opened = -1;
    int port = 0;  // the server's, when served
};

}  // namespace vt5bench
