// vt5-server as a service: readiness and stopping told through $NOTIFY_SOCKET, log lines with
// the journal's priority prefixes when standard error is the journal's stream, and a SIGTERM
// that closes every client's connection and the HC before a clean exit.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <string>

#include "platform/posix/unique_fd.h"
#include "tests/support/address_client.h"
#include "tests/support/bus_fixture.h"
#include "tests/support/subprocess.h"
#include "tests/support/wire_client.h"

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

// The service manager's end of $NOTIFY_SOCKET.
class NotifySocket {
public:
    explicit NotifySocket(const std::string& path) : path_(path) {
        fd_.reset(::socket(AF_UNIX, SOCK_DGRAM, 0));
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
        bound_ = ::bind(fd_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    bool bound() const { return bound_; }
    // Notifications until one holds `text`; that one, or "" when none came in time.
    std::string until(const std::string& text) {
        for (std::string n = next(); !n.empty(); n = next())
            if (n.find(text) != std::string::npos) return n;
        return {};
    }
    // The next notification, or "" when none came in time.
    std::string next(int timeoutMs = 10000) {
        pollfd p{fd_.get(), POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) != 1) return {};
        char buffer[512];
        ssize_t n = ::recv(fd_.get(), buffer, sizeof buffer, 0);
        return n > 0 ? std::string(buffer, size_t(n)) : std::string();
    }

private:
    std::string path_;
    platform::UniqueFd fd_;
    bool bound_ = false;
};

class ServerService : public ::testing::Test {
protected:
    void SetUp() override {
        bus_.useDaemon();
        hcsim_ = std::make_unique<vt5test::Subprocess>(std::vector<std::string>{
            VT5_HCSIM_PATH, "--bus", bus_.busSocket(), "--serial", "HCSVC001"});
        ASSERT_TRUE(hcsim_->waitFor("VT5_USB_BUS=")) << "vt5-hcsim did not start";
        port_ = vt5test::freeTcpPort();
    }
    // vt5-server started the way systemd starts it: with JOURNAL_STREAM naming its standard
    // error when `journal` is set.
    void startServer(bool journal, const std::string& extra = "") {
        std::string server = std::string(VT5_SERVER_PATH) + " --serial HCSVC001 --port " +
                             std::to_string(port_) + extra;
        std::string script =
            journal ? "JOURNAL_STREAM=$(stat -L -c %d:%i /proc/self/fd/2) exec " + server
                    : "unset JOURNAL_STREAM; exec " + server;
        server_ = std::make_unique<vt5test::Subprocess>(
            std::vector<std::string>{"/bin/sh", "-c", script}, true);
    }
    int info(const std::vector<std::string>& extra, std::string& out) {
        std::vector<std::string> args{VT5_INFO_PATH};
        args.insert(args.end(), extra.begin(), extra.end());
        return vt5test::run(args, out);
    }

