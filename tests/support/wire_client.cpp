#include "tests/support/wire_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <stdexcept>

#include "platform/posix/socket_io.h"

namespace vt5test {

std::vector<uint8_t> le16(uint16_t v) {
    return {uint8_t(v), uint8_t(v >> 8)};
}

std::vector<uint8_t> le32(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

std::vector<uint8_t> join(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

uint16_t getLe16(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint16_t>(bytes.at(at) | bytes.at(at + 1) << 8);
}

uint32_t getLe32(const std::vector<uint8_t>& bytes, size_t at) {
    return getLe16(bytes, at) | uint32_t(getLe16(bytes, at + 2)) << 16;
}

std::vector<uint8_t> wireMessage(uint32_t identifier, const std::vector<uint8_t>& payload,
                                 std::optional<uint32_t> length) {
    return join({le32(length.value_or(static_cast<uint32_t>(8 + payload.size()))), le32(identifier),
                 payload});
}

std::vector<uint8_t> controlRequest(uint16_t code, const std::vector<uint8_t>& payload) {
    return wireMessage(uint32_t(code) << 16 | 0x5C3D, payload);
}

namespace {

sockaddr_in loopback(int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    return addr;
}

int boundPort(int fd) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
    return ntohs(addr.sin_port);
}

bool readable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

}  // namespace

int freeTcpPort() {
    platform::UniqueFd fd(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in addr = loopback(0);
    if (!fd || ::bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        throw std::runtime_error("no free TCP port");
    return boundPort(fd.get());
}

WireClient::WireClient(int port) {
    platform::UniqueFd fd(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in addr = loopback(port);
    if (fd && ::connect(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        // A server that stops in the middle of a message must not hang the test.
        timeval tv{5, 0};
        ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        localPort_ = boundPort(fd.get());
        fd_ = std::move(fd);
    }
}

bool WireClient::send(const std::vector<uint8_t>& bytes) {
    return fd_ && platform::sendAll(fd_.get(), bytes.data(), bytes.size());
}

bool WireClient::control(uint16_t code, const std::vector<uint8_t>& payload) {
    return send(controlRequest(code, payload));
}

std::optional<WireMessage> WireClient::receive(int timeoutMs) {
    if (!fd_ || !readable(fd_.get(), timeoutMs)) return std::nullopt;
    uint8_t header[8];
    if (!platform::recvAll(fd_.get(), header, 8)) return std::nullopt;
    WireMessage m;
    m.length = getLe32({header, header + 8}, 0);
    m.identifier = getLe32({header, header + 8}, 4);
    if (m.length < 8) return m;
    m.payload.resize(m.length - 8);
    if (!m.payload.empty() && !platform::recvAll(fd_.get(), m.payload.data(), m.payload.size()))
        return std::nullopt;
    return m;
}

bool WireClient::silent() {
    return fd_ && !readable(fd_.get(), 0);
}

bool WireClient::closedByServer(int timeoutMs) {
    if (!fd_ || !readable(fd_.get(), timeoutMs)) return false;
    uint8_t byte;
    return ::recv(fd_.get(), &byte, 1, MSG_PEEK) <= 0;
}

}  // namespace vt5test
