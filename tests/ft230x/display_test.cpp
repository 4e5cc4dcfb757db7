#include <gtest/gtest.h>

#include <vector>

#include "hcsim/display/display_family.h"
#include "tests/ft230x/ft230x_fixture.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/commands/display.h"

namespace vt5test {
namespace {

using Display = Ft230xFixture;
using Pixels = std::vector<uint16_t>;

// The display's update stream (whole images, then the changes a button press makes) arrives
// through the chip's 64-byte packets with every pixel in place.
TEST_F(Display, TheUpdateStreamMirrorsTheHcScreen) {
    plug();
    auto hcScreen = [&] {
        return chip->hc().with([](hcsim::HcDevice& d) {
            return d.family<hcsim::DisplayFamily>()->screen(platform::clock().now()).pixels();
        });
    };
    CVT5Api api;
    ASSERT_EQ(VT5_Open(&api, "FT4K2HC7", nullptr, 0, nullptr), VT5_OK);
    for (const char* how : {"framed", "streamed"}) {
        SCOPED_TRACE(how);
        ASSERT_EQ(chip->hc().control(std::string("delivery ") + how), "ok");
        Pixels mirror(VT5_DISPLAY_PIXELS, 0);
        ASSERT_EQ(VT5cmd_ReadDisplay(&api, mirror.data(), nullptr, true), VT5_OK);
        EXPECT_EQ(mirror, hcScreen());
        ASSERT_EQ(VT5cmd_ButtonEvent(&api, VT5_BUTTON_DOWN, false), VT5_OK);
        ASSERT_EQ(VT5cmd_ButtonEvent(&api, VT5_BUTTON_DOWN, true), VT5_OK);
        ASSERT_EQ(VT5cmd_ReadDisplay(&api, mirror.data(), nullptr, false), VT5_OK);
        EXPECT_EQ(mirror, hcScreen());
    }
}

}  // namespace
}  // namespace vt5test
