// The link against chips served by the vt5-hcsim daemon in another process.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/ftd2xx/vbus/bus_wire.h"
#include "platform/posix/socket_io.h"
#include "tests/support/bus_fixture.h"
#include "tests/support/subprocess.h"
#include "vt5api/link/vt5link.h"

namespace {

class LinkCrossProcess : public ::testing::Test {
protected:
    void SetUp() override {
        fixture.useDaemon();
        daemon = std::make_unique<vt5test::Subprocess>(std::vector<std::string>{
            VT5_HCSIM_PATH, "--bus", fixture.busSocket(), "--serial", "HC000001", "--device",
            "loopback", "--serial", "HC000002", "--device", "loopback"});
        ASSERT_TRUE(daemon->waitFor("VT5_USB_BUS=")) << "vt5-hcsim did not start";
    }

    // Opens HC000001 in a child process that holds it until killed.
    pid_t holdInChild() {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            CVT5Link holder;
            char ok = holder.Open("HC000001") == 0 ? 'y' : 'n';
            [[maybe_unused]] ssize_t n = ::write(fds[1], &ok, 1);
            for (;;)
                ::pause();
        }
        ::close(fds[1]);
        char ok = 0;
        EXPECT_EQ(::read(fds[0], &ok, 1), 1);
        EXPECT_EQ(ok, 'y');
        ::close(fds[0]);
        return pid;
    }

    vt5test::BusFixture fixture;
    std::unique_ptr<vt5test::Subprocess> daemon;
};

TEST_F(LinkCrossProcess, ChipHeldByAnotherProcessIsBusyUntilThatProcessDies) {
    CVT5Link link;
    int32_t count = 0;
    ASSERT_EQ(link.PollAll(&count), 0);
    EXPECT_EQ(count, 2);

    pid_t holder = holdInChild();
    ASSERT_EQ(link.PollAll(&count), 0);
    ASSERT_EQ(count, 1);
    EXPECT_STREQ(link.GetListItem(0)->SerialNumber, "HC000002");
    link.SetPollMode(3);
    EXPECT_EQ(link.Open("HC000001"), static_cast<int32_t>(FT_DEVICE_NOT_OPENED));
    EXPECT_STREQ(link.GetErrorText(), "FT_Open failed (code 3 ($3))");

    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    // The daemon notices the closed connection and releases the chip.
    int32_t result = -1;
    for (int i = 0; i < 100 && result != 0; ++i) {
        result = link.Open("HC000001");
        if (result != 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(result, 0);
    ASSERT_EQ(link.SetTimeouts(1000, 1000), 0);
    const char hello[] = "through the daemon";
    ASSERT_EQ(link.Write(hello, sizeof hello), static_cast<int32_t>(sizeof hello));
    char echo[sizeof hello] = {};
    EXPECT_EQ(link.Read(echo, sizeof echo), static_cast<int32_t>(sizeof hello));
    EXPECT_STREQ(echo, hello);
}

TEST_F(LinkCrossProcess, DaemonSurvivesMisbehavingClients) {
    using platform::vbus::wire::Writer;
    {
        // Garbage, unknown operations, a short message, an absurd length, then a hang-up
        // while holding a chip.
        auto fd = platform::connectUnix(fixture.busSocket());
        ASSERT_TRUE(fd);
        std::vector<uint8_t> answer;
        ASSERT_TRUE(platform::sendFrame(fd.get(), {0xEE, 1, 2, 3}));
        ASSERT_TRUE(platform::recvFrame(fd.get(), answer, 1 << 20));
        ASSERT_TRUE(platform::sendFrame(fd.get(), {platform::vbus::wire::kSetBaud}));
        ASSERT_TRUE(platform::recvFrame(fd.get(), answer, 1 << 20));
        ASSERT_TRUE(platform::sendFrame(
            fd.get(), Writer().u8(platform::vbus::wire::kRead).u32(0xFFFFFFFF).bytes()));
        ASSERT_TRUE(platform::recvFrame(fd.get(), answer, 1 << 20));
        uint8_t huge[4] = {0xFF, 0xFF, 0xFF, 0x7F};
        ASSERT_TRUE(platform::sendAll(fd.get(), huge, 4));
    }
    CVT5Link link;
    int32_t count = 0;
    ASSERT_EQ(link.PollAll(&count), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(link.Open("HC000002"), 0);
}

TEST_F(LinkCrossProcess, ControlReachesTheDevice) {
    std::string out;
    EXPECT_NE(
        vt5test::run({VT5_HCSIM_PATH, "--bus", fixture.busSocket(), "control", "NOSUCH", "status"},
                     out),
        0);
    EXPECT_NE(out.find("no chip with serial NOSUCH"), std::string::npos) << out;
}

}  // namespace
