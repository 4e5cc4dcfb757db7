// The server side of the link object: listening, the client list, scheduling, the lock,
// the sections and the relay queues. Requests themselves are served in server_requests.cpp.

#include <poll.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "vt5api/api/vt5_errors.h"
#include "vt5api/api/vt5server.h"
#include "vt5api/link/tcp_socket.h"
#include "vt5api/link/vt5link.h"
#include "vt5api/link/vt5link_server.h"

int VT5ServeRequest(CVT5Link& link, int client);

int32_t CVT5Link::StartServer(uint16_t& port, const char* servedSerial) {
    if (mode_ == VT5_MODE_CLIENT) return VT5_E_WRONG_MODE;
    socketsInitialised_ = true;
    if (mode_ == VT5_MODE_SERVER) StopServer();
    if (port == 0) port = VT5_DEFAULT_SERVER_PORT;
    if (!server_) server_ = std::make_unique<VT5ServerState>();
    server_->listener = VT5ListenTcp(port, lastSocketError_);
    if (!server_->listener) return VT5_E_TCP;
    mode_ = VT5_MODE_SERVER;
    std::memset(server_->servedSerial, 0, sizeof server_->servedSerial);
    if (servedSerial) std::memcpy(server_->servedSerial, servedSerial, strnlen(servedSerial, 8));
    return VT5_OK;
}

int32_t CVT5Link::StopServer() {
    if (mode_ != VT5_MODE_SERVER) return VT5_E_WRONG_MODE;
    if (!socketsInitialised_) return VT5_E_TCP_INIT;
    VT5ServerState& s = *server_;
    // From the last to the first; a lock holder among them leaves a resync pending.
    for (int i = static_cast<int>(s.clients.size()) - 1; i >= 0; --i)
        RemoveClient(i, "the server stopped");
    s.listener.reset();
    mode_ = VT5_MODE_DIRECT;
    return VT5_OK;
}

void CVT5Link::ServerLog(const char* format, ...) {
    if (!serverLog_) return;
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    serverLog_(line);
}

void CVT5Link::RemoveClient(int index, const char* why) {
    VT5ServerState& s = *server_;
    if (index < 0 || index >= static_cast<int>(s.clients.size())) return;
    const VT5ServerClientRecord& c = *s.clients[static_cast<size_t>(index)];
    ServerLog("client %s:%d \"%s\" removed: %s", c.address, c.port, c.applicationId, why);
    s.clients.erase(s.clients.begin() + index);
    for (int& owner : s.sectionOwners) {
        if (owner == index)
            owner = -1;
        else if (owner > index)
            --owner;
    }
    if (s.lockHolder == index) {
        s.resyncPending = true;
        s.lockHolder = -1;
        s.lockDepth = 0;
    } else if (s.lockHolder > index) {
        --s.lockHolder;
    }
}

void CVT5Link::AcceptClient() {
    auto record = std::make_unique<VT5ServerClientRecord>();
    record->socket = VT5AcceptTcp(server_->listener.get(), record->address, sizeof record->address,
                                  record->port);
    if (!record->socket) return;
    // A client beyond the watch set would sit in the list unserved: refuse it instead, so
    // that it sees its connection close at once.
    if (static_cast<int>(server_->clients.size()) >= VT5_MAX_CLIENTS) {
        ServerLog("client %s:%d refused: %d clients already", record->address, record->port,
                  VT5_MAX_CLIENTS);
        return;
    }
    ServerLog("client %s:%d connected", record->address, record->port);
    server_->clients.push_back(std::move(record));
}

void CVT5Link::Broadcast(const uint8_t* bytes, int32_t count, int excludedClient) {
    if (!server_ || count <= 0) return;
    for (size_t i = 0; i < server_->clients.size(); ++i) {
        if (static_cast<int>(i) == excludedClient) continue;
        VT5ServerClientRecord& c = *server_->clients[i];
        if (c.relayQueue.size() + static_cast<size_t>(count) > VT5_MAX_RELAY_QUEUE) {
            c.doomed = true;
            continue;
        }
        c.relayQueue.insert(c.relayQueue.end(), bytes, bytes + count);
    }
}

