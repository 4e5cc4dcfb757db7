#pragma once

#include <chrono>
#include <thread>

#include "gantrix/server/server_thread.h"

namespace vt5test {

// Starts Gantrix's server thread on `port` and waits, in real time, until it listens; false
// when it did not within five seconds. (Header only: the support library needs no server.)
inline bool startServerThread(ServerThread& server, int port) {
    server.WithStatus([&](ServerStatus& s) { return s.configuredPort = port; });
    server.StartServerThread();
    for (int i = 0; i < 500; ++i) {
        if (server.WithStatus([](ServerStatus& s) { return s.state == ServerStatus::kActive; }))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace vt5test
