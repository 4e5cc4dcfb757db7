#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/posix/unique_fd.h"

namespace vt5test {

// One message a client sent through the tap.
struct TappedRequest {
    int connection;  // 0, 1, ... in the order the connections were made
    uint32_t identifier;
    std::vector<uint8_t> payload;
};

// A recording proxy on 127.0.0.1 between API clients and a server: it passes bytes both ways
// unchanged and keeps every request the clients send, so that tests can check what a client
// said to a real server. Each connection to the tap opens one to the server.
class WireTap {
public:
    explicit WireTap(int serverPort);
    ~WireTap();
    WireTap(const WireTap&) = delete;
    WireTap& operator=(const WireTap&) = delete;

    int port() const { return port_; }
    std::vector<TappedRequest> requests() const;
    // The identifiers of the requests of one connection, in order.
    std::vector<uint32_t> identifiers(int connection) const;
    void clear();

private:
    struct Pair {
        platform::UniqueFd client, server;
        std::vector<uint8_t> pending;  // client bytes not yet a whole message
        int connection;
    };
    void run();
    void record(Pair& pair, const uint8_t* data, size_t size);

    int serverPort_;
    int port_ = 0;
    platform::UniqueFd listener_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<TappedRequest> requests_;
    std::thread thread_;
};

}  // namespace vt5test
