#pragma once

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/ftd2xx/vbus/local_bus.h"
#include "platform/posix/unique_fd.h"

namespace hcsim {

// Serves the chips of a LocalBus to other processes on a Unix-domain socket: the far side of
// platform::vbus::DaemonBackend. One thread per connection; a connection that opens a chip
// holds it until it closes it or goes away, so a client that dies releases its chip. Nothing
// a client sends can stop the server.
class BusServer {
public:
    explicit BusServer(platform::vbus::LocalBus& bus);
    ~BusServer();
    BusServer(const BusServer&) = delete;
    BusServer& operator=(const BusServer&) = delete;

    // Listens on path. Fails when another server answers there; a stale socket file left by
    // a server that died is replaced.
    bool start(const std::string& path, std::string& error);
    void stop();
    const std::string& path() const { return path_; }

private:
    struct Session;
    void acceptLoop();
    void serve(Session& session);
    void reapFinished();

    platform::vbus::LocalBus& bus_;
    std::string path_;
    platform::UniqueFd listener_;
    platform::UniqueFd wakeRead_, wakeWrite_;
    std::thread acceptThread_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::list<std::unique_ptr<Session>> sessions_;
};

}  // namespace hcsim
