#include "tests/support/address_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cstring>

namespace vt5test {

namespace {

// The socket address of a numeric IPv4 or IPv6 address; its size, 0 when it is neither.
socklen_t socketAddress(const std::string& address, int port, sockaddr_storage& out) {
    out = {};
    auto* v4 = reinterpret_cast<sockaddr_in*>(&out);
    if (::inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<uint16_t>(port));
        return sizeof(sockaddr_in);
    }
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&out);
    if (::inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<uint16_t>(port));
        return sizeof(sockaddr_in6);
    }
    return 0;
}

}  // namespace

bool canBind(const std::string& address) {
    sockaddr_storage addr;
    socklen_t size = socketAddress(address, 0, addr);
    if (size == 0) return false;
    platform::UniqueFd fd(::socket(addr.ss_family, SOCK_STREAM, 0));
    return fd && ::bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), size) == 0;
}

platform::UniqueFd connectFrom(const std::string& local, const std::string& address, int port) {
    sockaddr_storage from, to;
    socklen_t fromSize = socketAddress(local, 0, from);
    socklen_t toSize = socketAddress(address, port, to);
    if (fromSize == 0 || toSize == 0 || from.ss_family != to.ss_family) return {};
    platform::UniqueFd fd(::socket(to.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd || ::bind(fd.get(), reinterpret_cast<sockaddr*>(&from), fromSize) != 0 ||
        ::connect(fd.get(), reinterpret_cast<sockaddr*>(&to), toSize) != 0)
        return {};
    return fd;
}

platform::UniqueFd listenOn(const std::string& address, int port) {
    sockaddr_storage addr;
    socklen_t size = socketAddress(address, port, addr);
    if (size == 0) return {};
    // Not inherited by the programs the test starts, so that it alone holds the port.
    platform::UniqueFd fd(::socket(addr.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd || ::bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), size) != 0 ||
        ::listen(fd.get(), 1) != 0)
        return {};
    return fd;
}

bool endedByPeer(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return false;
    char byte;
    return ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) <= 0;
}

int localPortOf(int fd) {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
    if (addr.ss_family == AF_INET) return ntohs(reinterpret_cast<sockaddr_in&>(addr).sin_port);
    return ntohs(reinterpret_cast<sockaddr_in6&>(addr).sin6_port);
}

}  // namespace vt5test
