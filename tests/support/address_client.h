#pragma once

#include <string>

#include "platform/posix/unique_fd.h"

namespace vt5test {

// Whether a socket can be bound to the address here (::1 is missing where IPv6 is off).
bool canBind(const std::string& address);

// A TCP connection from a chosen local address (port chosen by the system) to address:port,
// IPv4 or IPv6; invalid when it could not be made. The server may still close it.
platform::UniqueFd connectFrom(const std::string& local, const std::string& address, int port);

// A socket listening on address:port; invalid when that cannot be had.
platform::UniqueFd listenOn(const std::string& address, int port);

// The peer has ended the connection (orderly or with a reset), seen within timeoutMs.
bool endedByPeer(int fd, int timeoutMs = 10000);

// The local port of a connected socket.
int localPortOf(int fd);

}  // namespace vt5test
