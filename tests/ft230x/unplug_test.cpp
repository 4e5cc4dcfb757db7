#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "tests/ft230x/ft230x_fixture.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/commands/file_system.h"
#include "vt5api/commands/identity.h"

namespace vt5test {
namespace {

using Unplug = Ft230xFixture;

TEST_F(Unplug, MidTransferEndsWithAnErrorAndTheChipOpensAgainWhenBack) {
    plug(withBigFile(1024 * 1024));
    CVT5Api api;
    ASSERT_EQ(VT5_Open(&api, "FT4K2HC7", nullptr, 0, nullptr), VT5_OK);
    int32_t status = 0;
    ASSERT_EQ(VT5cmd_FS_Open(&api, "/BIG.BIN", VT5_FS_OPEN_READ, &status), VT5_OK);

    // The plug is pulled once the HC has begun to send the file.
    std::atomic<bool> reading{true};
    std::thread puller([&] {
        while (reading && chip->urbsReaped() < 200)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        chip->unplug();
    });
    std::vector<char> buffer(bigFile.size());
    int32_t got = 0;
    int32_t result =
        VT5cmd_FS_Read(&api, buffer.data(), static_cast<int32_t>(buffer.size()), &got, &status);
    reading = false;
    puller.join();
    EXPECT_NE(result, VT5_OK);
    EXPECT_EQ(got, 0);
    uint8_t hardwareId = 0;
    EXPECT_NE(VT5cmd_GetHardwareID(&api, &hardwareId), VT5_OK) << "the chip is gone";
    VT5_Close(&api);

    chip->plug();
    CVT5Api again;
    ASSERT_EQ(VT5_Open(&again, "FT4K2HC7", nullptr, 0, nullptr), VT5_OK);
    EXPECT_EQ(VT5cmd_GetHardwareID(&again, &hardwareId), VT5_OK);
}

}  // namespace
}  // namespace vt5test
