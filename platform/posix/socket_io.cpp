#include "platform/posix/socket_io.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>

namespace platform {

bool sendAll(int fd, const void* data, size_t size) {
    auto p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool recvAll(int fd, void* data, size_t size) {
    auto p = static_cast<uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::recv(fd, p, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool sendFrame(int fd, const std::vector<uint8_t>& payload) {
    uint32_t n = static_cast<uint32_t>(payload.size());
    uint8_t header[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    return sendAll(fd, header, 4) && sendAll(fd, payload.data(), payload.size());
}

bool recvFrame(int fd, std::vector<uint8_t>& payload, size_t maxSize) {
    uint8_t h[4];
    if (!recvAll(fd, h, 4)) return false;
    uint32_t n = uint32_t(h[0]) | uint32_t(h[1]) << 8 | uint32_t(h[2]) << 16 | uint32_t(h[3]) << 24;
    if (n > maxSize) return false;
    payload.resize(n);
    return recvAll(fd, payload.data(), n);
}

namespace {
bool fillAddress(const std::string& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}
}  // namespace

UniqueFd connectUnix(const std::string& path) {
    sockaddr_un addr;
    if (!fillAddress(path, addr)) return {};
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) return {};
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return {};
    return fd;
}

UniqueFd listenUnix(const std::string& path, std::string& error) {
    sockaddr_un addr;
    if (!fillAddress(path, addr)) {
        error = "socket path too long: " + path;
        return {};
    }
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd || ::bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd.get(), 64) != 0) {
        error = path + ": " + std::strerror(errno);
        return {};
    }
    return fd;
}

bool peerGone(int fd) {
    pollfd p{fd, POLLRDHUP, 0};
    int r = ::poll(&p, 1, 0);
    return r > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

}  // namespace platform
