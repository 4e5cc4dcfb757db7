// Asynchronous messages: the failing command, the closed connection and the reconnect delay.

#include <gtest/gtest.h>

#include "hcsim/hc/faults.h"
#include "tests/vt5api/hc_fixture.h"

namespace {

using hcsim::Fault;

class Async : public vt5test::HcFixture {
protected:
    void SetUp() override { ASSERT_EQ(open(), VT5_OK); }
    uint8_t id = 0;
};

TEST_F(Async, MessagesBeforeTheAnswerFailTheCommandAndCloseTheConnection) {
    struct Case {
        uint8_t code;
        int32_t result;
        int64_t delayMs;
    };
    const Case cases[] = {{0xAA, VT5_E_MODE_CHANGED, 3000},
                          {0xB7, VT5_E_MODE_CHANGED, 3000},
                          {0x36, VT5_E_POWERED_OFF, 500},
                          {0x01, VT5_E_UNKNOWN_ASYNC, 500}};
    for (const Case& c : cases) {
        hc->inject(Fault::asyncBefore(c.code));
        EXPECT_EQ(VT5cmd_GetHardwareID(&api, &id), c.result) << int(c.code);
        EXPECT_FALSE(VT5_IsOpen(&api));
        EXPECT_EQ(api.reconnectDelay, c.delayMs);
        // The next command waits, reopens, repeats the handshake and runs.
        int64_t took = elapsedMs([&] { EXPECT_EQ(VT5cmd_GetHardwareID(&api, &id), VT5_OK); });
        EXPECT_GE(took, c.delayMs) << int(c.code);
        EXPECT_LT(took, c.delayMs + 1000) << int(c.code);
        EXPECT_TRUE(VT5_IsOpen(&api));
    }
}

TEST_F(Async, MessageWaitingBeforeACommandIsTakenInFirst) {
    ASSERT_TRUE(hc->sendAsync(0xB7));
    hc->clearReceived();
    EXPECT_EQ(VT5cmd_GetHardwareID(&api, &id), VT5_E_MODE_CHANGED);
    EXPECT_TRUE(hc->received().empty());  // failed before the command was written
}

TEST_F(Async, SeveralMessagesTheLastDecidesUnlessOneWasUnknown) {
    ASSERT_TRUE(hc->sendAsync(0x36));
    ASSERT_TRUE(hc->sendAsync(0xAA));
    EXPECT_EQ(VT5cmd_GetHardwareID(&api, &id), VT5_E_MODE_CHANGED);
    EXPECT_EQ(api.reconnectDelay, 3000);
    ASSERT_EQ(VT5cmd_GetHardwareID(&api, &id), VT5_OK);
    ASSERT_TRUE(hc->sendAsync(0x01));
    ASSERT_TRUE(hc->sendAsync(0xAA));
    EXPECT_EQ(VT5cmd_GetHardwareID(&api, &id), VT5_E_UNKNOWN_ASYNC);
}

TEST_F(Async, PowerOffThenGoneOrSilent) {
    ASSERT_TRUE(hc->powerOff());  // announces 0x36
    EXPECT_EQ(VT5cmd_GetHardwareID(&api, &id), VT5_E_POWERED_OFF);
    // Present but not answering: the handshake fails.
    int64_t took = elapsedMs([&] { EXPECT_EQ(VT5cmd_GetHardwareID(&api, &id), VT5_E_HANDSHAKE); });
    EXPECT_GE(took, 500);
    // Gone: nothing to open.
    hc->unplug();
    EXPECT_EQ(VT5cmd_GetHardwareID(&api, &id), VT5_E_CANNOT_OPEN);
}

}  // namespace
