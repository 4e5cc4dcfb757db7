#include <gtest/gtest.h>

#include <cstring>

#include "tests/ft230x/ft230x_fixture.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/commands/identity.h"

namespace vt5test {
namespace {

using Identity = Ft230xFixture;

TEST_F(Identity, HandshakeIdentityAndModeComeThroughTheChip) {
    struct Case {
        hcsim::HcMode mode;
        int32_t bootFlag;
        uint16_t protocol;
    };
    for (Case c :
         {Case{hcsim::HcMode::Firmware, 0, 0x0112}, Case{hcsim::HcMode::Boot, 1, 0x0014}}) {
        SCOPED_TRACE(c.bootFlag ? "BOOT mode" : "firmware");
        auto config = defaultConfig();
        config.hc.startMode = c.mode;
        plug(config);
        CVT5Api api;
        ASSERT_EQ(VT5_Open(&api, "FT4K2HC7", nullptr, 0, nullptr), VT5_OK);
        char serial[16] = {}, description[64] = {};
        EXPECT_EQ(VT5_GetSerial(&api, serial, sizeof serial), VT5_OK);
        EXPECT_STREQ(serial, "FT4K2HC7");
        EXPECT_EQ(VT5_GetDescription(&api, description, sizeof description), VT5_OK);
        EXPECT_STREQ(description, "Veltra-5 HandController");
        int32_t bootFlag = -1;
        uint16_t protocol = 0, word2 = 0;
        ASSERT_EQ(VT5cmd_GetProtocolVersion(&api, &bootFlag, &protocol, &word2), VT5_OK);
        EXPECT_EQ(bootFlag, c.bootFlag);
        EXPECT_EQ(protocol, c.protocol);
        if (c.mode == hcsim::HcMode::Firmware) {
            char text[33] = {};
            ASSERT_EQ(VT5cmd_GetDeviceText(&api, text), VT5_OK);
            EXPECT_STREQ(text, "Veltra-5 simulated HC");
        }
        VT5_Close(&api);
        chip.reset();
    }
}

TEST_F(Identity, OpeningSetsTheLineAndTheTwoMillisecondLatencyTimer) {
    plug();
    EXPECT_EQ(chip->function().latencyMs(), 16) << "the chip's own default";
    CVT5Api api;
    ASSERT_EQ(VT5_Open(&api, "FT4K2HC7", nullptr, 0, nullptr), VT5_OK);
    EXPECT_EQ(chip->function().latencyMs(), 2);
    // Short exchanges keep working at that latency, one after another.
    for (int i = 0; i < 20; ++i) {
        uint8_t hardwareId = 0;
        ASSERT_EQ(VT5cmd_GetHardwareID(&api, &hardwareId), VT5_OK) << "exchange " << i;
        EXPECT_EQ(hardwareId, 3);
    }
}

}  // namespace
}  // namespace vt5test
