// Relay queues and asynchronous HC messages: relayed by a client, read by the server itself,
// made by a system change; and identification freeing the lock and the sections.

#include "tests/server/server_fixture.h"

namespace vt5test {
namespace {

using platform::vbus::Bytes;

const Bytes kModeChanged = {0xFB, 0xAA, 0x00, 0x05, 0x00};
const Bytes kPoweredOff = {0xFB, 0x36, 0x00, 0x05, 0x00};
const Bytes kUnknown = {0xFB, 0x01, 0x00, 0x05, 0x00};

class ServerRelay : public ServerFixture {
protected:
    void SetUp() override {
        plugHc();
        startServer();
        openHc();
        a = connect("A");
        b = connect("B");
        c = connect("C");
    }

    Bytes queue(int client) const {
        const auto& q = state().clients.at(static_cast<size_t>(client))->relayQueue;
        return Bytes(q.begin(), q.end());
    }
    // B owns FS, C owns ESKY, A holds the lock.
    void takeLocksAndSections() {
        ASSERT_EQ(lock(*b, kFs), kLockAnswer);
        ASSERT_EQ(unlock(*b, 0), kUnlockAnswer);
        ASSERT_EQ(lock(*c, kEsky), kLockAnswer);
        ASSERT_EQ(unlock(*c, 0), kUnlockAnswer);
        ASSERT_EQ(lock(*a, 0), kLockAnswer);
    }
    void expectAllFree() {
        EXPECT_EQ(state().lockHolder, -1);
        EXPECT_EQ(state().lockDepth, 0);
        for (int owner : state().sectionOwners)
            EXPECT_EQ(owner, -1);
    }
    int32_t bootFlag() {
        int32_t boot = -1;
        VT5_GetProtocolInfo(&server_, &boot, nullptr, nullptr);
        return boot;
    }
    int openCount() { return static_cast<int>(bus_.recorder().calls("Open").size()); }

    std::unique_ptr<WireClient> a, b, c;
};

TEST_F(ServerRelay, RelayedModeChangeReachesTheOthersAndReIdentifiesTheHc) {
    takeLocksAndSections();
    bus_.recorder().clear();
    auto before = platform::now();
    auto answer = askControl(*a, VT5_REQ_ASYNC_RELAY, kModeChanged);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->identifier, 0x3D625C3Du);
    EXPECT_EQ(answer->length, 8u);
    EXPECT_TRUE(queue(0).empty());
    EXPECT_EQ(queue(1), kModeChanged);
    EXPECT_EQ(queue(2), kModeChanged);
    // Closed, 3000 ms, opened again and identified at once.
    EXPECT_GE(platform::now() - before, platform::Millis(3000));
    EXPECT_EQ(openCount(), 1);
    EXPECT_TRUE(hcOpen());
    EXPECT_EQ(bootFlag(), 0);
    expectAllFree();
}

TEST_F(ServerRelay, RelayedPowerOffClosesTheHcUntilTheNextOpen) {
    takeLocksAndSections();
    bus_.recorder().clear();
    auto answer = askControl(*a, VT5_REQ_ASYNC_RELAY, kPoweredOff);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->identifier, 0x3D625C3Du);
    EXPECT_EQ(queue(1), kPoweredOff);
    EXPECT_FALSE(hcOpen());
    EXPECT_EQ(openCount(), 0);
    ASSERT_EQ(unlock(*a, 0), kUnlockAnswer);
    // The next OpenDevice waits the 500 ms first.
    auto before = platform::now();
    auto identity = askControl(*b, VT5_REQ_OPEN_DEVICE);
    ASSERT_TRUE(identity);
    EXPECT_EQ(getLe16(identity->payload, 0), 0);
    EXPECT_GE(platform::now() - before, platform::Millis(500));
    EXPECT_TRUE(hcOpen());
    expectAllFree();
}

TEST_F(ServerRelay, RelayedUnknownMessageClosesTheHcAndIsAnswered) {
    auto answer = askControl(*a, VT5_REQ_ASYNC_RELAY, kUnknown);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->identifier, 0x3D625C3Du);
    EXPECT_EQ(queue(2), kUnknown);
    EXPECT_FALSE(hcOpen());
}

TEST_F(ServerRelay, RelayedModeChangeWithoutTheHcComingBackAnswers33DB) {
    hc_->unplug();
    auto answer = askControl(*a, VT5_REQ_ASYNC_RELAY, kModeChanged);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->identifier, kErrorAnswer);
    EXPECT_EQ(answer->payload, le16(0x33DB));  // no status
    EXPECT_EQ(queue(1), kModeChanged);
    EXPECT_FALSE(hcOpen());
    EXPECT_EQ(state().clients.size(), 3u);
}

