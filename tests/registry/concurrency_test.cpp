#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/registry/reg_text.h"
#include "tests/registry/registry_fixture.h"

namespace platform::registry::test {
namespace {

using namespace std::string_literals;

constexpr int kWriters = 2;
constexpr int kValuesPerWriter = 150;
const char* const kKey = "SOFTWARE\\NORVANE\\Veltra-5\\ConnectionInfo";

std::string valueName(int writer, int i) {
    return "w" + std::to_string(writer) + "-" + std::to_string(i);
}
std::string valueText(int writer, int i) {
    return "writer " + std::to_string(writer) + " value " + std::to_string(i);
}

class ConcurrencyTest : public RegistryTest {
protected:
    // Starts body in a child process that waits for release() before it runs.
    void spawn(const std::function<int()>& body) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(gate_[1]);
            char c;
            while (::read(gate_[0], &c, 1) < 0) {
            }
            ::_exit(body());
        }
        children_.push_back(pid);
    }

    void release() { ::close(gate_[1]); }

    int wait(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
    }

    void SetUp() override {
        RegistryTest::SetUp();
        ASSERT_EQ(::pipe(gate_), 0);
    }

    void TearDown() override {
        ::close(gate_[0]);
        RegistryTest::TearDown();
    }

    int gate_[2] = {-1, -1};
    std::vector<pid_t> children_;
};

TEST_F(ConcurrencyTest, ProcessesWritingAtOnceLoseNothingAndReadersSeeWholeFiles) {
    Key seed;
    ASSERT_EQ(createKey(kKey, seed), ERROR_SUCCESS);
    ASSERT_EQ(seed.setString("seed", "present"), ERROR_SUCCESS);
    const std::filesystem::path done = folder_ / "writers-done";

    for (int w = 0; w < kWriters; ++w) {
        spawn([w] {
            Key key;
            if (openKey(kKey, key) != ERROR_SUCCESS) return 1;
            for (int i = 0; i < kValuesPerWriter; ++i) {
                if (key.setString(valueName(w, i), valueText(w, i)) != ERROR_SUCCESS) return 2;
            }
            return 0;
        });
    }
    // A reader that must never meet a failing hive meanwhile, nor a half-written file even
    // when it reads without the lock.
    spawn([this, &done] {
        Key key;
        if (openKey(kKey, key) != ERROR_SUCCESS) return 1;
        while (!std::filesystem::exists(done)) {
            Hive unlocked;
            if (!parseHive(readHive(), unlocked) || !unlocked.findKey(key.path())) return 4;
            if (query(key, "seed").data != "present\0"s) return 2;
            char name[32];
            char data[64];
            for (std::uint32_t i = 0;; ++i) {
                std::uint32_t nameSize = sizeof name;
                std::uint32_t dataSize = sizeof data;
                const LSTATUS status = key.enumValue(i, name, &nameSize, nullptr, data, &dataSize);
                if (status == ERROR_NO_MORE_ITEMS) break;
                if (status != ERROR_SUCCESS) return 3;
            }
        }
        return 0;
    });
    release();
    for (int w = 0; w < kWriters; ++w)
        EXPECT_EQ(wait(children_[w]), 0) << "writer " << w;
    writeFile(done, "");
    EXPECT_EQ(wait(children_.back()), 0) << "reader";

    Key key;
    ASSERT_EQ(openKey(kKey, key), ERROR_SUCCESS);
    for (int w = 0; w < kWriters; ++w) {
        for (int i = 0; i < kValuesPerWriter; ++i) {
            EXPECT_EQ(query(key, valueName(w, i)).data, valueText(w, i) + '\0') << valueName(w, i);
        }
    }
    char name[32];
    std::uint32_t size = sizeof name;
    EXPECT_EQ(
        key.enumValue(kWriters * kValuesPerWriter + 1, name, &size, nullptr, nullptr, nullptr),
        ERROR_NO_MORE_ITEMS);
    EXPECT_FALSE(std::filesystem::exists(hive_.string() + ".tmp"));
}

}  // namespace
}  // namespace platform::registry::test
