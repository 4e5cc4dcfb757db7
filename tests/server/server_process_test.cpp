// Programs in separate processes: two clients share one simulated HC (vt5-hcsim) through
// vt5-server at the same time, each with its own section; vt5-info reaches the HC through it.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "tests/support/bus_fixture.h"
#include "tests/support/subprocess.h"
#include "tests/support/wire_client.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/commands/identity.h"

namespace vt5test {
namespace {

constexpr uint16_t kCtrl = 0xC781;
constexpr uint16_t kFs = 0xF51C;

class ServerProcesses : public ::testing::Test {
protected:
    void SetUp() override {
        bus_.useDaemon();
        hcsim_ = std::make_unique<Subprocess>(std::vector<std::string>{
            VT5_HCSIM_PATH, "--bus", bus_.busSocket(), "--serial", "HC000001"});
        ASSERT_TRUE(hcsim_->waitFor("VT5_USB_BUS=")) << "vt5-hcsim did not start";
        port_ = freeTcpPort();
        server_ = std::make_unique<Subprocess>(
            std::vector<std::string>{VT5_SERVER_PATH, "--port", std::to_string(port_)}, true);
        ASSERT_TRUE(server_->waitFor("listening on port " + std::to_string(port_)));
    }
    void TearDown() override {
        server_->kill(SIGTERM);
        EXPECT_TRUE(server_->waitFor("stopped"));
    }

    BusFixture bus_;
    std::unique_ptr<Subprocess> hcsim_, server_;
    int port_ = 0;
};

// One client program: takes its own section with a command, tells the parent, waits for the
// go, then finds the other's section refused and runs exchanges. Exit code 0 when all went
// as expected, else the number of the step that did not.
int clientProgram(int port, const char* name, uint16_t own, uint16_t others, int toParent,
                  int fromParent) {
    CVT5Api api;
    if (VT5_Open(&api, nullptr, "127.0.0.1", port, name) != VT5_OK) return 1;
    auto query = [&api]() -> int32_t {
        int32_t result = api.BeginCommand(0xF8);
        if (result == VT5_OK) result = api.AddParam(0x11, nullptr, 0);
        return result == VT5_OK ? api.Exchange() : result;
    };
    if (api.RunCommand(own, query) != VT5_OK) return 2;
    char go = 'r';
    if (::write(toParent, &go, 1) != 1 || ::read(fromParent, &go, 1) != 1) return 3;
    if (api.RunCommand(others, query) != VT5_E_LOCK) return 4;
    VT5DeviceInfo info{};
    for (int i = 0; i < 40; ++i) {
        if (VT5cmd_GetDeviceInfo(&api, &info) != VT5_OK) return 5;
        if (std::string(info.serial) != "HC000001" || info.hardwareId != 3) return 6;
        if (api.RunCommand(own, query) != VT5_OK) return 7;
    }
    return 0;
}

TEST_F(ServerProcesses, TwoProgramsShareTheHcEachWithItsOwnSection) {
    struct Child {
        pid_t pid;
        int ready, go;
    };
    auto spawn = [this](const char* name, uint16_t own, uint16_t others) {
        int up[2], down[2];
        EXPECT_EQ(::pipe(up), 0);
        EXPECT_EQ(::pipe(down), 0);
        pid_t pid = ::fork();
        if (pid == 0) {
            ::close(up[0]);
            ::close(down[1]);
            ::_exit(clientProgram(port_, name, own, others, up[1], down[0]));
        }
        ::close(up[1]);
        ::close(down[0]);
        return Child{pid, up[0], down[1]};
    };
    Child updater = spawn("Updater", kCtrl, kFs);
    Child browser = spawn("Gantrix - FileSystem", kFs, kCtrl);
    for (Child* c : {&updater, &browser}) {
        char ready = 0;
        EXPECT_EQ(::read(c->ready, &ready, 1), 1);
    }
    // Both hold their sections now, and run at the same time.
    for (Child* c : {&updater, &browser})
        EXPECT_EQ(::write(c->go, "g", 1), 1);
    for (Child* c : {&updater, &browser}) {
        int status = 0;
        ASSERT_EQ(::waitpid(c->pid, &status, 0), c->pid);
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "the client program failed at this step";
        ::close(c->ready);
        ::close(c->go);
    }
}

TEST_F(ServerProcesses, Vt5InfoReachesTheHcThroughTheServer) {
    std::string out;
    ASSERT_EQ(run({VT5_INFO_PATH, "--server", "127.0.0.1:" + std::to_string(port_)}, out), 0)
        << out;
    EXPECT_NE(out.find("Serial:            HC000001"), std::string::npos) << out;
    EXPECT_NE(out.find("Description:       Veltra-5 HandController"), std::string::npos) << out;
    EXPECT_NE(out.find("Hardware ID:       3"), std::string::npos) << out;
    // vt5-info ends its connection as every client does: a departure, not a failure.
    EXPECT_TRUE(server_->waitFor("\"vt5-info\" disconnected"));
    // A server that is not there.
    auto absent = vt5test::runProgram(
        {VT5_INFO_PATH, "--server", "127.0.0.1:" + std::to_string(freeTcpPort())});
    EXPECT_EQ(absent.status, 1);
    EXPECT_NE(absent.err.find("code 350"), std::string::npos) << absent.err;
}

TEST_F(ServerProcesses, ServerOutlivesItsHcPulledOutAndPluggedInAgain) {
    const std::string server = "127.0.0.1:" + std::to_string(port_);
    ASSERT_EQ(vt5test::runProgram({VT5_INFO_PATH, "--server", server}).status, 0);
    // vt5-hcsim ends: its chip leaves the bus under the server's open handle.
    hcsim_->kill(SIGTERM);
    hcsim_->wait();
    hcsim_.reset();
    auto absent = vt5test::runProgram({VT5_INFO_PATH, "--server", server});
    EXPECT_EQ(absent.status, 1);
    EXPECT_TRUE(server_->waitFor("the HC is gone"));
    hcsim_ = std::make_unique<Subprocess>(std::vector<std::string>{
        VT5_HCSIM_PATH, "--bus", bus_.busSocket(), "--serial", "HC000001"});
    ASSERT_TRUE(hcsim_->waitFor("VT5_USB_BUS="));
    auto back = vt5test::runProgram({VT5_INFO_PATH, "--server", server});
    EXPECT_EQ(back.status, 0) << back.err;
    EXPECT_NE(back.out.find("Serial:            HC000001"), std::string::npos) << back.out;
}

}  // namespace
}  // namespace vt5test