    vt5test::BusFixture bus_;
    std::unique_ptr<vt5test::Subprocess> hcsim_, server_;
    int port_ = 0;
};

TEST_F(ServerService, TellsReadinessLogsForTheJournalAndStopsCleanlyOnSigterm) {
    NotifySocket manager(bus_.dir().file("notify"));
    ASSERT_TRUE(manager.bound());
    ::setenv("NOTIFY_SOCKET", bus_.dir().file("notify").c_str(), 1);
    startServer(true);
    ::unsetenv("NOTIFY_SOCKET");

    std::string ready = manager.next();
    EXPECT_THAT(ready, StartsWith("READY=1\n"));
    EXPECT_THAT(ready, HasSubstr("STATUS=listening on port " + std::to_string(port_)));
    EXPECT_THAT(manager.until("STATUS=HC HCSVC001 open"), HasSubstr("firmware mode"));

    std::string out;
    ASSERT_EQ(info({"--server", "127.0.0.1:" + std::to_string(port_)}, out), 0) << out;
    EXPECT_THAT(out, HasSubstr("HCSVC001"));
    vt5test::WireClient client(port_);
    ASSERT_TRUE(client.connected());

    server_->kill(SIGTERM);
    EXPECT_THAT(manager.until("STOPPING=1"), StartsWith("STOPPING=1"));
    EXPECT_TRUE(client.closedByServer(5000)) << "a client was left connected";
    std::vector<std::string> lines;
    std::string text;
    while (server_->readLine(text, 5000))
        lines.push_back(text);
    int status = server_->wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ASSERT_FALSE(lines.empty());
    const std::regex journalLine("<[0-7]>[^<].*");
    for (const std::string& l : lines)
        EXPECT_TRUE(std::regex_match(l, journalLine)) << l;
    EXPECT_EQ(lines.back(), "<6>stopped");

    // The HC was closed: it can be opened directly again.
    ASSERT_EQ(info({"--serial", "HCSVC001"}, out), 0) << out;
    EXPECT_THAT(out, HasSubstr("Serial:            HCSVC001"));
}

TEST_F(ServerService, PrefixesItsNameOutsideTheJournalAndTellsNoManagerWhenNoneAsks) {
    ::unsetenv("NOTIFY_SOCKET");
    startServer(false);
    std::string line;
    ASSERT_TRUE(server_->readLine(line));
    EXPECT_EQ(line, "vt5-server: listening on port " + std::to_string(port_));
    server_->kill(SIGTERM);
    EXPECT_TRUE(server_->waitFor("vt5-server: stopped"));
    int status = server_->wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(ServerService, RefusesAnAddressOutsideAllowWhileServingAnAllowedClient) {
    ::unsetenv("NOTIFY_SOCKET");
    startServer(false, " --listen 127.0.0.1 --listen 127.0.0.2 --allow 127.0.0.1/32,::1");
    ASSERT_TRUE(server_->waitFor("listening on port " + std::to_string(port_) +
                                 " at 127.0.0.1, 127.0.0.2, serving 127.0.0.1/32, ::1 only"));

    platform::UniqueFd outsider = vt5test::connectFrom("127.0.0.2", "127.0.0.2", port_);
    ASSERT_TRUE(outsider.valid());
    const int outsiderPort = vt5test::localPortOf(outsider.get());
    EXPECT_TRUE(server_->waitFor("vt5-server: client 127.0.0.2:" + std::to_string(outsiderPort) +
                                 " refused: not in the allowed networks"));
    EXPECT_TRUE(vt5test::endedByPeer(outsider.get()));

    std::string out;
    ASSERT_EQ(info({"--server", "127.0.0.1:" + std::to_string(port_)}, out), 0) << out;
    EXPECT_THAT(out, HasSubstr("HCSVC001"));
    // vt5-info ends its connection as clients do: a departure, not a failure.
    EXPECT_TRUE(server_->waitFor("\" disconnected"));
    server_->kill(SIGTERM);
    EXPECT_TRUE(server_->waitFor("vt5-server: stopped"));
}

TEST_F(ServerService, SaysWhyItCannotStart) {
    ::unsetenv("NOTIFY_SOCKET");
    // Its port held by this test.
    platform::UniqueFd holder = vt5test::listenOn("127.0.0.1", port_);
    ASSERT_TRUE(holder.valid());
    std::string self;
    std::getline(std::ifstream("/proc/self/comm"), self);
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::string port = std::to_string(port_);
    const Case cases[] = {
        {{"--port", port},
         "vt5-server: can't start: TCP port " + port + " is in use by " + self + " (process " +
             std::to_string(::getpid()) + ")\n"},
        {{"--port", port, "--listen", "192.0.2.1"},
         "vt5-server: can't start: can't listen on 192.0.2.1: not an address of this computer\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv{VT5_SERVER_PATH};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        vt5test::RunResult r = vt5test::runProgram(argv, {}, 60000);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.message);
    }
}

TEST_F(ServerService, RefusesBadNetworksOnTheCommandLine) {
    for (const char* bad : {"banana", "10.0.0.0/33", "", "fd00::/129"}) {
        vt5test::RunResult r = vt5test::runProgram({VT5_SERVER_PATH, "--allow", bad}, {}, 60000);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_THAT(r.err, HasSubstr("--allow")) << bad;
    }
}

}  // namespace
