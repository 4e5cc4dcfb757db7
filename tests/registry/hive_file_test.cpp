#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>

#include "platform/registry/hive_file.h"
#include "tests/registry/registry_fixture.h"

namespace platform::registry::test {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// Sets (or with nullopt unsets) an environment variable and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = ::getenv(name)) old_ = old;
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(HivePathTest, RegistryVariableThenXdgConfigThenHome) {
    const struct {
        std::optional<std::string> registry, xdg, home;
        const char* expected;
    } cases[] = {
        {"/r/hive.reg", "/x", "/h", "/r/hive.reg"},
        {std::nullopt, "/x", "/h", "/x/veltra-5/registry.reg"},
        {"", "/x", "/h", "/x/veltra-5/registry.reg"},
        {std::nullopt, std::nullopt, "/h", "/h/.config/veltra-5/registry.reg"},
        {std::nullopt, "", "/h", "/h/.config/veltra-5/registry.reg"},
    };
    for (const auto& c : cases) {
        ScopedEnv registry("VT5_REGISTRY", c.registry);
        ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(hivePath(), c.expected);
    }
}

using HiveFileTest = RegistryTest;

TEST_F(HiveFileTest, ReadingCreatesNothingAndWritingCreatesTheFolders) {
    const fs::path hive = folder_ / "config" / "veltra-5" / "registry.reg";
    ::setenv("VT5_REGISTRY", hive.c_str(), 1);
    Key key;
    EXPECT_EQ(openKey("SOFTWARE", key), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(fs::exists(folder_ / "config"));

    ASSERT_EQ(createKey("SOFTWARE", key), ERROR_SUCCESS);
    ASSERT_EQ(key.setDword("v", 1), ERROR_SUCCESS);
    EXPECT_TRUE(fs::is_regular_file(hive));
    EXPECT_FALSE(fs::exists(hive.string() + ".tmp"));
}

TEST_F(HiveFileTest, ReplacingKeepsTheFilesModeAndALinkInPlace) {
    const fs::path target = folder_ / "dotfiles" / "registry.reg";
    fs::create_directories(target.parent_path());
    writeFile(target, "Windows Registry Editor Version 5.00\r\n");
    ::chmod(target.c_str(), 0640);
    fs::create_symlink(target, hive_);

    Key key;
    ASSERT_EQ(createKey("SOFTWARE", key), ERROR_SUCCESS);
    ASSERT_EQ(key.setString("v", "1"), ERROR_SUCCESS);
    EXPECT_TRUE(fs::is_symlink(hive_));
    EXPECT_NE(readFile(target).find("\"v\"=\"1\""), std::string::npos);
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// Runs body in a child process as a user who cannot write the test's files (nobody, when the
// tests run as root) and returns its exit code.
int runAsOtherUser(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            if (!nobody || ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) {
                ::_exit(99);
            }
        }
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

TEST_F(HiveFileTest, AHiveThatMayNotBeWrittenIsStillReadAndRefusesChanges) {
    const struct {
        const char* what;
        fs::perms folder;
        bool lockFile = true;
    } cases[] = {
        {"read-only folder", fs::perms(0555)},
        // Replacing needs only the folder; the hive's own mode must still be honoured.
        {"read-only hive in a writable folder", fs::perms(0777)},
        // Nobody can be writing where no lock file can be made: the read goes ahead unlocked.
        {"read-only folder without a lock file", fs::perms(0555), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::permissions(folder_, fs::perms(0755));
        fs::remove(hive_);
        Key key;
        ASSERT_EQ(createKey("SOFTWARE", key), ERROR_SUCCESS);
        ASSERT_EQ(key.setString("v", "1"), ERROR_SUCCESS);
        const std::string before = readHive();
        fs::permissions(hive_, fs::perms(0444));
        if (c.lockFile) {
            fs::permissions(hive_.string() + ".lock", fs::perms(0666));
        } else {
            fs::remove(hive_.string() + ".lock");
        }
        fs::permissions(folder_, c.folder);

        // The child's exit code is the number of the first check that failed.
        const int failed = runAsOtherUser([] {
            Key mine;
            if (openKey("SOFTWARE", mine) != ERROR_SUCCESS) return 1;
            if (query(mine, "v").data != "1\0"s) return 2;
            if (mine.setString("v", "2") != ERROR_ACCESS_DENIED) return 3;
            if (mine.deleteValue("v") != ERROR_ACCESS_DENIED) return 4;
            Key sub;
            if (createKey("SOFTWARE\\New", sub) != ERROR_ACCESS_DENIED) return 5;
            // Programs open their settings with createKey; an existing key must open.
            Key created;
            if (createKey("SOFTWARE", created) != ERROR_SUCCESS) return 6;
            if (query(created, "v").data != "1\0"s) return 7;
            if (created.setDword("w", 1) != ERROR_ACCESS_DENIED) return 8;
            return 0;
        });
        EXPECT_EQ(failed, 0);
        EXPECT_EQ(readHive(), before);
    }
}

}  // namespace
}  // namespace platform::registry::test
