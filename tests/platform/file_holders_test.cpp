// The walk through /proc for the processes that hold a file or a socket, on this machine's own
// /proc: this process and a child hold them.

#include "platform/posix/file_holders.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "platform/posix/unique_fd.h"
#include "tests/support/bus_fixture.h"
#include "tests/support/subprocess.h"

namespace {

bool Holds(const std::vector<platform::FileHolder>& holders, int pid, const std::string& name) {
    return std::any_of(holders.begin(), holders.end(), [&](const platform::FileHolder& h) {
        return h.pid == pid && h.name == name;
    });
}

std::string CommandName(const std::string& pid) {
    std::string name;
    std::getline(std::ifstream("/proc/" + pid + "/comm"), name);
    return name;
}

std::string OwnName() {
    return CommandName("self");
}

TEST(FileHolders, FindsEachProcessThatHasTheFileOpenAndOnlyThose) {
    vt5test::TempDir dir;
    const std::string held = dir.file("held"), other = dir.file("other");
    std::ofstream(held) << "x";
    std::ofstream(other) << "y";
    EXPECT_TRUE(platform::ProcessesHoldingFile(held).empty());

    platform::UniqueFd mine(::open(held.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(mine);
    // A child that holds the file through a path of its own (a link in another folder).
    const std::string link = dir.file("link");
    ASSERT_EQ(::symlink(held.c_str(), link.c_str()), 0);
    vt5test::Subprocess child(
        {"/bin/sh", "-c", "exec 3<\"$0\"; echo holding; exec sleep 600", link});
    ASSERT_TRUE(child.waitFor("holding"));
    // The shell has said so before it turns into sleep.
    const std::string childPid = std::to_string(child.pid());
    for (int i = 0; i < 3000 && CommandName(childPid) != "sleep"; ++i)
        ::usleep(10'000);
    ASSERT_EQ(CommandName(childPid), "sleep");
    const auto holders = platform::ProcessesHoldingFile(held);
    EXPECT_TRUE(Holds(holders, ::getpid(), OwnName()));
    EXPECT_TRUE(Holds(holders, child.pid(), "sleep"));
    EXPECT_EQ(holders.size(), 2u);
    EXPECT_TRUE(platform::ProcessesHoldingFile(other).empty());
    EXPECT_TRUE(platform::ProcessesHoldingFile(dir.file("missing")).empty());
}

TEST(FileHolders, FindsTheProcessWithASocketByItsInode) {
    platform::UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    ASSERT_TRUE(socket);
    struct stat s {};
    ASSERT_EQ(::fstat(socket.get(), &s), 0);
    const auto holders = platform::ProcessesHoldingSocket({std::to_string(s.st_ino)});
    ASSERT_EQ(holders.size(), 1u);
    EXPECT_EQ(holders[0].pid, ::getpid());
    EXPECT_EQ(holders[0].name, OwnName());
    EXPECT_TRUE(platform::ProcessesHoldingSocket({}).empty());
}

}  // namespace
