#include "vt5api/link/port_owner.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

namespace {

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

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

std::string CommandName(const std::string& pid) {
    std::ifstream in("/proc/" + pid + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

// The first process with a descriptor on one of the sockets.
std::optional<VT5PortOwner> Holder(const std::set<std::string>& inodes) {
    const Dir proc(::opendir("/proc"));
    if (!proc) return std::nullopt;
    std::optional<VT5PortOwner> found;
    while (!found) {
        const dirent* entry = ::readdir(proc.get());
        if (!entry) break;
        const std::string pid = entry->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string fdDir = "/proc/" + pid + "/fd";
        const Dir fds(::opendir(fdDir.c_str()));
        if (!fds) continue;  // another user's process
        while (const dirent* fd = ::readdir(fds.get())) {
            char target[64] = {};
            const std::string link = fdDir + "/" + fd->d_name;
            const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
            if (n <= 0) continue;
            const std::string text(target, static_cast<size_t>(n));
            // "socket:[12345]"
            if (text.rfind("socket:[", 0) != 0 || text.back() != ']') continue;
            if (inodes.count(text.substr(8, text.size() - 9))) {
                found = VT5PortOwner{std::atoi(pid.c_str()), CommandName(pid)};
                break;
            }
        }
    }
    return found;
}

}  // namespace

std::optional<VT5PortOwner> VT5FindPortOwner(int port) {
    std::set<std::string> inodes;
    ListeningInodes("/proc/net/tcp", port, inodes);
    ListeningInodes("/proc/net/tcp6", port, inodes);
    if (inodes.empty()) return std::nullopt;
    return Holder(inodes);
}
