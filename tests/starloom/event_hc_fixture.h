#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/clock/clock.h"
#include "tests/starloom/event_hc.h"
#include "tests/support/bus_fixture.h"
#include "vt5api/api/vt5api.h"

namespace vt5test {

// An EventHc on a private bus, the virtual clock, and an API context opened on the HC.
class EventHcTest : public ::testing::Test {
protected:
    void PlugAndOpen(bool boot = false) {
        auto device = std::make_unique<EventHc>(boot);
        hc = device.get();
        chip = bus.bus().plug(hcIdentity("EMU00001"), std::move(device));
        ASSERT_EQ(VT5_Open(&api, nullptr, nullptr, 0, nullptr), VT5_OK);
    }

    platform::VirtualClock virtualClock;
    platform::ScopedClock useVirtual{virtualClock};
    BusFixture bus;
    std::shared_ptr<platform::vbus::Chip> chip;
    EventHc* hc = nullptr;
    CVT5Api api;
};

}  // namespace vt5test
