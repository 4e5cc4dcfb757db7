// Faults injected into the HC's answers, and the framing of large bulk data.

#include "tests/hcsim/hc_fixture.h"

namespace hcsim::test {
namespace {

const Bytes kCommand{0xF8, 0x07, 0x11, 0xFF};
const Bytes kAnswer{0xF8, 0x07, 0x00, 0x08, 0x00, 0x11, 0x01, 0x03};

struct FaultCase {
    const char* name;
    Fault fault;
    Bytes answer;
};

class AnswerFaultTest : public HcFixture, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(AnswerFaultTest, ChangesTheNextAnswerOnly) {
    plug();
    hc_->inject(GetParam().fault);
    EXPECT_EQ(send(kCommand), GetParam().answer);
    EXPECT_EQ(send(kCommand), kAnswer);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, AnswerFaultTest,
    ::testing::Values(
        FaultCase{"WrongAnswerId",
                  Fault::wrongAnswerId(),
                  {0xF9, 0x07, 0x00, 0x08, 0x00, 0x11, 0x01, 0x03}},
        FaultCase{"GivenAnswerId",
                  Fault::wrongAnswerId(0x12),
                  {0x12, 0x07, 0x00, 0x08, 0x00, 0x11, 0x01, 0x03}},
        FaultCase{"WrongCounter",
                  Fault::wrongCounter(),
                  {0xF8, 0x08, 0x00, 0x08, 0x00, 0x11, 0x01, 0x03}},
        FaultCase{
            "CounterF0", Fault::counterF0(), {0xF8, 0xF0, 0x00, 0x08, 0x00, 0x11, 0x01, 0x03}},
        FaultCase{"Type16", Fault::answerType(16), {0xF8, 0x07, 16, 0x05, 0x00}},
        FaultCase{"Type20", Fault::answerType(20), {0xF8, 0x07, 20, 0x05, 0x00}},
        FaultCase{"Type32", Fault::answerType(32), {0xF8, 0x07, 32, 0x05, 0x00}},
        FaultCase{"UnknownType", Fault::answerType(0x63), {0xF8, 0x07, 0x63, 0x05, 0x00}},
        FaultCase{"Truncated", Fault::truncated(2), {0xF8, 0x07, 0x00, 0x08, 0x00, 0x11}},
        FaultCase{"TruncatedHeader", Fault::truncated(6), {0xF8, 0x07}},
        FaultCase{"AsyncBefore",
                  Fault::asyncBefore(0x01),
                  {0xFB, 0x01, 0x00, 0x05, 0x00, 0xF8, 0x07, 0x00, 0x08, 0x00, 0x11, 0x01, 0x03}},
        FaultCase{"StreamedBulk",
                  Fault::extraBulk({9, 8, 7}, BulkDelivery::Streamed),
                  {0xF8, 0x07, 0x00, 0x10, 0x00, 0x11, 0x01, 0x03, 0xFC, 0x04, 0x03, 0x00, 0x00,
                   0x00, 0xFE, 0x00, 9, 8, 7}}),
    [](const auto& c) { return c.param.name; });

TEST_F(AnswerFaultTest, RefusalTypeOverrideDropsEntriesAndBulk) {
    plug();
    hc_->inject(Fault::answerType(18));
    EXPECT_EQ(send({0xF8, 0x02, 0x0A, 0xFF}), (Bytes{0xF8, 0x02, 18, 0x05, 0x00}));
}

TEST_F(AnswerFaultTest, FaultsLastForTheAnswersAskedAndCombine) {
    plug();
    hc_->inject(Fault::wrongCounter(0x55), 2);
    hc_->inject(Fault::asyncBefore(0x36));
    Bytes wrong{0xF8, 0x55, 0x00, 0x08, 0x00, 0x11, 0x01, 0x03};
    EXPECT_EQ(send(kCommand), concat({{0xFB, 0x36, 0x00, 0x05, 0x00}, wrong}));
    EXPECT_EQ(send(kCommand), wrong);
    EXPECT_EQ(send(kCommand), kAnswer);
}

TEST_F(AnswerFaultTest, StallDropsTheCommandUncarriedOut) {
    HcConfig config;
    config.challenge = {{1, 2, 3, 4}};
    plug(config);
    send({0x51, 0x05, 0xC5, 0xFF});
    hc_->inject(Fault::stall());
    write({0x51, 0x06, 0xA3, 0xFB, 0xFC, 0xFD, 0xFE, 0x0F, 0x00, 0xFF});
    EXPECT_TRUE(silent());
    EXPECT_EQ(hc_->mode(), HcMode::Firmware);
    EXPECT_EQ(send(kCommand), kAnswer);
}

TEST_F(AnswerFaultTest, ClearedFaultsAreGone) {
    plug();
    hc_->inject(Fault::stall(), 5);
    hc_->clearFaults();
    EXPECT_EQ(send(kCommand), kAnswer);
}

// Framed bulk data: the answer F8 07 00 0D 00 FC 04 size FD 00 (13 bytes) and its segments,
// each after the first following a bare header F8 07 00 05 00.
struct Segments {
    size_t size;
    std::vector<size_t> segments;
};

class FramedBulkTest : public HcFixture, public ::testing::WithParamInterface<Segments> {};

TEST_P(FramedBulkTest, IsCutIntoSegmentsTheReaderExpects) {
    plug();
    Bytes data = testPattern(GetParam().size);
    hc_->inject(Fault::extraBulk(data));
    write({0xF8, 0x07, 0xFF});
    Bytes expected{0xF8, 0x07, 0x00, 0x0D, 0x00, 0xFC, 0x04};
    appendLe32(expected, static_cast<uint32_t>(data.size()));
    expected.insert(expected.end(), {0xFD, 0x00});
    size_t at = 0;
    for (size_t i = 0; i < GetParam().segments.size(); ++i) {
        if (i) expected.insert(expected.end(), {0xF8, 0x07, 0x00, 0x05, 0x00});
        auto from = data.begin() + static_cast<std::ptrdiff_t>(at);
        expected.insert(expected.end(), from,
                        from + static_cast<std::ptrdiff_t>(GetParam().segments[i]));
        at += GetParam().segments[i];
    }
    ASSERT_EQ(at, data.size());
    Bytes got = available();
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FramedBulkTest,
                         ::testing::Values(Segments{0, {}}, Segments{65522, {65522}},
                                           Segments{65523, {65522, 1}},
                                           Segments{70000, {65522, 4478}},
                                           Segments{140000, {65522, 65530, 8948}}));

TEST_F(FramedBulkTest, ExtraBulkFollowsTheAnswersOwn) {
    plug();
    hc_->inject(Fault::extraBulk({0xAB, 0xCD}));
    write({0xF8, 0x02, 0x0A, 0xFF});
    Bytes head = read(15);
    ASSERT_EQ(head.size(), 15u);
    size_t size = head[9] | head[10] << 8;
    Bytes bulk = read(size);
    ASSERT_EQ(bulk.size(), size);
    EXPECT_EQ(Bytes(bulk.end() - 2, bulk.end()), (Bytes{0xAB, 0xCD}));
    bulk.resize(size - 2);
    EXPECT_EQ(bulk, hc_->with([](HcDevice& hc) { return hc.table(HcMode::Firmware).encode(); }));
}

}  // namespace
}  // namespace hcsim::test
