#pragma once

// The server members of the link object: the listening socket, the client list, the lock,
// the sections and the relay queues.

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "platform/clock/clock.h"
#include "platform/posix/unique_fd.h"
#include "vt5api/link/wire.h"

struct VT5ServerClientRecord {
    platform::UniqueFd socket;
    char address[24] = {};
    int port = 0;
    char applicationId[32] = {};
    std::deque<uint8_t> relayQueue;
    bool doomed = false;  // to be removed once the current request is done
};

struct VT5ServerState {
    platform::UniqueFd listener;
    // Index = position; removing a client shifts the later ones down.
    std::vector<std::unique_ptr<VT5ServerClientRecord>> clients;
    int lockHolder = -1;
    int lockDepth = 0;
    platform::TimePoint lockTimer{};
    int sectionOwners[VT5_SECTION_COUNT] = {-1, -1, -1};
    bool resyncPending = false;
    char servedSerial[9] = {};
    uint8_t forward[VT5_FORWARD_BUFFER] = {};
};

// A relay queue that grows past this is not being read: its client is dropped.
constexpr size_t VT5_MAX_RELAY_QUEUE = 1u << 20;
// The most clients at once: the watch set holds 64 sockets, the listening one among them.
constexpr int VT5_MAX_CLIENTS = VT5_WATCH_SET_SIZE - 1;
