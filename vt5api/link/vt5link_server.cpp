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
    if (!OpenListeners(port)) return VT5_E_TCP;
    mode_ = VT5_MODE_SERVER;
    std::memset(server_->servedSerial, 0, sizeof server_->servedSerial);
    if (servedSerial) std::memcpy(server_->servedSerial, servedSerial, strnlen(servedSerial, 8));
    return VT5_OK;
}

int32_t CVT5Link::StartServerUnlistened(const char* servedSerial) {
    if (mode_ == VT5_MODE_CLIENT) return VT5_E_WRONG_MODE;
    socketsInitialised_ = true;
    if (mode_ == VT5_MODE_SERVER) StopServer();
    if (!server_) server_ = std::make_unique<VT5ServerState>();
    server_->listeners.clear();
    mode_ = VT5_MODE_SERVER;
    std::memset(server_->servedSerial, 0, sizeof server_->servedSerial);
    if (servedSerial) std::memcpy(server_->servedSerial, servedSerial, strnlen(servedSerial, 8));
    return VT5_OK;
}

bool CVT5Link::AdoptServerClient(platform::UniqueFd socket) {
    if (mode_ != VT5_MODE_SERVER || !socket) return false;
    if (static_cast<int>(server_->clients.size()) >= VT5_MAX_CLIENTS) return false;
    auto record = std::make_unique<VT5ServerClientRecord>();
    record->socket = std::move(socket);
    record->connectedAt = platform::now();
    record->id = server_->nextClientId++;
    server_->clients.push_back(std::move(record));
    return true;
}

