#pragma once

// What a program passes to VT5_Open (and to the control-line pulses) for its connection
// options.

#include <cstdint>
#include <string>

#include "vt5api/options/connection_options.h"

struct VT5ConnectionTarget {
    std::string serial;  // Direct mode: the HC to open; empty = any
    std::string host;    // Client mode: the API server; empty = none (Direct mode)
    int32_t port = 0;    // 0 = 5937

    // The arguments as VT5_Open takes them: null for "none".
    const char* Serial() const { return serial.empty() ? nullptr : serial.c_str(); }
    const char* Host() const { return host.empty() ? nullptr : host.c_str(); }
};

// Through the API server (no serial, the stored address and port) when connect-to-server is
// set; otherwise directly, to the stored direct access ID.
VT5ConnectionTarget TargetFromOptions(const VT5ConnectionOptions& options);
