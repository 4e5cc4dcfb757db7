#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "tests/ft230x/ft230x_fixture.h"
#include "tests/support/subprocess.h"
#include "vt5api/api/vt5api.h"

namespace vt5test {
namespace {

using Access = Ft230xFixture;

// A user whom the device file does not let in: the kernel refuses the open with EACCES, and
// the message names the udev rule and the group that would let them in.
TEST_F(Access, NoPermissionOnTheDeviceFileNamesTheUdevRuleAndTheGroup) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to run the programs as another user";
    plug();
    ASSERT_EQ(::chmod(chip->devNodeFile().c_str(), 0600), 0);
    chip->letOtherUsersIn();
    const std::vector<std::string> asNobody = {"/usr/bin/setpriv", "--reuid=nobody",
                                               "--regid=nogroup", "--clear-groups", "--"};
    struct Case {
        const char* name;
        std::vector<std::string> argv;
    };
    const Case cases[] = {
        {"vt5-doctor", {VT5_DOCTOR_PATH}},
        {"the library's open", {VT5_INFO_PATH, "--serial", "FT4K2HC7"}},
        {"the updater's open", {VT5_FLASH_PATH, "devinfo", "--serial", "FT4K2HC7"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> argv = asNobody;
        argv.insert(argv.end(), c.argv.begin(), c.argv.end());
        RunResult r = runProgram(argv);
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_NE(r.err.find("no permission to open /dev/bus/usb/001/002: the udev rule "
                             "60-veltra5.rules is missing or not loaded, or you are not in the "
                             "plugdev group"),
                  std::string::npos)
            << r.err;
    }
    // What the udev rule does: with the file open to the user, the same user gets through.
    ASSERT_EQ(::chmod(chip->devNodeFile().c_str(), 0666), 0);
    std::vector<std::string> argv = asNobody;
    argv.push_back(VT5_DOCTOR_PATH);
    RunResult r = runProgram(argv);
    EXPECT_EQ(r.status, 0) << r.err;
}

// ftdi_sio that will not let go: the open fails with the kernel's reason and the way out.
TEST_F(Access, AKernelDriverThatWillNotLetGoIsNamedWithItsReason) {
    struct Case {
        int error;
        const char* reason;
    };
    for (Case c : {Case{EACCES, "Permission denied"}, Case{EHOSTUNREACH, "No route to host"}}) {
        SCOPED_TRACE(c.reason);
        auto config = defaultConfig();
        config.detachError = c.error;
        plug(config);
        std::string expected = std::string(
                                   "the kernel driver ftdi_sio holds the chip and could "
                                   "not be detached (") +
                               c.reason +
                               "): unbind it by hand with: echo -n 1-1:1.0 | sudo tee "
                               "/sys/bus/usb/drivers/ftdi_sio/unbind";
        CVT5Api api;
        EXPECT_NE(VT5_Open(&api, "FT4K2HC7", nullptr, 0, nullptr), VT5_OK);
        ASSERT_TRUE(api.link);
        EXPECT_EQ(std::string(api.link->GetErrorText()),
                  "FT_Open failed (code 3 ($3)): " + expected);
        EXPECT_FALSE(chip->claimed());

        RunResult r = runProgram({VT5_DOCTOR_PATH});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "vt5-doctor: FT4K2HC7 on bus 001 port 1-1: " + expected + "\n");
        chip.reset();
    }
}

}  // namespace
}  // namespace vt5test
