// Who reaches the server: the addresses it listens on, the networks it serves (a connection
// from elsewhere is closed at once and logged with its address), why a start fails when it
// cannot listen, and how a departure is logged.

#include <sys/socket.h>
#include <unistd.h>

#include <fstream>

#include "tests/server/server_fixture.h"
#include "tests/support/address_client.h"

namespace vt5test {
namespace {

class ServerAccess : public ServerFixture {
protected:
    void limit(std::vector<std::string> listen, std::vector<std::string> allowed) {
        VT5ServerAccess access;
        access.listen = std::move(listen);
        for (const std::string& text : allowed) {
            VT5Network n;
            std::string error;
            ASSERT_TRUE(VT5ParseNetwork(text, n, error)) << error;
            access.allowed.push_back(n);
        }
        server_.link->SetServerAccess(std::move(access));
    }
    // Passes until a log line holds the text.
    bool pollUntilLogged(const std::string& text) {
        for (int i = 0; i < 1000; ++i) {
            if (logHas(text)) return true;
            poll();
        }
        return logHas(text);
    }
    bool logHas(const std::string& text) const {
        for (const std::string& line : log_)
            if (line.find(text) != std::string::npos) return true;
        return false;
    }
    // ServerVersion over a raw connection: the answer's identifier, 0 for none.
    uint32_t serverVersion(int fd) {
        std::vector<uint8_t> request = controlRequest(VT5_REQ_SERVER_VERSION);
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) != ssize_t(request.size()))
            return 0;
        uint8_t answer[10] = {};
        size_t got = 0;
        for (int i = 0; i < 1000 && got < sizeof answer; ++i) {
            poll();
            ssize_t n = ::recv(fd, answer + got, sizeof answer - got, MSG_DONTWAIT);
            if (n == 0) return 0;
            if (n > 0) got += size_t(n);
        }
        return got == sizeof answer ? getLe32({answer, answer + 10}, 4) : 0;
    }
};

TEST_F(ServerAccess, ClosesAConnectionFromOutsideTheAllowedNetworksAndServesAnAllowedOne) {
    limit({"127.0.0.1", "127.0.0.2"}, {"127.0.0.1/32"});
    startServer();
    // From 127.0.0.2, once to each address listened on.
    for (const char* to : {"127.0.0.2", "127.0.0.1"}) {
        SCOPED_TRACE(to);
        platform::UniqueFd outsider = connectFrom("127.0.0.2", to, port_);
        ASSERT_TRUE(outsider.valid());
        const std::string refused =
            "client 127.0.0.2:" + std::to_string(localPortOf(outsider.get())) +
            " refused: not in the allowed networks";
        EXPECT_TRUE(pollUntilLogged(refused));
        EXPECT_TRUE(endedByPeer(outsider.get()));
        EXPECT_EQ(VT5_GetServerClients(&server_, nullptr), 0);
    }
    // Meanwhile an allowed client is served as ever.
    auto allowed = connect("Panelcast");
    auto version = askControl(*allowed, VT5_REQ_SERVER_VERSION);
    ASSERT_TRUE(version);
    EXPECT_EQ(getLe16(version->payload, 0), 0x0120);
    auto list = clients();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_STREQ(list[0].address, "127.0.0.1");
    EXPECT_STREQ(list[0].applicationId, "Panelcast");
    // The one from 127.0.0.2 may come in when its network is allowed.
    VT5_StopServer(&server_);
    limit({"127.0.0.1", "127.0.0.2"}, {"127.0.0.1/32", "127.0.0.2"});
    startServer();
    platform::UniqueFd second = connectFrom("127.0.0.2", "127.0.0.2", port_);
    ASSERT_TRUE(second.valid());
    EXPECT_EQ(serverVersion(second.get()), 0x00015C3Du);
}

