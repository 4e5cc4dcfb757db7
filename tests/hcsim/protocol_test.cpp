// Command messages and answers at the byte level: handshake, tables, counters, refusals,
// resynchronisation and bulk data from the PC.

#include "tests/hcsim/hc_fixture.h"

namespace hcsim::test {
namespace {

class ProtocolTest : public HcFixture {
protected:
    // The second handshake step: F8 02 0A FF, answered with the table as bulk data.
    TableMap handshakeTable() {
        write({0xF8, 0x02, 0x0A, 0xFF});
        Bytes head = read(15);
        EXPECT_EQ(Bytes(head.begin(), head.begin() + 9),
                  (Bytes{0xF8, 0x02, 0x00, 0x0F, 0x00, 0x0A, 0x00, 0xFC, 0x04}));
        EXPECT_EQ(Bytes(head.begin() + 13, head.end()), (Bytes{0xFD, 0x00}));
        size_t size = head[9] | head[10] << 8 | head[11] << 16 | head[12] << 24;
        Bytes table = read(size);
        EXPECT_EQ(table.size(), size);
        EXPECT_TRUE(available().empty());
        return parseTable(table);
    }
};

const Bytes kHardwareIdCommand{0xF8, 0x07, 0x11, 0xFF};
const Bytes kHardwareIdAnswer{0xF8, 0x07, 0x00, 0x08, 0x00, 0x11, 0x01, 0x03};

std::map<uint8_t, uint8_t> buttonParams() {
    std::map<uint8_t, uint8_t> params;
    for (int id = 0x20; id < 0x40; ++id)
        params[static_cast<uint8_t>(id)] = 0;
    return params;
}

TEST_F(ProtocolTest, HandshakeInFirmwareModeByteForByte) {
    plug();
    EXPECT_EQ(protocolWords(),
              (Bytes{0xF8, 0x01, 0x00, 0x0B, 0x00, 0x01, 0x04, 0x12, 0x01, 0x03, 0x00}));
    TableMap expected{
        {0xF8, {{0x01, 0}, {0x0A, 0}, {0x10, 0}, {0x11, 0}, {0xD1, 0}}},
        {0x51, {{0xC5, 0}, {0xA3, 6}}},
        {0x5F,
         {{0xBD, 0},
          {0xCD, 0},
          {0xD2, 0},
          {0xDC, 1},
          {0xC1, 4},
          {0x30, 1},
          {0x33, 2},
          {0x36, 0},
          {0x3C, 0}}},
        {0xD1, {{0x01, 0}, {0x02, 0}, {0x03, 0}, {0x10, 0}}},
        {0xAE, buttonParams()},
        {0xF9, {{0x01, 0}, {0x02, 0}, {0x0F, 0}}},
        {0xF7, {{0x10, 0}, {0x8F, 0}}},
    };
    EXPECT_EQ(handshakeTable(), expected);
}

TEST_F(ProtocolTest, HandshakeInBootModeByteForByte) {
    plug(configIn(HcMode::Boot));
    EXPECT_EQ(protocolWords(),
              (Bytes{0xF8, 0x01, 0x00, 0x0B, 0x00, 0x03, 0x04, 0x14, 0x00, 0x01, 0x00}));
    TableMap expected{
        {0xF8, {{0x01, 0}, {0x0A, 0}, {0x10, 0}, {0x11, 0}, {0xD1, 0}}},
        {0xFA, {{0x78, 4}, {0xB0, 4}, {0xA9, 4}}},
        {0xF7, {{0x10, 0}, {0x30, 2}, {0x8A, 3}, {0xDA, 0}, {0x8F, 0}}},
        {0xF4, {{0xC0, 0}, {0xC1, 0}, {0x3C, 2}}},
        // The boot loader sends no snapshots.
        {0xD1, {{0x01, 0}, {0x02, 0}, {0x03, 0}}},
        {0xAE, buttonParams()},
    };
    EXPECT_EQ(handshakeTable(), expected);
}

TEST_F(ProtocolTest, CountersAreEchoedAndBackToBackMessagesAnsweredInOrder) {
    plug();
    Bytes commands, answers;
    for (uint8_t counter : {1, 2, 100, 238, 239}) {
        commands.insert(commands.end(), {0xF8, counter, 0x11, 0xFF});
        answers.insert(answers.end(), {0xF8, counter, 0x00, 0x08, 0x00, 0x11, 0x01, 0x03});
    }
    EXPECT_EQ(send(commands), answers);
}

TEST_F(ProtocolTest, FillerBytesBetweenMessagesAreIgnored) {
    plug();
    EXPECT_EQ(send(concat({{0xFF, 0x00, 0xFF}, kHardwareIdCommand, {0x00}})), kHardwareIdAnswer);
}

struct Refusal {
    const char* name;
    Bytes command;
    Bytes answer;
};

class RefusalTest : public HcFixture, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusalTest, IsAnsweredAndTheNextCommandIsUnharmed) {
    plug();
    EXPECT_EQ(send(GetParam().command), GetParam().answer);
    EXPECT_EQ(send(kHardwareIdCommand), kHardwareIdAnswer);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusalTest,
    ::testing::Values(
        Refusal{"UnknownCode", {0x42, 0x07, 0x01, 0x02, 0xFF}, {0x42, 0xF0, 16, 0x05, 0x00}},
        // 0xFA belongs to BOOT mode; its 4-byte value is cut by size, so its 0xFF is no end.
        Refusal{"OtherModesCode",
                {0xFA, 0x07, 0x78, 0xFF, 0x1E, 0x6B, 0xD2, 0xFF},
                {0xFA, 0xF0, 16, 0x05, 0x00}},
        Refusal{"CounterZero", {0xF8, 0x00, 0x11, 0xFF}, {0xF8, 0x00, 17, 0x05, 0x00}},
        Refusal{"Counter240", {0xF8, 0xF0, 0x11, 0xFF}, {0xF8, 0xF0, 17, 0x05, 0x00}},
        Refusal{"UnknownParameter", {0xF8, 0x07, 0x42, 0x11, 0xFF}, {0xF8, 0x07, 18, 0x05, 0x00}},
        Refusal{"ParameterTwice", {0xF8, 0x07, 0x11, 0x11, 0xFF}, {0xF8, 0x07, 19, 0x05, 0x00}},
        Refusal{"BulkEntryTwice",
                {0x5F, 0x07, 0xFC, 0x01, 0, 0, 0, 0xFC, 0x01, 0, 0, 0, 0xBD, 0xFF, 0xAB},
                {0x5F, 0x07, 19, 0x05, 0x00}},
        Refusal{"BulkToACommandWithout",
                {0xF8, 0x07, 0xFC, 0x02, 0, 0, 0, 0x11, 0xFF, 0x11, 0xFF},
                {0xF8, 0x07, 20, 0x05, 0x00}},
        Refusal{"ListedButNotBuilt", {0xF7, 0x07, 0x10, 0xFF}, {0xF7, 0x07, 32, 0x05, 0x00}}),
    [](const auto& c) { return c.param.name; });

TEST_F(ProtocolTest, OversizedBulkIsRefusedThenDroppedAsItArrives) {
    plug();
    Bytes piece(4097, 0xFF);  // terminators everywhere: none may be read as a command
    EXPECT_EQ(send({0x5F, 0x07, 0xFC, 0x01, 0x10, 0x00, 0x00, 0xBD, 0xFF}),
              (Bytes{0x5F, 0x07, 20, 0x05, 0x00}));
    EXPECT_TRUE(send(Bytes(piece.begin(), piece.begin() + 3000)).empty());
    EXPECT_EQ(send(concat({Bytes(piece.begin() + 3000, piece.end()), kHardwareIdCommand})),
              kHardwareIdAnswer);
}

TEST_F(ProtocolTest, BulkDataFromThePcArrivesWhole) {
    plug();
    Bytes data = testPattern(4096);
    write({0x5F, 0x07, 0xFC, 0x00, 0x10, 0x00, 0x00, 0x36, 0xFF});
    write(Bytes(data.begin(), data.begin() + 1000));
    EXPECT_TRUE(available().empty());  // not complete before its last byte
    // The write is answered with status 3: this HC has no card.
    EXPECT_EQ(send(concat({Bytes(data.begin() + 1000, data.end()), kHardwareIdCommand})),
              concat({{0x5F, 0x07, 0x00, 11, 0x00, 0x36, 4, 3, 0, 0, 0}, kHardwareIdAnswer}));
    auto received = hc_->received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].bulkSize, 4096u);
    EXPECT_EQ(received[0].bulk, data);
    ASSERT_EQ(received[0].params.size(), 1u);
    EXPECT_EQ(received[0].params[0].id, 0x36);
}