int32_t CVT5Link::StopServer() {
    if (mode_ != VT5_MODE_SERVER) return VT5_E_WRONG_MODE;
    if (!socketsInitialised_) return VT5_E_TCP_INIT;
    VT5ServerState& s = *server_;
    // From the last to the first; a lock holder among them leaves a resync pending.
    for (int i = static_cast<int>(s.clients.size()) - 1; i >= 0; --i)
        RemoveClient(i, "the server stopped");
    s.listeners.clear();
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
    if (why)
        ServerLog("client %s \"%s\" removed: %s", c.Peer().c_str(), c.applicationId, why);
    else
        ServerLog("client %s \"%s\" disconnected", c.Peer().c_str(), c.applicationId);
    // The answer it wrote for is on its way and nobody reads it.
    if (c.awaitingAnswer) MarkOutOfStep();
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

void CVT5Link::AcceptClient(int listener) {
    auto record = std::make_unique<VT5ServerClientRecord>();
    sockaddr_storage peer{};
    record->socket =
        VT5AcceptTcp(listener, peer, record->address, sizeof record->address, record->port);
    if (!record->socket) return;
    // Anyone who reaches the port could do all that the programs can: a peer outside the
    // allowed networks (or of no known address) gets nothing but the end of its connection.
    std::array<uint8_t, 16> where{};
    const bool known = VT5PeerAddress(reinterpret_cast<sockaddr*>(&peer), where);
    if (!access_.allowed.empty() && (!known || !access_.Allows(where))) {
        ServerLog("client %s refused: not in the allowed networks",
                  known ? record->Peer().c_str() : "of unknown address");
        VT5ResetTcp(std::move(record->socket));
        return;
    }
    // A client beyond the watch set would sit in the list unserved: refuse it instead, with a
    // reset, which its client reports as refused rather than as a broken exchange.
    if (static_cast<int>(server_->clients.size()) >= VT5_MAX_CLIENTS) {
        ServerLog("client %s refused: %d clients already", record->Peer().c_str(), VT5_MAX_CLIENTS);
        VT5ResetTcp(std::move(record->socket));
        return;
    }
    record->connectedAt = platform::now();
    record->id = server_->nextClientId++;
    ServerLog("client %s connected", record->Peer().c_str());
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

// The HC vanished under the server (unplugged, or its line failed for good). The server
// lets it go as after a power-off: clients get the "no HC" answers meanwhile, and the next
// OpenDevice opens it again.
void CVT5Link::LetDeviceGo(const char* why) {
    ServerLog("the HC is gone (%s); it is opened again on the next OpenDevice", why);
    // The failure that showed it stays the last driver status, as the error answers tell it.
    FT_STATUS failure = lastStatus_;
    if (api_)
        api_->ReactToAsync(VT5_E_POWERED_OFF);
    else
        Close();
    if (handle_) {
        // Closing failed on the vanished device; the driver has let the handle go all the
        // same, and the link must not keep using it.
        handle_ = nullptr;
        openSerial_[0] = '\0';
        outOfStep_ = false;
        ClearHandshakeCopy();
    }
    lastStatus_ = failure;
    if (server_) server_->resyncPending = false;
}

void CVT5Link::LetDeviceGoIfGone() {
    if (mode_ == VT5_MODE_CLIENT || !handle_) return;
    uint32_t rx = 0;
    FT_STATUS status = FT_GetQueueStatus(handle_, &rx);
    if (status == FT_OK) return;
    char why[64];
    std::snprintf(why, sizeof why, "the driver reports status %d for it", static_cast<int>(status));
    LetDeviceGo(why);
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
    platform::TimePoint now = platform::now();
    if (s.lockHolder >= 0 && now - s.lockTimer > platform::Millis(VT5_LOCK_LIMIT_MS))
        RemoveClient(s.lockHolder, "held the lock without a request for 5000 ms");
    if (s.resyncPending) {
        s.resyncPending = false;
        if (handle_) {
            ServerLog("resynchronising the USB line after a lost lock holder");
            if (!ResyncLine()) {
                char why[sizeof errorText_ + 32];
                std::snprintf(why, sizeof why, "resynchronising failed: %s", errorText_);
                LetDeviceGo(why);
            }
        }
    }
    // An HC pulled out while nobody uses it shows at once in the server's state.
    if (handle_ && s.lockHolder < 0 && now - s.presenceChecked >= platform::Millis(1000)) {
        s.presenceChecked = now;
        LetDeviceGoIfGone();
    }
    DropLateClients(now);

    // Clients are read whenever bytes arrive, until their request is whole; a whole request
    // waits for its turn (while another client holds the lock, its holder's alone).
    std::vector<pollfd> fds;
    for (const platform::UniqueFd& listener : s.listeners)
        fds.push_back({listener.get(), POLLIN, 0});
    const size_t firstClient = fds.size();
    bool servable = false;
    for (size_t i = 0; i < s.clients.size(); ++i) {
        const VT5ServerClientRecord& c = *s.clients[i];
        bool waiting = c.closed || c.RequestComplete();
        fds.push_back({waiting ? -1 : c.socket.get(), POLLIN, 0});
        if (waiting && (s.lockHolder < 0 || s.lockHolder == static_cast<int>(i))) servable = true;
    }
    int ready = ::poll(fds.data(), fds.size(), servable ? 0 : 20);
    if (ready < 0) {
        lastSocketError_ = VT5SocketErrorClass(errno);
        return errno == EINTR ? VT5_OK : VT5_E_TCP;
    }
    for (size_t i = firstClient; i < fds.size(); ++i)
        if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
            VT5ReceiveRequestBytes(*s.clients[i - firstClient]);
    for (size_t i = 0; i < firstClient; ++i)
        if (fds[i].revents & POLLIN) AcceptClient(fds[i].fd);

    for (size_t i = 0; i < s.clients.size(); ++i) {
        int index = static_cast<int>(i);
        if (s.lockHolder >= 0 && s.lockHolder != index) continue;
        VT5ServerClientRecord& c = *s.clients[i];
        int served = 0;
        if (c.RequestComplete())
            served = VT5ServeRequest(*this, index);
        else if (c.closed)
            served = (RemoveClient(
                          index, c.closedCleanly ? nullptr : "connection closed or request failed"),
                      -1);
        else
            continue;
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

void CVT5Link::DropLateClients(platform::TimePoint now) {
    VT5ServerState& s = *server_;
    for (int i = static_cast<int>(s.clients.size()) - 1; i >= 0; --i) {
        const VT5ServerClientRecord& c = *s.clients[static_cast<size_t>(i)];
        if (c.closed || c.RequestComplete()) continue;
        if (!c.requested && now - c.connectedAt > platform::Millis(VT5_FIRST_REQUEST_LIMIT_MS)) {
            RemoveClient(i, "no whole request within 10000 ms of connecting");
        } else if (c.arrived > 0 && now - c.requestStarted > VT5RequestTimeLimit(c)) {
            char why[80];
            std::snprintf(why, sizeof why, "its request stayed incomplete for %lld ms",
                          static_cast<long long>(VT5RequestTimeLimit(c).count()));
            RemoveClient(i, why);
        }
    }
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
