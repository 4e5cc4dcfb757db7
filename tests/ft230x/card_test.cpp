#include <gtest/gtest.h>

#include <vector>

#include "tests/ft230x/ft230x_fixture.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/commands/file_system.h"

namespace vt5test {
namespace {

using Card = Ft230xFixture;

TEST_F(Card, ATwoMegabyteDownloadArrivesByteForByte) {
    plug(withBigFile(2 * 1024 * 1024));
    CVT5Api api;
    ASSERT_EQ(VT5_Open(&api, "FT4K2HC7", nullptr, 0, nullptr), VT5_OK);
    int32_t status = 0;
    ASSERT_EQ(VT5cmd_FS_Open(&api, "/BIG.BIN", VT5_FS_OPEN_READ, &status), VT5_OK);
    std::vector<char> copy;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        int32_t got = 0;
        ASSERT_EQ(
            VT5cmd_FS_Read(&api, buffer.data(), static_cast<int32_t>(buffer.size()), &got, &status),
            VT5_OK)
            << "after " << copy.size() << " bytes";
        copy.insert(copy.end(), buffer.begin(), buffer.begin() + got);
        if (got < static_cast<int32_t>(buffer.size())) break;
    }
    EXPECT_EQ(VT5cmd_FS_Close(&api, &status), VT5_OK);
    ASSERT_EQ(copy.size(), bigFile.size());
    EXPECT_TRUE(copy == bigFile);
}

}  // namespace
}  // namespace vt5test
