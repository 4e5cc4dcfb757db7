#include "tests/support/fake_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <stdexcept>

#include "platform/posix/socket_io.h"

namespace vt5test {

FakeServer::FakeServer(Handler handler) : handler_(std::move(handler)) {
    listener_.reset(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(listener_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_.get(), 1) != 0 ||
        ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        throw std::runtime_error("fake server cannot listen");
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { run(); });
}

FakeServer::~FakeServer() {
    stopping_ = true;
    int c = connection_.load();
    if (c >= 0) ::shutdown(c, SHUT_RDWR);
    ::shutdown(listener_.get(), SHUT_RDWR);
    thread_.join();
}

std::vector<WireRequest> FakeServer::requests() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return requests_;
}

std::vector<uint8_t> FakeServer::message(uint32_t identifier, const std::vector<uint8_t>& payload) {
    return cat({u32(static_cast<uint32_t>(8 + payload.size())), u32(identifier), payload});
}

std::vector<uint8_t> FakeServer::cat(std::vector<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

void FakeServer::run() {
    pollfd p{listener_.get(), POLLIN, 0};
    while (!stopping_ && ::poll(&p, 1, 100) == 0) {
    }
    if (stopping_) return;
    platform::UniqueFd fd(::accept(listener_.get(), nullptr, nullptr));
    if (!fd) return;
    connection_ = fd.get();
    for (;;) {
        uint8_t header[8];
        if (!platform::recvAll(fd.get(), header, 8)) break;
        uint32_t length = header[0] | header[1] << 8 | header[2] << 16 | uint32_t(header[3]) << 24;
        WireRequest request;
        request.identifier =
            header[4] | header[5] << 8 | header[6] << 16 | uint32_t(header[7]) << 24;
        if (length < 8 || length > (1u << 20)) break;
        request.payload.resize(length - 8);
        if (!platform::recvAll(fd.get(), request.payload.data(), request.payload.size())) break;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            requests_.push_back(request);
        }
        std::vector<uint8_t> answer;
        if (request.identifier == 0x00015C3D)
            answer = message(request.identifier, u16(0x0120));
        else if (request.identifier == 0xCADD5C3D)
            answer = message(request.identifier, {});
        else
            answer = handler_(request);
        if (!answer.empty() && !platform::sendAll(fd.get(), answer.data(), answer.size())) break;
    }
    connection_ = -1;
}

}  // namespace vt5test
