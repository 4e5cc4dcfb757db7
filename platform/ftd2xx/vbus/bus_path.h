#pragma once

#include <string>

namespace platform::vbus {

// Where the vt5-hcsim bus daemon listens: $VT5_USB_BUS, else a socket in the user's runtime
// folder ($XDG_RUNTIME_DIR/veltra-5/usb-bus, or /tmp/veltra-5-<uid>/usb-bus).
std::string busSocketPath();

// Creates the folder of a socket path (mode 0700) when it is missing; false on failure.
bool makeSocketFolder(const std::string& socketPath, std::string& error);

}  // namespace platform::vbus
