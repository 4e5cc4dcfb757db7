// The server's listening sockets: every IPv4 address by default, or each address the server
// was told to listen on. A failure leaves nothing listening and says why in the link's error
// text.

#include <netdb.h>
#include <netinet/in.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "vt5api/link/port_owner.h"
#include "vt5api/link/tcp_socket.h"
#include "vt5api/link/vt5link.h"
#include "vt5api/link/vt5link_server.h"

namespace {

// "[::1]" as well as "::1".
std::string Unbracketed(const std::string& host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        return host.substr(1, host.size() - 2);
    return host;
}

std::string PortInUse(uint16_t port) {
    std::string text = "TCP port " + std::to_string(port) + " is in use";
    if (auto owner = VT5FindPortOwner(port))
        text += " by " + owner->name + " (process " + std::to_string(owner->pid) + ")";
    else
        text += " by another program";
    return text;
}

std::string ListenFailure(const std::string& where, uint16_t port, int err) {
    if (err == EADDRINUSE) return PortInUse(port);
    if (err == EADDRNOTAVAIL)
        return "can't listen on " + where + ": not an address of this computer";
    return "can't listen on " + where + " port " + std::to_string(port) + ": " + std::strerror(err);
}

struct AddrInfoFree {
    void operator()(addrinfo* a) const { ::freeaddrinfo(a); }
};

}  // namespace

bool CVT5Link::OpenListeners(uint16_t port) {
    std::vector<platform::UniqueFd>& listeners = server_->listeners;
    listeners.clear();
    if (access_.listen.empty()) {
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_addr.s_addr = htonl(INADDR_ANY);
        any.sin_port = htons(port);
        int err = 0;
        platform::UniqueFd fd =
            VT5ListenTcpAt(reinterpret_cast<sockaddr*>(&any), sizeof any, lastSocketError_, err);
        if (!fd) {
            SetPlainError(ListenFailure("every address", port, err).c_str());
            return false;
        }
        listeners.push_back(std::move(fd));
        return true;
    }
    std::vector<std::vector<uint8_t>> seen;
    for (const std::string& name : access_.listen) {
        const std::string host = Unbracketed(name);
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICSERV;
        addrinfo* found = nullptr;
        const std::string service = std::to_string(port);
        const int resolved = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
        const std::unique_ptr<addrinfo, AddrInfoFree> owner(found);
        if (resolved != 0 || !found) {
            lastSocketError_ = 2;
            SetPlainError(("can't listen on '" + name + "': " + ::gai_strerror(resolved)).c_str());
            listeners.clear();
            return false;
        }
        for (const addrinfo* a = found; a; a = a->ai_next) {
            // An address may come twice ("localhost" beside "127.0.0.1"): one socket serves.
            auto bytes = reinterpret_cast<const uint8_t*>(a->ai_addr);
            std::vector<uint8_t> key(bytes, bytes + a->ai_addrlen);
            if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
            seen.push_back(std::move(key));
            int err = 0;
            platform::UniqueFd fd =
                VT5ListenTcpAt(a->ai_addr, a->ai_addrlen, lastSocketError_, err);
            if (!fd) {
                SetPlainError(ListenFailure(name, port, err).c_str());
                listeners.clear();
                return false;
            }
            listeners.push_back(std::move(fd));
        }
    }
    return true;
}
