// The networks of --allow: how they are read and which peers they hold, IPv4 and IPv6 alike,
// with IPv4 peers seen through IPv6 sockets taken for the IPv4 addresses they are.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <cstring>

#include "vt5api/link/network_access.h"

namespace {

std::array<uint8_t, 16> peer(const char* text) {
    sockaddr_storage s{};
    auto* v4 = reinterpret_cast<sockaddr_in*>(&s);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&s);
    if (::inet_pton(AF_INET, text, &v4->sin_addr) == 1)
        v4->sin_family = AF_INET;
    else if (::inet_pton(AF_INET6, text, &v6->sin6_addr) == 1)
        v6->sin6_family = AF_INET6;
    std::array<uint8_t, 16> a{};
    EXPECT_TRUE(VT5PeerAddress(reinterpret_cast<sockaddr*>(&s), a)) << text;
    return a;
}

TEST(NetworkAccess, ReadsNetworksAndTellsWhichPeersTheyHold) {
    struct Case {
        const char* network;
        const char* text;  // as the network is shown
        const char* inside;
        const char* outside;
    };
    const Case cases[] = {
        {"127.0.0.0/8", "127.0.0.0/8", "127.200.1.2", "128.0.0.1"},
        {"192.168.1.0/24", "192.168.1.0/24", "192.168.1.254", "192.168.2.1"},
        {"192.168.1.77/24", "192.168.1.0/24", "192.168.1.3", "192.168.0.77"},
        {"10.1.2.3", "10.1.2.3/32", "10.1.2.3", "10.1.2.4"},
        {"172.16.0.0/12", "172.16.0.0/12", "172.31.255.255", "172.32.0.0"},
        {"0.0.0.0/0", "0.0.0.0/0", "203.0.113.9", "2001:db8::1"},
        {"::1", "::1/128", "::1", "::2"},
        {"::1/128", "::1/128", "::1", "127.0.0.1"},
        {"fd00::/8", "fd00::/8", "fdab:1234::7", "fe80::1"},
        {"fe80::/10", "fe80::/10", "febf::1", "fec0::1"},
        {"::/0", "::/0", "2001:db8::1", nullptr},
        // An IPv4 client reaching an IPv6 socket arrives as ::ffff:a.b.c.d.
        {"127.0.0.0/8", "127.0.0.0/8", "::ffff:127.0.0.1", "::ffff:10.0.0.1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.network);
        VT5Network n;
        std::string error;
        ASSERT_TRUE(VT5ParseNetwork(c.network, n, error)) << error;
        EXPECT_EQ(n.Text(), c.text);
        EXPECT_TRUE(n.Contains(peer(c.inside))) << c.inside;
        if (c.outside) {
            EXPECT_FALSE(n.Contains(peer(c.outside))) << c.outside;
        }
    }
}

TEST(NetworkAccess, RefusesWhatIsNoNetworkWithTheReason) {
    struct Case {
        const char* text;
        const char* reason;
    };
    const Case cases[] = {
        {"", "is not a network"},           {"banana", "is not a network"},
        {"localhost", "is not a network"},  {"192.168.1/24", "is not a network"},
        {"256.1.1.1", "is not a network"},  {"10.0.0.0/33", "must be 0 to 32"},
        {"10.0.0.0/", "must be 0 to 32"},   {"10.0.0.0/-1", "must be 0 to 32"},
        {"10.0.0.0/8x", "must be 0 to 32"}, {"10.0.0.0/8/8", "must be 0 to 32"},
        {"fd00::/129", "must be 0 to 128"}, {"fd00::/0008", "must be 0 to 128"},
    };
    for (const Case& c : cases) {
        VT5Network n;
        std::string error;
        EXPECT_FALSE(VT5ParseNetwork(c.text, n, error)) << c.text;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.text << ": " << error;
    }
}

TEST(NetworkAccess, NoAllowedNetworksServesAnyoneAndAListServesItsMembersOnly) {
    VT5ServerAccess access;
    EXPECT_TRUE(access.Allows(peer("203.0.113.9")));
    EXPECT_TRUE(access.Allows(peer("2001:db8::1")));
    std::string error;
    for (const char* text : {"127.0.0.0/8", "192.168.0.0/16", "::1"}) {
        VT5Network n;
        ASSERT_TRUE(VT5ParseNetwork(text, n, error));
        access.allowed.push_back(n);
    }
    EXPECT_TRUE(access.Allows(peer("127.0.0.1")));
    EXPECT_TRUE(access.Allows(peer("192.168.44.1")));
    EXPECT_TRUE(access.Allows(peer("::1")));
    EXPECT_FALSE(access.Allows(peer("203.0.113.9")));
    EXPECT_FALSE(access.Allows(peer("10.0.0.1")));
    EXPECT_FALSE(access.Allows(peer("fd00::1")));
}

}  // namespace