void CVT5Link::ResetAccessState() {
    if (!server_) return;
    server_->lockHolder = -1;
    server_->lockDepth = 0;
    for (int& owner : server_->sectionOwners)
        owner = -1;
    server_->resyncPending = false;
}

bool CVT5Link::ResyncLine() {
    if (SetBaudRate(9600) != 0 || WriteByte(0x00) != 1) return false;
    while (QueryWriteBufLen() != 0)
        platform::sleepMs(1);
    platform::sleepMs(550);
    if (SetBaudRate(3000000) != 0) return false;
    // What the lost holder's command left in the receive queue is nobody's answer.
    FlushInBuffer();
    return true;
}

int32_t CVT5Link::PollServer() {
    if (mode_ != VT5_MODE_SERVER) return VT5_E_WRONG_MODE;
    if (!socketsInitialised_) return VT5_E_TCP_INIT;
    VT5ServerState& s = *server_;
    if (s.lockHolder >= 0 && platform::now() - s.lockTimer > platform::Millis(VT5_LOCK_LIMIT_MS))
        RemoveClient(s.lockHolder, "held the lock without a request for 5000 ms");
    if (s.resyncPending) {
        s.resyncPending = false;
        if (handle_) {
            ServerLog("resynchronising the USB line after a lost lock holder");
            if (!ResyncLine()) {
                ServerLog("resynchronising failed: %s; server stopped", errorText_);
                StopServer();
                return VT5_E_COMMUNICATION;
            }
        }
    }
    // While a client holds the lock the others are not read, so they are not watched either:
    // their waiting requests would only wake this wait again and again. (poll skips the
    // negative descriptors, which keeps the indexes lined up with the client list.)
    std::vector<pollfd> fds;
    fds.push_back({s.listener.get(), POLLIN, 0});
    for (size_t i = 0; i < s.clients.size(); ++i) {
        bool watched = s.lockHolder < 0 || s.lockHolder == static_cast<int>(i);
        fds.push_back({watched ? s.clients[i]->socket.get() : -1, POLLIN, 0});
    }
    int ready = ::poll(fds.data(), fds.size(), 20);
    if (ready < 0) {
        lastSocketError_ = VT5SocketErrorClass(errno);
        return errno == EINTR ? VT5_OK : VT5_E_TCP;
    }
    if (ready == 0) return VT5_OK;
    if (fds[0].revents & POLLIN) AcceptClient();
    for (size_t i = 1; i < fds.size(); ++i) {
        int index = static_cast<int>(i - 1);
        if (fds[i].fd < 0 && s.lockHolder < 0) {
            // The lock came free in this pass: a client not watched till now is read like
            // the others, in list order.
            fds[i].fd = s.clients[static_cast<size_t>(index)]->socket.get();
            if (::poll(&fds[i], 1, 0) < 0) fds[i].revents = 0;
        }
        if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        if (s.lockHolder >= 0 && s.lockHolder != index) continue;
        int served = VT5ServeRequest(*this, index);
        // Clients whose relay queue overflowed go now, from the last to the first.
        bool removedAny = served < 0;
        for (int j = static_cast<int>(s.clients.size()) - 1; j >= 0; --j) {
            if (s.clients[static_cast<size_t>(j)]->doomed) {
                RemoveClient(j, "its relay queue overflowed");
                removedAny = true;
            }
        }
        if (removedAny) break;
    }
    return VT5_OK;
}

int32_t CVT5Link::GetServerClients(VT5ServerClient* entries) const {
    if (mode_ != VT5_MODE_SERVER || !server_) return 0;
    const VT5ServerState& s = *server_;
    int32_t n = static_cast<int32_t>(s.clients.size());
    for (int32_t i = 0; entries && i < n; ++i) {
        const VT5ServerClientRecord& c = *s.clients[static_cast<size_t>(i)];
        VT5ServerClient& e = entries[i];
        std::memset(&e, 0, sizeof e);
        std::snprintf(e.address, sizeof e.address, "%s", c.address);
        e.port = c.port;
        std::snprintf(e.applicationId, sizeof e.applicationId, "%s", c.applicationId);
        for (int section = 0; section < VT5_SECTION_COUNT; ++section)
            if (s.sectionOwners[section] == i) e.sectionFlags |= 1 << section;
    }
    return n;
}
