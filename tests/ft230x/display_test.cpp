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
    // The HC redraws parts of its menu as time goes by (this test runs on the real clock), so
    // a read is checked against the screen of the moment, a few times if a redraw came between.
    auto mirrored = [&](bool fresh) {
        Pixels mirror(VT5_DISPLAY_PIXELS, 0);
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (VT5cmd_ReadDisplay(&api, mirror.data(), nullptr, fresh) != VT5_OK) return false;
            if (mirror == hcScreen()) return true;
            fresh = true;
        }
        return false;
    };
    for (const char* how : {"framed", "streamed"}) {
        SCOPED_TRACE(how);
        ASSERT_EQ(chip->hc().control(std::string("delivery ") + how), "ok");
        EXPECT_TRUE(mirrored(true));
        ASSERT_EQ(VT5cmd_ButtonEvent(&api, VT5_BUTTON_DOWN, false), VT5_OK);
        ASSERT_EQ(VT5cmd_ButtonEvent(&api, VT5_BUTTON_DOWN, true), VT5_OK);
        EXPECT_TRUE(mirrored(false));
    }
}

}  // namespace
}  // namespace vt5test
