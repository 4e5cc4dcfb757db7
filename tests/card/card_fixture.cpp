#include "tests/card/card_fixture.h"

#include "tests/support/server_start.h"
#include "tests/support/wire_client.h"

namespace vt5test {

std::string routeName(const ::testing::TestParamInfo<Route>& info) {
    return info.param == Route::Direct ? "Direct" : "ThroughTheServer";
}

CardFixture::CardFixture() = default;

CardFixture::~CardFixture() {
    VT5_Close(&api);
    // The server thread is waited for in real time (a virtual clock would give up at once).
    platform::SteadyClock steady;
    platform::ScopedClock realTime(steady);
    server.StopServerThread();
}

void CardFixture::plug(const std::filesystem::path& card) {
    hcsim::HcConfig config;
    config.serial = "HC000001";
    config.cardDir = card;
    hc = std::make_unique<hcsim::SimulatedHc>(bus.bus(), config);
    if (!viaServer()) return;
    port = freeTcpPort();
    ASSERT_TRUE(startServerThread(server, port)) << "the server thread did not start";
}

int32_t CardFixture::open(CVT5Api& context, const char* name) {
    return viaServer() ? VT5_Open(&context, nullptr, "127.0.0.1", port, name)
                       : VT5_Open(&context, nullptr, nullptr, 0, nullptr);
}

}  // namespace vt5test
