#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "tests/ft230x/ft230x_fixture.h"
#include "tests/support/subprocess.h"

namespace vt5test {
namespace {

using Doctor = Ft230xFixture;
using hcsim::ft230x::CbusFunction;

RunResult doctor(std::vector<std::string> prefix = {}) {
    prefix.push_back(VT5_DOCTOR_PATH);
    return runProgram(prefix);
}

TEST_F(Doctor, AHealthyChipAndHcPass) {
    plug();
    RunResult r = doctor();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Bus 001 port 1-1: FT230X, serial FT4K2HC7, \"Veltra-5 HandController\" "
                         "(/dev/bus/usb/001/002)"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("CBUS1 GPIO (ESC line)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("CBUS3 GPIO (RESET line)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("latency timer: 16 ms"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ftdi_sio"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("answers the handshake in firmware mode, protocol version 0x0112"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.err, "");
}

TEST_F(Doctor, EachProblemGetsOneLineWithTheWayToMendIt) {
    struct Case {
        const char* name;
        std::function<void(hcsim::ft230x::Ft230xConfig&)> change;
        std::string expected;
    };
    const Case cases[] = {
        {"CBUS not GPIO",
         [](auto& c) {
             c.cbus[1] = CbusFunction::TxLed;
             c.cbus[3] = CbusFunction::Sleep;
         },
         "CBUS1 is TXLED and CBUS3 is SLEEP, not GPIO, in the chip's EEPROM: the HC cannot be "
         "switched on, reset or put into BOOT mode from the PC"},
        {"HC silent", [](auto& c) { c.hc.startMode = hcsim::HcMode::Off; },
         "the HC does not answer the handshake"},
        {"no chip with that serial", [](auto& c) { c.hc.serial = "OTHER001"; },
         "no FT230X with serial FT4K2HC7 found"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto config = defaultConfig();
        c.change(config);
        plug(config);
        RunResult r = runProgram({VT5_DOCTOR_PATH, "--serial", "FT4K2HC7"});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        chip.reset();
    }
}

TEST_F(Doctor, NamesTheProgramThatHoldsTheChip) {
    plug();
    Subprocess holder({VT5_FT230X_HOLDER});
    ASSERT_TRUE(holder.waitFor("holding"));
    RunResult r = doctor();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("held by ft230x_holder (pid " + std::to_string(holder.pid()) + ")"),
              std::string::npos)
        << r.err;
}

TEST_F(Doctor, SaysWhenNoChipIsPluggedIn) {
    RunResult r = doctor();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no FT230X (USB 0403:6015) found"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace vt5test
