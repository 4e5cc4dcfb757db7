// The exclusive lock, the three sections and their owners, the holder's time limit and the
// resynchronisation of the USB line after a lost holder.

#include "tests/server/server_fixture.h"

namespace vt5test {
namespace {

class ServerLock : public ServerFixture {
protected:
    void SetUp() override { startServer(); }

    void expectRefused(WireClient& client, uint16_t request, uint16_t sectionCode) {
        auto answer = askControl(client, request, le16(sectionCode));
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->identifier, kErrorAnswer);
        EXPECT_EQ(answer->payload, le16(0x4823));
    }
    int owner(int section) const { return state().sectionOwners[section]; }
    // The driver calls of a resynchronisation, as the recording backend saw them.
    std::vector<std::string> resyncCalls() {
        std::vector<std::string> out;
        for (const std::string& call : bus_.recorder().calls())
            if (call.rfind("SetBaudRate", 0) == 0 || call.rfind("Write", 0) == 0)
                out.push_back(call);
        return out;
    }
};

TEST_F(ServerLock, SectionsConflictBetweenTwoClients) {
    auto a = connect("A");
    auto b = connect("B");
    ASSERT_EQ(lock(*a, kFs), kLockAnswer);
    EXPECT_EQ(state().lockHolder, 0);
    EXPECT_EQ(state().lockDepth, 1);
    EXPECT_EQ(owner(1), 0);
    ASSERT_EQ(unlock(*a, 0), kUnlockAnswer);  // A keeps FS
    EXPECT_EQ(state().lockHolder, -1);
    EXPECT_EQ(owner(1), 0);

    expectRefused(*b, VT5_REQ_LOCK, kFs);
    EXPECT_EQ(state().lockHolder, -1);
    ASSERT_EQ(lock(*b, kEsky), kLockAnswer);
    ASSERT_EQ(unlock(*b, 0), kUnlockAnswer);
    EXPECT_EQ(owner(2), 1);

    // A's sections end with A; B moves to index 0 and takes FS.
    a->close();
    poll();
    ASSERT_EQ(state().clients.size(), 1u);
    EXPECT_EQ(owner(1), -1);
    EXPECT_EQ(owner(2), 0);
    ASSERT_EQ(lock(*b, kFs), kLockAnswer);
    EXPECT_EQ(owner(1), 0);
}

TEST_F(ServerLock, OthersAreNotReadWhileTheLockIsHeld) {
    auto a = connect("A");
    auto b = connect("B");
    ASSERT_EQ(lock(*a, 0), kLockAnswer);
    ASSERT_TRUE(b->control(VT5_REQ_LOCK, le16(0)));
    ASSERT_TRUE(b->control(VT5_REQ_SERVER_VERSION));
    poll(5);
    EXPECT_TRUE(b->silent());
    EXPECT_EQ(state().lockHolder, 0);
    // A's unlock lets B in within the same pass.
    ASSERT_EQ(unlock(*a, 0), kUnlockAnswer);
    auto granted = b->receive();
    ASSERT_TRUE(granted);
    EXPECT_EQ(granted->identifier, kLockAnswer);
    EXPECT_EQ(state().lockHolder, 1);
    poll();
    EXPECT_TRUE(b->receive());  // B holds the lock: its next request is read
}

TEST_F(ServerLock, NestedLocksCountAndClaimNoFreeSection) {
    auto a = connect("A");
    auto b = connect("B");
    ASSERT_EQ(lock(*b, kFs), kLockAnswer);
    ASSERT_EQ(unlock(*b, 0), kUnlockAnswer);

    ASSERT_EQ(lock(*a, 0), kLockAnswer);
    ASSERT_EQ(lock(*a, kCtrl), kLockAnswer);  // nobody owns CTRL, and A does not get it
    EXPECT_EQ(state().lockDepth, 2);
    EXPECT_EQ(owner(0), -1);
    expectRefused(*a, VT5_REQ_LOCK, kFs);  // B's section, even for the holder
    EXPECT_EQ(state().lockDepth, 2);
    ASSERT_EQ(unlock(*a, kCtrl), kUnlockAnswer);
    EXPECT_EQ(state().lockDepth, 1);
    ASSERT_EQ(unlock(*a, 0), kUnlockAnswer);
    EXPECT_EQ(state().lockHolder, -1);
    EXPECT_EQ(state().lockDepth, 0);
    // An unlock without a lock is answered all the same.
    EXPECT_EQ(unlock(*a, 0), kUnlockAnswer);
    EXPECT_EQ(state().lockDepth, 0);
    EXPECT_EQ(owner(1), 1);
}

TEST_F(ServerLock, UnlockWithTheSectionCodeAtDepthTwoFreesTheSection) {
    auto a = connect("A");
    ASSERT_EQ(lock(*a, kEsky), kLockAnswer);
    ASSERT_EQ(lock(*a, 0), kLockAnswer);
    ASSERT_EQ(unlock(*a, kEsky), kUnlockAnswer);
    EXPECT_EQ(owner(2), -1);
    EXPECT_EQ(state().lockHolder, 0);
    EXPECT_EQ(state().lockDepth, 1);
    // Unlocking a section the client does not own releases nothing but the depth.
    ASSERT_EQ(unlock(*a, kFs), kUnlockAnswer);
    EXPECT_EQ(state().lockHolder, -1);
}

TEST_F(ServerLock, SilentHolderIsDroppedAfter5000MsAndTheLineResynchronised) {
    plugHc();
    openHc();
    auto a = connect("A");
    auto b = connect("B");
    ASSERT_EQ(lock(*a, kFs), kLockAnswer);
    // Each request of the holder restarts its time.
    clock_.advance(platform::Millis(4000));
    EXPECT_TRUE(askControl(*a, VT5_REQ_SERVER_VERSION));
    clock_.advance(platform::Millis(4000));
    ASSERT_TRUE(b->control(VT5_REQ_LOCK, le16(kFs)));
    poll();
    EXPECT_TRUE(b->silent());

    clock_.advance(platform::Millis(1000));  // 5000 ms exactly: not yet
    poll();
    EXPECT_EQ(state().lockHolder, 0);
    EXPECT_TRUE(b->silent());

    bus_.recorder().clear();
    auto before = platform::now();
    clock_.advance(platform::Millis(1));
    poll();
    EXPECT_TRUE(a->closedByServer());
    EXPECT_EQ(state().clients.size(), 1u);
    EXPECT_NE(log_.end(), std::find_if(log_.begin(), log_.end(), [](const std::string& l) {
                  return l.find("\"A\"") != std::string::npos &&
                         l.find("5000 ms") != std::string::npos;
              }));
    auto calls = resyncCalls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls.front(), "SetBaudRate 9600");
    EXPECT_EQ(calls[1], "Write 1");
    EXPECT_EQ(calls.back(), "SetBaudRate 3000000");
    EXPECT_GE(platform::now() - before, platform::Millis(550));
    EXPECT_FALSE(state().resyncPending);
    // B's waiting request is served in the same pass: A's FS went with A.
    auto granted = b->receive();
    ASSERT_TRUE(granted);
    EXPECT_EQ(granted->identifier, kLockAnswer);
    EXPECT_EQ(state().lockHolder, 0);
    EXPECT_EQ(owner(1), 0);
}

