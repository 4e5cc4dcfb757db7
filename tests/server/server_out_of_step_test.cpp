// Answers nobody reads: what the HC still sends for a client that left or gave up on its
// answer is thrown away before another client's request reaches the HC.

#include <algorithm>

#include "hcsim/hc/faults.h"
#include "tests/server/server_fixture.h"

namespace vt5test {
namespace {

using platform::vbus::Bytes;

class ServerOutOfStep : public ServerFixture {
protected:
    void SetUp() override {
        plugHc();
        startServer();
        openHc();
    }

    static Bytes query(uint8_t counter) { return {0xF8, counter, 0x11, 0xFF}; }
    static Bytes answer(uint8_t counter) {
        return {0xF8, counter, 0x00, 0x08, 0x00, 0x11, 0x01, 0x03};
    }
    // Data write of the hardware ID query and a data read of its 8-byte answer.
    Bytes writeAndRead(WireClient& client, uint8_t counter) {
        auto written = ask(client, wireMessage(VT5_WIRE_DATA_WRITE, query(counter)));
        EXPECT_TRUE(written && written->identifier == VT5_WIRE_DATA_WRITE);
        auto read = ask(client, wireMessage(VT5_WIRE_DATA_READ, le32(8)));
        if (!read || read->identifier != VT5_WIRE_DATA_READ) return {};
        return Bytes(read->payload.begin() + 4, read->payload.end());
    }
};

TEST_F(ServerOutOfStep, LocklessWriterDepartingLeavesItsAnswerToNobody) {
    auto a = connect("A");
    auto b = connect("B");
    ASSERT_TRUE(ask(*a, wireMessage(VT5_WIRE_DATA_WRITE, query(5))));
    a->close();
    poll(2);
    ASSERT_EQ(state().clients.size(), 1u);
    EXPECT_EQ(writeAndRead(*b, 7), answer(7));
    EXPECT_TRUE(std::any_of(log_.begin(), log_.end(), [](const std::string& line) {
        return line.find("discarding") != std::string::npos;
    }));
}

TEST_F(ServerOutOfStep, LocklessWriterStillConnectedKeepsItsAnswer) {
    auto a = connect("A");
    auto b = connect("B");
    // A writes and reads later; B, meanwhile, asks for something that needs no HC.
    ASSERT_TRUE(ask(*a, wireMessage(VT5_WIRE_DATA_WRITE, query(5))));
    ASSERT_TRUE(askControl(*b, VT5_REQ_SERVER_VERSION));
    auto read = ask(*a, wireMessage(VT5_WIRE_DATA_READ, le32(8)));
    ASSERT_TRUE(read);
    EXPECT_EQ(Bytes(read->payload.begin() + 4, read->payload.end()), answer(5));
}

TEST_F(ServerOutOfStep, ClientRefusingAnOversizedAnswerLeavesTheNextExchangesClean) {
    auto a = connect("A");
    auto b = connect("B");
    // A's answer announces more bulk data than a client takes: it reads the answer message,
    // refuses the rest and unlocks.
    hc_->inject(hcsim::Fault::extraBulk(hcsim::testPattern(VT5_BULK_BUFFER_SIZE + 1)));
    ASSERT_EQ(lock(*a, 0), kLockAnswer);
    ASSERT_TRUE(ask(*a, wireMessage(VT5_WIRE_DATA_WRITE, query(5))));
    auto head = ask(*a, wireMessage(VT5_WIRE_DATA_READ, le32(5)));
    ASSERT_TRUE(head && head->identifier == VT5_WIRE_DATA_READ);
    ASSERT_EQ(unlock(*a, 0), kUnlockAnswer);
    // The next exchanges, of another client and of A itself, get their own answers.
    ASSERT_EQ(lock(*b, 0), kLockAnswer);
    EXPECT_EQ(writeAndRead(*b, 7), answer(7));
    ASSERT_EQ(unlock(*b, 0), kUnlockAnswer);
    ASSERT_EQ(lock(*a, 0), kLockAnswer);
    EXPECT_EQ(writeAndRead(*a, 9), answer(9));
    ASSERT_EQ(unlock(*a, 0), kUnlockAnswer);
}

}  // namespace
}  // namespace vt5test
