// The server outlives its HC: an HC pulled out under it is let go, its clients get the "no
// HC" answers meanwhile, and the next OpenDevice after the HC returns opens it again.

#include "tests/server/server_fixture.h"

namespace vt5test {
namespace {

using platform::vbus::Bytes;

class ServerHcLoss : public ServerFixture {
protected:
    void SetUp() override {
        plugHc();
        startServer();
    }

    void replug() {
        hc_.reset();  // pulls the chip out
        plugHc();
    }

    // OpenDevice: the mode word of the answer (0 firmware, 1234 failure form).
    uint16_t openDevice(WireClient& client) {
        auto answer = askControl(client, VT5_REQ_OPEN_DEVICE);
        EXPECT_TRUE(answer) << "no answer to OpenDevice";
        return answer ? getLe16(answer->payload, 0) : 0xFFFF;
    }

    // One exchange of the hardware ID query; its answer's data bytes.
    Bytes hardwareQuery(WireClient& client, uint8_t counter) {
        EXPECT_EQ(lock(client, 0), kLockAnswer);
        auto written = ask(client, wireMessage(VT5_WIRE_DATA_WRITE, {0xF8, counter, 0x11, 0xFF}));
        EXPECT_TRUE(written && written->identifier == VT5_WIRE_DATA_WRITE);
        auto read = ask(client, wireMessage(VT5_WIRE_DATA_READ, le32(8)));
        EXPECT_EQ(unlock(client, 0), kUnlockAnswer);
        if (!read || read->identifier != VT5_WIRE_DATA_READ) return {};
        return Bytes(read->payload.begin() + 4, read->payload.end());
    }

    static Bytes hardwareAnswer(uint8_t counter) {
        return {0xF8, counter, 0x00, 0x08, 0x00, 0x11, 0x01, 0x03};
    }
};

TEST_F(ServerHcLoss, UnplugAndReplugOfAnIdleServedHc) {
    auto a = connect("A");
    ASSERT_EQ(openDevice(*a), 0);
    ASSERT_EQ(hardwareQuery(*a, 5), hardwareAnswer(5));

    hc_->unplug();
    // While it is away: the failure form of OpenDevice and the "no HC" answers.
    EXPECT_EQ(openDevice(*a), VT5_MODE_WORD_FAILED);
    EXPECT_FALSE(hcOpen());
    auto write = ask(*a, wireMessage(VT5_WIRE_DATA_WRITE, {0xF8, 0x06, 0x11, 0xFF}));
    ASSERT_TRUE(write);
    EXPECT_EQ(write->identifier, kErrorAnswer);
    EXPECT_EQ(getLe16(write->payload, 0), VT5_WERR_NO_DEVICE);

    replug();
    auto b = connect("B");
    EXPECT_EQ(openDevice(*b), 0);
    EXPECT_TRUE(hcOpen());
    EXPECT_EQ(hardwareQuery(*b, 7), hardwareAnswer(7));
    EXPECT_EQ(hardwareQuery(*a, 9), hardwareAnswer(9));
    EXPECT_EQ(state().clients.size(), 2u);
}

TEST_F(ServerHcLoss, LockHolderDepartingFromAVanishedHcLeavesTheServerRunning) {
    auto a = connect("A");
    ASSERT_EQ(openDevice(*a), 0);
    ASSERT_EQ(lock(*a, 0), kLockAnswer);
    hc_->unplug();
    a->close();
    // The resynchronisation fails on the vanished HC: the HC is let go, the server stays.
    poll(3);
    EXPECT_EQ(server_.link->Mode(), VT5_MODE_SERVER);
    EXPECT_FALSE(hcOpen());
    EXPECT_FALSE(state().resyncPending);

    replug();
    auto b = connect("B");
    EXPECT_EQ(openDevice(*b), 0);
    EXPECT_EQ(hardwareQuery(*b, 5), hardwareAnswer(5));
}

TEST_F(ServerHcLoss, ReplugBeforeAnyRequestIsNoticedByTheNextOpenDevice) {
    auto a = connect("A");
    ASSERT_EQ(openDevice(*a), 0);
    replug();  // the old handle is dead, the new chip is not open yet
    auto b = connect("B");
    EXPECT_EQ(openDevice(*b), 0);
    EXPECT_EQ(hardwareQuery(*b, 5), hardwareAnswer(5));
}

}  // namespace
}  // namespace vt5test
