#pragma once

// Tells the service manager of vt5-server's state through $NOTIFY_SOCKET (a Type=notify unit):
// READY=1 once it listens, STATUS= lines with the HC it serves, STOPPING=1 when it stops. Does
// nothing when the variable is not set.

#include <string>

#include "platform/posix/unique_fd.h"

namespace service {

class ServiceNotifier {
public:
    ServiceNotifier();
    bool active() const { return static_cast<bool>(socket_); }
    // Sends one notification ("READY=1", "STATUS=...", newline-separated assignments).
    bool Notify(const std::string& state) const;

private:
    platform::UniqueFd socket_;
    std::string address_;  // a path, or an abstract name starting with '@'
};

}  // namespace service
