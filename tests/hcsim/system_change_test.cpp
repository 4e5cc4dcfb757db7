// System change: the firmware's challenge and response, the boot loader's codes, and what the
// HC does afterwards.

#include "tests/hcsim/hc_fixture.h"

namespace hcsim::test {
namespace {

const Bytes kChallengeCommand{0x51, 0x05, 0xC5, 0xFF};
const Bytes kChallengeAnswer{0x51, 0x05, 0x00, 0x0B, 0x00, 0xC5, 0x04, 0x01, 0x02, 0x03, 0x04};

Bytes responseCommand(Bytes response) {
    return concat({{0x51, 0x06, 0xA3}, response, {0xFF}});
}
Bytes responseAnswer(uint8_t status) {
    return {0x51, 0x06, 0x00, 0x08, 0x00, 0xA3, 0x01, status};
}

class SystemChangeTest : public HcFixture {
protected:
    void plugWithChallenge() {
        HcConfig config;
        config.challenge = {{0x01, 0x02, 0x03, 0x04}};
        plug(config);
    }
};

struct Change {
    const char* name;
    uint8_t modeByte;
    uint8_t announce;
    HcMode next;
};

class FirmwareChangeTest : public SystemChangeTest, public ::testing::WithParamInterface<Change> {};

TEST_P(FirmwareChangeTest, RightResponseIsAnsweredAnnouncedAndCarriedOut) {
    plugWithChallenge();
    EXPECT_EQ(send(kChallengeCommand), kChallengeAnswer);
    EXPECT_EQ(send(responseCommand({0xFB, 0xFC, 0xFD, 0xFE, GetParam().modeByte, 0x00})),
              concat({responseAnswer(0), {0xFB, GetParam().announce, 0x00, 0x05, 0x00}}));
    EXPECT_EQ(hc_->mode(), HcMode::Off);  // off, or on its way to the new mode
    sleep(100);
    EXPECT_EQ(hc_->mode(), GetParam().next);
}

INSTANTIATE_TEST_SUITE_P(Types, FirmwareChangeTest,
                         ::testing::Values(Change{"PowerOff", 0x0F, 0x36, HcMode::Off},
                                           Change{"ToFirmware", 0x01, 0xB7, HcMode::Firmware},
                                           Change{"ToBoot", 0x02, 0xAA, HcMode::Boot}),
                         [](const auto& c) { return c.param.name; });

TEST_F(SystemChangeTest, PowerOffLeavesTheHcSilent) {
    plugWithChallenge();
    send(kChallengeCommand);
    send(responseCommand({0xFB, 0xFC, 0xFD, 0xFE, 0x0F, 0x00}));
    sleep(1000);
    EXPECT_TRUE(protocolWords().empty());
    EXPECT_EQ(hc_->state(), "off");
}

struct WrongResponse {
    const char* name;
    bool challenged;
    Bytes response;
    uint8_t status;
};

class WrongResponseTest : public SystemChangeTest,
                          public ::testing::WithParamInterface<WrongResponse> {};

TEST_P(WrongResponseTest, IsRefusedAndUsesUpTheChallenge) {
    plugWithChallenge();
    if (GetParam().challenged) send(kChallengeCommand);
    EXPECT_EQ(send(responseCommand(GetParam().response)), responseAnswer(GetParam().status));
    EXPECT_EQ(hc_->state(), "firmware");
    // The right response now comes too late.
    EXPECT_EQ(send(responseCommand({0xFB, 0xFC, 0xFD, 0xFE, 0x0F, 0x00})), responseAnswer(1));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WrongResponseTest,
    ::testing::Values(
        WrongResponse{"NoChallenge", false, {0xFB, 0xFC, 0xFD, 0xFE, 0x0F, 0x00}, 1},
        WrongResponse{"NotReversed", true, {0xFE, 0xFD, 0xFC, 0xFB, 0x0F, 0x00}, 2},
        WrongResponse{"NotComplemented", true, {0x04, 0x03, 0x02, 0x01, 0x0F, 0x00}, 2},
        WrongResponse{"LastByteNotZero", true, {0xFB, 0xFC, 0xFD, 0xFE, 0x0F, 0x01}, 2},
        WrongResponse{"UnknownModeByte", true, {0xFB, 0xFC, 0xFD, 0xFE, 0x03, 0x00}, 3}),
    [](const auto& c) { return c.param.name; });

TEST_F(SystemChangeTest, ChallengesChangeWhenNotConfigured) {
    plug();
    Bytes first = send(kChallengeCommand);
    Bytes second = send(kChallengeCommand);
    ASSERT_EQ(first.size(), 11u);
    ASSERT_EQ(second.size(), 11u);
    EXPECT_NE(first, second);
    // The response to the latest challenge is the one that counts.
    Bytes response{static_cast<uint8_t>(~second[10]),
                   static_cast<uint8_t>(~second[9]),
                   static_cast<uint8_t>(~second[8]),
                   static_cast<uint8_t>(~second[7]),
                   0x01,
                   0};
    EXPECT_EQ(send(responseCommand(response)),
              concat({responseAnswer(0), {0xFB, 0xB7, 0x00, 0x05, 0x00}}));
}

struct BootChange {
    const char* name;
    Bytes command;
    HcMode next;
};

class BootChangeTest : public SystemChangeTest, public ::testing::WithParamInterface<BootChange> {};

TEST_P(BootChangeTest, IsCarriedOutWithoutAnswerOrAnnouncement) {
    plug(configIn(HcMode::Boot));
    write(GetParam().command);
    EXPECT_TRUE(silent());
    sleep(100);
    EXPECT_EQ(hc_->mode(), GetParam().next);
    EXPECT_TRUE(available().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Codes, BootChangeTest,
    ::testing::Values(
        BootChange{"PowerOff", {0xFA, 0x07, 0x78, 0x3C, 0x1E, 0x6B, 0xD2, 0xFF}, HcMode::Off},
        BootChange{
            "ToFirmware", {0xFA, 0x07, 0xB0, 0x5A, 0x93, 0xC0, 0x4F, 0xFF}, HcMode::Firmware},
        BootChange{"ToBoot", {0xFA, 0x07, 0xA9, 0xB2, 0x68, 0x4E, 0x19, 0xFF}, HcMode::Boot}),
    [](const auto& c) { return c.param.name; });

struct BootRefusal {
    const char* name;
    uint16_t bootVersion;
    Bytes command;
    Bytes answer;
};

class BootRefusalTest : public SystemChangeTest,
                        public ::testing::WithParamInterface<BootRefusal> {};

TEST_P(BootRefusalTest, IsAnsweredWithTypeZeroAndChangesNothing) {
    HcConfig config = configIn(HcMode::Boot);
    config.bootVersion = GetParam().bootVersion;
    plug(config);
    EXPECT_EQ(send(GetParam().command), GetParam().answer);
    sleep(200);
    EXPECT_EQ(hc_->state(), "boot");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BootRefusalTest,
    ::testing::Values(BootRefusal{"WrongCode",
                                  0x14,
                                  {0xFA, 0x07, 0xB0, 0x5A, 0x93, 0xC0, 0x4E, 0xFF},
                                  {0xFA, 0x07, 0x00, 0x05, 0x00}},
                      BootRefusal{"PowerOffUnknownToOldLoader",
                                  0x11,
                                  {0xFA, 0x07, 0x78, 0x3C, 0x1E, 0x6B, 0xD2, 0xFF},
                                  {0xFA, 0x07, 0x00, 0x08, 0x00, 0xFF, 0x01, 0x78}},
                      BootRefusal{"TwoChanges",
                                  0x14,
                                  {0xFA, 0x07, 0xB0, 0x5A, 0x93, 0xC0, 0x4F, 0xA9, 0xB2, 0x68, 0x4E,
                                   0x19, 0xFF},
                                  {0xFA, 0x07, 0x00, 0x05, 0x00}}),
    [](const auto& c) { return c.param.name; });

TEST_F(SystemChangeTest, OldLoaderStillRestartsIntoItsFirmware) {
    HcConfig config = configIn(HcMode::Boot);
    config.bootVersion = 0x11;
    plug(config);
    write({0xFA, 0x07, 0xB0, 0x5A, 0x93, 0xC0, 0x4F, 0xFF});
    sleep(100);
    EXPECT_EQ(hc_->mode(), HcMode::Firmware);
}

}  // namespace
}  // namespace hcsim::test
