// A bounded load test: 63 connections to one server thread on loopback, most of them
// clients running command exchanges against the simulated HC, some that vanish in the
// middle of a request and one that sends garbage. Prints its figures; asserts no times.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

#include "gantrix/server/server_thread.h"
#include "hcsim/hc/simulated_hc.h"
#include "tests/support/bus_fixture.h"
#include "tests/support/wire_client.h"
#include "vt5api/commands/identity.h"
#include "vt5api/link/wire.h"

namespace vt5test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kGoodClients = 58;
constexpr int kVanishers = 4;
constexpr auto kDuration = std::chrono::seconds(6);

struct Figures {
    std::atomic<long> exchanges{0};
    std::atomic<long> wrong{0};
    std::atomic<long> worstMicros{0};
    std::atomic<long> vanished{0};
    std::atomic<long> garbage{0};

    void took(Clock::duration d) {
        long us =
            static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(d).count());
        long worst = worstMicros.load();
        while (us > worst && !worstMicros.compare_exchange_weak(worst, us)) {
        }
    }
};

// Exchanges until the deadline; every answer is checked.
void goodClient(CVT5Api& api, Clock::time_point end, Figures& f) {
    for (int i = 0; Clock::now() < end; ++i) {
        auto start = Clock::now();
        bool right = false;
        if (i % 4 == 3) {
            VT5DeviceInfo info{};
            right = VT5cmd_GetDeviceInfo(&api, &info) == VT5_OK &&
                    std::string(info.serial) == "VT5SIM01" && info.hardwareId == 3 &&
                    info.protocolVersion == 0x0112;
        } else {
            uint8_t hardware = 0;
            right = VT5cmd_GetHardwareID(&api, &hardware) == VT5_OK && hardware == 3;
        }
        f.took(Clock::now() - start);
        ++f.exchanges;
        if (!right) ++f.wrong;
    }
}

// Goes in the middle of a request: without the lock, half-way through a data write; or
// holding the lock, after writing a command whose answer it never reads (the server then
// drops it and resynchronises the USB line, 550 ms in which nobody is served).
void vanisher(int port, int seed, Clock::time_point end, Figures& f) {
    for (int round = seed; Clock::now() < end; ++round) {
        WireClient c(port);
        if (round % 2) {
            if (c.send(join({le32(108), le32(VT5_WIRE_DATA_WRITE), {0xF8, 0x01}}))) ++f.vanished;
        } else if (c.control(VT5_REQ_LOCK, le16(0)) && c.receive(3000) &&
                   c.send(wireMessage(VT5_WIRE_DATA_WRITE, {0xF8, 0x02, 0x11, 0xFF}))) {
            ++f.vanished;
        }
        c.close();
        std::this_thread::sleep_for(std::chrono::milliseconds(round % 2 ? 300 : 2500));
    }
}

// Random bytes, and now and then a header the server must drop.
void garbageClient(int port, Clock::time_point end, Figures& f) {
    std::mt19937 random(5937);
    while (Clock::now() < end) {
        WireClient c(port);
        std::vector<uint8_t> junk(64);
        for (uint8_t& b : junk)
            b = static_cast<uint8_t>(random());
        if (random() % 3 == 0) junk[0] = junk[1] = junk[2] = junk[3] = 0;
        c.send(junk);
        f.garbage += static_cast<long>(junk.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

TEST(ServerLoad, SixtyThreeConnectionsAtOnce) {
    BusFixture bus;
    hcsim::SimulatedHc hc(bus.bus());
    ServerThread server;
    int port = freeTcpPort();
    server.WithStatus([&](ServerStatus& s) { return s.configuredPort = port; });
    server.StartServerThread();
    for (int i = 0; i < 500 && server.WithStatus([](ServerStatus& s) {
             return s.state != ServerStatus::kActive;
         });
         ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    std::vector<std::unique_ptr<CVT5Api>> apis;
    for (int i = 0; i < kGoodClients; ++i) {
        apis.push_back(std::make_unique<CVT5Api>());
        std::string name = "load " + std::to_string(i);
        ASSERT_EQ(VT5_Open(apis.back().get(), nullptr, "127.0.0.1", port, name.c_str()), VT5_OK)
            << name;
    }
    Figures f;
    auto start = Clock::now();
    auto end = start + kDuration;
    std::vector<std::thread> threads;
    for (auto& api : apis)
        threads.emplace_back([&f, end, a = api.get()] { goodClient(*a, end, f); });
    for (int i = 0; i < kVanishers; ++i)
        threads.emplace_back([&f, end, port, i] { vanisher(port, i, end, f); });
    threads.emplace_back([&f, end, port] { garbageClient(port, end, f); });
    // The peak: every connection up at once.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int peak = server.WithStatus([](ServerStatus& s) {
        s.listRefreshRequest = true;
        return static_cast<int>(s.clients.size());
    });
    for (std::thread& t : threads)
        t.join();
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();

    std::printf(
        "load: %d good clients, %d vanishing, 1 sending garbage; %ld exchanges in %.1f s "
        "(%.0f per second), worst wait %.1f ms, %ld wrong; %ld vanished mid-request, %ld "
        "garbage bytes; about %d clients listed at once\n",
        kGoodClients, kVanishers, f.exchanges.load(), seconds, f.exchanges / seconds,
        f.worstMicros / 1000.0, f.wrong.load(), f.vanished.load(), f.garbage.load(), peak);
    EXPECT_EQ(f.wrong, 0);
    EXPECT_GE(f.exchanges, kGoodClients);
    EXPECT_GT(f.vanished, 0);
    ASSERT_TRUE(server.IsServerRunning());
    // The server is still whole: a newcomer is served.
    apis.clear();
    CVT5Api late;
    uint8_t hardware = 0;
    ASSERT_EQ(VT5_Open(&late, nullptr, "127.0.0.1", port, "late"), VT5_OK);
    EXPECT_EQ(VT5cmd_GetHardwareID(&late, &hardware), VT5_OK);
    EXPECT_EQ(hardware, 3);
}

}  // namespace
}  // namespace vt5test
