#include "tools/vt5-server/service_log.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

namespace service {

namespace {

// systemd sets JOURNAL_STREAM to "DEVICE:INODE" of the stream it connected; it only counts
// while standard error is still that stream (not redirected by a wrapper).
bool StderrIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    if (!stream) return false;
    unsigned long long device = 0, inode = 0;
    if (std::sscanf(stream, "%llu:%llu", &device, &inode) != 2) return false;
    struct stat st {};
    if (::fstat(2, &st) != 0) return false;
    return static_cast<unsigned long long>(st.st_dev) == device &&
           static_cast<unsigned long long>(st.st_ino) == inode;
}

}  // namespace

ServiceLog::ServiceLog() : journal_(StderrIsJournal()) {}

void ServiceLog::Write(Priority priority, const std::string& text) const {
    // One write per line, so that lines of the server thread and the main thread never mix.
    std::string line = journal_ ? "<" + std::to_string(static_cast<int>(priority)) + ">"
                                : std::string("vt5-server: ");
    for (char c : text)
        line += (c == '\n' || c == '\r') ? ' ' : c;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace service
