#pragma once

// Blocking TCP primitives shared by the client and the server side of the link, with the
// error classes the link reports.

#include <sys/socket.h>

#include <cstddef>
#include <cstdint>

#include "platform/posix/unique_fd.h"

// Error class of an errno value: 0 none, 2 system/network unavailable, 3 not a socket,
// 10 timed out, 11 out of descriptors or buffers, 12 address not available, 13 refused,
// aborted or reset by the peer, -1 anything else.
int VT5SocketErrorClass(int err);

// Sends every byte; false when a send fails (nothing is sent for a count of 0).
bool VT5SendAll(int fd, const void* data, size_t count, int& errorClass);
// Sends one wire message (header with the total length and the identifier, then the
// payload) in a single send, so that Nagle's algorithm never holds back half of it.
bool VT5SendMessage(int fd, uint32_t identifier, const void* payload, size_t size, int& errorClass);
// Receives until count bytes arrived. Returns the count received: equal to count, or less
// when the peer closed the connection; -1 when a receive failed (errorClass set).
long VT5RecvExactly(int fd, void* data, size_t count, int& errorClass);

// Resolves host to its first IPv4 address and connects, with 5000 ms send and receive
// time-outs and Nagle's algorithm left on. An invalid fd on failure.
platform::UniqueFd VT5ConnectTcp(const char* host, int port, int& errorClass);
// Listens at one address, port included (SO_REUSEADDR, backlog 5). An IPv6 socket takes IPv6
// alone, so that IPv4 addresses can be listened on beside it. On failure err is the errno.
platform::UniqueFd VT5ListenTcpAt(const sockaddr* address, socklen_t size, int& errorClass,
                                  int& err);
// Accepts one connection with Nagle's algorithm off and 5000 ms time-outs. peer receives the
// peer's address (family AF_UNSPEC when unavailable), address its text (IPv4 dotted, also
// when it came through an IPv6 socket) and port its port; "" and 0 when unavailable.
platform::UniqueFd VT5AcceptTcp(int listener, sockaddr_storage& peer, char* address,
                                size_t addressSize, int& port);

// Closes a connection with a reset instead of an orderly end.
void VT5ResetTcp(platform::UniqueFd socket);

bool VT5SetReceiveTimeout(int fd, int32_t ms);
int32_t VT5GetReceiveTimeout(int fd);