TEST_F(ServerRelay, QueryReadBufLenTakesInTheHcsOwnMessagesForEveryone) {
    auto empty = askControl(*a, VT5_REQ_QUERY_READ_BUF_LEN);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->identifier, 0x9E225C3Du);
    EXPECT_EQ(empty->payload, le16(0));

    takeLocksAndSections();
    // The HC restarts into its boot loader and says so.
    ASSERT_TRUE(hc_->changeMode(hcsim::HcMode::Boot));
    auto count = askControl(*a, VT5_REQ_QUERY_READ_BUF_LEN);
    ASSERT_TRUE(count);
    EXPECT_EQ(count->payload, le16(5));  // the asking client's queue too
    EXPECT_EQ(queue(0), kModeChanged);
    EXPECT_EQ(queue(1), kModeChanged);
    EXPECT_TRUE(hcOpen());
    EXPECT_EQ(bootFlag(), 1);
    expectAllFree();

    // A data read delivers the relayed bytes first, flagged.
    auto read = ask(*a, wireMessage(VT5_WIRE_DATA_READ, le32(5)));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->payload, join({le16(1), le16(0xFFFF), kModeChanged}));
}

TEST_F(ServerRelay, QueryReadBufLenAfterPowerOffAndUnknownMessages) {
    ASSERT_TRUE(hc_->powerOff());
    auto count = askControl(*b, VT5_REQ_QUERY_READ_BUF_LEN);
    ASSERT_TRUE(count);
    EXPECT_EQ(count->payload, le16(5));
    EXPECT_EQ(queue(2), kPoweredOff);
    EXPECT_FALSE(hcOpen());

    ASSERT_TRUE(hc_->powerOn(hcsim::HcMode::Firmware));
    ASSERT_TRUE(askControl(*c, VT5_REQ_OPEN_DEVICE));
    ASSERT_TRUE(hcOpen());
    ASSERT_TRUE(hc_->sendAsync(0x01));
    auto unknown = askControl(*c, VT5_REQ_QUERY_READ_BUF_LEN);
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->identifier, kErrorAnswer);
    EXPECT_EQ(unknown->payload, le16(0x575E));
    EXPECT_EQ(queue(0), join({kPoweredOff, kUnknown}));
    EXPECT_EQ(state().clients.size(), 3u);
}

TEST_F(ServerRelay, StaleAnswerBytesAreNotPassedOnAsMessages) {
    // An answer nobody waited for (a client vanished mid-exchange) is no asynchronous message:
    // relaying it would put answer bytes in front of every client's next answer.
    hcSends({0xF8, 0x07, 0x00, 0x08, 0x00, 0x11, 0x01, 0x03});
    auto count = askControl(*a, VT5_REQ_QUERY_READ_BUF_LEN);
    ASSERT_TRUE(count);
    EXPECT_EQ(count->identifier, 0x9E225C3Du);
    EXPECT_EQ(count->payload, le16(0));
    EXPECT_TRUE(queue(1).empty());
    EXPECT_TRUE(hcOpen());
}

TEST_F(ServerRelay, SystemChangeNotifiesTheOthersButNotTheRequester) {
    server_.link->Broadcast(kUnknown.data(), 5, -1);  // something old in every queue
    takeLocksAndSections();
    ASSERT_EQ(unlock(*a, 0), kUnlockAnswer);
    auto before = platform::now();
    auto answer = askControl(*a, VT5_REQ_SYSTEM_CHANGE, {2});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->identifier, 0xB0445C3Du);
    EXPECT_EQ(answer->length, 12u);
    EXPECT_EQ(getLe32(answer->payload, 0), 0u);
    EXPECT_TRUE(queue(0).empty());
    EXPECT_EQ(queue(1), join({kUnknown, kModeChanged}));
    // Types 1 and 2: the server is back with the HC in its new mode 3000 ms later.
    EXPECT_GE(platform::now() - before, platform::Millis(3000));
    EXPECT_EQ(hc_->mode(), hcsim::HcMode::Boot);
    EXPECT_TRUE(hcOpen());
    EXPECT_EQ(bootFlag(), 1);
    expectAllFree();

    // Power-off: the HC goes, and so does the server's connection to it.
    answer = askControl(*b, VT5_REQ_SYSTEM_CHANGE, {0});
    ASSERT_TRUE(answer);
    EXPECT_EQ(getLe32(answer->payload, 0), 0u);
    EXPECT_EQ(queue(2), join({kUnknown, kModeChanged, kPoweredOff}));
    EXPECT_TRUE(queue(1).empty());
    EXPECT_EQ(hc_->mode(), hcsim::HcMode::Off);
    EXPECT_FALSE(hcOpen());
}

TEST_F(ServerRelay, ClientsWhoseQueueOverflowsAreRemoved) {
    Bytes flood(VT5_MAX_RELAY_QUEUE, 0xFB);
    server_.link->Broadcast(flood.data(), static_cast<int32_t>(flood.size()), -1);
    EXPECT_EQ(queue(1).size(), flood.size());
    auto late = connect("late");
    server_.link->Broadcast(kUnknown.data(), 5, -1);
    // They go once the current request is done.
    EXPECT_TRUE(askControl(*late, VT5_REQ_SERVER_VERSION));
    EXPECT_TRUE(a->closedByServer());
    EXPECT_TRUE(c->closedByServer());
    ASSERT_EQ(state().clients.size(), 1u);
    EXPECT_EQ(queue(0), kUnknown);
}

}  // namespace
}  // namespace vt5test
