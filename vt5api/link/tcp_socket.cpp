#include "vt5api/link/tcp_socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "vt5api/link/network_access.h"
#include "vt5api/link/wire.h"

int VT5SocketErrorClass(int err) {
    switch (err) {
        case 0:
            return 0;
        case EFAULT:
        case EAFNOSUPPORT:
        case ENETDOWN:
        case EPROTONOSUPPORT:
            return 2;
        case ENOTSOCK:
        case EBADF:
            return 3;
        case ETIMEDOUT:
        case EAGAIN:  // a receive or send time-out (SO_RCVTIMEO, SO_SNDTIMEO)
        case EINPROGRESS:
            return 10;
        case EMFILE:
        case ENFILE:
        case ENOBUFS:
        case ENOMEM:
            return 11;
        case EADDRNOTAVAIL:
            return 12;
        case ECONNABORTED:
        case ECONNREFUSED:
        case ECONNRESET:  // the server refused the connection with a reset
        case EPIPE:
            return 13;
        default:
            return -1;
    }
}

bool VT5SendAll(int fd, const void* data, size_t count, int& errorClass) {
    if (count == 0) return false;
    auto p = static_cast<const uint8_t*>(data);
    while (count > 0) {
        ssize_t n = ::send(fd, p, count, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            errorClass = VT5SocketErrorClass(n < 0 ? errno : ECONNABORTED);
            return false;
        }
        p += n;
        count -= static_cast<size_t>(n);
    }
    errorClass = 0;
    return true;
}

bool VT5SendMessage(int fd, uint32_t identifier, const void* payload, size_t size,
                    int& errorClass) {
    uint8_t small[8 + 64];
    std::vector<uint8_t> large;
    uint8_t* m = small;
    if (size > sizeof small - 8) {
        large.resize(8 + size);
        m = large.data();
    }
    VT5PutU32(m, static_cast<uint32_t>(8 + size));
    VT5PutU32(m + 4, identifier);
    if (size) std::memcpy(m + 8, payload, size);
    return VT5SendAll(fd, m, 8 + size, errorClass);
}

long VT5RecvExactly(int fd, void* data, size_t count, int& errorClass) {
    auto p = static_cast<uint8_t*>(data);
    size_t got = 0;
    while (got < count) {
        ssize_t n = ::recv(fd, p + got, count - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            errorClass = VT5SocketErrorClass(errno);
            return -1;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    errorClass = 0;
    return static_cast<long>(got);
}

namespace {

void SetTimeouts(int fd, int32_t ms) {
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

}  // namespace

platform::UniqueFd VT5ConnectTcp(const char* host, int port, int& errorClass) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (!host || ::getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) {
        errorClass = 2;
        return {};
    }
    sockaddr_in addr = *reinterpret_cast<sockaddr_in*>(found->ai_addr);
    ::freeaddrinfo(found);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    platform::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) {
        errorClass = VT5SocketErrorClass(errno);
        return {};
    }
    SetTimeouts(fd.get(), VT5_SOCKET_TIMEOUT_MS);
    int nodelay = 0;
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &nodelay, sizeof nodelay);
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        errorClass = VT5SocketErrorClass(errno);
        return {};
    }
    errorClass = 0;
    return fd;
}

platform::UniqueFd VT5ListenTcpAt(const sockaddr* address, socklen_t size, int& errorClass,
                                  int& err) {
    platform::UniqueFd fd(::socket(address->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) {
        err = errno;
        errorClass = VT5SocketErrorClass(err);
        return {};
    }
    int on = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (address->sa_family == AF_INET6)
        ::setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    if (::bind(fd.get(), address, size) != 0 || ::listen(fd.get(), 5) != 0) {
        err = errno;
        errorClass = VT5SocketErrorClass(err);
        return {};
    }
    err = 0;
    errorClass = 0;
    return fd;
}

platform::UniqueFd VT5AcceptTcp(int listener, sockaddr_storage& peer, char* address,
                                size_t addressSize, int& port) {
    platform::UniqueFd fd(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
    if (!fd) return {};
    int nodelay = 1;
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &nodelay, sizeof nodelay);
    SetTimeouts(fd.get(), VT5_SOCKET_TIMEOUT_MS);
    peer = {};
    socklen_t len = sizeof peer;
    address[0] = '\0';
    port = 0;
    std::array<uint8_t, 16> where{};
    if (::getpeername(fd.get(), reinterpret_cast<sockaddr*>(&peer), &len) != 0 ||
        !VT5PeerAddress(reinterpret_cast<sockaddr*>(&peer), where)) {
        peer.ss_family = AF_UNSPEC;
        return fd;
    }
    std::snprintf(address, addressSize, "%s", VT5AddressText(where).c_str());
    port = ntohs(peer.ss_family == AF_INET ? reinterpret_cast<sockaddr_in&>(peer).sin_port
                                           : reinterpret_cast<sockaddr_in6&>(peer).sin6_port);
    return fd;
}

void VT5ResetTcp(platform::UniqueFd socket) {
    linger hard{1, 0};
    ::setsockopt(socket.get(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
}

bool VT5SetReceiveTimeout(int fd, int32_t ms) {
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    return ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0;
}

int32_t VT5GetReceiveTimeout(int fd) {
    timeval tv{};
    socklen_t len = sizeof tv;
    if (::getsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, &len) != 0) return -1;
    return static_cast<int32_t>(tv.tv_sec * 1000 + tv.tv_usec / 1000);
}

int VT5SectionOf(uint16_t sectionCode) {
    switch (sectionCode) {
        case 0xC781:
            return 0;
        case 0xF51C:
            return 1;
        case 0x5A74:
            return 2;
        default:
            return -1;
    }
}
