// Two clients of the API server and one SD card: the file system section keeps the second
// out of the card while the first downloads, and lets it in once the first has gone.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/card/card_files.h"
#include "tests/card/card_fixture.h"
#include "vt5api/commands/file_system.h"
#include "vt5api/commands/identity.h"

namespace {

class TwoClients : public vt5test::CardFixture {};

TEST_P(TwoClients, OneDownloadsWhileTheOthersFileSystemCommandsAreRefused) {
    vt5test::TempDir dir;
    std::string log(200'000, '\0');
    for (size_t i = 0; i < log.size(); ++i)
        log[i] = static_cast<char>('a' + i % 23);
    vt5test::writeHostFile(dir.path() / "LOGS/vt5_log_0307.txt", log);
    plug(dir.path());
    CVT5Api other;
    ASSERT_EQ(open(api, "Gantrix - FileSystem"), VT5_OK);
    ASSERT_EQ(open(other, "vt5-card"), VT5_OK);

    ASSERT_EQ(VT5cmd_FS_Open(&api, "/LOGS/vt5_log_0307.txt", VT5_FS_OPEN_READ, nullptr), VT5_OK);
    std::atomic<bool> done{false};
    std::string copy;
    int32_t downloadResult = VT5_OK;
    std::thread download([&] {
        std::vector<char> piece(VT5_FS_PIECE);
        for (;;) {
            int32_t got = 0;
            downloadResult = VT5cmd_FS_Read(&api, piece.data(), VT5_FS_PIECE, &got, nullptr);
            if (downloadResult != VT5_OK || got == 0) break;
            copy.append(piece.data(), static_cast<size_t>(got));
        }
        if (downloadResult == VT5_OK) downloadResult = VT5cmd_FS_Close(&api, nullptr);
        done = true;
    });
    int refused = 0, served = 0;
    while (!done) {
        char path[64];
        int32_t result = VT5cmd_FS_GetCurrentDir(&other, path, sizeof path, nullptr);
        EXPECT_EQ(result, VT5_E_LOCK);
        refused += result == VT5_E_LOCK;
        uint8_t hardwareId = 0;  // commands of no section go on meanwhile
        EXPECT_EQ(VT5cmd_GetHardwareID(&other, &hardwareId), VT5_OK);
        served += hardwareId == 3;
    }
    download.join();
    EXPECT_EQ(downloadResult, VT5_OK);
    EXPECT_EQ(copy, log);
    EXPECT_GT(refused, 0);
    EXPECT_EQ(served, refused);

    // The first keeps the card until it goes; then the other has it.
    char path[64] = {};
    EXPECT_EQ(VT5cmd_FS_GetCurrentDir(&other, path, sizeof path, nullptr), VT5_E_LOCK);
    VT5_Close(&api);
    ASSERT_EQ(VT5cmd_FS_GetCurrentDir(&other, path, sizeof path, nullptr), VT5_OK);
    EXPECT_STREQ(path, "/");
    ASSERT_EQ(open(api, "Gantrix - FileSystem"), VT5_OK);
    EXPECT_EQ(VT5cmd_FS_OpenDir(&api, "/", nullptr), VT5_E_LOCK);
    VT5_Close(&other);
}

INSTANTIATE_TEST_SUITE_P(Server, TwoClients, ::testing::Values(vt5test::Route::Server),
                         vt5test::routeName);

}  // namespace
