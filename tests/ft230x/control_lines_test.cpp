#include <gtest/gtest.h>

#include "tests/ft230x/ft230x_fixture.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/commands/identity.h"

namespace vt5test {
namespace {

using ControlLines = Ft230xFixture;
using hcsim::ft230x::CbusFunction;

// The ESC pulse reaches the HC over CBUS bit-bang only where the EEPROM made the pin GPIO.
TEST_F(ControlLines, AnEscPulseSwitchesTheHcOnThroughGpioPinsOnly) {
    struct Case {
        const char* name;
        int32_t pulseMs;
        CbusFunction esc;
        hcsim::HcMode expected;
    };
    const Case cases[] = {
        {"short pulse: firmware", 200, CbusFunction::Gpio, hcsim::HcMode::Firmware},
        {"long pulse: BOOT mode", 2000, CbusFunction::Gpio, hcsim::HcMode::Boot},
        {"ESC pin not GPIO", 200, CbusFunction::TxLed, hcsim::HcMode::Off},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto config = defaultConfig();
        config.hc.startMode = hcsim::HcMode::Off;
        config.cbus[1] = c.esc;
        plug(config);
        CVT5Api api;
        ASSERT_EQ(VT5_ESC_control(&api, c.pulseMs, nullptr, 0), VT5_OK);
        if (c.expected == hcsim::HcMode::Off) {
            EXPECT_EQ(chip->hc().mode(), hcsim::HcMode::Off);
        } else {
            // The HC starts up after the pulse; the handshake finds it in the mode asked for.
            int32_t opened = -1;
            for (int i = 0; i < 50 && opened != VT5_OK; ++i)
                opened = VT5_Open(&api, "FT4K2HC7", nullptr, 0, nullptr);
            ASSERT_EQ(opened, VT5_OK);
            int32_t bootFlag = -1;
            uint16_t protocol = 0, word2 = 0;
            ASSERT_EQ(VT5cmd_GetProtocolVersion(&api, &bootFlag, &protocol, &word2), VT5_OK);
            EXPECT_EQ(bootFlag, c.expected == hcsim::HcMode::Boot ? 1 : 0);
            VT5_Close(&api);
        }
        chip.reset();
    }
}

}  // namespace
}  // namespace vt5test
