// Temporary files claimed by their run, and the removal of those that killed runs left.
#include "platform/posix/claimed_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "tests/support/bus_fixture.h"

namespace {

namespace fs = std::filesystem;

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

TEST(ClaimedFile, TakesAFreshNameWithThePrefixAndSuffixAndTheUmasksPermissions) {
    vt5test::TempDir dir;
    std::string first, second;
    platform::UniqueFd a = platform::CreateClaimedFile(dir.path().string(), ".tmp-", ".x", first);
    platform::UniqueFd b =
        platform::CreateClaimedFile(dir.path().string() + "/", ".tmp-", ".x", second);
    ASSERT_TRUE(a && b);
    EXPECT_NE(first, second);
    for (const std::string& path : {first, second}) {
        const std::string name = fs::path(path).filename();
        EXPECT_EQ(fs::path(path).parent_path(), dir.path());
        EXPECT_EQ(name.size(), 5u + 6 + 2) << name;
        EXPECT_EQ(name.substr(0, 5), ".tmp-");
        EXPECT_EQ(name.substr(11), ".x");
    }
    struct stat st {};
    ASSERT_EQ(::fstat(a.get(), &st), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);

    std::string none;
    EXPECT_FALSE(platform::CreateClaimedFile((dir.path() / "missing").string(), ".t", "", none));
}

TEST(ClaimedFile, OnlyFilesNoRunClaimsAreRemoved) {
    vt5test::TempDir dir;
    const fs::path d = dir.path();
    std::ofstream(d / ".tmp-left1") << "left by a killed run";
    std::ofstream(d / "other.txt") << "not a temporary";
    fs::create_directory(d / ".tmp-folder");
    fs::create_symlink("other.txt", d / ".tmp-link");
    std::string held;
    platform::UniqueFd claimed = platform::CreateClaimedFile(d.string(), ".tmp-", "", held);
    ASSERT_TRUE(claimed);

    // One made by a process that was killed while it had the file open.
    std::string killedPath;
    pid_t child = ::fork();
    if (child == 0) {
        platform::UniqueFd fd = platform::CreateClaimedFile(d.string(), ".tmp-", "", killedPath);
        ::raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::string heldName = fs::path(held).filename();
    std::set<std::string> killed = Names(d);
    for (const char* name : {".tmp-folder", ".tmp-left1", ".tmp-link", "other.txt"})
        killed.erase(name);
    killed.erase(heldName);
    ASSERT_EQ(killed.size(), 1u) << "the killed run's file";

    platform::RemoveUnclaimedFiles(d.string(), ".tmp-");
    EXPECT_EQ(Names(d), (std::set<std::string>{".tmp-folder", ".tmp-link", heldName, "other.txt"}));

    claimed.reset();  // its run ends
    platform::RemoveUnclaimedFiles(d.string(), ".tmp-");
    EXPECT_EQ(Names(d), (std::set<std::string>{".tmp-folder", ".tmp-link", "other.txt"}));
}

}  // namespace
