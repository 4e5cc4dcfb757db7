#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/posix/unique_fd.h"

namespace vt5test {

// One request as the fake API server received it.
struct WireRequest {
    uint32_t identifier;
    std::vector<uint8_t> payload;
};

// A scripted API server on 127.0.0.1 for testing the client side of the wire protocol. It
// accepts one connection and answers each request with whatever the handler returns (no
// bytes: no answer). ServerVersion and ApplicationId are answered by default.
class FakeServer {
public:
    using Handler = std::function<std::vector<uint8_t>(const WireRequest&)>;

    explicit FakeServer(Handler handler);
    ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    int port() const { return port_; }
    std::vector<WireRequest> requests() const;

    // A message: header (length, identifier) and payload.
    static std::vector<uint8_t> message(uint32_t identifier, const std::vector<uint8_t>& payload);
    static std::vector<uint8_t> u16(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
    static std::vector<uint8_t> u32(uint32_t v) {
        return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    }
    static std::vector<uint8_t> cat(std::vector<std::vector<uint8_t>> parts);

private:
    void run();

    Handler handler_;
    platform::UniqueFd listener_;
    int port_ = 0;
    std::atomic<int> connection_{-1};
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<WireRequest> requests_;
    std::thread thread_;
};

}  // namespace vt5test
