// Starting, stopping and listing: VT5_StartServer's results, the client list and the limit
// of the watch set.

#include <netinet/in.h>
#include <sys/socket.h>

#include <future>

#include "tests/server/server_fixture.h"

namespace vt5test {
namespace {

using ServerStart = ServerFixture;

TEST_F(ServerStart, ResultsOfStartServer) {
    plugHc();
    VT5ServerStart start;
    EXPECT_EQ(VT5_StartServer(&server_, nullptr), VT5_E_BAD_ARGUMENT);
    start.size = 19;
    EXPECT_EQ(VT5_StartServer(&server_, &start), VT5_E_BAD_ARGUMENT);
    start.size = 20;

    CVT5Api noLink;
    noLink.link.reset();
    EXPECT_EQ(VT5_StartServer(&noLink, &start), VT5_E_NO_LINK);

    CVT5Api direct;
    ASSERT_EQ(VT5_Open(&direct, hc_->serial().c_str(), nullptr, 0, nullptr), VT5_OK);
    EXPECT_EQ(VT5_StartServer(&direct, &start), VT5_E_CANT_CREATE_SERVER);
    EXPECT_EQ(direct.link->Mode(), VT5_MODE_DIRECT);

    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    platform::UniqueFd far(pair[1]);
    CVT5Api client;
    client.link->AttachClientSocket(platform::UniqueFd(pair[0]));
    EXPECT_EQ(VT5_StartServer(&client, &start), VT5_E_WRONG_MODE);

    // A port that another server listens on.
    startServer();
    CVT5Api second;
    start.port = static_cast<uint16_t>(port_);
    EXPECT_EQ(VT5_StartServer(&second, &start), VT5_E_TCP);
    EXPECT_EQ(second.link->Mode(), VT5_MODE_DIRECT);

    // Outside Server mode the other three refuse.
    EXPECT_EQ(VT5_PollServer(&second), VT5_E_WRONG_MODE);
    EXPECT_EQ(VT5_StopServer(&second), VT5_E_WRONG_MODE);
    EXPECT_EQ(VT5_GetServerClients(&second, nullptr), 0);
    EXPECT_EQ(server_.link->Mode(), VT5_MODE_SERVER);
}

TEST_F(ServerStart, PortZeroListensOn5937) {
    {
        // Only this test uses the default port; it cannot run where something else holds it.
        platform::UniqueFd probe(::socket(AF_INET, SOCK_STREAM, 0));
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(5937);
        if (::bind(probe.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
            GTEST_SKIP() << "port 5937 is in use on this machine";
    }
    plugHc();
    VT5ServerStart start;
    ASSERT_EQ(VT5_StartServer(&server_, &start), VT5_OK);
    EXPECT_EQ(start.port, 5937);
    port_ = 5937;
    // A client context with port 0 finds it there.
    auto opened = std::async(std::launch::async, [] {
        CVT5Api client;
        int32_t result = VT5_Open(&client, nullptr, "127.0.0.1", 0, "port zero");
        int32_t boot = -1, version = 0;
        VT5_GetProtocolInfo(&client, &boot, &version, nullptr);
        return std::make_tuple(result, boot, version);
    });
    while (opened.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        poll();
    auto [result, boot, version] = opened.get();
    EXPECT_EQ(result, VT5_OK);
    EXPECT_EQ(boot, 0);
    EXPECT_EQ(version, 0x0112);
}

TEST_F(ServerStart, ClientListShowsAddressPortNameAndSections) {
    startServer();
    auto a = connect("Starloom");
    auto b = connect();
    ASSERT_EQ(lock(*b, kFs), kLockAnswer);
    ASSERT_EQ(lock(*b, kEsky), kLockAnswer);  // nested: ESKY is not claimed
    ASSERT_EQ(unlock(*b, 0), kUnlockAnswer);
    ASSERT_EQ(unlock(*b, 0), kUnlockAnswer);
    ASSERT_EQ(lock(*b, kEsky), kLockAnswer);
    ASSERT_EQ(unlock(*b, 0), kUnlockAnswer);
    auto list = clients();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_STREQ(list[0].address, "127.0.0.1");
    EXPECT_EQ(list[0].port, a->localPort());
    EXPECT_STREQ(list[0].applicationId, "Starloom");
    EXPECT_EQ(list[0].sectionFlags, 0);
    EXPECT_EQ(list[1].port, b->localPort());
    EXPECT_STREQ(list[1].applicationId, "");
    EXPECT_EQ(list[1].sectionFlags, 2 | 4);
}

TEST_F(ServerStart, StopClosesEveryClientAndTheListener) {
    plugHc();
    startServer();
    openHc();
    auto a = connect("A");
    auto b = connect("B");
    ASSERT_EQ(lock(*a, kFs), kLockAnswer);
    EXPECT_EQ(VT5_StopServer(&server_), VT5_OK);
    EXPECT_TRUE(a->closedByServer());
    EXPECT_TRUE(b->closedByServer());
    EXPECT_EQ(server_.link->Mode(), VT5_MODE_DIRECT);
    EXPECT_EQ(VT5_GetServerClients(&server_, nullptr), 0);
    EXPECT_EQ(state().sectionOwners[1], -1);
    EXPECT_EQ(state().lockHolder, -1);
    EXPECT_FALSE(WireClient(port_).connected());
    // The HC stays open, and a server cannot start on a link that holds it.
    EXPECT_TRUE(hcOpen());
    VT5ServerStart start;
    EXPECT_EQ(VT5_StartServer(&server_, &start), VT5_E_CANT_CREATE_SERVER);
    ASSERT_EQ(VT5_Close(&server_), VT5_OK);
    startServer();
    auto c = connect("C");
    auto version = askControl(*c, VT5_REQ_SERVER_VERSION);
    ASSERT_TRUE(version);
    EXPECT_EQ(getLe16(version->payload, 0), 0x0120);
}

TEST_F(ServerStart, ConnectionBeyondTheWatchSetIsRefusedAtOnce) {
    startServer();
    std::vector<std::unique_ptr<WireClient>> all;
    for (int i = 0; i < 63; ++i)
        all.push_back(connect());
    ASSERT_EQ(state().clients.size(), 63u);

    WireClient extra(port_);
    ASSERT_TRUE(extra.connected());  // through the backlog
    poll();
    EXPECT_TRUE(extra.closedByServer());
    EXPECT_EQ(state().clients.size(), 63u);
    EXPECT_NE(log_.back().find("refused"), std::string::npos) << log_.back();

    // The last client accepted is served like the first.
    for (int i : {0, 62}) {
        auto version = askControl(*all[static_cast<size_t>(i)], VT5_REQ_SERVER_VERSION);
        EXPECT_TRUE(version && version->identifier == 0x00015C3D) << i;
    }
    // A departure makes room for the next one.
    all[10]->close();
    poll();
    EXPECT_EQ(state().clients.size(), 62u);
    auto next = connect("next");
    EXPECT_EQ(clients().back().applicationId, std::string("next"));
}

}  // namespace
}  // namespace vt5test