TEST_F(ServerLock, ResynchronisationOnlyAfterALostHolderAndOnlyWithAnOpenHc) {
    plugHc();
    openHc();
    auto a = connect("A");
    auto b = connect("B");
    ASSERT_EQ(lock(*a, 0), kLockAnswer);
    ASSERT_EQ(unlock(*a, 0), kUnlockAnswer);
    bus_.recorder().clear();
    a->close();  // not holding the lock
    poll(2);
    EXPECT_TRUE(resyncCalls().empty());

    ASSERT_EQ(lock(*b, 0), kLockAnswer);
    ASSERT_EQ(VT5_Close(&server_), VT5_OK);
    b->close();
    poll(2);
    EXPECT_TRUE(resyncCalls().empty());
    EXPECT_FALSE(state().resyncPending);
}

TEST_F(ServerLock, HolderLostMidExchangeLeavesNoAnswerForTheNextClient) {
    plugHc();
    openHc();
    auto a = connect("A");
    auto b = connect("B");
    // A sends its command and vanishes before reading the answer.
    ASSERT_EQ(lock(*a, 0), kLockAnswer);
    ASSERT_TRUE(ask(*a, wireMessage(VT5_WIRE_DATA_WRITE, {0xF8, 0x05, 0x11, 0xFF})));
    a->close();
    poll(2);
    ASSERT_EQ(state().clients.size(), 1u);
    // B's exchange gets B's answer.
    ASSERT_EQ(lock(*b, 0), kLockAnswer);
    ASSERT_TRUE(ask(*b, wireMessage(VT5_WIRE_DATA_WRITE, {0xF8, 0x07, 0x11, 0xFF})));
    auto answer = ask(*b, wireMessage(VT5_WIRE_DATA_READ, le32(8)));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->payload,
              join({le16(0), le16(0xFFFF), {0xF8, 0x07, 0x00, 0x08, 0x00, 0x11, 0x01, 0x03}}));
}

TEST_F(ServerLock, SectionOwnerIndexShiftsWithItsClient) {
    auto starloom = connect("Starloom");
    auto panelcast = connect("Panelcast");
    auto browser = connect("Gantrix - FileSystem");
    ASSERT_EQ(lock(*browser, kFs), kLockAnswer);
    ASSERT_EQ(unlock(*browser, 0), kUnlockAnswer);
    ASSERT_EQ(lock(*starloom, kEsky), kLockAnswer);
    ASSERT_EQ(unlock(*starloom, 0), kUnlockAnswer);
    EXPECT_EQ(owner(1), 2);

    panelcast->close();
    poll();
    EXPECT_EQ(owner(1), 1);
    EXPECT_EQ(owner(2), 0);
    auto list = clients();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_STREQ(list[1].applicationId, "Gantrix - FileSystem");
    EXPECT_EQ(list[1].sectionFlags, 2);
    EXPECT_STREQ(list[0].applicationId, "Starloom");
    EXPECT_EQ(list[0].sectionFlags, 4);
}

}  // namespace
}  // namespace vt5test
