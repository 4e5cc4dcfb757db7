#include "tools/vt5-server/service_notify.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace service {

ServiceNotifier::ServiceNotifier() {
    const char* address = std::getenv("NOTIFY_SOCKET");
    if (!address || (address[0] != '/' && address[0] != '@')) return;
    if (std::strlen(address) >= sizeof(sockaddr_un{}.sun_path)) return;
    address_ = address;
    socket_.reset(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    // Programs the server starts must not talk to the manager in its name.
    ::unsetenv("NOTIFY_SOCKET");
}

bool ServiceNotifier::Notify(const std::string& state) const {
    if (!socket_) return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, address_.data(), address_.size());
    if (addr.sun_path[0] == '@') addr.sun_path[0] = '\0';
    auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + address_.size());
    return ::sendto(socket_.get(), state.data(), state.size(), MSG_NOSIGNAL,
                    reinterpret_cast<const sockaddr*>(&addr),
                    length) == static_cast<ssize_t>(state.size());
}

}  // namespace service
