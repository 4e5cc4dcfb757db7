#pragma once

#include <cstdint>

namespace vt5test {

// A loopback TCP port nobody listens on at the moment.
int32_t FreeTcpPort();

}  // namespace vt5test
