#include "tests/server/thread_fixture.h"

#include <chrono>
#include <thread>

#include "tests/support/wire_client.h"

namespace vt5test {

namespace {

// Waits in real time (the server thread's passes take real time) for a condition.
template <class F>
bool eventually(F ready) {
    for (int i = 0; i < 500; ++i) {
        if (ready()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ready();
}

}  // namespace

ThreadFixture::ThreadFixture() {
    server_.SetServerLog([this](const char* line) {
        std::lock_guard<std::mutex> guard(logMutex_);
        log_.emplace_back(line);
    });
}

ThreadFixture::~ThreadFixture() {
    tap_.reset();
    stopServer();
}

void ThreadFixture::plugHc(hcsim::HcConfig config) {
    hc_ = std::make_unique<hcsim::SimulatedHc>(bus_.bus(), std::move(config));
}

void ThreadFixture::startServer(const std::string& servedSerial) {
    port_ = freeTcpPort();
    server_.WithStatus([&](ServerStatus& s) {
        s.configuredPort = port_;
        std::snprintf(s.servedSerial, sizeof s.servedSerial, "%s", servedSerial.c_str());
        s.openPending = !servedSerial.empty();
        return 0;
    });
    server_.StartServerThread();
    ASSERT_TRUE(eventually([this] { return status().state == ServerStatus::kActive; }))
        << "the server thread did not start";
    tap_ = std::make_unique<WireTap>(port_);
}

void ThreadFixture::stopServer() {
    // StopServerThread waits for the thread on the clock in use; a virtual one would let it
    // give up at once, so the wait runs on real time.
    platform::SteadyClock steady;
    platform::ScopedClock realTime(steady);
    server_.StopServerThread();
    EXPECT_FALSE(server_.IsServerRunning()) << "the server thread did not stop";
}

ServerStatus ThreadFixture::status() {
    return server_.WithStatus([](const ServerStatus& s) { return s; });
}

bool ThreadFixture::logged(std::initializer_list<const char*> texts) {
    std::lock_guard<std::mutex> guard(logMutex_);
    for (const std::string& line : log_) {
        bool all = true;
        for (const char* t : texts)
            all = all && line.find(t) != std::string::npos;
        if (all) return true;
    }
    return false;
}

int32_t ThreadFixture::openClient(CVT5Api& api, const char* name) {
    return VT5_Open(&api, nullptr, "127.0.0.1", tap_->port(), name);
}

}  // namespace vt5test
