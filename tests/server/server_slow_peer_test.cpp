// Slow, silent and surplus peers of the API server: each client's request is assembled from
// whatever has arrived, so that none of them holds up the others, and a request or a first
// request that does not arrive in time costs only its own connection.

#include <future>

#include "tests/server/server_fixture.h"
#include "vt5api/commands/identity.h"

namespace vt5test {
namespace {

using platform::Millis;
using platform::vbus::Bytes;

class ServerSlowPeers : public ServerFixture {
protected:
    void SetUp() override {
        plugHc();
        startServer();
    }

    // A whole command exchange of a well-behaved client; whether it got its answer.
    bool exchange(WireClient& client, uint8_t counter) {
        if (lock(client, 0) != kLockAnswer) return false;
        auto written = ask(client, wireMessage(VT5_WIRE_DATA_WRITE, {0xF8, counter, 0x11, 0xFF}));
        auto read = ask(client, wireMessage(VT5_WIRE_DATA_READ, le32(8)));
        bool unlocked = unlock(client, 0) == kUnlockAnswer;
        const Bytes expected = {0xF8, counter, 0x00, 0x08, 0x00, 0x11, 0x01, 0x03};
        return unlocked && written && written->identifier == VT5_WIRE_DATA_WRITE && read &&
               Bytes(read->payload.begin() + 4, read->payload.end()) == expected;
    }

    // A real client context opening through the server on another thread, while this one
    // runs the server's passes; its result.
    int32_t openFromAnotherThread() {
        auto opened = std::async(std::launch::async, [port = port_] {
            CVT5Api client;
            int32_t result = VT5_Open(&client, nullptr, "127.0.0.1", port, "Late");
            uint8_t hardware = 0;
            if (result == VT5_OK) result = VT5cmd_GetHardwareID(&client, &hardware);
            return result;
        });
        while (opened.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
            poll();
        return opened.get();
    }
};

TEST_F(ServerSlowPeers, SlowDripAndHalfSentHeadersBesideANormalClient) {
    openHc();
    auto normal = connect("Normal");
    auto drip = connect("Drip");
    // A data write announcing 1 MB, then one byte now and then.
    ASSERT_TRUE(drip->send(join({le32(8 + 1000000), le32(VT5_WIRE_DATA_WRITE), {0xF8}})));
    std::vector<std::unique_ptr<WireClient>> halves;
    for (int i = 0; i < 8; ++i) {
        halves.push_back(connect());
        ASSERT_TRUE(halves.back()->send({12, 0, 0, 0, 0x3D}));  // 5 of 8 header bytes
    }
    for (uint8_t round = 0; round < 4; ++round) {
        ASSERT_TRUE(drip->send({round}));
        EXPECT_TRUE(exchange(*normal, static_cast<uint8_t>(0x10 + round))) << "round " << +round;
        clock_.advance(Millis(1000));
    }
    EXPECT_EQ(state().clients.size(), 10u) << "a slow peer was dropped before its time";

    // Past 5 s the half-sent headers go; the dripper's 1 MB has more time, then goes too.
    clock_.advance(Millis(1500));
    poll();
    for (auto& half : halves)
        EXPECT_TRUE(half->closedByServer());
    EXPECT_EQ(state().clients.size(), 2u);
    EXPECT_TRUE(exchange(*normal, 0x20));
    clock_.advance(Millis(31000));
    poll();
    EXPECT_TRUE(drip->closedByServer());
    ASSERT_EQ(state().clients.size(), 1u) << ::testing::PrintToString(log_);
    EXPECT_TRUE(exchange(*normal, 0x21));
    // Nothing of the dripper's bytes reached the HC.
    for (const hcsim::Message& m : hc_->received())
        EXPECT_EQ(m.code, 0xF8);
}

TEST_F(ServerSlowPeers, RequestsSentByteByByteAreServedWhole) {
    auto a = connect("A");
    auto b = connect("B");
    Bytes request = controlRequest(VT5_REQ_SERVER_VERSION, {1, 2, 3});
    for (uint8_t byte : request) {
        ASSERT_TRUE(a->send({byte}));
        poll();
        auto version = askControl(*b, VT5_REQ_SERVER_VERSION);
        EXPECT_TRUE(version && version->identifier == 0x00015C3D);
    }
    poll();
    auto answer = a->receive();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->identifier, 0x00015C3Du);
    EXPECT_EQ(answer->length, 10u);
}

TEST_F(ServerSlowPeers, SilentConnectionsCloseAfter10SecondsAndThe64thIsRefusedAs360) {
    std::vector<std::unique_ptr<WireClient>> silent;
    for (int i = 0; i < 63; ++i)
        silent.push_back(connect());
    EXPECT_EQ(openFromAnotherThread(), VT5_E_SERVER_CLOSED);

    clock_.advance(Millis(VT5_FIRST_REQUEST_LIMIT_MS - 100));
    poll();
    EXPECT_EQ(state().clients.size(), 63u);
    clock_.advance(Millis(200));
    poll();
    EXPECT_EQ(state().clients.size(), 0u);
    for (auto& c : silent)
        EXPECT_TRUE(c->closedByServer());
    EXPECT_EQ(openFromAnotherThread(), VT5_OK);
}

}  // namespace
}  // namespace vt5test
