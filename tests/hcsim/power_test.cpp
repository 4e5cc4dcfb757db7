// Power states: the ESC pulse that switches the HC on, RESET, and what the HC says meanwhile.

#include "tests/hcsim/hc_fixture.h"

namespace hcsim::test {
namespace {

constexpr uint8_t kEsc = HcDevice::kEscPin;
constexpr uint8_t kReset = HcDevice::kResetPin;

const Bytes kFirmwareWords{0xF8, 0x01, 0x00, 0x0B, 0x00, 0x01, 0x04, 0x12, 0x01, 0x03, 0x00};
const Bytes kBootWords{0xF8, 0x01, 0x00, 0x0B, 0x00, 0x03, 0x04, 0x14, 0x00, 0x01, 0x00};

class PowerTest : public HcFixture {};

TEST_F(PowerTest, OffHcIsListedButSilentUntilAnEscPulseAndItsBootTime) {
    plug(configIn(HcMode::Off));
    char serial[16] = {}, description[64] = {};
    uint32_t type = 0, id = 0;
    ASSERT_EQ(FT_GetDeviceInfo(handle_, &type, &id, serial, description, nullptr), FT_OK);
    EXPECT_EQ(id, 0x04036015u);
    EXPECT_STREQ(description, "Veltra-5 HandController");

    write({0xF8, 0x01, 0x01, 0xFF});
    EXPECT_TRUE(silent());

    pulse(kEsc, 200);
    EXPECT_TRUE(hc_->state() == "starting firmware") << hc_->state();
    write({0xF8, 0x01, 0x01, 0xFF});  // too early: dropped, not kept for later
    sleep(99);
    EXPECT_TRUE(silent());
    EXPECT_EQ(hc_->mode(), HcMode::Firmware);  // the read's wait took it past its boot time
    EXPECT_EQ(protocolWords(), kFirmwareWords);
}

struct PulseCase {
    int64_t ms;
    HcMode mode;
};

class EscPulseTest : public HcFixture, public ::testing::WithParamInterface<PulseCase> {};

TEST_P(EscPulseTest, PulseLengthChoosesTheMode) {
    plug(configIn(HcMode::Off));
    pulse(kEsc, GetParam().ms);
    sleep(100);
    EXPECT_EQ(hc_->mode(), GetParam().mode);
    Bytes expected = GetParam().mode == HcMode::Off        ? Bytes{}
                     : GetParam().mode == HcMode::Firmware ? kFirmwareWords
                                                           : kBootWords;
    EXPECT_EQ(protocolWords(), expected);
}

INSTANTIATE_TEST_SUITE_P(Lengths, EscPulseTest,
                         ::testing::Values(PulseCase{20, HcMode::Off}, PulseCase{99, HcMode::Off},
                                           PulseCase{100, HcMode::Firmware},
                                           PulseCase{200, HcMode::Firmware},
                                           PulseCase{999, HcMode::Firmware},
                                           PulseCase{1000, HcMode::Boot},
                                           PulseCase{2000, HcMode::Boot}));

TEST_F(PowerTest, EscLeftHighStartsTheHcWhenTheLineSetUpMakesItAnInput) {
    plug(configIn(HcMode::Off));
    pulse(kEsc, 0);
    sleep(2500);
    EXPECT_EQ(hc_->mode(), HcMode::Off);
    pinsToInputs();
    sleep(100);
    EXPECT_EQ(protocolWords(), kBootWords);
}

TEST_F(PowerTest, EscDoesNothingToARunningHc) {
    plug();
    pulse(kEsc, 2000);
    EXPECT_EQ(hc_->state(), "firmware");
    EXPECT_EQ(protocolWords(), kFirmwareWords);
}

TEST_F(PowerTest, ResetHoldsTheHcSilentAndRestartsItIntoItsFirmware) {
    plug(configIn(HcMode::Boot));
    pulse(kReset, 0);
    EXPECT_EQ(hc_->state(), "reset");
    EXPECT_TRUE(silent());
    pinsToInputs();
    EXPECT_EQ(hc_->state(), "starting firmware");
    sleep(100);
    EXPECT_EQ(protocolWords(), kFirmwareWords);
}

TEST_F(PowerTest, ResetReleasedWhileEscIsHighRestartsIntoBootMode) {
    plug();
    ASSERT_EQ(FT_SetBitMode(handle_, 0xAA, FT_BITMODE_CBUS_BITBANG), FT_OK);  // ESC, RESET high
    sleep(50);
    ASSERT_EQ(FT_SetBitMode(handle_, 0xA2, FT_BITMODE_CBUS_BITBANG), FT_OK);  // RESET low
    sleep(100);
    EXPECT_EQ(protocolWords(), kBootWords);
}

TEST_F(PowerTest, ResetLeavesAnHcThatIsOffOff) {
    plug(configIn(HcMode::Off));
    pulse(kReset, 50);
    sleep(200);
    EXPECT_EQ(hc_->state(), "off");
    EXPECT_TRUE(silent());
}

TEST_F(PowerTest, ResetDropsAHalfReceivedCommand) {
    plug();
    write({0xF8, 0x05, 0x11});
    pulse(kReset, 10);
    sleep(100);
    // Without the restart 0xF8 would be read as an unknown parameter of the first command.
    EXPECT_EQ(send({0xF8, 0x06, 0x11, 0xFF}),
              (Bytes{0xF8, 0x06, 0x00, 0x08, 0x00, 0x11, 0x01, 0x03}));
}

}  // namespace
}  // namespace hcsim::test
