#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace hcsim {

// Writes all bytes, or sets error to the errno that stopped it.
bool writeAll(int fd, const uint8_t* data, size_t size, int& error);
// The file's access and modification times.
bool setModified(int fd, std::chrono::system_clock::time_point t);

}  // namespace hcsim
