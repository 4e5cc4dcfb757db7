// The HC's text commands (vt5-hcsim control) and what the PC sees of them.

#include "tests/hcsim/hc_fixture.h"

namespace hcsim::test {
namespace {

const Bytes kCommand{0xF8, 0x07, 0x11, 0xFF};
const Bytes kAnswer{0xF8, 0x07, 0x00, 0x08, 0x00, 0x11, 0x01, 0x03};

class ControlTest : public HcFixture {};

TEST_F(ControlTest, PowerOffIsAnnouncedAndPowerOnAnswersAtOnce) {
    plug();
    EXPECT_EQ(hc_->control("power-off"), "ok");
    EXPECT_EQ(available(), (Bytes{0xFB, 0x36, 0x00, 0x05, 0x00}));
    EXPECT_EQ(hc_->control("status"), "state=off esc=low reset=low faults=0 received=0");
    EXPECT_TRUE(send(kCommand).empty());
    EXPECT_EQ(hc_->control("power-off").rfind("error:", 0), 0u);

    EXPECT_EQ(hc_->control("power-on boot"), "ok");
    EXPECT_EQ(protocolWords()[5], 0x03);
    EXPECT_EQ(hc_->control("power-on firmware").rfind("error:", 0), 0u);
}

struct ModeChange {
    HcMode from;
    const char* command;
    uint8_t announce;
    HcMode to;
};

class ModeChangeTest : public ControlTest, public ::testing::WithParamInterface<ModeChange> {};

TEST_P(ModeChangeTest, IsAnnouncedAndRestartsIntoTheMode) {
    plug(configIn(GetParam().from));
    EXPECT_EQ(hc_->control(GetParam().command), "ok");
    EXPECT_EQ(available(), (Bytes{0xFB, GetParam().announce, 0x00, 0x05, 0x00}));
    EXPECT_EQ(hc_->state(), std::string("starting ") + modeName(GetParam().to));
    sleep(100);
    EXPECT_EQ(hc_->mode(), GetParam().to);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ModeChangeTest,
    ::testing::Values(ModeChange{HcMode::Firmware, "mode boot", 0xAA, HcMode::Boot},
                      ModeChange{HcMode::Boot, "mode firmware", 0xB7, HcMode::Firmware},
                      ModeChange{HcMode::Firmware, "mode firmware", 0xB7, HcMode::Firmware}));

TEST_F(ControlTest, AsyncSendsAnyCodeFromARunningHc) {
    plug();
    EXPECT_EQ(hc_->control("async 0x42"), "ok");
    EXPECT_EQ(hc_->control("async 7"), "ok");
    EXPECT_EQ(available(), (Bytes{0xFB, 0x42, 0x00, 0x05, 0x00, 0xFB, 0x07, 0x00, 0x05, 0x00}));
    hc_->powerOff();
    available();
    EXPECT_EQ(hc_->control("async 0x42").rfind("error:", 0), 0u);
    EXPECT_TRUE(available().empty());
}

TEST_F(ControlTest, ResetRestartsIntoTheFirmwareSilently) {
    plug(configIn(HcMode::Boot));
    EXPECT_EQ(hc_->control("reset"), "ok");
    EXPECT_TRUE(available().empty());
    sleep(100);
    EXPECT_EQ(hc_->mode(), HcMode::Firmware);
}

TEST_F(ControlTest, FaultCommandsQueueFaults) {
    plug();
    EXPECT_EQ(hc_->control("fault type 18 2"), "ok");
    EXPECT_EQ(hc_->control("status"), "state=firmware esc=low reset=low faults=1 received=0");
    Bytes refused{0xF8, 0x07, 18, 0x05, 0x00};
    EXPECT_EQ(send(kCommand), refused);
    EXPECT_EQ(send(kCommand), refused);
    EXPECT_EQ(send(kCommand), kAnswer);

    EXPECT_EQ(hc_->control("fault bulk 3 fe"), "ok");
    EXPECT_EQ(send(kCommand), concat({{0xF8, 0x07, 0x00, 0x10, 0x00, 0x11, 0x01, 0x03, 0xFC, 0x04,
                                       0x03, 0x00, 0x00, 0x00, 0xFE, 0x00},
                                      testPattern(3)}));
    EXPECT_EQ(hc_->control("fault stall 3"), "ok");
    EXPECT_EQ(hc_->control("fault clear"), "ok");
    EXPECT_EQ(send(kCommand), kAnswer);
}

TEST_F(ControlTest, BadCommandsAreErrors) {
    plug();
    for (const char* command :
         {"", "frobnicate", "power-on", "power-on off", "mode sideways", "async", "async 256",
          "async -1", "fault", "fault bogus", "fault type", "fault type 300", "fault stall 0",
          "fault stall 1 2", "fault truncate 0", "fault bulk", "fault counter x"}) {
        std::string reply = hc_->control(command);
        EXPECT_EQ(reply.rfind("error:", 0), 0u) << command << " -> " << reply;
    }
    EXPECT_EQ(hc_->control("status"), "state=firmware esc=low reset=low faults=0 received=0");
    EXPECT_EQ(hc_->control("help").rfind("ok", 0), 0u);
}

}  // namespace
}  // namespace hcsim::test
