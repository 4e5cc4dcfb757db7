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

TEST_F(Vt5Info, ReportsWhatWentWrong) {
    serve({"--serial", "OFFHC001", "--mode", "off"});
    std::string out;
    EXPECT_EQ(info({"--serial", "OFFHC001"}, out), 1);
    EXPECT_THAT(out, HasSubstr("Veltra-5 API error code 35: Failed to read protocol version at "
                               "initialization"));
    EXPECT_EQ(info({"--serial", "NOSUCH01"}, out), 1);
    EXPECT_THAT(out, HasSubstr("error code 1: Can not open device"));
    EXPECT_EQ(info({"--bogus"}, out), 2);
    EXPECT_THAT(out, Not(HasSubstr("Serial:")));
}

}  // namespace
