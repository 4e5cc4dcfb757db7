#include <gtest/gtest.h>

#include <vector>

#include "hcsim/devices/loopback_device.h"
#include "platform/clock/clock.h"
#include "platform/ftd2xx/ftd2xx.h"
#include "tests/support/bus_fixture.h"

namespace {

class VirtualBus : public ::testing::Test {
protected:
    FT_HANDLE openFirst() {
        uint32_t n = 0;
        EXPECT_EQ(FT_CreateDeviceInfoList(&n), FT_OK);
        FT_HANDLE h = nullptr;
        EXPECT_EQ(FT_Open(0, &h), FT_OK);
        return h;
    }

    platform::VirtualClock virtualClock;
    platform::ScopedClock useVirtual{virtualClock};
    vt5test::BusFixture fixture;
};

TEST_F(VirtualBus, ListingReportsNodesAndOpenFlag) {
    auto id = vt5test::hcIdentity("AB12CD34");
    fixture.bus().plug(id, std::make_unique<hcsim::LoopbackDevice>());
    uint32_t n = 0;
    ASSERT_EQ(FT_CreateDeviceInfoList(&n), FT_OK);
    ASSERT_EQ(n, 1u);
    FT_DEVICE_LIST_INFO_NODE node{};
    ASSERT_EQ(FT_GetDeviceInfoList(&node, &n), FT_OK);
    EXPECT_EQ(node.ID, 0x04036015u);
    EXPECT_EQ(node.Type, FT_DEVICE_X_SERIES);
    EXPECT_EQ(node.Flags, 0u);
    EXPECT_STREQ(node.SerialNumber, "AB12CD34");
    EXPECT_STREQ(node.Description, "Veltra-5 HandController");

    FT_HANDLE h = nullptr;
    ASSERT_EQ(FT_Open(0, &h), FT_OK);
    ASSERT_EQ(FT_CreateDeviceInfoList(&n), FT_OK);
    ASSERT_EQ(FT_GetDeviceInfoList(&node, &n), FT_OK);
    EXPECT_EQ(node.Flags & FT_FLAGS_OPENED, FT_FLAGS_OPENED);
    FT_HANDLE second = nullptr;
    EXPECT_EQ(FT_Open(0, &second), FT_DEVICE_NOT_OPENED);  // exclusive, even in one process
    EXPECT_EQ(FT_Open(1, &second), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(FT_Close(h), FT_OK);
    EXPECT_EQ(FT_Close(h), FT_INVALID_HANDLE);
    uint8_t b = 0;
    uint32_t got = 0;
    EXPECT_EQ(FT_Read(h, &b, 1, &got), FT_INVALID_HANDLE);
}

TEST_F(VirtualBus, ReadWaitsForTheTimeoutAndReturnsWhatCame) {
    fixture.bus().plug(vt5test::hcIdentity("LOOP0001"), std::make_unique<hcsim::LoopbackDevice>());
    FT_HANDLE h = openFirst();
    ASSERT_EQ(FT_SetTimeouts(h, 700, 700), FT_OK);
    uint8_t out[3] = {1, 2, 3}, in[8] = {};
    uint32_t n = 0;
    ASSERT_EQ(FT_Write(h, out, 3, &n), FT_OK);
    EXPECT_EQ(n, 3u);
    uint32_t queued = 0;
    ASSERT_EQ(FT_GetQueueStatus(h, &queued), FT_OK);
    EXPECT_EQ(queued, 3u);
    auto t0 = platform::now();
    ASSERT_EQ(FT_Read(h, in, 8, &n), FT_OK);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(platform::now() - t0, platform::Millis(700));
    EXPECT_EQ(in[2], 3);
    FT_Close(h);
}

TEST_F(VirtualBus, PacedChipTakesAsLongAsTheRealLine) {
    auto chip = fixture.bus().plug(vt5test::hcIdentity("LOOP0001"),
                                   std::make_unique<hcsim::LoopbackDevice>());
    chip->setPaced(true);
    FT_HANDLE h = openFirst();
    ASSERT_EQ(FT_SetBaudRate(h, 3000000), FT_OK);
    ASSERT_EQ(FT_SetTimeouts(h, 1000, 1000), FT_OK);
    std::vector<uint8_t> data(30000, 0x5A), back(30000);
    auto t0 = platform::now();
    uint32_t n = 0, rx = 0, tx = 0, ev = 0;
    ASSERT_EQ(FT_Write(h, data.data(), 30000, &n), FT_OK);
    // 30,000 bytes of 10 bits at 3 MBd: 100 ms each way.
    ASSERT_EQ(FT_GetStatus(h, &rx, &tx, &ev), FT_OK);
    EXPECT_EQ(tx, 30000u);
    EXPECT_EQ(rx, 0u);
    ASSERT_EQ(FT_Read(h, back.data(), 30000, &n), FT_OK);
    EXPECT_EQ(n, 30000u);
    EXPECT_EQ(platform::now() - t0, platform::Millis(200));
    ASSERT_EQ(FT_GetStatus(h, &rx, &tx, &ev), FT_OK);
    EXPECT_EQ(tx, 0u);
    EXPECT_EQ(back, data);

    // At 9600 baud one byte takes 1.0417 ms.
    ASSERT_EQ(FT_SetBaudRate(h, 9600), FT_OK);
    t0 = platform::now();
    ASSERT_EQ(FT_Write(h, data.data(), 96, &n), FT_OK);
    ASSERT_EQ(FT_Read(h, back.data(), 96, &n), FT_OK);
    EXPECT_EQ(n, 96u);
    double ms = std::chrono::duration<double, std::milli>(platform::now() - t0).count();
    EXPECT_NEAR(ms, 200.0, 0.1);
    FT_Close(h);
}

TEST_F(VirtualBus, PurgeAndUnplug) {
    auto chip = fixture.bus().plug(vt5test::hcIdentity("LOOP0001"),
                                   std::make_unique<hcsim::LoopbackDevice>());
    FT_HANDLE h = openFirst();
    uint8_t b[4] = {9, 9, 9, 9};
    uint32_t n = 0;
    ASSERT_EQ(FT_Write(h, b, 4, &n), FT_OK);
    ASSERT_EQ(FT_Purge(h, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
    ASSERT_EQ(FT_GetQueueStatus(h, &n), FT_OK);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(FT_SetBaudRate(h, 50), FT_INVALID_BAUD_RATE);

    fixture.bus().unplug(chip);
    EXPECT_EQ(FT_Write(h, b, 4, &n), FT_IO_ERROR);
    EXPECT_EQ(FT_GetQueueStatus(h, &n), FT_IO_ERROR);
    ASSERT_EQ(FT_CreateDeviceInfoList(&n), FT_OK);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(FT_Close(h), FT_OK);
}

}  // namespace
