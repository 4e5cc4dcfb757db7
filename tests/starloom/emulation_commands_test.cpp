// The camera emulation commands against a scripted HC: start and stop with the HC time, the
// collected events and their queue, frames as bulk data.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/clock/clock.h"
#include "tests/support/bus_fixture.h"
#include "tests/vt5api/hc_fixture.h"
#include "tests/vt5api/scripted_hc.h"
#include "vt5api/commands/emulation.h"

namespace {

using Bytes = std::vector<uint8_t>;

// 0xF9 with start, stop and collect (no values); the frame's bulk entry needs no row.
const Bytes kTable = {1, 0xF9, 3, 0x01, 0, 0x02, 0, 0x0F, 0};

class EmulationCommands : public ::testing::Test {
protected:
    void SetUp() override {
        auto device = std::make_unique<vt5test::ScriptedHc>(false, 0x0112, kTable);
        hc = device.get();
        chip = bus.bus().plug(vt5test::hcIdentity("EMU00001"), std::move(device));
        ASSERT_EQ(VT5_Open(&api, nullptr, nullptr, 0, nullptr), VT5_OK);
    }

    // The data of each event of a list, in order.
    static std::vector<Bytes> Data(const VT5EmuEvent* event) {
        std::vector<Bytes> out;
        for (; event; event = event->next)
            out.emplace_back(event->data, event->data + event->length);
        return out;
    }

    // The commands the HC received, counters blanked.
    std::vector<Bytes> Commands() const {
        std::vector<Bytes> out = hc->commands();
        for (Bytes& c : out)
            if (c.size() > 1 && c[0] == 0xF9) c[1] = 0;
        return out;
    }

    platform::VirtualClock virtualClock;
    platform::ScopedClock useVirtual{virtualClock};
    vt5test::BusFixture bus;
    std::shared_ptr<platform::vbus::Chip> chip;
    vt5test::ScriptedHc* hc = nullptr;
    CVT5Api api;
};

TEST_F(EmulationCommands, StartGivesTheHcTimeWhenTheAnswerHasIt) {
    int32_t time = -5;
    hc->script(0, {0x0F, 4, 0x10, 0x27, 0x00, 0x00});
    EXPECT_EQ(VT5cmd_EMU_Start(&api, &time), VT5_OK);
    EXPECT_EQ(time, 10000);

    // Other entries are stepped over by their lengths, even one that looks like a 0x0F.
    hc->script(0, {0x05, 2, 0x0F, 0x01, 0x0F, 4, 0xFF, 0xFF, 0xFF, 0x7F});
    EXPECT_EQ(VT5cmd_EMU_Start(&api, &time), VT5_OK);
    EXPECT_EQ(time, 0x7FFFFFFF);

    time = -5;
    hc->script(0, {});  // no time at all: the out time stays
    EXPECT_EQ(VT5cmd_EMU_Start(&api, &time), VT5_OK);
    EXPECT_EQ(time, -5);
    hc->script(0, {0x0F, 4, 1, 2, 3, 4});
    EXPECT_EQ(VT5cmd_EMU_Start(&api, nullptr), VT5_OK);

    // A time parameter cut short is no time; it is not read on into what follows.
    hc->script(0, {0x0F, 2, 0x10, 0x27, 0x01, 0x02, 0x03, 0x04});
    EXPECT_EQ(VT5cmd_EMU_Start(&api, &time), VT5_E_BAD_PARAMETER_LENGTH);
    hc->script(0, {0x0F, 2, 0x10, 0x27});
    EXPECT_EQ(VT5cmd_EMU_Stop(&api), VT5_E_BAD_PARAMETER_LENGTH);
    EXPECT_EQ(time, -5);

    hc->script(0, {});
    EXPECT_EQ(VT5cmd_EMU_Stop(&api), VT5_OK);
    hc->script(32, {});
    EXPECT_EQ(VT5cmd_EMU_Stop(&api), VT5_E_CANT_EXECUTE);

    const std::vector<Bytes> commands = Commands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands.front(), (Bytes{0xF9, 0, 0x01, 0xFF}));
    EXPECT_EQ(commands.back(), (Bytes{0xF9, 0, 0x02, 0xFF}));
}

