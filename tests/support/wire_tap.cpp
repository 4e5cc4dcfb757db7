#include "tests/support/wire_tap.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <list>
#include <stdexcept>

#include "platform/posix/socket_io.h"

namespace vt5test {

namespace {

sockaddr_in loopback(int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    return addr;
}

uint32_t le32At(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

}  // namespace

WireTap::WireTap(int serverPort) : serverPort_(serverPort) {
    listener_.reset(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in addr = loopback(0);
    socklen_t len = sizeof addr;
    if (!listener_ ||
        ::bind(listener_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_.get(), 16) != 0 ||
        ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        throw std::runtime_error("wire tap cannot listen");
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { run(); });
}

WireTap::~WireTap() {
    stopping_ = true;
    thread_.join();
}

std::vector<TappedRequest> WireTap::requests() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return requests_;
}

std::vector<uint32_t> WireTap::identifiers(int connection) const {
    std::vector<uint32_t> out;
    for (const TappedRequest& r : requests())
        if (r.connection == connection) out.push_back(r.identifier);
    return out;
}

void WireTap::clear() {
    std::lock_guard<std::mutex> guard(mutex_);
    requests_.clear();
}

void WireTap::record(Pair& pair, const uint8_t* data, size_t size) {
    pair.pending.insert(pair.pending.end(), data, data + size);
    while (pair.pending.size() >= 8) {
        uint32_t length = le32At(pair.pending, 0);
        if (length < 8) length = 8;  // the server drops such a client; keep the header
        if (pair.pending.size() < length) break;
        TappedRequest r{
            pair.connection, le32At(pair.pending, 4),
            std::vector<uint8_t>(pair.pending.begin() + 8, pair.pending.begin() + length)};
        pair.pending.erase(pair.pending.begin(), pair.pending.begin() + length);
        std::lock_guard<std::mutex> guard(mutex_);
        requests_.push_back(std::move(r));
    }
}

void WireTap::run() {
    std::list<Pair> pairs;
    int connections = 0;
    uint8_t buffer[65536];
    while (!stopping_) {
        std::vector<pollfd> fds{{listener_.get(), POLLIN, 0}};
        for (Pair& p : pairs) {
            fds.push_back({p.client.get(), POLLIN, 0});
            fds.push_back({p.server.get(), POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), 20) <= 0) continue;
        size_t polled = pairs.size();  // a pair accepted below waits for the next round
        if (fds[0].revents & POLLIN) {
            platform::UniqueFd client(::accept(listener_.get(), nullptr, nullptr));
            platform::UniqueFd server(::socket(AF_INET, SOCK_STREAM, 0));
            sockaddr_in addr = loopback(serverPort_);
            if (client && server &&
                ::connect(server.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0)
                pairs.push_back({std::move(client), std::move(server), {}, connections++});
        }
        size_t i = 1;
        for (auto it = pairs.begin(); it != pairs.end() && polled > 0; --polled, i += 2) {
            bool closed = false;
            for (int side = 0; side < 2 && !closed; ++side) {
                if (!(fds[i + side].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                int from = side == 0 ? it->client.get() : it->server.get();
                int to = side == 0 ? it->server.get() : it->client.get();
                ssize_t n = ::recv(from, buffer, sizeof buffer, 0);
                if (n <= 0 || !platform::sendAll(to, buffer, static_cast<size_t>(n))) {
                    closed = true;
                    break;
                }
                if (side == 0) record(*it, buffer, static_cast<size_t>(n));
            }
            it = closed ? pairs.erase(it) : std::next(it);
        }
    }
}

}  // namespace vt5test
