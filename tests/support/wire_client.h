#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/posix/unique_fd.h"

namespace vt5test {

// One message of the API server's wire protocol: header and payload.
struct WireMessage {
    uint32_t length = 0;
    uint32_t identifier = 0;
    std::vector<uint8_t> payload;
};

// Little-endian pieces of wire messages.
std::vector<uint8_t> le16(uint16_t v);
std::vector<uint8_t> le32(uint32_t v);
std::vector<uint8_t> join(std::initializer_list<std::vector<uint8_t>> parts);
uint16_t getLe16(const std::vector<uint8_t>& bytes, size_t at);
uint32_t getLe32(const std::vector<uint8_t>& bytes, size_t at);
// A message with the given identifier and payload; length = 8 + payload unless given.
std::vector<uint8_t> wireMessage(uint32_t identifier, const std::vector<uint8_t>& payload,
                                 std::optional<uint32_t> length = std::nullopt);
// A control request: identifier (code << 16) + 0x5C3D.
std::vector<uint8_t> controlRequest(uint16_t code, const std::vector<uint8_t>& payload = {});

// A TCP port on the loopback interface that nobody listens on right now.
int freeTcpPort();

// A raw client of the API server on 127.0.0.1, for tests that speak the wire protocol byte
// by byte. The connection completes through the server's backlog before it is accepted.
class WireClient {
public:
    explicit WireClient(int port);

    bool connected() const { return fd_.valid(); }
    int fd() const { return fd_.get(); }
    int localPort() const { return localPort_; }

    bool send(const std::vector<uint8_t>& bytes);
    // Sends a control request.
    bool control(uint16_t code, const std::vector<uint8_t>& payload = {});
    // The next whole message, waiting up to timeoutMs of real time for its first byte; none
    // when nothing arrived or the server closed the connection.
    std::optional<WireMessage> receive(int timeoutMs = 2000);
    // Nothing has arrived (the server's answers are complete when its poll returns).
    bool silent();
    // The server has closed the connection: the next read sees its end.
    bool closedByServer(int timeoutMs = 2000);
    void close() { fd_.reset(); }

private:
    platform::UniqueFd fd_;
    int localPort_ = 0;
};

}  // namespace vt5test
