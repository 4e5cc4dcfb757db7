#pragma once

// A simulated HC with an SD card on a virtual clock, reached directly or through Gantrix's
// server thread, for tests that must hold on both routes.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "gantrix/server/server_thread.h"
#include "hcsim/hc/simulated_hc.h"
#include "platform/clock/clock.h"
#include "tests/support/bus_fixture.h"
#include "vt5api/api/vt5api.h"

namespace vt5test {

enum class Route { Direct, Server };

std::string routeName(const ::testing::TestParamInfo<Route>& info);

class CardFixture : public ::testing::TestWithParam<Route> {
protected:
    CardFixture();
    ~CardFixture() override;

    // Plugs in the HC with its card in `card` (and, through the server, starts the server).
    void plug(const std::filesystem::path& card);
    // Opens a context on the route of the test (a client is announced as `name`).
    int32_t open(CVT5Api& context, const char* name = "Gantrix - FileSystem");
    bool viaServer() const { return GetParam() == Route::Server; }

    platform::VirtualClock virtualClock;
    platform::ScopedClock useVirtual{virtualClock};
    BusFixture bus;
    std::unique_ptr<hcsim::SimulatedHc> hc;
    ServerThread server;
    int port = 0;
    CVT5Api api;
};

}  // namespace vt5test
