#pragma once

#include <string>

#include "platform/ftd2xx/backend.h"

namespace platform::ftd2xx {

// Makes a backend's devices part of the D2XX device list while this object lives. Tests and
// programs that host simulated chips in-process attach their bus this way; attached backends
// are listed before the standard ones.
class ScopedBackend {
public:
    explicit ScopedBackend(Backend& backend);
    ~ScopedBackend();
    ScopedBackend(const ScopedBackend&) = delete;
    ScopedBackend& operator=(const ScopedBackend&) = delete;

private:
    Backend* backend_;
};

// The standard backends are the vt5-hcsim bus ("vbus") and real chips through libftdi1
// ("ftdi"). VT5_USB_BACKENDS selects them by a comma-separated list ("none" for neither);
// unset means both.
bool standardBackendEnabled(const char* name);

// In words, why this thread's last FT_Open failed, or after FT_CreateDeviceInfoList, why chips
// it listed cannot be opened (no permission, say); empty when the backends did not say.
std::string lastProblem();

}  // namespace platform::ftd2xx
