#pragma once

// Who listens on a TCP port, as far as /proc shows it: the kernel lists every listening
// socket of the network namespace, but a process's descriptors are visible only to its own
// user (and to root), so the owner may stay unknown.

#include <optional>
#include <string>

struct VT5PortOwner {
    int pid = 0;
    std::string name;  // the process's command name
};

// The process that holds a socket listening on the TCP port (IPv4 or IPv6), when visible.
std::optional<VT5PortOwner> VT5FindPortOwner(int port);
