#include "vt5api/link/network_access.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr std::array<uint8_t, 12> kMappedPrefix = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};

bool IsMapped(const std::array<uint8_t, 16>& a) {
    return std::equal(kMappedPrefix.begin(), kMappedPrefix.end(), a.begin());
}

std::array<uint8_t, 16> Mapped(const in_addr& v4) {
    std::array<uint8_t, 16> a{};
    std::copy(kMappedPrefix.begin(), kMappedPrefix.end(), a.begin());
    std::memcpy(a.data() + 12, &v4, 4);
    return a;
}

void ClearHostBits(std::array<uint8_t, 16>& a, int prefixBits) {
    for (int bit = prefixBits; bit < 128; ++bit)
        a[static_cast<size_t>(bit / 8)] &= static_cast<uint8_t>(~(0x80u >> (bit % 8)));
}

}  // namespace

bool VT5Network::Contains(const std::array<uint8_t, 16>& peer) const {
    std::array<uint8_t, 16> masked = peer;
    ClearHostBits(masked, prefixBits);
    return masked == address;
}

std::string VT5Network::Text() const {
    return VT5AddressText(address) + "/" + std::to_string(ipv4 ? prefixBits - 96 : prefixBits);
}

bool VT5ParseNetwork(std::string_view text, VT5Network& network, std::string& error) {
    const std::string whole(text);
    const size_t slash = whole.find('/');
    const std::string host = whole.substr(0, slash);
    VT5Network n;
    in_addr v4{};
    in6_addr v6{};
    if (::inet_pton(AF_INET, host.c_str(), &v4) == 1) {
        n.address = Mapped(v4);
        n.ipv4 = true;
    } else if (::inet_pton(AF_INET6, host.c_str(), &v6) == 1) {
        std::memcpy(n.address.data(), &v6, 16);
    } else {
        error = "'" + whole + "' is not a network (such as 192.168.1.0/24 or fd00::/8)";
        return false;
    }
    const int most = n.ipv4 ? 32 : 128;
    int bits = most;
    if (slash != std::string::npos) {
        const std::string digits = whole.substr(slash + 1);
        bool number =
            !digits.empty() && digits.size() <= 3 &&
            std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
        bits = number ? std::stoi(digits) : -1;
        if (bits < 0 || bits > most) {
            error =
                "'" + whole + "': the prefix length after '/' must be 0 to " + std::to_string(most);
            return false;
        }
    }
    n.prefixBits = n.ipv4 ? 96 + bits : bits;
    ClearHostBits(n.address, n.prefixBits);
    network = n;
    return true;
}

bool VT5PeerAddress(const sockaddr* peer, std::array<uint8_t, 16>& address) {
    if (peer->sa_family == AF_INET) {
        address = Mapped(reinterpret_cast<const sockaddr_in*>(peer)->sin_addr);
        return true;
    }
    if (peer->sa_family == AF_INET6) {
        std::memcpy(address.data(), &reinterpret_cast<const sockaddr_in6*>(peer)->sin6_addr, 16);
        return true;
    }
    return false;
}

std::string VT5AddressText(const std::array<uint8_t, 16>& address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (IsMapped(address))
        ::inet_ntop(AF_INET, address.data() + 12, text, sizeof text);
    else
        ::inet_ntop(AF_INET6, address.data(), text, sizeof text);
    return text;
}

bool VT5ServerAccess::Allows(const std::array<uint8_t, 16>& peer) const {
    if (allowed.empty()) return true;
    return std::any_of(allowed.begin(), allowed.end(),
                       [&](const VT5Network& n) { return n.Contains(peer); });
}