TEST_F(EmulationCommands, CollectedEventsComeOutOldestFirst) {
    VT5EmuEvent* head = reinterpret_cast<VT5EmuEvent*>(&api);  // garbage the call replaces
    hc->script(0, {});
    EXPECT_EQ(VT5cmd_EMU_GetEvents(&api, &head, nullptr), VT5_OK);
    EXPECT_EQ(head, nullptr);

    hc->script(0, {0x0B, 4, 0x10, 0, 0, 0, 0x11, 4, 0x20, 0, 0, 0});
    ASSERT_EQ(VT5cmd_EMU_GetEvents(&api, &head, nullptr), VT5_OK);
    EXPECT_EQ(Data(head), (std::vector<Bytes>{{0x0B, 0x10, 0, 0, 0}, {0x11, 0x20, 0, 0, 0}}));
    EXPECT_EQ(VT5EmuEventTime(*head), 0x10u);
    EXPECT_EQ(VT5cmd_EMU_FreeEvents(&api, &head), VT5_OK);
    EXPECT_EQ(head, nullptr);

    // An exposure start with its payload: 1000 ms at gain 6.
    hc->script(0, {0x0A, 6, 0x40, 0x42, 0x0F, 0x00, 0xE8, 0x63});
    ASSERT_EQ(VT5cmd_EMU_GetEvents(&api, &head, nullptr), VT5_OK);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(VT5EmuEventTime(*head), 1000000u);
    EXPECT_EQ(VT5EmuEventPayload(*head) & 0xFFF, 1000);
    EXPECT_EQ(VT5EmuEventPayload(*head) >> 12, 6);
    VT5cmd_EMU_FreeEvents(&api, &head);

    EXPECT_EQ(Commands().back(), (Bytes{0xF9, 0, 0x0F, 0xFF}));
}

