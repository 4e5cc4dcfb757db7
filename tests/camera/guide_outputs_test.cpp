// The guide outputs as events on the HC's clock and as AG OUT lines.

#include "hcsim/camera/guide_outputs.h"

#include <gtest/gtest.h>

#include <vector>

namespace hcsim::test {
namespace {

using namespace camera;

struct Seen {
    uint8_t code;
    uint32_t time;
    bool operator==(const Seen&) const = default;
};

class GuideOutputsTest : public ::testing::Test {
protected:
    std::vector<Seen> taken() {
        std::vector<Seen> seen;
        for (const auto& e : events_.waiting())
            seen.push_back({e.code, e.time});
        events_.clear();
        return seen;
    }

    EventQueue events_;
    GuideLog log_;  // not opened: lines go nowhere
    GuideOutputs outputs_{events_, log_};
};

TEST_F(GuideOutputsTest, PulsesOnBothAxesStartTogetherAndEndEachOnItsOwn) {
    outputs_.pulse(1000, {300, -500});
    EXPECT_EQ(taken(), (std::vector<Seen>{{0x39, 1000}}));  // RA+ and DEC-
    EXPECT_EQ(outputs_.bits(), kRaPlus | kDecMinus);
    EXPECT_EQ(outputs_.idleFrom(1000), 1500);
    outputs_.advanceTo(1400);
    EXPECT_EQ(taken(), (std::vector<Seen>{{0x10, 1300}}));
    outputs_.advanceTo(5000);
    EXPECT_EQ(taken(), (std::vector<Seen>{{0x20, 1500}}));
    EXPECT_FALSE(outputs_.nextChange());
}

TEST_F(GuideOutputsTest, OneAxisAtATimeUsesItsOwnEvents) {
    outputs_.pulse(0, {-100, 0});
    outputs_.advanceTo(1000);
    outputs_.pulse(1000, {0, 200});
    outputs_.advanceTo(2000);
    EXPECT_EQ(taken(), (std::vector<Seen>{{0x12, 0}, {0x10, 100}, {0x21, 1000}, {0x20, 1200}}));
}

TEST_F(GuideOutputsTest, OutputsEndingTogetherGoOffInOneEvent) {
    outputs_.pulse(0, {-250, 250});
    outputs_.advanceTo(250);
    EXPECT_EQ(taken(), (std::vector<Seen>{{0x36, 0}, {0x30, 250}}));
}

TEST_F(GuideOutputsTest, AllOffEndsRunningPulsesAtOnce) {
    outputs_.pulse(0, {1000, 0});
    outputs_.allOff(300);
    outputs_.advanceTo(2000);
    EXPECT_EQ(taken(), (std::vector<Seen>{{0x11, 0}, {0x10, 300}}));
    outputs_.allOff(400);  // nothing on: no event
    EXPECT_TRUE(taken().empty());
}

}  // namespace
}  // namespace hcsim::test
