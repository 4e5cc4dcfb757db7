// vt5-hcsim in a process of its own: the HC is reached through FT_* over the bus socket, and
// `vt5-hcsim control` acts on it while the PC holds it open.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/ftd2xx/ftd2xx.h"
#include "platform/posix/unique_fd.h"
#include "tests/support/subprocess.h"

extern char** environ;

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

const char* const kSerial = "HCDAEMON";

// Starts a program with this process's environment; it gets SIGTERM when this process dies,
// so that a crashed test leaves no daemon behind.
pid_t spawn(const std::vector<std::string>& args, int stdoutFd = -1) {
    std::vector<std::string> command = vt5test::programCommand(args);
    std::vector<char*> argv;
    for (std::string& a : command)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid != 0) return pid;
    // Only async-signal-safe calls from here to exec.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    if (stdoutFd >= 0) dup2(stdoutFd, STDOUT_FILENO);
    execve(argv[0], argv.data(), environ);
    _exit(127);
}

// Runs `vt5-hcsim control SERIAL COMMAND...`; returns its output line and exit status.
std::pair<std::string, int> control(const std::vector<std::string>& command) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return {"pipe failed", -1};
    platform::UniqueFd readEnd(fds[0]), writeEnd(fds[1]);
    std::vector<std::string> args{VT5_HCSIM_PATH, "control", kSerial};
    args.insert(args.end(), command.begin(), command.end());
    pid_t pid = spawn(args, writeEnd.get());
    writeEnd.reset();
    std::string out;
    char buf[256];
    for (ssize_t n; (n = ::read(readEnd.get(), buf, sizeof buf)) > 0;)
        out.append(buf, static_cast<size_t>(n));
    int status = -1;
    if (pid > 0) waitpid(pid, &status, 0);
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return {out, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

class DaemonTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/vt5-hcsim-test-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        ::setenv("VT5_USB_BUS", (dir_ / "usb-bus").c_str(), 1);
        ::setenv("VT5_USB_BACKENDS", "vbus", 1);
    }

    void TearDown() override {
        if (handle_) FT_Close(handle_);
        if (daemon_ > 0) {
            kill(daemon_, SIGTERM);
            waitpid(daemon_, nullptr, 0);
        }
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    // Starts the daemon and opens its HC with the PC's line set-up.
    void start(const std::string& mode) {
        daemon_ = spawn({VT5_HCSIM_PATH, "--serial", kSerial, "--mode", mode});
        ASSERT_GT(daemon_, 0);
        uint32_t count = 0;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (FT_CreateDeviceInfoList(&count) == FT_OK && count == 0 &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_EQ(count, 1u) << "vt5-hcsim did not come up";
        FT_DEVICE_LIST_INFO_NODE node{};
        ASSERT_EQ(FT_GetDeviceInfoList(&node, &count), FT_OK);
        EXPECT_STREQ(node.SerialNumber, kSerial);
        EXPECT_STREQ(node.Description, "Veltra-5 HandController");
        EXPECT_EQ(node.ID, 0x04036015u);
        ASSERT_EQ(FT_Open(0, &handle_), FT_OK);
        ASSERT_EQ(FT_SetTimeouts(handle_, 300, 1000), FT_OK);
        ASSERT_EQ(FT_SetFlowControl(handle_, FT_FLOW_RTS_CTS, 0, 0), FT_OK);
        ASSERT_EQ(FT_SetBaudRate(handle_, 3'000'000), FT_OK);
        ASSERT_EQ(FT_Purge(handle_, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
    }

    Bytes exchange(const Bytes& command, size_t answer) {
        uint32_t done = 0;
        EXPECT_EQ(FT_Write(handle_, command.data(), static_cast<uint32_t>(command.size()), &done),
                  FT_OK);
        return read(answer);
    }

    Bytes read(size_t n) {
        Bytes out(n);
        uint32_t got = 0;
        EXPECT_EQ(FT_Read(handle_, out.data(), static_cast<uint32_t>(n), &got), FT_OK);
        out.resize(got);
        return out;
    }

    fs::path dir_;
    pid_t daemon_ = -1;
    FT_HANDLE handle_ = nullptr;
};

TEST_F(DaemonTest, HandshakeThenPowerOffFromTheControlCommand) {
    start("firmware");
    EXPECT_EQ(exchange({0xF8, 0x01, 0x01, 0xFF}, 11),
              (Bytes{0xF8, 0x01, 0x00, 0x0B, 0x00, 0x01, 0x04, 0x12, 0x01, 0x03, 0x00}));
    Bytes head = exchange({0xF8, 0x02, 0x0A, 0xFF}, 15);
    ASSERT_EQ(head.size(), 15u);
    EXPECT_EQ(Bytes(head.begin() + 13, head.end()), (Bytes{0xFD, 0x00}));
    size_t size = head[9] | head[10] << 8;
    EXPECT_EQ(read(size).size(), size);

    EXPECT_EQ(control({"power-off"}), (std::pair<std::string, int>{"ok", 0}));
    EXPECT_EQ(read(5), (Bytes{0xFB, 0x36, 0x00, 0x05, 0x00}));
    EXPECT_EQ(control({"status"}).first.rfind("state=off ", 0), 0u);
    EXPECT_TRUE(exchange({0xF8, 0x03, 0x01, 0xFF}, 1).empty());
    EXPECT_EQ(control({"power-off"}).second, 1);
}

TEST_F(DaemonTest, StartsOffAndIsSwitchedOnIntoBootMode) {
    start("off");
    EXPECT_TRUE(exchange({0xF8, 0x01, 0x01, 0xFF}, 11).empty());
    EXPECT_EQ(control({"power-on", "boot"}).first, "ok");
    EXPECT_EQ(exchange({0xF8, 0x01, 0x01, 0xFF}, 11),
              (Bytes{0xF8, 0x01, 0x00, 0x0B, 0x00, 0x03, 0x04, 0x14, 0x00, 0x01, 0x00}));
    auto [reply, status] = control({"no-such-command"});
    EXPECT_EQ(reply.rfind("error:", 0), 0u) << reply;
    EXPECT_EQ(status, 1);
}

}  // namespace