TEST_F(EmulationCommands, MaximumCountLeavesTheRestQueuedForTheNextCall) {
    VT5EmuEventList list(api);
    hc->script(0, {0x11, 4, 1, 0, 0, 0, 0x12, 4, 2, 0, 0, 0, 0x10, 4, 3, 0, 0, 0});
    int32_t count = 1;
    ASSERT_EQ(VT5cmd_EMU_GetEvents(&api, list.out(), &count), VT5_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(Data(list.head()), (std::vector<Bytes>{{0x11, 1, 0, 0, 0}}));
    list.Free();

    // The next answer adds one more; the two left over come first.
    hc->script(0, {0x21, 4, 4, 0, 0, 0});
    count = 10;
    ASSERT_EQ(VT5cmd_EMU_GetEvents(&api, list.out(), &count), VT5_OK);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(Data(list.head()),
              (std::vector<Bytes>{{0x12, 2, 0, 0, 0}, {0x10, 3, 0, 0, 0}, {0x21, 4, 0, 0, 0}}));
    list.Free();

    // A count of 0 collects and hands out nothing.
    hc->script(0, {0x22, 4, 5, 0, 0, 0});
    count = 0;
    ASSERT_EQ(VT5cmd_EMU_GetEvents(&api, list.out(), &count), VT5_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(list.head(), nullptr);
    EXPECT_EQ(api.receivedBlocks.size(), 1u);
}

TEST_F(EmulationCommands, FailedCollectKeepsTheQueueAndANewConnectionEmptiesIt) {
    VT5EmuEventList list(api);
    hc->script(0, {0x0B, 4, 1, 0, 0, 0, 0x0B, 4, 2, 0, 0, 0});
    int32_t count = 1;
    ASSERT_EQ(VT5cmd_EMU_GetEvents(&api, list.out(), &count), VT5_OK);
    list.Free();

    hc->script(32, {});
    EXPECT_EQ(VT5cmd_EMU_GetEvents(&api, list.out(), nullptr), VT5_E_CANT_EXECUTE);
    EXPECT_EQ(list.head(), nullptr);
    EXPECT_EQ(api.receivedBlocks.size(), 1u);

    VT5_Close(&api);
    hc->script(0, {});
    ASSERT_EQ(VT5cmd_EMU_GetEvents(&api, list.out(), nullptr), VT5_OK);
    EXPECT_EQ(list.head(), nullptr);
}

TEST_F(EmulationCommands, ArgumentsTheFunctionsRefuse) {
    hc->script(0, {0x0B, 4, 1, 0, 0, 0});
    EXPECT_EQ(VT5cmd_EMU_GetEvents(&api, nullptr, nullptr), VT5_E_BAD_ARGUMENT);
    EXPECT_EQ(VT5cmd_EMU_FreeEvents(&api, nullptr), VT5_E_BAD_ARGUMENT);
    EXPECT_EQ(VT5cmd_EMU_SendFrame(&api, nullptr, 4), VT5_E_BAD_ARGUMENT);
    EXPECT_EQ(VT5cmd_EMU_SendFrame(&api, nullptr, -1), VT5_E_BAD_ARGUMENT);
    EXPECT_TRUE(Commands().empty());  // nothing reached the HC

    VT5EmuEvent* head = nullptr;
    EXPECT_EQ(VT5cmd_EMU_GetEvents(nullptr, &head, nullptr), VT5_E_NO_LINK);
    EXPECT_EQ(VT5cmd_EMU_FreeEvents(nullptr, &head), VT5_E_NO_LINK);
    EXPECT_EQ(VT5cmd_EMU_Start(nullptr, nullptr), VT5_E_NO_LINK);
}

TEST_F(EmulationCommands, EventsAreReleasedAlsoWhenTheHcHasGone) {
    VT5EmuEvent* head = nullptr;
    hc->script(0, {0x0B, 4, 1, 0, 0, 0});
    ASSERT_EQ(VT5cmd_EMU_GetEvents(&api, &head, nullptr), VT5_OK);
    chip->unplug();
    EXPECT_EQ(VT5cmd_EMU_FreeEvents(&api, &head), VT5_OK);
    EXPECT_EQ(head, nullptr);
}

TEST_F(EmulationCommands, FrameIsSentAsBulkDataAfterTheMessage) {
    const Bytes skipped(4, 0);
    hc->script(0, {});
    EXPECT_EQ(VT5cmd_EMU_SendFrame(&api, skipped.data(), 4), VT5_OK);
    // The scripted HC keeps the bulk data with the command that announced it.
    EXPECT_EQ(Commands(), (std::vector<Bytes>{{0xF9, 0, 0xFC, 4, 0, 0, 0, 0xFF, 0, 0, 0, 0}}));

    // The answer's parameters are not looked at; its type is.
    hc->script(0, {0x0F, 1, 9});
    EXPECT_EQ(VT5cmd_EMU_SendFrame(&api, skipped.data(), 4), VT5_OK);
    hc->script(32, {});
    EXPECT_EQ(VT5cmd_EMU_SendFrame(&api, skipped.data(), 4), VT5_E_CANT_EXECUTE);
}

// The simulated HC answers a frame once its last byte has arrived.
class EmulationFrames : public vt5test::HcFixture {};

TEST_F(EmulationFrames, LargeFrameWaitsForItsLineTime) {
    // 600 kB take two seconds on the line at 3,000,000 baud.
    hc->chip()->setPaced(true);
    ASSERT_EQ(open(), VT5_OK);
    Bytes frame(600000, 0x5A);
    int32_t result = VT5_OK;
    const int64_t took = elapsedMs([&] {
        result = VT5cmd_EMU_SendFrame(&api, frame.data(), static_cast<int32_t>(frame.size()));
    });
    EXPECT_NE(result, VT5_E_COMMUNICATION);
    EXPECT_GE(took, 2000);
    EXPECT_EQ(hc->received().back().bulk.size(), frame.size());
    int32_t readMs = 0;
    VT5_SetTimeouts(&api, -1, -1, &readMs, nullptr);
    EXPECT_EQ(readMs, 1000);  // put back
}

}  // namespace
