#pragma once

// The server members of the link object: the listening socket, the client list, the lock,
// the sections and the relay queues.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock/clock.h"
#include "platform/posix/unique_fd.h"
#include "vt5api/link/wire.h"

struct VT5ServerClientRecord {
    uint64_t id = 0;  // unique among the clients of a server's life
    platform::UniqueFd socket;
    char address[46] = {};  // IPv4 dotted, or IPv6
    int port = 0;
    char applicationId[32] = {};
    std::deque<uint8_t> relayQueue;
    bool doomed = false;  // to be removed once the current request is done

    // The request being assembled from whatever has arrived, so that no client is waited
    // for: the bytes a handler reads (the header, then at most `kept` bytes in all), the
    // count of its bytes that arrived, and its whole size (0 until its header is known).
    // Payload past `kept` is surplus that is counted and thrown away.
    std::vector<uint8_t> request;
    uint64_t arrived = 0;
    uint64_t expected = 0;
    size_t kept = 0;
    platform::TimePoint connectedAt{};
    platform::TimePoint requestStarted{};  // when the request's first byte arrived
    bool requested = false;                // a whole request arrived since it connected
    bool closed = false;                   // its peer closed the connection, or it failed
    bool closedCleanly = false;            // its peer ended the connection between requests
    bool awaitingAnswer = false;           // wrote to the HC and has not read since

    bool RequestComplete() const { return expected > 0 && arrived == expected; }
    // "192.168.1.7:40312", "[fd00::7]:40312"
    std::string Peer() const;
    void NextRequest();
};

// How much of a request to wait for, from its header: its whole size and the bytes of it
// that its handler reads (the rest is surplus payload).
struct VT5RequestShape {
    uint64_t total = 0;
    size_t kept = 0;
};
VT5RequestShape VT5ShapeOfRequest(const uint8_t header[8]);

// Takes what has arrived of the client's current request, without waiting; marks the client
// closed at the end of its stream or on a failure.
void VT5ReceiveRequestBytes(VT5ServerClientRecord& client);
// How long a request may take to arrive once it has begun: 5000 ms, and 1 s more for every
// 32 KiB that it announces.
platform::Millis VT5RequestTimeLimit(const VT5ServerClientRecord& client);

struct VT5ServerState {
    // One per address listened on.
    std::vector<platform::UniqueFd> listeners;
    // Index = position; removing a client shifts the later ones down.
    std::vector<std::unique_ptr<VT5ServerClientRecord>> clients;
    int lockHolder = -1;
    int lockDepth = 0;
    platform::TimePoint lockTimer{};
    int sectionOwners[VT5_SECTION_COUNT] = {-1, -1, -1};
    bool resyncPending = false;
    char servedSerial[9] = {};
    platform::TimePoint presenceChecked{};
    uint64_t nextClientId = 1;
    uint64_t lastHcUser = 0;  // id of the client whose bytes reached the HC last
    uint8_t forward[VT5_FORWARD_BUFFER] = {};
};

// A relay queue that grows past this is not being read: its client is dropped.
constexpr size_t VT5_MAX_RELAY_QUEUE = 1u << 20;
// The most clients at once: the watch set holds 64 sockets, the listening one among them.
constexpr int VT5_MAX_CLIENTS = VT5_WATCH_SET_SIZE - 1;
// A connection that has not sent a whole request this long after connecting is closed, so
// that idle connections cannot fill the client list.
constexpr int32_t VT5_FIRST_REQUEST_LIMIT_MS = 10000;
// The longest USB time-out a client may set on the server's link (0 would mean none at all).
constexpr int32_t VT5_LONGEST_SERVER_TIMEOUT_MS = 0xFFFE;
// The largest data write taken in: a command message with the largest bulk data is far less.
constexpr uint32_t VT5_MAX_WRITE_PAYLOAD = 1u << 20;
