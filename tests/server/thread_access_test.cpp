// The server thread's side of who may connect: the reason a start failed, as the status
// record carries it for the server window and vt5-server, and Gantrix's network settings read
// from the registry at each start.

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "gantrix/server/network_settings.h"
#include "platform/registry/registry.h"
#include "tests/options/temp_registry.h"
#include "tests/server/thread_fixture.h"
#include "tests/support/address_client.h"
#include "tests/support/wire_client.h"
#include "vt5api/link/wire.h"

namespace vt5test {
namespace {

using ThreadAccess = ThreadFixture;

// Waits in real time for the thread to end after a start that failed.
ServerStatus failedStart(ServerThread& server, int port) {
    server.WithStatus([&](ServerStatus& s) { return s.configuredPort = port; });
    server.StartServerThread();
    for (int i = 0; i < 6000 && server.IsServerRunning(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return server.WithStatus([](const ServerStatus& s) { return s; });
}

TEST_F(ThreadAccess, AFailedStartTellsWhyInTheStatus) {
    platform::SteadyClock steady;
    platform::ScopedClock realTime(steady);
    startServer();
    std::string self;
    std::getline(std::ifstream("/proc/self/comm"), self);

    ServerThread second;
    ServerStatus s = failedStart(second, port_);
    EXPECT_EQ(s.state, ServerStatus::kOff);
    EXPECT_EQ(s.threadResult, VT5_E_TCP);
    EXPECT_EQ(s.startFailure, "TCP port " + std::to_string(port_) + " is in use by " + self +
                                  " (process " + std::to_string(::getpid()) + ")");

    // A network that is not one fails the start rather than serving anyone.
    second.WithStatus([](ServerStatus& st) {
        st.allowedNetworks = {"192.168.1.0/24", "lan"};
        return 0;
    });
    s = failedStart(second, freeTcpPort());
    EXPECT_EQ(s.state, ServerStatus::kOff);
    EXPECT_EQ(s.startFailure,
              "allowed networks: 'lan' is not a network (such as 192.168.1.0/24 or fd00::/8)");

    // A start that succeeds clears the reason.
    second.WithStatus([](ServerStatus& st) {
        st.allowedNetworks = {"127.0.0.0/8"};
        return 0;
    });
    const int port = freeTcpPort();
    second.WithStatus([&](ServerStatus& st) { return st.configuredPort = port; });
    second.StartServerThread();
    for (int i = 0; i < 6000 && second.WithStatus([](ServerStatus& st) {
             return st.state != ServerStatus::kActive;
         });
         ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(second.WithStatus([](ServerStatus& st) { return st.startFailure; }), "");
    second.StopServerThread();
}

TEST(GantrixServerSettings, ReadFromTheRegistryAtEachStart) {
    TempRegistry registry;
    ServerStatus status;
    // None: every address, anyone.
    EXPECT_EQ(LoadServerNetworkSettings(status), "");
    EXPECT_TRUE(status.listenAddresses.empty());
    EXPECT_TRUE(status.allowedNetworks.empty());

    platform::registry::Key key;
    ASSERT_EQ(platform::registry::createKey(kServerNetworkKey, key), 0);
    ASSERT_EQ(key.setString("Listen", "127.0.0.1, ::1"), 0);
    ASSERT_EQ(key.setString("Allow", " 127.0.0.0/8,192.168.1.0/24  fd00::/8 "), 0);
    EXPECT_EQ(LoadServerNetworkSettings(status), "");
    EXPECT_EQ(status.listenAddresses, (std::vector<std::string>{"127.0.0.1", "::1"}));
    EXPECT_EQ(status.allowedNetworks,
              (std::vector<std::string>{"127.0.0.0/8", "192.168.1.0/24", "fd00::/8"}));

    // A value of the wrong type is a setting that cannot be read: no start.
    ASSERT_EQ(key.setDword("Allow", 7), 0);
    EXPECT_NE(LoadServerNetworkSettings(status).find("could not be read"), std::string::npos);
}

TEST_F(ThreadAccess, GantrixSettingsRefuseAClientOutsideTheAllowedNetworks) {
    TempRegistry registry;
    platform::registry::Key key;
    ASSERT_EQ(platform::registry::createKey(kServerNetworkKey, key), 0);
    ASSERT_EQ(key.setString("Listen", "127.0.0.1 127.0.0.2"), 0);
    ASSERT_EQ(key.setString("Allow", "127.0.0.2/32"), 0);
    server_.SetNetworkSettingsLoader(LoadServerNetworkSettings);
    plugHc();
    startServer();
    EXPECT_EQ(status().allowedNetworks, std::vector<std::string>{"127.0.0.2/32"});

    WireClient outsider(port_);
    ASSERT_TRUE(outsider.connected());
    EXPECT_TRUE(outsider.closedByServer(10000));
    EXPECT_TRUE(logged({"client 127.0.0.1:", "refused: not in the allowed networks"}));

    platform::UniqueFd allowed = connectFrom("127.0.0.2", "127.0.0.2", port_);
    ASSERT_TRUE(allowed.valid());
    std::vector<uint8_t> request = controlRequest(VT5_REQ_SERVER_VERSION);
    ASSERT_EQ(::send(allowed.get(), request.data(), request.size(), 0), ssize_t(request.size()));
    timeval patience{10, 0};
    ::setsockopt(allowed.get(), SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    uint8_t answer[10] = {};
    ASSERT_EQ(::recv(allowed.get(), answer, sizeof answer, MSG_WAITALL), ssize_t(sizeof answer));
    EXPECT_EQ(getLe32({answer, answer + 10}, 4), 0x00015C3Du);
    EXPECT_TRUE(logged({"client 127.0.0.2:", "connected"}));
}

}  // namespace
}  // namespace vt5test
