#pragma once

// Which processes hold a file or a socket open, as /proc shows it: a process's descriptors are
// visible only to its own user (and to root), so processes of other users stay hidden.

#include <set>
#include <string>
#include <vector>

namespace platform {

struct FileHolder {
    int pid = 0;
    std::string name;  // the command name, /proc/<pid>/comm
};

// The processes with the file at `path` open, this one among them: the same file by device
// and inode, so also where a path reaches it through a link or a sandbox of its own. `proc` is
// where the processes are (tests use a tree of their own).
std::vector<FileHolder> ProcessesHoldingFile(const std::string& path,
                                             const std::string& proc = "/proc");

// The processes with a descriptor on one of these sockets, by the inode numbers that
// /proc/net/tcp and its like give.
std::vector<FileHolder> ProcessesHoldingSocket(const std::set<std::string>& inodes,
                                               const std::string& proc = "/proc");

}  // namespace platform