TEST_F(ProtocolTest, EmptyBulkEntryIsAccepted) {
    plug(configIn(HcMode::Boot));
    EXPECT_EQ(send({0xF7, 0x07, 0xFC, 0, 0, 0, 0, 0xDA, 0xFF}),
              (Bytes{0xF7, 0x07, 32, 0x05, 0x00}));
    auto received = hc_->received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].bulkSize, 0u);
    EXPECT_EQ(received[0].refusal, 0);
}

TEST_F(ProtocolTest, ZeroByteAt9600BaudDropsAHalfReceivedCommand) {
    plug();
    write({0xF8, 0x05, 0x10});
    resync();
    EXPECT_EQ(send({0xF8, 0x06, 0x11, 0xFF}),
              (Bytes{0xF8, 0x06, 0x00, 0x08, 0x00, 0x11, 0x01, 0x03}));

    // Without it, the second command is read as the rest of the first.
    write({0xF8, 0x05, 0x10});
    EXPECT_EQ(send({0xF8, 0x06, 0x11, 0xFF}), (Bytes{0xF8, 0x05, 18, 0x05, 0x00}));
}

TEST_F(ProtocolTest, ZeroByteAt9600BaudDropsBulkDataStillExpected) {
    plug();
    write({0x5F, 0x07, 0xFC, 0x10, 0x00, 0x00, 0x00, 0x36, 0xFF, 1, 2, 3, 4});
    resync();
    EXPECT_EQ(send(kHardwareIdCommand), kHardwareIdAnswer);
    EXPECT_EQ(hc_->received().size(), 1u);  // the file write never completed
}

TEST_F(ProtocolTest, OtherBytesAtAnotherRateAreNoise) {
    plug();
    write({0xF8, 0x07});
    setBaud(9600);
    write({0x10});
    setBaud(3'000'000);
    EXPECT_EQ(send({0x11, 0xFF}), kHardwareIdAnswer);
}

}  // namespace
}  // namespace hcsim::test
