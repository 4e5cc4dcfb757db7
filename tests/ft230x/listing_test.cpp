#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <vector>

#include "platform/ftd2xx/ftd2xx.h"
#include "tests/ft230x/ft230x_fixture.h"
#include "tests/support/subprocess.h"
#include "vt5api/api/vt5api.h"

namespace vt5test {
namespace {

using Listing = Ft230xFixture;

std::vector<FT_DEVICE_LIST_INFO_NODE> list() {
    uint32_t n = 0;
    EXPECT_EQ(FT_CreateDeviceInfoList(&n), FT_OK);
    std::vector<FT_DEVICE_LIST_INFO_NODE> nodes(n);
    if (n) {
        EXPECT_EQ(FT_GetDeviceInfoList(nodes.data(), &n), FT_OK);
    }
    return nodes;
}

TEST_F(Listing, ShowsTheChipWithSerialDescriptionAndIdentity) {
    plug();
    auto nodes = list();
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_STREQ(nodes[0].SerialNumber, "FT4K2HC7");
    EXPECT_STREQ(nodes[0].Description, "Veltra-5 HandController");
    EXPECT_EQ(nodes[0].ID, 0x04036015u);
    EXPECT_EQ(nodes[0].Type, FT_DEVICE_X_SERIES);
    EXPECT_EQ(nodes[0].Flags & FT_FLAGS_OPENED, 0u);
}

TEST_F(Listing, FlagsTheChipOpenWhileThisOrAnotherProcessHoldsIt) {
    plug();
    ASSERT_EQ(list().size(), 1u);
    {
        FT_HANDLE handle = nullptr;
        ASSERT_EQ(FT_Open(0, &handle), FT_OK);
        EXPECT_NE(list().at(0).Flags & FT_FLAGS_OPENED, 0u) << "held by this process";
        FT_HANDLE second = nullptr;
        EXPECT_NE(FT_Open(0, &second), FT_OK) << "a chip opens once";
        ASSERT_EQ(FT_Close(handle), FT_OK);
    }
    EXPECT_EQ(list().at(0).Flags & FT_FLAGS_OPENED, 0u);
    {
        Subprocess holder({VT5_FT230X_HOLDER});
        ASSERT_TRUE(holder.waitFor("holding"));
        EXPECT_NE(list().at(0).Flags & FT_FLAGS_OPENED, 0u) << "held by another process";
        CVT5Api api;
        EXPECT_NE(VT5_Open(&api, "FT4K2HC7", nullptr, 0, nullptr), VT5_OK);
        ASSERT_TRUE(api.link);
        EXPECT_NE(std::string(api.link->GetErrorText())
                      .find("held by ft230x_holder (pid " + std::to_string(holder.pid()) + ")"),
                  std::string::npos)
            << api.link->GetErrorText();
    }
    // The holder has ended; its claim went with it.
    CVT5Api api;
    for (int i = 0; i < 1000 && chip->claimed(); ++i)
        ::usleep(10000);
    ASSERT_FALSE(chip->claimed());
    EXPECT_EQ(VT5_Open(&api, "FT4K2HC7", nullptr, 0, nullptr), VT5_OK);
}

TEST_F(Listing, OpensAChipTheKernelDriverHeldAndOneNobodyHeld) {
    for (bool kernelDriver : {true, false}) {
        SCOPED_TRACE(kernelDriver ? "ftdi_sio bound" : "no driver");
        auto config = defaultConfig();
        config.kernelDriver = kernelDriver;
        plug(config);
        CVT5Api api;
        EXPECT_EQ(VT5_Open(&api, "FT4K2HC7", nullptr, 0, nullptr), VT5_OK);
        EXPECT_TRUE(chip->claimed());
        VT5_Close(&api);
        chip.reset();
    }
}

}  // namespace
}  // namespace vt5test
