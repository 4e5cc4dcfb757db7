#include "vt5api/link/port_owner.h"

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/posix/file_holders.h"

namespace {

constexpr const char* kListenState = "0A";

// Inodes of the sockets in a /proc/net/tcp* table that listen on the port.
void ListeningInodes(const char* table, int port, std::set<std::string>& inodes) {
    std::ifstream in(table);
    std::string line;
    std::getline(in, line);  // column titles
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
        if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
              timeout >> inode))
            continue;
        const size_t colon = local.rfind(':');
        if (colon == std::string::npos || state != kListenState) continue;
        if (std::strtol(local.c_str() + colon + 1, nullptr, 16) == port) inodes.insert(inode);
    }
}

}  // namespace

std::optional<VT5PortOwner> VT5FindPortOwner(int port) {
    std::set<std::string> inodes;
    ListeningInodes("/proc/net/tcp", port, inodes);
    ListeningInodes("/proc/net/tcp6", port, inodes);
    const std::vector<platform::FileHolder> holders = platform::ProcessesHoldingSocket(inodes);
    if (holders.empty()) return std::nullopt;
    return VT5PortOwner{holders.front().pid, holders.front().name};
}
