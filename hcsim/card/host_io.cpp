#include "hcsim/card/host_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace hcsim {

bool writeAll(int fd, const uint8_t* data, size_t size, int& error) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool setModified(int fd, std::chrono::system_clock::time_point t) {
    auto since = t.time_since_epoch();
    auto secs = std::chrono::floor<std::chrono::seconds>(since);
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(secs.count());
    times[0].tv_nsec = times[1].tv_nsec = static_cast<long>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(since - secs).count());
    return ::futimens(fd, times) == 0;
}

}  // namespace hcsim