TEST_F(ServerAccess, ListensOnTheGivenAddressesOnly) {
    limit({"127.0.0.2"}, {});
    startServer();
    EXPECT_FALSE(connectFrom("127.0.0.1", "127.0.0.1", port_).valid());
    platform::UniqueFd there = connectFrom("127.0.0.1", "127.0.0.2", port_);
    ASSERT_TRUE(there.valid());
    EXPECT_EQ(serverVersion(there.get()), 0x00015C3Du);
}

TEST_F(ServerAccess, ServesIpv6ClientsAndTellsTheirAddresses) {
    if (!canBind("::1")) GTEST_SKIP() << "no IPv6 loopback here";
    limit({"::1", "[::1]", "127.0.0.1"}, {"::1/128"});
    startServer();
    auto ipv4 = std::make_unique<WireClient>(port_);
    ASSERT_TRUE(ipv4->connected());
    EXPECT_TRUE(pollUntilLogged("client 127.0.0.1:" + std::to_string(ipv4->localPort()) +
                                " refused: not in the allowed networks"));
    EXPECT_TRUE(ipv4->closedByServer());

    platform::UniqueFd ipv6 = connectFrom("::1", "::1", port_);
    ASSERT_TRUE(ipv6.valid());
    EXPECT_EQ(serverVersion(ipv6.get()), 0x00015C3Du);
    auto list = clients();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_STREQ(list[0].address, "::1");
    EXPECT_EQ(list[0].port, localPortOf(ipv6.get()));
    EXPECT_TRUE(logHas("client [::1]:" + std::to_string(list[0].port) + " connected"));
}

TEST_F(ServerAccess, AStartThatCannotListenSaysWhyAndListensNowhere) {
    startServer();
    std::string self;
    std::getline(std::ifstream("/proc/self/comm"), self);
    const std::string inUse = "TCP port " + std::to_string(port_) + " is in use by " + self +
                              " (process " + std::to_string(::getpid()) + ")";
    const int busy = port_;
    const int free = freeTcpPort();
    struct Case {
        std::vector<std::string> listen;
        int port;
        std::string why;
    };
    const Case cases[] = {
        {{}, busy, inUse},
        {{"127.0.0.1"}, busy, inUse},
        {{"127.0.0.2", "192.0.2.1"},
         free,
         "can't listen on 192.0.2.1: not an address of this computer"},
        {{"127.0.0.2", "no-such-host.invalid"}, free, "can't listen on 'no-such-host.invalid': "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        CVT5Api second;
        VT5ServerAccess access;
        access.listen = c.listen;
        second.link->SetServerAccess(access);
        VT5ServerStart start;
        start.port = static_cast<uint16_t>(c.port);
        EXPECT_EQ(VT5_StartServer(&second, &start), VT5_E_TCP);
        EXPECT_EQ(std::string(second.link->GetErrorText()).rfind(c.why, 0), 0u)
            << second.link->GetErrorText();
        EXPECT_EQ(second.link->Mode(), VT5_MODE_DIRECT);
        // The address that could be listened on before the failure is closed again.
        if (c.port == free) {
            EXPECT_FALSE(connectFrom("127.0.0.1", "127.0.0.2", c.port).valid());
        }
    }
}

TEST_F(ServerAccess, LogsACleanCloseAsDisconnectedAndABrokenRequestAsAFailure) {
    startServer();
    auto quiet = connect("Quiet");
    const int quietPort = quiet->localPort();
    quiet->close();
    EXPECT_TRUE(pollUntilLogged("client 127.0.0.1:" + std::to_string(quietPort) +
                                " \"Quiet\" disconnected"));

    auto broken = connect("Broken");
    const int brokenPort = broken->localPort();
    ASSERT_TRUE(broken->send(le32(100)));  // a length, and then nothing more
    poll();
    broken->close();
    EXPECT_TRUE(pollUntilLogged("client 127.0.0.1:" + std::to_string(brokenPort) +
                                " \"Broken\" removed: connection closed or request failed"));
    EXPECT_FALSE(logHas("\"Broken\" disconnected"));
}

}  // namespace
}  // namespace vt5test
