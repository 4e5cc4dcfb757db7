#pragma once

// Who may reach the API server: the addresses it listens on and the networks whose clients it
// serves. Every address is kept in its IPv6 form (IPv4 as ::ffff:a.b.c.d), so that one
// comparison serves both families and an IPv4 client seen through an IPv6 socket is still
// recognised as the IPv4 address it is.

#include <sys/socket.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A network: an address and the number of leading bits that name the network.
struct VT5Network {
    std::array<uint8_t, 16> address{};
    int prefixBits = 0;  // of the IPv6 form: an IPv4 /8 is 104 here
    bool ipv4 = false;   // written as an IPv4 network

    bool Contains(const std::array<uint8_t, 16>& peer) const;
    // "127.0.0.0/8", "fe80::/10"
    std::string Text() const;
};

// "192.168.1.0/24", "10.1.2.3" (that host alone), "::1", "fd00::/8": the network, or false
// with the reason in error. Bits past the prefix are cleared ("192.168.1.7/24" is
// 192.168.1.0/24).
bool VT5ParseNetwork(std::string_view text, VT5Network& network, std::string& error);

// The IPv6 form of a socket address (IPv4 mapped); false for other families.
bool VT5PeerAddress(const sockaddr* peer, std::array<uint8_t, 16>& address);
// The address as people write it: dotted IPv4 for IPv4 and mapped IPv4, else IPv6.
std::string VT5AddressText(const std::array<uint8_t, 16>& address);

struct VT5ServerAccess {
    // Addresses or host names to listen on; empty: every IPv4 address.
    std::vector<std::string> listen;
    // Networks whose clients are served; empty: anyone.
    std::vector<VT5Network> allowed;

    bool Allows(const std::array<uint8_t, 16>& peer) const;
};
