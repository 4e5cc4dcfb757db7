#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/posix/unique_fd.h"

namespace platform {

// Sends all bytes (no SIGPIPE); false on any failure.
bool sendAll(int fd, const void* data, size_t size);
// Receives exactly size bytes; false on failure or end of stream.
bool recvAll(int fd, void* data, size_t size);

// Length-prefixed frames (32-bit little-endian length) on a stream socket.
bool sendFrame(int fd, const std::vector<uint8_t>& payload);
// False on failure, end of stream or a frame longer than maxSize.
bool recvFrame(int fd, std::vector<uint8_t>& payload, size_t maxSize);

// Unix-domain stream sockets. connectUnix returns an invalid fd (errno set) on failure.
UniqueFd connectUnix(const std::string& path);
UniqueFd listenUnix(const std::string& path, std::string& error);

// True when the peer has closed or reset its end (checked without blocking).
bool peerGone(int fd);

}  // namespace platform
