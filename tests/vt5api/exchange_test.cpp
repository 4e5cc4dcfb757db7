// Command messages, answers, counters and bulk data against the simulated HC.

#include <gtest/gtest.h>

#include <cstring>

#include "hcsim/hc/faults.h"
#include "tests/vt5api/hc_fixture.h"

namespace {

using hcsim::Fault;

class Exchange : public vt5test::HcFixture {
protected:
    void SetUp() override { ASSERT_EQ(open(), VT5_OK); }
};

TEST_F(Exchange, CounterRunsOneTo239AndTheHandshakeKeepsItsOwn) {
    // The handshake used counters 1 and 2 of its own.
    auto handshake = hc->received();
    ASSERT_GE(handshake.size(), 2u);
    EXPECT_EQ(handshake[handshake.size() - 2].counter, 1);
    EXPECT_EQ(handshake.back().counter, 2);
    EXPECT_EQ(api.command.counter, 1);

    uint8_t id = 0;
    for (int i = 1; i <= 240; ++i) {
        ASSERT_EQ(VT5cmd_GetHardwareID(&api, &id), VT5_OK) << "command " << i;
        uint8_t expected = i <= 239 ? static_cast<uint8_t>(i) : 1;
        ASSERT_EQ(hc->received().back().counter, expected) << "command " << i;
    }
    EXPECT_EQ(id, 3);
}

TEST_F(Exchange, AnswerChecks) {
    struct Case {
        const char* name;
        Fault fault;
        int32_t result;
    };
    const Case cases[] = {
        {"wrong answer ID", Fault::wrongAnswerId(), VT5_E_WRONG_ANSWER_ID},
        {"wrong counter", Fault::wrongCounter(), VT5_E_WRONG_COUNTER},
        {"counter F0 with type 0", Fault::counterF0(), VT5_E_INVALID_COMMAND},
        {"type 16", Fault::answerType(16), VT5_E_INVALID_COMMAND},
        {"type 17", Fault::answerType(17), VT5_E_COUNTER_MISMATCH},
        {"type 18", Fault::answerType(18), VT5_E_UNKNOWN_PARAMETER},
        {"type 19", Fault::answerType(19), VT5_E_TOO_MANY_PARAMETERS},
        {"type 20", Fault::answerType(20), VT5_E_TOO_MANY_BYTES_SENT},
        {"type 32", Fault::answerType(32), VT5_E_CANT_EXECUTE},
        {"unknown type", Fault::answerType(7), VT5_E_UNKNOWN_ANSWER_TYPE},
        {"short answer", Fault::truncated(2), VT5_E_SHORT_ANSWER},
        {"stall", Fault::stall(), VT5_E_COMMUNICATION},
    };
    uint8_t id = 0;
    for (const Case& c : cases) {
        hc->inject(c.fault);
        EXPECT_EQ(VT5cmd_GetHardwareID(&api, &id), c.result) << c.name;
        // Nothing is retried and the next command goes through.
        EXPECT_EQ(VT5cmd_GetHardwareID(&api, &id), VT5_OK) << "after " << c.name;
    }
}

TEST_F(Exchange, TableChecksFailBeforeAnythingIsWritten) {
    hc->clearReceived();
    EXPECT_EQ(api.BeginCommand(0x42), VT5_E_COMMAND_NOT_SUPPORTED);
    ASSERT_EQ(api.BeginCommand(0xF8), VT5_OK);
    EXPECT_EQ(api.AddParam(0x77, nullptr, 0), VT5_E_PARAMETER_NOT_SUPPORTED);
    uint8_t value = 1;
    EXPECT_EQ(api.AddParam(0x11, &value, 1), VT5_E_PARAMETER_SIZE);
    EXPECT_TRUE(hc->received().empty());
}

TEST_F(Exchange, MessageOverrunAndMissingTerminatorRoom) {
    ASSERT_EQ(api.BeginCommand(0xF8), VT5_OK);
    api.command.currentCommand = nullptr;  // build beyond what the table allows
    uint8_t filler[600] = {};
    EXPECT_EQ(api.AppendBytes(filler, 600), VT5_E_MESSAGE_OVERRUN);
    EXPECT_EQ(api.command.length, VT5_MSG_SIZE);
    hc->clearReceived();
    EXPECT_EQ(api.SendCommand(), VT5_E_COMMAND_TOO_LONG);
    EXPECT_TRUE(hc->received().empty());
}

TEST_F(Exchange, LargeBulkDataInTwoSegmentsKeepsTheFirstAnswer) {
    hcsim::Bytes pattern = hcsim::testPattern(70000);
    hc->inject(Fault::extraBulk(pattern));
    ASSERT_EQ(hardwareIdExchange(), VT5_OK);
    EXPECT_EQ(api.bulkReceived, 70000);
    EXPECT_EQ(api.bulkBuffered, 1);
    EXPECT_EQ(std::memcmp(api.bulkData, pattern.data(), pattern.size()), 0);
    // Lookups see the answer that announced the data, and find an entry behind the markers.
    const uint8_t* entry = api.FindAnswerParam(0x11);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry[1], 1);
    EXPECT_EQ(entry[2], 3);
    EXPECT_NE(api.FindAnswerParam(VT5_PARAM_BULK_FOLLOWS), nullptr);
    // And the link is clean for the next command.
    uint8_t id = 0;
    EXPECT_EQ(VT5cmd_GetHardwareID(&api, &id), VT5_OK);
    EXPECT_EQ(api.bulkReceived, 0);
}

TEST_F(Exchange, BulkBeyondTheBufferIsRefusedBeforeItIsRead) {
    hc->inject(Fault::extraBulk(hcsim::testPattern(VT5_BULK_BUFFER_SIZE + 1)));
    EXPECT_EQ(hardwareIdExchange(), VT5_E_INVALID_ANSWER);
    // Not a byte of it was taken from the line.
    EXPECT_GE(api.link->QueryReadBufLen(), VT5_BULK_BUFFER_SIZE + 1);
}

TEST_F(Exchange, BulkLeftOnTheLineForTheCaller) {
    hcsim::Bytes pattern = hcsim::testPattern(300);
    hc->inject(Fault::extraBulk(pattern, hcsim::BulkDelivery::Streamed));
    ASSERT_EQ(hardwareIdExchange(), VT5_OK);
    EXPECT_EQ(api.bulkBuffered, 0);
    EXPECT_EQ(api.bulkReceived, 300);
    uint8_t data[300];
    ASSERT_EQ(api.link->Read(data, 300), 300);
    EXPECT_EQ(std::memcmp(data, pattern.data(), 300), 0);
}

}  // namespace
