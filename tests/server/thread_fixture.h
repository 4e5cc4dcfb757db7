#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gantrix/server/server_thread.h"
#include "hcsim/hc/simulated_hc.h"
#include "platform/clock/clock.h"
#include "tests/support/bus_fixture.h"
#include "tests/support/wire_tap.h"

namespace vt5test {

// A simulated HC shared by Gantrix's server thread on a free port, on a virtual clock, for
// tests of whole paths with client contexts in Client mode. Clients reach the server through
// a wire tap that records what they send; the server's log lines are kept.
class ThreadFixture : public ::testing::Test {
protected:
    ThreadFixture();
    ~ThreadFixture() override;

    void plugHc(hcsim::HcConfig config = {});
    // Starts the server thread and waits (in real time) until it listens.
    void startServer(const std::string& servedSerial = "");
    // Stops it and waits until the thread has ended.
    void stopServer();
    ServerStatus status();
    // Whether a log line of the server contains all the texts.
    bool logged(std::initializer_list<const char*> texts);

    // VT5_Open of a client context through the tap.
    int32_t openClient(CVT5Api& api, const char* name);

    platform::VirtualClock clock_;
    platform::ScopedClock useClock_{clock_};
    BusFixture bus_;
    std::unique_ptr<hcsim::SimulatedHc> hc_;
    ServerThread server_;
    std::unique_ptr<WireTap> tap_;
    int port_ = 0;

private:
    std::mutex logMutex_;
    std::vector<std::string> log_;
};

}  // namespace vt5test
