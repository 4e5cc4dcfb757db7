// Assembling each client's request of the API server from whatever bytes have arrived, so
// that a slow or silent client never holds up the others.

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "vt5api/link/vt5link_server.h"

namespace {

// A pass takes at most this much from one client, so that a fast sender does not keep the
// others waiting.
constexpr uint64_t kPassBudget = 256 * 1024;

void Shape(VT5ServerClientRecord& c) {
    if (c.expected > 0) return;
    if (c.arrived >= 4 && VT5GetU32(c.request.data()) < 8) {
        // A length below the header's own: nothing more is read, the request is refused.
        c.expected = c.arrived;
        c.kept = c.request.size();
    } else if (c.arrived >= 8) {
        VT5RequestShape shape = VT5ShapeOfRequest(c.request.data());
        c.expected = shape.total;
        c.kept = shape.kept;
        c.request.reserve(c.kept);
    }
}

}  // namespace

void VT5ServerClientRecord::NextRequest() {
    request.clear();
    if (request.capacity() > 64 * 1024) request.shrink_to_fit();
    arrived = 0;
    expected = 0;
    kept = 0;
}

std::string VT5ServerClientRecord::Peer() const {
    const std::string host = std::strchr(address, ':') ? "[" + std::string(address) + "]" : address;
    return host + ":" + std::to_string(port);
}

void VT5ReceiveRequestBytes(VT5ServerClientRecord& c) {
    uint8_t scratch[16384];
    uint64_t budget = kPassBudget;
    while (!c.closed && !c.RequestComplete() && budget > 0) {
        // Up to the length field, then up to the identifier, then the payload: never a byte
        // of the next request, which stays in the socket.
        uint64_t want = c.expected ? c.expected - c.arrived : (c.arrived < 4 ? 4 : 8) - c.arrived;
        size_t n = static_cast<size_t>(std::min<uint64_t>({want, sizeof scratch, budget}));
        ssize_t got = ::recv(c.socket.get(), scratch, n, MSG_DONTWAIT);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (got <= 0) {
            c.closed = true;
            c.closedCleanly = got == 0 && c.arrived == 0;
            return;
        }
        if (c.arrived == 0) c.requestStarted = platform::now();
        size_t room =
            c.expected ? c.kept - std::min(c.kept, c.request.size()) : static_cast<size_t>(got);
        size_t keep = std::min(room, static_cast<size_t>(got));
        c.request.insert(c.request.end(), scratch, scratch + keep);
        c.arrived += static_cast<uint64_t>(got);
        budget -= static_cast<uint64_t>(got);
        Shape(c);
        if (c.RequestComplete()) c.requested = true;
    }
}

platform::Millis VT5RequestTimeLimit(const VT5ServerClientRecord& c) {
    return platform::Millis(VT5_SOCKET_TIMEOUT_MS +
                            static_cast<int64_t>(c.expected * 1000 / 32768));
}
