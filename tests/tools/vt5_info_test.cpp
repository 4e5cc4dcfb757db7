// vt5-info against simulated HCs that vt5-hcsim serves from another process.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/bus_fixture.h"
#include "tests/support/subprocess.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class Vt5Info : public ::testing::Test {
protected:
    void serve(std::vector<std::string> args) {
        fixture.useDaemon();
        args.insert(args.begin(), {VT5_HCSIM_PATH, "--bus", fixture.busSocket()});
        daemon = std::make_unique<vt5test::Subprocess>(args);
        ASSERT_TRUE(daemon->waitFor("VT5_USB_BUS=")) << "vt5-hcsim did not start";
    }

    int info(std::vector<std::string> args, std::string& out) {
        args.insert(args.begin(), VT5_INFO_PATH);
        return vt5test::run(args, out);
    }

    vt5test::BusFixture fixture;
    std::unique_ptr<vt5test::Subprocess> daemon;
};

TEST_F(Vt5Info, PrintsTheDeviceInformationInBothModes) {
    serve({"--serial", "FWHC0001", "--mode", "firmware", "--serial", "BTHC0001", "--mode", "boot"});
    std::string out;
    ASSERT_EQ(info({"--serial", "FWHC0001"}, out), 0) << out;
    EXPECT_THAT(out, HasSubstr("2 free HCs:"));
    EXPECT_THAT(out, HasSubstr("Serial:            FWHC0001"));
    EXPECT_THAT(out, HasSubstr("Mode:              Firmware"));
    EXPECT_THAT(out, HasSubstr("Description:       Veltra-5 HandController"));

    ASSERT_EQ(info({"--serial", "BTHC0001"}, out), 0) << out;
    EXPECT_THAT(out, HasSubstr("Mode:              BOOT mode"));
}

TEST_F(Vt5Info, ReportsWhatWentWrongOnStandardError) {
    serve({"--serial", "OFFHC001", "--mode", "off"});
    auto run = [](std::vector<std::string> args) {
        args.insert(args.begin(), VT5_INFO_PATH);
        return vt5test::runProgram(args);
    };
    auto off = run({"--serial", "OFFHC001"});
    EXPECT_EQ(off.status, 1);
    EXPECT_THAT(off.err, HasSubstr("Veltra-5 API error code 35: Failed to read protocol version at "
                                   "initialization"));
    EXPECT_THAT(off.out, Not(HasSubstr("Serial:")));
    auto missing = run({"--serial", "NOSUCH01"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_THAT(missing.err, HasSubstr("error code 1: Can not open device"));
    for (auto args : std::vector<std::vector<std::string>>{{"--bogus"},
                                                           {"--hold", "x"},
                                                           {"--serial", "A", "--server", "h"},
                                                           {"--server", "h:0"}}) {
        auto bad = run(args);
        EXPECT_EQ(bad.status, 2) << args[0];
        EXPECT_THAT(bad.err, HasSubstr("vt5-info: ")) << args[0];
        EXPECT_THAT(bad.out, Not(HasSubstr("Serial:")));
    }
    auto help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("Usage: vt5-info"));
}

}  // namespace
